#pragma once
// The main window: ribbon on top, the main view in the middle, the status bar below.
// It runs everything the interface does when a link opens or closes: the
// device-connected sequence, USB arrival and removal, the end of synchronisation with
// the identity check, host time-out and host busy, and the About box.
#include <QCheckBox>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QTimer>
#include <functional>
#include <memory>

#include "model/SettingsDiff.h"
#include "shell/MainView.h"
#include "shell/ReconcileDialog.h"

namespace dsptune {

struct SyncResult;

class AppSettings;
class DeviceSession;
class HistoryCommands;
class LinkKeeper;
class ProgressWindows;
class QtNotificationBridge;
class NetworkDialog;
class MachineSettingsDialog;
class MachineSettingsHotkey;
class ModeCommands;
class Ribbon;
class TrayNotice;
class UsbHotplug;

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  // When the first page is made. The program shows its window first and makes the page
  // just after the window's first frame, so the window appears at once on a slow machine;
  // tests and tools that use the page straight away have it made in the constructor.
  enum class FirstPage { kInConstructor, kAfterFirstFrame };
  // The window works on `session` (nullptr: the current session). Until every page is
  // handed the session, it must also be the current one (SetCurrentSession).
  MainWindow(AppSettings& settings, ProgressWindows& progress, QtNotificationBridge& bridge,
             FirstPage firstPage = FirstPage::kInConstructor, QWidget* parent = nullptr,
             DeviceSession* session = nullptr);
  ~MainWindow() override;

  MainView& View() { return *view_; }
  // The scrolled area around the main view: on a small screen the page scrolls while
  // the ribbon and the status bar stay in view.
  QScrollArea& PageArea() { return *pageArea_; }
  Ribbon& RibbonBar() { return *ribbon_; }
  QLabel& ConnectionPane() { return *connectionPane_; }
  QLabel& ModePane() { return *modePane_; }
  // The open mode file's name, with " *" while the working settings differ from it.
  QLabel& FilePane() { return *filePane_; }
  // Passing news (a connection after the first of the run), cleared after its time.
  QLabel& NoticePane() { return *noticePane_; }
  LinkKeeper& Keeper() { return *keeper_; }
  HistoryCommands& History() { return *history_; }
  QCheckBox& BypassBox() { return *bypass_; }
  QPushButton& ResetEqButton() { return *resetEq_; }
  ModeCommands& Modes() { return *modes_; }

