// The real folder browser and save box of the dialog service, driven offscreen
// as a user would: exact bytes of the chosen names, Qt's texts in the user's
// language, and no state written to the user's configuration.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <QTreeView>
#include <functional>
#include <memory>
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
void whenBrowserOpens(const std::function<void(QDialog*)>& act) {
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

QTreeView* treeOf(QDialog* dialog) { return dialog->findChild<QTreeView*>(QStringLiteral("folderTree")); }

// Opens the tree down to `path` (bytes) the way a user does, expanding each
// folder and looking for the entry shown for the next name. An invalid index
// when an entry is missing.
QModelIndex openDownTo(QDialog* dialog, const QByteArray& path) {
  QTreeView* tree = treeOf(dialog);
  if (!tree) return {};
  const QAbstractItemModel* model = tree->model();
  QModelIndex at;
  for (int r = 0; r < model->rowCount(); ++r)
    if (model->index(r, 0).data().toString() == "/") at = model->index(r, 0);
  for (const QByteArray& name : path.mid(1).split('/')) {
    if (name.isEmpty() || !at.isValid()) continue;
    tree->expand(at);
    const QString shown = displayedPath(decodePath(name));
    QModelIndex next;
    for (int r = 0; r < model->rowCount(at); ++r)
      if (model->index(r, 0, at).data().toString() == shown) next = model->index(r, 0, at);
    at = next;
  }
  return at;
}

// Clicks the folder at `path` (bytes); false when it is not shown.
bool clickFolder(QDialog* dialog, const QByteArray& path) {
  const QModelIndex at = openDownTo(dialog, path);
  if (!at.isValid()) return false;
  QTreeView* tree = treeOf(dialog);
  tree->scrollTo(at);
  QTest::mouseClick(tree->viewport(), Qt::LeftButton, Qt::NoModifier, tree->visualRect(at).center());
  return tree->currentIndex() == at;
}

// The names the tree shows inside the folder at `path` (bytes).
QStringList shownIn(QDialog* dialog, const QByteArray& path) {
  const QModelIndex at = openDownTo(dialog, path);
  if (!at.isValid()) return {"(folder not shown)"};
  treeOf(dialog)->expand(at);
  QStringList names;
  for (int r = 0; r < at.model()->rowCount(at); ++r) names << at.model()->index(r, 0, at).data().toString();
  return names;
}

// Answers every message box that opens while it lives, keeping
// "title|text" of each.
class BoxAnswerer {
 public:
  BoxAnswerer() {
    timer_.setInterval(10);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      for (QWidget* w : QApplication::topLevelWidgets()) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (!box || !box->isVisible() || box->buttons().isEmpty()) continue;
        seen << box->windowTitle() + "|" + box->text();
        box->buttons().first()->click();
      }
    });
    timer_.start();
  }
  QStringList seen;

 private:
  QTimer timer_;
};

}  // namespace

TEST(ExactPathBytes, ComponentsShownWithReplacementCharactersFindTheirBytes) {
  RawTempDir tmp;
  ASSERT_TRUE(tmp.isValid());
  const QByteArray& root = tmp.bytes();
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

TEST(ExactPathBytes, ShownNamesReadBackAsTheirBytesAndNeverLookAlike) {
  // Every name of up to four bytes from the bytes that make escapes tricky:
  // backslashes, "x", hex digits, bytes that are not UTF-8 alone and a valid
  // two-byte character.
  const QByteArray alphabet("\\xXE9\xE9\xC3\xA9\x80/");
  QList<QByteArray> names = {QByteArray()};
  for (qsizetype from = 0, length = 1; length <= 4; ++length) {
    const qsizetype to = names.size();
    for (qsizetype i = from; i < to; ++i)
      for (const char c : alphabet) names << names[i] + c;
    from = to;
  }
  QHash<QString, QByteArray> shownAs;
  for (const QByteArray& name : names) {
    const QString shown = displayedPath(decodePath(name));
    ASSERT_EQ(encodePath(pathFromDisplayed(shown)), name) << shown.toStdString();
    ASSERT_FALSE(shownAs.contains(shown)) << "shown alike: " << shown.toStdString();
    shownAs.insert(shown, name);
    // What is shown is plain text: no replacement character, no lone byte.
    ASSERT_FALSE(shown.contains(QChar::ReplacementCharacter));
    ASSERT_EQ(encodePath(shown), shown.toUtf8()) << shown.toStdString();
  }
  EXPECT_EQ(displayedPath(decodePath("/tmp/caf\xE9")), "/tmp/caf\\xE9");
  EXPECT_EQ(displayedPath(decodePath("\xC3\xA9t\xC3\xA9")), QString::fromUtf8("été"));
  EXPECT_EQ(displayedPath(QStringLiteral("C:\\Temp\\xyz")), "C:\\Temp\\xyz");  // no escape to mistake
  // Typed escapes in either case, and "\\" as one backslash.
  EXPECT_EQ(encodePath(pathFromDisplayed("caf\\xe9 caf\\XE9 a\\\\b \\x41")), "caf\xE9 caf\xE9 a\\b \\x41");
}

class FolderBrowserTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(tmp.isValid()); }
  RawTempDir tmp;
  QtDialogs dialogs;
};

