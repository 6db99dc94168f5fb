// The one-job-at-a-time guard: nested jobs, which one runs, and the watches
// told of every change.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

#include "support/VariablesVRN.h"
#include "support/jobguard.h"

namespace vrn {
namespace {

TEST(JobGuardTest, JobsNestAndEachEndsItsOwn) {
  EXPECT_FALSE(jobRunning());
  EXPECT_EQ(JobGuard::running(), Job::None);
  {
    const JobGuard scan(Job::Scan);
    EXPECT_TRUE(jobRunning());
    EXPECT_EQ(JobGuard::running(), Job::Scan);
    {
      // A scan's end opens its pages, which load lists.
      const JobGuard load(Job::ListLoad);
      EXPECT_EQ(JobGuard::running(), Job::ListLoad);
      EXPECT_TRUE(JobGuard::isRunning(Job::Scan));
      EXPECT_TRUE(JobGuard::isRunning(Job::ListLoad));
      EXPECT_FALSE(JobGuard::isRunning(Job::Copy));
      EXPECT_FALSE(JobGuard::isRunning(Job::Search));
    }
    EXPECT_EQ(JobGuard::running(), Job::Scan);
    EXPECT_FALSE(JobGuard::isRunning(Job::ListLoad));
  }
  EXPECT_FALSE(jobRunning());

  // Guards held out of order (an optional reset early) still leave the
  // others running.
  std::optional<JobGuard> copy(std::in_place, Job::Copy);
  std::optional<JobGuard> search(std::in_place, Job::Search);
  copy.reset();
  EXPECT_EQ(JobGuard::running(), Job::Search);
  EXPECT_FALSE(JobGuard::isRunning(Job::Copy));
  search.reset();
  EXPECT_FALSE(jobRunning());
}

// Which road may start while each job runs: a scan (or a change of source)
// only when none does; any other job only outside one of its own kind, even
// when that one runs inside another job.
TEST(JobGuardTest, MayStartSaysWhichRoadStartsWhileEachJobRuns) {
  struct Case {
    std::vector<Job> running;  // outermost first
    bool scan, load, search, copy;
  };
  const Case cases[] = {
      {{}, true, true, true, true},
      {{Job::Scan}, false, true, true, true},
      {{Job::ListLoad}, false, false, true, true},
      {{Job::Search}, false, true, false, true},
      {{Job::Copy}, false, true, true, false},
      {{Job::Scan, Job::ListLoad}, false, false, true, true},
      {{Job::ListLoad, Job::Search}, false, false, false, true},
  };
  for (const Case& c : cases) {
    std::vector<std::unique_ptr<JobGuard>> guards;
    for (const Job job : c.running) guards.push_back(std::make_unique<JobGuard>(job));
    SCOPED_TRACE(::testing::Message() << c.running.size() << " jobs, innermost " << int(JobGuard::running()));
    EXPECT_EQ(mayStart(Job::Scan), c.scan);
    EXPECT_EQ(mayStart(Job::ListLoad), c.load);
    EXPECT_EQ(mayStart(Job::Search), c.search);
    EXPECT_EQ(mayStart(Job::Copy), c.copy);
    while (!guards.empty()) guards.pop_back();  // innermost first
  }
  EXPECT_TRUE(mayStart(Job::Scan));
}

// A stop request is kept only while a job runs to take it; one made while
// nothing runs is dropped, and never waits for the next job.
TEST(JobGuardTest, AStopRequestIsKeptOnlyWhileAJobRuns) {
  QString& request = vrnVars().DemandeArret;
  request.clear();
  EXPECT_FALSE(requestStop(kStopRequest));
  EXPECT_EQ(request, "");
  {
    const JobGuard copy(Job::Copy);
    EXPECT_TRUE(requestStop(kPageStopRequest));
    EXPECT_EQ(request, kPageStopRequest);
    request.clear();
    {
      const JobGuard load(Job::ListLoad);
      EXPECT_TRUE(requestStop(kStopRequest));
    }
    EXPECT_EQ(request, kStopRequest) << "taken by the job that runs, not cleared by the guards";
    request.clear();
  }
  EXPECT_FALSE(requestStop(kPageStopRequest));
  EXPECT_EQ(request, "");
}

TEST(JobGuardTest, WatchesSeeEveryStartAndEndForTheirOwnLife) {
  std::vector<Job> seen;
  auto watch = std::make_unique<JobWatch>([&] { seen.push_back(JobGuard::running()); });
  {
    const JobGuard copy(Job::Copy);
    const JobGuard load(Job::ListLoad);
  }
  EXPECT_EQ(seen, (std::vector<Job>{Job::Copy, Job::ListLoad, Job::Copy, Job::None}));

  // A watch ended by another watch's call is not called afterwards.
  std::unique_ptr<JobWatch> second;
  int secondCalls = 0;
  auto first = std::make_unique<JobWatch>([&] { second.reset(); });
  second = std::make_unique<JobWatch>([&] { ++secondCalls; });
  { const JobGuard scan(Job::Scan); }
  EXPECT_EQ(secondCalls, 0);
  EXPECT_FALSE(second);

  watch.reset();
  seen.clear();
  { const JobGuard scan(Job::Scan); }
  EXPECT_TRUE(seen.empty()) << "an ended watch hears nothing more";
}

}  // namespace
}  // namespace vrn
