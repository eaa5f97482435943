#pragma once
// Arrival and removal of hidraw devices, from a udev monitor on a thread of its own.
// The callback runs on that thread: it should only hand the event over (queue a call to
// the user-interface thread), since the removal rule (our path, no network link) and
// the arrival rule (no link open) are the user interface's.
#include <functional>
#include <memory>
#include <string>

namespace dsptune {

class UsbHotplug {
 public:
  enum class Event { Arrival, Removal };
  // devnode is the device's node, "/dev/hidrawN", the path HidAccess::Enumerate lists.
  using Callback = std::function<void(Event event, const std::string& devnode)>;

  UsbHotplug();
  ~UsbHotplug();  // stops
  UsbHotplug(const UsbHotplug&) = delete;
  UsbHotplug& operator=(const UsbHotplug&) = delete;

  // Starts watching. False, with a debug line, where udev is not available (no udev
  // daemon, as in most containers) or the monitor cannot be set up; the program then
  // simply gets no notices. False as well when already running.
  bool Start(Callback callback);
  // Stops the thread and waits for it (at most one poll interval). Safe when not running;
  // must not be called from the callback.
  void Stop();
  bool Running() const;

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace dsptune
