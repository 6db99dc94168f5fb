// The real folder browser and save box of the dialog service, driven offscreen
// as a user would: exact bytes of the chosen names, Qt's texts in the user's
// language, and no state written to the user's configuration.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>
#include <functional>
#include <ostream>

#include <ftw.h>
#include <sys/stat.h>

#include "platform/pathcodec.h"
#include "platform/services.h"
#include "platform/services_paths.h"
#include "platform/services_qt.h"

QT_BEGIN_NAMESPACE
inline void PrintTo(const QByteArray& b, std::ostream* os) {
  *os << '"' << b.toPercentEncoding("/ ()").constData() << '"';
}
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

using namespace vrn;

namespace {

// A temporary folder whose tree may hold names Qt cannot address, so it is
// removed by bytes.
class RawTempDir {
 public:
  RawTempDir() {
    QByteArray pattern = QFile::encodeName(QDir::tempPath()) + "/varnelo-browser-XXXXXX";
    if (::mkdtemp(pattern.data())) path_ = pattern;
  }
  ~RawTempDir() {
    if (path_.isEmpty()) return;
    ::nftw(
        path_.constData(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
  }
  bool isValid() const { return !path_.isEmpty(); }
  const QByteArray& bytes() const { return path_; }
  QString text() const { return decodePath(path_); }

 private:
  QByteArray path_;
};

void makeFolder(const QByteArray& path) { ASSERT_EQ(::mkdir(path.constData(), 0755), 0) << path.constData(); }

// Runs `act` on the browser once it is open and waiting for the user.
void whenBrowserOpens(std::function<void(QDialog*)> act) {
  auto* poll = new QTimer;
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, [poll, act] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (!dialog || !dialog->isVisible()) return;
    poll->stop();
    poll->deleteLater();
    act(dialog);
    if (dialog->isVisible()) dialog->reject();  // a step that failed must not leave it open
  });
  poll->start();
}

QPushButton* button(QDialog* dialog, QDialogButtonBox::StandardButton which) {
  auto* box = dialog->findChild<QDialogButtonBox*>(QStringLiteral("buttonBox"));
  return box ? box->button(which) : nullptr;
}

// Opens the tree down to `path` (bytes) the way a user does, expanding each
// folder and clicking the entry shown for the next name; `nth` picks among
// entries shown alike. Returns false when an entry is missing.
bool clickFolder(QDialog* dialog, const QByteArray& path, int nth = 0) {
  auto* tree = dialog->findChild<QTreeView*>(QStringLiteral("folderTree"));
  if (!tree) return false;
  const QAbstractItemModel* model = tree->model();
  QModelIndex at;
  for (int r = 0; r < model->rowCount(); ++r)
    if (model->index(r, 0).data().toString() == "/") at = model->index(r, 0);
  if (!at.isValid()) return false;
  const QList<QByteArray> names = path.mid(1).split('/');
  for (qsizetype k = 0; k < names.size(); ++k) {
    tree->expand(at);
    const QString shown = QString::fromUtf8(names[k]);
    QModelIndex next;
    int seen = 0;
    for (int r = 0; r < model->rowCount(at); ++r) {
      const QModelIndex child = model->index(r, 0, at);
      if (child.data().toString() == shown && (k + 1 < names.size() || seen++ == nth)) {
        next = child;
        break;
      }
    }
    if (!next.isValid()) return false;
    at = next;
  }
  tree->scrollTo(at);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, tree->visualRect(at).center());
  return tree->currentIndex() == at;
}

}  // namespace

TEST(ExactPathBytes, ComponentsShownWithReplacementCharactersFindTheirBytes) {
  RawTempDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const QByteArray root = tmp.bytes();
  makeFolder(root + "/caf\xE9");
  makeFolder(root + "/caf\xE9/sous");
  makeFolder(root + "/caf\xE9/sous/\xFF\xFE");
  makeFolder(root + "/x\xE9");  // two names shown alike: x?
  makeFolder(root + "/x\xE8");
  makeFolder(root + "/\xC3\xA9t\xC3\xA9");  // valid UTF-8
  const QString shownRoot = tmp.text();
  const QString r = QString(QChar::ReplacementCharacter);
  struct Case {
    QString shown;
    QByteArray expected;
  };
  const QList<Case> cases = {
      {shownRoot + "/caf" + r, root + "/caf\xE9"},
      {shownRoot + "/caf" + r + "/sous/" + r + r, root + "/caf\xE9/sous/\xFF\xFE"},
      // A name still to be made keeps its text; its parent is found.
      {shownRoot + "/caf" + r + "/Sauvegarde (txt (3))", root + "/caf\xE9/Sauvegarde (txt (3))"},
      {shownRoot + QString::fromUtf8("/été"), root + "/\xC3\xA9t\xC3\xA9"},
      // Ambiguous or unknown: left as shown, so it names no folder.
      {shownRoot + "/x" + r, root + "/x\xEF\xBF\xBD"},
      {shownRoot + "/gone" + r, root + "/gone\xEF\xBF\xBD"},
  };
  for (const Case& c : cases) EXPECT_EQ(exactPathBytes(c.shown), c.expected) << c.shown.toStdString();
}

class FolderBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
  RawTempDir tmp;
  QtDialogs dialogs;
};

TEST_F(FolderBrowserTest, AChosenFolderComesBackAsItsExactBytes) {
  const QByteArray root = tmp.bytes();
  for (const char* name : {"/caf\xE9", "/caf\xE9/sous", "/x\xE9", "/x\xE8", "/-h", "/a#b %41"}) makeFolder(root + name);
  struct Case {
    const char* what;
    QByteArray click;
    int nth;
    QString typed;  // typed into the folder box after the click, when set
  };
  const QList<Case> cases = {
      {"non-UTF-8 name", root + "/caf\xE9", 0, {}},
      {"below a non-UTF-8 name", root + "/caf\xE9/sous", 0, {}},
      {"first of two shown alike", root + "/x\xE9", 0, {}},
      {"second of two shown alike", root + "/x\xE9", 1, {}},
      {"dash", root + "/-h", 0, {}},
      {"hash, blank, percent", root + "/a#b %41", 0, {}},
      {"typed with the shown text", root, 0, tmp.text() + "/caf" + QChar(QChar::ReplacementCharacter) + "/sous"},
      {"typed inside the selected folder", root + "/caf\xE9", 0, "sous"},
  };
  QList<QByteArray> chosen;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool clicked = false;
    whenBrowserOpens([&](QDialog* dialog) {
      clicked = clickFolder(dialog, c.click, c.nth);
      if (!c.typed.isEmpty()) dialog->findChild<QLineEdit*>(QStringLiteral("folderEdit"))->setText(c.typed);
      if (clicked) button(dialog, QDialogButtonBox::Ok)->click();
    });
    chosen << encodePath(dialogs.browseForFolder(nullptr, "Sélectionnez le Dossier de Destination :"));
    EXPECT_TRUE(clicked);
  }
  ASSERT_EQ(chosen.size(), 8);
  EXPECT_EQ(chosen[0], root + "/caf\xE9");
  EXPECT_EQ(chosen[1], root + "/caf\xE9/sous");
  // The two entries shown as "x?" are two folders, each chosen by its bytes.
  EXPECT_EQ((QSet<QByteArray>{chosen[2], chosen[3]}), (QSet<QByteArray>{root + "/x\xE9", root + "/x\xE8"}));
  EXPECT_EQ(chosen[4], root + "/-h");
  EXPECT_EQ(chosen[5], root + "/a#b %41");
  EXPECT_EQ(chosen[6], root + "/caf\xE9/sous");
  EXPECT_EQ(chosen[7], root + "/caf\xE9/sous");

  // It opens again on the folder chosen last; Cancel gives "".
  QByteArray shownFirst;
  whenBrowserOpens([&](QDialog* dialog) {
    shownFirst = encodePath(dialog->findChild<QLineEdit*>(QStringLiteral("folderEdit"))->text());
    button(dialog, QDialogButtonBox::Cancel)->click();
  });
  EXPECT_EQ(dialogs.browseForFolder(nullptr, "t"), QString());
  EXPECT_EQ(shownFirst, QString(tmp.text() + "/caf\uFFFD/sous").toUtf8());
}

