#pragma once
// Benchmark subcommands register themselves here; each lives in its own
// bench_<name>.cpp file.
#include <QStringList>
#include <functional>

namespace vrn::bench {

using Command = std::function<int(const QStringList& args)>;

struct Registration {
  Registration(const char* name, const char* usage, Command command);
};

// Peak resident memory of this process, in MB.
double peakMb();
// Wall time since an arbitrary start, in seconds.
double now();

}  // namespace vrn::bench
