#include "link/UsbHotplug.h"

#include <libudev.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>

#include "link/UsbLink.h"
#include "model/DebugLog.h"

namespace dsptune {
namespace {

// How long the monitor thread waits for an event before it looks at the stop flag.
constexpr int kPollIntervalMs = 200;

}  // namespace

UsbPresenceCheck::Events UsbPresenceCheck::Next(const Seen& now) {
  Events events;
  if (now.openDevice.empty() || now.openNodeExists) {
    removalTold_.clear();
  } else if (removalTold_ != now.openDevice) {
    events.emplace_back(UsbHotplug::Event::Removal, now.openDevice);
    removalTold_ = now.openDevice;
  }
  std::set<Node> candidates(now.candidates.begin(), now.candidates.end());
  if (!first_) {
    for (const Node& node : now.candidates)
      if (!candidates_.count(node)) events.emplace_back(UsbHotplug::Event::Arrival, node.devnode);
  }
  first_ = false;
  candidates_ = std::move(candidates);
  return events;
}

struct UsbHotplug::Impl {
  explicit Impl(Checks c) : checks(std::move(c)) {
    if (!checks.nodeStamp) checks.nodeStamp = UsbNodeStamp;
    if (!checks.openDevice) checks.openDevice = OpenUsbDevicePath;
    if (!checks.candidates) checks.candidates = UsbDeviceCandidates;
  }

  Checks checks;
  udev* context = nullptr;
  udev_monitor* monitor = nullptr;
  std::thread thread;
  std::atomic<bool> stop{false};
  std::atomic<bool> running{false};
  std::atomic<bool> polling{false};
  Callback callback;
  std::mutex wakeMutex;  // wakes the periodic check for Stop
  std::condition_variable wake;

  // The periodic check: the first round right away, so the candidates present at start
  // are known and only later ones count as arrivals.
  void RunChecks() {
    UsbPresenceCheck check;
    for (;;) {
      UsbPresenceCheck::Seen seen;
      seen.openDevice = checks.openDevice();
      seen.openNodeExists = !seen.openDevice.empty() && checks.nodeStamp(seen.openDevice) != 0;
      for (const std::string& node : checks.candidates()) seen.candidates.push_back({node, checks.nodeStamp(node)});
      for (const auto& [event, devnode] : check.Next(seen)) callback(event, devnode);

      std::unique_lock lock(wakeMutex);
      if (wake.wait_for(lock, checks.interval, [this] { return stop.load(); })) return;
    }
  }

  // Sets up the udev monitor; false, with a debug line, where it cannot be.
  bool StartMonitor() {
    if (!checks.useUdev) return false;
    // Without the udev daemon libudev quietly delivers nothing; say so instead.
    if (access("/run/udev/control", F_OK) != 0) {
      DebugLog("UsbHotplug: udev is not running, no device arrival or removal notices from it\n");
      return false;
    }
    context = udev_new();
    if (context) monitor = udev_monitor_new_from_netlink(context, "udev");
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0) {
      DebugLog("UsbHotplug: cannot set up the udev monitor, no device arrival or removal notices from it\n");
      Release();
      return false;
    }
    return true;
  }

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

UsbHotplug::UsbHotplug() : UsbHotplug(Checks{}) {}

UsbHotplug::UsbHotplug(Checks checks) : impl_(std::make_unique<Impl>(std::move(checks))) {}

UsbHotplug::~UsbHotplug() { Stop(); }

bool UsbHotplug::Start(Callback callback) {
  if (impl_->running || !callback) return false;
  Impl& m = *impl_;
  m.callback = std::move(callback);
  m.stop = false;
  if (m.StartMonitor()) {
    m.thread = std::thread([&m] { m.Run(); });
  } else {
    DebugLog("UsbHotplug: checking for the device every " + std::to_string(m.checks.interval.count()) +
             " ms instead\n");
    m.polling = true;
    m.thread = std::thread([&m] { m.RunChecks(); });
  }
  m.running = true;
  return true;
}

void UsbHotplug::Stop() {
  Impl& m = *impl_;
  if (!m.running) return;
  {
    std::lock_guard lock(m.wakeMutex);
    m.stop = true;
  }
  m.wake.notify_all();
  if (m.thread.joinable()) m.thread.join();
  m.Release();
  m.callback = nullptr;
  m.running = false;
  m.polling = false;
}

bool UsbHotplug::Running() const { return impl_->running; }

bool UsbHotplug::Polling() const { return impl_->polling; }

}  // namespace dsptune
