#pragma once
// The USB link: finds the device (vendor 0x2010, product 0x1031) among the HID
// interfaces, preferring one on a vendor-defined usage page, exchanges one 61-byte
// report per packet with it (report id 2 on output) and runs a read thread that hands
// every input report to DispatchPacket.
//
// Each device session has its own USB link (link/DeviceSession.h); the functions below
// act on the current session's. Opening installs the link as the session's
// Link().transport with kind Usb, sets connected and the notification sink. Open, close and removal may be called from any thread,
// including the read thread itself; the read thread is joined before its device is
// closed, except when the read thread closes its own link: then it is joined by the
// next open or at process exit.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "link/HidAccess.h"
#include "link/Notifications.h"

namespace dsptune {

inline constexpr std::uint16_t kUsbVendorId = 0x2010;
inline constexpr std::uint16_t kUsbProductId = 0x1031;
inline constexpr int kMaxUsbInterfaces = 32;  // interfaces examined per open

// 1 when the device was opened and its read thread runs; 0 otherwise, also when a link
// (USB or network) is already connected.
int OpenUsbLink(NotificationSink* target);

// Clears the status block; when asked, sends 0x8A (synchronously, through SendPacket)
// first; then clears connected, stops the read thread and closes the device. No effect
// when no USB device is open.
void CloseUsbLink(bool sendCloseNotice);

// The device was unplugged: like CloseUsbLink(false).
void OnUsbRemoved();

// Whether a removed device path is the open device's, compared without regard to case.
// False while no USB device is open.
bool IsOurDevicePath(const std::string& removedPath);

// The open device's path; empty while no USB device is open.
std::string OpenUsbDevicePath();

// Whether an enumerated interface may be the device: it carries the device's ids, or the
// enumeration could not tell its ids.
bool MayBeUsbDevice(const HidInterfaceInfo& info);

// For the hot-plug watcher's checks, which run on their own thread at any time: the
// paths of the interfaces that may be the device, and CurrentHidAccess().NodeStamp.
// Both hold off SetHidAccess while they use the access.
std::vector<std::string> UsbDeviceCandidates();
std::uint64_t UsbNodeStamp(const std::string& path);

// One report: 0x02, the packet (at most 60 bytes), zeros to 61 bytes. When synchronous,
// first waits for the reply event up to CurrentLink().replyTimeout. Returns the bytes
// written: 61 on success, 0 when not connected, after a read error, or when the write
// failed. SendPacket does its own waiting and reaches this without a wait.
int WriteReport(std::span<const std::uint8_t> packet, bool synchronous);

// Why the last OpenUsbLink found nothing usable. permissionDenied is set when an
// interface that carries the device's ids, or whose ids could not be listed, exists
// but may not be opened by this user (the udev rule is missing); path names it.
struct UsbOpenProblem {
  std::string path;
  bool permissionDenied = false;
};
UsbOpenProblem LastUsbOpenProblem();

// Where the udev rule that grants access is shipped and where it belongs.
inline constexpr const char* kUdevRuleFile = "70-dsptune.rules";
inline constexpr const char* kUdevRuleDir = "/etc/udev/rules.d";

}  // namespace dsptune
