#include "platform/services_browser.h"

#include <QCoreApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileIconProvider>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
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
  int row = 0;
  bool listed = false;
  std::vector<std::unique_ptr<Node>> children;
};

namespace {

// Names are shown as UTF-8 text; a byte that is not part of it shows as the
// replacement character, as file managers do.
QString shownName(const QByteArray& raw) { return QString::fromUtf8(raw); }

QByteArray childPath(const QByteArray& folder, const QByteArray& name) {
  return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

bool isFolderEntry(const QByteArray& folder, const dirent* entry) {
  if (entry->d_type == DT_DIR) return true;
  if (entry->d_type != DT_LNK && entry->d_type != DT_UNKNOWN) return false;
  struct stat st;
  return ::stat(childPath(folder, entry->d_name).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The visible subfolders of a folder, sorted as a file manager shows them
// (hidden ones, beginning with ".", are left out).
std::vector<std::unique_ptr<FolderTreeModel::Node>> listFolders(FolderTreeModel::Node* parent) {
  std::vector<std::unique_ptr<FolderTreeModel::Node>> out;
  DIR* dir = ::opendir(parent->path.constData());
  if (!dir) return out;
  while (const dirent* entry = ::readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    if (!isFolderEntry(parent->path, entry)) continue;
    auto node = std::make_unique<FolderTreeModel::Node>();
    node->path = childPath(parent->path, entry->d_name);
    node->shown = shownName(entry->d_name);
    node->parent = parent;
    out.push_back(std::move(node));
  }
  ::closedir(dir);
  std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
    const int c = a->shown.compare(b->shown, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : a->path < b->path;
  });
  for (size_t i = 0; i < out.size(); ++i) out[i]->row = int(i);
  return out;
}

QString qtText(const char* text) { return QCoreApplication::translate("QFileDialog", text); }

}  // namespace

FolderTreeModel::FolderTreeModel(QObject* parent) : QAbstractItemModel(parent) {
  QList<QByteArray> tops;
  const QByteArray home = QFile::encodeName(QDir::homePath());
  if (home != "/" && !home.isEmpty()) tops << home;
  tops << QByteArray("/");
  for (const QByteArray& path : tops) {
    auto node = std::make_unique<Node>();
    node->path = path;
    node->shown = decodePath(path);
    node->row = int(tops_.size());
    tops_.push_back(std::move(node));
  }
}

FolderTreeModel::~FolderTreeModel() = default;

FolderTreeModel::Node* FolderTreeModel::nodeOf(const QModelIndex& index) const {
  return index.isValid() ? static_cast<Node*>(index.internalPointer()) : nullptr;
}

QModelIndex FolderTreeModel::indexOf(Node* node) const {
  return node ? createIndex(node->row, 0, node) : QModelIndex();
}

QModelIndex FolderTreeModel::index(int row, int column, const QModelIndex& parent) const {
  if (column != 0 || row < 0) return {};
  const Node* p = nodeOf(parent);
  const auto& list = p ? p->children : tops_;
  if (row >= int(list.size())) return {};
  return createIndex(row, 0, list[size_t(row)].get());
}

QModelIndex FolderTreeModel::parent(const QModelIndex& child) const {
  const Node* n = nodeOf(child);
  return n ? indexOf(n->parent) : QModelIndex();
}

int FolderTreeModel::rowCount(const QModelIndex& parent) const {
  const Node* p = nodeOf(parent);
  return int(p ? p->children.size() : tops_.size());
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
  const Node* p = nodeOf(parent);
  if (!p) return !tops_.empty();
  return !p->listed || !p->children.empty();  // unknown until listed
}

bool FolderTreeModel::canFetchMore(const QModelIndex& parent) const {
  const Node* p = nodeOf(parent);
  return p && !p->listed;
}

void FolderTreeModel::fetchMore(const QModelIndex& parent) {
  Node* p = nodeOf(parent);
  if (!p || p->listed) return;
  auto children = listFolders(p);
  p->listed = true;
  if (children.empty()) return;
  beginInsertRows(parent, 0, int(children.size()) - 1);
  p->children = std::move(children);
  endInsertRows();
}

QByteArray FolderTreeModel::pathOf(const QModelIndex& index) const {
  const Node* n = nodeOf(index);
  return n ? n->path : QByteArray();
}

QModelIndex FolderTreeModel::closestIndex(const QByteArray& path) {
  // Under the home folder when the path lies there, else under the root.
  Node* node = tops_.back().get();
  for (const auto& top : tops_)
    if (top->path != "/" && (path == top->path || path.startsWith(top->path + '/'))) node = top.get();
  QByteArray rest = path.mid(node->path == "/" ? 1 : node->path.size() + 1);
  for (const QByteArray& name : rest.split('/')) {
    if (name.isEmpty()) continue;
    fetchMore(indexOf(node));
    Node* next = nullptr;
    for (const auto& c : node->children)
      if (c->path == childPath(node->path, name)) next = c.get();
    if (!next) break;
    node = next;
  }
  return indexOf(node);
}

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

  auto* layout = new QVBoxLayout(this);
  if (mode_ == Mode::SaveName) {
    auto* lookIn = new QLabel(qtText("Look in:"), this);
    lookIn->setBuddy(tree_);
    layout->addWidget(lookIn);
  }
  layout->addWidget(tree_, 1);
  layout->addWidget(editLabel);
  layout->addWidget(edit_);
  layout->addWidget(buttons);
  if (mode_ == Mode::ChooseFolder) {
    edit_->setObjectName(QStringLiteral("folderEdit"));
    editLabel->setText(qtText("Directory:"));
    acceptButton_->setText(qtText("&Choose"));
  } else {
    edit_->setObjectName(QStringLiteral("fileNameEdit"));
    editLabel->setText(qtText("File &name:"));
    acceptButton_->setText(qtText("&Save"));
    edit_->setText(proposedName);
  }

  connect(buttons, &QDialogButtonBox::accepted, this, &FolderBrowser::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  connect(tree_->selectionModel(), &QItemSelectionModel::currentChanged, this, [this] { selectionMoved(); });

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

void FolderBrowser::selectionMoved() {
  const QModelIndex current = tree_->currentIndex();
  acceptButton_->setEnabled(current.isValid() || mode_ == Mode::SaveName);
  if (mode_ != Mode::ChooseFolder) return;
  shownForSelection_ = shownName(model_->pathOf(current));
  edit_->setText(shownForSelection_);
}

void FolderBrowser::accept() {
  const QByteArray folder = model_->pathOf(tree_->currentIndex());
  const QString text = edit_->text();
  if (mode_ == Mode::ChooseFolder) {
    if (text == shownForSelection_) {
      chosen_ = folder;
    } else {
      // A typed path: absolute, or inside the selected folder.
      const QString typed = text.startsWith(u'/') ? text : decodePath(childPath(folder, QByteArray())) + text;
      chosen_ = exactPathBytes(typed);
    }
  } else if (text.isEmpty()) {
    chosen_.clear();  // no name: the caller asks for one
  } else if (text.startsWith(u'/')) {
    chosen_ = exactPathBytes(text);
  } else {
    chosen_ = (folder.endsWith('/') ? folder : folder + '/') + encodePath(text);
  }
  QDialog::accept();
}

}  // namespace vrn
