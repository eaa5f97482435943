#pragma once
// Control of the hidraw stand-in that tests load with LD_PRELOAD (libhidraw_shim.so).
// The library answers, for one simulated node /dev/hidrawN, the calls hidapi's hidraw
// backend makes: the libudev enumeration and device lookups, open, ioctl, fstat, poll,
// read, write and close on the node, access on its path, and open/read of the sysfs
// files report_descriptor and uevent. Everything else goes to the real functions.
//
// A test finds the control table at run time, so it still links when the library is
// not preloaded and can say so:
//   auto get = (const DsptuneHidrawShim* (*)())dlsym(RTLD_DEFAULT, "dsptune_hidraw_shim");
#include <cstddef>
#include <cstdint>

extern "C" {

struct DsptuneHidrawDevice {
  const char* devnode;  // "/dev/hidrawN"; N also names the sysfs entries
  std::uint16_t vendorId;
  std::uint16_t productId;
  const std::uint8_t* descriptor;  // the report descriptor (ioctl and sysfs)
  std::size_t descriptorSize;
  int descriptorReadable;  // 0: opening the sysfs report_descriptor fails with EACCES
  int openErrno;           // 0, or the errno with which opening the node fails
};

struct DsptuneHidrawShim {
  // Plugs the device in (replacing any earlier one): empty input queue, nothing written.
  void (*plug)(const DsptuneHidrawDevice* device);
  // Unplugs it: the node, its sysfs entries and its enumeration vanish and writes and
  // ioctls fail with ENODEV at once. Readers waiting in poll see POLLHUP|POLLERR now
  // when wakeReaders is set, otherwise only after wakeReaders() (a reader that has not
  // yet noticed the removal).
  void (*unplug)(int wakeReaders);
  void (*wakeReaders)(void);
  // One input report as hidraw hands it over (report id first only when numbered).
  void (*pushInput)(const std::uint8_t* report, std::size_t size);
  // Reports written to the node so far, each as the write passed it.
  int (*writtenCount)(void);
  // Copies written report index into out (at most capacity bytes); returns its size or -1.
  int (*written)(int index, std::uint8_t* out, int capacity);
  // Descriptors of the node open right now.
  int (*openHandles)(void);
};

const DsptuneHidrawShim* dsptune_hidraw_shim(void);
}
