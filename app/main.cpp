// dsptune: the desktop application.
#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <string_view>

#include "ui/AppSettings.h"
#include "editors/OutputPage.h"
#include "shell/Application.h"
#include "ui/ProgressWindows.h"

int main(int argc, char** argv) {
  // Answered before Qt starts, so they work without a display.
  for (int i = 1; i < argc; ++i) {
    const std::string_view a = argv[i];
    if (a == "--version") {
      std::printf("dsptune %s\n", DSPTUNE_VERSION);
      return 0;
    }
    if (a == "--help" || a == "-h") {
      std::printf(
          "usage: dsptune [--connect HOST[:PORT]] [FILE.mode | FILE.remo]\n"
          "\n"
          "Tunes an LQ830-family DSP processor over USB or the network.\n"
          "\n"
          "  --connect HOST[:PORT]  connect to the network module (port 30303 unless given)\n"
          "                         instead of looking for the USB device\n"
          "  FILE.mode              a mode file to write to the device once it is connected\n"
          "  FILE.remo              remote-control codes to load into the device once it is connected\n"
          "\n"
          "A second start hands its file and --connect to the window already open.\n"
          "  --help, --version      this text; the version\n"
          "\n"
          "exit status: 0 success, 2 usage\n");
      return 0;
    }
  }
  QApplication qt(argc, argv);
  QApplication::setOrganizationName(dsptune::kSettingsOrganisation);
  QApplication::setApplicationName(dsptune::kSettingsName);
  QApplication::setDesktopFileName(QStringLiteral("dsptune"));

  dsptune::StartOptions options;
  QString error;
  if (!dsptune::ParseStartOptions(QApplication::arguments(), options, error)) {
    std::fprintf(stderr, "dsptune: %s\nusage: dsptune [--connect HOST[:PORT]] [FILE.mode | FILE.remo]\n", qPrintable(error));
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
