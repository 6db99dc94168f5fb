#pragma once
// mesp.par: the user's preferred lists, one list name per 30-byte record,
// blank-padded, in the order of the preferences list.
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace vrn {

struct PreferredRecords {
  qint64 length = 0;  // bytes
  qint64 count = 0;   // whole records
  // For each list name asked about: whether a whole record names it (the
  // record's text, blanks trimmed at both ends, in any letter case).
  std::vector<bool> stored;
};

// Reads mesp.par on its channel (closed before and after); a missing file is
// created empty. Its length alone gives the count; only the records that
// hold data are read (a sparse file's holes read as zero bytes, which name
// no list), and none once every name asked about is found. Nothing when the
// file cannot be opened.
std::optional<PreferredRecords> readPreferredRecords(const QStringList& listNames);

// Whether a list name matches a stored name: lower case on both sides.
bool samePreferredName(const QString& listName, const QString& stored);

// Replaces mesp.par with one record per name, in order; a name longer than a
// record is left out. The records are written under another name, flushed to
// the disk and then take mesp.par's name in one step, so a kill or a full
// disk leaves the old file or the new one whole. When the database folder
// takes no new file (mesp.par cannot be deleted either), the records follow
// those already in mesp.par. Returns the number of the last record written
// (the old whole-record count when there is no name and the records follow
// the old ones), or nothing when nothing could be saved.
std::optional<qint64> writePreferredLists(const QStringList& names);

}  // namespace vrn
