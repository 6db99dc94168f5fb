// What only real processes show: one program per database whatever the
// runtime folder, the quit command and the signals that end a session
// ending the process in the middle of a copy, a copy killed outright, and the
// program finding its own folder from its path bytes.
#include <gtest/gtest.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <string.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <optional>

#include "mainwindow/copyloop.h"
#include "platform/pathcodec.h"
#include "platform/services.h"
#include "tests/mainwindow/unnamed_files.h"
#include "tests/testing/smallfs.h"

extern char** environ;

namespace {

// A child process whose output goes to a file; killed when it goes away.
class Child {
 public:
  ~Child() { kill(); }
  bool spawn(const QByteArray& program, const QList<QByteArray>& args, const std::map<QByteArray, QByteArray>& env,
             const QByteArray& folder, const QByteArray& outFile) {
    out_ = outFile;
    std::map<QByteArray, QByteArray> all;
    for (char** e = environ; *e; ++e) {
      const QByteArray entry(*e);
      const qsizetype eq = entry.indexOf('=');
      if (eq > 0) all[entry.left(eq)] = entry.mid(eq + 1);
    }
    for (const auto& [k, v] : env) all[k] = v;
    QList<QByteArray> envText;
    for (const auto& [k, v] : all) envText << k + '=' + v;
    std::vector<char*> envp, argv;
    for (QByteArray& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);
    QList<QByteArray> argText{program};
    argText += args;
    for (QByteArray& a : argText) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, out_.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const QByteArray errFile = out_ + ".err";
    posix_spawn_file_actions_addopen(&actions, 2, errFile.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&actions, folder.constData());
    const int r = posix_spawn(&pid_, program.constData(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (r != 0) pid_ = -1;
    return r == 0;
  }
  QString output() const {
    QFile f(QString::fromUtf8(out_));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
  }
  QString errors() const {
    QFile f(QString::fromUtf8(out_ + ".err"));
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).right(3000) : QString();
  }
  // Waits (a deadline against a hang, not a measure) until the condition
  // holds or the child has ended.
  bool waitFor(const std::function<bool()>& condition, int seconds = 120) {
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < seconds * 1000) {
      if (condition()) return true;
      if (exitStatus_) return condition();
      reap();
      QThread::msleep(20);
    }
    return condition();
  }
  bool waitForLine(const QString& line) {
    return waitFor([&] { return output().split('\n').contains(line); });
  }
  // The exit code once the child has ended by itself; nothing when it is
  // still running at the deadline or was killed by a signal.
  std::optional<int> waitExit(int seconds = 120) {
    waitFor([&] { return exitStatus_.has_value(); }, seconds);
    if (!exitStatus_ || !WIFEXITED(*exitStatus_)) return std::nullopt;
    return WEXITSTATUS(*exitStatus_);
  }
  void send(int signal) {
    if (pid_ > 0 && !exitStatus_) ::kill(pid_, signal);
  }
  // The signal that ended the child, or 0.
  int endedBy() const { return exitStatus_ && WIFSIGNALED(*exitStatus_) ? WTERMSIG(*exitStatus_) : 0; }
  void kill() {
    if (pid_ <= 0 || exitStatus_) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    exitStatus_ = status;
  }

 private:
  void reap() {
    if (pid_ <= 0 || exitStatus_) return;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) exitStatus_ = status;
  }
  pid_t pid_ = -1;
  QByteArray out_;
  std::optional<int> exitStatus_;
};

QByteArray bytes(const QString& path) { return vrn::encodePath(path); }

void writeBytes(const QByteArray& path, const QByteArray& data) {
  const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  ASSERT_GE(fd, 0) << path.constData();
  ASSERT_EQ(::write(fd, data.constData(), size_t(data.size())), data.size());
  ::close(fd);
}

// One ticked row, for a copy run here.
class OneFileRows : public vrn::CopyRows {
 public:
  explicit OneFileRows(QString path) : path_(std::move(path)) {}
  int rowCount() const override { return 1; }
  bool ticked(int) const override { return true; }
  QString path(int) const override { return path_; }

 private:
  QString path_;
};

