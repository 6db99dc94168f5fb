// The one-job-at-a-time guard: nested jobs, which one runs, and the watches
// told of every change.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <vector>

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
