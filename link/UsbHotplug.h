#pragma once
// Arrival and removal of hidraw devices, from a udev monitor on a thread of its own or,
// where udev is not available (no udev daemon, as in most containers and minimal
// systems), from a check every 2 s on that thread: whether the open device's node still
// exists and whether an interface that may be the device has appeared.
// The callback runs on that thread: it should only hand the event over (queue a call to
// the user-interface thread), since the removal rule (our path, no network link) and
// the arrival rule (no link open) are the user interface's.
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace dsptune {

class UsbHotplug {
 public:
  enum class Event { Arrival, Removal };
  // devnode is the device's node, "/dev/hidrawN", the path HidAccess::Enumerate lists.
  using Callback = std::function<void(Event event, const std::string& devnode)>;

  // What the periodic check looks at. Each empty function means the USB link's own,
  // through CurrentHidAccess(); tests give their own.
  struct Checks {
    // Identifies the node at this path (HidAccess::NodeStamp, UsbNodeStamp).
    std::function<std::uint64_t(const std::string& devnode)> nodeStamp;
    // The node the USB link has open; empty when none (OpenUsbDevicePath).
    std::function<std::string()> openDevice;
    // The nodes of the interfaces that may be the device (UsbDeviceCandidates).
    std::function<std::vector<std::string>()> candidates;
    std::chrono::milliseconds interval{2000};
    bool useUdev = true;  // false: periodic checks even where udev runs
  };

  UsbHotplug();
  explicit UsbHotplug(Checks checks);
  ~UsbHotplug();  // stops
  UsbHotplug(const UsbHotplug&) = delete;
  UsbHotplug& operator=(const UsbHotplug&) = delete;

  // Starts watching: with the udev monitor where it can be set up, else (with a debug
  // line) by periodic checks. False only without a callback or when already running.
  bool Start(Callback callback);
  // Stops the thread and waits for it (at most one poll interval of the monitor; the
  // periodic check is woken at once). Safe when not running; must not be called from
  // the callback.
  void Stop();
  bool Running() const;
  bool Polling() const;  // running on periodic checks rather than udev

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// One round of the periodic check, kept apart from the thread and the clock: it compares
// what this round sees with what the round before saw.
class UsbPresenceCheck {
 public:
  struct Node {
    std::string devnode;
    std::uint64_t stamp = 0;  // as Checks::nodeStamp gives it; 0: no node
    bool operator<(const Node& other) const {
      return std::tie(devnode, stamp) < std::tie(other.devnode, other.stamp);
    }
  };
  struct Seen {
    std::string openDevice;        // empty when no device is open
    bool openNodeExists = false;
    std::vector<Node> candidates;  // interfaces that may be the device, with their nodes
  };
  using Events = std::vector<std::pair<UsbHotplug::Event, std::string>>;

  // Removal, once, for an open device whose node is gone; Arrival for each candidate
  // node not seen in the round before (a new name, or a name whose node was made anew).
  // The first round only takes note of the candidates.
  Events Next(const Seen& now);

 private:
  bool first_ = true;
  std::set<Node> candidates_;
  std::string removalTold_;  // the open device whose removal was reported
};

}  // namespace dsptune
