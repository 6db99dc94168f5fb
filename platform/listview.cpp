// List control over a compact row store (platform/rowstore.h), ordered by
// the row sort (platform/rowsort.h). The Qt model only learns of new rows in
// batches, so filling a million rows costs no per-row signal.
#include "platform/listview.h"

#include "platform/columnwidths.h"
#include "platform/eventpump.h"
#include "platform/rowsort.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QThread>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QListView>
#include <QMouseEvent>
#include <QPointer>
#include <QStackedLayout>
#include <QTimer>
#include <QTreeView>
#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace vrn {

ImageList::ImageList(QObject* parent, const char* name) : QObject(parent) {
  if (name) setObjectName(QString::fromLatin1(name));
}

QIcon ImageList::Image(int index) const {
  if (index < 1 || index > images_.size()) return QIcon();
  return images_[index - 1];
}

namespace {

// Sorts of at least this many rows let window events run while they work.
constexpr qsizetype kYieldingSortRows = 200000;

quint32 clampedBgr(quint32 bgr) { return bgr & 0xFFFFFF; }

}  // namespace

template <class Base>
class ItemView;

class ListViewPrivate : public QAbstractTableModel {
 public:
  explicit ListViewPrivate(ListView* owner);

  ListView* q;
  RowStore store;
  int modelRows = 0;  // rows the views have been told about
  QStringList captions;
  QList<int> widths;  // twips
  bool sorted = false;
  int key = 0, order = 0, view = ListView::lvwReport;
  qsizetype pendingFrom = 0;  // while sorted: first row added since the last sort
  qsizetype lastAdded = -1;   // row addressable before that sort
  QPointer<ImageList> small, large;
  quint32 c1 = 0xFFFFFF, c2 = 0xFFFFFF;
  bool locked = false;
  bool applyingWidths = false;
  ItemView<QTreeView>* tree = nullptr;
  ItemView<QListView>* list = nullptr;
  QStackedLayout* stack = nullptr;
  QTimer syncTimer;

  // Model.
  int rowCount(const QModelIndex& parent = QModelIndex()) const override { return parent.isValid() ? 0 : modelRows; }
  int columnCount(const QModelIndex& parent = QModelIndex()) const override {
    return parent.isValid() ? 0 : std::max<int>(1, int(captions.size()));
  }
  QVariant data(const QModelIndex& index, int role) const override;
  bool setData(const QModelIndex& index, const QVariant& value, int role) override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QVariant headerData(int section, Qt::Orientation o, int role) const override;

  QAbstractItemView* activeView() const;
  // Valid 0-based row for a 1-based index, after placing pending sorted rows
  // unless it is the row just added; -1 when out of range.
  qsizetype rowAt(int row);
  void touched(qsizetype r);
  void scheduleSync();
  void sync() {
    ensureSorted();
    flushAppends();
  }
  void flushAppends();
  void ensureSorted() {
    if (sorted && pendingFrom < store.count()) sortRows();
  }
  // mayYield: a long sort runs on a worker thread while window events run.
  void sortRows(bool mayYield = false);
  // Used by one thread at a time: the window's, or the worker of a long sort.
  RowSort sorter;
  // Waits for a sort running in the background; with invalidates, the rows
  // are about to change, so its result must not be applied.
  void settleBackgroundSort(bool invalidates) {
    if (sortWorker.joinable()) sortWorker.join();
    if (invalidates && backgroundSorting) sortStale = true;
  }
  std::thread sortWorker;
  bool backgroundSorting = false;
  bool sortStale = false;
  std::shared_ptr<bool> alive = std::make_shared<bool>(true);
  // movedRows: the rows already in their new order, when the caller made them.
  void applyPermutation(const std::vector<quint32>& perm, RowRecs* movedRows = nullptr);
  void applyWidth(int c);
  void applyAllWidths() {
    for (int c = 0; c < widths.size(); ++c) applyWidth(c);
  }
  void applyColors();
  void userToggle(int r) {
    if (r < 0 || r >= modelRows) return;
    setData(index(r, 0), store.rows[size_t(r)].checked ? Qt::Unchecked : Qt::Checked, Qt::CheckStateRole);
  }
  void mouseDown(QMouseEvent* e, QWidget* viewport);
  int autoSizeWidth(int c);
  ColumnTexts columnTexts(int c) const;
  void addColumn(const QString& caption, int widthTwips);
  void clearRows();
};

