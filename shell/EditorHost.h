#pragma once
// The view's one embedded editor: created on demand by kind, switched to another
// channel when the same kind is asked for again, and laid over the recorded client
// rectangle, which is never smaller than 1024 x 520.
#include <QPointer>
#include <QWidget>
#include <functional>

#include "ui/EditorPage.h"

namespace dsptune {

class EditorHost : public QWidget {
  Q_OBJECT
 public:
  using Factory = std::function<EditorPage*(int kind, int channel, QWidget* parent)>;
  explicit EditorHost(QWidget* parent = nullptr);

  // Makes kind the embedded editor (see the table of kinds in ShowEditor's .cpp).
  void ShowEditor(int kind, int channel);
  EditorPage* Editor() const { return editor_; }
  int EditorKind() const { return editor_ ? editor_->Kind() : 0; }
  // Pages for the kinds that have one; the others get a BlankEditorPage.
  void SetFactory(Factory factory) { factory_ = std::move(factory); }
  QRect ClientRect() const { return clientRect_; }
  // The mic/music selection, kept for the whole application: the page reports every
  // change of its selector here, and a page made later opens on it.
  int MicMusicChannel() const { return micMusicChannel_; }
  void SetMicMusicChannel(int channel) { micMusicChannel_ = channel; }
  // The output page's current channel, kept the same way: the "Output" category opens
  // the page on it.
  int OutputChannel() const { return outputChannel_; }
  void SetOutputChannel(int channel) { outputChannel_ = channel; }

 signals:
  void editorChanged(int kind);

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QPointer<EditorPage> editor_;
  Factory factory_;
  QRect clientRect_{0, 0, 1024, 520};
  int micMusicChannel_ = 0;
  int outputChannel_ = 0;
};

}  // namespace dsptune
