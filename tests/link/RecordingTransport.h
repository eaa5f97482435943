#pragma once
// Test doubles for the device link: a transport that records every packet handed to it
// and, like a device, answers each one by setting the reply event; a notification sink
// that records what the link tells the user interface; and a fixture base that installs
// both on a fresh model and link state.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "link/CommandSet.h"
#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "link/Notifications.h"
#include "link/PacketTransport.h"
#include "model/DebugLog.h"
#include "model/ParameterImage.h"
#include "tests/model/RecordingWriter.h"

namespace dsptune::test {

using Clock = std::chrono::steady_clock;

// Which of the three transport entries a packet took.
enum class Path { UsbReport, NetworkDirect, NetworkQueue };

struct TransportCall {
  Path path;
  std::vector<std::uint8_t> bytes;
  Clock::time_point time;
  bool linkLockHeld = false;  // measured only while RecordingTransport::checkLinkLock is on
};

class RecordingTransport : public PacketTransport {
 public:
  int WriteReport(std::span<const std::uint8_t> packet) override { return Record(Path::UsbReport, packet); }
  int SendDirect(std::span<const std::uint8_t> payload) override { return Record(Path::NetworkDirect, payload); }
  void EnqueuePacket(std::span<const std::uint8_t> payload) override { Record(Path::NetworkQueue, payload); }

  std::vector<TransportCall> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    calls_.clear();
  }

  // Answer every packet at once, as a device whose reply arrives immediately. Image
  // writes (0x31, 0x32) get the device's acknowledgement through the dispatcher, since a
  // write job counts those; every other packet only releases the reply event.
  std::atomic<bool> autoReply{true};
  // Probe the link lock from another thread on every call (the caller may hold it, and a
  // std::mutex must not be tried by its owner). Costs a thread per call.
  std::atomic<bool> checkLinkLock{false};

 private:
  int Record(Path path, std::span<const std::uint8_t> bytes) {
    TransportCall call{path, {bytes.begin(), bytes.end()}, Clock::now(), false};
    if (checkLinkLock) {
      std::mutex& linkLock = CurrentLink().linkLock;
      std::thread probe([&] {
        call.linkLockHeld = !linkLock.try_lock();
        if (!call.linkLockHeld) linkLock.unlock();
      });
      probe.join();
    }
    {
      std::lock_guard lock(mutex_);
      calls_.push_back(std::move(call));
    }
    if (autoReply) Answer(path, bytes);
    return 1;
  }

  static void Answer(Path path, std::span<const std::uint8_t> bytes) {
    const std::size_t head = path == Path::UsbReport ? 0 : 1;  // the network's destination byte
    const std::uint8_t code = bytes.size() > head ? bytes[head] : 0;
    if (path != Path::NetworkQueue && (code == kCmdWriteImage || code == kCmdEndImageWrite))
      DispatchPacket(std::vector<std::uint8_t>{kReportId, code});
    else
      CurrentLink().replyEvent.Set();
  }

  mutable std::mutex mutex_;
  std::vector<TransportCall> calls_;
};

struct SinkCall {
  enum Kind { Post, Send, ParameterError } kind;
  int message = 0;
  std::intptr_t wParam = 0, lParam = 0;
  std::string text;
};

class RecordingSink : public NotificationSink {
 public:
  void Post(int message, std::intptr_t wParam, std::intptr_t lParam) override {
    Record({SinkCall::Post, message, wParam, lParam, {}});
  }
  void Send(int message, std::intptr_t wParam, std::intptr_t lParam) override {
    Record({SinkCall::Send, message, wParam, lParam, {}});
  }
  void ShowParameterError(const std::string& text) override { Record({SinkCall::ParameterError, 0, 0, 0, text}); }

  std::vector<SinkCall> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }

 private:
  void Record(SinkCall call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
  }

  mutable std::mutex mutex_;
  std::vector<SinkCall> calls_;
};

// Fresh model and link state with the recorders installed, the Z-Wave pause removed and
// a short reply time-out, so a test that misses a reply costs 50 ms instead of 2 s.
class LinkFixtureBase {
 protected:
  static constexpr std::chrono::milliseconds kShortReplyTimeout{50};

  LinkFixtureBase() {
    ResetDataModel();
    FreshLink();
    previousLogSink_ = SetDebugLogSink([this](std::string_view line) {
      std::lock_guard lock(logMutex_);
      log_.emplace_back(line);
    });
  }

  ~LinkFixtureBase() {
    LinkState& link = CurrentLink();
    link.transport = nullptr;
    link.sink = nullptr;
    link.readJobStarter = nullptr;
    SetDebugLogSink(std::move(previousLogSink_));
  }

  // A new link state (reply event signalled again) with the recorders installed.
  void FreshLink() {
    ResetLinkState();
    LinkState& link = CurrentLink();
    link.transport = &transport;
    link.sink = &sink;
    link.zwaveAckDelay = std::chrono::milliseconds(0);
    link.replyTimeout = kShortReplyTimeout;
  }

  // The link as a transport would leave it after opening.
  static void UseLink(LinkKind kind, bool connected = true, bool queued = false) {
    LinkState& link = CurrentLink();
    link.kind = kind;
    link.connected = connected;
    link.queuedSendMode = queued;
  }

  std::vector<std::string> LogLines() const {
    std::lock_guard lock(logMutex_);
    return log_;
  }
  int LogCount(std::string_view line) const {
    std::lock_guard lock(logMutex_);
    int n = 0;
    for (const std::string& l : log_) n += l == line;
    return n;
  }
  void ClearLog() {
    std::lock_guard lock(logMutex_);
    log_.clear();
  }

  RecordingTransport transport;
  RecordingSink sink;

 private:
  mutable std::mutex logMutex_;
  std::vector<std::string> log_;
  DebugLogSink previousLogSink_;
};

inline constexpr std::string_view kUsbWaitTimeoutLine = "WaitForSingleObject Time Out \r\n ";
inline constexpr std::string_view kNetworkWaitTimeoutLine = "NetSendSync WaitObject Time Out \r\n ";

}  // namespace dsptune::test