// The two views: mouse and key handling shared, so both raise the same
// events.
template <class Base>
class ItemView : public Base {
 public:
  explicit ItemView(ListViewPrivate* d) : d_(d) {}
  using Base::initViewItemOption;
  Qt::MouseButton doubleButton = Qt::NoButton;

 protected:
  void mousePressEvent(QMouseEvent* e) override {
    Base::mousePressEvent(e);
    // A press on a check box only ticks; the row clicked still becomes the
    // selected row, as Click handlers read it.
    const QModelIndex at = this->indexAt(e->position().toPoint());
    if (e->button() == Qt::LeftButton && at.isValid() && this->currentIndex().row() != at.row())
      this->selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    d_->mouseDown(e, this->viewport());
  }
  void mouseDoubleClickEvent(QMouseEvent* e) override {
    doubleButton = e->button();
    Base::mouseDoubleClickEvent(e);
    doubleButton = Qt::NoButton;
  }
  void keyPressEvent(QKeyEvent* e) override {
    // Space ticks the current row whatever cell holds the focus.
    if ((e->key() == Qt::Key_Space || e->key() == Qt::Key_Select) && e->modifiers() == Qt::NoModifier &&
        this->currentIndex().isValid()) {
      d_->userToggle(this->currentIndex().row());
      e->accept();
      return;
    }
    Base::keyPressEvent(e);
  }

 private:
  ListViewPrivate* d_;
};

ListViewPrivate::ListViewPrivate(ListView* owner) : q(owner) {
  tree = new ItemView<QTreeView>(this);
  tree->setRootIsDecorated(false);
  tree->setItemsExpandable(false);
  tree->setExpandsOnDoubleClick(false);
  tree->setUniformRowHeights(true);
  tree->setAllColumnsShowFocus(true);
  tree->setSelectionBehavior(QAbstractItemView::SelectRows);
  tree->setSelectionMode(QAbstractItemView::SingleSelection);
  tree->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree->setAlternatingRowColors(true);
  tree->setIconSize(QSize(16, 16));
  tree->setSortingEnabled(false);
  tree->setModel(this);
  QHeaderView* h = tree->header();
  h->setStretchLastSection(false);
  h->setSectionsClickable(true);
  h->setSectionsMovable(false);
  h->setSortIndicatorShown(false);
  h->setHighlightSections(false);
  h->setMinimumSectionSize(1);

  list = new ItemView<QListView>(this);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);

  stack = new QStackedLayout(q);
  stack->setContentsMargins(0, 0, 0, 0);
  stack->addWidget(tree);
  stack->addWidget(list);
  stack->setCurrentWidget(tree);
  q->setFocusProxy(tree);

  syncTimer.setSingleShot(true);
  QObject::connect(&syncTimer, &QTimer::timeout, q, [this] { sync(); });

  QObject::connect(h, &QHeaderView::sectionClicked, q, [this](int logical) { emit q->ColumnClick(logical + 1); });
  QObject::connect(h, &QHeaderView::sectionResized, q, [this](int logical, int, int size) {
    // Only a user's drag: our own changes hold the twips as set.
    if (!applyingWidths && logical < widths.size() && size > 0) widths[logical] = toTwips(size);
  });
  auto wire = [this](auto* v) {
    QObject::connect(v, &QAbstractItemView::clicked, q, [this](const QModelIndex& i) {
      if (!i.isValid()) return;
      emit q->ItemClick(i.row() + 1);
      emit q->Click();
    });
    QObject::connect(v, &QAbstractItemView::doubleClicked, q, [this, v](const QModelIndex& i) {
      if (i.isValid() && v->doubleButton == Qt::LeftButton) emit q->DblClick();
    });
  };
  wire(tree);
  wire(list);
  applyColors();
}

QVariant ListViewPrivate::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= modelRows) return QVariant();
  const int r = index.row();
  switch (role) {
    case Qt::DisplayRole:
      return store.text(r, index.column());
    case Qt::CheckStateRole:
      if (index.column() == 0) return int(store.rows[size_t(r)].checked ? Qt::Checked : Qt::Unchecked);
      break;
    case Qt::DecorationRole:
      if (index.column() == 0) {
        ImageList* images = (view == ListView::lvwIcon && large) ? large.data() : small.data();
        if (images) {
          const QIcon icon = images->Image(store.rows[size_t(r)].icon);
          if (!icon.isNull()) return icon;
        }
      }
      break;
    case Qt::ToolTipRole:
      if (!q->toolTip().isEmpty()) return q->toolTip();
      break;
    default:
      break;
  }
  return QVariant();
}

