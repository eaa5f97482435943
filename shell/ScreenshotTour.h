#pragma once
// Pictures of the whole interface for a look without a display: every editor page in
// both languages at window sizes of 1024×600, 1366×768 and 1400×900 (scrolled to its
// end as well where the page area scrolls), and every dialog in both languages.
#include <QString>
#include <QStringList>

namespace dsptune {

class MainWindow;

// Saves the pictures below `folder` (<size>/<language>-<page>.png and
// dialogs/<language>-<dialog>.png) and returns the files written. The window is left
// in its first language, size and page.
QStringList TakeScreenshotTour(MainWindow& window, const QString& folder);

}  // namespace dsptune
