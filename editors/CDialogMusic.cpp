#include "editors/CDialogMusic.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStackedWidget>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <functional>

#include "dsp/Biquad.h"
#include "dsp/Crossover.h"
#include "dsp/EqBandStore.h"
#include "editors/CEqPanel.h"
#include "editors/CSmallEqPanel.h"
#include "editors/EffectParameterList.h"
#include "editors/model/EffectParameters.h"
#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "shell/DialogTexts.h"
#include "shell/ShellLanguage.h"

namespace dsptune {
namespace {

constexpr int kDialogNumber = 313;
const QColor kPageBackground(240, 250, 255);
const QColor kListBackground(20, 20, 20);

// What the selector chooses: the EQ shown, the effect half, the EQ bypass parameter
// and the colours of the list texts and thumbnail curves.
struct ChannelInfo {
  int eq;
  int half;  // -1: no effects
  std::uint8_t bypassBlock;
  std::uint8_t bypassAddress;
  QColor listColor;
  QColor curveColor;
};

const ChannelInfo& Info(int channel) {
  static const ChannelInfo kChannels[3] = {
      {kEqMicA, kEffectHalfA, 1, 0x21, QColor(0, 200, 255), QColor(0, 200, 255)},
      {kEqMicB, kEffectHalfB, 1, 0x3C, QColor(0, 220, 0), QColor(0, 220, 0)},
      {kEqMusic, -1, 4, 0x0B, QColor(255, 200, 0), QColor(100, 100, 100)},
  };
  return kChannels[std::clamp(channel, 0, 2)];
}

// Echo EQ and reverb EQ bypass parameters of each half (blocks 2 and 3).
constexpr std::uint8_t kEchoBypass[2] = {0x07, 0x15};
constexpr std::uint8_t kReverbBypass[2] = {0x07, 0x13};
constexpr std::uint8_t kEchoTypeAddress[2] = {0x08, 0x16};

// Band list columns.
enum BandColumn { kColNumber = 0, kColType, kColGain, kColFrequency, kColQ, kBandColumns };
constexpr int kBandRowHeight = 16;
constexpr int kMostBands = 15;  // Mic A and Mic B; the Music EQ has 10

// Control numbers of the dialog's texts in the language tables.
constexpr int kSelectorIds[3] = {1068, 1069, 1070};
constexpr int kEchoTypeGroupId = 1132;
constexpr int kMusicPeakGroupId = 1142;
constexpr int kEchoTypeIds[2] = {1145, 1146};
constexpr int kRouteAFirstId = 1153;  // input k: CH A 1153 + 4k, CH B 1155 + 4k
constexpr int kInputGroupFirstId = 1182;
constexpr int kGateCaptionFirstId = 1186;
constexpr int kVolumeCaptionFirstId = 1190;
constexpr int kReverbTitleId = 1194, kReverbHintId = 1195, kEchoTitleId = 1196, kEchoHintId = 1197;
constexpr int kGainCaptionId = 1199, kFrequencyCaptionId = 1200, kQCaptionId = 1201, kTypeGroupId = 1202;
constexpr int kBandTypeFirstId = 1204;  // "PEQ" .. "HS": 1204 .. 1208

QString MenuTypeName(int menuType) {
  static const char* const kEnglish[5] = {"PEQ", "LP", "HP", "LS", "HS"};
  static const char* const kChinese[5] = {"参量", "低通", "高通", "低架", "高架"};
  if (menuType < 1 || menuType > 5) return QString();
  return PickText(kChinese[menuType - 1], kEnglish[menuType - 1]);
}

// What the type cell shows for a band: its menu type, "OFF" for type 0, and for a
// cascade head the menu type its sections amount to.
QString TypeText(const EqBand& band) {
  if (band.type == kFilterOff) return PickText("关闭", "OFF");
  if (IsCascadeHead(band)) {
    int menuType = 0;
    CrossoverReverseLookup(band.type, band.linked[0]->type, band.linked[1]->type, band.linked[2]->type, menuType);
    if (menuType >= 1 && menuType <= 5) return MenuTypeName(menuType);
  }
  if (band.type >= 1 && band.type <= 5) return MenuTypeName(band.type);
  return QString::number(band.type);
}

// The number a text field starts with ("12Hz" is 12, "+3.5dB" 3.5); 0 when it starts
// with none. Independent of the process locale.
double LeadingNumber(const QString& text) {
  const std::string s = text.trimmed().toStdString();
  const char* first = s.data();
  const char* last = s.data() + s.size();
  if (first != last && *first == '+') ++first;
  double value = 0.0;
  const auto result = std::from_chars(first, last, value, std::chars_format::general);
  if (result.ec != std::errc() || !std::isfinite(value)) return 0.0;
  return value;
}

QString GainText(float gain) { return QString::asprintf("%+-.1fdB", double(gain)); }
QString FrequencyText(float hz) { return QString::asprintf("%.0fHz", double(hz)); }
QString QText(float q) { return QString::asprintf("%.2f", double(q)); }

QTableWidgetItem* BandItem(const QString& text, bool editable) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(Qt::AlignCenter);
  Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
  if (editable) flags |= Qt::ItemIsEditable;
  item->setFlags(flags);
  return item;
}

// The band list's type cell is edited with a drop-down of the five menu types; a choice
// goes straight to the page (also when the same type is chosen again). Leaving the
// drop-down without choosing applies nothing: re-applying a type resets its Q.
class BandTypeDelegate : public QStyledItemDelegate {
 public:
  using Choose = std::function<void(int row, int menuType)>;
  BandTypeDelegate(Choose choose, QObject* parent) : QStyledItemDelegate(parent), choose_(std::move(choose)) {}

  QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
    auto* combo = new QComboBox(parent);
    for (int t = 1; t <= 5; ++t) combo->addItem(MenuTypeName(t));
    auto* self = const_cast<BandTypeDelegate*>(this);
    connect(combo, &QComboBox::activated, self, [self, combo] {
      combo->setProperty(kChosen, true);
      emit self->commitData(combo);
      emit self->closeEditor(combo);
    });
    return combo;
  }
  void setEditorData(QWidget* editor, const QModelIndex& index) const override {
    auto* combo = static_cast<QComboBox*>(editor);
    combo->setCurrentIndex(std::max(0, combo->findText(index.data().toString())));
  }
  void setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const override {
    if (!editor->property(kChosen).toBool()) return;
    editor->setProperty(kChosen, false);
    choose_(index.row(), static_cast<QComboBox*>(editor)->currentIndex() + 1);
  }

 private:
  static constexpr char kChosen[] = "typeChosen";
  Choose choose_;
};

QLabel* CaptionLabel(QWidget* parent, int controlId) {
  auto* label = new QLabel(parent);
  if (controlId) SetControlId(label, controlId);
  return label;
}

QProgressBar* MakeMeter(QWidget* parent) {
  auto* meter = new QProgressBar(parent);
  meter->setOrientation(Qt::Vertical);
  meter->setRange(0, 100);
  meter->setValue(0);
  meter->setTextVisible(false);
  meter->setFixedWidth(12);
  meter->setMinimumHeight(60);
  meter->setStyleSheet(
      "QProgressBar { background: rgb(20,20,20); border: 1px solid rgb(120,120,120); }"
      "QProgressBar::chunk { background: qlineargradient(x1:0, y1:1, x2:0, y2:0, stop:0 rgb(0,200,0), "
      "stop:0.7 rgb(230,230,0), stop:1 rgb(255,40,40)); }");
  return meter;
}

}  // namespace

CDialogMusic::CDialogMusic(int channel, QWidget* parent)
    : EditorPage(kEditorMicMusic, (channel >= 0 && channel <= 2) ? channel : 0, parent) {
  setAutoFillBackground(true);
  connect(this, &CDialogMusic::eqBypassChanged, this, &EditorPage::eqStateChanged);
  connect(this, &CDialogMusic::channelSelected, this, &EditorPage::eqStateChanged);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, kPageBackground);
  setPalette(palette);
  setMinimumSize(1024, 520);

  BuildSelector();
  BuildEqArea();
  BuildEffectArea();
  BuildThumbnails();
  BuildInputs();
  BuildMusicMeters();
  LayOut();

  ApplyTexts();
  statusTimer_ = new QTimer(this);
  statusTimer_->setInterval(kStatusPeriodMs);
  connect(statusTimer_, &QTimer::timeout, this, &CDialogMusic::PollStatus);
  statusTimer_->start();
  PollStatus();
  RefreshPage();
}

CDialogMusic::~CDialogMusic() = default;

// ---------------------------------------------------------------- building

void CDialogMusic::BuildSelector() {
  auto* group = new QButtonGroup(this);
  group->setExclusive(true);
  for (int c = 0; c < 3; ++c) {
    auto* button = new QPushButton(this);
    button->setCheckable(true);
    button->setMinimumSize(110, 26);
    SetControlId(button, kSelectorIds[c]);
    group->addButton(button, c);
    selector_[std::size_t(c)] = button;
  }
  connect(group, &QButtonGroup::idClicked, this, [this](int c) {
    SetChannel(c);
    emit channelSelected(c);
  });
}

void CDialogMusic::BuildEqArea() {
  eqPanel_ = new CEqPanel(this);
  eqPanel_->setMinimumSize(520, 240);
  connect(eqPanel_, &CEqPanel::BandChanged, this, &CDialogMusic::OnBandChanged);
  connect(eqPanel_, &CEqPanel::BandPressed, this, &CDialogMusic::OnBandPressed);
  connect(eqPanel_, &CEqPanel::EmptyClicked, this, &CDialogMusic::OnEmptyClicked);
  connect(eqPanel_, &CEqPanel::CopyPasteRequested, this, &CDialogMusic::OnCopyPaste);

  bandList_ = new QTableWidget(0, kBandColumns, this);
  bandList_->verticalHeader()->hide();
  bandList_->verticalHeader()->setDefaultSectionSize(kBandRowHeight);
  bandList_->verticalHeader()->setMinimumSectionSize(kBandRowHeight);
  bandList_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  bandList_->horizontalHeader()->setHighlightSections(false);
  const int widths[kBandColumns] = {30, 55, 60, 60, 50};
  for (int c = 0; c < kBandColumns; ++c) bandList_->setColumnWidth(c, widths[c]);
  bandList_->setSelectionMode(QAbstractItemView::SingleSelection);
  bandList_->setSelectionBehavior(QAbstractItemView::SelectItems);
  bandList_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                             QAbstractItemView::EditKeyPressed);
  bandList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  bandList_->horizontalHeader()->setStretchLastSection(true);
  bandList_->setShowGrid(false);
  QPalette listPalette = bandList_->palette();
  listPalette.setColor(QPalette::Base, kListBackground);
  listPalette.setColor(QPalette::Highlight, QColor(60, 70, 90));
  listPalette.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
  bandList_->setPalette(listPalette);
  bandList_->setItemDelegateForColumn(
      kColType, new BandTypeDelegate([this](int row, int menuType) { ApplyMenuTypeAndWrite(row, menuType); }, this));
  connect(bandList_, &QTableWidget::itemChanged, this, &CDialogMusic::OnBandItemChanged);

  bandEditor_ = BuildBandEditor();
  bandStack_ = new QStackedWidget(this);
  bandStack_->addWidget(bandList_);
  bandStack_->addWidget(bandEditor_);
  bandStack_->setFixedWidth(30 + 55 + 60 + 60 + 50 + 2 * bandList_->frameWidth());
}

