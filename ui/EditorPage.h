#pragma once
// One embedded editor of the main view, identified by its dialog number (its kind).
// The editor pages derive from this; until a kind has its page, the host shows a blank
// page of that kind.
#include <QPalette>
#include <QWidget>

#include "ui/WheelFocusGuard.h"

namespace dsptune {

enum EditorKind : int {
  kEditorMicMusic = 313,
  kEditorOutput = 385,
  kEditorEffectsEq = 421,
  kEditorCompressor = 346,
  kEditorSurround = 334,
  kEditorRecord = 522,
};

class EditorPage : public QWidget {
  Q_OBJECT
 public:
  // Every page has the view's light background and never gets smaller than the view's
  // smallest client area. The page scrolls in the view, so its value controls take the
  // wheel only while focused (WheelFocusGuard).
  EditorPage(int kind, int channel, QWidget* parent) : QWidget(parent), kind_(kind), channel_(channel) {
    new WheelFocusGuard(this);
    setAutoFillBackground(true);
    QPalette look = palette();
    look.setColor(QPalette::Window, QColor(240, 250, 255));
    setPalette(look);
    setMinimumSize(1000, 520);  // the host's smallest client area (shell/EditorHost.cpp)
  }
  int Kind() const { return kind_; }
  int Channel() const { return channel_; }
  // The same kind requested again with another channel (mic/music, output, effects EQ).
  virtual void SetChannel(int channel) { channel_ = channel; }
  // Reloads every control from the model.
  virtual void RefreshPage() {}
  // Re-applies the page's texts in the current language.
  virtual void ApplyTexts() {}
  // Pages with an equaliser enable the status bar's "Bypass" and "Reset EQ".
  virtual bool HasEq() const { return false; }
  virtual bool EqBypassed() const { return false; }
  virtual void SetEqBypass(bool) {}
  virtual void ResetCurrentEq() {}

 signals:
  // The page's equaliser or its bypass flag changed (the status bar follows).
  void eqStateChanged();

 private:
  int kind_;
  int channel_;
};

// Stands in for an editor whose page is not built yet: the host mechanism (same kind,
// replace, resize) works the same with it.
class BlankEditorPage : public EditorPage {
  Q_OBJECT
 public:
  using EditorPage::EditorPage;
};

}  // namespace dsptune
