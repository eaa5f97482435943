#pragma once
// The two progress services of the application: the self-closing information popup
// (ShowInfoPopup) and the modal synchronisation dialog (RunSyncDialog). One instance per
// application, created and used on the user-interface thread only.
#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

namespace dsptune {

class InfoPopup;
class SyncDialog;

// Moves a top-level `window` so that it is centred over its parent widget, or over the
// primary screen when it has none.
void CentreOverOwner(QWidget* window);
// Shows a modeless window centred over its owner and brings it to the front.
void ShowCentred(QWidget* window);
// Moves window beside other so that neither covers the other.
void PlaceClearOf(QWidget* window, const QWidget* other);

class ProgressWindows : public QObject {
  Q_OBJECT
 public:
  // What RunSyncDialog reports.
  enum SyncResult {
    kSyncAlreadyRunning = -1,  // another one was running; it was only brought to the front
    kSyncTimedOut = 0,         // the timeout ended it; the error box has been shown
    kSyncClosed = 1,           // CloseSyncDialog (or the destruction of its window) ended it
  };
  static constexpr int kDefaultSyncTimeoutMs = 30000;

  // `window` is the owner the popups and the dialog are centred over (may be null).
  explicit ProgressWindows(QWidget* window = nullptr, QObject* parent = nullptr);
  ~ProgressWindows() override;

  void SetWindow(QWidget* window) { m_window = window; }
  QWidget* Window() const { return m_window; }

  // Shows `text` for `milliseconds` in the information popup. A popup already showing
  // takes the new text and counts the new duration from now; otherwise a new one is
  // created. It destroys itself when the time is up or when the user closes it.
  // keepClear: a window the notice must not cover (the dialog whose action it
  // confirms, so its buttons stay in reach).
  void ShowInfoPopup(const QString& text, int milliseconds, const QWidget* keepClear = nullptr);
  QPointer<InfoPopup> CurrentPopup() const { return m_popup; }

  // Runs the synchronisation dialog modally (nested event loop: queued link
  // notifications, timers and CloseSyncDialog keep working inside it) and returns how it
  // ended. Empty `text` means the default wait text. If one is already running, it is
  // only made visible and kSyncAlreadyRunning is returned at once. On timeout the dialog
  // closes, the error box "发生错误，与设备数据同步超时……" is shown and then syncTimedOut()
  // is emitted.
  int RunSyncDialog(const QString& text = QString());
  // Stops the running dialog's timeout and ends it; nothing happens when none runs.
  void CloseSyncDialog();
  bool SyncDialogRunning() const { return !m_sync.isNull(); }
  QPointer<SyncDialog> CurrentSyncDialog() const { return m_sync; }

  // Timeout of dialogs started from now on, in milliseconds (default 30000).
  void SetSyncTimeout(int milliseconds) { m_syncTimeoutMs = milliseconds; }
  int SyncTimeout() const { return m_syncTimeoutMs; }

 signals:
  // A synchronisation did not end in time (after the error box was dismissed). The shell
  // drops a network link without the disconnect command; a USB link stays open.
  void syncTimedOut();

 private:
  QPointer<QWidget> m_window;
  QPointer<InfoPopup> m_popup;
  QPointer<SyncDialog> m_sync;  // the running synchronisation dialog, null when none runs
  int m_syncTimeoutMs = kDefaultSyncTimeoutMs;
};

}  // namespace dsptune