// Reached only by a user's tick (the delegate or the space key): code ticks
// go through setChecked, which raises nothing.
bool ListViewPrivate::setData(const QModelIndex& index, const QVariant& value, int role) {
  if (!index.isValid() || index.column() != 0 || role != Qt::CheckStateRole || index.row() >= modelRows) return false;
  const bool on = value.toInt() != Qt::Unchecked;
  RowRec& r = store.rows[size_t(index.row())];
  if (bool(r.checked) == on) return true;
  r.checked = on;
  emit dataChanged(index, index, {Qt::CheckStateRole});
  emit q->ItemCheck(index.row() + 1, on);
  return true;
}

Qt::ItemFlags ListViewPrivate::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
  if (index.column() == 0) f |= Qt::ItemIsUserCheckable;
  return f;
}

QVariant ListViewPrivate::headerData(int section, Qt::Orientation o, int role) const {
  if (o == Qt::Horizontal && role == Qt::DisplayRole) return captions.value(section);
  return QVariant();
}

QAbstractItemView* ListViewPrivate::activeView() const {
  return view == ListView::lvwReport ? static_cast<QAbstractItemView*>(tree) : list;
}

qsizetype ListViewPrivate::rowAt(int row) {
  const qsizetype r = qsizetype(row) - 1;
  if (r < 0 || r >= store.count()) return -1;
  if (r != lastAdded) ensureSorted();
  return r;
}

void ListViewPrivate::touched(qsizetype r) {
  if (r < modelRows && !locked && q->isVisible()) activeView()->viewport()->update();
}

void ListViewPrivate::scheduleSync() {
  if (syncTimer.isActive()) return;
  // Each batch makes the view lay out every row again: space the batches
  // out as the list grows so a list filled while shown stays cheap.
  syncTimer.start(std::min(250, modelRows / 10000));
}

void ListViewPrivate::flushAppends() {
  const int n = int(store.count());
  if (n <= modelRows) return;
  if (modelRows == 0) {
    beginResetModel();
    modelRows = n;
    endResetModel();
    applyAllWidths();
  } else {
    beginInsertRows(QModelIndex(), modelRows, n - 1);
    modelRows = n;
    endInsertRows();
  }
}

void ListViewPrivate::sortRows(bool mayYield) {
  // Asked by an event while a long sort runs (a header click): the rows must
  // not be reordered under its worker, and its order is no longer wanted.
  settleBackgroundSort(true);
  flushAppends();
  const qsizetype n = store.count();
  const qsizetype from = pendingFrom;
  pendingFrom = n;
  lastAdded = -1;
  if (n < 2) return;
  const int k = key;
  const bool descending = order == 1;
  std::vector<quint32> perm;
  if (RowSort::fewAdded(n, from)) {
    // A few rows added to a sorted list: place each after its equals.
    RowSort::orderAdded(store, from, k, descending, perm);
  } else if (mayYield && !backgroundSorting && n >= kYieldingSortRows && QCoreApplication::instance() &&
             QThread::currentThread() == QCoreApplication::instance()->thread()) {
    // A long sort: the rows are only read meanwhile, and a change to them
    // first waits for the worker and discards its result.
    const std::shared_ptr<bool> stillAlive = alive;
    backgroundSorting = true;
    sortStale = false;
    std::atomic<bool> done{false};
    RowRecs moved;  // the rows in their new order, made by the worker too
    EventPump pump;
    sortWorker = std::thread([this, &perm, &done, &moved, k, descending, wake = pump.waker()] {
      sorter.order(store, k, descending, perm);
      moved = store.inOrder(perm);
      done = true;
      wake();
    });
    pump.waitUntil([&done] { return done.load(); });
    if (!*stillAlive) return;  // the list went away meanwhile; its end joined the worker
    settleBackgroundSort(false);
    backgroundSorting = false;
    if (sortStale) {
      sortStale = false;
      if (sorted) {
        pendingFrom = 0;
        sortRows(false);
      }
      return;
    }
    applyPermutation(perm, &moved);
    return;
  } else {
    sorter.order(store, k, descending, perm);
  }
  applyPermutation(perm);
}

