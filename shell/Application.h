#pragma once
// The application object: single instance, settings store, the main frame with its
// view, the first connection attempt and the orderly shutdown.
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

namespace dsptune {

class AppSettings;
class DeviceSession;
class MainWindow;
class ProgressWindows;
class QtNotificationBridge;
class SingleInstance;

struct StartOptions {
  QString connectHost;  // --connect HOST[:PORT]: network instead of the first USB attempt
  int connectPort = 30303;
  QString modeFile;     // opened once connected: a mode file, or remote codes (.remo)
  QString screenshotDir;  // --screenshots DIR: save both languages once ready, then quit
  QString instanceName = QStringLiteral("LQ830 V1.0");
};

// Parses the command line; false (with a message in error) on bad arguments.
bool ParseStartOptions(const QStringList& arguments, StartOptions& options, QString& error);
// What a second start hands to the running copy: --connect and the mode file (made
// absolute); the screenshot and instance options stay with the copy that got them.
QStringList HandedOverArguments(const StartOptions& options);

class Application : public QObject {
  Q_OBJECT
 public:
  explicit Application(StartOptions options);
  ~Application() override;

  // The start-up sequence; false ends the process (exitCode tells how).
  bool InitInstance(int& exitCode);
  void ExitInstance();
  MainWindow* Frame() const { return frame_.get(); }
  // Made by InitInstance.
  AppSettings& Settings() const { return *settings_; }
  ProgressWindows& Progress() const { return *progress_; }

 private:
  void TakeScreenshots();

  StartOptions options_;
  std::unique_ptr<SingleInstance> instance_;
  std::unique_ptr<AppSettings> settings_;
  std::unique_ptr<ProgressWindows> progress_;
  std::unique_ptr<QtNotificationBridge> bridge_;
  // The device the window works on; it goes after the window and before the bridge its
  // links notify.
  std::unique_ptr<DeviceSession> session_;
  std::unique_ptr<MainWindow> frame_;
};

}  // namespace dsptune