QStringList allEntries(const QString& folder) {
  return QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (QTemporaryDir* d : {&exe, &work, &config, &runtimeA, &runtimeB}) ASSERT_TRUE(d->isValid());
  }
  // A database whose source exists and whose options neither scan nor open
  // pages at start: a start shows no box of its own.
  void quietDatabase(const QByteArray& exeFolder) {
    ASSERT_TRUE(::mkdir((exeFolder + "/BDVRN").constData(), 0755) == 0 || errno == EEXIST);
    writeBytes(exeFolder + "/BDVRN/der.rep", exeFolder.leftJustified(1024, ' '));
    writeBytes(exeFolder + "/BDVRN/affp.aff", QByteArray("11111110000001") + QByteArray(16, '0'));
  }
  std::map<QByteArray, QByteArray> environment(const QTemporaryDir& runtime) const {
    return {{"XDG_RUNTIME_DIR", bytes(runtime.path())},
            {"XDG_CONFIG_HOME", bytes(config.path())},
            {"QT_QPA_PLATFORM", "offscreen"},
            {"ASAN_OPTIONS", "detect_leaks=0"}};
  }
  QByteArray outFile(const char* name) const { return bytes(work.path()) + '/' + name; }

  QTemporaryDir exe, work, config, runtimeA, runtimeB;
};

}  // namespace

TEST_F(ProcessTest, OneProgramPerDatabaseWhateverTheRuntimeFolder) {
  const QByteArray folder = bytes(exe.path());
  quietDatabase(folder);

  // The first program's runtime folder cannot even be made (a plain file
  // stands there): that is no reason to call it a duplicate.
  writeBytes(bytes(runtimeA.path()) + "/file", "x");
  auto unusable = environment(runtimeA);
  unusable["XDG_RUNTIME_DIR"] = bytes(runtimeA.path()) + "/file/runtime";
  Child first;
  ASSERT_TRUE(first.spawn(VARNELO_WINDOW_CHILD, {"start", folder}, unusable, bytes(work.path()), outFile("first")));
  ASSERT_TRUE(first.waitForLine("STARTED")) << first.output().toStdString() << first.errors().toStdString();
  EXPECT_FALSE(first.output().contains("BOX")) << first.output().toStdString();
  EXPECT_TRUE(QFile::exists(exe.path() + "/BDVRN/.varnelo.lock"));

  // A second program on the same database, with another runtime folder.
  Child second;
  ASSERT_TRUE(second.spawn(VARNELO_WINDOW_CHILD, {"start", folder}, environment(runtimeB), bytes(work.path()),
                           outFile("second")));
  EXPECT_EQ(second.waitExit(), 0) << second.errors().toStdString();
  EXPECT_EQ(second.output(), QStringLiteral("BOX %1 Programme en double Détecté...\n").arg(vrn::vbExclamation));

  // A program on another database is not concerned.
  QTemporaryDir otherExe;
  quietDatabase(bytes(otherExe.path()));
  Child elsewhere;
  ASSERT_TRUE(elsewhere.spawn(VARNELO_WINDOW_CHILD, {"start", bytes(otherExe.path())}, environment(runtimeB),
                              bytes(work.path()), outFile("elsewhere")));
  EXPECT_TRUE(elsewhere.waitForLine("STARTED")) << elsewhere.errors().toStdString();
  EXPECT_FALSE(elsewhere.output().contains("BOX"));

  // Once the first is killed, its lock is taken over.
  first.kill();
  Child third;
  ASSERT_TRUE(third.spawn(VARNELO_WINDOW_CHILD, {"start", folder}, environment(runtimeB), bytes(work.path()),
                          outFile("third")));
  EXPECT_TRUE(third.waitForLine("STARTED")) << third.output().toStdString() << third.errors().toStdString();
  EXPECT_FALSE(third.output().contains("BOX"));
}

