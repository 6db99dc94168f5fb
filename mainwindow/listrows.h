#pragma once
// The row of a file list (ColonnesListe), packed as the list view stores it:
// what the list loader, the search and the list pages put in each row.
//   text        the file name without folder and extension
//   sub-item 1  the full path          5  the modification date
//            2  the size (digit groups) 6  the attribute letters
//            3  the last-access date   7  the text in lower case (sort key)
//            4  the creation date      8  the record number, eight digits
#include <QString>
#include <string>
#include <string_view>

namespace vrn {

class PackedRowWriter;

// Which detail cells a row fills. With details off only the path is given,
// whatever the column choices say.
struct DetailColumns {
  bool details = true;
  bool path = true;
  bool size = true;
  bool access = true;
  bool creation = true;
  bool modification = true;
  bool attributes = true;
};

// The characters after the last "/" and before the last "."; a name without
// an extension of its own (the last "." sits in a folder name, or there is
// none) is kept whole.
QString nameWithoutExtension(const QString& path);

// The texts of a row's facts in the list's encoding, as its detail cells
// show them (the size already padded to nine digits).
struct RowFactsTexts {
  std::string_view size, access, creation, modification, attributes;
};

// Packs the row of a file, text and sub-items 1 to 8: `name` is the row text,
// `lowerName` sub-item 7, `path` sub-item 1, all in the list's encoding. The
// facts fill the detail cells that `columns` enables (nullptr: none).
void packRow(PackedRowWriter& out, std::string_view name, std::string_view lowerName, std::string_view path,
             qint64 record, const DetailColumns& columns, const RowFactsTexts* facts);

// Appends the record number as its column shows it: at least eight digits.
void appendRecordColumnText(std::string& out, qint64 record);

}  // namespace vrn
