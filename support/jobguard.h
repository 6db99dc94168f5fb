#pragma once
// One job at a time on the database. A scan, a list load, a search and a
// copy each hold a JobGuard for as long as they run, and let window events
// run meanwhile. Which road may start while a job runs is said once, by
// mayStart(); every road asks it before it changes anything, and the window
// greys the controls of the roads it refuses (JobWatch).
// Jobs nest (a scan's end opens its pages, which load lists), so the guards
// stack.
#include <QLatin1String>
#include <functional>

namespace vrn {

enum class Job { None, Scan, ListLoad, Search, Copy };

class JobGuard {
 public:
  explicit JobGuard(Job job);
  ~JobGuard();
  JobGuard(const JobGuard&) = delete;
  JobGuard& operator=(const JobGuard&) = delete;

  // The innermost job running, or Job::None.
  static Job running();
  static bool isRunning(Job job);

 private:
  Job job_;
};

// Calls onChange after each job starts or ends, for its own life.
class JobWatch {
 public:
  explicit JobWatch(std::function<void()> onChange);
  ~JobWatch();
  JobWatch(const JobWatch&) = delete;
  JobWatch& operator=(const JobWatch&) = delete;

 private:
  int key_;
};

inline bool jobRunning() { return JobGuard::running() != Job::None; }

// Whether a road that starts a job of this kind may start now:
// - Job::Scan stands for every road that would start a scan or change the
//   source (SourceActuelle, SourceAScanner, and affp.aff through the defaults
//   reset that follows a profile or special-folder scan): refused while any
//   job runs, as a scan rebuilds the work arrays and the lists every other
//   job reads;
// - a list load, a search or a copy: refused inside one of its own kind,
//   whose list file or rows, loop state and stop request it would share.
bool mayStart(Job job);

// A stop request belongs to the job it stops: the stop buttons store theirs
// (DemandeArret) only while a job runs. A press that reaches a button once
// nothing runs is no request, so it can never stop the next job. True when
// the request was stored.
bool requestStop(QLatin1String request);

}  // namespace vrn
