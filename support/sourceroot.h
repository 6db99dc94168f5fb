#pragma once
// The "drive" of a source folder on Linux: the mount folder of a removable
// medium (/media/USER/NAME, /run/media/USER/NAME, /mnt/NAME), else "/".
#include <QString>

namespace vrn {

// The root folder of an absolute source path; "" for a text that is not an
// absolute path (a state word has no drive).
QString driveRootOf(const QString& source);
// What the missing-drive message names: the root, or the first three
// characters of a text that has none.
QString driveRootText(const QString& source);
// True when the source has a root and that root is an existing folder.
bool driveRootExists(const QString& source);
// True when a file, folder or link exists at the path (links not followed).
bool entryExists(const QString& path);

}  // namespace vrn
