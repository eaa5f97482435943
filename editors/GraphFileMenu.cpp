#include "editors/GraphFileMenu.h"

#include <QAction>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QSpinBox>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>

#include "dsp/FilterFile.h"
#include "dsp/ResponseGrid.h"
#include "editors/EqGraphPanel.h"
#include "editors/model/EqFilterImport.h"
#include "files/BoundedFileRead.h"
#include "model/EditJournal.h"
#include "model/SettingNames.h"
#include "ui/DialogService.h"

namespace dsptune {
namespace {

struct Texts {
  const char* chinese;
  const char* english;
};

// Menu entries and their action data (clear of the Copy/Paste entries' 0 and 1).
constexpr int kFirstAction = 100;
constexpr Texts kEntries[] = {
    {"导入滤波器…", "Import filters…"},
    {"导出滤波器…", "Export filters…"},
    {"保存图形为图片…", "Save graph as image…"},
    {"保存响应为CSV…", "Save response as CSV…"},
};
enum Entry { kImport, kExport, kImage, kCsv };

constexpr int kMinImageSide = 16, kMaxImageSide = 8000;

QString Pick(const Texts& t, int language) { return QString::fromUtf8(language == 1 ? t.english : t.chinese); }
int LanguageOf(const EqGraphPanel& panel) { return panel.Model().Language() == 1 ? 1 : 0; }
QString Pick(const EqGraphPanel& panel, const char* chinese, const char* english) {
  return Pick(Texts{chinese, english}, LanguageOf(panel));
}
// Offered file names are English, whatever the interface language: they travel to
// other computers and tools.
QString FileStem(const EqGraphPanel& panel) {
  return QString::fromStdString(EqName(panel.Model().EqNumber())[kTextEnglish]);
}

void Say(EqGraphPanel& panel, const QString& text, QMessageBox::Icon icon) {
  Dialogs().Message(&panel, Pick(panel, "信息", "Information"), text, icon);
}

void CannotWrite(EqGraphPanel& panel, const QString& path) {
  Dialogs().Message(&panel, Pick(panel, "错误", "Error"), Pick(panel, "无法写入文件：\n", "Cannot write the file:\n") + path,
                    QMessageBox::Warning);
}

bool WriteFile(const QString& path, const QByteArray& bytes) {
  QFile file(path);
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() && file.flush();
}

std::optional<QSize> AskWithDialog(QWidget* parent, QSize graphSize, int language) {
  QDialog dialog(parent);
  dialog.setWindowTitle(Pick(Texts{"图片尺寸", "Image size"}, language));
  auto* width = new QSpinBox(&dialog);
  auto* height = new QSpinBox(&dialog);
  for (QSpinBox* box : {width, height}) {
    box->setRange(kMinImageSide, kMaxImageSide);
    box->setSuffix(QStringLiteral(" px"));
  }
  width->setValue(graphSize.width());
  height->setValue(graphSize.height());
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* form = new QFormLayout(&dialog);
  form->addRow(Pick(Texts{"宽度", "Width"}, language), width);
  form->addRow(Pick(Texts{"高度", "Height"}, language), height);
  form->addRow(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return QSize(width->value(), height->value());
}

ImageSizeAsker& SizeAskerSlot() {
  static ImageSizeAsker asker;
  return asker;
}

}  // namespace

void SetImageSizeAsker(ImageSizeAsker asker) { SizeAskerSlot() = std::move(asker); }

void AddGraphFileActions(QMenu& menu, int language) {
  menu.addSeparator();
  for (int e = 0; e < int(std::size(kEntries)); ++e)
    menu.addAction(Pick(kEntries[e], language == 1 ? 1 : 0))->setData(kFirstAction + e);
}

GraphFileOutcome RunGraphFileAction(EqGraphPanel& panel, const QAction& chosen) {
  bool ok = false;
  const int entry = chosen.data().toInt(&ok) - kFirstAction;
  if (!ok || entry < 0 || entry >= int(std::size(kEntries))) return GraphFileOutcome::kNotFileAction;
  switch (entry) {
    case kImport: return ImportFilters(panel);
    case kExport: ExportFilters(panel); break;
    case kImage: SaveGraphImage(panel); break;
    case kCsv: SaveResponseCsv(panel); break;
  }
  return GraphFileOutcome::kDone;
}

GraphFileOutcome ImportFilters(EqGraphPanel& panel) {
  const int eq = panel.Model().EqNumber();
  const QString path = Dialogs().OpenFileName(&panel, Pick(panel, "导入滤波器", "Import filters"),
                                              Pick(panel, "滤波器文件 (*.txt);;所有文件 (*)",
                                                   "Filter files (*.txt);;All files (*)"));
  if (path.isEmpty()) return GraphFileOutcome::kDone;
  // A FIFO or device picked in the dialog would block the window or fill the memory.
  const FileReadResult read = ReadBoundedFile(QFile::encodeName(path).toStdString());
  if (!read.Ok()) {
    Dialogs().Message(&panel, Pick(panel, "错误", "Error"),
                      Pick(panel, "无法读取文件：\n", "Cannot read the file:\n") + path + '\n' +
                          QString::fromStdString(FileReadProblem(read)),
                      QMessageBox::Warning);
    return GraphFileOutcome::kDone;
  }
  const std::string_view bytes(reinterpret_cast<const char*>(read.bytes.data()), read.bytes.size());
  const FilterImportPlan plan = PlanFilterImport(eq, ParseFilterFile(bytes));
  const std::vector<int> linked = panel.CurrentLinkedEqs();
  if (plan.Usable()) {
    // One step of the history: Undo takes the whole import back, the linked EQs' too.
    const EditStepScope step({"导入滤波器", "Import filters"});
    ApplyFilterImport(plan, linked);
  }
  QStringList lines;
  if (plan.Usable()) {
    QStringList names;
    for (int target : FilterImportTargets(plan, linked))
      names << QString::fromStdString(EqName(target)[std::size_t(LanguageOf(panel))]);
    lines << Pick(panel, "已将%1个滤波器导入%2。", "Imported %1 filter(s) into %2.")
                 .arg(plan.filtersUsed)
                 .arg(names.join(Pick(panel, "、", ", ")));
  }
  for (const ImportNote& note : plan.notes)
    lines << QString::fromStdString(note.text[std::size_t(LanguageOf(panel))]);
  QPointer<EqGraphPanel> alive(&panel);
  Say(panel, lines.join(QLatin1Char('\n')), plan.notes.empty() ? QMessageBox::Information : QMessageBox::Warning);
  if (alive.isNull()) return GraphFileOutcome::kDone;
  return plan.Usable() ? GraphFileOutcome::kEqReplaced : GraphFileOutcome::kDone;
}

void ExportFilters(EqGraphPanel& panel) {
  const QString path = Dialogs().SaveFileName(&panel, Pick(panel, "导出滤波器", "Export filters"),
                                              FileStem(panel) + QStringLiteral(".txt"), QStringLiteral("txt"),
                                              Pick(panel, "滤波器文件 (*.txt)", "Filter files (*.txt)"));
  if (path.isEmpty()) return;
  if (!WriteFile(path, QByteArray::fromStdString(ExportEqFilters(panel.Model().EqNumber())))) CannotWrite(panel, path);
}

void SaveGraphImage(EqGraphPanel& panel) {
  const QString path = Dialogs().SaveFileName(
      &panel, Pick(panel, "保存图形为图片", "Save graph as image"), FileStem(panel) + QStringLiteral(".png"),
      QStringLiteral("png"), Pick(panel, "PNG图片 (*.png);;SVG图片 (*.svg)", "PNG image (*.png);;SVG image (*.svg)"));
  if (path.isEmpty()) return;
  const int language = LanguageOf(panel);
  const std::optional<QSize> size =
      SizeAskerSlot() ? SizeAskerSlot()(&panel, panel.size()) : AskWithDialog(&panel, panel.size(), language);
  if (!size) return;
  if (!WriteGraphImage(panel, path, *size)) CannotWrite(panel, path);
}

void SaveResponseCsv(EqGraphPanel& panel) {
  const QString path = Dialogs().SaveFileName(&panel, Pick(panel, "保存响应为CSV", "Save response as CSV"),
                                              FileStem(panel) + QStringLiteral(".csv"), QStringLiteral("csv"),
                                              Pick(panel, "CSV文件 (*.csv)", "CSV files (*.csv)"));
  if (path.isEmpty()) return;
  if (!WriteResponseCsv(panel, path)) CannotWrite(panel, path);
}

bool WriteGraphImage(const EqGraphPanel& panel, const QString& path, QSize size) {
  if (size.width() < kMinImageSide || size.height() < kMinImageSide || size.width() > kMaxImageSide ||
      size.height() > kMaxImageSide)
    return false;
  // A larger picture is the screen's graph enlarged: text, lines and markers grow with
  // it. The layout is the graph's at the size divided by the scale, so the side that
  // grew the least keeps the screen's proportions. A smaller picture keeps screen-sized
  // text, which would be unreadable shrunk.
  const QSize screen = panel.size();
  const qreal scale = screen.isEmpty() ? 1.0
                                       : std::max(1.0, std::min(qreal(size.width()) / screen.width(),
                                                                qreal(size.height()) / screen.height()));
  const QSize layout(int(std::ceil(size.width() / scale)), int(std::ceil(size.height() / scale)));
  // A twin of the graph at that size, never shown: the picture is what the graph would
  // paint there, colours, selection and overlay included.
  EqGraphPanel twin;
  twin.Model() = panel.Model();
  twin.SetOverlayCurve(panel.OverlayCurve(), panel.OverlayColor(), panel.OverlayCaption());
  twin.SetMeasurement(panel.MeasurementOverlay());
  twin.resize(layout);
  twin.Model().SetClientSize(layout.width(), layout.height());
  twin.SetPictureScale(scale);
  if (QFileInfo(path).suffix().compare(QStringLiteral("svg"), Qt::CaseInsensitive) == 0) {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(size);
    svg.setViewBox(QRect(QPoint(0, 0), size));
    svg.setTitle(QString::fromStdString(EqName(panel.Model().EqNumber())[kTextEnglish]));
    QPainter painter;
    if (!painter.begin(&svg)) return false;
    painter.scale(scale, scale);
    twin.render(&painter);
    return painter.end() && QFileInfo(path).size() > 0;
  }
  QImage image(size, QImage::Format_RGB32);
  image.fill(Qt::black);
  image.setDevicePixelRatio(scale);
  {
    QPainter painter(&image);
    twin.render(&painter);
  }
  image.setDevicePixelRatio(1.0);
  return image.save(path, "PNG");
}

bool WriteResponseCsv(const EqGraphPanel& panel, const QString& path) {
  // The graph pins a peaking band's curve to its gain at the point under its marker, so
  // the drawn peak reaches the set value; a file of the response carries what the bands
  // really give there, so its bands are computed again without the pin.
  EqPanelModel bands = panel.Model();
  for (int i = 0; i < bands.BandCount(); ++i)
    ComputeBandResponse(*bands.BandAt(i), EqPanelModel::kAxisMinHz, EqPanelModel::kAxisMaxHz, 0);
  const auto sum = bands.SummedResponse();
  const std::vector<float>& chain = panel.OverlayCurve();
  QByteArray text = chain.empty() ? "frequency_hz,db\n" : "frequency_hz,db,chain_db\n";
  for (int i = 0; i < kResponsePoints; ++i) {
    text += QString::asprintf("%.3f,%.4f", double(ResponseGridFrequency(i)), double(sum[std::size_t(i)])).toLatin1();
    if (!chain.empty()) text += QString::asprintf(",%.4f", double(chain[std::size_t(i)])).toLatin1();
    text += '\n';
  }
  return WriteFile(path, text);
}

}  // namespace dsptune
