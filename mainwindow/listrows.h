#pragma once
// The row of a file list (ColonnesListe): what the list loader, the search and
// the list pages put in each row of a file list view.
//   text        the file name without folder and extension
//   sub-item 1  the full path          5  the modification date
//            2  the size (digit groups) 6  the attribute letters
//            3  the last-access date   7  the text in lower case (sort key)
//            4  the creation date      8  the record number, eight digits
#include <QString>
#include <array>
#include <string>
#include <string_view>

namespace vrn {

class ListView;
class PackedRowWriter;
struct InfoFichier;

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

struct ColonnesListe {
  static constexpr int kCells = 9;  // the text and sub-items 1 to 8
  std::array<QString, kCells> cells;
  const QString& text() const { return cells[0]; }
};

// The characters after the last "/" and before the last "."; a name without
// an extension of its own (the last "." sits in a folder name, or there is
// none) is kept whole.
QString nameWithoutExtension(const QString& path);

// Size texts and record numbers as the list columns show them: at least nine
// digits grouped by three with the user's separator, and eight digits. A size
// text that is not a number (the empty size of an empty file) is kept as is.
QString sizeColumnText(const QString& taille);
QString recordColumnText(qint64 record);

// The row of the file at `path`, found at `record` of its list file. The
// facts fill the detail cells that `columns` enables (nullptr: none of them).
ColonnesListe makeRow(const QString& path, qint64 record, const DetailColumns& columns, const InfoFichier* facts);

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

// Appends what recordColumnText gives (ASCII digits).
void appendRecordColumnText(std::string& out, qint64 record);

// Appends a row to the list view with the given small icon; returns its index.
int addRow(ListView* list, const ColonnesListe& row, int smallIcon = 1);
// Sets sub-items 1 to 8 of a row just added (addRow's second half, for a
// caller that has something to do between the two).
void setRowSubItems(ListView* list, int index, const ColonnesListe& row);

}  // namespace vrn
