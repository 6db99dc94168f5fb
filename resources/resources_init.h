#pragma once
namespace vrn {
// Registers the embedded pictures and sounds (needed once per process, since
// they live in a static library).
void initResources();
}  // namespace vrn
