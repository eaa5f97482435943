#pragma once
// What the shell's tests share: a settings store of their own and a look at the
// information popup.
#include <QSettings>
#include <QStandardPaths>
#include <QString>

#include <memory>

#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/SyncJobs.h"
#include "link/UsbLink.h"
#include "ui/AppSettings.h"
#include "shell/MainWindow.h"
#include "ui/InfoPopup.h"
#include "ui/ProgressWindows.h"
#include "shell/QtNotificationBridge.h"

namespace dsptune::test {

// Points the settings store (and the standard paths) at `folder` for this process.
inline void UseSettingsFolder(const QString& folder) {
  QStandardPaths::setTestModeEnabled(true);
  QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, folder);
}

// Empties the application's settings store, as on a first start.
inline void ClearSettingsStore() {
  QSettings(QSettings::NativeFormat, QSettings::UserScope, kSettingsOrganisation, kSettingsName).clear();
}

// The text of the information popup now showing, or an empty text.
inline QString PopupText(ProgressWindows& progress) {
  auto popup = progress.CurrentPopup();
  return popup ? popup->Text() : QString();
}

// The main window and the parts it is built from, made and taken down in order.
struct MainWindowParts {
  // Makes the parts not made yet (a test may have made its own settings or progress
  // windows first) and shows the window.
  void Make(MainWindow::FirstPage firstPage = MainWindow::FirstPage::kInConstructor, bool show = true) {
    if (!settings) settings = std::make_unique<AppSettings>();
    if (!progress) progress = std::make_unique<ProgressWindows>();
    if (!bridge) bridge = std::make_unique<QtNotificationBridge>();
    frame = std::make_unique<MainWindow>(*settings, *progress, *bridge, firstPage);
    progress->SetWindow(frame.get());
    if (show) frame->show();
  }
  // Closes the window, every link and job, and drops the parts.
  void TearDown() {
    frame.reset();
    CloseNetworkLink(false);
    CloseUsbLink(false);
    ShutdownSyncJobs();
    ResetLinkState();
    progress.reset();
    bridge.reset();
    settings.reset();
  }

  std::unique_ptr<AppSettings> settings;
  std::unique_ptr<ProgressWindows> progress;
  std::unique_ptr<QtNotificationBridge> bridge;
  std::unique_ptr<MainWindow> frame;
};

}  // namespace dsptune::test
