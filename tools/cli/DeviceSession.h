#pragma once
// A connection to a device for one command-line run: parses --tcp HOST[:PORT] or --usb,
// opens the link, runs the read job and checks the identity, and closes the link with
// the disconnect notice when it goes out of scope.
#include <chrono>
#include <memory>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/Notifications.h"
#include "tools/cli/CliCommands.h"

namespace dsptune::cli {

// Collects the link's notifications for a thread that waits on them.
class CliSink final : public NotificationSink {
 public:
  void Post(int message, std::intptr_t wParam, std::intptr_t lParam) override;
  void Send(int message, std::intptr_t wParam, std::intptr_t lParam) override;
  void ShowParameterError(const std::string& text) override;

  // Waits for message 1002 with the given wParam; false on time-out or a lost link (1003).
  bool WaitForSyncDone(int wParam, std::chrono::milliseconds timeout);
  bool HostBusy() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<int> syncDone_;
  bool hostTimeout_ = false;
  bool hostBusy_ = false;
};

class DeviceSession {
 public:
  // Takes --tcp/--usb out of args. Returns nullopt (after printing the reason) when the
  // arguments are wrong; exitCode is then 2.
  static std::optional<DeviceSession> FromArgs(Args& args, int& exitCode);
  DeviceSession(DeviceSession&&) noexcept;
  ~DeviceSession();

  // Opens the link and reads the device; prints a one-line reason and returns false on failure.
  bool ConnectAndRead();
  // Runs the write job with the current image; false on time-out.
  bool WaitForWriteJob();
  CliSink& Sink() { return *sink_; }

 private:
  DeviceSession() = default;
  bool network_ = false;
  std::string host_;
  int port_ = 0;
  bool open_ = false;
  std::unique_ptr<CliSink> sink_;
};

// True when args hold --tcp or --usb.
bool WantsDevice(const Args& args);

}  // namespace dsptune::cli
