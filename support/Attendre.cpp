#include "support/Attendre.h"

#include <algorithm>
#include <cmath>

#include "platform/services.h"

namespace vrn {

namespace {
constexpr double kDay = 86400.0;
// Longest single wait for events, so the clock is read again soon after.
constexpr double kSlice = 0.05;
}  // namespace

void Attendre(double secondes) {
  Clock* clock = services().clock;
  if (!clock) return;
  // nearbyint rounds a half to the even second (the default rounding mode).
  const double start = std::nearbyint(clock->secondsSinceMidnight());
  for (;;) {
    double elapsed = clock->secondsSinceMidnight() - start;
    // The time of day restarts at 0 at midnight; only the start's rounding
    // can make a same-day reading fall (at most half a second) before it.
    if (elapsed < -1.0) elapsed += kDay;
    if (!(elapsed < secondes)) return;
    clock->waitForEvents(std::min(secondes - elapsed, kSlice));
  }
}

}  // namespace vrn
