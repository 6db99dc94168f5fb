#pragma once
// The widget-free half of the criteria search: which list files a scope
// reads, how many records they hold, and whether one stored path holds the
// criterion.
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace vrn {

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

// Tests stored paths against a lower-case criterion: a path holds it when
// its text in lower case contains it anywhere. Paths and criteria of plain
// ASCII are compared on their bytes; any other path is decoded and
// lower-cased, so the answer is the same either way.
class CriterionMatcher {
 public:
  explicit CriterionMatcher(const QString& criterion);
  bool matches(QByteArrayView pathBytes) const;
  const QString& criterion() const { return criterion_; }

 private:
  QString criterion_;
  QByteArray asciiCriterion_;  // the criterion's bytes when it is plain ASCII
  bool criterionIsAscii_ = false;
};

}  // namespace vrn
