#pragma once
// One job at a time on the database. A scan, the record loop of a list load,
// a search and a copy each hold a JobGuard while they run, and let window
// events run meanwhile. The rule, kept here once: while any job runs, no road
// may start a scan or change the source (SourceActuelle, SourceAScanner,
// affp.aff through the defaults reset); such a road asks jobRunning() before
// it changes anything, and the window greys its source commands.
// Jobs nest (a scan's end opens its pages, which load lists), so the guards
// stack.
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

}  // namespace vrn