QWidget* CDialogMusic::BuildBandEditor() {
  auto* editor = new QWidget(this);
  bandNumber_ = new QLabel(editor);
  QFont big = bandNumber_->font();
  big.setPointSizeF(big.pointSizeF() * 2.2);
  big.setBold(true);
  bandNumber_->setFont(big);
  bandNumber_->setAlignment(Qt::AlignCenter);
  bandNumber_->setMinimumWidth(44);
  bandNumber_->setFrameShape(QFrame::StyledPanel);

  bandTypeGroup_ = new QGroupBox(editor);
  SetControlId(bandTypeGroup_, kTypeGroupId);
  bandTypes_ = new QButtonGroup(editor);
  auto* typeLayout = new QGridLayout(bandTypeGroup_);
  typeLayout->setContentsMargins(6, 4, 6, 4);
  typeLayout->setHorizontalSpacing(6);
  typeLayout->setVerticalSpacing(2);
  for (int t = 1; t <= 5; ++t) {
    auto* radio = new QRadioButton(bandTypeGroup_);
    SetControlId(radio, kBandTypeFirstId + t - 1);
    bandTypes_->addButton(radio, t);
    bandTypeRadios_[std::size_t(t - 1)] = radio;
    typeLayout->addWidget(radio, (t - 1) / 3, (t - 1) % 3);
  }
  connect(bandTypes_, &QButtonGroup::idClicked, this, [this](int t) {
    if (!loading_ && editedBand_ >= 0) ApplyMenuTypeAndWrite(editedBand_, t);
  });

  gainCaption_ = CaptionLabel(editor, kGainCaptionId);
  frequencyCaption_ = CaptionLabel(editor, kFrequencyCaptionId);
  qCaption_ = CaptionLabel(editor, kQCaptionId);
  gainSlider_ = new QSlider(Qt::Horizontal, editor);
  gainSlider_->setRange(-150, 150);
  gainSlider_->setPageStep(10);
  frequencySlider_ = new QSlider(Qt::Horizontal, editor);
  frequencySlider_->setRange(20, 20000);
  frequencySlider_->setPageStep(100);
  qSlider_ = new QSlider(Qt::Horizontal, editor);
  qSlider_->setRange(10, 3000);
  qSlider_->setPageStep(10);
  gainField_ = new QLineEdit(editor);
  frequencyField_ = new QLineEdit(editor);
  qField_ = new QLineEdit(editor);
  for (QLineEdit* field : {gainField_, frequencyField_, qField_}) {
    field->setFixedWidth(72);
    field->setAlignment(Qt::AlignCenter);
    connect(field, &QLineEdit::returnPressed, this, &CDialogMusic::ApplyEditorFields);
  }
  // A slider shows its value in its field, then all three fields are applied.
  connect(gainSlider_, &QSlider::valueChanged, this, [this](int v) {
    if (loading_) return;
    gainField_->setText(GainText(float(v) / 10.0f));
    ApplyEditorFields();
  });
  connect(frequencySlider_, &QSlider::valueChanged, this, [this](int v) {
    if (loading_) return;
    frequencyField_->setText(QString::asprintf("%dHz", v));
    ApplyEditorFields();
  });
  connect(qSlider_, &QSlider::valueChanged, this, [this](int v) {
    if (loading_) return;
    qField_->setText(QText(float(v) / 100.0f));
    ApplyEditorFields();
  });

  auto* head = new QHBoxLayout;
  head->addWidget(bandNumber_);
  head->addWidget(bandTypeGroup_, 1);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(10);
  grid->addWidget(gainCaption_, 0, 0);
  grid->addWidget(gainSlider_, 0, 1);
  grid->addWidget(gainField_, 0, 2);
  grid->addWidget(frequencyCaption_, 1, 0);
  grid->addWidget(frequencySlider_, 1, 1);
  grid->addWidget(frequencyField_, 1, 2);
  grid->addWidget(qCaption_, 2, 0);
  grid->addWidget(qSlider_, 2, 1);
  grid->addWidget(qField_, 2, 2);
  auto* layout = new QVBoxLayout(editor);
  layout->setContentsMargins(4, 4, 4, 4);
  layout->setSpacing(10);
  layout->addLayout(head);
  layout->addLayout(grid);
  layout->addStretch(1);
  return editor;
}