TEST_F(ProcessTest, OneProgramPerDatabaseOnAReadOnlyDisk) {
  const QByteArray folder = bytes(exe.path());
  const QByteArray base = folder + "/BDVRN";
  ASSERT_EQ(::mkdir(base.constData(), 0755), 0);
  // Declared before the programs, so that it goes after them.
  const vrn::testing::SmallFileSystem disk(base, "256k");
  if (!disk.mounted()) GTEST_SKIP() << "mounting a file system is not permitted here";
  quietDatabase(folder);
  // The lock file of an earlier run, then the disk made read-only.
  writeBytes(base + "/.varnelo.lock", QByteArray());
  ASSERT_EQ(::mount(nullptr, base.constData(), nullptr, MS_REMOUNT | MS_RDONLY, nullptr), 0);

  Child first;
  ASSERT_TRUE(first.spawn(VARNELO_WINDOW_CHILD, {"start", folder}, environment(runtimeA), bytes(work.path()),
                          outFile("first")));
  ASSERT_TRUE(first.waitForLine("STARTED")) << first.output().toStdString() << first.errors().toStdString();
  EXPECT_FALSE(first.output().contains("BOX")) << first.output().toStdString();

  Child second;
  ASSERT_TRUE(second.spawn(VARNELO_WINDOW_CHILD, {"start", folder}, environment(runtimeB), bytes(work.path()),
                           outFile("second")));
  // It ends after its box; one that starts as well is stopped here.
  if (second.waitFor([&] { return second.output().contains("STARTED"); })) second.kill();
  EXPECT_EQ(second.waitExit(), 0) << second.errors().toStdString();
  EXPECT_EQ(second.output(), QStringLiteral("BOX %1 Programme en double Détecté...\n").arg(vrn::vbExclamation));
}

TEST_F(ProcessTest, QuitDuringACopyLeavesNeitherACutFileNorATemporaryOne) {
  const QByteArray folder = bytes(exe.path());
  quietDatabase(folder);
  QTemporaryDir src, dst;
  ASSERT_TRUE(src.isValid() && dst.isValid());
  const QByteArray big = bytes(src.path()) + "/big.bin";
  writeBytes(big, QByteArray(32 << 20, 'b'));
  // The file written without a name, and under a temporary one.
  for (const QByteArray& kind : {QByteArray(), QByteArray("named")}) {
    SCOPED_TRACE(kind.isEmpty() ? "unnamed" : "temporary names");
    const auto argsFor = [&](const QByteArray& mode) {
      QList<QByteArray> args = {mode, folder, big, bytes(dst.path())};
      if (!kind.isEmpty()) args << kind;
      return args;
    };
    Child child;
    ASSERT_TRUE(child.spawn(VARNELO_WINDOW_CHILD, argsFor("copy-quit"), environment(runtimeA), bytes(work.path()),
                            outFile("copy")));
    EXPECT_EQ(child.waitExit(), 0) << child.output().toStdString() << child.errors().toStdString();
    EXPECT_EQ(child.output(), "STARTED\nQUIT\n") << "the quit came in the middle of the file and ended the process";
    EXPECT_EQ(allEntries(dst.path()), QStringList());

    // A session that ends (logout, shutdown, kill, Ctrl+C) takes the same
    // road from the copy's event turns, whatever the signal.
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) {
      SCOPED_TRACE(strsignal(signal));
      Child ended;
      ASSERT_TRUE(ended.spawn(VARNELO_WINDOW_CHILD, argsFor("copy-wait"), environment(runtimeA), bytes(work.path()),
                              outFile("signalled")));
      ASSERT_TRUE(ended.waitForLine("COPYING")) << ended.output().toStdString() << ended.errors().toStdString();
      ended.send(signal);
      EXPECT_EQ(ended.waitExit(), 0) << "ended by signal " << ended.endedBy() << ": " << ended.errors().toStdString();
      EXPECT_EQ(ended.output(), "STARTED\nCOPYING\n") << "the copy never ended by itself";
      EXPECT_EQ(allEntries(dst.path()), QStringList()) << "no temporary file, no cut big.bin";
    }
  }
}

