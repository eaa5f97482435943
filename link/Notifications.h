#pragma once
// What the link tells the user interface. Link threads never touch windows: they call
// this sink, and the Qt side turns each call into a queued call on the UI thread.
#include <cstdint>
#include <string>

namespace dsptune {

enum LinkMessage : int {
  kMsgRemoteLearn = 1001,  // a remote key was learned; wParam = code (sent, not posted)
  kMsgSyncDone = 1002,     // a read (wParam 0) or write (wParam 1) job ended
  kMsgHostTimeout = 1003,  // the network link was lost by silence
  kMsgHostBusy = 1007,     // the network module reported "ISCONNECTED"
  kMsgLinkClosed = 1008,   // the link ended by itself: the peer closed it or a read failed
};

class NotificationSink {
 public:
  virtual ~NotificationSink() = default;
  // Queued delivery; returns at once.
  virtual void Post(int message, std::intptr_t wParam, std::intptr_t lParam) = 0;
  // Delivery that the caller waits for (the learned-key notice is handled before the
  // receive thread goes on).
  virtual void Send(int message, std::intptr_t wParam, std::intptr_t lParam) = 0;
  // The device reported a parameter error; shown once per run in a box titled "Error".
  virtual void ShowParameterError(const std::string& text) = 0;
};

}  // namespace dsptune
