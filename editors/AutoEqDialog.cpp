#include "editors/AutoEqDialog.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDoubleSpinBox>
#include <QFile>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>

#include "autoeq/DeviceFit.h"
#include "autoeq/EqFit.h"
#include "autoeq/FitReport.h"
#include "autoeq/Measurement.h"
#include "autoeq/Target.h"
#include "dsp/ResponseGrid.h"
#include "editors/EqGraphPanel.h"
#include "editors/model/EqFilterImport.h"
#include "files/BoundedFileRead.h"
#include "model/EditJournal.h"
#include "model/SettingNames.h"
#include "ui/DialogService.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

// Menu action data, clear of Copy/Paste (0, 1) and the file entries (100..).
constexpr int kAutoEqAction = 200, kClearMeasurementAction = 201;
// A choice is fitted this long after the last change, so typing a number fits once.
constexpr int kRefitDelayMs = 250;
// Bad lines listed per file; the rest are counted.
constexpr int kListedLines = 8;

// Smoothing choices in the drop-down's order, as ParseSmoothing reads them.
constexpr const char* kSmoothings[] = {"none", "1/1", "1/3", "1/6", "1/12", "1/24", "1/48", "var"};
constexpr int kDefaultSmoothing = 4;  // 1/12 octave: keeps room modes, drops the comb of reflections

std::string Utf8(const QString& text) { return text.toStdString(); }
QString Text(const BilingualText& text) {
  return QString::fromStdString(text[CurrentLanguage() == kEnglish ? kTextEnglish : kTextChinese]);
}
QString Pick(const char* chinese, const char* english, int language) {
  return QString::fromUtf8(language == kEnglish ? english : chinese);
}

// What is wrong with a file that could not be read, in both languages.
BilingualText ReadProblem(const FileReadResult& read) {
  switch (read.fault) {
    case FileReadFault::kNone: break;
    case FileReadFault::kMissing: return {"文件不存在", "no such file"};
    case FileReadFault::kFolder: return {"这是文件夹，不是文件", "it is a folder, not a file"};
    case FileReadFault::kNotRegular: return {"这不是普通文件", "it is not a regular file"};
    case FileReadFault::kUnreadable: return {"无法读取", FileReadProblem(read)};
    case FileReadFault::kTooLarge:
    case FileReadFault::kTooSmall: return {"文件大小不像测量文件", "its size is not one of a measurement file"};
  }
  return {"", ""};
}

// A measurement or target file read through the bounded reader: a FIFO or a device
// picked in the file dialog would otherwise block the window.
MeasurementFile ReadFile(const QString& path) {
  const std::string name = Utf8(QFileInfo(path).fileName());
  const FileReadResult read = ReadBoundedFile(QFile::encodeName(path).toStdString());
  if (!read.Ok()) {
    MeasurementFile failed;
    failed.error = ReadProblem(read);
    return failed;
  }
  return ParseMeasurement(std::string_view(reinterpret_cast<const char*>(read.bytes.data()), read.bytes.size()), name);
}

// "name: problem" lines of one file: its error (when it cannot be used) and its bad lines.
std::vector<BilingualText> FileProblems(const QString& path, const MeasurementFile& file) {
  const std::string name = Utf8(QFileInfo(path).fileName());
  std::vector<BilingualText> lines;
  if (!file.ok) lines.push_back({name + "：" + file.error[kTextChinese], name + ": " + file.error[kTextEnglish]});
  const int shown = std::min<int>(int(file.notes.size()), kListedLines);
  for (int i = 0; i < shown; ++i) {
    const BilingualText& note = file.notes[std::size_t(i)];
    lines.push_back({name + "：" + note[kTextChinese], name + ": " + note[kTextEnglish]});
  }
  if (int(file.notes.size()) > shown) {
    const std::string more = std::to_string(file.notes.size() - std::size_t(shown));
    lines.push_back({name + "：另有" + more + "行无法读取", name + ": " + more + " more lines cannot be read"});
  }
  return lines;
}

