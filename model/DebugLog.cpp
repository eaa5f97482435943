#include "model/DebugLog.h"

#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace dsptune {
namespace {

std::mutex& SinkMutex() {
  static std::mutex m;
  return m;
}

DebugLogSink& Sink() {
  static DebugLogSink sink;
  return sink;
}

}  // namespace

void DebugLog(std::string_view line) {
  std::lock_guard lock(SinkMutex());
  if (Sink()) {
    Sink()(line);
    return;
  }
  static const bool enabled = std::getenv("DSPTUNE_DEBUG") != nullptr;
  if (enabled) std::fwrite(line.data(), 1, line.size(), stderr);
}

DebugLogSink SetDebugLogSink(DebugLogSink sink) {
  std::lock_guard lock(SinkMutex());
  DebugLogSink previous = std::move(Sink());
  Sink() = std::move(sink);
  return previous;
}

}  // namespace dsptune