// perm[new position] = old position.
void ListViewPrivate::applyPermutation(const std::vector<quint32>& perm, RowRecs* movedRows) {
  const size_t n = perm.size();
  size_t first = 0;
  while (first < n && perm[first] == first) ++first;
  if (first == n) return;
  emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
  if (movedRows && movedRows->size() == n) {
    store.rows.swap(*movedRows);
  } else {
    RowRecs moved = store.inOrder(perm);
    store.rows.swap(moved);
  }
  const QModelIndexList before = persistentIndexList();
  if (!before.isEmpty()) {
    std::vector<quint32> inverse(n);
    for (size_t i = 0; i < n; ++i) inverse[perm[i]] = quint32(i);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& i : before)
      after << (size_t(i.row()) < n ? index(int(inverse[size_t(i.row())]), i.column()) : QModelIndex());
    changePersistentIndexList(before, after);
  }
  emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ListViewPrivate::applyWidth(int c) {
  if (c < 0 || c >= widths.size()) return;
  applyingWidths = true;
  const int w = widths[c];
  if (w <= 0) {
    tree->setColumnHidden(c, true);
  } else {
    tree->setColumnHidden(c, false);
    tree->setColumnWidth(c, std::max(1, toPixels(w)));
  }
  applyingWidths = false;
}

void ListViewPrivate::applyColors() {
  for (QAbstractItemView* v : {static_cast<QAbstractItemView*>(tree), static_cast<QAbstractItemView*>(list)}) {
    QPalette pal = v->palette();
    pal.setColor(QPalette::Base, vbColor(c1));
    pal.setColor(QPalette::AlternateBase, vbColor(c2));
    v->setPalette(pal);
    v->setAlternatingRowColors(true);
  }
}

void ListViewPrivate::mouseDown(QMouseEvent* e, QWidget* viewport) {
  int button = 0;
  switch (e->button()) {
    case Qt::LeftButton:
      button = 1;
      break;
    case Qt::RightButton:
      button = 2;
      break;
    case Qt::MiddleButton:
      button = 4;
      break;
    default:
      return;
  }
  const Qt::KeyboardModifiers m = e->modifiers();
  const int shift = (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) | (m & Qt::AltModifier ? 4 : 0);
  const QPoint p = viewport->mapTo(q, e->position().toPoint());
  emit q->MouseDown(button, shift, toTwips(p.x()), toTwips(p.y()));
}

// Width that shows the header and the cells of column c whole. A long list
// is measured at the rows holding its widest texts, found over every row.
int ListViewPrivate::autoSizeWidth(int c) {
  sync();
  int best = tree->header()->sectionSizeHint(c);
  QStyleOptionViewItem opt;
  tree->initViewItemOption(&opt);
  QAbstractItemDelegate* delegate = tree->itemDelegate();
  auto measure = [&](int r) { best = std::max(best, delegate->sizeHint(opt, index(r, c)).width()); };
  constexpr int kMeasureEvery = 2000;
  if (modelRows <= kMeasureEvery) {
    for (int r = 0; r < modelRows; ++r) measure(r);
    return best;
  }
  for (const qsizetype r : widestTextRows(columnTexts(c), opt.font)) measure(int(r));
  return best;
}

// Column c's texts for the search of the widest, read on worker threads: the
// rows do not change meanwhile, as the search lets no user input through.
ColumnTexts ListViewPrivate::columnTexts(int c) const {
  ColumnTexts texts;
  texts.rows = modelRows;
  texts.bytes = [this, c](qsizetype r) { return store.cell(r, c); };
  texts.text = [this, c](qsizetype r) { return store.text(r, c); };
  if (c == 0) {
    // The first cell draws the row's picture when the picture list has one.
    auto pictured = std::make_shared<std::vector<char>>();
    if (small)
      for (int i = 0; i <= small->Count(); ++i) pictured->push_back(!small->Image(i).isNull());
    texts.kind = [this, pictured](qsizetype r) {
      const size_t icon = store.rows[size_t(r)].icon;
      return icon < pictured->size() && (*pictured)[icon] ? 1 : 0;
    };
  }
  return texts;
}