AutoEqDialogRunner& RunnerSlot() {
  static AutoEqDialogRunner runner;
  return runner;
}

QSpinBox* HzBox(QWidget* parent, int value) {
  auto* box = new QSpinBox(parent);
  box->setRange(int(kFitMinHz), int(kFitMaxHz));
  box->setSuffix(QStringLiteral(" Hz"));
  box->setValue(value);
  return box;
}

QDoubleSpinBox* DbBox(QWidget* parent, double low, double high, double value, const QString& suffix) {
  auto* box = new QDoubleSpinBox(parent);
  box->setRange(low, high);
  box->setDecimals(1);
  box->setSingleStep(0.5);
  box->setSuffix(suffix);
  box->setValue(value);
  return box;
}

}  // namespace

struct AutoEqDialog::State {
  struct File {
    QString path;
    MeasurementFile file;
  };
  std::vector<File> files;              // usable measurements, in list order
  std::vector<BilingualText> rejected;  // why the last file offered was not taken
  std::optional<File> target;           // the target file, when one was read
  std::vector<BilingualText> targetProblems;
  BilingualText error;  // why the last fit failed; empty after a fit
  bool fitCurrent = false;
  FitSetup setup;
  FitResult result;
  EqGraphPanel::Measurement overlay;
};

AutoEqDialog::AutoEqDialog(EqGraphPanel& graph, QWidget* parent)
    : QDialog(parent), graph_(graph), state_(std::make_unique<State>()) {
  Build();
  ApplyTexts();
  UpdateBandLimit();
  UpdateEnabled();
  ShowProblems();
}

AutoEqDialog::~AutoEqDialog() = default;

const FitResult& AutoEqDialog::Result() const { return state_->result; }

