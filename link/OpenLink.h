#pragma once
// The connect entry of the main view: opens the link of the given kind.
#include <functional>

#include "link/FrameCodec.h"
#include "link/Notifications.h"

namespace dsptune {

class DeviceSession;

// Network: OpenNetworkLink(target), 1 when connected, otherwise 0 or the socket error
// (link/NetworkLink.h). USB: OpenUsbLink(target), 1 when opened, otherwise 0. Anything
// but 1 is a failure. An opened link starts with an empty remote code table.
// `handOver` (network only) runs once the new connection is accepted, to close a link of
// the other kind; until then the working link stays (see OpenNetworkLink).
// The form without a session opens the current session's link.
int OpenLink(NotificationSink* target, LinkKind kind, const std::function<void()>& handOver = {});
int OpenLink(DeviceSession& session, NotificationSink* target, LinkKind kind,
             const std::function<void()>& handOver = {});

}  // namespace dsptune
