// Opening a listed file and showing it in its folder through the real desktop
// road (the Qt shell service), from the main window and from a list page: a
// recording xdg-open first on PATH, and a file manager on a private session
// bus started here. Every name must reach the desktop as exactly that file.
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusContext>
#include <QDBusError>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/services_qt.h"
#include "tests/pages/pages_fixture.h"

// Bytes shown readably in failure messages.
inline void PrintTo(const QByteArray& b, std::ostream* os) {
  *os << '"' << b.toPercentEncoding("/ ").constData() << '"';
}

using namespace vrn;
using namespace vrn::testing;

namespace {

const QString kShellBus = QStringLiteral("varnelo-opener-shell");
const QString kManagerBus = QStringLiteral("varnelo-opener-file-manager");
const QString kFileManager = QStringLiteral("org.freedesktop.FileManager1");

struct Identity {
  dev_t dev = 0;
  ino_t ino = 0;
  bool operator==(const Identity&) const = default;
};

Identity identityOf(const QByteArray& path) {
  struct stat st;
  if (::stat(path.constData(), &st) != 0) return {};
  return {st.st_dev, st.st_ino};
}

// Waits while events run; false when `done` never holds.
bool waitFor(const std::function<bool()>& done) {
  QElapsedTimer clock;
  clock.start();
  while (!done()) {
    if (clock.elapsed() > 20000) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  }
  return true;
}

}  // namespace

// A file manager that records what it is asked to show, or refuses.
class FakeFileManager : public QObject, protected QDBusContext {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.FileManager1")

 public:
  QList<QStringList> shown;
  bool refuse = false;

 public slots:
  void ShowItems(const QStringList& uris, const QString& startupId) {
    Q_UNUSED(startupId);
    shown << uris;
    if (refuse) sendErrorReply(QDBusError::Failed, QStringLiteral("refused"));
  }
};

