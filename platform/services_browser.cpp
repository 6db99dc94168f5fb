#include "platform/services_browser.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include <dirent.h>
#include <sys/stat.h>

#include "platform/pathcodec.h"
#include "platform/services_paths.h"

namespace vrn {

struct FolderTreeModel::Node {
  QByteArray path;  // raw bytes, no trailing "/" except for the root
  QString shown;
  Node* parent = nullptr;
  int row = 0;          // among the parent's shown children
  bool hidden = false;  // the name begins with "."
  bool listed = false;
  std::vector<std::unique_ptr<Node>> all;  // every subfolder, sorted
  std::vector<Node*> children;             // those shown
};

namespace {

QString shownName(const QByteArray& raw) { return displayedPath(decodePath(raw)); }

QByteArray childPath(const QByteArray& folder, const QByteArray& name) {
  return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

bool isFolder(const QByteArray& path) {
  struct stat st;
  return ::stat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool isFolderEntry(const QByteArray& folder, const dirent* entry) {
  if (entry->d_type == DT_DIR) return true;
  if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return false;
  return isFolder(childPath(folder, entry->d_name));
}

bool hasHiddenComponent(const QByteArray& path) {
  for (const QByteArray& name : path.split('/'))
    if (name.startsWith('.') && name != "." && name != "..") return true;
  return false;
}

// The subfolders of a folder, hidden ones included, sorted as a file manager
// shows them.
std::vector<std::unique_ptr<FolderTreeModel::Node>> listFolders(FolderTreeModel::Node* parent) {
  std::vector<std::unique_ptr<FolderTreeModel::Node>> out;
  DIR* dir = ::opendir(parent->path.constData());
  if (!dir) return out;
  while (const dirent* entry = ::readdir(dir)) {
    const QByteArray name(entry->d_name);
    if (name == "." || name == "..") continue;
    if (!isFolderEntry(parent->path, entry)) continue;
    auto node = std::make_unique<FolderTreeModel::Node>();
    node->path = childPath(parent->path, name);
    node->shown = shownName(name);
    node->hidden = name.startsWith('.');
    node->parent = parent;
    out.push_back(std::move(node));
  }
  ::closedir(dir);
  std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
    const int c = a->shown.compare(b->shown, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a->path < b->path;
  });
  return out;
}

void renumber(FolderTreeModel::Node* folder, size_t from = 0) {
  for (size_t i = from; i < folder->children.size(); ++i) folder->children[i]->row = int(i);
}

QString qtText(const char* text) { return QCoreApplication::translate("QFileDialog", text); }

}  // namespace

FolderTreeModel::FolderTreeModel(QObject* parent) : QAbstractItemModel(parent), root_(std::make_unique<Node>()) {
  QList<QByteArray> tops;
  const QByteArray home = QFile::encodeName(QDir::homePath());
  if (home != "/" && !home.isEmpty()) tops << home;
  tops << QByteArray("/");
  for (const QByteArray& path : tops) {
    auto node = std::make_unique<Node>();
    node->path = path;
    node->shown = displayedPath(decodePath(path));
    node->parent = root_.get();
    root_->children.push_back(node.get());
    root_->all.push_back(std::move(node));
  }
  root_->listed = true;
  renumber(root_.get());
}

FolderTreeModel::~FolderTreeModel() = default;

FolderTreeModel::Node* FolderTreeModel::nodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex FolderTreeModel::indexOf(Node* node) const {
  return node && node != root_.get() ? createIndex(node->row, 0, node) : QModelIndex();
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  const Node* p = parent.isValid() ? nodeOf(parent) : root_.get();
  if (row >= int(p->children.size())) return {};
  return createIndex(row, 0, p->children[size_t(row)]);
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
  const Node* n = nodeOf(child);
  return n ? indexOf(n->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
  const Node* p = parent.isValid() ? nodeOf(parent) : root_.get();
  return int(p->children.size());
}

int FolderTreeModel::columnCount(const QModelIndex&) const { return 1; }

QVariant FolderTreeModel::data(const QModelIndex& index, int role) const {
  const Node* n = nodeOf(index);
  if (!n) return {};
  if (role == Qt::DisplayRole || role == Qt::ToolTipRole) return n->shown;
  if (role == Qt::DecorationRole) {
    static const QFileIconProvider icons;
    return icons.icon(QFileIconProvider::Folder);
  }
  return {};
}

bool FolderTreeModel::hasChildren(const QModelIndex& parent) const {
  const Node* p = parent.isValid() ? nodeOf(parent) : root_.get();
  return !p->listed || !p->children.empty();  // unknown until listed
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
  const Node* p = nodeOf(parent);
  return p && !p->listed;
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
  Node* p = nodeOf(parent);
  if (!p || p->listed) return;
  p->all = listFolders(p);
  p->listed = true;
  std::vector<Node*> shown;
  for (const auto& c : p->all)
    if (showHidden_ || !c->hidden) shown.push_back(c.get());
  if (shown.empty()) return;
  beginInsertRows(parent, 0, int(shown.size()) - 1);
  p->children = std::move(shown);
  renumber(p);
  endInsertRows();
}

void FolderTreeModel::setShowHidden(bool show) {
  if (show == showHidden_) return;
  showHidden_ = show;
  refilter(root_.get());
}

void FolderTreeModel::refilter(Node* folder) {
  const QModelIndex at = indexOf(folder);
  if (showHidden_) {
    // Every listed subfolder not shown yet is a hidden one: insert it at its
    // place in the sorted listing.
    size_t k = 0;
    for (const auto& c : folder->all) {
      if (k < folder->children.size() && folder->children[k] == c.get()) {
        ++k;
        continue;
      }
      beginInsertRows(at, int(k), int(k));
      folder->children.insert(folder->children.begin() + qsizetype(k), c.get());
      renumber(folder, k);
      endInsertRows();
      ++k;
    }
  } else {
    for (size_t r = folder->children.size(); r-- > 0;) {
      if (!folder->children[r]->hidden) continue;
      beginRemoveRows(at, int(r), int(r));
      folder->children.erase(folder->children.begin() + qsizetype(r));
      renumber(folder, r);
      endRemoveRows();
    }
  }
  // A hidden folder taken out keeps its branch as it was shown; it comes
  // back only with the hidden folders shown again.
  for (Node* c : folder->children)
    if (c->listed) refilter(c);
}

QByteArray FolderTreeModel::pathOf(const QModelIndex& index) const {
  const Node* n = nodeOf(index);
  return n ? n->path : QByteArray();
}

QModelIndex FolderTreeModel::closestIndex(const QByteArray& path) {
  // Under the home folder when the path lies there, else under the root.
  Node* node = root_->children.back();
  for (Node* top : root_->children)
    if (top->path != "/" && (path == top->path || path.startsWith(top->path + '/'))) node = top;
  QByteArray rest = path.mid(node->path == "/" ? 1 : node->path.size() + 1);
  for (const QByteArray& name : rest.split('/')) {
    if (name.isEmpty()) continue;
    fetchMore(indexOf(node));
    Node* next = nullptr;
    for (Node* c : node->children)
      if (c->path == childPath(node->path, name)) next = c;
    if (!next) break;
    node = next;
  }
  return indexOf(node);
}

namespace {

// A path typed into the folder box: "~" is the home folder, a relative path
// lies inside the selected folder, and escaped bytes are the bytes they show.
QByteArray typedFolderPath(const QString& typed, const QByteArray& selected) {
  QString path = pathFromDisplayed(typed);
  if (path == u"~" || path.startsWith(u"~/")) {
    path = decodePath(QFile::encodeName(QDir::homePath())) + path.mid(1);
  } else if (!path.startsWith(u'/')) {
    const QByteArray base = selected.isEmpty() ? QFile::encodeName(QDir::homePath()) : selected;
    path = decodePath(childPath(base, QByteArray())) + path;
  }
  return exactPathBytes(QDir::cleanPath(path));
}

}  // namespace

FolderBrowser::FolderBrowser(QWidget* owner, const QString& title, Mode mode, const QByteArray& startFolder,
                             const QString& proposedName)
    : QDialog(owner), mode_(mode) {
  setWindowTitle(title);
  resize(560, 460);
  model_ = new FolderTreeModel(this);
  tree_ = new QTreeView(this);
  tree_->setObjectName(QStringLiteral("folderTree"));
  tree_->setHeaderHidden(true);
  tree_->setUniformRowHeights(true);
  tree_->setSelectionMode(QAbstractItemView::SingleSelection);
  tree_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  tree_->setModel(model_);

  edit_ = new QLineEdit(this);
  auto* editLabel = new QLabel(this);
  editLabel->setBuddy(edit_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->setObjectName(QStringLiteral("buttonBox"));
  acceptButton_ = buttons->button(QDialogButtonBox::Ok);

  // Ctrl+H shows or hides the hidden folders, as in the desktop's dialogs;
  // the tree's context menu offers the same switch.
  showHidden_ = new QAction(qtText("Show &hidden files"), this);
  showHidden_->setCheckable(true);
  showHidden_->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_H));
  showHidden_->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  addAction(showHidden_);
  tree_->addAction(showHidden_);
  tree_->setContextMenuPolicy(Qt::ActionsContextMenu);
  connect(showHidden_, &QAction::toggled, this, [this](bool on) {
    model_->setShowHidden(on);
    tree_->scrollTo(tree_->currentIndex());
  });

  auto* layout = new QVBoxLayout(this);
  if (mode_ == Mode::SaveName) {
    auto* lookIn = new QLabel(qtText("Look in:"), this);
    lookIn->setBuddy(tree_);
    layout->addWidget(lookIn);
  }
  layout->addWidget(tree_, 1);
  layout->addWidget(editLabel);
  layout->addWidget(edit_);
  if (mode_ == Mode::ChooseFolder) {
    edit_->setObjectName(QStringLiteral("folderEdit"));
    editLabel->setText(qtText("Directory:"));
    acceptButton_->setText(qtText("&Choose"));
    // Typing "/" or "~" in the tree starts a path in the folder box.
    tree_->installEventFilter(this);
  } else {
    edit_->setObjectName(QStringLiteral("fileNameEdit"));
    editLabel->setText(qtText("File &name:"));
    acceptButton_->setText(qtText("&Save"));
    edit_->setText(proposedName);
    // The name is one folder's name: a "/" would make folders inside
    // folders, so such a name is refused while it is typed.
    nameProblem_ = new QLabel(QStringLiteral("Le Nom ne peut pas Contenir de ( / )..."), this);
    nameProblem_->setObjectName(QStringLiteral("nameProblem"));
    QPalette warning = nameProblem_->palette();
    warning.setColor(QPalette::WindowText, QColor(0xB0, 0x00, 0x00));
    nameProblem_->setPalette(warning);
    // Its line stays when it hides, so the box does not jump as one types.
    QSizePolicy keepLine = nameProblem_->sizePolicy();
    keepLine.setRetainSizeWhenHidden(true);
    nameProblem_->setSizePolicy(keepLine);
    layout->addWidget(nameProblem_);
  }
  layout->addWidget(buttons);

  connect(buttons, &QDialogButtonBox::accepted, this, &FolderBrowser::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { selectionMoved(); });
  connect(edit_, &QLineEdit::textChanged, this, [this] {
    if (!settingEdit_) edited_ = true;
    updateAcceptState();
  });

  // A start folder inside a hidden one can only be shown with them.
  if (hasHiddenComponent(startFolder)) showHidden_->setChecked(true);
  const QModelIndex start = model_->closestIndex(startFolder);
  // Open down to the start folder, its own subfolders in view.
  for (QModelIndex up = start; up.isValid(); up = up.parent()) tree_->expand(up);
  tree_->setCurrentIndex(start);
  tree_->scrollTo(start, QAbstractItemView::PositionAtCenter);
  selectionMoved();
  if (mode_ == Mode::SaveName) {
    edit_->setFocus();
    edit_->selectAll();
  } else {
    tree_->setFocus();
  }
}

bool FolderBrowser::eventFilter(QObject* watched, QEvent* event) {
  if (watched == tree_ && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const bool plain = !(key->modifiers() & (Qt::ControlModifier | Qt::MetaModifier));
    if (plain && (key->text() == u"/" || key->text() == u"~")) {
      edit_->setFocus(Qt::ShortcutFocusReason);
      edit_->setText(key->text());
      return true;
    }
  }
  return QDialog::eventFilter(watched, event);
}

void FolderBrowser::selectionMoved() {
  if (mode_ == Mode::ChooseFolder) {
    settingEdit_ = true;
    const QModelIndex current = tree_->currentIndex();
    edit_->setText(current.isValid() ? displayedPath(decodePath(model_->pathOf(current))) : QString());
    settingEdit_ = false;
    edited_ = false;
  }
  updateAcceptState();
}

void FolderBrowser::updateAcceptState() {
  if (mode_ == Mode::ChooseFolder) {
    acceptButton_->setEnabled(tree_->currentIndex().isValid() || edited_);
  } else {
    const bool refused = edit_->text().contains(u'/');
    nameProblem_->setVisible(refused);
    acceptButton_->setEnabled(!refused);
  }
}

void FolderBrowser::accept() {
  const QByteArray folder = model_->pathOf(tree_->currentIndex());
  const QString text = edit_->text();
  if (mode_ == Mode::ChooseFolder) {
    if (!edited_) {
      if (folder.isEmpty()) return;
      chosen_ = folder;
    } else {
      // What the box names once it was edited, and only a folder that
      // exists: otherwise the dialog stays open, as Qt's own does.
      const QByteArray typed = typedFolderPath(text, folder);
      if (!isFolder(typed)) {
        QMessageBox::warning(
            this, windowTitle(),
            qtText("%1\nDirectory not found.\nPlease verify the correct directory name was given.").arg(text));
        return;
      }
      chosen_ = typed;
    }
  } else if (text.contains(u'/')) {
    return;  // refused: the box says why
  } else if (text.isEmpty()) {
    chosen_.clear();  // no name: the caller asks for one
  } else {
    chosen_ = childPath(folder, encodePath(text));
  }
  QDialog::accept();
}

}  // namespace vrn