TEST_F(FolderBrowserTest, AChosenFolderComesBackAsItsExactBytes) {
  const QByteArray root = tmp.bytes();
  for (const char* name : {"/caf\xE9", "/caf\xE9/sous", "/x\xE9", "/x\xE8", "/x\\xE9", "/-h", "/a#b %41"})
    makeFolder(root + name);
  struct Case {
    const char* what;
    QByteArray click;
    QString typed;  // typed into the folder box after the click, when set
  };
  const QList<Case> cases = {
      {"non-UTF-8 name", root + "/caf\xE9", {}},
      {"below a non-UTF-8 name", root + "/caf\xE9/sous", {}},
      {"first of two names alike but for a byte", root + "/x\xE9", {}},
      {"second of two names alike but for a byte", root + "/x\xE8", {}},
      {"a name that reads like an escaped byte", root + "/x\\xE9", {}},
      {"dash", root + "/-h", {}},
      {"hash, blank, percent", root + "/a#b %41", {}},
      {"typed with the replacement character", root,
       tmp.text() + "/caf" + QChar(QChar::ReplacementCharacter) + "/sous"},
      {"typed with the shown escape", root, tmp.text() + "/caf\\xe9/sous"},
      {"typed inside the selected folder", root + "/caf\xE9", "sous"},
  };
  QList<QByteArray> chosen;
  QStringList shownInRoot;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    bool clicked = false;
    whenBrowserOpens([&](QDialog* dialog) {
      shownInRoot = shownIn(dialog, root);
      clicked = clickFolder(dialog, c.click);
      if (!c.typed.isEmpty()) dialog->findChild<QLineEdit*>(QStringLiteral("folderEdit"))->setText(c.typed);
      if (clicked) button(dialog, QDialogButtonBox::Ok)->click();
    });
    chosen << encodePath(dialogs.browseForFolder(nullptr, "Sélectionnez le Dossier de Destination :"));
    EXPECT_TRUE(clicked);
  }
  // Names that differ look different: a byte that is not UTF-8 shows as an
  // escape, and a real backslash that would read as one is doubled.
  EXPECT_EQ(shownInRoot, (QStringList{"-h", "a#b %41", "caf\\xE9", "x\\\\xE9", "x\\xE8", "x\\xE9"}));
  ASSERT_EQ(chosen.size(), 10);
  EXPECT_EQ(chosen[0], root + "/caf\xE9");
  EXPECT_EQ(chosen[1], root + "/caf\xE9/sous");
  EXPECT_EQ(chosen[2], root + "/x\xE9");
  EXPECT_EQ(chosen[3], root + "/x\xE8");
  EXPECT_EQ(chosen[4], root + "/x\\xE9");
  EXPECT_EQ(chosen[5], root + "/-h");
  EXPECT_EQ(chosen[6], root + "/a#b %41");
  EXPECT_EQ(chosen[7], root + "/caf\xE9/sous");
  EXPECT_EQ(chosen[8], root + "/caf\xE9/sous");
  EXPECT_EQ(chosen[9], root + "/caf\xE9/sous");

  // It opens again on the folder chosen last, shown as in the tree; Cancel
  // gives "".
  QString shownFirst;
  whenBrowserOpens([&](QDialog* dialog) {
    shownFirst = dialog->findChild<QLineEdit*>(QStringLiteral("folderEdit"))->text();
    button(dialog, QDialogButtonBox::Cancel)->click();
  });
  EXPECT_EQ(dialogs.browseForFolder(nullptr, "t"), QString());
  EXPECT_EQ(shownFirst, tmp.text() + "/caf\\xE9/sous");
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

  // A name holding "/" would make folders inside folders: while it holds
  // one, the box says why and neither Enter nor the button takes it; the
  // proposal is shown as given.
  struct Look {
    QString name;
    bool problemShown = false, saveEnabled = false, open = false;
  };
  QList<Look> looks;
  QString problemText;
  whenBrowserOpens([&](QDialog* dialog) {
    auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
    auto* problem = dialog->findChild<QLabel*>(QStringLiteral("nameProblem"));
    if (!name || !problem) return;
    problemText = problem->text();
    const auto look = [&] {
      looks << Look{name->text(), problem->isVisible(), button(dialog, QDialogButtonBox::Ok)->isEnabled(),
                    dialog->isVisible()};
    };
    look();
    QTest::keyClick(name, Qt::Key_Return);
    dialog->accept();
    look();
    name->setText(tmp.text() + "/caf\\xE9");  // a path is no name either
    look();
    name->selectAll();
    QTest::keyClicks(name, "photos-2008");
    look();
    QTest::keyClick(name, Qt::Key_Return);
    look();
  });
  EXPECT_EQ(encodePath(dialogs.saveFileName(nullptr, "t", tmp.text(), "Sauvegarde (photos/2008 (2))")),
            root + "/photos-2008");
  EXPECT_EQ(problemText, "Le Nom ne peut pas Contenir de ( / )...");
  ASSERT_EQ(looks.size(), 5);
  EXPECT_EQ(looks[0].name, "Sauvegarde (photos/2008 (2))");
  for (int i : {0, 1, 2}) {
    SCOPED_TRACE(i);
    EXPECT_TRUE(looks[i].problemShown);
    EXPECT_FALSE(looks[i].saveEnabled);
    EXPECT_TRUE(looks[i].open);
  }
  EXPECT_FALSE(looks[3].problemShown);
  EXPECT_TRUE(looks[3].saveEnabled);
  EXPECT_FALSE(looks[4].open);
}

