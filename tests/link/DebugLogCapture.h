#pragma once
// Captures the debug log for the life of the object, so a test can check what a device
// contact wrote there; the previous sink comes back on destruction.
#include <algorithm>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "model/DebugLog.h"

namespace dsptune::test {

class DebugLogCapture {
 public:
  DebugLogCapture() {
    previous_ = SetDebugLogSink([this](std::string_view line) {
      std::lock_guard lock(mutex_);
      lines_.emplace_back(line);
    });
  }
  ~DebugLogCapture() { SetDebugLogSink(std::move(previous_)); }
  DebugLogCapture(const DebugLogCapture&) = delete;
  DebugLogCapture& operator=(const DebugLogCapture&) = delete;

  int Count(std::string_view line) const {
    std::lock_guard lock(mutex_);
    return int(std::count(lines_.begin(), lines_.end(), line));
  }
  std::vector<std::string> StartingWith(std::string_view head) const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> out;
    for (const std::string& l : lines_)
      if (l.starts_with(head)) out.push_back(l);
    return out;
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    lines_.clear();
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> lines_;
  DebugLogSink previous_;
};

}  // namespace dsptune::test
