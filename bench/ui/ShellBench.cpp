// Front-end timings against the emulator (offscreen): start-up to a painted main window
// against an empty Qt Widgets window (whole processes, and the window alone from its
// construction until it is exposed and painted), connect-to-ready against the read job's
// floor, and the longest stall of the event loop while connected and idle.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMainWindow>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "link/CommandSet.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/SyncJobs.h"
#include "ui/AppSettings.h"
#include "shell/MainWindow.h"
#include "ui/DialogService.h"
#include "ui/ProgressWindows.h"
#include "shell/QtNotificationBridge.h"
#include "tests/sim/LoopbackEmulator.h"

using namespace dsptune;

namespace {

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

// Child mode: a whole process start, to the first painted window, then exit.
int StartOnly(int argc, char** argv, bool frame) {
  QApplication app(argc, argv);
  QTemporaryDir settingsDir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
  if (frame) {
    AppSettings settings;
    ProgressWindows progress;
    QtNotificationBridge bridge;
    MainWindow window(settings, progress, bridge, MainWindow::FirstPage::kAfterFirstFrame);
    window.show();
    window.repaint();
  } else {
    QMainWindow window;
    window.show();
    window.repaint();
  }
  QApplication::processEvents();
  return 0;
}

// Started first thing in main(), for the child modes to time from the process's start.
QElapsedTimer& ProcessClock() {
  static QElapsedTimer clock;
  return clock;
}

// Child mode: prints the milliseconds from the process's start and from the window's
// construction until it is exposed and its first frame is painted, then the window's
// size, for the empty window of the same size to be timed against, and for our window
// the milliseconds from the process's start until its first page is made and painted
// too (the program makes it just after the first frame). An empty QMainWindow when
// `size` is valid.
int ExposeOnly(int argc, char** argv, QSize size) {
  QApplication app(argc, argv);
  // A repeat start, as a user's: the settings folder is the parent's, kept across the runs.
  QTemporaryDir ownDir;
  const QString shared = qEnvironmentVariable("DSPTUNE_BENCH_SETTINGS");
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, shared.isEmpty() ? ownDir.path() : shared);
  AppSettings settings;
  ProgressWindows progress;
  QtNotificationBridge bridge;
  QElapsedTimer clock;
  clock.start();
  std::unique_ptr<QMainWindow> window;
  if (size.isValid()) {
    window = std::make_unique<QMainWindow>();
    window->resize(size);
  } else {
    window = std::make_unique<MainWindow>(settings, progress, bridge, MainWindow::FirstPage::kAfterFirstFrame);
  }
  window->show();
  for (int turns = 0; turns < 10000 && !(window->windowHandle() && window->windowHandle()->isExposed()); ++turns)
    QApplication::processEvents(QEventLoop::AllEvents, 5);
  window->repaint();
  std::printf("%.3f %.3f %d %d", ProcessClock().nsecsElapsed() / 1e6, clock.nsecsElapsed() / 1e6, window->width(),
              window->height());
  if (auto* frame = dynamic_cast<MainWindow*>(window.get())) {
    for (int turns = 0; turns < 10000 && !frame->View().Host().Editor(); ++turns)
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    frame->repaint();
    std::printf(" %.3f", ProcessClock().nsecsElapsed() / 1e6);
  }
  std::printf("\n");
  return 0;
}

// Runs this program in a child mode and reads the line it prints.
QString ChildLine(const char* self, const QStringList& args) {
  QProcess child;
  child.start(QString::fromLocal8Bit(self), args);
  child.waitForFinished(30000);
  return QString::fromLatin1(child.readAllStandardOutput()).trimmed();
}

// Milliseconds from starting this program in a child mode until it has exited.
double TimeChild(const char* self, const char* mode) {
  QElapsedTimer clock;
  clock.start();
  QProcess child;
  child.start(QString::fromLocal8Bit(self), {QString::fromLatin1(mode)});
  child.waitForFinished(30000);
  return clock.nsecsElapsed() / 1e6;
}