void AutoEqDialog::Build() {
  // Measurement files and their smoothing.
  auto* measurementGroup = new QGroupBox(this);
  measurementGroup->setObjectName(QStringLiteral("measurementGroup"));
  files_ = new QListWidget(measurementGroup);
  files_->setMinimumHeight(64);
  files_->setMaximumHeight(96);
  addFile_ = new QPushButton(measurementGroup);
  removeFile_ = new QPushButton(measurementGroup);
  smoothing_ = new QComboBox(measurementGroup);
  for (std::size_t i = 0; i < std::size(kSmoothings); ++i) smoothing_->addItem(QString());
  smoothing_->setCurrentIndex(kDefaultSmoothing);
  auto* fileButtons = new QHBoxLayout;
  fileButtons->addWidget(addFile_);
  fileButtons->addWidget(removeFile_);
  fileButtons->addStretch(1);
  auto* smoothingRow = new QFormLayout;
  auto* smoothingLabel = new QLabel(measurementGroup);
  smoothingRow->addRow(smoothingLabel, smoothing_);
  auto* measurementLayout = new QVBoxLayout(measurementGroup);
  measurementLayout->addWidget(files_);
  measurementLayout->addLayout(fileButtons);
  measurementLayout->addLayout(smoothingRow);

  // Target.
  auto* targetGroup = new QGroupBox(this);
  targetGroup->setObjectName(QStringLiteral("targetGroup"));
  target_ = new QComboBox(targetGroup);
  for (int i = 0; i < 3; ++i) target_->addItem(QString());
  bassRise_ = DbBox(targetGroup, -12.0, 20.0, 6.0, QStringLiteral(" dB"));
  corner_ = HzBox(targetGroup, 120);
  corner_->setRange(20, 1000);
  tilt_ = DbBox(targetGroup, -3.0, 3.0, -0.5, QString());
  tilt_->setSingleStep(0.1);
  targetFile_ = new QLineEdit(targetGroup);
  targetFile_->setReadOnly(true);
  chooseTarget_ = new QPushButton(targetGroup);
  auto* targetForm = new QFormLayout;
  auto* targetKindLabel = new QLabel(targetGroup);
  auto* bassLabel = new QLabel(targetGroup);
  auto* cornerLabel = new QLabel(targetGroup);
  auto* tiltLabel = new QLabel(targetGroup);
  auto* fileLabel = new QLabel(targetGroup);
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(targetFile_, 1);
  fileRow->addWidget(chooseTarget_);
  targetForm->addRow(targetKindLabel, target_);
  targetForm->addRow(bassLabel, bassRise_);
  targetForm->addRow(cornerLabel, corner_);
  targetForm->addRow(tiltLabel, tilt_);
  targetForm->addRow(fileLabel, fileRow);
  auto* targetLayout = new QVBoxLayout(targetGroup);
  targetLayout->addLayout(targetForm);

  // Fit.
  auto* fitGroup = new QGroupBox(this);
  fitGroup->setObjectName(QStringLiteral("fitGroup"));
  lowHz_ = HzBox(fitGroup, 20);
  highHz_ = HzBox(fitGroup, 300);
  maxBoost_ = DbBox(fitGroup, 0.0, kFitMaxGainDb, kDefaultMaxBoostDb, QStringLiteral(" dB"));
  bands_ = new QSpinBox(fitGroup);
  bands_->setRange(0, 0);  // UpdateBandLimit offers every free band at first
  keepExisting_ = new QCheckBox(fitGroup);
  auto* rangeLabel = new QLabel(fitGroup);
  auto* toLabel = new QLabel(fitGroup);
  auto* boostLabel = new QLabel(fitGroup);
  auto* bandsLabel = new QLabel(fitGroup);
  auto* range = new QHBoxLayout;
  range->addWidget(lowHz_, 1);
  range->addWidget(toLabel);
  range->addWidget(highHz_, 1);
  auto* fitForm = new QFormLayout(fitGroup);
  fitForm->addRow(rangeLabel, range);
  fitForm->addRow(boostLabel, maxBoost_);
  fitForm->addRow(bandsLabel, bands_);
  fitForm->addRow(keepExisting_);

  auto* settings = new QVBoxLayout;
  settings->addWidget(measurementGroup);
  settings->addWidget(targetGroup);
  settings->addWidget(fitGroup);
  settings->addStretch(1);

  // Preview, problems and report.
  preview_ = new EqGraphPanel(this);
  ResetPreview();
  preview_->SetMenuRunner([](QMenu&, const QPoint&) { return nullptr; });
  preview_->setMinimumSize(600, 300);
  problems_ = new QLabel(this);
  problems_->setWordWrap(true);
  problems_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  report_ = new QPlainTextEdit(this);
  report_->setReadOnly(true);
  report_->setMinimumHeight(130);
  auto* results = new QVBoxLayout;
  results->addWidget(preview_, 3);
  results->addWidget(problems_);
  results->addWidget(report_, 1);

  auto* buttons = new QDialogButtonBox(this);
  apply_ = buttons->addButton(QString(), QDialogButtonBox::AcceptRole);
  cancel_ = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
  connect(buttons, &QDialogButtonBox::accepted, this, [this] {
    if (Apply()) accept();
  });
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* columns = new QHBoxLayout;
  columns->addLayout(settings);
  columns->addLayout(results, 1);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(columns, 1);
  layout->addWidget(buttons);

  captions_ = {smoothingLabel, targetKindLabel, bassLabel,  cornerLabel,      tiltLabel,   fileLabel, rangeLabel,
               toLabel,        boostLabel,      bandsLabel, measurementGroup, targetGroup, fitGroup};

  refit_ = new QTimer(this);
  refit_->setSingleShot(true);
  refit_->setInterval(kRefitDelayMs);
  connect(refit_, &QTimer::timeout, this, [this] { Fit(); });

  connect(addFile_, &QPushButton::clicked, this, &AutoEqDialog::AddFileFromDialog);
  connect(removeFile_, &QPushButton::clicked, this, &AutoEqDialog::RemoveSelectedFile);
  connect(chooseTarget_, &QPushButton::clicked, this, &AutoEqDialog::ChooseTargetFile);
  connect(smoothing_, &QComboBox::currentIndexChanged, this, &AutoEqDialog::ChoiceChanged);
  connect(target_, &QComboBox::currentIndexChanged, this, &AutoEqDialog::ChoiceChanged);
  for (QDoubleSpinBox* box : {bassRise_, tilt_, maxBoost_})
    connect(box, &QDoubleSpinBox::valueChanged, this, &AutoEqDialog::ChoiceChanged);
  for (QSpinBox* box : {corner_, lowHz_, highHz_, bands_})
    connect(box, &QSpinBox::valueChanged, this, &AutoEqDialog::ChoiceChanged);
  connect(keepExisting_, &QCheckBox::toggled, this, [this] {
    UpdateBandLimit();
    ChoiceChanged();
  });
}

