#pragma once
// The database writer and the catalogue of lists, without widgets: the window
// procedures call these and then refill their controls and captions.
//
// The writer never touches the database in place. The new der.rep and lists
// are written whole into a staging folder inside the database folder (no
// reader, catalogue or "*.vrn*" pattern looks into folders), every write and
// flush checked; only then are the old lists moved aside, the staging folder
// renamed as complete (the commit), the new files moved in and checked in
// place, and the old ones deleted. recoverDatabase() finishes or undoes an
// interrupted write, so after a kill at any moment the next start finds the
// whole old database or the whole new one. affp.aff, mesp.par and any other
// file stay where they are, and so does anything a user put at one of the
// working folders' names.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cerrno>
#include <functional>
#include <vector>

namespace vrn {

class EventPump;

// A wait that lets window events run (Attendre); empty: no wait.
using WaitHook = std::function<void(double seconds)>;

struct WriteResult {
  bool written = false;  // committed: the new database is the database
  bool settled = true;   // the database folder holds that database whole; false: some of its files are still in a
                         // working folder, and the next recovery puts them in place
  int error = 0;         // errno of the step that failed, when not written or not settled
};

// Replaces the list files of dbFolder: writes source as der.rep and
// extensions[1..count] / paths[1..count] (sorted by extension) as one list
// file per run of equal extensions, records numbered from 1, then swaps them
// for every file whose name matches "*.vrn*" and the old der.rep. Waits 2 s
// first when the folder held any "*.vrn*" entry (folders included) and 2 s
// after the swap. Empty extensions form the bare ".vrn" list; an extension
// holding "/" names no file and its run is left out, as is a list the disk
// cannot hold (a name it refuses, a folder standing at its name): only that
// list is lost. When anything else fails before the commit the old database
// is put back as it was and nothing is waited for after the failure; a
// failure after it is retried. Large lists are written by `threads` helper
// threads (-1: as many as suit the machine; 0: on the calling thread). The
// pump, when given, is offered a turn every 1024 records written on the
// calling thread and after each file flushed or discarded, and is waited on
// while the helpers write.
WriteResult writeListFiles(const QString& dbFolder, const QString& source, const std::vector<QByteArray>& extensions,
                           const std::vector<QByteArray>& paths, qint64 count, const WaitHook& wait,
                           EventPump* events = nullptr, int threads = -1);

// Finishes a write that was committed (its new files moved in and checked,
// the old ones deleted; the old ones put back when the new ones did not
// arrive whole) or undoes one that was not (the old files moved back, the
// staged ones deleted). False when something could not be put right.
bool recoverDatabase(const QString& dbFolder);

// The bare list: a list file whose name less its suffix is empty (".vrn" in
// any case). It never is a list.
bool isBareListFile(const QString& fileName);

// Deletes the bare list (in any case) when it is there, then waits 1 s.
// True when there was one (a folder of that name included).
bool deleteBareList(const QString& dbFolder, const WaitHook& wait);

// The list files of a folder as its file-list control shows them: regular
// files named "*.vrn" (any case), alphabetical ignoring case.
QStringList catalogueFiles(const QString& dbFolder);

// List names of catalogue entries: each less its last 4 characters, the empty
// names (the bare ".vrn") left out.
QStringList listNames(const QStringList& files);

// Total whole records of the given list files (read on the list channel);
// the bare list is not counted.
qint64 countDatabaseRecords(const QString& dbFolder, const QStringList& files);

// Steps of a database write at which a test can make the write fail (the
// hook returns an errno; 0 goes on) or end the process. Writing each record
// is a step of its own.
enum class WriteStep {
  MakeFolder,  // a staging or set-aside folder is made
  OpenFile,    // a staged file is created
  KeepStored,  // a stored list holding exactly the new records is linked in (a failure: it is written)
  Record,      // one record joins the staged list
  WriteData,   // buffered records go to a staged file
  SyncFile,    // a staged file is flushed to the disk
  CloseFile,   // a staged file is closed
  SyncFolder,  // a folder's entries are flushed to the disk
  MoveOld,     // an old list or der.rep is set aside
  Commit,      // the staging folder is marked complete
  MoveNew,     // a new file takes its place in the database
  Discard,     // a set-aside or staged file or folder is deleted
  MoveBack,    // an old file set aside goes back, or a committed database that did not arrive whole is turned down
};
using WriteStepHook = std::function<int(WriteStep step)>;
WriteStepHook& databaseWriteHook();

// Replaces the small file `name` of the open database folder `db` whole:
// written to `temporary` (which no reader picks up), flushed, renamed over
// `name`, the folder flushed. A kill leaves the old file or the new one,
// never part of one. False with errno set, the temporary then removed.
bool replaceDatabaseFile(int db, const char* temporary, const char* name, const QByteArray& bytes);

// Runs one step of a write unless the hook makes it fail; false with errno
// set.
template <class Call>
bool attemptWriteStep(WriteStep step, Call call) {
  const WriteStepHook& hook = databaseWriteHook();
  if (const int e = hook ? hook(step) : 0) {
    errno = e;
    return false;
  }
  return call();
}

}  // namespace vrn
