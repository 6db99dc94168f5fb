#pragma once
// Report-view file list able to hold a million rows: a compact row store
// behind a Qt model, shown by a tree view (report) or a list view (icons,
// list). Rows and columns are numbered as the program counts them: rows from
// 1, column headers from 1; sub-item k of a row is the text of column k+1.
#include <QIcon>
#include <QObject>
#include <QWidget>
#include <memory>

#include "platform/controls.h"
#include "platform/rowstore.h"  // packed rows, as list loads make them

class QAbstractItemView;
class QHeaderView;

namespace vrn {

class ImageList : public QObject {
  Q_OBJECT
 public:
  explicit ImageList(QObject* parent = nullptr, const char* name = nullptr);
  void Add(const QIcon& icon) { images_.append(icon); }
  void Clear() { images_.clear(); }
  int Count() const { return int(images_.size()); }
  QIcon Image(int index) const;  // from 1; empty when out of range

 private:
  QList<QIcon> images_;
};

class ListViewPrivate;

class ListView : public QWidget, public Control {
  Q_OBJECT
 public:
  enum ViewMode { lvwIcon = 0, lvwSmallIcon = 1, lvwList = 2, lvwReport = 3 };
  explicit ListView(QWidget* parent = nullptr);
  ~ListView() override;

  // Columns (headers from 1).
  void AddColumn(const QString& caption, int widthTwips);
  int ColumnCount() const;
  QString ColumnCaption(int k) const;
  int ColumnWidth(int k) const;  // twips
  void setColumnWidth(int k, int twips);
  // Fits column (0-based, as the list-view message counts) to its header and contents.
  void AutoSizeColumn(int zeroBasedIndex);

  // Rows (from 1, in the order shown).
  int Count() const;
  // Returns the new row's index. While Sorted is on, the row is appended and
  // that index addresses it until another row is addressed or the list is
  // painted; it then takes its sorted place.
  int Add(const QString& text, int smallIcon = 1);
  // Adds a row with all its cells at once (cells past the columns are kept
  // but not shown); returns its index as Add does.
  int AddPacked(PackedRowView row, int smallIcon = 1);
  QString Text(int row) const;
  void setText(int row, const QString& text);
  QString SubItem(int row, int k) const;  // k from 1 to ColumnCount()-1
  void setSubItem(int row, int k, const QString& text);
  int SmallIcon(int row) const;
  // Ticks set from code raise no ItemCheck, as with the original control.
  bool Checked(int row) const;
  void setChecked(int row, bool on);
  void Clear();
  int SelectedIndex() const;  // 0 when no row is selected
  void setSelectedIndex(int row);

  // Sorting: compares the key column's texts; equal keys keep their order.
  // Key 0 is the row text, key k sub-item k. Order 0 ascending, 1 descending.
  bool Sorted() const;
  void setSorted(bool on);  // on: sorts at once, and again on key or order changes
  int SortKey() const;
  void setSortKey(int key);
  int SortOrder() const;
  void setSortOrder(int order);

  int View() const;
  void setView(int mode);
  // Rows show image SmallIcon(row) of the small-icon list (large-icon view:
  // of the large-icon list when one is attached); 0 or no list: no icon.
  ImageList* SmallIcons() const;
  void setSmallIcons(ImageList* icons);  // nullptr detaches
  ImageList* LargeIcons() const;
  void setLargeIcons(ImageList* icons);

  // Alternate row colours (BGR values as the program gives them), or none.
  void setRowColors(quint32 firstBgr, quint32 secondBgr);
  quint32 RowColor(int row) const;  // colour shown behind row `row`
  int RowHeightPixels() const;
  void setUpdatesLocked(bool locked);
  void Refresh();

  // Widgets of the view, for tests and for events.
  QWidget* viewport() const;
  QAbstractItemView* itemView() const;  // the view of the current mode
  QHeaderView* header() const;          // the report view's column headers

 signals:
  void ItemCheck(int row, bool checked);  // a user's tick or untick
  void Click();
  void DblClick();
  void ColumnClick(int k);  // header index from 1
  void ItemClick(int row);
  void MouseDown(int button, int shift, int xTwips, int yTwips);

 protected:
  void showEvent(QShowEvent* e) override;

 private:
  friend class ListViewPrivate;
  std::unique_ptr<ListViewPrivate> d;
};

}  // namespace vrn