void CDialogMusic::BuildEffectArea() {
  effects_ = new EffectParameterList(this);
  echoTypeGroup_ = new QGroupBox(this);
  SetControlId(echoTypeGroup_, kEchoTypeGroupId);
  auto* group = new QButtonGroup(this);
  auto* layout = new QVBoxLayout(echoTypeGroup_);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->setSpacing(2);
  for (int stereo = 0; stereo < 2; ++stereo) {
    auto* radio = new QRadioButton(echoTypeGroup_);
    SetControlId(radio, kEchoTypeIds[stereo]);
    group->addButton(radio, stereo);
    layout->addWidget(radio);
    echoTypeRadios_[std::size_t(stereo)] = radio;
  }
  connect(group, &QButtonGroup::idClicked, this, [this](int stereo) {
    const int half = Info(Channel()).half;
    if (loading_ || half < 0) return;
    SetParameter(2, kEchoTypeAddress[half], stereo);
  });
  effects_->AddBelowSlider(echoTypeGroup_);
}

void CDialogMusic::BuildThumbnails() {
  reverbTitle_ = CaptionLabel(this, kReverbTitleId);
  reverbHint_ = CaptionLabel(this, kReverbHintId);
  echoTitle_ = CaptionLabel(this, kEchoTitleId);
  echoHint_ = CaptionLabel(this, kEchoHintId);
  for (QLabel* title : {reverbTitle_, echoTitle_}) {
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
  }
  for (QLabel* hint : {reverbHint_, echoHint_}) {
    QFont small = hint->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    hint->setFont(small);
    hint->setWordWrap(true);
  }
  reverbThumb_ = new CSmallEqPanel(this);
  echoThumb_ = new CSmallEqPanel(this);
  for (CSmallEqPanel* thumb : {reverbThumb_, echoThumb_}) {
    thumb->setMinimumSize(180, 48);
    thumb->setCursor(Qt::PointingHandCursor);
  }
  connect(reverbThumb_, &CSmallEqPanel::Clicked, this, [this] { OnThumbnailClicked(true); });
  connect(echoThumb_, &CSmallEqPanel::Clicked, this, [this] { OnThumbnailClicked(false); });
}

void CDialogMusic::BuildInputs() {
  for (int k = 0; k < kMicInputs; ++k) {
    InputControls& in = inputs_[std::size_t(k)];
    in.group = new QGroupBox(this);
    SetControlId(in.group, kInputGroupFirstId + k);
    in.routeA = new QRadioButton(in.group);
    in.routeB = new QRadioButton(in.group);
    SetControlId(in.routeA, kRouteAFirstId + 4 * k);
    SetControlId(in.routeB, kRouteAFirstId + 4 * k + 2);
    auto* route = new QButtonGroup(in.group);
    route->addButton(in.routeA, 0);
    route->addButton(in.routeB, 1);
    connect(route, &QButtonGroup::idClicked, this, [this, k](int path) { ApplyRoute(k, path); });

    in.gateCaption = CaptionLabel(in.group, kGateCaptionFirstId + k);
    in.volumeCaption = CaptionLabel(in.group, kVolumeCaptionFirstId + k);
    in.gate = new QSlider(Qt::Vertical, in.group);
    in.volume = new QSlider(Qt::Vertical, in.group);
    in.gateValue = new QLabel(in.group);
    in.volumeValue = new QLabel(in.group);
    for (QSlider* slider : {in.gate, in.volume}) {
      slider->setRange(0, 100);
      slider->setPageStep(5);
      slider->setMinimumHeight(60);
    }
    for (QLabel* label : {in.gateCaption, in.volumeCaption, in.gateValue, in.volumeValue})
      label->setAlignment(Qt::AlignCenter);
    connect(in.gate, &QSlider::valueChanged, this, [this, k](int v) {
      if (loading_) return;
      SetParameter(1, std::uint8_t(0x08 + k), v);
      inputs_[std::size_t(k)].gateValue->setText(QString::asprintf("%d", v));
    });
    connect(in.volume, &QSlider::valueChanged, this, [this, k](int v) {
      if (loading_) return;
      SetParameter(1, std::uint8_t(0x04 + k), v);
      inputs_[std::size_t(k)].volumeValue->setText(QString::asprintf("%d", v));
    });
    meters_[std::size_t(k)] = MakeMeter(in.group);

    auto* radios = new QHBoxLayout;
    radios->setSpacing(4);
    radios->addWidget(in.routeA);
    radios->addWidget(in.routeB);
    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
    grid->addWidget(in.gateCaption, 0, 0);
    grid->addWidget(in.volumeCaption, 0, 1);
    grid->addWidget(in.gate, 1, 0, Qt::AlignHCenter);
    grid->addWidget(in.volume, 1, 1, Qt::AlignHCenter);
    grid->addWidget(meters_[std::size_t(k)], 0, 2, 3, 1, Qt::AlignHCenter);
    grid->addWidget(in.gateValue, 2, 0);
    grid->addWidget(in.volumeValue, 2, 1);
    grid->setRowStretch(1, 1);
    auto* layout = new QVBoxLayout(in.group);
    layout->setContentsMargins(6, 4, 6, 4);
    layout->setSpacing(2);
    layout->addLayout(radios);
    layout->addLayout(grid, 1);
    // Only two inputs are wired on the device's panel; the other two stay hidden.
    if (k >= 2) in.group->hide();
  }
}

