// dsptune: the desktop application.
#include <QApplication>
#include <QIcon>
#include <cstdio>

#include "remote/CRemoteDlg.h"
#include "remote/CRemoteStudyDlg.h"
#include "shell/AppSettings.h"
#include "shell/CMainFrame.h"
#include "editors/CDialogMusicInput.h"
#include "editors/CDialogOutput.h"
#include "editors/CloudnessDlg.h"
#include "editors/EditorFactory.h"
#include "shell/CKR5530v13App.h"
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
  dsptune::CKR5530v13App app(options);
  using dsptune::CMainFrame;
  CMainFrame::SetDialogHooks(CMainFrame::LinkedDialog::Remote,
                             {[&app](QWidget* owner) -> QDialog* { return new dsptune::CRemoteDlg(app.Progress(), owner); },
                              nullptr});
  CMainFrame::SetRemoteKeyReceiver([](int code) { dsptune::ForwardLearnedKey(code); });
  CMainFrame::SetDialogHooks(
      CMainFrame::LinkedDialog::Features,
      {[](QWidget* owner) -> QDialog* { return new dsptune::CloudnessDlg(owner); },
       [](QDialog* dialog) {
         if (auto* features = qobject_cast<dsptune::CloudnessDlg*>(dialog)) features->RefreshPage();
       }});
  CMainFrame::SetDialogHooks(
      CMainFrame::LinkedDialog::InputSource,
      {[](QWidget* owner) -> QDialog* { return dsptune::CDialogMusicInput::ForConnectedModel(owner); },
       [](QDialog* dialog) {
         if (auto* input = qobject_cast<dsptune::CDialogMusicInput*>(dialog)) input->RefreshPage();
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
