#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <algorithm>
#include <set>

#include "platform/network_linux.h"
#include "platform/registry_xdg.h"
#include "support/SaveDeleteReg.h"
#include "support/SiConnecte.h"
#include "support/VariablesVRN.h"
#include "support/general.h"
#include "support/touslesdossierssystem.h"
#include "tests/testing/knownfolders.h"
#include "tests/testing/fixture.h"

using namespace vrn;

namespace {

const QString kRunKey = QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Run");

class Autostart : public vrn::testing::AppFolderTest {
 protected:
  void SetUp() override {
    AppFolderTest::SetUp();
    services().registry = &registry_;
  }

  QString entry() const { return configDir() + "/autostart/Varnelo.desktop"; }
  QStringList autostartFolder() const { return QDir(configDir() + "/autostart").entryList(QDir::Files | QDir::Hidden); }
  void writeAutostart(const QString& folder) {
    qint32 root = HKEY_LOCAL_MACHINE;
    EcrireValeurRegistre(root, kRunKey, QStringLiteral("Varnelo"), u'"' + folder + QStringLiteral("/Varnelo\""));
  }
  QByteArray execValue() const {
    for (const QByteArray& line : readFile(entry()).split('\n'))
      if (line.startsWith("Exec=")) return line.mid(5);
    return QByteArray();
  }

