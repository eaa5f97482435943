// A drag never waits on the device: the mic and music page is connected over loopback
// to the emulator, whose every answer is held back 5 ms, and a band marker is dragged
// for one second at a 300 Hz pointer rate. Every send the drag causes is timed on the UI
// thread (the transport calls, through a timing wrapper around the link's transport), and
// so is each pointer move as a whole (recompute, write, list refresh). The share of the
// drag spent in sends must stay at or below 0.1.
//
// For contrast the same drag runs once more with direct sends, each of which first waits
// for the answer to the previous one — what queued sending is there to avoid.
#include <QApplication>
#include <QMouseEvent>

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "editors/MicMusicPage.h"
#include "editors/EqGraphPanel.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/PacketTransport.h"
#include "ui/DialogService.h"
#include "tests/sim/LoopbackEmulator.h"

using namespace dsptune;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kDragLength = std::chrono::seconds(1);
constexpr auto kPointerPeriod = std::chrono::microseconds(3333);
constexpr auto kReplyLatency = std::chrono::milliseconds(5);

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Forwards to the link's own transport and adds up the time each call takes.
class TimingTransport : public PacketTransport {
 public:
  explicit TimingTransport(PacketTransport& inner) : inner_(inner) {}

  int WriteReport(std::span<const std::uint8_t> packet) override {
    return Timed([&] { return inner_.WriteReport(packet); });
  }
  int SendDirect(std::span<const std::uint8_t> payload) override {
    return Timed([&] { return inner_.SendDirect(payload); });
  }
  void EnqueuePacket(std::span<const std::uint8_t> payload) override {
    Timed([&] {
      inner_.EnqueuePacket(payload);
      return 0;
    });
  }
  bool Writable() const override { return inner_.Writable(); }

  int calls = 0;
  Clock::duration total{};
  Clock::duration longest{};

 private:
  template <typename Call>
  int Timed(Call&& call) {
    const auto start = Clock::now();
    const int result = call();
    const auto spent = Clock::now() - start;
    ++calls;
    total += spent;
    longest = std::max(longest, spent);
    return result;
  }

  PacketTransport& inner_;
};

struct DragFigures {
  int moves = 0;
  Clock::duration drag{};
  Clock::duration inMoves{};  // whole pointer-move handling, sends included
  int sends = 0;
  Clock::duration inSends{};
  Clock::duration longestSend{};
};

void SendMouse(QWidget& target, QEvent::Type type, QPointF pos, Qt::MouseButton button, Qt::MouseButtons held) {
  QMouseEvent event(type, pos, target.mapToGlobal(pos), button, held, Qt::NoModifier);
  QApplication::sendEvent(&target, &event);
}

// One second of dragging band 4 of Mic CH A back and forth; events (paints, link
// notifications) are processed between pointer moves as the event loop would.
DragFigures Drag(MicMusicPage& page, bool queued) {
  LinkState& link = CurrentLink();
  PacketTransport* real = link.transport.load();
  TimingTransport timing(*real);
  link.queuedSendMode = queued;
  link.transport = &timing;

  EqGraphPanel& panel = page.EqPanel();
  const EqBand& band = *panel.Model().BandAt(4);
  const auto plot = panel.Model().Plot();
  const QPointF marker(plot.left + band.x, plot.top + band.y);
  SendMouse(panel, QEvent::MouseButtonPress, marker, Qt::LeftButton, Qt::LeftButton);

  DragFigures figures;
  const auto start = Clock::now();
  auto next = start;
  while (Clock::now() - start < kDragLength) {
    const int i = figures.moves++;
    const QPointF to = marker + QPointF(((i % 160) < 80 ? i % 80 : 80 - i % 80) - 40 + 0.5, (i / 9) % 30 - 15);
    const auto moveStart = Clock::now();
    SendMouse(panel, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    figures.inMoves += Clock::now() - moveStart;
    next += kPointerPeriod;
    while (Clock::now() < next) QApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  figures.drag = Clock::now() - start;
  SendMouse(panel, QEvent::MouseButtonRelease, marker, Qt::LeftButton, Qt::NoButton);

  link.transport = real;
  link.queuedSendMode = true;
  figures.sends = timing.calls;
  figures.inSends = timing.total;
  figures.longestSend = timing.longest;
  return figures;
}

void Print(const char* title, const DragFigures& f) {
  const double drag = Milliseconds(f.drag);
  std::printf("%s\n", title);
  std::printf("  drag %.0f ms, %d pointer moves, %d sends\n", drag, f.moves, f.sends);
  std::printf("  UI time in sends:        %8.3f ms  (longest %.3f ms)  share of drag %.4f\n", Milliseconds(f.inSends),
              Milliseconds(f.longestSend), Milliseconds(f.inSends) / drag);
  std::printf("  UI time in pointer moves:%8.3f ms  share of drag %.4f\n", Milliseconds(f.inMoves),
              Milliseconds(f.inMoves) / drag);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  ScriptedDialogs dialogs;  // a time-out or parameter error must not open a real box
  SetDialogService(&dialogs);

  DeviceOptions deviceOptions;
  deviceOptions.replyLatency = kReplyLatency;
  test::LoopbackEmulator emulator(deviceOptions);
  if (!emulator.started) {
    std::fprintf(stderr, "the emulator did not start\n");
    return 1;
  }
  SetNetworkPeer("127.0.0.1", emulator.net.Port());
  if (OpenNetworkLink(nullptr) != 1) {
    std::fprintf(stderr, "could not connect to the emulator\n");
    return 1;
  }

  int status = 0;
  {
    MicMusicPage page(MicMusicPage::kMicA);
    page.resize(1024, 620);
    page.show();
    QApplication::processEvents();

    const DragFigures queued = Drag(page, true);
    Print("Dragging a band for 1 s against the emulator (5 ms answer latency), queued sends:", queued);
    const double share = Milliseconds(queued.inSends) / Milliseconds(queued.drag);
    std::printf("  share of the drag in sends: %.4f (target <= 0.1)\n\n", share);
    if (queued.sends == 0) status = 1;

    const DragFigures direct = Drag(page, false);
    Print("The same drag with direct sends that wait for each answer (for contrast):", direct);
    std::printf("  (each wait for an answer comes before the transport call: it shows in the pointer moves)\n");
  }
  CloseNetworkLink(false);
  return status;
}
