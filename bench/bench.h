#pragma once
// Benchmark subcommands register themselves here; each lives in its own
// bench_<name>.cpp file.
#include <QString>
#include <QStringList>
#include <functional>

namespace vrn::bench {

using Command = std::function<int(const QStringList& args)>;

struct Registration {
  Registration(const char* name, const char* usage, Command command);
};

// Stores options that neither scan nor open pages at start (details shown,
// no sound, no pages after a change), so a benchmark measures only its job.
void writeQuietOptions(const QString& dbFolder);

// Peak resident memory of this process, in MB.
double peakMb();
// Wall time since an arbitrary start, in seconds.
double now();

}  // namespace vrn::bench
