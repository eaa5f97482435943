// Front-end timings against the emulator (offscreen): start-up to a painted main window
// against an empty Qt Widgets window, connect-to-ready against the read job's floor, and
// the longest stall of the event loop while connected and idle.
#include <QApplication>
#include <QElapsedTimer>
#include <QMainWindow>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
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
    MainWindow window(settings, progress, bridge);
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
  qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
  if (argc == 2 && std::string(argv[1]) == "--start-empty") return StartOnly(argc, argv, false);
  if (argc == 2 && std::string(argv[1]) == "--start-frame") return StartOnly(argc, argv, true);
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
