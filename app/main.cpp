// dsptune: the desktop application.
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "remote/RemoteWindow.h"
#include "remote/LearnKeyDialog.h"
#include "shell/AppSettings.h"
#include "shell/MainWindow.h"
#include "editors/InputSourceDialog.h"
#include "editors/OutputPage.h"
#include "editors/FeaturesDialog.h"
#include "editors/EditorFactory.h"
#include "shell/Application.h"
#include "shell/EditorHost.h"
#include "shell/ProgressWindows.h"

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
  dsptune::EditorHost::SetDefaultInstaller([](dsptune::EditorHost& host) { dsptune::InstallEditorPages(host); });
  dsptune::Application app(options);
  using dsptune::MainWindow;
  MainWindow::SetDialogHooks(MainWindow::LinkedDialog::Remote,
                             {[&app](QWidget* owner) -> QDialog* { return new dsptune::RemoteWindow(app.Progress(), owner); },
                              nullptr});
  MainWindow::SetRemoteKeyReceiver([](int code) { dsptune::ForwardLearnedKey(code); });
  MainWindow::SetDialogHooks(
      MainWindow::LinkedDialog::Features,
      {[](QWidget* owner) -> QDialog* { return new dsptune::FeaturesDialog(owner); },
       [](QDialog* dialog) {
         if (auto* features = qobject_cast<dsptune::FeaturesDialog*>(dialog)) features->RefreshPage();
       }});
  MainWindow::SetDialogHooks(
      MainWindow::LinkedDialog::InputSource,
      {[](QWidget* owner) -> QDialog* { return dsptune::InputSourceDialog::ForConnectedModel(owner); },
       [](QDialog* dialog) {
         if (auto* input = qobject_cast<dsptune::InputSourceDialog*>(dialog)) input->RefreshPage();
       }});
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