TEST_F(FolderBrowserTest, TheSaveBoxNamesABackupInAnyFolder) {
  const QByteArray root = tmp.bytes();
  makeFolder(root + "/caf\xE9");
  struct Case {
    const char* what;
    QString startFolder;
    QByteArray click;  // empty: the start folder as shown
    QString name;      // replaces the proposal when set
    QByteArray expected;
  };
  const QString proposal = "Sauvegarde (pdf (12))";
  const QList<Case> cases = {
      {"proposal in the start folder", tmp.text(), {}, {}, root + "/Sauvegarde (pdf (12))"},
      {"start folder not UTF-8", decodePath(root + "/caf\xE9"), {}, {}, root + "/caf\xE9/Sauvegarde (pdf (12))"},
      {"folder clicked, name typed", tmp.text(), root + "/caf\xE9", "-h", root + "/caf\xE9/-h"},
      {"name cleared", tmp.text(), {}, "", QByteArray()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    whenBrowserOpens([&](QDialog* dialog) {
      if (!c.click.isEmpty() && !clickFolder(dialog, c.click)) return;
      auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
      if (!name || name->text() != proposal) return;
      if (!c.name.isNull()) name->setText(c.name);
      button(dialog, QDialogButtonBox::Ok)->click();
    });
    const QString chosen =
        dialogs.saveFileName(nullptr, "Destination de votre Sauvegarde de Données...", c.startFolder, proposal);
    EXPECT_EQ(encodePath(chosen), c.expected);
  }
  whenBrowserOpens([](QDialog* dialog) { button(dialog, QDialogButtonBox::Cancel)->click(); });
  EXPECT_EQ(dialogs.saveFileName(nullptr, "t", tmp.text(), proposal), QString());
}

TEST_F(FolderBrowserTest, QtsOwnTextsFollowTheUsersLanguage) {
  ASSERT_EQ(QLocale::system().language(), QLocale::French) << "run with LANG=fr_FR.UTF-8";
  ASSERT_TRUE(installQtTranslations()) << "Qt's French translations (qt6-translations-l10n) are missing";
  struct Texts {
    QString accept, cancel;
    QStringList labels;
  };
  const auto textsOf = [](QDialog* dialog) {
    Texts t{button(dialog, QDialogButtonBox::Ok)->text(), button(dialog, QDialogButtonBox::Cancel)->text(), {}};
    for (QLabel* l : dialog->findChildren<QLabel*>()) t.labels << l->text();
    t.labels.sort();
    button(dialog, QDialogButtonBox::Cancel)->click();
    return t;
  };
  Texts browse, save;
  whenBrowserOpens([&](QDialog* d) { browse = textsOf(d); });
  dialogs.browseForFolder(nullptr, "t");
  whenBrowserOpens([&](QDialog* d) { save = textsOf(d); });
  dialogs.saveFileName(nullptr, "t", tmp.text(), "n");
  // The translator belongs to the application; later tests get Qt's English.
  for (QTranslator* t : qApp->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly)) delete t;

  EXPECT_EQ(browse.accept, "&Choisir");
  EXPECT_EQ(browse.cancel, "Annuler");
  EXPECT_EQ(browse.labels, QStringList{"Dossier :"});
  EXPECT_EQ(save.accept, "&Enregistrer");
  EXPECT_EQ(save.cancel, "Annuler");
  EXPECT_EQ(save.labels, (QStringList{"&Nom de fichier :", "Voir dans :"}));
}

TEST_F(FolderBrowserTest, TheDialogsLeaveNothingInTheUsersConfiguration) {
  const QByteArray oldConfig = qgetenv("XDG_CONFIG_HOME");
  qputenv("XDG_CONFIG_HOME", tmp.bytes());
  const QStringList places = {tmp.text() + "/QtProject.conf", QDir::homePath() + "/.config/QtProject.conf"};
  QList<QByteArray> before;
  for (const QString& p : places) {
    QFile f(p);
    before << (f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("absent"));
  }
  makeFolder(tmp.bytes() + "/visited-here");
  whenBrowserOpens([&](QDialog* dialog) {
    if (clickFolder(dialog, tmp.bytes() + "/visited-here")) button(dialog, QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(dialogs.browseForFolder(nullptr, "t"), tmp.text() + "/visited-here");
  whenBrowserOpens([&](QDialog* dialog) { button(dialog, QDialogButtonBox::Ok)->click(); });
  EXPECT_FALSE(dialogs.saveFileName(nullptr, "t", tmp.text() + "/visited-here", "n").isEmpty());
  for (int i = 0; i < places.size(); ++i) {
    QFile f(places[i]);
    EXPECT_EQ(f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("absent"), before[i]) << places[i].toStdString();
  }
  EXPECT_EQ(QDir(tmp.text()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"visited-here"});
  if (oldConfig.isNull()) qunsetenv("XDG_CONFIG_HOME");
  else qputenv("XDG_CONFIG_HOME", oldConfig);
}
