// Arbitrary input reports through the USB link's read thread, from an in-process HID
// device (installed with SetHidAccess) that hands over one read result at a time and
// waits until the link is back for the next, so each report is checked on its own:
//  - the link dispatches the report as the full zero-padded 61-byte buffer, and that
//    changes only what the answer's code owns (FuzzSupport.h), notifies only what it
//    should, and writes nothing to the device but one acknowledgement report for a
//    Z-Wave frame;
//  - a read that times out changes nothing; a failed read or an unplugged device ends
//    the read thread, stops status polling and makes writes refused; nothing is read
//    after it;
//  - closing the link joins its thread and closes the device.
//
// Input: a tag byte per read: 0xFD a time-out, 0xFE a read error, 0xFF the device gone,
// any other value t a report of t % 61 + 1 bytes that follow (cut at the input's end).
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "link/HidAccess.h"
#include "link/UsbLink.h"
#include "tests/fuzz/FuzzSupport.h"

using namespace dsptune;
using namespace dsptune::fuzz;

namespace {

using namespace std::chrono_literals;
constexpr auto kWaitLimit = 2s;  // a link that takes longer than this to come back hangs
const char* const kPath = "/dev/hidraw-fuzz";

struct ReadResult {
  Bytes report;  // used when code is above zero
  int code = 0;
};

// The device's side of the reads and writes, shared with the harness.
class Script {
 public:
  void Reset() {
    std::lock_guard lock(mutex_);
    offered_.reset();
    inRead_ = closing_ = false;
    written_.clear();
  }

  void Offer(ReadResult result) {
    {
      std::lock_guard lock(mutex_);
      offered_ = std::move(result);
    }
    cv_.notify_all();
  }

  // True once the offered result was taken and the reader is back in Read.
  bool WaitBackInRead() {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, kWaitLimit, [this] { return !offered_ && inRead_; });
  }
  bool WaitTaken() {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, kWaitLimit, [this] { return !offered_; });
  }

  // Reads return at once from now on, so a close does not wait out a read.
  void Close() {
    {
      std::lock_guard lock(mutex_);
      closing_ = true;
    }
    cv_.notify_all();
  }

  std::vector<Bytes> TakeWritten() {
    std::lock_guard lock(mutex_);
    return std::exchange(written_, {});
  }
  bool Offered() {
    std::lock_guard lock(mutex_);
    return offered_.has_value();
  }

  int Read(std::uint8_t* report61, int timeoutMs) {
    std::unique_lock lock(mutex_);
    inRead_ = true;
    cv_.notify_all();
    cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return offered_ || closing_; });
    inRead_ = false;
    if (!offered_ || closing_) return kHidReadTimedOut;
    const ReadResult r = std::move(*offered_);
    offered_.reset();
    cv_.notify_all();
    if (r.code <= 0) return r.code;
    std::memcpy(report61, r.report.data(), r.report.size());
    return int(r.report.size());
  }

  int Write(const std::uint8_t* report61) {
    std::lock_guard lock(mutex_);
    written_.emplace_back(report61, report61 + kReportSize);
    return int(kReportSize);
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  std::optional<ReadResult> offered_;
  bool inRead_ = false, closing_ = false;
  std::vector<Bytes> written_;
};

class Device final : public HidDevice {
 public:
  Device(Script& script, int& open) : script_(script), open_(open) { ++open_; }
  ~Device() override { --open_; }
  bool ReadAttributes(std::uint16_t& vendorId, std::uint16_t& productId) override {
    vendorId = kUsbVendorId;
    productId = kUsbProductId;
    return true;
  }
  int Read(std::uint8_t* report61, int timeoutMs) override { return script_.Read(report61, timeoutMs); }
  int Write(const std::uint8_t* report61) override { return script_.Write(report61); }

 private:
  Script& script_;
  int& open_;
};

class Bus final : public HidAccess {
 public:
  std::vector<HidInterfaceInfo> Enumerate() override { return {{kPath, kUsbVendorId, kUsbProductId}}; }
  std::unique_ptr<HidDevice> Open(const std::string& path, HidOpenError* error) override {
    if (path != kPath) {
      if (error) *error = HidOpenError::Failed;
      return nullptr;
    }
    return std::make_unique<Device>(script, open);
  }
  Script script;
  int open = 0;  // devices not closed yet
};

Bus& TheBus() {
  static Bus bus;
  return bus;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  SetHidAccess(&TheBus());
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static RecordingSink sink;
  Bus& bus = TheBus();
  Script& script = bus.script;

  ResetDataModel();
  ResetLinkState();
  LinkState& link = CurrentLink();
  link.zwaveAckDelay = 0ms;
  script.Reset();
  sink.Take();
  Expect(OpenUsbLink(&sink) == 1, "the fake device did not open");

  std::size_t pos = 0;
  for (int reads = 0; pos < size && reads < 64; ++reads) {
    const std::uint8_t tag = data[pos++];
    const State before = State::Take();
    if (tag >= 0xFD) {
      script.Offer({{}, tag == 0xFD ? kHidReadTimedOut : tag == 0xFE ? kHidReadError : kHidReadDeviceGone});
      if (tag == 0xFD) {
        Expect(script.WaitBackInRead(), "the read thread did not come back after a time-out");
        const std::uint8_t nothing[] = {0, 0};
        CheckDispatchEffects(before, State::Take(), nothing);
        continue;
      }
      // The thread ends: polling stops and the link refuses writes from now on.
      Expect(script.WaitTaken(), "the read thread did not take the failed read");
      const auto deadline = std::chrono::steady_clock::now() + kWaitLimit;
      while (link.transport.load() && link.transport.load()->Writable() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(100us);
      PacketTransport* transport = link.transport.load();
      Expect(transport && !transport->Writable(), "a link whose reads failed still takes writes");
      Expect(!link.statusPollingAllowed, "status polling goes on after a failed read");
      const std::uint8_t probe[] = {0x07};
      Expect(WriteReport(probe, false) == 0, "a report was written after a failed read");
      State after = State::Take();
      after.statusPollingAllowed = before.statusPollingAllowed;
      const std::uint8_t nothing[] = {0, 0};
      CheckDispatchEffects(before, after, nothing);
      // Nothing more is read: a report offered now stays where it is.
      script.Offer({Bytes{0x00, 0x07, 0x01}, 3});
      std::this_thread::sleep_for(1ms);
      Expect(script.Offered(), "a report was read after the read thread ended");
      break;
    }

    const std::size_t n = std::min<std::size_t>(tag % kReportSize + 1, size - pos);
    const Bytes report(data + pos, data + pos + n);
    pos += n;
    script.Offer({report, int(n)});
    Expect(script.WaitBackInRead(), "the read thread did not come back after a report");

    Bytes packet = report;
    packet.resize(kReportSize, 0);
    CheckDispatchEffects(before, State::Take(), packet);
    CheckNotifications(before, packet, sink.Take());
    std::vector<Bytes> expected;
    if (AcknowledgesZWave(packet)) {
      const std::uint8_t ack[] = {kZWavePacketCode, 0x01, kZWaveAck};
      const auto encoded = EncodeReport(ack);
      expected.emplace_back(encoded.begin(), encoded.end());
    }
    Expect(script.TakeWritten() == expected, "wrote something other than one Z-Wave acknowledgement", packet);
  }

  script.Close();
  CloseUsbLink(false);
  Expect(!link.connected, "the link is still connected after closing");
  Expect(bus.open == 0, "closing the link did not close the device");
  return 0;
}
