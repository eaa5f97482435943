#include "link/OpenLink.h"

#include "link/DeviceSession.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/UsbLink.h"

namespace dsptune {

int OpenLink(NotificationSink* target, LinkKind kind, const std::function<void()>& handOver) {
  return OpenLink(CurrentSession(), target, kind, handOver);
}

int OpenLink(DeviceSession& session, NotificationSink* target, LinkKind kind, const std::function<void()>& handOver) {
  const int result =
      kind == LinkKind::Network ? OpenNetworkLink(session, target, handOver) : OpenUsbLink(session, target);
  // Remote codes learned on or read from an earlier device must never be applied to this
  // one: the table starts empty and unknown, and the read job fills what the device gives.
  if (result == 1) ForgetRemoteTable(session.Link());
  return result;
}

}  // namespace dsptune
