#include "link/OpenLink.h"

#include "link/NetworkLink.h"
#include "link/UsbLink.h"

namespace dsptune {

int OpenLink(NotificationSink* target, LinkKind kind) {
  return kind == LinkKind::Network ? OpenNetworkLink(target) : OpenUsbLink(target);
}

}  // namespace dsptune