void AutoEqDialog::ResetPreview() {
  EqPanelModel& model = preview_->Model();
  model = graph_.Model();
  model.SetSelected(-1);
  model.SetHovered(-1);
  model.SetClientSize(preview_->width(), preview_->height());
  preview_->SetLanguage(CurrentLanguage());
  preview_->SetDisabled(true);  // a picture of the fit: its bands are set here, not dragged
  preview_->setToolTip(Pick("测量、目标和应用拟合频段后的预测结果",
                            "Measurement, target and the predicted result with the fitted bands", CurrentLanguage()));
}

void AutoEqDialog::ApplyTexts() {
  const int l = CurrentLanguage();
  setWindowTitle(Pick("根据测量自动均衡 - ", "Auto EQ from measurement - ", l) +
                 Text(EqName(graph_.Model().EqNumber())));
  const char* const captions[][2] = {{"平滑", "Smoothing"},
                                     {"目标曲线", "Target"},
                                     {"低音提升", "Bass rise"},
                                     {"转折频率", "Corner"},
                                     {"倾斜", "Tilt"},
                                     {"目标文件", "Target file"},
                                     {"拟合范围", "Fit range"},
                                     {"至", "to"},
                                     {"最大提升", "Boost limit"},
                                     {"频段数", "Bands"},
                                     {"测量文件", "Measurements"},
                                     {"目标", "Target"},
                                     {"拟合", "Fit"}};
  for (int i = 0; i < captions_.size(); ++i) {
    const QString text = Pick(captions[i][0], captions[i][1], l);
    if (auto* label = qobject_cast<QLabel*>(captions_[i])) label->setText(text);
    if (auto* group = qobject_cast<QGroupBox*>(captions_[i])) group->setTitle(text);
  }
  addFile_->setText(Pick("添加…", "Add…", l));
  removeFile_->setText(Pick("移除", "Remove", l));
  chooseTarget_->setText(Pick("选择…", "Choose…", l));
  keepExisting_->setText(
      Pick("保留现有频段（只拟合平直的频段）", "Keep the existing bands (fit the flat ones only)", l));
  apply_->setText(Pick("应用", "Apply", l));
  cancel_->setText(Pick("取消", "Cancel", l));
  for (int i = 0; i < smoothing_->count(); ++i) {
    dsptune::Smoothing s;
    ParseSmoothing(kSmoothings[i], s);
    smoothing_->setItemText(i, Text(SmoothingName(s)));
  }
  target_->setItemText(kTargetFlat, Pick("平直", "Flat", l));
  target_->setItemText(kTargetHouse, Pick("室内曲线（低音提升、倾斜）", "House curve (bass rise, tilt)", l));
  target_->setItemText(kTargetFile, Pick("目标文件", "Target file", l));
  tilt_->setSuffix(Pick(" dB/倍频程", " dB/octave", l));
  maxBoost_->setSpecialValueText(Pick("0 dB（仅衰减）", "0 dB (cuts only)", l));

  files_->setToolTip(Pick("一个文件对应一个话筒位置；多个文件按功率平均",
                          "One file per microphone position; several files are power-averaged", l));
  addFile_->setToolTip(Pick("添加测量程序导出的频率响应文件（文本或逗号分隔的表格）",
                            "Add a frequency response exported by a measurement program (text or CSV)", l));
  smoothing_->setToolTip(Pick("拟合前对测量进行的倍频程平滑", "Octave smoothing of the measurement before the fit", l));
  bassRise_->setToolTip(Pick("转折频率以下比目标高出的电平", "How much higher the target lies below the corner", l));
  tilt_->setToolTip(Pick("目标每个倍频程的斜率，1 kHz处为0 dB", "The target's slope per octave, 0 dB at 1 kHz", l));
  lowHz_->setToolTip(Pick("只在此范围内拟合，例如20–300 Hz只校正房间模式",
                          "Fit only in this range, e.g. 20-300 Hz for room modes only", l));
  highHz_->setToolTip(lowHz_->toolTip());
  maxBoost_->setToolTip(Pick("频段增益的最高值；0表示只衰减，房间凹陷的常规做法",
                             "The highest gain of a band; 0 cuts only, the usual practice for room dips", l));
  bands_->setToolTip(Pick("最多使用的频段数", "The most bands the fit uses", l));
  report_->setToolTip(Pick("拟合报告", "The fit's report", l));
}

