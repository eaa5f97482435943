#include "link/HidapiAccess.h"

#include <fcntl.h>
#include <hidapi.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <map>
#include <utility>

#include "link/FrameCodec.h"
#include "model/DebugLog.h"

namespace dsptune {
namespace {

// hidapi's global functions (init, enumerate, open, close) share global error state and
// must not run concurrently.
std::mutex& GlobalHidapiMutex() {
  static std::mutex m;
  return m;
}

// Longest time one hid_read_timeout call holds a device, and so the longest a write
// waits behind a read.
constexpr int kReadSliceMs = 10;

// Call with GlobalHidapiMutex held.
bool EnsureInitialised() {
  static bool initialised = false;
  if (!initialised) initialised = hid_init() == 0;
  return initialised;
}

// The report descriptor hidraw publishes for /dev/hidrawN; empty when unreadable (a
// sandbox without /sys, say). Read with open/read, as hidapi reads its sysfs files.
std::vector<std::uint8_t> ReadReportDescriptor(const std::string& devicePath) {
  const std::size_t slash = devicePath.find_last_of('/');
  const std::string name = slash == std::string::npos ? devicePath : devicePath.substr(slash + 1);
  if (name.rfind("hidraw", 0) != 0) return {};
  const std::string file = "/sys/class/hidraw/" + name + "/device/report_descriptor";
  const int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  // HID descriptors are at most 4096 bytes (HID_MAX_DESCRIPTOR_SIZE).
  std::vector<std::uint8_t> bytes(4096);
  std::size_t have = 0;
  while (have < bytes.size()) {
    const ssize_t n = read(fd, bytes.data() + have, bytes.size() - have);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) have = 0;  // a partial descriptor would mislead more than none
      break;
    }
    have += std::size_t(n);
  }
  close(fd);
  bytes.resize(have);
  return bytes;
}

class HidapiDevice final : public HidDevice {
 public:
  HidapiDevice(hid_device* device, std::string path, HidReportLayout layout)
      : device_(device), path_(std::move(path)), layout_(std::move(layout)), numbering_(layout_.numbering) {}

  ~HidapiDevice() override {
    std::lock_guard global(GlobalHidapiMutex());
    hid_close(device_);
  }

  bool ReadAttributes(std::uint16_t& vendorId, std::uint16_t& productId) override {
    std::lock_guard lock(mutex_);
    const hid_device_info* info = hid_get_device_info(device_);
    if (!info) return false;
    vendorId = info->vendor_id;
    productId = info->product_id;
    return true;
  }

  int Read(std::uint8_t* report61, int timeoutMs) override {
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    std::uint8_t raw[kReportSize];
    for (;;) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
      const int slice = int(std::clamp<long long>(left, 0, kReadSliceMs));
      int n;
      {
        std::unique_lock lock(mutex_);
        // A waiting writer goes first; the read loop would otherwise retake the device
        // before the writer wakes.
        writerDone_.wait(lock, [this] { return pendingWrites_ == 0; });
        n = hid_read_timeout(device_, raw, sizeof raw, slice);
      }
      if (n > 0) return NormaliseInputReport(raw, n, numbering_, report61);
      if (n < 0) return access(path_.c_str(), F_OK) != 0 ? kHidReadDeviceGone : kHidReadError;
      if (Clock::now() >= deadline) return kHidReadTimedOut;
    }
  }

  int Write(const std::uint8_t* report61) override {
    ++pendingWrites_;
    int n;
    {
      std::lock_guard lock(mutex_);
      n = hid_write(device_, report61, kReportSize);
      --pendingWrites_;
    }
    writerDone_.notify_all();
    return n < 0 ? -1 : n;
  }

  HidReportLayout ReportLayout() const override { return layout_; }

 private:
  hid_device* device_;
  const std::string path_;
  const HidReportLayout layout_;
  const ReportNumbering numbering_;
  std::mutex mutex_;  // one hidapi call on this device at a time
  std::condition_variable writerDone_;
  std::atomic<int> pendingWrites_{0};
};

class HidapiBackend final : public HidAccess {
 public:
  std::vector<HidInterfaceInfo> Enumerate() override {
    std::lock_guard global(GlobalHidapiMutex());
    if (!EnsureInitialised()) {
      DebugLog("获取Hid设备信息失败");
      return {};
    }
    std::vector<HidInterfaceInfo> list;
    std::map<std::string, std::size_t> seen;  // path -> index in list
    hid_device_info* all = hid_enumerate(0, 0);
    for (const hid_device_info* d = all; d; d = d->next) {
      if (!d->path) continue;
      // hidapi lists an interface once per top-level usage; the link wants each
      // interface once, known by its vendor-defined page when it has one.
      const auto [at, added] = seen.try_emplace(d->path, list.size());
      if (added)
        list.push_back({d->path, d->vendor_id, d->product_id, d->usage_page});
      else if (!IsVendorUsagePage(list[at->second].usagePage) && IsVendorUsagePage(d->usage_page))
        list[at->second].usagePage = d->usage_page;
    }
    hid_free_enumeration(all);
    return list;
  }

  std::unique_ptr<HidDevice> Open(const std::string& path, HidOpenError* error) override {
    HidOpenError why = HidOpenError::None;
    hid_device* device = nullptr;
    {
      std::lock_guard global(GlobalHidapiMutex());
      if (EnsureInitialised()) {
        errno = 0;
        device = hid_open_path(path.c_str());
        const int openErrno = errno;
        if (!device) {
          const bool denied = openErrno == EACCES || openErrno == EPERM ||
                              (access(path.c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM));
          why = denied ? HidOpenError::PermissionDenied : HidOpenError::Failed;
        }
      } else {
        why = HidOpenError::Failed;
      }
    }
    if (error) *error = why;
    if (!device) return nullptr;
    return std::make_unique<HidapiDevice>(device, path, ParseReportDescriptor(ReadReportDescriptor(path)));
  }
};

}  // namespace

// devtmpfs gives a node made anew a new inode.
std::uint64_t HidAccess::NodeStamp(const std::string& path) {
  struct stat st {};
  if (stat(path.c_str(), &st) != 0) return 0;
  const std::uint64_t stamp = std::uint64_t(st.st_ino) ^ (std::uint64_t(st.st_ctim.tv_sec) << 32) ^
                              std::uint64_t(st.st_ctim.tv_nsec);
  return stamp ? stamp : 1;
}

HidAccess& HidapiAccess() {
  static HidapiBackend backend;
  return backend;
}

ReportNumbering ReportNumberingOf(std::span<const std::uint8_t> descriptor) {
  return ParseReportDescriptor(descriptor).numbering;
}

int NormaliseInputReport(const std::uint8_t* raw, int rawLength, ReportNumbering numbering,
                         std::uint8_t* report61) {
  std::fill_n(report61, kReportSize, std::uint8_t{0});
  if (rawLength <= 0) return rawLength;
  const int full = int(kReportSize);
  const bool carriesId =
      numbering == ReportNumbering::Numbered || (numbering == ReportNumbering::Unknown && rawLength >= full);
  if (carriesId) {
    const int n = std::min(rawLength, full);
    std::copy_n(raw, n, report61);
    return n;
  }
  const int n = std::min(rawLength, full - 1);
  std::copy_n(raw, n, report61 + 1);
  return n + 1;
}

}  // namespace dsptune
