// varnelo-bench SUBCOMMAND ARGS...: runs one job of the program once and
// prints one line of figures.
#include <QApplication>
#include <QFile>
#include <unistd.h>
#include <QMap>
#include <cstdio>
#include <ctime>
#include <sys/resource.h>

#include "bench/bench.h"

namespace vrn::bench {

namespace {
struct Entry {
  QString usage;
  Command command;
};
QMap<QString, Entry>& registry() {
  static QMap<QString, Entry> map;
  return map;
}
}  // namespace

Registration::Registration(const char* name, const char* usage, Command command) {
  registry().insert(QString::fromLatin1(name), Entry{QString::fromLatin1(usage), std::move(command)});
}

void writeQuietOptions(const QString& dbFolder) {
  QFile f(dbFolder + QStringLiteral("/affp.aff"));
  if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(QByteArray("11111111000000") + QByteArray(16, '0'));
}

bool placeStoredFile(const QString& from, const QString& to) {
  if (::link(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) return true;
  return QFile::copy(from, to);
}

EventGapWatch::EventGapWatch() {
  turns_.setTimerType(Qt::PreciseTimer);
  QObject::connect(&turns_, &QTimer::timeout, [this] {
    const double t = now();
    longest_ = std::max(longest_, t - lastTurn_);
    lastTurn_ = t;
  });
}

void EventGapWatch::start() {
  longest_ = 0;
  lastTurn_ = now();
  turns_.start(0);
}

double EventGapWatch::stop() {
  const double end = now();
  turns_.stop();
  tailMs_ = (end - lastTurn_) * 1000;
  return std::max(longest_, end - lastTurn_) * 1000;
}

double peakMb() {
  rusage ru{};
  getrusage(RUSAGE_SELF, &ru);
  return ru.ru_maxrss / 1024.0;
}

double now() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return ts.tv_sec + ts.tv_nsec / 1e9;
}

}  // namespace vrn::bench

int main(int argc, char** argv) {
  using namespace vrn::bench;
  if (qgetenv("QT_QPA_PLATFORM").isEmpty()) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  QStringList args = QCoreApplication::arguments().mid(1);
  if (args.isEmpty() || !registry().contains(args.first())) {
    std::fprintf(stderr, "usage:\n");
    for (auto it = registry().cbegin(); it != registry().cend(); ++it)
      std::fprintf(stderr, "  varnelo-bench %s %s\n", qPrintable(it.key()), qPrintable(it->usage));
    return 2;
  }
  const QString name = args.takeFirst();
  return registry()[name].command(args);
}
