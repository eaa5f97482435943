#pragma once
// The file entries of an EQ graph's right-click menu: "Import filters..." (a measurement
// tool's filter set into the shown EQ, one undoable step, with a report of every line
// the device could not take), "Export filters...", "Save graph as image..." (PNG or SVG,
// at the graph's size or one the user picks) and "Save response as CSV...". Files are
// chosen through the dialog service, so tests answer without a human.
#include <QColor>
#include <QSize>
#include <QString>

#include <functional>
#include <optional>

class QAction;
class QMenu;
class QWidget;

namespace dsptune {

class EqGraphPanel;

enum class GraphFileOutcome {
  kNotFileAction,  // the chosen entry is not one of these
  kDone,           // carried out, or cancelled; the EQ is unchanged
  kEqReplaced,     // filters were imported: the host reloads the shown EQ
};

// Appends a separator and the four entries (texts in `language`: 0 Chinese, 1 English).
void AddGraphFileActions(QMenu& menu, int language);
// Carries out `chosen` when it is one of the four.
GraphFileOutcome RunGraphFileAction(EqGraphPanel& panel, const QAction& chosen);

// The four steps on their own, for the menu and for tests.
GraphFileOutcome ImportFilters(EqGraphPanel& panel);
void ExportFilters(EqGraphPanel& panel);
void SaveGraphImage(EqGraphPanel& panel);
void SaveResponseCsv(EqGraphPanel& panel);

// Draws the graph as it stands (bands, selection, overlay, language) at `size` into a
// PNG or an SVG file, by the file's suffix; a picture larger than the graph is the graph
// enlarged, its text and lines grown with it. False when it cannot be written.
bool WriteGraphImage(const EqGraphPanel& panel, const QString& path, QSize size);
// "frequency_hz,db" rows of the summed curve on the response grid, plus a "chain_db"
// column while an overlay curve is shown. False when it cannot be written.
bool WriteResponseCsv(const EqGraphPanel& panel, const QString& path);

// Asks for the picture's size, offering the graph's own; nullopt when cancelled. The
// default shows a small dialog; tests install their own answer (nullptr restores it).
using ImageSizeAsker = std::function<std::optional<QSize>(QWidget* parent, QSize graphSize)>;
void SetImageSizeAsker(ImageSizeAsker asker);

}  // namespace dsptune
