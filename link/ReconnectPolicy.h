#pragma once
// When to try a lost link again. After a loss the next attempts wait 1, 2, 4 and 8 s,
// then every 15 s; a device that answered "busy" (another host holds it) is asked
// again only at the slow pace. A link that comes up, or the user's Disconnect, ends the
// schedule. Time is passed in, so the schedule runs the same under a test's clock.
#include <chrono>

namespace dsptune {

class ReconnectPolicy {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::seconds kDelays[] = {std::chrono::seconds(1), std::chrono::seconds(2),
                                                     std::chrono::seconds(4), std::chrono::seconds(8),
                                                     std::chrono::seconds(15)};
  static constexpr std::chrono::seconds kSlowDelay = std::chrono::seconds(15);

  // The link was lost: the first attempt is due one step from now. A loss while the
  // schedule already runs changes nothing.
  void LinkLost(Clock::time_point now);
  // An attempt starts now. The one after it is scheduled at once, one step further out,
  // so an attempt that fails (or a link that drops again right after) costs nothing more.
  void AttemptStarted(Clock::time_point now);
  // The device said another host holds it: the next attempt only at the slow pace.
  void DeviceBusy(Clock::time_point now);
  // The link is up (or the user closed it): no more attempts.
  void Stop();
  // The user asked to try at once: the next attempt is due now.
  void RetryNow(Clock::time_point now);

  bool Active() const { return active_; }
  bool Due(Clock::time_point now) const { return active_ && now >= next_; }
  // Whole seconds until the next attempt, rounded up (0 when due or inactive).
  int SecondsLeft(Clock::time_point now) const;
  // Attempts made since the loss.
  int Attempts() const { return attempts_; }

 private:
  bool active_ = false;
  int attempts_ = 0;
  Clock::time_point next_{};
};

}  // namespace dsptune