  XdgRegistry registry_;
};

TEST_F(Autostart, WritingTwiceLeavesOneEntryWithTheLastData) {
  writeAutostart(QStringLiteral("/opt/first"));
  writeAutostart(QStringLiteral("/opt/second"));
  EXPECT_EQ(autostartFolder(), QStringList{QStringLiteral("Varnelo.desktop")});
  EXPECT_EQ(execValue(), QByteArray("\"/opt/second/Varnelo\""));
  EXPECT_EQ(readFile(entry()).count("[Desktop Entry]"), 1);
  EXPECT_EQ(registry_.readValue(quint32(HKEY_LOCAL_MACHINE), kRunKey, QStringLiteral("Varnelo")),
            QStringLiteral("\"/opt/second/Varnelo\""));

  SupprimerValeurRegistre(HKEY_LOCAL_MACHINE, kRunKey, QStringLiteral("Varnelo"));
  EXPECT_FALSE(QFile::exists(entry()));
}

TEST_F(Autostart, DeletingAMissingValueChangesNothing) {
  writeFile(configDir() + "/autostart/other.desktop", "[Desktop Entry]\n");
  SupprimerValeurRegistre(HKEY_LOCAL_MACHINE, kRunKey, QStringLiteral("Varnelo"));
  SupprimerValeurRegistre(HKEY_CURRENT_USER, QStringLiteral("Software\\Varnelo"), QStringLiteral("absent"));
  EXPECT_EQ(autostartFolder(), QStringList{QStringLiteral("other.desktop")});
  EXPECT_EQ(readFile(configDir() + "/autostart/other.desktop"), QByteArray("[Desktop Entry]\n"));
  EXPECT_FALSE(QFile::exists(configDir() + "/Varnelo/registre.ini"));
}

// The program an Exec value names, read by the Desktop Entry rules (written
// out here on their own): string escapes, then "%%", then the quoted argument.
QString programOfExec(const QByteArray& value) {
  QByteArray line, program;
  for (qsizetype i = 0; i < value.size(); ++i) {
    if (value[i] == '\\' && i + 1 < value.size()) {
      ++i;
      line += value[i] == 's' ? ' ' : value[i] == 'n' ? '\n' : value[i];
    } else {
      line += value[i];
    }
  }
  if (line.startsWith("env ")) line = line.mid(4);
  if (!line.startsWith('"') || !line.endsWith('"')) return QStringLiteral("<not one quoted argument>");
  line.replace("%%", "%");
  for (qsizetype i = 1; i + 1 < line.size(); ++i) {
    if (line[i] == '\\') ++i;
    else if (line[i] == '"' || line[i] == '`' || line[i] == '$') return QStringLiteral("<unescaped character>");
    program += line[i];
  }
  return QString::fromUtf8(program);
}

TEST_F(Autostart, AwkwardFolderNamesStillGiveAValidEntryThatStartsTheProgram) {
  const QString validator = QStandardPaths::findExecutable(QStringLiteral("desktop-file-validate"));
  const QString gio = QStandardPaths::findExecutable(QStringLiteral("gio"));
  const QString marker = exeDir() + "/started";
  // Blanks, "%", double quotes, "$", a back quote and a backslash.
  for (const QString& name :
       {QStringLiteral("my \"app\" 100% $HOME `x` a\\b"), QStringLiteral("no percent \"$x\" \\")}) {
    SCOPED_TRACE(name.toStdString());
    const QString folder = exeDir() + u'/' + name;
    ASSERT_TRUE(QDir().mkpath(folder));
    writeAutostart(folder);
    ASSERT_TRUE(QFile::exists(entry()));
    EXPECT_EQ(programOfExec(execValue()), folder + "/Varnelo");

    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-validate is missing (make test installs it)";
    QProcess validate;
    validate.start(validator, {entry()});
    ASSERT_TRUE(validate.waitForFinished(20000));
    const QByteArray said = validate.readAllStandardOutput() + validate.readAllStandardError();
    EXPECT_EQ(validate.exitCode(), 0) << said.constData();
    EXPECT_FALSE(said.contains("error")) << said.constData();

    // A real launcher (GLib's, as desktop sessions use) runs the program named.
    if (gio.isEmpty()) continue;
    QFile::remove(marker);
    writeFile(folder + "/Varnelo", "#!/bin/sh\nprintf '%s\\n' \"$0\" > '" + marker.toUtf8() + "'\n");
    QFile::setPermissions(folder + "/Varnelo", QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    QProcess launch;
    launch.start(gio, {QStringLiteral("launch"), entry()});
    ASSERT_TRUE(launch.waitForFinished(20000));
    QElapsedTimer waited;
    waited.start();
    while (readFile(marker).isEmpty() && waited.elapsed() < 10000) QThread::msleep(20);
    EXPECT_EQ(readFile(marker).trimmed(), (folder + "/Varnelo").toUtf8()) << launch.readAllStandardError().constData();
  }
}

TEST_F(Autostart, OtherValuesLiveInTheSettingsStore) {
  XdgRegistry& reg = registry_;
  const quint32 user = quint32(HKEY_CURRENT_USER);
  reg.writeValue(user, QStringLiteral("Software\\Varnelo\\Test"), QStringLiteral("Couleur"), QStringLiteral("bleu"));
  reg.writeValue(user, QStringLiteral("Software\\Varnelo\\Test"), QStringLiteral("Couleur"), QStringLiteral("vert"));
  EXPECT_EQ(reg.readValue(user, QStringLiteral("Software\\Varnelo\\Test"), QStringLiteral("Couleur")),
            QStringLiteral("vert"));
  EXPECT_TRUE(QFile::exists(configDir() + "/Varnelo/registre.ini"));
  EXPECT_FALSE(QFile::exists(entry()));
  // A Run value of another name is no autostart entry.
  reg.writeValue(quint32(HKEY_LOCAL_MACHINE), kRunKey, QStringLiteral("Autre"), QStringLiteral("\"/x/y\""));
  EXPECT_FALSE(QFile::exists(entry()));
  reg.deleteValue(user, QStringLiteral("Software\\Varnelo\\Test"), QStringLiteral("Couleur"));
  EXPECT_EQ(reg.readValue(user, QStringLiteral("Software\\Varnelo\\Test"), QStringLiteral("Couleur")), QString());

  EXPECT_EQ(reg.readValue(user, QStringLiteral("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\Shell Folders"),
                          QStringLiteral("Personal")),
            QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation));
}

// A home folder of our own, with the XDG variables pointing inside it.
class SpecialFolders : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(home_.isValid());
    for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
      saved_.push_back({name, qgetenv(name)});
    qputenv("HOME", home_.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home_.path() + "/cfg").toUtf8());
    qputenv("XDG_DATA_HOME", (home_.path() + "/data").toUtf8());
    qunsetenv("XDG_CACHE_HOME");
  }
  void TearDown() override {
    for (const auto& [name, value] : saved_) {
      if (value.isNull()) qunsetenv(name);
      else qputenv(name, value);
    }
  }
  QString home() const { return home_.path(); }
  void make(const QString& relative) { ASSERT_TRUE(QDir().mkpath(home() + "/" + relative)); }

  QTemporaryDir home_;
  std::vector<std::pair<const char*, QByteArray>> saved_;
};