void CDialogMusic::BuildMusicMeters() {
  musicPeakGroup_ = new QGroupBox(this);
  SetControlId(musicPeakGroup_, kMusicPeakGroupId);
  meters_[4] = MakeMeter(musicPeakGroup_);
  meters_[5] = MakeMeter(musicPeakGroup_);
  formatLabel_ = new QLabel(musicPeakGroup_);
  formatLabel_->setAlignment(Qt::AlignCenter);
  formatLabel_->setMinimumWidth(84);
  QFont bold = formatLabel_->font();
  bold.setBold(true);
  formatLabel_->setFont(bold);
  auto* meters = new QHBoxLayout;
  meters->addStretch(1);
  meters->addWidget(meters_[4]);
  meters->addSpacing(6);
  meters->addWidget(meters_[5]);
  meters->addStretch(1);
  auto* layout = new QVBoxLayout(musicPeakGroup_);
  layout->setContentsMargins(6, 4, 6, 4);
  layout->addLayout(meters, 1);
  layout->addWidget(formatLabel_);
}

void CDialogMusic::LayOut() {
  auto* selectorRow = new QHBoxLayout;
  selectorRow->setSpacing(6);
  for (QPushButton* button : selector_) selectorRow->addWidget(button);
  selectorRow->addStretch(1);

  auto* eqRow = new QHBoxLayout;
  eqRow->setSpacing(6);
  eqRow->addWidget(eqPanel_, 1);
  eqRow->addWidget(bandStack_);

  auto* thumbs = new QVBoxLayout;
  thumbs->setSpacing(1);
  thumbs->addWidget(reverbTitle_);
  thumbs->addWidget(reverbHint_);
  thumbs->addWidget(reverbThumb_, 1);
  thumbs->addSpacing(4);
  thumbs->addWidget(echoTitle_);
  thumbs->addWidget(echoHint_);
  thumbs->addWidget(echoThumb_, 1);
  auto* thumbBox = new QWidget(this);
  thumbBox->setLayout(thumbs);
  thumbs->setContentsMargins(0, 0, 0, 0);
  thumbBox->setFixedWidth(196);

  // The lower row is as tall as the effect list needs; the graph and band list get the rest.
  bottomRow_ = new QWidget(this);
  bottomRow_->setFixedHeight(effects_->List().minimumHeight());
  auto* bottom = new QHBoxLayout(bottomRow_);
  bottom->setContentsMargins(0, 0, 0, 0);
  bottom->setSpacing(8);
  bottom->addWidget(effects_, 1);
  bottom->addWidget(thumbBox);
  for (const InputControls& in : inputs_) bottom->addWidget(in.group);
  bottom->addWidget(musicPeakGroup_);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(8, 6, 8, 6);
  root->setSpacing(6);
  root->addLayout(selectorRow);
  root->addLayout(eqRow, 1);
  root->addWidget(bottomRow_);
}

// ---------------------------------------------------------------- page operations

void CDialogMusic::SetChannel(int channel) {
  EditorPage::SetChannel((channel >= 0 && channel <= 2) ? channel : 0);
  SelectorChange();
}

void CDialogMusic::RefreshPage() {
  SelectorChange();
  RefreshInputs();
}

int CDialogMusic::EqNumber() const { return Info(Channel()).eq; }

void CDialogMusic::SelectorChange() {
  const int channel = Channel();
  const ChannelInfo& info = Info(channel);
  const bool mic = info.half >= 0;
  selector_[std::size_t(channel)]->setChecked(true);
  effects_->setEnabled(mic);  // the list, its slider, value field, name label and the echo type
  reverbThumb_->setEnabled(mic);
  echoThumb_->setEnabled(mic);
  reverbThumb_->SetDisabled(!mic);
  echoThumb_->SetDisabled(!mic);
  for (QLabel* label : {reverbTitle_, reverbHint_, echoTitle_, echoHint_}) label->setEnabled(mic);

  ShowBandList();
  ReloadEqPanel();
  if (mic) {
    effects_->SetHalf(info.half);
    effects_->SelectRow(effects_->SelectedRow());
    loading_ = true;
    echoTypeRadios_[UiValue(2, kEchoTypeAddress[info.half]) != 0 ? 1 : 0]->setChecked(true);
    loading_ = false;
  }
  SetListColors(info.listColor);
  ReloadThumbnails();
}

void CDialogMusic::ReloadEqPanel() {
  const int eq = EqNumber();
  eqPanel_->Model().SetSelected(-1);
  eqPanel_->setFocus();
  eqPanel_->SetEqNumber(eq);
  EqPanelModel& model = eqPanel_->Model();
  for (int i = 0; i < model.BandCount(); ++i) {
    const std::vector<std::uint8_t> bytes = ReadLiveBytes(EqBandOffset(eq, i), kBandRecordSize);
    if (bytes.size() < std::size_t(kBandRecordSize)) break;
    const BandRecord record = DecodeBandRecord(bytes.data());
    // As the type menu would apply it, so a cascade head gets its sections; codes the
    // menu does not offer (off, crossover sections) are taken as they are.
    if (!model.ApplyMenuType(i, record.type)) model.SetBandType(i, record.type);
    model.SetBandGain(i, record.GainDb());
    model.SetBandFrequency(i, float(record.frequency));
    model.SetBandQ(i, record.Q());
  }
  RefreshBandList();
  const bool bypassed = EqBypassed();
  eqPanel_->SetBypass(bypassed);
  eqPanel_->update();
  if (editedBand_ >= 0) {
    if (editedBand_ < model.BandCount()) RefreshBandEditor();
    else ShowBandList();
  }
  emit eqBypassChanged(bypassed);
}

