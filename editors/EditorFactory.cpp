#include "editors/EditorFactory.h"

#include "editors/CCompDlg.h"
#include "editors/CDialogEfx.h"
#include "editors/CDialogMusic.h"
#include "editors/CDialogOutput.h"
#include "editors/CDialogRec.h"
#include "editors/CSSVCDlg.h"
#include "shell/EditorHost.h"

namespace dsptune {

void InstallEditorPages(EditorHost& host) {
  host.SetFactory([&host](int kind, int channel, QWidget* parent) -> EditorPage* {
    switch (kind) {
      case kEditorMicMusic: {
        auto* page = new CDialogMusic(channel, parent);
        QObject::connect(page, &CDialogMusic::channelSelected, &host, &EditorHost::SetMicMusicChannel);
        // Queued: the host deletes the page that asks for another one.
        QObject::connect(
            page, &CDialogMusic::effectsEqRequested, &host,
            [&host](int effect) { host.ShowEditor(kEditorEffectsEq, effect); }, Qt::QueuedConnection);
        return page;
      }
      case kEditorEffectsEq: {
        auto* page = new CDialogEfx(channel, parent);
        // The mic/music page comes back on the channel it showed.
        QObject::connect(
            page, &CDialogEfx::returnRequested, &host,
            [&host] { host.ShowEditor(kEditorMicMusic, host.MicMusicChannel()); }, Qt::QueuedConnection);
        return page;
      }
      case kEditorOutput: {
        auto* page = new CDialogOutput(channel, parent);
        QObject::connect(page, &CDialogOutput::channelSelected, &host, &EditorHost::SetOutputChannel);
        // Queued: the host deletes the page that asks for another one.
        QObject::connect(
            page, &CDialogOutput::pageRequested, &host, [&host](int kind) { host.ShowEditor(kind, 0); },
            Qt::QueuedConnection);
        return page;
      }
      case kEditorCompressor: {
        auto* page = new CCompDlg(parent);
        // Queued, as for the output page: the host deletes the page that asks.
        QObject::connect(
            page, &CCompDlg::outputPageRequested, &host, [&host](int c) { host.ShowEditor(kEditorOutput, c); },
            Qt::QueuedConnection);
        QObject::connect(
            page, &CCompDlg::pageRequested, &host, [&host](int kind) { host.ShowEditor(kind, 0); },
            Qt::QueuedConnection);
        return page;
      }
      case kEditorSurround: {
        auto* page = new CSSVCDlg(parent);
        QObject::connect(
            page, &CSSVCDlg::outputPageRequested, &host, [&host](int c) { host.ShowEditor(kEditorOutput, c); },
            Qt::QueuedConnection);
        QObject::connect(
            page, &CSSVCDlg::pageRequested, &host, [&host](int kind) { host.ShowEditor(kind, 0); },
            Qt::QueuedConnection);
        return page;
      }
      case kEditorRecord: {
        auto* page = new CDialogRec(parent);
        QObject::connect(
            page, &CDialogRec::outputPageRequested, &host, [&host](int c) { host.ShowEditor(kEditorOutput, c); },
            Qt::QueuedConnection);
        QObject::connect(
            page, &CDialogRec::pageRequested, &host, [&host](int kind) { host.ShowEditor(kind, 0); },
            Qt::QueuedConnection);
        return page;
      }
      default:
        return nullptr;
    }
  });
}

}  // namespace dsptune
