#include "platform/eventpump.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <climits>
#include <exception>
#include <optional>
#include <system_error>
#include <thread>
#include <time.h>
#include <utility>

namespace vrn {

namespace {

qint64 monotonicNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return qint64(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

// Whole milliseconds, rounded up, for a timer that must not fire early.
int timerMs(qint64 ns) { return int(std::clamp<qint64>((ns + 999'999) / 1'000'000, 1, INT_MAX)); }

}  // namespace

void DoEvents() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void letEventsRunFor(double seconds) {
  const qint64 end = monotonicNs() + qint64(std::max(seconds, 0.001) * 1e9);
  if (!QAbstractEventDispatcher::instance()) {
    const qint64 left = end - monotonicNs();
    if (left > 0) std::this_thread::sleep_for(std::chrono::nanoseconds(left));
    return;
  }
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  for (qint64 left; (left = end - monotonicNs()) > 0;) {
    // Timers may fire a little early: armed again for what is left.
    deadline.start(timerMs(left));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

// ---- WakeUp ----

WakeUp::WakeUp() : dispatcher_(QAbstractEventDispatcher::instance()) {}

WakeUp::~WakeUp() = default;

void WakeUp::wake() {
  // Pairs with the fence in prepareSleep: either this sees the sleeper, or
  // the sleeper's test of its condition sees what the caller just did.
  std::atomic_thread_fence(std::memory_order_seq_cst);
  if (inEvents_.load(std::memory_order_relaxed) > 0) dispatcher_->wakeUp();
  if (onCondition_.load(std::memory_order_relaxed) > 0) {
    {
      const std::lock_guard lock(mutex_);
      ++generation_;
    }
    condition_.notify_all();
  }
}

WakeUp::Round WakeUp::prepareSleep(bool withEvents) {
  Round round{withEvents && dispatcher_, 0};
  if (round.inEvents) {
    inEvents_.fetch_add(1);
  } else {
    {
      const std::lock_guard lock(mutex_);
      round.seen = generation_;
    }
    onCondition_.fetch_add(1);
  }
  std::atomic_thread_fence(std::memory_order_seq_cst);
  return round;
}

void WakeUp::cancelSleep(const Round& round) { (round.inEvents ? inEvents_ : onCondition_).fetch_sub(1); }

void WakeUp::sleep(const Round& round, QEventLoop::ProcessEventsFlags flags, qint64 deadlineNs) {
  if (round.inEvents) {
    // Returns after a batch of events or a wake-up; a wake-up given since
    // prepareSleep is kept by the dispatcher, so it is not lost.
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents | flags);
  } else {
    std::unique_lock lock(mutex_);
    const auto woken = [&] { return generation_ != round.seen; };
    // The steady clock is the monotonic one.
    if (deadlineNs < 0) condition_.wait(lock, woken);
    else
      condition_.wait_until(lock, std::chrono::steady_clock::time_point(std::chrono::nanoseconds(deadlineNs)), woken);
  }
  cancelSleep(round);
}

void WakeUp::waitUntil(const std::function<bool()>& ready, bool withEvents, QEventLoop::ProcessEventsFlags flags) {
  for (;;) {
    const Round round = prepareSleep(withEvents);
    if (ready()) {
      cancelSleep(round);
      return;
    }
    sleep(round, flags);
  }
}

// ---- EventPump ----

EventPump::EventPump(const Pace& pace)
    : sliceNs_(qint64(std::max(0, pace.sliceMs)) * 1'000'000),
      offersPerClockRead_(pace.sliceMs > 0 ? std::max(1, pace.offersPerClockRead) : 1),
      wake_(std::make_shared<WakeUp>()) {
  const qint64 now = monotonicNs();
  lastChance_ = now;
  lastTurn_ = now;
  quietUntil_ = pace.quietBeforeFirstOfferMs < 0 ? LLONG_MAX : now + qint64(pace.quietBeforeFirstOfferMs) * 1'000'000;
  if (pace.firstOfferTurns) {
    // As if a slice had passed with something to show.
    lastTurn_ = now - sliceNs_;
    pending_ = 1;
  }
}

EventPump::~EventPump() = default;

bool EventPump::due() const { return sliceNs_ == 0 || monotonicNs() - lastTurn_ >= sliceNs_; }

bool EventPump::offerNow() {
  offered_ = true;
  if (!due()) return false;
  turn();
  return true;
}

void EventPump::bringUpToDate() {
  pending_ = 0;
  if (beforeTurn_) beforeTurn_();
}

void EventPump::turn() {
  bringUpToDate();
  const qint64 before = monotonicNs();
  longestGapNs_ = std::max(longestGapNs_, before - lastChance_);
  QCoreApplication::processEvents(QEventLoop::AllEvents | flags_);
  lastChance_ = lastTurn_ = monotonicNs();
}

void EventPump::waitUntil(const std::function<bool()>& ready) {
  if (ready()) return;
  if (!wake_->eventsHere()) {
    wake_->waitUntil(ready);
    return;
  }
  if (!offered_) {
    while (monotonicNs() < quietUntil_) {
      const WakeUp::Round round = wake_->prepareSleep(false);
      if (ready()) {
        wake_->cancelSleep(round);
        return;
      }
      wake_->sleep(round, flags_, quietUntil_ == LLONG_MAX ? -1 : quietUntil_);
    }
  }
  longestGapNs_ = std::max(longestGapNs_, monotonicNs() - lastChance_);
  // Nothing the hook shows changes while the job waits: it runs once, when a
  // turn falls due (at once, or when the rest of the slice has passed).
  std::optional<QTimer> slice;
  for (;;) {
    const WakeUp::Round round = wake_->prepareSleep(true);
    if (ready()) {
      wake_->cancelSleep(round);
      break;
    }
    if (pending_ > 0) {
      const qint64 left = sliceNs_ - (monotonicNs() - lastTurn_);
      if (left <= 0) {
        bringUpToDate();
        lastTurn_ = monotonicNs();
      } else if (beforeTurn_ && (!slice || !slice->isActive())) {
        if (!slice) {
          slice.emplace();
          slice->setSingleShot(true);
          slice->setTimerType(Qt::PreciseTimer);
        }
        slice->start(timerMs(left));
      }
    }
    wake_->sleep(round, flags_);
  }
  lastChance_ = monotonicNs();
}

std::function<void()> EventPump::waker() const {
  return [wake = wake_] { wake->wake(); };
}

qint64 EventPump::longestGapMs() const { return std::max(longestGapNs_, monotonicNs() - lastChance_) / 1'000'000; }

// ---- Helpers ----

std::shared_ptr<WakeUp> wakeUpFor(EventPump* events) { return events ? events->wakeUp() : std::make_shared<WakeUp>(); }

void waitOn(EventPump* events, WakeUp& wake, const std::function<bool()>& ready) {
  if (events) events->waitUntil(ready);
  else wake.waitUntil(ready);
}

void runOnHelpers(const std::vector<std::function<void()>>& work, EventPump* events) {
  HelperRun run(work, events);
  run.wait();
}

struct HelperRun::State {
  std::vector<std::function<void()>> work;
  std::shared_ptr<WakeUp> wake;
  std::atomic<size_t> left{0};
  std::mutex failureMutex;
  std::exception_ptr failure;

  void run(size_t piece) {
    try {
      work[piece]();
    } catch (...) {
      const std::lock_guard lock(failureMutex);
      if (!failure) failure = std::current_exception();
    }
    left.fetch_sub(1);
  }
};

HelperRun::HelperRun(std::vector<std::function<void()>> work, EventPump* events)
    : state_(std::make_shared<State>()), events_(events) {
  state_->work = std::move(work);
  state_->wake = wakeUpFor(events);
  state_->left = state_->work.size();
  threads_.reserve(state_->work.size());
  for (size_t piece = 0; piece < state_->work.size(); ++piece) {
    try {
      threads_.emplace_back([state = state_, piece] {
        state->run(piece);
        state->wake->wake();
      });
    } catch (const std::system_error&) {
      state_->run(piece);  // no thread to spare: here, at once
    }
  }
}

HelperRun::~HelperRun() {
  for (std::thread& helper : threads_)
    if (helper.joinable()) helper.join();
}

bool HelperRun::done() const { return state_->left.load() == 0; }

void HelperRun::wait() {
  waitOn(events_, *state_->wake, [this] { return done(); });
  for (std::thread& helper : threads_)
    if (helper.joinable()) helper.join();
  std::exception_ptr failure;
  {
    const std::lock_guard lock(state_->failureMutex);
    failure = std::exchange(state_->failure, nullptr);
  }
  if (failure) std::rethrow_exception(failure);
}

}  // namespace vrn