TEST_F(FolderBrowserTest, APathTypedFromTheTreeIsChosenAsTyped) {
  // The home folder of this test is its own folder.
  const QByteArray oldHome = qgetenv("HOME");
  qputenv("HOME", tmp.bytes());
  const QByteArray root = tmp.bytes();
  for (const char* name : {"/caf\xE9", "/caf\xE9/sous", "/other"}) makeFolder(root + name);
  QFile file(tmp.text() + "/file.txt");
  ASSERT_TRUE(file.open(QIODevice::WriteOnly));
  file.close();
  struct Case {
    const char* what;
    char first;    // typed in the tree
    QString rest;  // typed after it, where the focus went
    QByteArray expected;
  };
  const QList<Case> cases = {
      {"absolute, with an escaped byte", '/', tmp.text().mid(1) + "/caf\\xE9/sous", root + "/caf\xE9/sous"},
      {"the home folder", '~', "", root},
      {"inside the home folder", '~', "/caf\\xE9/./sous/", root + "/caf\xE9/sous"},
  };
  BoxAnswerer boxes;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    QWidget* focusAtStart = nullptr;
    QWidget* focusAfterFirst = nullptr;
    QString afterFirst;
    whenBrowserOpens([&](QDialog* dialog) {
      focusAtStart = dialog->focusWidget();
      // Something else is selected: Enter takes what was typed.
      if (!clickFolder(dialog, root + "/other")) return;
      QTest::keyClick(treeOf(dialog), c.first);
      focusAfterFirst = dialog->focusWidget();
      afterFirst = dialog->findChild<QLineEdit*>(QStringLiteral("folderEdit"))->text();
      if (!focusAfterFirst) return;
      QTest::keyClicks(focusAfterFirst, c.rest);
      QTest::keyClick(focusAfterFirst, Qt::Key_Return);
    });
    EXPECT_EQ(encodePath(dialogs.browseForFolder(nullptr, "t")), c.expected);
    EXPECT_EQ(focusAtStart ? focusAtStart->objectName() : QString(), "folderTree");
    EXPECT_EQ(focusAfterFirst ? focusAfterFirst->objectName() : QString(), "folderEdit");
    EXPECT_EQ(afterFirst, QString(QChar::fromLatin1(c.first)));
  }

  // A typed name that is no folder keeps the dialog open with Qt's message;
  // the person mends it and Enter takes it.
  QList<bool> openAfter;
  whenBrowserOpens([&](QDialog* dialog) {
    QTest::keyClick(treeOf(dialog), '~');
    QLineEdit* edit = dialog->findChild<QLineEdit*>(QStringLiteral("folderEdit"));
    for (const QString& typed : {QStringLiteral("/nowhere"), QStringLiteral("/file.txt")}) {
      edit->setText("~");
      QTest::keyClicks(edit, typed);
      QTest::keyClick(edit, Qt::Key_Return);
      openAfter << dialog->isVisible();
    }
    edit->setText("~");
    QTest::keyClicks(edit, "/other");
    QTest::keyClick(edit, Qt::Key_Return);
    openAfter << dialog->isVisible();
  });
  EXPECT_EQ(encodePath(dialogs.browseForFolder(nullptr, "t")), root + "/other");
  EXPECT_EQ(openAfter, (QList<bool>{true, true, false}));
  EXPECT_EQ(boxes.seen,
            (QStringList{"t|~/nowhere\nDirectory not found.\nPlease verify the correct directory name was given.",
                         "t|~/file.txt\nDirectory not found.\nPlease verify the correct directory name was given."}));
  qputenv("HOME", oldHome);
}

