// Provisional in-memory list view; the model/view control replaces it.
#include "platform/listview.h"

#include <algorithm>

namespace vrn {

ImageList::ImageList(QObject* parent, const char* name) : QObject(parent) {
  if (name) setObjectName(QString::fromLatin1(name));
}

QIcon ImageList::Image(int index) const {
  if (index < 1 || index > images_.size()) return QIcon();
  return images_[index - 1];
}

struct Row {
  QStringList cells;
  int icon = 0;
  bool checked = false;
};

class ListViewPrivate {
 public:
  QStringList captions;
  QList<int> widths;
  std::vector<Row> rows;
  int selected = 0;
  bool sorted = false;
  int key = 0, order = 0, view = 3;
  ImageList* small = nullptr;
  ImageList* large = nullptr;
  quint32 c1 = 0xFFFFFF, c2 = 0xFFFFFF;
  void sort() {
    const int k = key;
    std::stable_sort(rows.begin(), rows.end(), [&](const Row& a, const Row& b) {
      const QString x = k < a.cells.size() ? a.cells[k] : QString();
      const QString y = k < b.cells.size() ? b.cells[k] : QString();
      return order == 0 ? x < y : y < x;
    });
  }
};

ListView::ListView(QWidget* parent) : QWidget(parent), Control(this), d(new ListViewPrivate) {}
ListView::~ListView() = default;

void ListView::AddColumn(const QString& caption, int w) { d->captions << caption; d->widths << w; }
int ListView::ColumnCount() const { return int(d->captions.size()); }
QString ListView::ColumnCaption(int k) const { return d->captions.value(k - 1); }
int ListView::ColumnWidth(int k) const { return d->widths.value(k - 1); }
void ListView::setColumnWidth(int k, int w) { if (k >= 1 && k <= d->widths.size()) d->widths[k - 1] = w; }
void ListView::AutoSizeColumn(int) {}
int ListView::Count() const { return int(d->rows.size()); }
int ListView::Add(const QString& text, int icon) {
  Row r;
  r.cells = QStringList(std::max<qsizetype>(1, d->captions.size()), QString());
  r.cells[0] = text;
  r.icon = icon;
  d->rows.push_back(r);
  return Count();
}
QString ListView::Text(int row) const { return SubItem(row, 0); }
void ListView::setText(int row, const QString& t) { setSubItem(row, 0, t); }
QString ListView::SubItem(int row, int k) const {
  if (row < 1 || row > Count()) return QString();
  return d->rows[row - 1].cells.value(k);
}
void ListView::setSubItem(int row, int k, const QString& t) {
  if (row < 1 || row > Count() || k < 0) return;
  auto& c = d->rows[row - 1].cells;
  while (c.size() <= k) c << QString();
  c[k] = t;
}
int ListView::SmallIcon(int row) const { return row >= 1 && row <= Count() ? d->rows[row - 1].icon : 0; }
bool ListView::Checked(int row) const { return row >= 1 && row <= Count() && d->rows[row - 1].checked; }
void ListView::setChecked(int row, bool on) { if (row >= 1 && row <= Count()) d->rows[row - 1].checked = on; }
void ListView::Clear() { d->rows.clear(); d->selected = 0; }
int ListView::SelectedIndex() const { return d->selected; }
void ListView::setSelectedIndex(int row) { d->selected = (row >= 1 && row <= Count()) ? row : 0; }
bool ListView::Sorted() const { return d->sorted; }
void ListView::setSorted(bool on) { d->sorted = on; if (on) d->sort(); }
int ListView::SortKey() const { return d->key; }
void ListView::setSortKey(int k) { d->key = k; if (d->sorted) d->sort(); }
int ListView::SortOrder() const { return d->order; }
void ListView::setSortOrder(int o) { d->order = o; if (d->sorted) d->sort(); }
int ListView::View() const { return d->view; }
void ListView::setView(int m) { d->view = m; }
ImageList* ListView::SmallIcons() const { return d->small; }
void ListView::setSmallIcons(ImageList* i) { d->small = i; }
ImageList* ListView::LargeIcons() const { return d->large; }
void ListView::setLargeIcons(ImageList* i) { d->large = i; }
void ListView::setRowColors(quint32 a, quint32 b) { d->c1 = a; d->c2 = b; }
quint32 ListView::RowColor(int row) const { return row % 2 ? d->c1 : d->c2; }
int ListView::RowHeightPixels() const { return 17; }
void ListView::setUpdatesLocked(bool) {}
void ListView::Refresh() {}
QWidget* ListView::viewport() const { return const_cast<ListView*>(this); }

}  // namespace vrn
