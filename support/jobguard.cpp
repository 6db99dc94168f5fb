#include "support/jobguard.h"

#include <algorithm>
#include <map>
#include <vector>

#include "support/VariablesVRN.h"

namespace vrn {

namespace {

std::vector<Job>& jobs() {
  static std::vector<Job> running;
  return running;
}

std::map<int, std::function<void()>>& listeners() {
  static std::map<int, std::function<void()>> all;
  return all;
}

void notify() {
  // A listener may start or end watches: each is looked up again.
  std::vector<int> keys;
  for (const auto& entry : listeners()) keys.push_back(entry.first);
  for (const int key : keys) {
    const auto it = listeners().find(key);
    if (it == listeners().end()) continue;
    const std::function<void()> listener = it->second;
    listener();
  }
}

}  // namespace

JobGuard::JobGuard(Job job) : job_(job) {
  jobs().push_back(job);
  notify();
}

JobGuard::~JobGuard() {
  std::vector<Job>& all = jobs();
  // Guards end in reverse order of their start; the last of this kind goes.
  const auto it = std::find(all.rbegin(), all.rend(), job_);
  if (it != all.rend()) all.erase(std::next(it).base());
  notify();
}

Job JobGuard::running() { return jobs().empty() ? Job::None : jobs().back(); }

bool JobGuard::isRunning(Job job) { return std::find(jobs().begin(), jobs().end(), job) != jobs().end(); }

bool mayStart(Job job) { return job == Job::Scan ? !jobRunning() : !JobGuard::isRunning(job); }

bool requestStop(QLatin1String request) {
  if (!jobRunning()) return false;
  vrnVars().DemandeArret = request;
  return true;
}

JobWatch::JobWatch(std::function<void()> onChange) {
  static int next = 0;
  key_ = ++next;
  listeners()[key_] = std::move(onChange);
}

JobWatch::~JobWatch() { listeners().erase(key_); }

}  // namespace vrn
