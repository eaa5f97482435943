#include "editors/EditorFactory.h"

#include "editors/CDialogMusic.h"
#include "shell/EditorHost.h"

namespace dsptune {

void InstallEditorPages(EditorHost& host) {
  host.SetFactory([&host](int kind, int channel, QWidget* parent) -> EditorPage* {
    switch (kind) {
      case kEditorMicMusic: {
        auto* page = new CDialogMusic(channel, parent);
        QObject::connect(page, &CDialogMusic::channelSelected, &host, &EditorHost::SetMicMusicChannel);
        return page;
      }
      default:
        return nullptr;
    }
  });
}

}  // namespace dsptune
