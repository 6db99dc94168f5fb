#pragma once
// The copy of the ticked files of a list into a backup folder, one loop for
// the main window and the list pages. A target is always created anew: a
// clashing name takes the next free number, nothing is ever overwritten, only
// regular files are copied and a failed copy leaves no partial file.
#include <QByteArray>
#include <QPointer>
#include <QString>
#include <functional>

#include "support/VariablesVRN.h"

class QWidget;

namespace vrn {

class EventPump;
class ListView;

// The rows a copy walks, read as the copy reaches them: ticks changed during
// the copy count from the row reached. Rows from 1.
class CopyRows {
 public:
  virtual ~CopyRows() = default;
  virtual int rowCount() const = 0;
  virtual bool ticked(int row) const = 0;
  virtual QString path(int row) const = 0;
};

// The rows of a file list (the full path is sub-item 1).
class ListViewCopyRows : public CopyRows {
 public:
  explicit ListViewCopyRows(ListView* list);
  int rowCount() const override;
  bool ticked(int row) const override;
  QString path(int row) const override;

 private:
  QPointer<ListView> list_;  // a window closed during the copy leaves no rows
};

struct CopyOptions {
  QString destination;  // the backup folder
  QString listName;     // shown in the progress captions
  // Stop request tested before each ticked row; the caption then says so.
  QString stopBeforeRow = kStopRequest;
  // Stop request also tested before copying each file that exists ("" none).
  QString stopBeforeFile;
  // The main window ends the copy at a failed file; a page skips the file.
  bool endOnFailure = true;
  std::function<void(const QString&)> showProgress;  // the stop button's caption
  // In place of the chance for events after each file copied (tests).
  std::function<void()> afterFileCopied;
};

// A page's copy: its own stop word before each row, the main window's before
// each file, and a failed file skipped.
CopyOptions pageCopyOptions(const QString& destination, const QString& listName);

// NoDestination: the backup folder could not be opened, nothing was tried.
enum class CopyEnd { Finished, Stopped, Failed, Refused, NoDestination };

struct CopyOutcome {
  CopyEnd end = CopyEnd::Finished;
  int copied = 0;
  int failed = 0;
};

// Copies the file of every ticked row (skipping rows whose file is gone or is
// no regular file). Empties the stop request when it starts and when it ends,
// and the copy-mode flag when it ends. Refused while another copy runs.
// The backup folder is opened once, when the copy starts: every name is
// tested, made and given inside the folder then opened, so a folder swapped
// for a link meanwhile never receives a file. Its names are read then (a
// name another program takes later is found when the file is named, and the
// file takes the next number). Temporaries left in it by a copy that no
// longer runs (a killed program) are removed meanwhile.
// Each file is complete and flushed before it takes its name; small files are
// flushed together on helper threads while the copy goes on, so their names
// may appear a little after their progress captions. Events run all along.
CopyOutcome copyTickedFiles(const CopyRows& rows, const CopyOptions& options);

// The box a window shows for a copy whose backup folder cannot be made or
// opened: it names the folder; nothing was copied.
void showNoDestinationBox(QWidget* owner, const QString& folder);

// The clash name: "rapport.doc", 2 -> "rapport(2).doc"; a name without "."
// takes the number at its end. A name that would pass maxBytes is cut before
// its number (never inside a character), keeping its extension.
QString numberedCopyName(const QString& name, int number, qsizetype maxBytes = 255);

enum class FileCopyStatus { Copied, SourceMissing, NotRegular, TargetExists, Failed };

// Copies one regular file to a target that must not exist yet (a symbolic
// link at the target counts as existing and is never written through), as the
// copy loop copies each file: into a file without a name in the target's
// folder where its file system allows (nothing of it can outlive the
// program), else under a hidden temporary name beside the target, locked
// while it is written; then flushed, and only then given the target's name
// without replacing anything. It keeps the permission bits and the
// modification time. On failure nothing is left behind. Events run meanwhile,
// on the caller's pump or one of its own.
FileCopyStatus copyRegularFile(const QByteArray& source, const QByteArray& target, EventPump* events = nullptr);

// The quit command ends the process at once: it calls this first, which
// removes the files being copied under temporary names (those without a
// name go with the process) and ends the copy that was running (when the
// process goes on, as under tests).
void discardCopyInProgress();

// Test hooks: a file appearing just before a target's name is taken, and a
// write failing once `written` bytes of a file are in its temporary (return
// an errno to fail). They run on the thread that names or copies the file.
struct CopyTestHooks {
  std::function<void(const QByteArray& target)> beforeCreate;
  std::function<int(qint64 written)> failWrite;
  // A file system that refuses files without a name, one that refuses the
  // no-replace rename, and one that refuses hard links too (files are then
  // never made without a name: only a link names them).
  bool refuseUnnamedTemporaries = false;
  bool refuseNoReplaceRename = false;
  bool refuseLinks = false;
  // A backup folder whose names are not all read at the start (too many to
  // keep in mind): each name is then looked up when it is chosen.
  bool unreadableNames = false;
  // Files handed to the helpers together (0: the copy's own number).
  int batchFiles = 0;
};
CopyTestHooks& copyTestHooks();

}  // namespace vrn
