#pragma once
// The folder browser and save box of the dialog service. Qt's own file dialog
// skips every name that is not valid UTF-8 when it lists a folder (Qt cannot
// name such files), so it can neither show nor return them; this browser
// lists folders by their raw names and hands back their exact bytes.
#include <QAbstractItemModel>
#include <QByteArray>
#include <QDialog>
#include <QString>
#include <memory>
#include <vector>

class QAction;
class QLabel;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace vrn {

// The folder tree: the home folder and the root, each listed on demand.
// Hidden folders (names beginning with ".") are listed but shown only on demand.
class FolderTreeModel : public QAbstractItemModel {
 public:
  explicit FolderTreeModel(QObject* parent = nullptr);
  ~FolderTreeModel() override;

  QModelIndex index(int row, int column, const QModelIndex& parent = QModelIndex()) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  int columnCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  bool hasChildren(const QModelIndex& parent = QModelIndex()) const override;
  bool canFetchMore(const QModelIndex& parent) const override;
  void fetchMore(const QModelIndex& parent) override;

  QByteArray pathOf(const QModelIndex& index) const;
  // The deepest shown folder on the way to `path` (bytes).
  QModelIndex closestIndex(const QByteArray& path);

  bool showsHidden() const { return showHidden_; }
  // Shows or hides the hidden folders of every listed folder in place, so the
  // open branches and the selection stay where they are.
  void setShowHidden(bool show);

  struct Node;

 private:
  Node* nodeOf(const QModelIndex& index) const;
  QModelIndex indexOf(Node* node) const;
  void refilter(Node* folder);
  std::unique_ptr<Node> root_;  // not shown: its children are the tops
  bool showHidden_ = false;
};

class FolderBrowser : public QDialog {
 public:
  enum class Mode { ChooseFolder, SaveName };
  // startFolder: bytes of the folder shown first; proposedName: the name
  // offered in save mode.
  FolderBrowser(QWidget* owner, const QString& title, Mode mode, const QByteArray& startFolder,
                const QString& proposedName = QString());

  // The answer after Accept: the folder, or in save mode the folder and the
  // name ("" when the name was left empty).
  QByteArray chosenPath() const { return chosen_; }

  void accept() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void selectionMoved();
  void updateAcceptState();

  Mode mode_;
  FolderTreeModel* model_;
  QTreeView* tree_;
  QLineEdit* edit_;
  QLabel* nameProblem_ = nullptr;  // save mode: why the name is refused
  QPushButton* acceptButton_;
  QAction* showHidden_;
  bool settingEdit_ = false;  // the edit is being set from the selection
  bool edited_ = false;       // the folder box names what the person typed
  QByteArray chosen_;
};

}  // namespace vrn