TEST_F(FolderBrowserTest, CtrlHShowsAndHidesTheHiddenFolders) {
  const QByteArray root = tmp.bytes();
  for (const char* name : {"/vis", "/vis/.deep", "/.hid", "/.hid/inside", "/Zed"}) makeFolder(root + name);
  struct Look {
    QStringList inRoot, inVis;
    QString box;  // the folder box: the selection stays
    bool switchOn = false;
  };
  QList<Look> looks;
  whenBrowserOpens([&](QDialog* dialog) {
    QAction* hidden = nullptr;
    for (QAction* a : treeOf(dialog)->actions())
      if (a->text() == "Show &hidden files") hidden = a;
    // Shortcuts reach the window that has the keyboard.
    if (!hidden || !QTest::qWaitForWindowActive(dialog) || !clickFolder(dialog, root + "/vis")) return;
    QLineEdit* edit = dialog->findChild<QLineEdit*>(QStringLiteral("folderEdit"));
    const auto look = [&] {
      looks << Look{shownIn(dialog, root), shownIn(dialog, root + "/vis"), edit->text(), hidden->isChecked()};
    };
    look();
    QTest::keyClick(treeOf(dialog), Qt::Key_H, Qt::ControlModifier);
    look();
    edit->setFocus();
    QTest::keyClick(edit, Qt::Key_H, Qt::ControlModifier);  // from the folder box too
    look();
    QTest::keyClick(treeOf(dialog), Qt::Key_H, Qt::ControlModifier);
    if (clickFolder(dialog, root + "/.hid/inside")) button(dialog, QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(encodePath(dialogs.browseForFolder(nullptr, "t")), root + "/.hid/inside");
  ASSERT_EQ(looks.size(), 3);
  const QString vis = tmp.text() + "/vis";
  EXPECT_EQ(looks[0].inRoot, (QStringList{"vis", "Zed"}));
  EXPECT_EQ(looks[0].inVis, QStringList{});
  EXPECT_FALSE(looks[0].switchOn);
  EXPECT_EQ(looks[1].inRoot, (QStringList{".hid", "vis", "Zed"}));
  EXPECT_EQ(looks[1].inVis, QStringList{".deep"});
  EXPECT_TRUE(looks[1].switchOn);
  EXPECT_EQ(looks[2].inRoot, (QStringList{"vis", "Zed"}));
  EXPECT_EQ(looks[2].inVis, QStringList{});
  for (const Look& l : looks) EXPECT_EQ(l.box, vis);

  // Opened again inside a hidden folder, the hidden folders are shown.
  QString startBox;
  bool startSwitch = false;
  whenBrowserOpens([&](QDialog* dialog) {
    startBox = dialog->findChild<QLineEdit*>(QStringLiteral("folderEdit"))->text();
    for (QAction* a : treeOf(dialog)->actions()) startSwitch = startSwitch || a->isChecked();
    button(dialog, QDialogButtonBox::Ok)->click();
  });
  EXPECT_EQ(encodePath(dialogs.browseForFolder(nullptr, "t")), root + "/.hid/inside");
  EXPECT_EQ(startBox, tmp.text() + "/.hid/inside");
  EXPECT_TRUE(startSwitch);
}

TEST_F(FolderBrowserTest, QtsOwnTextsFollowTheUsersLanguage) {
  ASSERT_EQ(QLocale::system().language(), QLocale::French) << "run with LANG=fr_FR.UTF-8";
  ASSERT_TRUE(installQtTranslations()) << "Qt's French translations (qt6-translations-l10n) are missing";
  struct Texts {
    QString accept, cancel;
    QStringList labels, actions, boxes;
  };
  const auto textsOf = [](QDialog* dialog) {
    Texts t{button(dialog, QDialogButtonBox::Ok)->text(), button(dialog, QDialogButtonBox::Cancel)->text(), {}, {}, {}};
    for (QLabel* l : dialog->findChildren<QLabel*>())
      if (l->isVisible()) t.labels << l->text();
    t.labels.sort();
    for (QAction* a : treeOf(dialog)->actions()) t.actions << a->text();
    return t;
  };
  Texts browse, save;
  whenBrowserOpens([&](QDialog* d) {
    browse = textsOf(d);
    BoxAnswerer boxes;
    QLineEdit* edit = d->findChild<QLineEdit*>(QStringLiteral("folderEdit"));
    edit->setText("/nulle-part");
    QTest::keyClick(edit, Qt::Key_Return);
    browse.boxes = boxes.seen;
    button(d, QDialogButtonBox::Cancel)->click();
  });
  dialogs.browseForFolder(nullptr, "t");
  whenBrowserOpens([&](QDialog* d) {
    d->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText("a/b");
    save = textsOf(d);
    button(d, QDialogButtonBox::Cancel)->click();
  });
  dialogs.saveFileName(nullptr, "t", tmp.text(), "n");
  // The translator belongs to the application; later tests get Qt's English.
  for (QTranslator* t : qApp->findChildren<QTranslator*>(Qt::FindDirectChildrenOnly)) delete t;

  EXPECT_EQ(browse.accept, "&Choisir");
  EXPECT_EQ(browse.cancel, "Annuler");
  EXPECT_EQ(browse.labels, QStringList{"Dossier :"});
  EXPECT_EQ(browse.actions, QStringList{"Afficher les fic&hiers cachés"});
  EXPECT_EQ(browse.boxes,
            QStringList{"t|/nulle-part\nDossier introuvable.\nVeuillez vérifier que le nom du dossier est correct."});
  EXPECT_EQ(save.accept, "&Enregistrer");
  EXPECT_EQ(save.cancel, "Annuler");
  EXPECT_EQ(save.labels, (QStringList{"&Nom de fichier :", "Le Nom ne peut pas Contenir de ( / )...", "Voir dans :"}));
  EXPECT_EQ(save.actions, QStringList{"Afficher les fic&hiers cachés"});
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
