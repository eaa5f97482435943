#include "shell/EditorHost.h"

#include <QResizeEvent>
#include <algorithm>

namespace dsptune {
namespace {
// Narrow enough that a 1024-pixel window keeps every page beside the page area's
// vertical scroll bar without a horizontal one; every page fits in it.
constexpr int kMinWidth = 1000, kMinHeight = 520;
}  // namespace

EditorHost::EditorHost(QWidget* parent) : QWidget(parent) {
  setMinimumSize(kMinWidth, kMinHeight);
}

void EditorHost::ShowEditor(int kind, int channel) {
  if (editor_ && editor_->Kind() == kind) {
    switch (kind) {
      case kEditorMicMusic:
        micMusicChannel_ = channel;
        editor_->SetChannel(channel);
        editor_->RefreshPage();
        break;
      case kEditorOutput:
        outputChannel_ = channel;
        editor_->SetChannel(channel);
        break;
      case kEditorEffectsEq:
        editor_->SetChannel(channel);
        break;
      default:  // compressor, surround, record: nothing
        break;
    }
    return;
  }
  if (editor_) {
    editor_->hide();
    delete editor_;
  }
  if (kind == kEditorMicMusic) micMusicChannel_ = channel;
  if (kind == kEditorOutput) outputChannel_ = channel;
  const bool takesChannel = kind == kEditorMicMusic || kind == kEditorOutput || kind == kEditorEffectsEq;
  const int pageChannel = takesChannel ? channel : 0;
  EditorPage* page = factory_ ? factory_(kind, pageChannel, this) : nullptr;
  if (!page) page = new BlankEditorPage(kind, pageChannel, this);
  editor_ = page;
  page->setGeometry(clientRect_);
  page->show();
  emit editorChanged(kind);
}

void EditorHost::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  clientRect_ = QRect(0, 0, std::max(kMinWidth, event->size().width()), std::max(kMinHeight, event->size().height()));
  if (editor_) editor_->setGeometry(clientRect_);
}

}  // namespace dsptune
