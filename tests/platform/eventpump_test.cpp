// The event pump of long jobs: turns at the slice's pace with the job's
// labels brought up to date first, waits that run events as they come and
// end at the helpers' wake-up (never lost, never polled for), and work run on
// helper threads.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

#include "platform/eventpump.h"

namespace vrn {
namespace {

using namespace std::chrono_literals;

constexpr int kHourMs = 3'600'000;

// An event posted to the window thread; it is dropped with its receiver.
class PostedEvent {
 public:
  explicit PostedEvent(std::function<void()> onRun = {}) {
    QMetaObject::invokeMethod(
        &receiver_,
        [this, onRun = std::move(onRun)] {
          ran = true;
          if (onRun) onRun();
        },
        Qt::QueuedConnection);
  }
  std::atomic<bool> ran{false};

 private:
  QObject receiver_;
};

// Waits on the pump for ready(), or for 10 s at most, so that a lost wake-up
// fails the test instead of hanging it. True when the watchdog ended it.
bool waitAtMost10s(EventPump& pump, const std::function<bool()>& ready) {
  bool late = false;
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [&] { late = true; });
  watchdog.start(10'000);
  pump.waitUntil([&] { return ready() || late; });
  return late;
}

// A helper that waits (up to a bound, so a fault cannot hang the test) for
// `until`, then sleeps a little, makes the condition hold and wakes the pump.
class Helper {
 public:
  Helper(EventPump& pump, std::function<bool()> until, std::chrono::milliseconds delay = 0ms)
      : thread_([this, wake = pump.waker(), until = std::move(until), delay] {
          const auto giveUp = std::chrono::steady_clock::now() + 10s;
          while (until && !until()) {
            if (std::chrono::steady_clock::now() > giveUp) {
              gaveUp = true;
              break;
            }
            std::this_thread::sleep_for(1ms);
          }
          std::this_thread::sleep_for(delay);
          done = true;
          wake();
        }) {}
  ~Helper() { thread_.join(); }
  std::atomic<bool> done{false}, gaveUp{false};