void ListViewPrivate::addColumn(const QString& caption, int widthTwips) {
  if (captions.size() >= kMaxRowCells) return;
  const int c = int(captions.size());
  applyingWidths = true;
  if (c == 0) {  // the model always shows one column
    captions << caption;
    widths << widthTwips;
    emit headerDataChanged(Qt::Horizontal, 0, 0);
  } else {
    beginInsertColumns(QModelIndex(), c, c);
    captions << caption;
    widths << widthTwips;
    endInsertColumns();
  }
  applyingWidths = false;
  applyWidth(c);
}

void ListViewPrivate::clearRows() {
  settleBackgroundSort(true);
  beginResetModel();
  store.clear();
  modelRows = 0;
  pendingFrom = 0;
  lastAdded = -1;
  endResetModel();
  applyAllWidths();
}

// ---------------------------------------------------------------------------

ListView::ListView(QWidget* parent) : QWidget(parent), Control(this), d(new ListViewPrivate(this)) {}

ListView::~ListView() {
  *d->alive = false;
  d->settleBackgroundSort(true);
  // The views go before the model they show.
  delete d->tree;
  delete d->list;
  d->tree = nullptr;
  d->list = nullptr;
}

void ListView::showEvent(QShowEvent* e) {
  QWidget::showEvent(e);
  d->sync();
}

void ListView::AddColumn(const QString& caption, int widthTwips) { d->addColumn(caption, widthTwips); }

int ListView::ColumnCount() const { return int(d->captions.size()); }
QString ListView::ColumnCaption(int k) const { return d->captions.value(k - 1); }
int ListView::ColumnWidth(int k) const { return d->widths.value(k - 1); }

void ListView::setColumnWidth(int k, int twips) {
  if (k < 1 || k > d->widths.size() || twips < 0) return;
  d->widths[k - 1] = twips;
  d->applyWidth(k - 1);
}

void ListView::AutoSizeColumn(int zeroBasedIndex) {
  if (zeroBasedIndex < 0 || zeroBasedIndex >= d->captions.size()) return;
  d->widths[zeroBasedIndex] = toTwips(d->autoSizeWidth(zeroBasedIndex));
  d->applyWidth(zeroBasedIndex);
}

int ListView::Count() const { return int(d->store.count()); }

int ListView::Add(const QString& text, int smallIcon) {
  d->settleBackgroundSort(true);
  d->store.append(text, smallIcon);
  const qsizetype n = d->store.count();
  if (d->sorted) d->lastAdded = n - 1;
  else d->pendingFrom = n;
  if (isVisible()) d->scheduleSync();
  return int(n);
}

int ListView::AddPacked(PackedRowView row, int smallIcon) {
  if (row.cells < 1 || row.size == 0) return Add(QString(), smallIcon);
  d->settleBackgroundSort(true);
  d->store.appendPacked(row, smallIcon);
  const qsizetype n = d->store.count();
  if (d->sorted) d->lastAdded = n - 1;
  else d->pendingFrom = n;
  if (isVisible()) d->scheduleSync();
  return int(n);
}

QString ListView::Text(int row) const { return SubItem(row, 0); }
void ListView::setText(int row, const QString& text) { setSubItem(row, 0, text); }

QString ListView::SubItem(int row, int k) const {
  if (k < 0) return QString();
  const qsizetype r = d->rowAt(row);
  return r < 0 ? QString() : d->store.text(r, k);
}

void ListView::setSubItem(int row, int k, const QString& text) {
  if (k < 0 || k >= std::max<int>(1, int(d->captions.size()))) return;
  d->settleBackgroundSort(true);
  const qsizetype r = d->rowAt(row);
  if (r < 0) return;
  d->store.setCell(r, k, text);
  d->touched(r);
}

int ListView::SmallIcon(int row) const {
  const qsizetype r = d->rowAt(row);
  return r < 0 ? 0 : d->store.rows[size_t(r)].icon;
}

bool ListView::Checked(int row) const {
  const qsizetype r = d->rowAt(row);
  return r >= 0 && d->store.rows[size_t(r)].checked;
}

void ListView::setChecked(int row, bool on) {
  d->settleBackgroundSort(false);  // ticks do not change the order
  const qsizetype r = d->rowAt(row);
  if (r < 0) return;
  d->store.rows[size_t(r)].checked = on;
  d->touched(r);
}

void ListView::Clear() { d->clearRows(); }

int ListView::SelectedIndex() const {
  d->ensureSorted();
  const QItemSelection s = d->tree->selectionModel()->selection();
  return s.isEmpty() ? 0 : s.first().top() + 1;
}

