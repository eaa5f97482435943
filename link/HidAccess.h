#pragma once
// The HID-access interface the USB link works through: list the system's HID
// interfaces, open one by path, read its ids, and exchange 61-byte reports. The hidapi
// hidraw backend is the default; tests install an in-process fake with SetHidAccess.
//
// Reports are always the full USB report: byte 0 is the report id (0x02 on output; on
// input whatever the device sent, 0 when it does not number its reports), bytes 1..60
// the packet, command or response code first.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "link/HidReportDescriptor.h"

namespace dsptune {

struct HidInterfaceInfo {
  std::string path;  // what Open takes; "/dev/hidrawN" with the hidapi backend
  // Ids as the enumeration saw them; 0 when the backend cannot tell before opening.
  // The link still reads the ids from the opened device before it accepts one.
  std::uint16_t vendorId = 0;
  std::uint16_t productId = 0;
  // The interface's top-level usage page; 0 when unknown. One device may offer several
  // interfaces with the same ids (a keyboard or consumer-control part beside the
  // vendor-defined one that carries the protocol).
  std::uint16_t usagePage = 0;
};

// Usage pages 0xFF00..0xFFFF are the vendor's own (HID Usage Tables, 3).
inline constexpr std::uint16_t kFirstVendorUsagePage = 0xFF00;
inline bool IsVendorUsagePage(std::uint16_t page) { return page >= kFirstVendorUsagePage; }

enum class HidOpenError {
  None,
  PermissionDenied,  // the interface exists but this user may not open it (udev rule missing)
  Failed,            // gone, busy or any other reason
};

// Read results besides a byte count.
inline constexpr int kHidReadTimedOut = 0;
inline constexpr int kHidReadError = -1;
inline constexpr int kHidReadDeviceGone = -2;

// One opened interface. Read is called by one thread (the link's read thread) while
// Write may be called by another; an implementation serialises them as it needs to.
// Destroying the object closes the interface; no call may be running at that moment.
class HidDevice {
 public:
  virtual ~HidDevice() = default;
  // The interface's vendor and product id, read from the opened device.
  virtual bool ReadAttributes(std::uint16_t& vendorId, std::uint16_t& productId) = 0;
  // Waits up to timeoutMs for one input report and stores it in report61 (61 bytes,
  // report id first). Returns the bytes stored (1..61), kHidReadTimedOut,
  // kHidReadDeviceGone when the device has been unplugged, or kHidReadError.
  virtual int Read(std::uint8_t* report61, int timeoutMs) = 0;
  // Writes one 61-byte output report (report id first). Returns the bytes written or -1.
  virtual int Write(const std::uint8_t* report61) = 0;
  // What the interface's report descriptor declares; numbering Unknown when the backend
  // could not read it.
  virtual HidReportLayout ReportLayout() const { return {}; }
};

class HidAccess {
 public:
  virtual ~HidAccess() = default;
  // Every HID interface present, each once, in the system's order. Empty when there are
  // none or when the list could not be read.
  virtual std::vector<HidInterfaceInfo> Enumerate() = 0;
  // Opens the interface for reading and writing. On failure returns null and, when
  // error is given, says why.
  virtual std::unique_ptr<HidDevice> Open(const std::string& path, HidOpenError* error) = 0;
  // Identifies the node behind a path: 0 when there is none; another value once the node
  // has been made anew (a device unplugged and plugged back under the same name). The
  // default looks at the file system (inode and change time).
  virtual std::uint64_t NodeStamp(const std::string& path);
};

// The access the current session's USB link uses. Null restores the hidapi backend,
// which is created on first use. The object must outlive every link opened through it; switch only while no
// USB link is open. The hot-plug watcher's checks may use it at any time: once
// SetHidAccess returns they have let go of the previous one.
void SetHidAccess(HidAccess* access);
HidAccess& CurrentHidAccess();

}  // namespace dsptune
