#include "shell/ScreenshotTour.h"

#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QScrollArea>
#include <QScrollBar>

#include "editors/AutoEqDialog.h"
#include "editors/EqGraphPanel.h"
#include "shell/AboutBox.h"
#include "shell/MachineSettingsDialog.h"
#include "shell/MainWindow.h"
#include "shell/NetworkDialog.h"
#include "ui/EditorPage.h"
#include "ui/InterfaceLanguage.h"
#include "ui/Ribbon.h"

namespace dsptune {
namespace {

const QSize kSizes[] = {{1024, 600}, {1366, 768}, {1400, 900}};

QString LanguageName() { return CurrentLanguage() == kEnglish ? QStringLiteral("en") : QStringLiteral("zh"); }

// Lets layouts, deferred paints and timers of zero length settle before a grab.
void Settle() {
  for (int i = 0; i < 3; ++i) QApplication::processEvents();
}

bool Save(QWidget& widget, const QString& path, QStringList& written) {
  QDir().mkpath(QFileInfo(path).path());
  Settle();
  if (!widget.grab().save(path)) return false;
  written << path;
  return true;
}

void ShotsOfPages(MainWindow& window, const QDir& root, QStringList& written) {
  for (const QSize& size : kSizes) {
    window.resize(size);
    const QString folder = root.filePath(QStringLiteral("%1x%2").arg(size.width()).arg(size.height()));
    for (const TourPage& page : TourPages()) {
      ShowTourPage(window, page, 0);
      QScrollArea& area = window.PageArea();
      area.verticalScrollBar()->setValue(0);
      area.horizontalScrollBar()->setValue(0);
      const QString base = QStringLiteral("%1/%2-%3").arg(folder, LanguageName(), QLatin1String(page.name));
      Save(window, base + QStringLiteral(".png"), written);
      if (area.verticalScrollBar()->maximum() > 0 || area.horizontalScrollBar()->maximum() > 0) {
        area.verticalScrollBar()->setValue(area.verticalScrollBar()->maximum());
        area.horizontalScrollBar()->setValue(area.horizontalScrollBar()->maximum());
        Save(window, base + QStringLiteral("-scrolled.png"), written);
        area.verticalScrollBar()->setValue(0);
        area.horizontalScrollBar()->setValue(0);
      }
    }
  }
}

void ShotsOfDialogs(MainWindow& window, const QDir& root, QStringList& written) {
  const QString folder = root.filePath(QStringLiteral("dialogs"));
  VisitDialogs(window, [&](QWidget& dialog, const char* name) {
    Save(dialog, QStringLiteral("%1/%2-%3.png").arg(folder, LanguageName(), QLatin1String(name)), written);
  });
}

}  // namespace

const std::vector<TourPage>& TourPages() {
  static const std::vector<TourPage> pages = {
      {"mic-music", 0, kEditorMicMusic}, {"effects-eq", 0, kEditorEffectsEq}, {"compressor", 0, kEditorCompressor},
      {"output", 1, kEditorOutput},      {"surround", 1, kEditorSurround},    {"record", 1, kEditorRecord},
  };
  return pages;
}

void ShowTourPage(MainWindow& window, const TourPage& page, int channel) {
  Ribbon& ribbon = window.RibbonBar();
  ribbon.SetActiveCategory(std::min(page.category, ribbon.CategoryCount() - 1));
  window.View().ShowEditor(page.kind, channel);
}

void VisitDialogs(MainWindow& window, const std::function<void(QWidget& dialog, const char* name)>& visit) {
  auto show = [&](QWidget* dialog, const char* name) {
    if (!dialog) return;
    visit(*dialog, name);
    dialog->hide();
  };
  const std::pair<MainWindow::LinkedDialog, const char*> linked[] = {
      {MainWindow::LinkedDialog::Features, "features"},
      {MainWindow::LinkedDialog::InputSource, "input-source"},
      {MainWindow::LinkedDialog::Remote, "remote"},
  };
  for (const auto& [which, name] : linked) {
    window.ShowLinkedDialog(which);
    show(window.LinkedDialogOf(which), name);
  }
  window.ShowNetworkDialog();
  show(window.NetworkDialogInstance(), "network");
  window.ShowMachineSettings();
  show(window.MachineSettingsInstance(), "machine-settings");
  AboutBox about(&window);
  about.show();
  show(&about, "about");
  // The auto EQ dialog of the EQ graph the first page shows.
  ShowTourPage(window, TourPages().front(), 0);
  QApplication::processEvents();
  for (EqGraphPanel* graph : window.findChildren<EqGraphPanel*>()) {
    if (!graph->isVisible()) continue;
    AutoEqDialog autoEq(*graph, &window);
    autoEq.show();
    show(&autoEq, "auto-eq");
    break;
  }
}

QStringList TakeScreenshotTour(MainWindow& window, const QString& folder) {
  QStringList written;
  const QDir root(folder);
  const QSize originalSize = window.size();
  const int originalLanguage = CurrentLanguage();
  for (int pass = 0; pass < 2; ++pass) {
    ShotsOfPages(window, root, written);
    ShotsOfDialogs(window, root, written);
    window.SwitchLanguage();
  }
  if (CurrentLanguage() != originalLanguage) window.SwitchLanguage();
  window.resize(originalSize);
  window.RibbonBar().SetActiveCategory(0);
  Settle();
  return written;
}

}  // namespace dsptune