TEST_F(SpecialFolders, ProfileIsTheHomeFolderWithOneFinalSlash) {
  EXPECT_EQ(CheminDossierSpecial(40), home() + "/");
  qputenv("HOME", (home() + "/").toUtf8());
  EXPECT_EQ(CheminDossierSpecial(40), home() + "/");
}

TEST_F(SpecialFolders, IdentifiersResolveThroughOneTable) {
  for (const char* sub : {"Desktop", "Documents", "Pictures", "Music", "Videos", "cfg/autostart", "data/fonts",
                          "data/Trash", "data/applications", ".cache"})
    make(QString::fromLatin1(sub));
  EXPECT_EQ(CheminDossierSpecial(5), home() + "/Documents/");
  EXPECT_EQ(CheminDossierSpecial(26), home() + "/cfg/");
  EXPECT_EQ(CheminDossierSpecial(28), home() + "/data/");
  EXPECT_EQ(CheminDossierSpecial(32), home() + "/.cache/");
  EXPECT_EQ(CheminDossierSpecial(20), home() + "/data/fonts/");
  EXPECT_EQ(CheminDossierSpecial(10), home() + "/data/Trash/");
  EXPECT_EQ(CheminDossierSpecial(7), home() + "/cfg/autostart/");
  EXPECT_EQ(CheminDossierSpecial(36), QStringLiteral("/etc/"));

  // Two identifiers of one folder give one path; the flag bits change nothing.
  EXPECT_EQ(CheminDossierSpecial(0), home() + "/Desktop/");
  EXPECT_EQ(CheminDossierSpecial(16), CheminDossierSpecial(0));
  EXPECT_EQ(CheminDossierSpecial(-32768), CheminDossierSpecial(0));
  EXPECT_EQ(CheminDossierSpecial(16384 | 5), CheminDossierSpecial(5));
  EXPECT_EQ(CheminDossierSpecial(2), CheminDossierSpecial(11));

  // No counterpart here: "/" alone. Unknown to the table: "".
  EXPECT_EQ(CheminDossierSpecial(4), QStringLiteral("/"));
  EXPECT_EQ(CheminDossierSpecial(17), QStringLiteral("/"));
  EXPECT_EQ(CheminDossierSpecial(15), QString());
  EXPECT_EQ(CheminDossierSpecial(12), QString());
  EXPECT_EQ(CheminDossierSpecial(999), QString());
  // A folder that is not there is not found (no Templates folder was made).
  EXPECT_EQ(CheminDossierSpecial(21), QString());
}