 private:
  std::thread thread_;
};

TEST(EventPumpTest, OffersTurnAtTheSlicesPaceWithTheHookFirst) {
  struct Case {
    const char* what;
    EventPump::Pace pace;
    QList<bool> turns;  // what each of four offers returns
  };
  const Case cases[] = {
      {"a slice of 0: every offer", {0}, {true, true, true, true}},
      {"a long slice: none", {kHourMs}, {false, false, false, false}},
      {"the first at once, then the slice", {kHourMs, true}, {true, false, false, false}},
      {"the clock read every few offers", {kHourMs, true, 64}, {true, false, false, false}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    EventPump pump(c.pace);
    int hooks = 0;
    pump.setBeforeTurn([&] { ++hooks; });
    int hooksWhenEventRan = -1;
    PostedEvent event([&] { hooksWhenEventRan = hooks; });
    QList<bool> turns;
    for (int i = 0; i < 4; ++i) turns << pump.offer();
    EXPECT_EQ(turns, c.turns);
    EXPECT_EQ(hooks, c.turns.count(true));
    EXPECT_EQ(event.ran, c.turns.first());
    if (event.ran) {
      EXPECT_EQ(hooksWhenEventRan, 1) << "the hook runs before the events";
    }
  }
}

TEST(EventPumpTest, AWaitRunsEventsAsTheyComeAndEndsAtTheWakeUpWithoutPolling) {
  EventPump pump(kHourMs);
  PostedEvent event;
  // The helper finishes only once the event has run, so a wait that let no
  // event through would never end; then it takes a while, which a wait that
  // polled would fill with tests of the condition.
  Helper helper(
      pump, [&] { return event.ran.load(); }, 100ms);
  int tests = 0;
  EXPECT_FALSE(waitAtMost10s(pump, [&] {
    ++tests;
    return helper.done.load();
  }));
  EXPECT_TRUE(event.ran);
  EXPECT_FALSE(helper.gaveUp);
  EXPECT_LE(tests, 10) << "the condition is tested after each wake-up or batch of events, not in a loop";
}

// A wake-up given between a test of the condition and the sleep must end the
// sleep.
void expectNoLostWakeUp(EventPump& pump, std::atomic<bool>& gaveUp) {
  std::atomic<bool> done{false};
  int tests = 0;
  pump.waitUntil([&] {
    if (++tests == 2) {
      // The sleep is announced and the condition found false: the helper is
      // done and wakes the pump before the thread sleeps.
      std::thread([&, wake = pump.waker()] {
        done = true;
        wake();
      }).join();
      return false;
    }
    return done.load() || gaveUp.load();
  });
  EXPECT_TRUE(done);
  EXPECT_FALSE(gaveUp) << "the wait lasted until the watchdog";
}

TEST(EventPumpTest, AWakeUpGivenBeforeTheSleepIsNotLost) {
  {
    SCOPED_TRACE("on the window thread, sleeping in its event loop");
    EventPump pump(kHourMs);
    std::atomic<bool> gaveUp{false};
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [&] { gaveUp = true; });
    watchdog.start(10'000);
    expectNoLostWakeUp(pump, gaveUp);
  }
  {
    SCOPED_TRACE("on a thread without an event loop, sleeping on the wake-up");
    std::thread([] {
      EventPump pump(kHourMs);
      ASSERT_FALSE(pump.wakeUp()->eventsHere());
      std::atomic<bool> gaveUp{false}, over{false};
      std::thread watchdog([&, wake = pump.waker()] {
        for (int i = 0; i < 1000 && !over; ++i) std::this_thread::sleep_for(10ms);
        if (!over) {
          gaveUp = true;
          wake();
        }
      });
      expectNoLostWakeUp(pump, gaveUp);
      over = true;
      watchdog.join();
    }).join();
  }
}

TEST(EventPumpTest, NoEventRunsInAWaitBeforeTheFirstOfferWhenTheJobSaysSo) {
  EventPump pump({.sliceMs = kHourMs, .quietBeforeFirstOfferMs = -1});
  PostedEvent event;
  {
    Helper helper(pump, {}, 20ms);
    pump.waitUntil([&] { return helper.done.load(); });
  }
  EXPECT_FALSE(event.ran) << "before the first record";
  EXPECT_FALSE(pump.offer()) << "the slice has not passed";
  {
    Helper helper(pump, [&] { return event.ran.load(); });
    EXPECT_FALSE(waitAtMost10s(pump, [&] { return helper.done.load(); }));
    EXPECT_FALSE(helper.gaveUp);
  }
  EXPECT_TRUE(event.ran) << "once a record is in, waits run events";

  // Quiet for a while only: a first record that is long in coming does not
  // hold the events up for good.
  EventPump briefly({.sliceMs = kHourMs, .quietBeforeFirstOfferMs = 20});
  PostedEvent late;
  Helper helper(briefly, [&] { return late.ran.load(); });
  EXPECT_FALSE(waitAtMost10s(briefly, [&] { return helper.done.load(); }));
  EXPECT_TRUE(late.ran);
  EXPECT_FALSE(helper.gaveUp);
}

TEST(EventPumpTest, AWaitBringsTheHookUpToDateOnlyWhenATurnIsDue) {
  // The first chance is due at once: the hook runs once for the whole wait,
  // however often the helper wakes it.
  EventPump pump({.sliceMs = kHourMs, .firstOfferTurns = true});
  int hooks = 0;
  pump.setBeforeTurn([&] { ++hooks; });
  {
    std::atomic<int> step{0};
    std::thread helper([&, wake = pump.waker()] {
      for (int i = 0; i < 5; ++i) {
        std::this_thread::sleep_for(2ms);
        ++step;
        wake();
      }
    });
    EXPECT_FALSE(waitAtMost10s(pump, [&] { return step.load() == 5; }));
    helper.join();
  }
  EXPECT_EQ(hooks, 1);
  // Nothing offered since: nothing to bring up to date.
  {
    Helper helper(pump, {}, 5ms);
    EXPECT_FALSE(waitAtMost10s(pump, [&] { return helper.done.load(); }));
  }
  EXPECT_EQ(hooks, 1);
  // Offered, but the slice has not passed.
  EXPECT_FALSE(pump.offer());
  {
    Helper helper(pump, {}, 5ms);
    EXPECT_FALSE(waitAtMost10s(pump, [&] { return helper.done.load(); }));
  }
  EXPECT_EQ(hooks, 1);
  // A turn asked for runs it whatever the slice.
  pump.turn();
  EXPECT_EQ(hooks, 2);
}

TEST(EventPumpTest, HelpersRunEveryPieceWhileEventsRunAndTheirFailureComesBack) {
  EventPump pump(kHourMs);
  PostedEvent event;
  std::atomic<int> ran{0};
  std::atomic<bool> sawEvent{false};
  std::vector<std::function<void()>> work;
  for (int i = 0; i < 3; ++i) work.push_back([&] { ++ran; });
  // One piece ends only once the event has run on the waiting thread.
  work.push_back([&] {
    const auto giveUp = std::chrono::steady_clock::now() + 10s;
    while (!event.ran && std::chrono::steady_clock::now() < giveUp) std::this_thread::sleep_for(1ms);
    sawEvent = event.ran.load();
    ++ran;
  });
  runOnHelpers(work, &pump);
  EXPECT_EQ(ran, 4);
  EXPECT_TRUE(sawEvent);

  // Without a pump the pieces run all the same; the first failure is thrown
  // again once every piece has ended.
  std::atomic<int> ended{0};
  std::vector<std::function<void()>> failing;
  failing.push_back([&] {
    ++ended;
    throw std::runtime_error("first");
  });
  failing.push_back([&] {
    std::this_thread::sleep_for(20ms);
    ++ended;
  });
  EXPECT_THROW(runOnHelpers(failing, nullptr), std::runtime_error);
  EXPECT_EQ(ended, 2);

  // Work waited for later: the calling thread goes on meanwhile (here it
  // lets the piece end), then waits on the pump and gets the failure back.
  std::atomic<bool> mayEnd{false};
  HelperRun later({[&] {
                    const auto giveUp = std::chrono::steady_clock::now() + 10s;
                    while (!mayEnd && std::chrono::steady_clock::now() < giveUp) std::this_thread::sleep_for(1ms);
                    throw std::runtime_error("later");
                  }},
                  &pump);
  EXPECT_FALSE(later.done());
  mayEnd = true;
  EXPECT_THROW(later.wait(), std::runtime_error);
  EXPECT_TRUE(later.done());
}

TEST(EventPumpTest, WaitingAGivenTimeRunsTheEventsThatCome) {
  PostedEvent event;
  letEventsRunFor(0.01);
  EXPECT_TRUE(event.ran);
}

}  // namespace
}  // namespace vrn
