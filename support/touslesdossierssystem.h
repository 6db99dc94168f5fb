#pragma once
// The special folders of the original platform (CSIDL numbers) and the Linux
// folders that stand for them.
#include <QString>
#include <array>

namespace vrn {

// The identifiers the special-folder offer resolves, in its order (21 twice).
extern const std::array<qint32, 52> TabDossiersSpeciaux;

// The folder's path ending in "/"; "/" for a folder that has no counterpart
// here; "" for an identifier the table does not know or whose folder does
// not exist.
QString CheminDossierSpecial(const qint32& csidl);

}  // namespace vrn
