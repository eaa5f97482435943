#pragma once
// An in-process HID bus for the USB link tests: any number of interfaces with any ids,
// devices that fail to open, to report their ids or to read, unplugging, and devices
// that answer every written report through a test-supplied function. Every written
// report is recorded. Install it with SetHidAccess(&bus).
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "link/HidAccess.h"

namespace dsptune::test {

using Report = std::vector<std::uint8_t>;

class FakeHidBus final : public HidAccess {
 public:
  // The input reports a device sends back for one written report (61 bytes, report id
  // first); each is zero-padded or cut to 61 bytes. Runs on the writing thread.
  using Responder = std::function<std::vector<Report>(std::span<const std::uint8_t> report)>;

  FakeHidBus();
  ~FakeHidBus() override;

  // Adds an interface at the end of the list.
  void Add(const std::string& path, std::uint16_t vendorId, std::uint16_t productId);
  // Adds count interfaces of another vendor, "/dev/hidraw-other<i>".
  void AddOthers(int count);
  // The enumeration reports no ids for this interface (they show only once it is opened).
  void HideIds(const std::string& path);
  // The interface's top-level usage page as the enumeration lists it (0 by default).
  void SetUsagePage(const std::string& path, std::uint16_t usagePage);
  // The report descriptor the opened device declares (none, so numbering unknown, by default).
  void SetDescriptor(const std::string& path, std::vector<std::uint8_t> descriptor);

  void SetResponder(const std::string& path, Responder responder);
  void FailOpen(const std::string& path, HidOpenError error);
  void FailAttributes(const std::string& path);
  void FailReads(const std::string& path);  // every read from now on returns kHidReadError
  // Unplugs: reads return kHidReadDeviceGone, the interface leaves the list, opens fail,
  // its node is gone. Adding the path again plugs a new device in, with a new node.
  void Remove(const std::string& path);
  // An input report the device sends unasked.
  void Push(const std::string& path, Report report);

  std::vector<Report> Written(const std::string& path) const;
  int Opens(const std::string& path) const;  // successful opens
  int OpenAttempts(const std::string& path) const;
  int Closes(const std::string& path) const;
  int AttributeReads(const std::string& path) const;
  bool IsOpen(const std::string& path) const { return Opens(path) > Closes(path); }

  // HidAccess
  std::vector<HidInterfaceInfo> Enumerate() override;
  std::unique_ptr<HidDevice> Open(const std::string& path, HidOpenError* error) override;
  std::uint64_t NodeStamp(const std::string& path) override;

  struct Device;

 private:
  std::shared_ptr<Device> Find(const std::string& path) const;

  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<Device>> devices_;
  std::uint64_t nodesMade_ = 0;
};

// Waits (polling, bounded) until done() holds; returns its last value.
bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(2));

}  // namespace dsptune::test
