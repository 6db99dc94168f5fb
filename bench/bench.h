#pragma once
// Benchmark subcommands register themselves here; each lives in its own
// bench_<name>.cpp file.
#include <QString>
#include <QStringList>
#include <QTimer>
#include <functional>

namespace vrn::bench {

using Command = std::function<int(const QStringList& args)>;

struct Registration {
  Registration(const char* name, const char* usage, Command command);
};

// Stores options that neither scan nor open pages at start (details shown,
// no sound, no pages after a change), so a benchmark measures only its job.
void writeQuietOptions(const QString& dbFolder);

// Puts a stored file of the benchmark data into a database folder: a hard
// link (the program never reads a stored file through a symbolic link), or a
// copy where the two folders are on different file systems.
bool placeStoredFile(const QString& from, const QString& to);

// Watches the event loop while a job runs: the longest stretch without a
// turn of the loop, the end of the job included.
class EventGapWatch {
 public:
  EventGapWatch();
  void start();                              // call right before the job
  double stop();                             // call right after it; returns the longest gap in ms
  double tailMs() const { return tailMs_; }  // the last stretch, after the last turn

 private:
  QTimer turns_;
  double lastTurn_ = 0, longest_ = 0, tailMs_ = 0;
};

// Peak resident memory of this process, in MB.
double peakMb();
// Wall time since an arbitrary start, in seconds.
double now();

}  // namespace vrn::bench