  // Closes an open USB link (without the disconnect command) and opens the network link
  // to host:port. 1 when connected, otherwise the transport's error number (0 or the
  // socket error).
  int OpenNetwork(const QString& host, int port);
  // OpenNetwork, then (when connected) stores the peer and runs the device-connected
  // sequence; the network dialog stores the peer itself. host may be a name, which is
  // resolved first. A failure is shown with the network dialog's words and the window
  // goes on to look for a USB device.
  bool ConnectNetwork(const QString& host, int port);
  // The "Connect IP" button: made on first use, shown again later.
  void ShowNetworkDialog();
  NetworkDialog* NetworkDialogInstance() const;
  // The machine settings (F7 anywhere): made on first use, shown again later.
  void ShowMachineSettings();
  MachineSettingsDialog* MachineSettingsInstance() const;
  // Modeless dialogs of the tab row: the remote-control window, the features dialog and
  // the input-source dialog. The frame makes one on first use, reloads it and gives it
  // the language each time it is shown, reloads it after a synchronisation and drops it
  // when a new USB device arrives. A test may give a stand-in maker for one of them.
  enum class LinkedDialog { Remote, Features, InputSource };
  struct DialogMaker {
    std::function<QDialog*(QWidget* owner)> make;
    std::function<void(QDialog* dialog)> reload;  // may be empty
  };
  void SetDialogMaker(LinkedDialog which, DialogMaker maker);
  // The tab-row buttons "遥控学习" (only while a link is open), "特色功能" and "输入源".
  void ShowLinkedDialog(LinkedDialog which);
  QDialog* LinkedDialogOf(LinkedDialog which) const;
  // The device-connected sequence with a tray notice of the given duration (none for 0).
  void OnDeviceConnected(int noticeMs);
  void OnUsbArrival();
  void OnUsbRemoval(const QString& path);
  void SwitchLanguage();
  void ApplyLanguage();
  void ShowAboutBox();
  // Brings the window to the front, restoring it when minimised (a second copy asked).
  void Activate();
  // Refreshes the status bar panes (also runs on a timer while idle).
  void RefreshStatusPanes();
  bool IdentityBoxOpen() const { return identityBoxOpen_; }
  // A mode file named on the command line: loaded into the device after the first
  // accepted synchronisation, then kept in the recent-file list; when the first look
  // for a device finds none, opened into the window as LoadFile does without one.
  void SetStartupModeFile(const QString& path) { startupModeFile_ = path; }
  // What a second start of the program handed over: the window comes to the front,
  // connects to host:port when a host is given, and opens the file: a mode file as
  // "LoadFile" does, a remote-code file (.remo) in the remote window (after the read
  // when a connection is being made or read, and once connected for remote codes).
  void OpenHandedOver(const QString& host, int port, const QString& file);
  static bool IsRemoteCodeFile(const QString& path);
  // The app menu's "Disconnect": closes the link and stops reconnecting.
  void Disconnect();
  // The "Reset" button: after the user confirms, the machine reset goes out and the
  // device restarts with its defaults. The window says so, shows the defaults, closes
  // the link and reconnects and reads the device once it is back, as after a lost link.
  void MachineReset();
  // How long one transfer may take (30 s unless changed). The job decides its own
  // time-out; the synchronisation dialog's timer only backs it up, a little later.
  void SetSyncTimeLimit(int milliseconds);
  // How the user picks sides when the device's settings differ from edits it never
  // received (the reconcile dialog unless a test gives another chooser). Asked only when
  // the merge holds a question; it may change the questions' sides in `merge`.
  using SettingsChooser = std::function<ReconcileChoice(SettingsMerge& merge)>;
  void SetSettingsChooser(SettingsChooser chooser) { chooser_ = std::move(chooser); }

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void MakeFirstPage();
  void BuildRibbon();
  void BuildStatusBar();
  void RenameRibbon();
  void ApplyTips();
  void UpdateDeviceCommands();
  void OnSyncDone(int wParam, int outcome);
  void OnSyncFailed(const SyncResult& result);
  void OnHostTimeout();
  void OnHostBusy();
  void OnLinkClosed();
  void OnReconnected(int kind);
  void OnSyncTimedOut();
  // The read found the device's settings different from edits it never received.
  void Reconcile();
  void OnFirstUsbAttempt();
  void ShowUsbPermissionProblem(QString& paneText);
  void CloseActiveLink(bool sendNotice);
  void UpdateEqControls();
  void ShowRecentFiles();
  void ShowStatusNotice(QString (*text)(), int milliseconds);

  DeviceSession& session_;
  AppSettings& settings_;
  ProgressWindows& progress_;
  QtNotificationBridge& bridge_;
  MainView* view_;
  QScrollArea* pageArea_ = nullptr;
  Ribbon* ribbon_ = nullptr;
  QLabel* connectionPane_ = nullptr;
  QLabel* modePane_ = nullptr;
  QLabel* filePane_ = nullptr;
  QLabel* noticePane_ = nullptr;
  QTimer noticeTimer_;
  QString (*noticeText_)() = nullptr;  // what the notice pane shows, in the current language
  std::unique_ptr<LinkKeeper> keeper_;
  HistoryCommands* history_ = nullptr;
  SettingsChooser chooser_;
  QCheckBox* bypass_ = nullptr;
  QPushButton* resetEq_ = nullptr;
  std::unique_ptr<TrayNotice> tray_;
  std::unique_ptr<ModeCommands> modes_;
  QPointer<NetworkDialog> ipDialog_;
  QPointer<MachineSettingsDialog> machineSettings_;
  std::unique_ptr<MachineSettingsHotkey> machineSettingsHotkey_;
  QPointer<QDialog> linkedDialogs_[3];
  DialogMaker makers_[3];
  // Modeless dialogs made for one device; a new USB device gets new ones.
  void DropDeviceDialogs();
  std::unique_ptr<UsbHotplug> hotplug_;
  QTimer paneRefresh_;
  bool firstPagePending_ = false;
  bool justConnected_ = true;
  bool identityBoxOpen_ = false;
  bool linkLossShown_ = false;  // the lost link was already announced for this connection
  bool everConnected_ = false;
  bool connectedBefore_ = false;  // a device was connected earlier in this run
  bool usbPermissionExplained_ = false;
  bool identityRejected_ = false;
  bool deviceCommandsConnected_ = true;  // what the device commands' state was last set for  // the last device opened was refused by the identity check
  bool readAfterReconnect_ = false;  // the running read is a reconnect attempt's
  // A write failed with the link gone and the user asked to write again: done once the
  // device is back and read, instead of asking which side to keep.
  bool writeWhenBack_ = false;
  QString startupModeFile_;
  void OpenStartupModeFile();
  void OpenRemoteCodeFile(const QString& path);
  struct RibbonTexts;
  std::unique_ptr<RibbonTexts> texts_;
};

}  // namespace dsptune
