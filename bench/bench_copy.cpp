// varnelo-bench copy WORKDIR: the copy of ticked files through the copy loop,
// against `cp -r` followed by `sync -f` of the destination, in the same run
// on the same data: 2,000 files of 1 KB, then one file of 1 GiB (made once in
// WORKDIR). Each copy starts with the dirty data of the system written out;
// the two alternate which goes first. Prints the medians, their ratio
// and the longest stretch without an event-loop turn during the copies, and
// the processor time each copy took (every thread and process counted).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "bench/bench.h"
#include "mainwindow/copyloop.h"
#include "platform/controls.h"
#include "support/VariablesVRN.h"

namespace vrn::bench {
namespace {

// Every row ticked, in the order given.
class AllTicked : public CopyRows {
 public:
  explicit AllTicked(QStringList paths) : paths_(std::move(paths)) {}
  int rowCount() const override { return int(paths_.size()); }
  bool ticked(int) const override { return true; }
  QString path(int row) const override { return paths_.value(row - 1); }

 private:
  QStringList paths_;
};

bool writeSized(const QString& path, qint64 size) {
  QFile f(path);
  if (f.exists() && f.size() == size) return true;
  if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
  QByteArray block(1 << 20, 'v');
  for (qint64 left = size; left > 0; left -= block.size()) {
    for (qsizetype i = 0; i < block.size(); i += 4096) block[i] = char(left >> 12);
    if (f.write(block.constData(), std::min<qint64>(left, block.size())) < 0) return false;
  }
  return true;
}

// The source folder of a case, made when missing; its files by name.
QStringList makeSource(const QString& folder, int files, qint64 size) {
  QDir().mkpath(folder);
  QStringList paths;
  for (int i = 0; i < files; ++i) {
    const QString path = folder + QStringLiteral("/f%1.dat").arg(i, 5, 10, QLatin1Char('0'));
    if (!writeSized(path, size)) return {};
    paths << path;
  }
  return paths;
}

double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n == 0 ? 0 : n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Empties the page cache's dirty data, so that a run pays only for its own.
void settle() { ::sync(); }

bool run(const QString& program, const QStringList& args) { return QProcess::execute(program, args) == 0; }

struct Figures {
  std::vector<double> ours, theirs, gaps, oursCpu, theirsCpu;
};

// Processor time (user and system) of this process, or of its waited-for
// children, in seconds.
double cpuSeconds(int who) {
  rusage u{};
  ::getrusage(who, &u);
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(u.ru_utime) + seconds(u.ru_stime);
}

// One run of each copy of `paths` from `from` into fresh folders named
// `to`-N, which are removed at the end of the benchmark: ext4 passes over the
// inodes it freed in the last minute when it makes files, so removing the
// copies of one run would slow down the next.
bool measure(const QStringList& paths, const QString& from, const QString& to, MyButton& button, bool oursFirst,
             Figures& figures, QStringList& made) {
  const auto fresh = [&] {
    made << to + QStringLiteral("-%1").arg(made.size() + 1);
    settle();
    return made.last();
  };
  const auto ours = [&] {
    const QString into = fresh();
    if (!QDir().mkdir(into)) return false;
    VariablesVRN& v = vrnVars();
    v.NombreSelection = int(paths.size());
    CopyOptions options;
    options.destination = into;
    options.listName = QStringLiteral("dat");
    options.showProgress = [&](const QString& text) { button.setCaption(text); };
    EventGapWatch watch;
    watch.start();
    const double cpu0 = cpuSeconds(RUSAGE_SELF);
    const double t0 = now();
    const CopyOutcome outcome = copyTickedFiles(AllTicked(paths), options);
    const double t1 = now();
    figures.oursCpu.push_back(cpuSeconds(RUSAGE_SELF) - cpu0);
    figures.gaps.push_back(watch.stop());
    figures.ours.push_back(t1 - t0);
    if (outcome.end != CopyEnd::Finished || outcome.copied != paths.size()) {
      std::fprintf(stderr, "copy: the copy loop copied %d of %lld files\n", outcome.copied,
                   static_cast<long long>(paths.size()));
      return false;
    }
    return true;
  };
  const auto theirs = [&] {
    const QString into = fresh();
    const double cpu0 = cpuSeconds(RUSAGE_CHILDREN);
    const double t0 = now();
    const bool ok = run(QStringLiteral("cp"), {QStringLiteral("-r"), from, into}) &&
                    run(QStringLiteral("sync"), {QStringLiteral("-f"), into});
    figures.theirs.push_back(now() - t0);
    figures.theirsCpu.push_back(cpuSeconds(RUSAGE_CHILDREN) - cpu0);
    return ok;
  };
  return oursFirst ? ours() && theirs() : theirs() && ours();
}

// Removes the copies; a big file's right away, its blocks being the only
// thing worth freeing.
void removeAll(QStringList& made) {
  for (const QString& folder : made) QDir(folder).removeRecursively();
  made.clear();
  settle();
}

int copyBench(const QStringList& args) {
  QStringList rest = args;
  int runs = 5;
  int files = 2000;
  qint64 fileBytes = 1024, bigBytes = qint64(1) << 30;
  QString only;
  for (int i = 0; i + 1 < rest.size();) {
    const QString key = rest[i];
    if (key == QLatin1String("--runs")) runs = rest[i + 1].toInt();
    else if (key == QLatin1String("--files")) files = rest[i + 1].toInt();
    else if (key == QLatin1String("--file-bytes")) fileBytes = rest[i + 1].toLongLong();
    else if (key == QLatin1String("--big-bytes")) bigBytes = rest[i + 1].toLongLong();
    else if (key == QLatin1String("--only")) only = rest[i + 1];
    else {
      ++i;
      continue;
    }
    rest.remove(i, 2);
  }
  if (rest.size() != 1 || runs < 1 || files < 1 || fileBytes < 0 || bigBytes < 0) {
    std::fprintf(stderr,
                 "usage: varnelo-bench copy WORKDIR [--runs N] [--files N] [--file-bytes B] [--big-bytes B] "
                 "[--only small|big]\n");
    return 2;
  }
  const QString work = QDir(rest[0]).absolutePath();
  QDir().mkpath(work);

  // The progress goes to a real stop button, as in the window.
  MyButton button;
  button.resize(145, 41);
  button.show();

  struct Case {
    const char* name;
    QStringList paths;
    QString from;
  };
  std::vector<Case> cases;
  if (only.isEmpty() || only == QLatin1String("small")) {
    const QString from = work + QStringLiteral("/src-small");
    cases.push_back({"small", makeSource(from, files, fileBytes), from});
  }
  if (only.isEmpty() || only == QLatin1String("big")) {
    const QString from = work + QStringLiteral("/src-big");
    cases.push_back({"big", makeSource(from, 1, bigBytes), from});
  }
  QStringList made;
  for (const Case& c : cases) {
    if (c.paths.isEmpty()) {
      std::fprintf(stderr, "copy: cannot make the data in %s\n", qPrintable(c.from));
      return 1;
    }
    Figures figures;
    const QString to = work + QStringLiteral("/dst-") + QLatin1String(c.name);
    const bool big = c.paths.size() == 1;
    for (int r = 0; r < runs; ++r) {
      const bool ok = measure(c.paths, c.from, to, button, r % 2 == 0, figures, made);
      if (!ok || big) removeAll(made);
      if (!ok) return 1;
      std::fprintf(stderr, "%s run %d: varnelo=%.3f cp_sync=%.3f gap_ms=%.1f varnelo_cpu=%.3f cp_sync_cpu=%.3f\n",
                   c.name, r + 1, figures.ours.back(), figures.theirs.back(), figures.gaps.back(),
                   figures.oursCpu.back(), figures.theirsCpu.back());
    }
    const double ours = median(figures.ours), theirs = median(figures.theirs);
    std::printf(
        "case=%s files=%lld varnelo_s=%.3f cp_sync_s=%.3f ratio=%.2f max_gap_ms=%.1f median_gap_ms=%.1f "
        "varnelo_cpu_s=%.3f cp_sync_cpu_s=%.3f\n",
        c.name, static_cast<long long>(c.paths.size()), ours, theirs, theirs > 0 ? ours / theirs : 0,
        *std::max_element(figures.gaps.begin(), figures.gaps.end()), median(figures.gaps), median(figures.oursCpu),
        median(figures.theirsCpu));
  }
  removeAll(made);
  return 0;
}

const Registration registration("copy",
                                "WORKDIR [--runs N] [--files N] [--file-bytes B] [--big-bytes B] [--only small|big]",
                                copyBench);

}  // namespace
}  // namespace vrn::bench
