#include "shell/LinkKeeper.h"

#include "link/LinkState.h"
#include "link/DeviceSession.h"
#include "link/OpenLink.h"
#include "shell/StatusPaneTexts.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

constexpr int kTickMs = 250;

ReconnectPolicy::Clock::time_point Now() { return ReconnectPolicy::Clock::now(); }

}  // namespace

LinkKeeper::LinkKeeper(NotificationSink* sink, QObject* parent, DeviceSession* session)
    : QObject(parent),
      session_(session ? *session : CurrentSession()),
      sink_(sink),
      opener_([this](LinkKind kind) { return OpenLink(session_, sink_, kind); }) {
  pane_ = new QPushButton;
  pane_->setFlat(true);
  pane_->setCursor(Qt::PointingHandCursor);
  pane_->hide();
  connect(pane_, &QPushButton::clicked, this, &LinkKeeper::RetryNow);
  tick_.setInterval(kTickMs);
  connect(&tick_, &QTimer::timeout, this, &LinkKeeper::Tick);
}

LinkKeeper::~LinkKeeper() {
  tick_.stop();
  JoinAttempt();
  // The pane belongs to the status bar, which may already be gone.
}

void LinkKeeper::LinkLost(LinkKind kind) {
  if (!policy_.Active()) busyShown_ = busy_ = false;
  kind_ = kind;
  policy_.LinkLost(Now());
  tick_.start();
  ApplyTexts();
}

void LinkKeeper::Stop() {
  busy_ = false;
  policy_.Stop();
  tick_.stop();
  JoinAttempt();
  ApplyTexts();
}

void LinkKeeper::Restored() { Stop(); }

bool LinkKeeper::DeviceBusy() {
  policy_.DeviceBusy(Now());
  busy_ = true;
  ApplyTexts();
  return !std::exchange(busyShown_, true);
}

void LinkKeeper::RetryNow() {
  policy_.RetryNow(Now());
  Tick();
}

void LinkKeeper::Tick() {
  if (!policy_.Active()) {
    tick_.stop();
    ApplyTexts();
    return;
  }
  // Connected again (by this keeper or otherwise): wait for the read to say how it went.
  if (!attempting_ && !session_.Link().connected && policy_.Due(Now()) && (!gate_ || gate_())) Attempt();
  ApplyTexts();
}

void LinkKeeper::Attempt() {
  policy_.AttemptStarted(Now());
  JoinAttempt();
  attempting_ = true;
  if (kind_ == LinkKind::Usb) {
    AttemptEnded(opener_(LinkKind::Usb));
    return;
  }
  QPointer<LinkKeeper> self(this);
  Opener opener = opener_;
  attempt_ = std::thread([self, opener] {
    const int result = opener(LinkKind::Network);
    // The keeper joins this thread before it goes away, so it is still there to call.
    QMetaObject::invokeMethod(self.data(), [self, result] { if (self) self->AttemptEnded(result); },
                              Qt::QueuedConnection);
  });
}

void LinkKeeper::AttemptEnded(int result) {
  attempting_ = false;
  // The device did not even accept the connection: whether it is still held elsewhere is
  // no longer known.
  if (result != 1) busy_ = false;
  ApplyTexts();
  if (result == 1 && policy_.Active()) emit reconnected(static_cast<int>(kind_));
}

void LinkKeeper::JoinAttempt() {
  if (attempt_.joinable()) attempt_.join();
}

void LinkKeeper::ApplyTexts() {
  if (!policy_.Active()) {
    pane_->hide();
    return;
  }
  QString text;
  if (attempting_ || session_.Link().connected) {
    text = PickText("正在重新连接……", "reconnecting…");
  } else {
    const int seconds = policy_.SecondsLeft(Now());
    text = ReconnectCountdownText(seconds, busy_);
  }
  if (pane_->text() != text) pane_->setText(text);
  pane_->setToolTip(PickText("点击立即重新连接", "Click to reconnect now"));
  pane_->show();
}

}  // namespace dsptune
