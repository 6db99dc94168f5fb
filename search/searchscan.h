#pragma once
// The widget-free half of the criteria search: which list files a scope
// reads, how many records they hold, whether one stored path holds the
// criterion, and the reading of a scope's records ahead of the window.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <vector>

namespace vrn {

class RecordFile;

// The list file of a list name, in the database folder.
QString listFileOf(const QString& listName);

// The list files of the common-lists scope: entries 1 to 27 of the loaded
// common table, in the table's order (an empty entry names no list).
QStringList commonScopeFiles(const QStringList& commonTable);

// Whole records of a list file, opened on a handle of its own: 0 when the
// file is missing (it is not created) or cannot be opened.
qint64 listRecordCount(const QString& listFile);

// The criterion as the search uses it: the typed text without blanks at
// either end, in lower case.
QString searchCriterion(const QString& typed);

// The search's rule itself: the stored path, decoded, in Unicode lower case,
// contains the criterion.
bool unicodeRuleHolds(QByteArrayView pathBytes, const QString& criterion);

// Tests stored paths against a criterion with the answer of
// unicodeRuleHolds. Paths of plain ASCII are compared on their bytes, their
// letters folded (their Unicode lower case); any other path is decoded and
// lower-cased.
class CriterionMatcher {
 public:
  explicit CriterionMatcher(const QString& criterion);
  bool matches(QByteArrayView pathBytes) const;
  const QString& criterion() const { return criterion_; }

  // Finds the records whose stored path (recordText) holds the criterion
  // among `count` records of `recordLength` bytes laid end to end at
  // `records`, and appends their indexes, from 0 and in order, to hits.
  void findInRecords(const char* records, qsizetype count, int recordLength, std::vector<qsizetype>& hits) const;

 private:
  bool asciiPathHolds(QByteArrayView path) const;

  QString criterion_;
  QByteArray bytes_;                // the criterion's bytes when it is plain ASCII
  bool asciiPathsCanHold_ = false;  // an ASCII path lowered can hold it
  // The two bytes of the criterion (rare in paths) the block scan looks for
  // first, at these offsets in the criterion.
  int firstAt_ = 0, secondAt_ = 0;
};

// Reads the list files of a search in large blocks and matches their
// records ahead of the window, on a few worker threads; the window takes the
// results in scope order. Nothing here touches a widget.
class ScopeReader {
 public:
  // A run of records of one list and the hits among them. A list opens
  // with a piece of no records that says whether it could be opened and how
  // many records it holds; its records follow, from 1 to that count.
  struct Hit {
    qint64 record;    // record number in its list, from 1
    QByteArray path;  // the stored path (recordText of the record)
  };
  struct Piece {
    qsizetype list = 0;           // index in the scope's file list
    bool opening = false;         // the list's first piece
    bool opened = false;          // with opening: the file could be opened
    qint64 recordCount = 0;       // with opening: its whole records
    qint64 first = 0, last = -1;  // records first..last (none in an opening)
    std::vector<Hit> hits;        // in record order
  };

  // workers 0 chooses from the machine's cores. wake, when given, is called
  // on a worker thread whenever a piece may have become ready to take, for
  // a caller that waits on its event pump (EventPump::waker).
  ScopeReader(const QStringList& files, const QString& criterion, int workers = 0, std::function<void()> wake = {});
  ~ScopeReader();  // stops the workers and waits for them
  ScopeReader(const ScopeReader&) = delete;
  ScopeReader& operator=(const ScopeReader&) = delete;

  // Takes the next piece, waiting at most timeoutNs for it; false when none
  // came in that time or the scope is read to its end.
  bool next(Piece& out, qint64 timeoutNs);
  bool finished() const;

 private:
  struct Job;
  void work();
  bool claim(Job& job);  // the next block to read, in scope order; false at the end or once stopped
  void deliver(std::uint64_t sequence, Piece&& piece);  // with the lock held

  const QStringList files_;
  const CriterionMatcher matcher_;
  const std::function<void()> wake_;
  mutable std::mutex mutex_;
  std::condition_variable ready_, room_;
  // Pieces done, by their place in the scope order; taken_ is the next one
  // the window takes, claimed_ the next one a worker claims.
  std::map<std::uint64_t, Piece> done_;
  std::uint64_t taken_ = 0, claimed_ = 0;
  qsizetype pendingHits_ = 0;
  // Where the claims stand: list in hand, its file and its next record.
  qsizetype list_ = -1;
  std::shared_ptr<RecordFile> file_;
  qint64 nextRecord_ = 1, listRecords_ = 0;
  bool firstBlock_ = true;
  bool stop_ = false, claimsDone_ = false;
  int working_ = 0;
  std::vector<std::thread> workers_;
};

}  // namespace vrn
