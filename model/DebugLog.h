#pragma once
// Diagnostic lines ("ProcessRxBuf Checksum error\n", "Start thread:SynchronizeData\n", ...)
// go here and never to the user. By default they are written to stderr only when the
// environment variable DSPTUNE_DEBUG is set; tests can install a sink to capture them.
#include <functional>
#include <string>
#include <string_view>

namespace dsptune {

using DebugLogSink = std::function<void(std::string_view line)>;

// Writes one diagnostic line (the text is passed as the caller wrote it, newline included).
void DebugLog(std::string_view line);

// Replaces the sink; an empty function restores the default. Returns the previous sink.
DebugLogSink SetDebugLogSink(DebugLogSink sink);

}  // namespace dsptune
