#pragma once
// Brings a lost link back without the user: after the network link closes or times
// out it tries the same peer again on the reconnect schedule (1, 2, 4, 8, then every
// 15 s), and after a USB device goes away it opens the device again as soon as one is
// there. A status-bar button counts down to the next attempt; a click tries at once.
// The user's Disconnect stops it until the next connect.
//
// A network attempt can take the whole connect time-out, so it runs on a thread of its
// own and reports back on the window's thread; USB opens are quick and run inline.
#include <QObject>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

#include "link/FrameCodec.h"
#include "link/Notifications.h"
#include "link/ReconnectPolicy.h"

namespace dsptune {

class DeviceSession;

class LinkKeeper : public QObject {
  Q_OBJECT
 public:
  // Opens a link of the given kind: 1 when connected (see OpenLink).
  using Opener = std::function<int(LinkKind kind)>;

  // Keeps `session`'s link (nullptr: the current session's).
  LinkKeeper(NotificationSink* sink, QObject* parent = nullptr, DeviceSession* session = nullptr);
  ~LinkKeeper() override;  // waits for an attempt in flight (at most the connect time-out)

  // The status-bar field: hidden while nothing is being retried.
  QPushButton* Pane() const { return pane_; }
  // A test may open links its own way.
  void SetOpener(Opener opener) { opener_ = std::move(opener); }
  // Attempts wait while this says no (a synchronisation dialog runs, say).
  void SetAttemptGate(std::function<bool()> gate) { gate_ = std::move(gate); }

  // The link of `kind` ended without the user closing it.
  void LinkLost(LinkKind kind);
  // The user closed the link, connected elsewhere, or the device was refused: no more
  // attempts until the next loss. Waits for an attempt in flight.
  void Stop();
  // The device was read after a reconnect: the link is whole again.
  void Restored();
  // The device answered "busy" on an attempt: slow pace. True the first time for this
  // loss, so the busy message is shown once.
  bool DeviceBusy();
  bool Retrying() const { return policy_.Active(); }
  // The last attempt found the device held elsewhere (the pane says so while counting).
  bool DeviceHeldElsewhere() const { return busy_; }
  // The user's click: attempt now.
  void RetryNow();
  void ApplyTexts();

 signals:
  // A link of `kind` is open again; the window runs its connected sequence.
  void reconnected(int kind);

 private:
  void Tick();
  void Attempt();
  void AttemptEnded(int result);
  void JoinAttempt();

  DeviceSession& session_;
  NotificationSink* sink_;
  Opener opener_;
  std::function<bool()> gate_;
  ReconnectPolicy policy_;
  LinkKind kind_ = LinkKind::Network;
  QTimer tick_;
  QPushButton* pane_;
  std::thread attempt_;
  std::atomic<bool> attempting_{false};
  bool busyShown_ = false;
  bool busy_ = false;  // the device was last found held by another computer
};

}  // namespace dsptune