bool CDialogMusic::EqBypassed() const {
  const ChannelInfo& info = Info(Channel());
  return UiValue(info.bypassBlock, info.bypassAddress) != 0;
}

void CDialogMusic::SetEqBypass(bool bypass) {
  const ChannelInfo& info = Info(Channel());
  SetParameter(info.bypassBlock, info.bypassAddress, bypass ? 1 : 0);
  eqPanel_->SetBypass(bypass);
  emit eqBypassChanged(bypass);
}

void CDialogMusic::ToggleEqBypass() { SetEqBypass(!EqBypassed()); }

void CDialogMusic::ResetCurrentEq() {
  ResetEqToDefaults(EqNumber());
  ReloadEqPanel();
}

void CDialogMusic::ApplyTexts() {
  const char* const selectorZh[3] = {"话筒通道A", "话筒通道B", "音乐"};
  const char* const selectorEn[3] = {"Mic CH A", "Mic CH B", "Music"};
  for (int c = 0; c < 3; ++c) selector_[std::size_t(c)]->setText(PickText(selectorZh[c], selectorEn[c]));

  eqPanel_->SetLanguage(CurrentLanguage());
  // Tall enough for every band of a microphone EQ without scrolling, in either language.
  bandList_->setHorizontalHeaderLabels({QStringLiteral(" "), PickText("类型", "Type"), PickText("增益", "Gain"),
                                        PickText("频率", "Freq"), PickText("Q值", "Q")});
  bandList_->setMinimumHeight(bandList_->horizontalHeader()->sizeHint().height() + kMostBands * kBandRowHeight +
                              2 * bandList_->frameWidth());
  for (int t = 1; t <= 5; ++t) bandTypeRadios_[std::size_t(t - 1)]->setText(MenuTypeName(t));
  bandTypeGroup_->setTitle(PickText("类型", "Type"));
  gainCaption_->setText(PickText("增益", "Gain"));
  frequencyCaption_->setText(PickText("频率", "Freq"));
  qCaption_->setText(PickText("Q值", "Q"));
  RefreshBandList();

  effects_->ApplyTexts();
  if (bottomRow_) bottomRow_->setFixedHeight(effects_->List().minimumHeight());
  echoTypeGroup_->setTitle(PickText("回声均衡类型", "Echo Type"));
  echoTypeRadios_[0]->setText(PickText("单声回声", "Mono"));
  echoTypeRadios_[1]->setText(PickText("双声回声", "Stereo"));

  reverbTitle_->setText(PickText("混响均衡", "Reverb EQ"));
  reverbHint_->setText(PickText("点击下面方框进入混响均衡调节界面", "Click to enter reverb EQ"));
  echoTitle_->setText(PickText("回声均衡", "Echo EQ"));
  echoHint_->setText(PickText("点击下面方框进入回声均衡调节界面", "Click to enter echo EQ"));

  for (int k = 0; k < kMicInputs; ++k) {
    InputControls& in = inputs_[std::size_t(k)];
    in.group->setTitle(PickText(QString::fromUtf8("话筒口%1").arg(k + 1), QStringLiteral("Mic %1").arg(k + 1)));
    in.routeA->setText(PickText("通道A", "CH A"));
    in.routeB->setText(PickText("通道B", "CH B"));
    in.gateCaption->setText(PickText("噪声门", "MNG"));
    in.volumeCaption->setText(PickText("音量", "Vol"));
  }
  musicPeakGroup_->setTitle(PickText("音乐电平", "Music Peak"));

  ApplyDialogTexts(this, kDialogNumber);
}

void CDialogMusic::PollStatus() {
  const StatusBlock status = StatusBlockSnapshot();
  for (int i = 0; i < kMeters; ++i) meters_[std::size_t(i)]->setValue(std::min<int>(status[std::size_t(i)], 100));
  // Codes the table has no name for leave the label as it was.
  const char* name = StreamFormatName(status[7] & 0x0F);
  if (name && *name) formatLabel_->setText(QString::fromLatin1(name));
}

void CDialogMusic::RefreshInputs() {
  loading_ = true;
  for (int k = 0; k < kMicInputs; ++k) {
    InputControls& in = inputs_[std::size_t(k)];
    const bool pathA = UiValue(1, std::uint8_t(0x22 + k)) != 0;
    (pathA ? in.routeA : in.routeB)->setChecked(true);
    const int gate = UiValue(1, std::uint8_t(0x08 + k));
    const int volume = UiValue(1, std::uint8_t(0x04 + k));
    in.gate->setValue(std::clamp(gate, 0, 100));  // the labels show the stored values
    in.volume->setValue(std::clamp(volume, 0, 100));
    in.gateValue->setText(QString::asprintf("%d", gate));
    in.volumeValue->setText(QString::asprintf("%d", volume));
  }
  loading_ = false;
}

