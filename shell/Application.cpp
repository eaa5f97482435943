#include "shell/Application.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cstdio>

#include "link/DeviceSession.h"
#include "link/LinkState.h"
#include "ui/AppSettings.h"
#include "shell/MainWindow.h"
#include "ui/DialogService.h"
#include "ui/ProgressWindows.h"
#include "shell/QtNotificationBridge.h"
#include "ui/InterfaceLanguage.h"
#include "ui/LanguageTables.h"
#include "shell/ScreenshotTour.h"
#include "shell/SingleInstance.h"
#include "ui/Ribbon.h"

namespace dsptune {
namespace {

constexpr int kScreenshotWaitLimitMs = 40000;
constexpr int kScreenshotPollMs = 200;

}  // namespace

bool ParseStartOptions(const QStringList& arguments, StartOptions& options, QString& error) {
  for (int i = 1; i < arguments.size(); ++i) {
    const QString& a = arguments[i];
    if (a == "--connect" || a == "--screenshots" || a == "--instance-name") {
      if (i + 1 >= arguments.size()) {
        error = a + " needs a value";
        return false;
      }
      const QString value = arguments[++i];
      if (a == "--screenshots") {
        options.screenshotDir = value;
      } else if (a == "--instance-name") {
        options.instanceName = value;
      } else {
        const int colon = value.lastIndexOf(':');
        options.connectHost = colon < 0 ? value : value.left(colon);
        if (colon >= 0) {
          bool ok = false;
          options.connectPort = value.mid(colon + 1).toInt(&ok);
          if (!ok || options.connectPort < 1 || options.connectPort > 65535) {
            error = "--connect: bad port in '" + value + "'";
            return false;
          }
        }
        if (options.connectHost.isEmpty()) {
          error = "--connect: missing host";
          return false;
        }
      }
    } else if (a.startsWith("-")) {
      error = "unknown option '" + a + "'";
      return false;
    } else if (options.modeFile.isEmpty()) {
      options.modeFile = a;
    } else {
      error = "more than one file given";
      return false;
    }
  }
  return true;
}

QStringList HandedOverArguments(const StartOptions& options) {
  QStringList arguments;
  if (!options.connectHost.isEmpty())
    arguments << QStringLiteral("--connect") << QStringLiteral("%1:%2").arg(options.connectHost).arg(options.connectPort);
  // The running copy works in its own folder: a relative path must not reach it as such.
  if (!options.modeFile.isEmpty()) arguments << QFileInfo(options.modeFile).absoluteFilePath();
  return arguments;
}

Application::Application(StartOptions options) : options_(std::move(options)) {}

Application::~Application() { ExitInstance(); }

bool Application::InitInstance(int& exitCode) {
  exitCode = 0;
  instance_ = std::make_unique<SingleInstance>(options_.instanceName);
  switch (instance_->Check(HandedOverArguments(options_))) {
    case SingleInstance::Result::First: break;
    case SingleInstance::Result::ActivatedOther: return false;  // silently
    case SingleInstance::Result::CannotCheck:
      Dialogs().Message(nullptr, PickText("错误", "Error"), SingleInstance::CannotCheckText(), QMessageBox::Critical);
      exitCode = 1;
      return false;
    case SingleInstance::Result::OtherUnreachable:
      Dialogs().Message(nullptr, PickText("错误", "Error"), SingleInstance::OtherUnreachableText(),
                        QMessageBox::Critical);
      exitCode = 1;
      return false;
  }
  settings_ = std::make_unique<AppSettings>();
  progress_ = std::make_unique<ProgressWindows>();
  bridge_ = std::make_unique<QtNotificationBridge>();
  session_ = std::make_unique<DeviceSession>();
  // The pages and dialogs still reach the device through the current session.
  SetCurrentSession(session_.get());
  frame_ = std::make_unique<MainWindow>(*settings_, *progress_, *bridge_, MainWindow::FirstPage::kAfterFirstFrame,
                                        nullptr, session_.get());
  progress_->SetWindow(frame_.get());
  connect(instance_.get(), &SingleInstance::activationRequested, frame_.get(), [this](const QStringList& arguments) {
    StartOptions handed;
    QString error;
    if (!ParseStartOptions(QStringList{QString()} + arguments, handed, error)) {
      frame_->Activate();
      return;
    }
    // Not inside the socket's signal: opening a file may show dialogs.
    QTimer::singleShot(0, frame_.get(), [this, handed] {
      frame_->OpenHandedOver(handed.connectHost, handed.connectPort, handed.modeFile);
    });
  });
  if (!options_.modeFile.isEmpty()) frame_->SetStartupModeFile(options_.modeFile);
  frame_->show();

  if (!options_.connectHost.isEmpty()) {
    const QString host = options_.connectHost;
    const int port = options_.connectPort;
    // A failure says why and falls back to the usual USB attempt.
    QTimer::singleShot(0, frame_.get(), [this, host, port] { frame_->ConnectNetwork(host, port); });
  } else {
    frame_->View().FirstUsbAttemptTimer().start();
  }
  if (!options_.screenshotDir.isEmpty()) TakeScreenshots();
  return true;
}

// Waits until a connection has been synchronised (or the limit passes), then saves
// pictures of every page and dialog in both languages and quits. Used by the run script without a display.
void Application::TakeScreenshots() {
  auto* poll = new QTimer(frame_.get());
  auto* started = new QElapsedTimer;
  started->start();
  connect(poll, &QTimer::timeout, frame_.get(), [this, poll, started] {
    const bool ready = CurrentLink().connected && !progress_->SyncDialogRunning() && CurrentLink().queuedSendMode;
    if (!ready && started->elapsed() < kScreenshotWaitLimitMs) return;
    poll->stop();
    delete started;
    const QStringList written = TakeScreenshotTour(*frame_, options_.screenshotDir);
    std::fprintf(stderr, "saved %d screenshots below %s\n", int(written.size()), qPrintable(options_.screenshotDir));
    // Nothing here was edited by a user: no unsaved-changes question may hold up the run.
    CurrentLink().changedFlag = false;
    frame_->close();
    QApplication::quit();
  });
  poll->start(kScreenshotPollMs);
}

void Application::ExitInstance() {
  frame_.reset();
  session_.reset();
  RemoveCurrentLanguageFile();
  progress_.reset();
  bridge_.reset();
  if (settings_) settings_->Sync();
  settings_.reset();
  instance_.reset();
}

}  // namespace dsptune
