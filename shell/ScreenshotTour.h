#pragma once
// Pictures of the whole interface for a look without a display: every editor page in
// both languages at window sizes of 1024×600, 1366×768 and 1400×900 (scrolled to its
// end as well where the page area scrolls), and every dialog in both languages.
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QWidget;

namespace dsptune {

class MainWindow;

// The editor pages, with the ribbon category each is shown under (0 input, 1 output).
struct TourPage {
  const char* name;
  int category;
  int kind;
};
const std::vector<TourPage>& TourPages();
// Shows `page` on `channel` in the window, under its category.
void ShowTourPage(MainWindow& window, const TourPage& page, int channel);
// Shows every dialog of the window in turn (features, input source, remote, network,
// machine settings, about, and the auto EQ of the first page's graph), hands it to
// `visit` with its name, then hides it.
void VisitDialogs(MainWindow& window, const std::function<void(QWidget& dialog, const char* name)>& visit);

// Saves the pictures below `folder` (<size>/<language>-<page>.png and
// dialogs/<language>-<dialog>.png) and returns the files written. The window is left
// in its first language, size and page.
QStringList TakeScreenshotTour(MainWindow& window, const QString& folder);

}  // namespace dsptune
