#pragma once
// Facts ahead: the rows of a file list made on worker threads, ahead of the
// window thread, and handed back in the order the paths were given.
//
// The window thread feeds stored paths (the bytes of a record, blanks
// trimmed), each with a number of its choosing (the record number), and
// takes one result per path in the same order. For each path a worker looks
// at the entry (one statx, a link not followed) and, when it exists, packs
// its row of ColonnesListe (text, sub-items 1 to 8), ready for
// ListView::AddPacked. Nothing here touches widgets or shared variables, so
// the caller keeps its own order of effects: it adds the row, tests the stop
// request and lets events run per result, as if the facts were read then.
//
//   FactsAhead ahead(options);
//   FactsAhead::Result r;
//   qint64 fed = 0;
//   for (;;) {
//     while (fed < total && ahead.wantsInput()) { ++fed; ahead.feed(fed, recordText(file.read(fed))); }
//     if (fed == total) ahead.endInput();
//     if (!ahead.take(r, waitNs)) {
//       if (ahead.finished()) break;  // every result taken
//       ...let events run, then try again...
//       continue;
//     }
//     if (r.exists) list->AddPacked(r.row);
//   }
//
// A caller that stops early simply destroys the object (or calls stop()):
// results not taken are dropped and the workers leave after the path in
// hand. A search feeds only the records that match its criterion, with
// lowerCaseName set: the row text and sub-item 7 then come from the path in
// lower case, while the look at the entry and sub-item 1 use the stored
// bytes.
#include <QByteArrayView>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "mainwindow/listrows.h"
#include "platform/listview.h"

namespace vrn {

class FactsAhead {
 public:
  struct Options {
    DetailColumns columns;       // which detail cells are filled
    bool lowerCaseName = false;  // row text and sub-item 7 from the lower-case path (the search)
    int workers = 0;             // 0: as many as the machine allows, up to six
    // Called on a worker thread after each batch of results is done, for a
    // caller that waits for them on its event pump (EventPump::waker).
    std::function<void()> wake;
  };

  // One path's result, valid until the next take() or the object's end.
  struct Result {
    qint64 tag = 0;
    bool exists = false;
    QByteArrayView path;  // the bytes as fed
    PackedRowView row;    // when it exists: the whole row
    PackedRowView text;   // when it exists: the row text alone
    QString decodedPath() const;
  };

  explicit FactsAhead(const Options& options);
  ~FactsAhead();
  FactsAhead(const FactsAhead&) = delete;
  FactsAhead& operator=(const FactsAhead&) = delete;

  // True while fewer paths than the read-ahead are waiting to be taken.
  bool wantsInput() const;
  // Queues one path (copied). Not after endInput().
  void feed(qint64 tag, QByteArrayView storedPath);
  // No more paths: the last partial batch goes to the workers.
  void endInput();
  // The paths fed so far go to the workers without waiting for a full
  // batch: for a caller whose paths come in bursts (a search's hits), so
  // the workers start on them while the next ones are still far off.
  void flush();
  // The next result in feed order. Waits up to waitNs nanoseconds for it
  // (0: not at all); false when it is not ready yet or none is left.
  bool take(Result& out, qint64 waitNs);
  // True once endInput() was called and every result was taken.
  bool finished() const;
  // Drops every result not taken; the workers leave.
  void stop();

  // The row a worker makes for a path, for a caller without workers (and
  // for tests). Appends to `out` and fills `result` as take() would.
  static void makeResult(const Options& options, qint64 tag, QByteArrayView storedPath, std::string& out,
                         Result& result);

 private:
  struct Batch;
  void submit();
  void work();
  Batch* freshBatch();

  Options options_;
  std::vector<std::thread> workers_;
  mutable std::mutex lock_;
  std::condition_variable wake_;                // workers: a batch to do, or stop
  std::condition_variable done_;                // window thread: a batch done
  std::deque<Batch*> todo_;                     // queued for the workers, in order
  std::deque<std::unique_ptr<Batch>> inOrder_;  // every batch not yet taken, in feed order
  std::vector<std::unique_ptr<Batch>> spare_;
  std::unique_ptr<Batch> lastTaken_;  // holds the last result's bytes until the next take
  Batch* filling_ = nullptr;          // the batch being fed (last of inOrder_)
  size_t nextItem_ = 0;               // next item to take in inOrder_.front()
  std::atomic<bool> stopping_{false};
  bool inputEnded_ = false;
  size_t batchSize_;
  size_t maxBatches_;
};

}  // namespace vrn
