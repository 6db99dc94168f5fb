#pragma once
// mesp.par: the user's preferred lists, one list name per 30-byte record,
// blank-padded, in the order of the preferences list.
#include <QString>
#include <QStringList>
#include <optional>

namespace vrn {

struct PreferredRecords {
  qint64 length = 0;  // bytes
  QStringList names;  // the whole records, blanks trimmed at both ends
};

// Reads mesp.par on its channel (closed before and after); a missing file is
// created empty. Nothing when the file cannot be opened.
std::optional<PreferredRecords> readPreferredRecords();

// Whether a list name matches a stored name: lower case on both sides.
bool samePreferredName(const QString& listName, const QString& stored);

// Replaces mesp.par with one record per name, in order; a name longer than a
// record is left out. When the old file cannot be deleted, the records follow
// those already in it. Returns the
// number of the last record written (the old whole-record count when there
// is no name), or nothing when the file cannot be opened.
std::optional<qint64> writePreferredLists(const QStringList& names);

}  // namespace vrn
