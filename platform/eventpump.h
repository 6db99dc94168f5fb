#pragma once
// How a long job on the window thread lets the window's events run.
//
// The long jobs (the scan's walk, sort and write, a list load, a search, a
// copy, the list control's long sort and column fitting) run inside the
// handler that started them. Each makes one EventPump and states its slice
// there, once:
//  - after each file or record it calls offer(): events run once the slice
//    has passed since the last turn (a slice of 0: at every offer);
//  - work done on helper threads is waited for with waitUntil(): the window
//    thread sleeps in its event loop, so events run as they come, until a
//    helper's wake-up (waker()) or an event lets it test the condition
//    again. Nothing polls.
// Before each turn the job's beforeTurn hook brings what events may see (its
// progress labels, the shared loop variables) up to date; a wait brings them
// up to date when a turn falls due, at the slice's pace.
// Without an event loop on the thread (a widget-free test, a helper thread),
// turns only call the hook and waits sleep until the wake-up.
#include <QEventLoop>
#include <QtGlobal>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class QAbstractEventDispatcher;

namespace vrn {

// Lets pending window events run once (the language runtime's DoEvents).
void DoEvents();

// Lets window events run for the given time, the thread sleeping between them.
void letEventsRunFor(double seconds);

// The wake-up that helper threads give the thread waiting for their work.
// wake() may be called from any thread, at any time, as often as wanted; a
// wake() that comes before the sleep still ends it.
class WakeUp {
 public:
  WakeUp();  // the calling thread is the one that sleeps
  ~WakeUp();
  WakeUp(const WakeUp&) = delete;
  WakeUp& operator=(const WakeUp&) = delete;

  void wake();
  // Sleeps until ready() holds, testing it (on this thread) after each
  // wake-up; ready() is called until it first returns true, never after.
  // With events (and an event loop on this thread), the thread's events run
  // as they come meanwhile, and ready() is also tested after each batch.
  void waitUntil(const std::function<bool()>& ready, bool withEvents = false,
                 QEventLoop::ProcessEventsFlags flags = QEventLoop::AllEvents);
  // Whether the thread that made it has an event loop to run events in.
  bool eventsHere() const { return dispatcher_ != nullptr; }

  // One round of a sleep, for callers that do more between rounds: announce
  // it, test the condition, then sleep (a wake-up or an event ends it) or
  // cancel it.
  struct Round {
    bool inEvents;
    quint64 seen;  // the wake-ups given when the round began
  };
  Round prepareSleep(bool withEvents);
  void cancelSleep(const Round& round);
  // Without events, a deadline (monotonic nanoseconds, -1: none) also ends
  // the sleep.
  void sleep(const Round& round, QEventLoop::ProcessEventsFlags flags, qint64 deadlineNs = -1);

 private:
  QAbstractEventDispatcher* dispatcher_;
  // Sleepers of each kind; waits may nest (an event that runs during one
  // starts another job), so these count.
  std::atomic<int> inEvents_{0}, onCondition_{0};
  std::mutex mutex_;
  std::condition_variable condition_;
  quint64 generation_ = 0;  // under mutex_: wake-ups given to sleepers on the condition
};

class EventPump {
 public:
  struct Pace {
    int sliceMs = 8;               // events at least this often during the work; 0: at every offer
    bool firstOfferTurns = false;  // the first chance lets events run at once, whatever the slice
    int offersPerClockRead = 1;    // for offers cheaper than reading the clock: read it every n
    // Waits before the first offer let no event through for this long from
    // the pump's start (-1: however long they last): the first chance for
    // events comes after the first record, as when every record had its
    // turn, unless that record is very late.
    int quietBeforeFirstOfferMs = 0;
  };
  explicit EventPump(int sliceMs = 8) : EventPump(Pace{sliceMs}) {}
  explicit EventPump(const Pace& pace);
  ~EventPump();
  EventPump(const EventPump&) = delete;
  EventPump& operator=(const EventPump&) = delete;

  // What each turn first brings up to date, so that the events see it exact.
  void setBeforeTurn(std::function<void()> hook) { beforeTurn_ = std::move(hook); }
  // The events let through (ExcludeUserInputEvents while user input must wait).
  void setEventFlags(QEventLoop::ProcessEventsFlags flags) { flags_ = flags; }

  // After each file or record: lets events run when the slice has passed
  // since the last turn. True when they ran.
  bool offer() {
    ++pending_;
    if (--countdown_ > 0) return false;
    countdown_ = offersPerClockRead_;
    return offerNow();
  }
  // Lets events run now.
  void turn();
  // Whether the slice has passed since the last turn.
  bool due() const;
  // A slice of 0: every offer is a turn.
  bool turnsAtEveryOffer() const { return sliceNs_ == 0; }

  // Waits until ready() holds while window events run as they come (see
  // WakeUp::waitUntil: ready() is called until it first returns true).
  // Helper threads call waker() when the condition may have come true.
  void waitUntil(const std::function<bool()>& ready);
  // What a helper thread calls when what is waited for may hold. It keeps the
  // wake-up alive, so it may outlive the pump.
  std::function<void()> waker() const;
  const std::shared_ptr<WakeUp>& wakeUp() const { return wake_; }

  // The longest stretch without a chance for events since the pump was made,
  // in milliseconds (the stretch in progress included).
  qint64 longestGapMs() const;

 private:
  bool offerNow();
  void bringUpToDate();  // the hook, as a turn begins

  const qint64 sliceNs_;
  const int offersPerClockRead_;
  qint64 quietUntil_;  // before the first offer, waits let no event through until then
  bool offered_ = false;
  int countdown_ = 1;
  qint64 pending_ = 0;  // offers since the last turn: the hook has something to show
  qint64 lastTurn_;     // when the last turn's events ended
  qint64 lastChance_;   // when events last could run
  qint64 longestGapNs_ = 0;
  std::function<void()> beforeTurn_;
  QEventLoop::ProcessEventsFlags flags_ = QEventLoop::AllEvents;
  std::shared_ptr<WakeUp> wake_;
};

// For work whose caller may give it no pump: the wake-up its helper threads
// give (the pump's, or one of its own), and the wait for them (on the pump,
// events running, or else asleep).
std::shared_ptr<WakeUp> wakeUpFor(EventPump* events);
void waitOn(EventPump* events, WakeUp& wake, const std::function<bool()>& ready);

// Runs each piece of work on a helper thread of its own and returns once all
// are done; meanwhile the calling thread waits on the pump (events run) or,
// without one, sleeps. A piece that gets no thread runs on the calling one.
// The first exception a piece throws is thrown again here.
void runOnHelpers(const std::vector<std::function<void()>>& work, EventPump* events);

// The same work, waited for later: the calling thread goes on meanwhile and
// tests done() or waits, as runOnHelpers does, when it needs the result.
class HelperRun {
 public:
  HelperRun(std::vector<std::function<void()>> work, EventPump* events);
  // Waits (asleep) for the pieces still running.
  ~HelperRun();
  HelperRun(const HelperRun&) = delete;
  HelperRun& operator=(const HelperRun&) = delete;

  bool done() const;
  // Waits on the pump (events run) or asleep; throws the first failure again.
  void wait();

 private:
  struct State;
  std::shared_ptr<State> state_;  // shared with the threads, which may outlive a wait
  std::vector<std::thread> threads_;
  EventPump* events_;
};

}  // namespace vrn