TEST_F(ProcessTest, ACopyKilledOutrightLeavesATemporaryThatTheNextCopyThereRemoves) {
  const QByteArray folder = bytes(exe.path());
  quietDatabase(folder);
  QTemporaryDir src, dst;
  ASSERT_TRUE(src.isValid() && dst.isValid());
  const QByteArray big = bytes(src.path()) + "/big.bin";
  writeBytes(big, QByteArray(32 << 20, 'k'));
  const QByteArray small = bytes(src.path()) + "/small.txt";
  writeBytes(small, "small");
  OneFileRows rows(vrn::decodePath(small));
  vrn::CopyOptions options;
  options.destination = dst.path();
  // Where the file is written without a name, a kill leaves nothing at all.
  if (QTemporaryDir into; vrn::testing::unnamedFilesAllowed(into.path())) {
    Child child;
    ASSERT_TRUE(child.spawn(VARNELO_WINDOW_CHILD, {"copy-wait", folder, big, bytes(into.path())}, environment(runtimeA),
                            bytes(work.path()), outFile("killed-unnamed")));
    ASSERT_TRUE(child.waitForLine("COPYING")) << child.errors().toStdString();
    EXPECT_EQ(allEntries(into.path()), QStringList()) << "the file being written has no name";
    child.kill();
    ASSERT_EQ(child.endedBy(), SIGKILL);
    EXPECT_EQ(allEntries(into.path()), QStringList());
  }
  // Under a temporary name (a file system that makes no file without one).
  Child child;
  ASSERT_TRUE(child.spawn(VARNELO_WINDOW_CHILD, {"copy-wait", folder, big, bytes(dst.path()), "named"},
                          environment(runtimeA), bytes(work.path()), outFile("killed")));
  ASSERT_TRUE(child.waitForLine("COPYING")) << child.errors().toStdString();
  // While it runs, its temporary is locked: a copy into the same folder
  // leaves it alone.
  ASSERT_EQ(vrn::copyTickedFiles(rows, options).copied, 1);
  const QStringList during = allEntries(dst.path());
  ASSERT_EQ(during.size(), 2) << during.join(' ').toStdString();
  EXPECT_TRUE(during[0].startsWith(".big.bin.varnelo-part-")) << during[0].toStdString();
  EXPECT_EQ(during[1], "small.txt");

  // Killed outright, it can remove nothing: the next copy into the folder does.
  child.kill();
  ASSERT_EQ(child.endedBy(), SIGKILL);
  EXPECT_EQ(allEntries(dst.path()), during);
  ASSERT_EQ(vrn::copyTickedFiles(rows, options).copied, 1);
  EXPECT_EQ(allEntries(dst.path()), QStringList({"small(2).txt", "small.txt"}));
}

TEST_F(ProcessTest, TheProgramInAFolderNamedWithByteE9KeepsItsDatabaseThere) {
  const QByteArray folder = bytes(exe.path()) + "/Programme \xe9t\xe9";
  ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
  const QByteArray program = folder + "/Varnelo";
  // The program itself, under that name (a symbolic link would name the
  // build folder as the executable's).
  if (::link(VARNELO_PROGRAM, program.constData()) != 0) {
    QFile in(QStringLiteral(VARNELO_PROGRAM));
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    writeBytes(program, in.readAll());
    ASSERT_EQ(::chmod(program.constData(), 0755), 0);
  }
  const bool rootHadOne = QFileInfo::exists("/BDVRN");
  Child child;
  ASSERT_TRUE(child.spawn(program, {}, environment(runtimeA), bytes(work.path()), outFile("program")));
  // Start-up makes the database folder and der.rep before it shows anything.
  const QByteArray derRep = folder + "/BDVRN/der.rep";
  struct stat st;
  EXPECT_TRUE(child.waitFor([&] { return ::stat(derRep.constData(), &st) == 0; })) << child.errors().toStdString();
  child.kill();
  EXPECT_EQ(::stat((folder + "/BDVRN/.varnelo.lock").constData(), &st), 0);
  EXPECT_EQ(allEntries(work.path()), QStringList({"program", "program.err"})) << "nothing in the current folder";
  if (!rootHadOne) {
    EXPECT_FALSE(QFileInfo::exists("/BDVRN"));
  }
  ::unlink(program.constData());
  // Qt cannot name these bytes: the folder goes here.
  ::system(("rm -rf '" + folder + "'").constData());
}
