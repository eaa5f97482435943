#include "link/ReconnectPolicy.h"

#include <gtest/gtest.h>

#include <vector>

namespace dsptune {
namespace {

using std::chrono::milliseconds;
using std::chrono::seconds;
using Clock = ReconnectPolicy::Clock;

// Runs the schedule against a fake clock: each attempt happens exactly when due and
// fails (as busy when asked); returns the waits before each attempt.
std::vector<int> Waits(ReconnectPolicy& policy, Clock::time_point& now, int attempts, bool busy) {
  std::vector<int> waits;
  for (int i = 0; i < attempts; ++i) {
    int waited = 0;
    while (!policy.Due(now) && waited < 100) {
      now += seconds(1);
      ++waited;
    }
    waits.push_back(waited);
    policy.AttemptStarted(now);
    if (busy) policy.DeviceBusy(now);
  }
  return waits;
}

TEST(ReconnectPolicyTest, BacksOffOneTwoFourEightThenFifteen) {
  ReconnectPolicy policy;
  Clock::time_point now{};
  EXPECT_FALSE(policy.Active());
  policy.LinkLost(now);
  EXPECT_EQ(policy.SecondsLeft(now), 1);
  EXPECT_EQ(Waits(policy, now, 7, false), (std::vector<int>{1, 2, 4, 8, 15, 15, 15}));
  EXPECT_EQ(policy.Attempts(), 7);
}

TEST(ReconnectPolicyTest, BusyDeviceIsAskedAgainOnlyAtTheSlowPace) {
  ReconnectPolicy policy;
  Clock::time_point now{};
  policy.LinkLost(now);
  EXPECT_EQ(Waits(policy, now, 3, true), (std::vector<int>{1, 15, 15}));
}

TEST(ReconnectPolicyTest, StopRetryNowAndRepeatedLosses) {
  ReconnectPolicy policy;
  Clock::time_point now{};
  policy.LinkLost(now);
  policy.AttemptStarted(now + seconds(1));  // next in 2 s
  policy.LinkLost(now + seconds(1));               // a second notice of the same loss changes nothing
  EXPECT_EQ(policy.SecondsLeft(now + milliseconds(1500)), 2);
  policy.RetryNow(now + milliseconds(1500));
  EXPECT_TRUE(policy.Due(now + milliseconds(1500)));
  policy.Stop();
  EXPECT_FALSE(policy.Active());
  EXPECT_FALSE(policy.Due(now + seconds(100)));
  EXPECT_EQ(policy.SecondsLeft(now), 0);
  policy.AttemptStarted(now);  // a late attempt after Stop does not restart it
  EXPECT_FALSE(policy.Active());
  policy.LinkLost(now);  // a new loss starts from the first step again
  EXPECT_EQ(policy.SecondsLeft(now), 1);
}

}  // namespace
}  // namespace dsptune
