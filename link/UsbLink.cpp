#include "link/UsbLink.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "link/CommandSet.h"
#include "link/DeviceSession.h"
#include "link/Dispatcher.h"
#include "link/FrameCodec.h"
#include "link/HidAccess.h"
#include "link/HidapiAccess.h"
#include "link/LinkState.h"
#include "model/DebugLog.h"

namespace dsptune {
namespace {

using namespace std::chrono_literals;

// Each read waits at most this long, so the read thread sees a close well within the
// close's wait for it.
constexpr int kReadTimeoutMs = 100;
constexpr auto kReaderExitWait = 1000ms;

// One opened device and its read thread.
struct Session {
  std::unique_ptr<HidDevice> device;
  std::string path;
  std::atomic<bool> stop{false};
  std::thread reader;

  std::mutex exitMutex;
  std::condition_variable exitCv;
  bool exited = false;

  void MarkExited() {
    {
      std::lock_guard lock(exitMutex);
      exited = true;
    }
    exitCv.notify_all();
  }
  bool WaitExited(std::chrono::milliseconds timeout) {
    std::unique_lock lock(exitMutex);
    return exitCv.wait_for(lock, timeout, [this] { return exited; });
  }
  bool HasExited() {
    std::lock_guard lock(exitMutex);
    return exited;
  }
  bool OnReaderThread() const { return reader.get_id() == std::this_thread::get_id(); }
};

}  // namespace

// What SendPacket calls on a USB link. It has already waited for the reply.
class UsbTransport final : public PacketTransport {
 public:
  explicit UsbTransport(UsbLink& usb) : usb_(usb) {}
  int WriteReport(std::span<const std::uint8_t> packet) override;
  int SendDirect(std::span<const std::uint8_t>) override { return 0; }
  void EnqueuePacket(std::span<const std::uint8_t>) override {}
  bool Writable() const override;

 private:
  UsbLink& usb_;
};

// One session's USB link: the opened device, its read thread and the HID access used to
// find it.
class UsbLink {
 public:
  explicit UsbLink(DeviceSession& device) : owner(device) {}

  // Reached when the device session ends with the link still open: stop and join every read
  // thread, because a joinable std::thread must not be destroyed.
  ~UsbLink() {
    exiting = true;
    if (session) retired.push_back(std::move(session));
    for (auto& s : retired) {
      s->stop = true;
      if (s->reader.joinable() && !s->OnReaderThread()) s->reader.join();
    }
  }

  int Open(NotificationSink* target);
  void Close(bool sendCloseNotice);
  int WriteReport(std::span<const std::uint8_t> packet, bool synchronous);
  HidAccess& Access() {
    HidAccess* access = accessSlot;
    return access ? *access : HidapiAccess();
  }

  DeviceSession& owner;
  std::mutex mutex;  // open, close and removal, one at a time
  std::unique_ptr<Session> session;
  // Sessions whose read thread had not ended when their link closed (it closed its own
  // link, or it was held up in the dispatcher). Joined once they have ended.
  std::vector<std::unique_ptr<Session>> retired;
  std::atomic<bool> exiting{false};

  // The device writers use; guarded by CurrentLink().linkLock, so a close never pulls
  // the device from under a write.
  HidDevice* writeDevice = nullptr;
  std::atomic<bool> deviceOpen{false};  // writeDevice != nullptr, readable without the lock
  // Set when the read thread stopped on a read error; writes are refused until the next open.
  std::atomic<bool> readThreadEnded{false};

  UsbTransport transport{*this};

  std::mutex problemMutex;
  UsbOpenProblem problem;

  // The HID access this link uses (nullptr: the hidapi backend); tests install a fake.
  std::atomic<HidAccess*> accessSlot{nullptr};
  // Held by SetHidAccess and by the hot-plug checks while they use the access.
  std::mutex accessUseMutex;
};

SessionPart<UsbLink> MakeUsbLink(DeviceSession& session) {
  return {new UsbLink(session), [](UsbLink* usb) { delete usb; }};
}

int UsbTransport::WriteReport(std::span<const std::uint8_t> packet) {
  return usb_.WriteReport(packet, false) == int(kReportSize) ? 1 : 0;
}

bool UsbTransport::Writable() const {
  return usb_.owner.Link().connected && usb_.deviceOpen && !usb_.readThreadEnded;
}

namespace {

UsbLink& Data() { return CurrentSession().Usb(); }

std::string HexLine(const char* head, const std::uint8_t* bytes, std::size_t first, std::size_t last) {
  std::string line(head);
  line.reserve(line.size() + (last - first + 1) * 3 + 1);
  char hex[4];
  for (std::size_t i = first; i <= last; ++i) {
    std::snprintf(hex, sizeof hex, "%02X ", bytes[i]);
    line += hex;
  }
  line += '\n';
  return line;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
         });
}

