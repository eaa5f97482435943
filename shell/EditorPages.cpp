#include "shell/EditorPages.h"

#include "editors/CompressorPage.h"
#include "editors/EffectsEqPage.h"
#include "editors/MicMusicPage.h"
#include "editors/OutputPage.h"
#include "editors/RecordOutputPage.h"
#include "editors/SurroundPage.h"
#include "shell/EditorHost.h"

namespace dsptune {

void InstallEditorPages(EditorHost& host) {
  host.SetFactory([&host](int kind, int channel, QWidget* parent) -> EditorPage* {
    switch (kind) {
      case kEditorMicMusic: {
        auto* page = new MicMusicPage(channel, parent);
        QObject::connect(page, &MicMusicPage::channelSelected, &host, &EditorHost::SetMicMusicChannel);
        // Queued: the host deletes the page that asks for another one.
        QObject::connect(
            page, &MicMusicPage::effectsEqRequested, &host,
            [&host](int effect) { host.ShowEditor(kEditorEffectsEq, effect); }, Qt::QueuedConnection);
        return page;
      }
      case kEditorEffectsEq: {
        auto* page = new EffectsEqPage(channel, parent);
        // The mic/music page comes back on the channel it showed.
        QObject::connect(
            page, &EffectsEqPage::returnRequested, &host,
            [&host] { host.ShowEditor(kEditorMicMusic, host.MicMusicChannel()); }, Qt::QueuedConnection);
        return page;
      }
      case kEditorOutput: {
        auto* page = new OutputPage(channel, parent);
        QObject::connect(page, &OutputPage::channelSelected, &host, &EditorHost::SetOutputChannel);
        // Queued: the host deletes the page that asks for another one.
        QObject::connect(
            page, &OutputPage::pageRequested, &host, [&host](int kind) { host.ShowEditor(kind, 0); },
            Qt::QueuedConnection);
        return page;
      }
      case kEditorCompressor: {
        auto* page = new CompressorPage(parent);
        // Queued, as for the output page: the host deletes the page that asks.
        QObject::connect(
            page, &CompressorPage::outputPageRequested, &host, [&host](int c) { host.ShowEditor(kEditorOutput, c); },
            Qt::QueuedConnection);
        QObject::connect(
            page, &CompressorPage::pageRequested, &host, [&host](int kind) { host.ShowEditor(kind, 0); },
            Qt::QueuedConnection);
        return page;
      }
      case kEditorSurround: {
        auto* page = new SurroundPage(parent);
        QObject::connect(
            page, &SurroundPage::outputPageRequested, &host, [&host](int c) { host.ShowEditor(kEditorOutput, c); },
            Qt::QueuedConnection);
        QObject::connect(
            page, &SurroundPage::pageRequested, &host, [&host](int kind) { host.ShowEditor(kind, 0); },
            Qt::QueuedConnection);
        return page;
      }
      case kEditorRecord: {
        auto* page = new RecordOutputPage(parent);
        QObject::connect(
            page, &RecordOutputPage::outputPageRequested, &host, [&host](int c) { host.ShowEditor(kEditorOutput, c); },
            Qt::QueuedConnection);
        QObject::connect(
            page, &RecordOutputPage::pageRequested, &host, [&host](int kind) { host.ShowEditor(kind, 0); },
            Qt::QueuedConnection);
        return page;
      }
      default:
        return nullptr;
    }
  });
}

}  // namespace dsptune