void CDialogMusic::ApplyRoute(int input, int path) {
  if (loading_) return;
  SetParameter(1, std::uint8_t(0x22 + input), path == 0 ? 100 : 0);
  SetParameter(1, std::uint8_t(0x3D + input), path == 0 ? 0 : 100);
}

void CDialogMusic::ReloadThumbnails() {
  const ChannelInfo& info = Info(Channel());
  reverbThumb_->SetCurveColor(info.curveColor);
  echoThumb_->SetCurveColor(info.curveColor);
  if (info.half < 0) {
    reverbThumb_->SetBypass(false);
    echoThumb_->SetBypass(false);
    return;
  }
  const struct {
    CSmallEqPanel* thumb;
    int eq;
    std::uint8_t bypassBlock, bypassAddress;
  } boxes[2] = {
      {echoThumb_, kEqEchoA + info.half, 2, kEchoBypass[info.half]},
      {reverbThumb_, kEqReverbA + info.half, 3, kReverbBypass[info.half]},
  };
  for (const auto& box : boxes) {
    for (int b = 0; b < CSmallEqPanel::kBands; ++b) {
      const std::vector<std::uint8_t> bytes = ReadLiveBytes(EqBandOffset(box.eq, b), kBandRecordSize);
      if (bytes.size() < std::size_t(kBandRecordSize)) break;
      const BandRecord record = DecodeBandRecord(bytes.data());
      box.thumb->SetBandType(b, record.type);
      box.thumb->SetBandGain(b, record.GainDb());
      box.thumb->SetBandFrequency(b, float(record.frequency));
      box.thumb->SetBandQ(b, record.Q());
    }
    box.thumb->SetBypass(UiValue(box.bypassBlock, box.bypassAddress) != 0);
  }
}

void CDialogMusic::SetListColors(const QColor& color) {
  effects_->SetTextColor(color);
  // A colour change is an item change too; it must not read back as an edit.
  const bool wasLoading = loading_;
  loading_ = true;
  for (int row = 0; row < bandList_->rowCount(); ++row) {
    for (int c = 0; c < kBandColumns; ++c) {
      if (QTableWidgetItem* item = bandList_->item(row, c)) item->setForeground(color);
    }
  }
  loading_ = wasLoading;
}

void CDialogMusic::OnThumbnailClicked(bool reverb) {
  const int half = Info(Channel()).half;
  if (half < 0) return;
  emit effectsEqRequested(reverb ? half : 2 + half);
}

// ---------------------------------------------------------------- EQ graph notifications

void CDialogMusic::WriteBand(int band) {
  const EqBand* b = eqPanel_->Model().BandAt(band);
  if (!b || band >= eqPanel_->Model().BandCount()) return;
  // The device takes whole hertz; the graph and the list keep to what it was sent, so
  // the drawn curve is the one the device plays and a later reload shows no jump.
  const int wholeHz = static_cast<int>(b->frequency);
  if (b->frequency != static_cast<float>(wholeHz)) eqPanel_->SetBandFrequency(band, static_cast<float>(wholeHz));
  WriteEqBand(EqNumber(), band, b->type, wholeHz, b->gain, b->q, 0.0f);
}

void CDialogMusic::OnBandChanged(int band) {
  WriteBand(band);
  RefreshBandRow(band);
  if (band == editedBand_) RefreshBandEditor();
}

void CDialogMusic::OnBandPressed(int band) { ShowBandEditor(band); }

void CDialogMusic::OnEmptyClicked() { ShowBandList(); }

void CDialogMusic::OnCopyPaste(int action) {
  const int eq = EqNumber();
  if (action == CEqPanel::kCopyEq) {
    SetCopySourceEq(eq);
  } else if (action == CEqPanel::kPasteEq && CopySourceEq() != -1) {
    KR_CopyEQ(CopySourceEq(), eq);
  }
  ReloadEqPanel();
}

// ---------------------------------------------------------------- band list and editor

void CDialogMusic::RefreshBandList() {
  const EqPanelModel& model = eqPanel_->Model();
  const bool wasLoading = loading_;
  loading_ = true;
  bandList_->setRowCount(model.BandCount());
  for (int i = 0; i < model.BandCount(); ++i) {
    bandList_->setRowHeight(i, kBandRowHeight);  // the style's default row is taller
    if (!bandList_->item(i, kColNumber)) {
      bandList_->setItem(i, kColNumber, BandItem(QString::asprintf("%d", i + 1), false));
      bandList_->setItem(i, kColType, BandItem(QString(), true));
      bandList_->setItem(i, kColGain, BandItem(QString(), true));
      bandList_->setItem(i, kColFrequency, BandItem(QString(), true));
      bandList_->setItem(i, kColQ, BandItem(QString(), true));
    }
    RefreshBandRow(i);
  }
  loading_ = wasLoading;
  SetListColors(Info(Channel()).listColor);
}

void CDialogMusic::RefreshBandRow(int band) {
  const EqBand* b = eqPanel_->Model().BandAt(band);
  if (!b || band >= bandList_->rowCount() || !bandList_->item(band, kColNumber)) return;
  const bool wasLoading = loading_;
  loading_ = true;
  bandList_->item(band, kColType)->setText(TypeText(*b));
  bandList_->item(band, kColGain)->setText(GainText(b->gain));
  bandList_->item(band, kColFrequency)->setText(FrequencyText(b->frequency));
  bandList_->item(band, kColQ)->setText(QText(b->q));
  loading_ = wasLoading;
}

