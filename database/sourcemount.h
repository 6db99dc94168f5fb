#pragma once
// A disk unmounted since the last scan leaves its mount point behind as an
// empty folder of the parent's file system. Scanning that folder would wipe
// the database, so such a source counts as missing. After each complete scan
// a small file beside der.rep says whether its source was the root of a
// mounted file system; the source is missing when it was and nothing is
// mounted there now (another disk mounted at the same place is present).
#include <QByteArray>
#include <QString>
#include <optional>

namespace vrn {

// The file beside der.rep, named so that no list, catalogue or stored-file
// reader picks it up.
inline constexpr char kSourceMountFile[] = ".varnelo-source-mount";

// Whether a file system is mounted at exactly this folder (bind mounts and
// mounts of the same device included), as /proc/self/mountinfo has it.
// Nothing when that cannot be told (the folder or the mount table cannot be
// read).
std::optional<bool> isMountRoot(const QString& folder);

// Records in the database folder that `source`, just written as the
// database's source, was (or was not) a mount root. Written whole or not at
// all; when it cannot be written, an older record is removed.
bool rememberSourceMount(const QString& databaseFolder, const QString& source, bool mountRoot);

// True when `folder` is the source of the stored database, was a mount root
// at its last complete scan, and is no mount root now.
bool sourceUnmounted(const QString& folder);

// The source folder of the database is missing: gone, or its disk unmounted.
bool sourceFolderMissing(const QString& source);

}  // namespace vrn
