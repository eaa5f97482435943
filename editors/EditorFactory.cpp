#include "editors/EditorFactory.h"

#include "editors/CDialogMusic.h"
#include "shell/EditorHost.h"

namespace dsptune {

void InstallEditorPages(EditorHost& host) {
  host.SetFactory([](int kind, int channel, QWidget* parent) -> EditorPage* {
    switch (kind) {
      case kEditorMicMusic:
        return new CDialogMusic(channel, parent);
      default:
        return nullptr;
    }
  });
}

}  // namespace dsptune
