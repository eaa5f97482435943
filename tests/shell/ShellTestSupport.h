#pragma once
// What the shell's tests share: a settings store of their own and a look at the
// information popup.
#include <QSettings>
#include <QStandardPaths>
#include <QString>

#include "shell/AppSettings.h"
#include "shell/InfoPopup.h"
#include "shell/ProgressWindows.h"

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

}  // namespace dsptune::test
