#pragma once
// The commands that move whole parameter sets around: the device's modes M1..M4, mode
// files on disk and their recent-file list, the unsaved-changes question when the main
// window closes, and the machine reset. Questions and file choices go through Dialogs(),
// notices through the progress windows; the device is reached through the link.
#include <QObject>
#include <QString>

#include "model/ParameterImage.h"
#include "model/SettingsDiff.h"

class QWidget;

namespace dsptune {

class AppSettings;
class DeviceSession;
class ProgressWindows;

class ModeCommands : public QObject {
  Q_OBJECT
 public:
  static constexpr int kLoadSettleMs = 50;
  static constexpr int kAfterStoreMs = 500;
  static constexpr int kSavingNoticeMs = 2500;
  static constexpr int kRestartNoticeMs = 10000;

  // Works on `session`'s device (nullptr: the current session).
  ModeCommands(AppSettings& settings, ProgressWindows& progress, QWidget* window, DeviceSession* session = nullptr);

  // Device modes (slots 0..3, clamped). Without an open link they do nothing.
  void LoadDeviceMode(int mode);
  void SaveDeviceMode(int mode);
  void RestoreFactoryMode(int mode);

  // "LoadFile" / "SaveFile": ask for a file, then write it to the device or save the
  // device's settings into it. Without a device they work on the working settings
  // alone: a loaded file goes into the editors (and reaches the device at the next
  // connect, through the reconcile step), a save writes only the file.
  void LoadModeFile();
  void SaveModeFile();
  // LoadModeFile with the file already chosen (a file handed over by a second start).
  void OpenModeFile(const QString& path);
  // A path from the recent-file list (or the command line). False when the open failed
  // and the entry left the list; *written (when given) tells whether the device took it.
  bool OpenRecentFile(const QString& path, bool* written = nullptr);

  // The mode file last loaded or saved (empty before the first), and whether the
  // working settings differ from what it holds.
  QString CurrentFile() const { return currentFile_; }
  bool CurrentFileModified() const;

  // Asked before the main window closes: false keeps the window open.
  bool ConfirmClose();

  // Asks, then sends the machine reset. True when it was sent: the device restarts.
  bool MachineReset();

  // End of an accepted read: a device mode load or factory restore asked for here
  // becomes one step of the edit history.
  void RecordReloadStep();
  // End of an accepted synchronisation: a mode file named for a slot is stored there.
  void ApplyPendingModeSlot();
  // A write that failed stores nothing in the slot its file was named for.
  void DropPendingModeSlot() { pendingSlot_ = -1; }
  int PendingModeSlot() const { return pendingSlot_; }

 signals:
  // The recent-file list in the settings changed.
  void recentFilesChanged();
  // A file replaced the working settings without a device: the editors show them anew.
  void settingsReplaced();

 private:
  // Reads a mode file and starts writing it to the device; tells the user when refused.
  bool WriteFileToDevice(const QString& path);
  void ReportRefusedFile(const QString& path, const std::string& error);
  // `SaveIntoDeviceMode` for the current mode, then the file; false (after telling the
  // user) when the file could not be written.
  bool SaveDeviceAndFile(const QString& path);
  // The name a save proposes: the open mode file's, else the connected model's with
  // the current mode ("LQ830 M2"), else "preset".
  QString SuggestedFileName() const;
  // Loads a mode file into the working settings only (no device is connected).
  bool LoadFileOffline(const QString& path);
  // Remembers `path` as the open file holding the current working settings.
  void NoteCurrentFile(const QString& path);
  void AddToRecentFiles(const QString& path);

  DeviceSession& session_;
  AppSettings& settings_;
  ProgressWindows& progress_;
  QWidget* window_;
  int pendingSlot_ = -1;
  // Settings before a reload the device was asked for, and the step's name.
  bool reloadAsked_ = false;
  ParameterImageBytes beforeReload_{};
  BilingualText reloadLabel_;
  void NoteReload(const BilingualText& label);
  // Records a file load as one step of the edit history.
  void RecordFileLoad(const ParameterImageBytes& before, const QString& path);
  QString currentFile_;
  ParameterImageBytes fileSettings_{};
};

}  // namespace dsptune
