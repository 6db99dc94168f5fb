#include "platform/quitsignals.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cerrno>

namespace vrn {

namespace {

// The pipe the handler writes to: a byte per signal, read by the event loop.
int wakePipe[2] = {-1, -1};

void noteSignal(int) {
  const int saved = errno;
  const char byte = 1;
  // A full pipe already holds a wake-up.
  [[maybe_unused]] const ssize_t n = ::write(wakePipe[1], &byte, 1);
  errno = saved;
}

void drainPipe() {
  char bytes[64];
  while (::read(wakePipe[0], bytes, sizeof bytes) > 0) {
  }
}

}  // namespace

void quitOnEndSignals(QObject* context, std::function<void()> quit) {
  if (wakePipe[0] < 0 && ::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  auto* notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, context);
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [quit = std::move(quit)] {
    drainPipe();
    quit();
  });
  // Once nothing would read the pipe, the signals end the process as usual.
  QObject::connect(notifier, &QObject::destroyed, [] {
    for (const int signal : {SIGTERM, SIGHUP, SIGINT}) ::signal(signal, SIG_DFL);
  });
  struct sigaction action = {};
  action.sa_handler = noteSignal;
  sigemptyset(&action.sa_mask);
  // Calls the signal cut short go on by themselves where the system allows it.
  action.sa_flags = SA_RESTART;
  for (const int signal : {SIGTERM, SIGHUP, SIGINT}) ::sigaction(signal, &action, nullptr);
}

}  // namespace vrn