void AutoEqDialog::UpdateEnabled() {
  const bool house = target_->currentIndex() == kTargetHouse, file = target_->currentIndex() == kTargetFile;
  for (QWidget* w : {static_cast<QWidget*>(bassRise_), static_cast<QWidget*>(corner_), static_cast<QWidget*>(tilt_)})
    w->setEnabled(house);
  targetFile_->setEnabled(file);
  chooseTarget_->setEnabled(file);
  removeFile_->setEnabled(!state_->files.empty());
  apply_->setEnabled(!state_->files.empty());
}

void AutoEqDialog::ChoiceChanged() {
  state_->fitCurrent = false;
  UpdateEnabled();
  if (!state_->files.empty()) {
    refit_->start();
    return;
  }
  // Nothing to fit yet: no complaint before a file was offered, and no stale picture.
  refit_->stop();
  state_->error = {};
  state_->result = FitResult();
  ResetPreview();
  preview_->ClearMeasurement();
  report_->clear();
  ShowProblems();
}

void AutoEqDialog::UpdateBandLimit() {
  FitOptions options;
  options.keepExistingBands = keepExisting_->isChecked();
  const int free = int(AutoEqSetupFor(graph_.Model().EqNumber(), options).freeSlots.size());
  const bool atMost = bands_->value() == bands_->maximum() || bands_->maximum() == 0;
  bands_->setRange(std::min(1, free), std::max(free, 0));
  if (atMost) bands_->setValue(free);
}

void AutoEqDialog::AddFileFromDialog() {
  const QString path =
      Dialogs().OpenFileName(this, Pick("添加测量文件", "Add a measurement", CurrentLanguage()),
                             Pick("测量文件 (*.txt *.csv *.frd);;所有文件 (*)",
                                  "Measurements (*.txt *.csv *.frd);;All files (*)", CurrentLanguage()));
  if (!path.isEmpty()) AddMeasurementFile(path);
}

bool AutoEqDialog::AddMeasurementFile(const QString& path) {
  MeasurementFile file = ReadFile(path);
  state_->rejected.clear();
  if (!file.ok) {
    state_->rejected = FileProblems(path, file);
    ShowProblems();
    return false;
  }
  files_->addItem(QFileInfo(path).fileName());
  files_->item(files_->count() - 1)->setToolTip(path);
  state_->files.push_back({path, std::move(file)});
  ChoiceChanged();
  ShowProblems();
  return true;
}

void AutoEqDialog::RemoveSelectedFile() {
  const int row = files_->currentRow() >= 0 ? files_->currentRow() : files_->count() - 1;
  if (row < 0 || row >= int(state_->files.size())) return;
  delete files_->takeItem(row);
  state_->files.erase(state_->files.begin() + row);
  state_->rejected.clear();
  ChoiceChanged();
  ShowProblems();
}