void ListView::setSelectedIndex(int row) {
  QItemSelectionModel* sel = d->tree->selectionModel();
  const qsizetype r = d->rowAt(row);
  if (r < 0) {
    sel->clear();
    return;
  }
  d->sync();
  sel->setCurrentIndex(d->index(int(r), 0), QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

bool ListView::Sorted() const { return d->sorted; }

void ListView::setSorted(bool on) {
  if (on) {
    d->sorted = true;
    d->sortRows(true);
  } else {
    d->ensureSorted();  // rows added while sorted still take their place
    d->sorted = false;
    d->pendingFrom = d->store.count();
  }
}

int ListView::SortKey() const { return d->key; }

void ListView::setSortKey(int key) {
  if (key < 0) return;
  d->key = key;
  if (d->sorted) d->sortRows(true);
}

int ListView::SortOrder() const { return d->order; }

void ListView::setSortOrder(int order) {
  if (order != 0 && order != 1) return;
  d->order = order;
  if (d->sorted) d->sortRows(true);
}

int ListView::View() const { return d->view; }

void ListView::setView(int mode) {
  if (mode < lvwIcon || mode > lvwReport || mode == d->view) return;
  d->view = mode;
  QListView* list = d->list;
  if (mode == lvwReport) {
    // Detached, the list view does not lay out rows it does not show.
    list->setModel(nullptr);
    d->stack->setCurrentWidget(d->tree);
    setFocusProxy(d->tree);
    return;
  }
  if (mode == lvwIcon) {
    list->setViewMode(QListView::IconMode);
    list->setFlow(QListView::LeftToRight);
    list->setIconSize(QSize(32, 32));
    list->setGridSize(QSize(96, 72));
    list->setWordWrap(true);
  } else {
    list->setViewMode(QListView::ListMode);
    list->setFlow(mode == lvwSmallIcon ? QListView::LeftToRight : QListView::TopToBottom);
    list->setIconSize(QSize(16, 16));
    list->setGridSize(QSize());
    list->setWordWrap(false);
  }
  list->setMovement(QListView::Static);
  list->setWrapping(true);
  list->setResizeMode(QListView::Adjust);
  list->setUniformItemSizes(true);
  list->setLayoutMode(QListView::Batched);
  list->setBatchSize(10000);
  if (list->model() != d.get()) {
    QItemSelectionModel* shared = d->tree->selectionModel();
    QItemSelectionModel* detached = list->selectionModel();
    list->setModel(d.get());
    QItemSelectionModel* fresh = list->selectionModel();
    list->setSelectionModel(shared);
    if (fresh != shared) delete fresh;
    if (detached && detached != shared && detached != fresh) delete detached;
  }
  d->stack->setCurrentWidget(list);
  setFocusProxy(list);
}

ImageList* ListView::SmallIcons() const { return d->small; }

void ListView::setSmallIcons(ImageList* icons) {
  d->small = icons;
  if (!d->locked) d->activeView()->viewport()->update();
}

ImageList* ListView::LargeIcons() const { return d->large; }

void ListView::setLargeIcons(ImageList* icons) {
  d->large = icons;
  if (!d->locked) d->activeView()->viewport()->update();
}

void ListView::setRowColors(quint32 firstBgr, quint32 secondBgr) {
  d->c1 = clampedBgr(firstBgr);
  d->c2 = clampedBgr(secondBgr);
  d->applyColors();
}

quint32 ListView::RowColor(int row) const { return row % 2 == 0 ? d->c2 : d->c1; }

int ListView::RowHeightPixels() const {
  d->sync();
  if (d->modelRows > 0) {
    const int h = d->tree->visualRect(d->index(0, 0)).height();
    if (h > 0) return h;
  }
  QStyleOptionViewItem opt;
  d->tree->initViewItemOption(&opt);
  return std::max(opt.fontMetrics.height(), d->tree->iconSize().height()) + 2;
}

void ListView::setUpdatesLocked(bool locked) {
  d->locked = locked;
  setUpdatesEnabled(!locked);
  if (!locked && isVisible()) d->scheduleSync();
}

void ListView::Refresh() {
  d->sync();
  if (!d->locked) d->activeView()->viewport()->update();
}

QWidget* ListView::viewport() const { return d->activeView()->viewport(); }
QAbstractItemView* ListView::itemView() const { return d->activeView(); }
QHeaderView* ListView::header() const { return d->tree->header(); }

}  // namespace vrn
