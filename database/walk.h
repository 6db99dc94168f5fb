#pragma once
// The scan's walk: every non-folder entry under a folder, depth first (each
// folder's files in listing order, then its subfolders in listing order), with
// the extension each file is listed under. No widgets: the window passes hooks
// for the stop request and for letting window events run.
#include <QByteArray>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace vrn {

constexpr int kExtensionMaxChars = 8;
// A stored path must fit its record whole: a cut path could name another file.
constexpr qsizetype kPathMaxBytes = 300;

enum class ExtensionVerdict {
  Retained,
  Length,         // no text after the last ".", or more than 8 characters
  Slash,          // the last "." is in a folder name: no list file can be named after it
  PathTooLong,    // the full path is longer than a record
  TrailingBlank,  // readers trim the record: the path would name another file
};

// The extension rule on a file's full path: the text after the last "." of
// the path (the whole path when it has none), blanks removed at both ends;
// kept when it has 1 to 8 characters, stored lower-cased. Not thread-safe:
// one per thread.
class ExtensionRule {
 public:
  ExtensionVerdict classify(std::string_view fullPath, QByteArray* extension);

 private:
  struct Hash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, QByteArray, Hash, std::equal_to<>> known_;
};

// Lower-cased form of an extension as stored (Unicode lower-casing of the
// decoded text), with its length in characters.
QByteArray lowerExtension(std::string_view raw, qsizetype* characters);

class EventPump;

struct WalkHooks {
  // Tested before each folder is listed, after each file and before each
  // subfolder. Empty: never.
  std::function<bool()> stopRequested;
  // Offered a turn after each file's stop test and before each subfolder
  // (after its stop test); the walk waits on it, events running, while a
  // reader thread is still listing the folder it needs or while helpers move
  // the files to the arrays. Null: no events, the waits sleep.
  EventPump* events = nullptr;
  // Called after each folder is listed and before any of its subfolders is
  // opened, on the thread that listed it, with the folder's path (empty
  // below a folder path longer than a record). For tests.
  std::function<void(const QByteArray& folder)> folderListed;
};

// Where the walk records what it finds: slot k (from 1) of both arrays holds
// the k-th file's extension and full path, both empty when it is not
// retained. Slot 0 is unused. found counts every file as it is found; the
// arrays are filled in that order when the walk returns (stopped or not), so
// that growing them never holds up the window.
struct WalkTarget {
  std::vector<QByteArray>& extensions;
  std::vector<QByteArray>& paths;
  qint64& found;
};

enum class WalkResult { Completed, Stopped };

// Readers used when none is asked for: the folders are listed ahead of the
// walk by this many threads while the calling thread records the files in
// order; 0 lists them on the calling thread.
int defaultWalkThreads();

// Walks folder. Symbolic links are files (never followed); each folder is
// opened relative to its parent's descriptor, so a folder replaced by a link
// during the walk is not entered either; kernel pseudo file systems are not
// entered; a folder that cannot be opened or listed adds nothing. The root
// itself may be reached through a link.
WalkResult walkFolder(const QByteArray& folder, WalkTarget target, const WalkHooks& hooks,
                      int threads = defaultWalkThreads());

// True when the open folder fd lies on a kernel pseudo file system.
bool onPseudoFileSystem(int fd);

}  // namespace vrn