void ReadUsbThreadProc(Session* session, LinkState* link, UsbLink* data) {
  std::array<std::uint8_t, kReportSize> buffer{};
  while (link->connected && !session->stop) {
    buffer.fill(0);
    const int n = session->device->Read(buffer.data(), kReadTimeoutMs);
    if (n == kHidReadTimedOut) continue;
    if (n < 0) {
      DebugLog("Read Usb Error will return !\n");
      link->statusPollingAllowed = false;
      data->readThreadEnded = true;
      // Release a sender waiting for a reply that will not come.
      link->replyEvent.Set();
      if (NotificationSink* sink = link->sink.load()) sink->Post(kMsgLinkClosed, 0, 0);
      break;
    }
    {
      std::lock_guard lock(link->linkLock);
      DebugLog(HexLine("Read:", buffer.data(), 1, kReportSize - 1));
    }
    DispatchPacket(data->owner, buffer);
  }
  if (!data->exiting) DebugLog("End thread: ReadUsbThreadProc \n");
  session->MarkExited();
}

// Joins the retired read threads that have ended. Call with data.mutex held.
void ReapRetired(UsbLink& data) {
  std::erase_if(data.retired, [](std::unique_ptr<Session>& s) {
    if (s->OnReaderThread() || !s->HasExited()) return false;
    if (s->reader.joinable()) s->reader.join();
    return true;
  });
}

// Clears connected, stops the read thread and closes the device. Call with data.mutex held.
void ShutDown(UsbLink& data, LinkState& link) {
  std::unique_ptr<Session> session = std::move(data.session);
  link.connected = false;
  session->stop = true;
  {
    std::lock_guard lock(link.linkLock);
    data.writeDevice = nullptr;
    data.deviceOpen = false;
  }
  PacketTransport* ours = &data.transport;
  link.transport.compare_exchange_strong(ours, nullptr);

  if (session->OnReaderThread()) {
    // The read thread is closing its own link: it ends when this call returns to it.
    data.retired.push_back(std::move(session));
    return;
  }
  if (!session->WaitExited(kReaderExitWait)) {
    DebugLog("wait read thread exited time out !\n");
    // Still inside the dispatcher (a blocking notification, say). Joining could wait
    // for the caller itself; the thread has been told to stop and is joined later.
    data.retired.push_back(std::move(session));
    return;
  }
  session->reader.join();
  session.reset();  // closes the device
}

// The interfaces to try: the first kMaxUsbInterfaces of the system's list, those on a
// vendor-defined usage page first (the device's keyboard or consumer-control interface
// carries the same ids but not the protocol), each group in the system's order.
std::vector<HidInterfaceInfo> SearchOrder(const std::vector<HidInterfaceInfo>& interfaces) {
  std::vector<HidInterfaceInfo> order(interfaces.begin(),
                                      interfaces.begin() + std::min(interfaces.size(), std::size_t(kMaxUsbInterfaces)));
  std::stable_partition(order.begin(), order.end(),
                        [](const HidInterfaceInfo& i) { return IsVendorUsagePage(i.usagePage); });
  return order;
}

// Opens one interface and keeps it if it is the device.
std::unique_ptr<HidDevice> TryInterface(HidAccess& access, const HidInterfaceInfo& info, UsbOpenProblem& problem) {
  if (info.path.empty()) {
    DebugLog("查找设备路径时出错!");
    return nullptr;
  }
  HidOpenError error = HidOpenError::None;
  std::unique_ptr<HidDevice> device = access.Open(info.path, &error);
  if (!device) {
    DebugLog("无法打开通信端口。不能读取设备信息!(设备连接可能不正确?)\n");
    if (error == HidOpenError::PermissionDenied && MayBeUsbDevice(info)) {
      DebugLog("Permission denied opening " + info.path + ": install " + kUdevRuleFile + " into " +
               kUdevRuleDir + " (see docs/usb-permissions.md)\n");
      if (!problem.permissionDenied) problem = {info.path, true};
    }
    return nullptr;
  }
  std::uint16_t vendorId = 0, productId = 0;
  if (!device->ReadAttributes(vendorId, productId)) {
    DebugLog("查询设备信息出错!\n");
    return nullptr;
  }
  if (vendorId == kUsbVendorId && productId == kUsbProductId) return device;
  return nullptr;
}

void SetProblem(UsbLink& data, UsbOpenProblem problem) {
  std::lock_guard lock(data.problemMutex);
  data.problem = std::move(problem);
}

}  // namespace

void UsbLink::Close(bool sendCloseNotice) {
  UsbLink& data = *this;
  std::lock_guard lock(data.mutex);
  ReapRetired(data);
  if (!data.session) return;
  LinkState& link = owner.Link();
  ClearStatusBlock(link);
  if (sendCloseNotice) {
    const std::uint8_t notice[] = {kCmdDisconnect};
    SendPacket(owner, notice, true);
  }
  ShutDown(data, link);
}

