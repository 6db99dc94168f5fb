#pragma once
// Ordering the rows of a row store on one column: texts compared byte by
// byte in the list's encoding (their code-point order), equal texts keeping
// their order. Each column's ranks (equal texts, equal ranks) are worked out
// once, on a few threads, and kept while the store's texts do not change; a
// sort is then a stable counting sort of the ranks. Widget-free.
#include <QtGlobal>
#include <vector>

#include "platform/rowstore.h"

namespace vrn {

class RowSort {
 public:
  // The order of all rows on column k: perm[new position] = old position
  // (perm is resized to the row count). The store is only read; this may
  // run on a worker thread while nothing changes the store or calls this
  // object from another thread.
  void order(const RowStore& store, int k, bool descending, std::vector<quint32>& perm);

  // Whether rows [from, count) added after rows [0, from) already in order
  // are few enough for orderAdded to beat a whole sort.
  static bool fewAdded(qsizetype count, qsizetype from);
  // The order when rows [0, from) are in order on column k and rows
  // [from, count) were added after them: each added row goes after its
  // equals, and added rows with equal texts keep their order.
  static void orderAdded(const RowStore& store, qsizetype from, int k, bool descending, std::vector<quint32>& perm);

  // Ranks of column k's texts in byte order, by row id (RowRec::id).
  const std::vector<quint32>& ranks(const RowStore& store, int k);

 private:
  struct ColumnRanks {
    quint64 version = ~quint64(0);
    std::vector<quint32> byId;
  };
  std::vector<ColumnRanks> ranks_;
};

}  // namespace vrn
