// dsptune: the desktop application.
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "ui/AppSettings.h"
#include "editors/OutputPage.h"
#include "shell/Application.h"
#include "ui/ProgressWindows.h"

int main(int argc, char** argv) {
  QApplication qt(argc, argv);
  QApplication::setOrganizationName(dsptune::kSettingsOrganisation);
  QApplication::setApplicationName(dsptune::kSettingsName);
  QApplication::setDesktopFileName(QStringLiteral("dsptune"));

  dsptune::StartOptions options;
  QString error;
  if (!dsptune::ParseStartOptions(QApplication::arguments(), options, error)) {
    std::fprintf(stderr, "dsptune: %s\nusage: dsptune [--connect HOST[:PORT]] [FILE.mode]\n", qPrintable(error));
    return 2;
  }
  dsptune::Application app(options);
  int exitCode = 0;
  if (!app.InitInstance(exitCode)) return exitCode;
  dsptune::SetDefaultOutputPageServices({
      [&app] { return app.Settings().OptionRecord(); },
      [&app](const QByteArray& record) { return app.Settings().SaveOptionRecord(record); },
      [&app](const QString& text, int ms) { app.Progress().ShowInfoPopup(text, ms); }});
  const int result = QApplication::exec();
  app.ExitInstance();
  return result;
}