void SetHidAccess(HidAccess* access) {
  UsbLink& usb = Data();
  std::lock_guard lock(usb.accessUseMutex);
  usb.accessSlot = access;
}

HidAccess& CurrentHidAccess() { return Data().Access(); }

int OpenUsbLink(NotificationSink* target) { return Data().Open(target); }

int UsbLink::Open(NotificationSink* target) {
  LinkState& link = owner.Link();
  UsbLink& data = *this;
  std::lock_guard lock(data.mutex);
  ReapRetired(data);
  if (link.connected) return 0;
  // An earlier session that lost connected to someone else still holds its device.
  if (data.session) ShutDown(data, link);

  HidAccess& access = Access();
  const std::vector<HidInterfaceInfo> interfaces = access.Enumerate();
  const std::vector<HidInterfaceInfo> candidates = SearchOrder(interfaces);
  UsbOpenProblem problem;
  std::unique_ptr<HidDevice> device;
  std::string path;
  for (const HidInterfaceInfo& info : candidates) {
    device = TryInterface(access, info, problem);
    if (device) {
      path = info.path;
      break;
    }
  }
  if (!device && interfaces.size() < std::size_t(kMaxUsbInterfaces))
    DebugLog("枚举usb设备出错,usb设备接口可能枚举完成了");
  if (!device) {
    DebugLog("连接目标设备失败，没有找到目标设备");
    SetProblem(data, std::move(problem));
    return 0;
  }
  SetProblem(data, {});
  DebugLog("连接目标设备成功!");
  DebugLog(DescribeOpenedDevice(path, device->ReportLayout(), kReportId));

  auto session = std::make_unique<Session>();
  session->device = std::move(device);
  session->path = std::move(path);
  {
    std::lock_guard writeLock(link.linkLock);
    data.writeDevice = session->device.get();
    data.deviceOpen = true;
  }
  data.readThreadEnded = false;
  link.replyEvent.Set();  // nothing is outstanding on a fresh link
  link.kind = LinkKind::Usb;
  link.sink = target;
  link.transport = &data.transport;
  link.hostBusy = false;  // only a network module says so
  link.closedForSilence = false;
  link.connected = true;
  session->reader = std::thread(ReadUsbThreadProc, session.get(), &link, &data);
  data.session = std::move(session);
  return 1;
}

void CloseUsbLink(bool sendCloseNotice) { Data().Close(sendCloseNotice); }

void OnUsbRemoved() { Data().Close(false); }

bool IsOurDevicePath(const std::string& removedPath) {
  UsbLink& data = Data();
  std::lock_guard lock(data.mutex);
  return data.session && SameTextIgnoringCase(data.session->path, removedPath);
}

std::string OpenUsbDevicePath() {
  UsbLink& data = Data();
  std::lock_guard lock(data.mutex);
  return data.session ? data.session->path : std::string();
}

bool MayBeUsbDevice(const HidInterfaceInfo& info) {
  const bool idsUnknown = info.vendorId == 0 && info.productId == 0;
  return idsUnknown || (info.vendorId == kUsbVendorId && info.productId == kUsbProductId);
}

std::vector<std::string> UsbDeviceCandidates() {
  UsbLink& usb = Data();
  std::lock_guard lock(usb.accessUseMutex);
  std::vector<std::string> paths;
  for (const HidInterfaceInfo& info : usb.Access().Enumerate())
    if (MayBeUsbDevice(info)) paths.push_back(info.path);
  return paths;
}

std::uint64_t UsbNodeStamp(const std::string& path) {
  UsbLink& usb = Data();
  std::lock_guard lock(usb.accessUseMutex);
  return usb.Access().NodeStamp(path);
}

int WriteReport(std::span<const std::uint8_t> packet, bool synchronous) {
  return Data().WriteReport(packet, synchronous);
}

int UsbLink::WriteReport(std::span<const std::uint8_t> packet, bool synchronous) {
  LinkState& link = owner.Link();
  UsbLink& data = *this;
  if (!link.connected) return 0;
  if (data.readThreadEnded) {
    DebugLog("g_bReadThreadEnd == TRUE ,WriteUsbData return \n");
    return 0;
  }
  const std::array<std::uint8_t, kReportSize> report = EncodeReport(packet);
  if (synchronous && !link.replyEvent.Wait(link.replyTimeout)) DebugLog("WaitForSingleObject Time Out \r\n ");

  int written = 0;
  {
    std::lock_guard lock(link.linkLock);
    // Closed while this writer waited for the reply.
    if (!data.writeDevice) return 0;
    written = std::max(data.writeDevice->Write(report.data()), 0);
    DebugLog(HexLine("Write:", report.data(), 1, kReportSize - 2));
  }
  if (written != int(kReportSize)) DebugLog("usb数据写入出错");
  return written;
}

UsbOpenProblem LastUsbOpenProblem() {
  UsbLink& data = Data();
  std::lock_guard lock(data.problemMutex);
  return data.problem;
}

}  // namespace dsptune
