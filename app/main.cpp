// dsptune: the desktop application.
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "shell/AppSettings.h"
#include "shell/CKR5530v13App.h"

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
  dsptune::CKR5530v13App app(options);
  int exitCode = 0;
  if (!app.InitInstance(exitCode)) return exitCode;
  const int result = QApplication::exec();
  app.ExitInstance();
  return result;
}
