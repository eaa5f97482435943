#include "link/ReconnectPolicy.h"

#include <algorithm>
#include <iterator>

namespace dsptune {

void ReconnectPolicy::LinkLost(Clock::time_point now) {
  if (active_) return;
  active_ = true;
  attempts_ = 0;
  next_ = now + kDelays[0];
}

void ReconnectPolicy::AttemptStarted(Clock::time_point now) {
  if (!active_) return;
  ++attempts_;
  const int last = int(std::size(kDelays)) - 1;
  next_ = now + kDelays[std::min(attempts_, last)];
}

void ReconnectPolicy::DeviceBusy(Clock::time_point now) {
  if (active_) next_ = now + kSlowDelay;
}

void ReconnectPolicy::Stop() {
  active_ = false;
  attempts_ = 0;
}

void ReconnectPolicy::RetryNow(Clock::time_point now) {
  if (active_) next_ = now;
}

int ReconnectPolicy::SecondsLeft(Clock::time_point now) const {
  if (!active_ || now >= next_) return 0;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(next_ - now).count();
  return int((left + 999) / 1000);
}

}  // namespace dsptune