class OpenerTest : public PagesTest {
 protected:
  void SetUp() override {
    PagesTest::SetUp();
    ASSERT_TRUE(desk.isValid());
    // The opener records its arguments, NUL-terminated, in one write.
    record = desk.path() + "/opener-args";
    QDir().mkpath(desk.path() + "/bin");
    const QString opener = desk.path() + "/bin/xdg-open";
    writeFile(opener, "#!/bin/sh\nprintf '%s\\0' \"$@\" > '" + record.toUtf8() + ".part' && mv '" + record.toUtf8() +
                          ".part' '" + record.toUtf8() + "'\n");
    QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    oldPath = qgetenv("PATH");
    qputenv("PATH", QFile::encodeName(desk.path() + "/bin") + ":" + oldPath);
    ASSERT_EQ(QStandardPaths::findExecutable("xdg-open"), opener);
    startBus();
  }
  void TearDown() override {
    QDBusConnection::disconnectFromBus(kShellBus);
    QDBusConnection::disconnectFromBus(kManagerBus);
    if (bus.state() != QProcess::NotRunning) {
      bus.kill();
      bus.waitForFinished();
    }
    qputenv("PATH", oldPath);
    // Names Qt cannot address are removed by bytes.
    for (const QByteArray& folder : made)
      ::nftw(
          folder.constData(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 8,
          FTW_DEPTH | FTW_PHYS);
    PagesTest::TearDown();
  }

  // A private session bus with no service files, so nothing is activated.
  void startBus() {
    const QString dbusDaemon = QStandardPaths::findExecutable("dbus-daemon");
    ASSERT_FALSE(dbusDaemon.isEmpty()) << "dbus-daemon (package dbus) is needed";
    writeFile(desk.path() + "/bus.conf",
              "<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
              " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
              "<busconfig><type>session</type><listen>unix:path=" +
                  desk.path().toUtf8() +
                  "/bus</listen>"
                  "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                  "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy></busconfig>\n");
    bus.start(dbusDaemon, {"--config-file=" + desk.path() + "/bus.conf", "--nofork", "--print-address=1"});
    ASSERT_TRUE(bus.waitForStarted());
    ASSERT_TRUE(waitFor([&] { return bus.canReadLine(); })) << bus.readAllStandardError().constData();
    const QString address = QString::fromUtf8(bus.readLine()).trimmed();
    ASSERT_TRUE(QDBusConnection::connectToBus(address, kShellBus).isConnected());
    QDBusConnection manager = QDBusConnection::connectToBus(address, kManagerBus);
    ASSERT_TRUE(manager.isConnected());
    ASSERT_TRUE(manager.registerObject("/org/freedesktop/FileManager1", &fileManager, QDBusConnection::ExportAllSlots));
  }
  void offerFileManager(bool on) {
    QDBusConnection manager(kManagerBus);
    if (on) ASSERT_TRUE(manager.registerService(kFileManager));
    else manager.unregisterService(kFileManager);
    ASSERT_EQ(QDBusConnection(kShellBus).interface()->isServiceRegistered(kFileManager).value(), on);
  }

  // The arguments the opener received for the last action.
  QList<QByteArray> awaitOpener() {
    if (!waitFor([&] { return QFile::exists(record); })) return {};
    QByteArray all = readFile(record);
    QFile::remove(record);
    if (all.endsWith('\0')) all.chop(1);
    return all.split('\0');
  }
  // The path a file:// URI names, checked to be a plain ASCII URI, read as
  // the desktop reads it: a raw "?" starts a query and a raw "#" a fragment,
  // neither part of the path.
  static QByteArray pathOfUri(const QByteArray& uri) {
    for (const char c : uri)
      if (uchar(c) <= 0x20 || uchar(c) >= 0x7F) return "<not a plain URI: " + uri + ">";
    if (!uri.startsWith("file:///")) return "<not a file URI: " + uri + ">";
    QByteArray path = uri.mid(7);
    for (qsizetype i = 0; i < path.size(); ++i)
      if (path[i] == '?' || path[i] == '#') path.truncate(i);
    return QByteArray::fromPercentEncoding(path);
  }

  QTemporaryDir desk;
  QString record;
  QByteArray oldPath;
  QProcess bus;
  FakeFileManager fileManager;
  QList<QByteArray> made;
};

TEST_F(OpenerTest, EveryNameReachesTheDesktopAsExactlyThatFileOrFolder) {
  struct Case {
    const char* what;
    QByteArray name;
    QByteArray file = {}, folder = {};  // full bytes
    Identity fileId = {}, folderId = {};
  };
  QList<Case> cases = {
      {"Latin-1 byte", "caf\xE9.txt"},    {"option-like", "-h"},        {"hash", "a#b.txt"},
      {"question", "index.php?id=3.txt"}, {"percent", "%41.txt"},       {"colon", "foo:bar.txt"},
      {"blank", "with blank.txt"},        {"quotes", "it's \"q\".txt"}, {"newline", "line\nbreak.txt"},
  };
  QStringList listed;
  for (Case& c : cases) {
    // Each file in a folder of its own, named alike, so the folder shown is
    // told apart too.
    c.folder = encodePath(src()) + "/" + c.name + " dossier";
    c.file = c.folder + "/" + c.name;
    ASSERT_EQ(::mkdir(c.folder.constData(), 0755), 0) << c.what;
    made << c.folder;
    const int fd = ::open(c.file.constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
    ASSERT_GE(fd, 0) << c.what;
    ASSERT_EQ(::write(fd, "x", 1), 1);
    ::close(fd);
    c.fileId = identityOf(c.file);
    c.folderId = identityOf(c.folder);
    listed << decodePath(c.file);
  }
  writeList("txt", listed);
  Main2* w = start();
  pick("txt");
  win->Command8->click();
  ASSERT_EQ(pages().size(), 1);
  FormEssai* page = pages().first();

  QtShell desktop(kShellBus);
  QtShell noBus(QStringLiteral("varnelo-never-connected"));
  enum Road { ShowItems, NoFileManager, Refused, NoBus };
  struct Window {
    const char* what;
    ListView* list;
    MenuItem* run;
    MenuItem* show;
    QList<Road> roads;
  };
  const QList<Window> windows = {
      {"main window", w->ListView2, w->mnExecuterFichier, w->mnVoirFichier, {ShowItems, NoFileManager, Refused, NoBus}},
      {"list page", page->ListView2, page->mnExecuterFichier, page->mnVoirFichier, {ShowItems, NoBus}},
  };
  for (const Window& window : windows) {
    for (const Case& c : cases) {
      SCOPED_TRACE(std::string(window.what) + ", " + c.what);
      const QString path = decodePath(c.file);
      int row = 0;
      for (int r = 1; r <= window.list->Count(); ++r)
        if (window.list->SubItem(r, 1) == path) row = r;
      ASSERT_GT(row, 0);
      const auto clickRow = [&] {
        window.list->setSelectedIndex(row);
        emit window.list->Click();
        ASSERT_EQ(vrnVars().CheminFichier, path);
      };

      // Open: one argument, a URI naming exactly the file.
      clickRow();
      services().shell = &desktop;
      window.run->click();
      EXPECT_TRUE(svc->dialogs.boxes.isEmpty());
      const QList<QByteArray> opened = awaitOpener();
      ASSERT_EQ(opened.size(), 1);
      EXPECT_EQ(pathOfUri(opened[0]), c.file);
      EXPECT_EQ(identityOf(pathOfUri(opened[0])), c.fileId);

      // Show in folder, by each road the desktop may offer.
      for (const Road road : window.roads) {
        SCOPED_TRACE(int(road));
        clickRow();
        offerFileManager(road != NoFileManager);
        fileManager.refuse = road == Refused;
        services().shell = road == NoBus ? &noBus : &desktop;
        const qsizetype asked = fileManager.shown.size();
        window.show->click();
        EXPECT_EQ(vrnVars().CheminFichier, decodePath(c.folder + "/"));
        if (road == ShowItems || road == Refused) {
          ASSERT_TRUE(waitFor([&] { return fileManager.shown.size() > asked; }));
          ASSERT_EQ(fileManager.shown.last().size(), 1);
          const QByteArray item = pathOfUri(fileManager.shown.last().first().toLatin1());
          EXPECT_EQ(item, c.file);
          EXPECT_EQ(identityOf(item), c.fileId);
        }
        if (road == ShowItems) continue;
        EXPECT_EQ(fileManager.shown.size(), road == Refused ? asked + 1 : asked);
        const QList<QByteArray> folder = awaitOpener();
        ASSERT_EQ(folder.size(), 1);
        EXPECT_EQ(pathOfUri(folder[0]), c.folder + "/");
        EXPECT_EQ(identityOf(pathOfUri(folder[0])), c.folderId);
      }
    }
  }
  // Nothing was opened twice or left behind by a later launch.
  EXPECT_FALSE(QFile::exists(record));
}

#include "opener_test.moc"
