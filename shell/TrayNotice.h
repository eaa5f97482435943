#pragma once
// A notice in the notification area: the application icon with an information balloon.
// The icon is removed after the notice's duration, as soon as the user clicks it in any
// way, and when the TrayNotice is destroyed. Where the desktop has no notification area
// or cannot show balloons (offscreen, bare X servers) the same text goes to the
// information popup instead.
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <functional>

class QSystemTrayIcon;

namespace dsptune {

class ProgressWindows;

class TrayNotice : public QObject {
  Q_OBJECT
 public:
  // `fallback` shows the notice when there is no notification area; it must be the
  // application's ProgressWindows (may be null: the notice is then dropped).
  explicit TrayNotice(ProgressWindows* fallback, QObject* parent = nullptr);
  ~TrayNotice() override;

  // Shows `title` and `text` for `milliseconds`; a notice still showing is replaced and
  // the duration counts from this call.
  void Show(const QString& title, const QString& text, int milliseconds);
  // Removes the icon now (no effect when none is shown).
  void Remove();

  bool IconShown() const;
  QSystemTrayIcon* Icon() const { return m_icon; }

  // The application's window icon, or a drawn stand-in when the application has none.
  static QIcon ApplicationIcon();

  // Replaces the test for a notification area (tests force one or the other path).
  void SetTrayProbe(std::function<bool()> probe) { m_trayAvailable = std::move(probe); }

 private:
  QPointer<ProgressWindows> m_fallback;
  QSystemTrayIcon* m_icon = nullptr;
  QTimer m_removeTimer;  // timer 990
  std::function<bool()> m_trayAvailable;
};

}  // namespace dsptune