void AutoEqDialog::ChooseTargetFile() {
  const QString path =
      Dialogs().OpenFileName(this, Pick("选择目标文件", "Choose a target", CurrentLanguage()),
                             Pick("目标曲线 (*.txt *.csv *.frd);;所有文件 (*)",
                                  "Target curves (*.txt *.csv *.frd);;All files (*)", CurrentLanguage()));
  if (!path.isEmpty()) SetTargetFile(path);
}

bool AutoEqDialog::SetTargetFile(const QString& path) {
  MeasurementFile file = ReadFile(path);
  state_->targetProblems = FileProblems(path, file);
  const bool ok = file.ok;
  if (ok) {
    state_->target = State::File{path, std::move(file)};
    targetFile_->setText(QFileInfo(path).fileName());
    targetFile_->setToolTip(path);
  }
  if (target_->currentIndex() != kTargetFile)
    target_->setCurrentIndex(kTargetFile);  // fits anew
  else
    ChoiceChanged();
  ShowProblems();
  return ok;
}

bool AutoEqDialog::Fit() {
  refit_->stop();
  State& s = *state_;
  s.fitCurrent = true;
  s.error = {};
  s.result = FitResult();
  s.overlay = {};
  ResetPreview();
  preview_->ClearMeasurement();
  report_->clear();
  const auto fail = [&](BilingualText why) {
    s.error = std::move(why);
    apply_->setEnabled(false);
    ShowProblems();
    return false;
  };
  if (s.files.empty()) return fail({"请添加至少一个测量文件", "Add at least one measurement file"});

  std::vector<Measurement> measurements;
  for (const State::File& f : s.files) measurements.push_back(f.file.measurement);
  dsptune::Smoothing smoothing;
  ParseSmoothing(kSmoothings[std::clamp(smoothing_->currentIndex(), 0, int(std::size(kSmoothings)) - 1)], smoothing);
  std::vector<BilingualText> notes;
  const Measurement room = PrepareMeasurements(measurements, smoothing, notes);
  if (room.Empty()) return fail({"测量文件的频率范围互不重叠", "The measurements' frequency ranges do not overlap"});

  dsptune::Target target;
  switch (target_->currentIndex()) {
    case kTargetHouse:
      target.kind = TargetKind::kHouse;
      target.house = {bassRise_->value(), double(corner_->value()), tilt_->value()};
      break;
    case kTargetFile:
      if (!s.target) return fail({"请选择目标文件", "Choose a target file"});
      target.kind = TargetKind::kFile;
      target.curve = s.target->file.measurement;
      break;
    default: break;
  }

  FitOptions options;
  options.lowHz = lowHz_->value();
  options.highHz = highHz_->value();
  options.maxBoostDb = maxBoost_->value();
  options.bands = bands_->value();
  options.keepExistingBands = keepExisting_->isChecked();
  const int eq = graph_.Model().EqNumber();
  s.setup = AutoEqSetupFor(eq, options);
  s.result = FitEq(room, target, s.setup, options, notes);
  report_->setPlainText(QString::fromStdString(FitReportText(s.result, CurrentLanguage())));
  if (!s.result.ok) return fail(s.result.error);

  // The preview: the fitted bands on a copy of the graph, the measurement over them.
  EqPanelModel& model = preview_->Model();
  for (const FittedBand& band : s.result.bands) {
    if (band.slot < 0 || band.slot >= model.BandCount()) continue;
    model.SetBandType(band.slot, band.record.type);
    model.SetBandGain(band.slot, float(band.record.GainDb()));
    model.SetBandFrequency(band.slot, float(band.record.frequency));
    model.SetBandQ(band.slot, float(band.record.Q()));
  }
  EqGraphPanel::Measurement& overlay = s.overlay;
  overlay.eq = eq;
  overlay.fitLowHz = s.result.lowHz;
  overlay.fitHighHz = s.result.highHz;
  overlay.bands = s.setup.freeSlots;
  for (const FixedBand& fixed : s.setup.fixed)
    if (fixed.eq == eq) overlay.bands.push_back(fixed.slot);
  const float none = std::numeric_limits<float>::quiet_NaN();
  const bool fileTarget = target.kind == TargetKind::kFile;
  for (int i = 0; i < kResponsePoints; ++i) {
    const double hz = ResponseGridFrequency(i);
    const bool measured = hz >= room.LowestHz() && hz <= room.HighestHz();
    overlay.measured.push_back(measured ? float(LevelAt(room, hz) + s.result.alignmentDb) : none);
    const bool targeted = !fileTarget || (hz >= target.curve.LowestHz() && hz <= target.curve.HighestHz());
    overlay.target.push_back(targeted ? float(TargetLevelDb(target, hz)) : none);
  }
  preview_->SetMeasurement(overlay);
  apply_->setEnabled(true);
  ShowProblems();
  return true;
}

