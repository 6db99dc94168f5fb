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
  explicit ListViewCopyRows(ListView* list) : list_(list) {}
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
  // In place of the turn of the event loop after each file copied (tests).
  std::function<void()> afterFileCopied;
};

enum class CopyEnd { Finished, Stopped, Failed, Refused };

struct CopyOutcome {
  CopyEnd end = CopyEnd::Finished;
  int copied = 0;
  int failed = 0;
};

// Copies the file of every ticked row (skipping rows whose file is gone or is
// no regular file). Empties the stop request when it starts and when it ends,
// and the copy-mode flag when it ends. Refused while another copy runs.
CopyOutcome copyTickedFiles(const CopyRows& rows, const CopyOptions& options);

// The clash name: "rapport.doc", 2 -> "rapport(2).doc"; a name without "."
// takes the number at its end.
QString numberedCopyName(const QString& name, int number);

enum class FileCopyStatus { Copied, SourceMissing, NotRegular, TargetExists, Failed };

// Copies one regular file to a target that must not exist yet (a symbolic
// link at the target counts as existing and is never written through). The
// data goes to a hidden temporary file beside the target, is written out, and
// only then takes the target's name, never replacing anything: a cut copy
// never bears the target's name. When the name is taken meanwhile,
// nextTarget (if given) names another one in the same folder to try; the name
// finally taken goes to *taken. The copy keeps the permission bits and the
// modification time. On failure nothing is left behind. Events run between
// chunks of a large file, on the caller's pump or one of its own.
FileCopyStatus copyRegularFile(const QByteArray& source, const QByteArray& target,
                               const std::function<QByteArray()>& nextTarget = {}, QByteArray* taken = nullptr,
                               EventPump* events = nullptr);

// The quit command ends the process at once: it calls this first, which
// removes the file being copied under its temporary name and ends the copy
// that was running (when the process goes on, as under tests).
void discardCopyInProgress();

// Test hooks: a file appearing just before the target's name is taken, and a write
// failing once `written` bytes are in the target (return an errno to fail).
struct CopyTestHooks {
  std::function<void(const QByteArray& target)> beforeCreate;
  std::function<int(qint64 written)> failWrite;
  // A file system that refuses the no-replace rename, and one that refuses
  // hard links too.
  bool refuseNoReplaceRename = false;
  bool refuseLinks = false;
};
CopyTestHooks& copyTestHooks();

}  // namespace vrn
