#include "link/UsbHotplug.h"

#include <libudev.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <thread>

#include "model/DebugLog.h"

namespace dsptune {
namespace {

// How long the monitor thread waits for an event before it looks at the stop flag.
constexpr int kPollIntervalMs = 200;

}  // namespace

struct UsbHotplug::Impl {
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;
  std::thread thread;
  std::atomic<bool> stop{false};
  std::atomic<bool> running{false};
  Callback callback;

  void Release() {
    if (monitor) udev_monitor_unref(monitor);
    if (context) udev_unref(context);
    monitor = nullptr;
    context = nullptr;
  }

  void Run() {
    const int fd = udev_monitor_get_fd(monitor);
    while (!stop) {
      pollfd p{fd, POLLIN, 0};
      const int ready = poll(&p, 1, kPollIntervalMs);
      if (ready < 0 && errno != EINTR) {
        DebugLog("UsbHotplug: poll failed, device notices stop\n");
        break;
      }
      if (ready <= 0 || !(p.revents & POLLIN)) continue;
      udev_device* device = udev_monitor_receive_device(monitor);
      if (!device) continue;
      const char* action = udev_device_get_action(device);
      const char* node = udev_device_get_devnode(device);
      if (action && node) {
        if (std::strcmp(action, "add") == 0)
          callback(Event::Arrival, node);
        else if (std::strcmp(action, "remove") == 0)
          callback(Event::Removal, node);
      }
      udev_device_unref(device);
    }
  }
};

UsbHotplug::UsbHotplug() : impl_(std::make_unique<Impl>()) {}

UsbHotplug::~UsbHotplug() { Stop(); }

bool UsbHotplug::Start(Callback callback) {
  if (impl_->running || !callback) return false;
  // Without the udev daemon libudev quietly delivers nothing; say so instead.
  if (access("/run/udev/control", F_OK) != 0) {
    DebugLog("UsbHotplug: udev is not running, no device arrival or removal notices\n");
    return false;
  }
  Impl& m = *impl_;
  m.context = udev_new();
  if (m.context) m.monitor = udev_monitor_new_from_netlink(m.context, "udev");
  if (!m.monitor || udev_monitor_filter_add_match_subsystem_devtype(m.monitor, "hidraw", nullptr) < 0 ||
      udev_monitor_enable_receiving(m.monitor) < 0) {
    DebugLog("UsbHotplug: cannot set up the udev monitor, no device arrival or removal notices\n");
    m.Release();
    return false;
  }
  m.callback = std::move(callback);
  m.stop = false;
  m.thread = std::thread([&m] { m.Run(); });
  m.running = true;
  return true;
}

void UsbHotplug::Stop() {
  Impl& m = *impl_;
  if (!m.running) return;
  m.stop = true;
  if (m.thread.joinable()) m.thread.join();
  m.Release();
  m.callback = nullptr;
  m.running = false;
}

bool UsbHotplug::Running() const { return impl_->running; }

}  // namespace dsptune
