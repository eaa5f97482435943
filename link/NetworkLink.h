#pragma once
// The device over TCP (IPv4): one connection to the device's network module, framed
// packets both ways (link/FrameCodec.h), the module's "$HB$" heartbeat echoed back and
// its "ISCONNECTED" notice reported, and a send queue that keeps one pending packet per
// parameter so a dragged slider sends only its latest value.
//
// An open link runs three threads: receive (heartbeat, notice, frames to DispatchPacket),
// writer (one queued packet per device reply, at most one reply wait of the link's
// reply time-out per packet) and time-out (closes the link after about 3.6 s without
// data and posts kMsgHostTimeout). Each device session has its own network link
// (link/DeviceSession.h); the functions below act on the current session's. Opening
// installs the link as the session's Link().transport with kind Network, connected and
// queued-send mode on.
//
// Closing is safe from any thread. A close from outside the link's own threads also
// joins them (waiting at most about a second: a thread stuck in a notification that
// the closing thread itself would have to deliver is joined by the next open or close,
// or at program end). A close from a link thread, which is how silence and read
// failures end a link, only shuts the connection down and wakes the others.
#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "link/Notifications.h"

namespace dsptune {

class DeviceSession;

inline constexpr std::uint16_t kDefaultNetworkPort = 30303;

// Where OpenNetworkLink connects: dotted IPv4 text and TCP port. Nothing is checked here;
// an address that does not parse makes the open fail with EINVAL.
void SetNetworkPeer(const std::string& address, std::uint16_t port = kDefaultNetworkPort);
std::string NetworkPeerAddress();
std::uint16_t NetworkPeerPort();
void SetNetworkPeer(DeviceSession& session, const std::string& address, std::uint16_t port = kDefaultNetworkPort);

// How long OpenNetworkLink waits for the connection to be accepted (3 s unless changed).
void SetNetworkConnectTimeout(std::chrono::milliseconds timeout);

// Connects and starts the link's threads. A link that is open stays up while the
// connection is made: only once the peer has accepted it is an open network link closed
// (without the disconnect command) and joined, and `handOver` run, which closes a link of
// another kind (it must not call into the network link). A failed attempt leaves the
// working link as it was. `target` receives kMsgHostTimeout and kMsgHostBusy and becomes
// CurrentLink().sink. Returns 1 when connected; 0 when no socket can be created (or when
// called from one of the link's own threads); otherwise the errno of the failed attempt
// (ECONNREFUSED, ETIMEDOUT after the connect time-out, EINVAL for an address that does
// not parse ...), never 1 (see NetworkOpenResult). Anything but 1 is a failure.
int OpenNetworkLink(NotificationSink* target, const std::function<void()>& handOver = {});
int OpenNetworkLink(DeviceSession& session, NotificationSink* target, const std::function<void()>& handOver = {});

// Sends the disconnect command 0x8A first when asked (and waits, bounded, until the
// writer has put it and any edits queued before it on the wire), then closes the link.
// Also joins the threads of links that closed on their own. No other effect when no
// link is open.
void CloseNetworkLink(bool sendCloseNotice);
void CloseNetworkLink(DeviceSession& session, bool sendCloseNotice);

// Puts a packet (destination byte first, at most 66 bytes) on the send queue. A pending
// packet with the same first 5 bytes is overwritten in place while
// CurrentLink().coalescingAllowed is on; otherwise the packet is appended. Dropped when
// no link is open.
void EnqueuePacket(std::span<const std::uint8_t> packet);

// Frames and sends a packet (destination byte first) at once. With `synchronous` it first
// waits for the reply event (at most the reply time-out) and sends under the link lock.
// Returns the number of bytes written to the socket, 0 when nothing was sent (no open
// link, or a packet that does not fit a frame), -1 when the socket refused it.
int SendDirect(std::span<const std::uint8_t> packet, bool synchronous);

// Packets waiting on the send queue (0 when no link is open). For diagnostics.
std::size_t NetworkQueueLength();

// What OpenNetworkLink reports for a failed connect with errno `socketError`: the errno
// itself, except that EPERM (whose value is 1, the success result) is reported as EACCES
// and 0 (no error recorded) as EIO.
int NetworkOpenResult(int socketError);

}  // namespace dsptune