bool AutoEqDialog::Apply() {
  if (!state_->fitCurrent && !Fit()) return false;
  if (!state_->result.ok) return false;
  const FilterImportPlan plan = AutoEqImportPlan(state_->setup, state_->result);
  if (!plan.Usable()) return false;
  {
    // One step of the history: Undo takes every band back, the linked EQs' too.
    const EditStepScope step({"根据测量自动均衡", "Auto EQ from measurement"});
    ApplyFilterImport(plan, graph_.CurrentLinkedEqs());
  }
  graph_.SetMeasurement(state_->overlay);
  return true;
}

void AutoEqDialog::ShowProblems() {
  const State& s = *state_;
  QStringList lines;
  for (const BilingualText& line : s.rejected) lines << Text(line);
  for (const State::File& f : s.files)
    for (const BilingualText& line : FileProblems(f.path, f.file)) lines << Text(line);
  if (target_->currentIndex() == kTargetFile)
    for (const BilingualText& line : s.targetProblems) lines << Text(line);
  const bool blocking = !s.rejected.empty() || !s.error[kTextEnglish].empty();
  if (!s.error[kTextEnglish].empty()) lines.prepend(Text(s.error));
  problems_->setText(lines.join(QLatin1Char('\n')));
  problems_->setVisible(!lines.isEmpty());
  QPalette palette = problems_->palette();
  palette.setColor(QPalette::WindowText, blocking ? QColor(200, 30, 30) : QColor(170, 100, 0));
  problems_->setPalette(palette);
}

void AddAutoEqActions(QMenu& menu, const EqGraphPanel& graph, int language) {
  menu.addSeparator();
  menu.addAction(Pick("根据测量自动均衡…", "Auto EQ from measurement…", language))->setData(kAutoEqAction);
  if (graph.ShowsMeasurement())
    menu.addAction(Pick("清除测量曲线", "Clear the measurement", language))->setData(kClearMeasurementAction);
}

GraphFileOutcome RunAutoEqAction(EqGraphPanel& graph, const QAction& chosen) {
  bool ok = false;
  const int action = chosen.data().toInt(&ok);
  if (!ok || (action != kAutoEqAction && action != kClearMeasurementAction)) return GraphFileOutcome::kNotFileAction;
  if (action == kClearMeasurementAction) {
    graph.ClearMeasurement();
    return GraphFileOutcome::kDone;
  }
  const QPointer<EqGraphPanel> alive(&graph);
  AutoEqDialog dialog(graph, &graph);
  const int result = RunnerSlot() ? RunnerSlot()(dialog) : dialog.exec();
  if (alive.isNull()) return GraphFileOutcome::kDone;
  return result == QDialog::Accepted ? GraphFileOutcome::kEqReplaced : GraphFileOutcome::kDone;
}

void SetAutoEqDialogRunner(AutoEqDialogRunner runner) { RunnerSlot() = std::move(runner); }

}  // namespace dsptune