void CDialogMusic::OnBandItemChanged(QTableWidgetItem* item) {
  if (loading_ || !item) return;
  const int band = item->row();
  const int column = item->column();
  if (column < kColGain || column > kColQ || band >= eqPanel_->Model().BandCount()) return;
  // The three cells are read together, each as the number its text starts with.
  const double gain = LeadingNumber(bandList_->item(band, kColGain)->text());
  const double frequency = LeadingNumber(bandList_->item(band, kColFrequency)->text());
  const double q = LeadingNumber(bandList_->item(band, kColQ)->text());
  eqPanel_->SetBandGain(band, float(gain));
  if (frequency != 0.0) eqPanel_->SetBandFrequency(band, float(frequency));
  eqPanel_->SetBandQ(band, float(q));
  WriteBand(band);
  RefreshBandRow(band);
  if (band == editedBand_) RefreshBandEditor();
}

void CDialogMusic::ApplyMenuTypeAndWrite(int band, int menuType) {
  EqPanelModel& model = eqPanel_->Model();
  if (band < 0 || band >= model.BandCount() || !model.ApplyMenuType(band, menuType)) return;
  eqPanel_->update();
  WriteBand(band);
  RefreshBandRow(band);
  if (band == editedBand_) RefreshBandEditor();
}

bool CDialogMusic::BandEditorShown() const { return bandStack_->currentWidget() == bandEditor_; }

void CDialogMusic::ShowBandList() {
  editedBand_ = -1;
  bandStack_->setCurrentWidget(bandList_);
}

void CDialogMusic::ShowBandEditor(int band) {
  if (band < 0 || band >= eqPanel_->Model().BandCount()) return;
  editedBand_ = band;
  RefreshBandEditor();
  bandStack_->setCurrentWidget(bandEditor_);
}

void CDialogMusic::RefreshBandEditor() {
  const EqBand* b = eqPanel_->Model().BandAt(editedBand_);
  if (!b) return;
  const bool wasLoading = loading_;
  loading_ = true;
  bandNumber_->setText(QString::asprintf("%d", editedBand_ + 1));
  if (b->type >= 1 && b->type <= 5) {
    bandTypeRadios_[std::size_t(b->type - 1)]->setChecked(true);
  } else {
    bandTypes_->setExclusive(false);  // no radio stands for "off"
    for (QRadioButton* radio : bandTypeRadios_) radio->setChecked(false);
    bandTypes_->setExclusive(true);
  }
  const bool gainType = IsGainType(b->type);
  gainSlider_->setEnabled(gainType);
  gainField_->setEnabled(gainType);
  gainSlider_->setValue(int(std::lround(b->gain * 10.0f)));
  gainField_->setText(GainText(b->gain));
  frequencySlider_->setValue(int(std::lround(b->frequency)));
  frequencyField_->setText(FrequencyText(b->frequency));
  qSlider_->setRange(10, b->type == kFilterPeq ? 3000 : 200);
  qSlider_->setValue(int(std::lround(b->q * 100.0f)));
  qField_->setText(QText(b->q));
  loading_ = wasLoading;
}

void CDialogMusic::ApplyEditorFields() {
  if (loading_ || editedBand_ < 0) return;
  const int band = editedBand_;
  eqPanel_->SetBandGain(band, float(LeadingNumber(gainField_->text())));
  eqPanel_->SetBandFrequency(band, float(std::max(20.0, LeadingNumber(frequencyField_->text()))));
  eqPanel_->SetBandQ(band, float(LeadingNumber(qField_->text())));
  WriteBand(band);
  RefreshBandRow(band);
  RefreshBandEditor();
}

// ---------------------------------------------------------------- test access

QRadioButton& CDialogMusic::BandTypeRadio(int type) const { return *bandTypeRadios_[std::size_t(std::clamp(type, 1, 5) - 1)]; }
QRadioButton& CDialogMusic::EchoTypeRadio(int stereo) const { return *echoTypeRadios_[stereo ? 1 : 0]; }
QPushButton& CDialogMusic::SelectorButton(int channel) const { return *selector_[std::size_t(std::clamp(channel, 0, 2))]; }
QRadioButton& CDialogMusic::RouteRadio(int input, int path) const {
  const InputControls& in = inputs_[std::size_t(std::clamp(input, 0, kMicInputs - 1))];
  return path == 0 ? *in.routeA : *in.routeB;
}
QSlider& CDialogMusic::NoiseGateSlider(int input) const { return *inputs_[std::size_t(std::clamp(input, 0, 3))].gate; }
QSlider& CDialogMusic::VolumeSlider(int input) const { return *inputs_[std::size_t(std::clamp(input, 0, 3))].volume; }
QLabel& CDialogMusic::NoiseGateValue(int input) const { return *inputs_[std::size_t(std::clamp(input, 0, 3))].gateValue; }
QLabel& CDialogMusic::VolumeValue(int input) const { return *inputs_[std::size_t(std::clamp(input, 0, 3))].volumeValue; }
QGroupBox& CDialogMusic::InputGroup(int input) const { return *inputs_[std::size_t(std::clamp(input, 0, 3))].group; }
QProgressBar& CDialogMusic::Meter(int index) const { return *meters_[std::size_t(std::clamp(index, 0, kMeters - 1))]; }

}  // namespace dsptune