TEST_F(SpecialFolders, TheOfferedIdentifiersAreAllKnown) {
  // The identifiers, the three flag values and the second 21 included, in
  // the order they are looked up.
  EXPECT_EQ(std::vector<qint32>(TabDossiersSpeciaux.begin(), TabDossiersSpeciaux.end()),
            std::vector<qint32>(vrn::testing::kSpecialFolderIdentifiers.begin(),
                                vrn::testing::kSpecialFolderIdentifiers.end()));
  for (const char* sub : {"Desktop", "Documents", "Pictures", "Music", "Videos", "Templates", "Public", "cfg/autostart",
                          "data/fonts", "data/Trash", "data/applications", ".cache"})
    make(QString::fromLatin1(sub));
  std::set<QString> distinct;
  for (qint32 id : TabDossiersSpeciaux) {
    const QString path = CheminDossierSpecial(id);
    EXPECT_TRUE(path.endsWith(u'/')) << id;
    EXPECT_FALSE(path.endsWith(QStringLiteral("//"))) << id;
    distinct.insert(path);
  }
  // Every user folder made above is offered once.
  for (const char* sub : {"Desktop", "Documents", "Pictures", "Music", "Videos", "Templates", "Public"})
    EXPECT_EQ(distinct.count(home() + "/" + sub + "/"), 1u) << sub;
  EXPECT_EQ(distinct.count(home() + "/"), 1u);
}

TEST(UserName, IsTheLoginNameWithoutPadding) {
  QProcess id;
  id.start(QStringLiteral("id"), {QStringLiteral("-un")});
  ASSERT_TRUE(id.waitForFinished(10000));
  const QString expected = QString::fromLocal8Bit(id.readAllStandardOutput()).trimmed();
  ASSERT_FALSE(expected.isEmpty());
  EXPECT_EQ(NomUtilisateur(), expected);
}

TEST_F(Autostart, ConnectionTestLeavesItsTextInTheSharedVariable) {
  svc->network.up = false;
  EXPECT_FALSE(TesterConnexion());
  EXPECT_EQ(vrnVars().EtatConnexion, kNotConnected);
  svc->network.up = true;
  EXPECT_TRUE(TesterConnexion());
  EXPECT_EQ(vrnVars().EtatConnexion, kConnected);
  services().network = nullptr;
  EXPECT_FALSE(TesterConnexion());
  EXPECT_EQ(vrnVars().EtatConnexion, kNotConnected);
}

TEST(DefaultRoute, NeedsAnInterfaceThatIsUpAndNotTheLoopback) {
  const QByteArray header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";
  const QByteArray viaEth0 = header +
                             "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n"
                             "eth0\t00000000\t010200C0\t0003\t0\t0\t0\t00000000\t0\t0\t0\n";
  const QByteArray subnetOnly = header + "eth0\t000200C0\t00000000\t0001\t0\t0\t0\t00FFFFFF\t0\t0\t0\n";
  const QByteArray viaLo = header + "lo\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n";
  const QByteArray routeDown = header + "eth0\t00000000\t010200C0\t0002\t0\t0\t0\t00000000\t0\t0\t0\n";
  const QByteArray v6Default =
      "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
      "fd000000000000000000000000000001 00000400 00000002 00000000 00000003     wlan0\n";
  const QByteArray v6Unreachable =
      "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
      "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200       lo\n";
  const auto allUp = [](const QString&) { return true; };
  const auto noneUp = [](const QString&) { return false; };
  const auto onlyWlan = [](const QString& i) { return i == QLatin1String("wlan0"); };

  EXPECT_TRUE(hasDefaultRoute(viaEth0, {}, allUp));
  EXPECT_FALSE(hasDefaultRoute(viaEth0, {}, noneUp));  // cable out: the interface is down
  EXPECT_FALSE(hasDefaultRoute(subnetOnly, {}, allUp));
  EXPECT_FALSE(hasDefaultRoute(viaLo, {}, allUp));
  EXPECT_FALSE(hasDefaultRoute(routeDown, {}, allUp));
  EXPECT_TRUE(hasDefaultRoute(header, v6Default, onlyWlan));
  EXPECT_FALSE(hasDefaultRoute(header, v6Unreachable, allUp));
  EXPECT_FALSE(hasDefaultRoute({}, {}, allUp));
}

}  // namespace