int main(int argc, char** argv) {
  ProcessClock().start();
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  if (argc == 2 && std::string(argv[1]) == "--start-empty") return StartOnly(argc, argv, false);
  if (argc == 2 && std::string(argv[1]) == "--start-frame") return StartOnly(argc, argv, true);
  if (argc == 2 && std::string(argv[1]) == "--expose-frame") return ExposeOnly(argc, argv, QSize());
  if (argc == 4 && std::string(argv[1]) == "--expose-empty")
    return ExposeOnly(argc, argv, QSize(std::atoi(argv[2]), std::atoi(argv[3])));
  QApplication app(argc, argv);
  QTemporaryDir settingsDir;
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settingsDir.path());
  ScriptedDialogs dialogs;
  SetDialogService(&dialogs);

  // 1. Start-up to a painted window: whole process starts, medians of 7.
  std::vector<double> empty, ours;
  for (int i = 0; i < 7; ++i) {
    empty.push_back(TimeChild(argv[0], "--start-empty"));
    ours.push_back(TimeChild(argv[0], "--start-frame"));
  }
  std::printf("start-up to painted window: %.1f ms, empty Qt window %.1f ms, ratio %.2f (target <= 2)\n",
              Median(ours), Median(empty), Median(ours) / Median(empty));

  // 1b. To the window exposed and painted, from the process's start and from the
  // window's construction, against an empty QMainWindow of the same size; medians of 9
  // fresh processes of each.
  std::vector<double> emptyStart, oursStart, emptyAlone, oursAlone, oursPage;
  qputenv("DSPTUNE_BENCH_SETTINGS", QFile::encodeName(settingsDir.path()));
  for (int i = 0; i < 9; ++i) {
    const QStringList frame = ChildLine(argv[0], {QStringLiteral("--expose-frame")}).split(' ');
    const QStringList empty =
        frame.size() == 5 ? ChildLine(argv[0], {QStringLiteral("--expose-empty"), frame[2], frame[3]}).split(' ')
                          : QStringList();
    if (empty.size() != 4) {
      std::fprintf(stderr, "a window's child printed nothing\n");
      return 1;
    }
    oursStart.push_back(frame[0].toDouble());
    oursAlone.push_back(frame[1].toDouble());
    oursPage.push_back(frame[4].toDouble());
    emptyStart.push_back(empty[0].toDouble());
    emptyAlone.push_back(empty[1].toDouble());
  }
  std::printf("process start to window exposed: %.1f ms, empty QMainWindow of its size %.1f ms, ratio %.2f "
              "(target <= 1.5)\n",
              Median(oursStart), Median(emptyStart), Median(oursStart) / Median(emptyStart));
  std::printf("  of which the window alone, constructed to exposed: %.1f ms, empty %.1f ms\n", Median(oursAlone),
              Median(emptyAlone));
  std::printf("  process start to the first page made and painted: %.1f ms, ratio %.2f to the empty window\n",
              Median(oursPage), Median(oursPage) / Median(emptyStart));
  if (argc == 2 && std::string(argv[1]) == "--start-up-only") return 0;
  AppSettings settings;
  ProgressWindows progress;
  QtNotificationBridge bridge;

  // 2. Connect to ready against the emulator, and 3. the longest event-loop gap.
  test::LoopbackEmulator emulator;
  if (!emulator.started) {
    std::fprintf(stderr, "emulator did not start\n");
    return 1;
  }
  MainWindow frame(settings, progress, bridge);
  frame.show();
  QApplication::processEvents();
  QElapsedTimer clock;
  clock.start();
  if (!frame.ConnectNetwork("127.0.0.1", emulator.net.Port())) {
    std::fprintf(stderr, "connect failed\n");
    return 1;
  }
  const double readyMs = clock.nsecsElapsed() / 1e6;

  // Round trip of one synchronous command through the same link, for the floor.
  LinkState& link = CurrentLink();
  link.queuedSendMode = false;
  SendCommand({kCmdGetMode});
  QElapsedTimer rttClock;
  rttClock.start();
  constexpr int kSamples = 50;
  for (int i = 0; i < kSamples; ++i) SendCommand({kCmdGetMode});
  link.replyEvent.Wait(std::chrono::seconds(2));
  link.replyEvent.Set();
  link.queuedSendMode = true;
  const double rttMs = rttClock.nsecsElapsed() / 1e6 / kSamples;
  const double floorMs = 150.0 + 70.0 * rttMs;
  std::printf("connect to ready: %.1f ms, read-job floor %.1f ms (round trip %.3f ms), ratio %.2f (target <= 1.3)\n",
              readyMs, floorMs, rttMs, readyMs / floorMs);

  // The event loop runs a 1 ms timer for 10 s while the status poll and the pitch
  // refresh run; the longest interval between its turns is the longest stall.
  QElapsedTimer idle;
  idle.start();
  qint64 last = 0, longest = 0;
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const qint64 now = idle.nsecsElapsed();
    if (last) longest = std::max(longest, now - last);
    last = now;
    if (now > 10'000'000'000LL) QApplication::quit();
  });
  tick.start(1);
  QApplication::exec();
  std::printf("longest event-loop gap over 10 s connected idle: %.2f ms (target <= 16)\n", longest / 1e6);
  frame.close();
  return 0;
}
