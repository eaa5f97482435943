#include "editors/EqBandEditor.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

#include "dsp/Biquad.h"
#include "dsp/Crossover.h"
#include "model/EditJournal.h"
#include "model/EqBandStore.h"
#include "editors/ControlTips.h"
#include "editors/EqGraphPanel.h"
#include "ui/DialogTexts.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

const QColor kListBackground(20, 20, 20);
const QColor kSectionText(120, 120, 120);

enum Column { kColNumber = 0, kColType, kColGain, kColFrequency, kColQ, kColumns };
constexpr int kColumnWidths[kColumns] = {30, 55, 60, 60, 50};
constexpr int kRowHeight = 16;
constexpr int kVerticalSliderHeight = 150;

// Spacing of the band editor by density.
struct Look {
  int typeMarginV;     // inside the type group, top and bottom (6 at the sides)
  int typeRowSpacing;  // between the two rows of type radios
  int sliderMinWidth;
  int fieldWidth;
  int gridRowSpacing;  // between the slider rows
  int margin;          // around the editor
  int spacing;         // between the editor's head and its sliders
};
constexpr Look kRoomy{4, 2, 0, 72, 10, 4, 10};
constexpr Look kCompact{2, 0, 80, 68, 6, 2, 6};

QString MenuTypeName(int menuType) {
  static const char* const kEnglish[5] = {"PEQ", "LP", "HP", "LS", "HS"};
  static const char* const kChinese[5] = {"参量", "低通", "高通", "低架", "高架"};
  if (menuType < 1 || menuType > 5) return QString();
  return PickText(kChinese[menuType - 1], kEnglish[menuType - 1]);
}

// The type cell: the menu type the band stands for; else, for a crossover section, which
// side it filters (even codes low-pass, odd codes high-pass); else "OFF".
QString TypeText(const EqBand& band) {
  if (const int menuType = ShownMenuType(band)) return MenuTypeName(menuType);
  if (band.type > kFilterHighShelf && band.type <= kHighestFilterType)
    return band.type % 2 == 0 ? PickText("分频低通", "XO LP") : PickText("分频高通", "XO HP");
  return PickText("关闭", "OFF");
}

double LeadingNumberOf(const QString& text) { return LeadingNumber(text.trimmed().toStdString()); }

QString GainText(float gain) { return QString::asprintf("%+-.1fdB", double(gain)); }
QString FrequencyText(float hz) { return QString::asprintf("%.0fHz", double(hz)); }
QString QText(float q) { return QString::asprintf("%.2f", double(q)); }

QTableWidgetItem* BandItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setTextAlignment(Qt::AlignCenter);
  return item;
}

// The list's type cell is edited with a drop-down of the five menu types; a choice goes
// straight to the band (also when the same type is chosen again). Leaving the drop-down
// without choosing applies nothing: re-applying a type resets its Q.
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

}  // namespace

EqBandEditor::EqBandEditor(EqGraphPanel& panel, BandWriter writer, Options options, QWidget* parent)
    : QStackedWidget(parent), panel_(panel), writer_(std::move(writer)), options_(options) {
  BuildList();
  BuildEditor();
  addWidget(list_);
  addWidget(editor_);
  int width = 2 * list_->frameWidth();
  for (int w : kColumnWidths) width += w;
  setFixedWidth(width);

  connect(&panel_, &EqGraphPanel::BandChanged, this, &EqBandEditor::OnBandChanged);
  connect(&panel_, &EqGraphPanel::BandPressed, this, &EqBandEditor::ShowBandEditor);
  connect(&panel_, &EqGraphPanel::EmptyClicked, this, &EqBandEditor::ShowBandList);
  connect(&panel_, &EqGraphPanel::CopyPasteRequested, this, &EqBandEditor::OnCopyPaste);
}

EqBandEditor::~EqBandEditor() = default;

// ---------------------------------------------------------------- building

void EqBandEditor::BuildList() {
  list_ = new QTableWidget(0, kColumns, this);
  list_->verticalHeader()->hide();
  list_->verticalHeader()->setDefaultSectionSize(kRowHeight);
  list_->verticalHeader()->setMinimumSectionSize(kRowHeight);
  list_->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list_->horizontalHeader()->setHighlightSections(false);
  for (int c = 0; c < kColumns; ++c) list_->setColumnWidth(c, kColumnWidths[c]);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectItems);
  list_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::SelectedClicked |
                         QAbstractItemView::EditKeyPressed);
  list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  list_->horizontalHeader()->setStretchLastSection(true);
  list_->setShowGrid(false);
  QPalette palette = list_->palette();
  palette.setColor(QPalette::Base, kListBackground);
  palette.setColor(QPalette::Highlight, QColor(60, 70, 90));
  palette.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
  list_->setPalette(palette);
  list_->setItemDelegateForColumn(
      kColType, new BandTypeDelegate([this](int row, int menuType) { ApplyMenuType(row, menuType); }, this));
  connect(list_, &QTableWidget::itemChanged, this, &EqBandEditor::OnItemChanged);
}

void EqBandEditor::BuildEditor() {
  const Look& look = options_.density == Density::kCompact ? kCompact : kRoomy;
  const EqBandEditorIds& ids = options_.ids;
  editor_ = new QWidget(this);
  bandNumber_ = new QLabel(editor_);
  QFont big = bandNumber_->font();
  big.setPointSizeF(big.pointSizeF() * 2.2);
  big.setBold(true);
  bandNumber_->setFont(big);
  bandNumber_->setAlignment(Qt::AlignCenter);
  bandNumber_->setMinimumWidth(44);
  bandNumber_->setFrameShape(QFrame::StyledPanel);

  typeGroup_ = new QGroupBox(editor_);
  SetControlId(typeGroup_, ids.typeGroup);
  types_ = new QButtonGroup(editor_);
  auto* typeLayout = new QGridLayout(typeGroup_);
  typeLayout->setContentsMargins(6, look.typeMarginV, 6, look.typeMarginV);
  typeLayout->setHorizontalSpacing(6);
  typeLayout->setVerticalSpacing(look.typeRowSpacing);
  for (int t = 1; t <= 5; ++t) {
    auto* radio = new QRadioButton(typeGroup_);
    SetControlId(radio, ids.firstType + t - 1);
    types_->addButton(radio, t);
    typeRadios_[std::size_t(t - 1)] = radio;
    typeLayout->addWidget(radio, (t - 1) / 3, (t - 1) % 3);
  }
  connect(types_, &QButtonGroup::idClicked, this, [this](int t) {
    if (!loading_ && editedBand_ >= 0) ApplyMenuType(editedBand_, t);
  });

  gainCaption_ = CaptionLabel(editor_, ids.gainCaption);
  frequencyCaption_ = CaptionLabel(editor_, ids.frequencyCaption);
  qCaption_ = CaptionLabel(editor_, ids.qCaption);
  const struct {
    QSlider*& slider;
    int min, max, pageStep;
  } sliders[3] = {{gainSlider_, -150, 150, 10}, {frequencySlider_, 0, kFrequencySliderSteps, 8}, {qSlider_, 10, 3000, 10}};
  for (const auto& s : sliders) {
    s.slider = new QSlider(options_.verticalSliders ? Qt::Vertical : Qt::Horizontal, editor_);
    s.slider->setRange(s.min, s.max);
    s.slider->setPageStep(s.pageStep);
    if (options_.verticalSliders) s.slider->setMinimumHeight(kVerticalSliderHeight);
    else s.slider->setMinimumWidth(look.sliderMinWidth);
  }
  gainField_ = new QLineEdit(editor_);
  frequencyField_ = new QLineEdit(editor_);
  qField_ = new QLineEdit(editor_);
  for (QLineEdit* field : {gainField_, frequencyField_, qField_}) {
    field->setFixedWidth(look.fieldWidth);
    field->setAlignment(Qt::AlignCenter);
    connect(field, &QLineEdit::returnPressed, this, &EqBandEditor::ApplyEditorFields);
  }
  // A slider shows its value in its field, then all three fields are applied.
  connect(gainSlider_, &QSlider::valueChanged, this, [this](int v) {
    if (loading_) return;
    gainField_->setText(GainText(float(v) / 10.0f));
    ApplyEditorFields();
  });
  connect(frequencySlider_, &QSlider::valueChanged, this, [this](int v) {
    if (loading_) return;
    frequencyField_->setText(QString::asprintf("%dHz", FrequencyAtSliderPosition(v)));
    ApplyEditorFields();
  });
  connect(qSlider_, &QSlider::valueChanged, this, [this](int v) {
    if (loading_) return;
    qField_->setText(QText(float(v) / 100.0f));
    ApplyEditorFields();
  });

  auto* head = new QHBoxLayout;
  head->addWidget(bandNumber_);
  head->addWidget(typeGroup_, 1);
  auto* grid = new QGridLayout;
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(options_.verticalSliders ? 4 : look.gridRowSpacing);
  const struct {
    QLabel* caption;
    QSlider* slider;
    QLineEdit* field;
  } rows[3] = {{gainCaption_, gainSlider_, gainField_},
               {frequencyCaption_, frequencySlider_, frequencyField_},
               {qCaption_, qSlider_, qField_}};
  for (int r = 0; r < 3; ++r) {
    if (options_.verticalSliders) {
      // Caption over slider over field, one column each.
      grid->addWidget(rows[r].caption, 0, r, Qt::AlignHCenter);
      grid->addWidget(rows[r].slider, 1, r, Qt::AlignHCenter);
      grid->addWidget(rows[r].field, 2, r, Qt::AlignHCenter);
    } else {
      grid->addWidget(rows[r].caption, r, 0);
      grid->addWidget(rows[r].slider, r, 1);
      grid->addWidget(rows[r].field, r, 2);
    }
  }
  if (options_.crossoverFamily) {
    familyLabel_ = CaptionLabel(editor_, 0);
    familyCombo_ = new QComboBox(editor_);
    for (int f = 0; f < kNamedCrossoverFamilies; ++f) familyCombo_->addItem(QString::fromUtf8(CrossoverFamilyName(f)));
    connect(familyCombo_, &QComboBox::activated, this, [this](int family) {
      if (loading_) return;
      const EditStepScope step({"分频类型", "Crossover type"});
      ApplyFamily(family);
    });
    grid->addWidget(familyLabel_, 3, 0);
    grid->addWidget(familyCombo_, 3, 1, 1, 2);
  }
  auto* layout = new QVBoxLayout(editor_);
  layout->setContentsMargins(look.margin, look.margin, look.margin, look.margin);
  layout->setSpacing(look.spacing);
  layout->addLayout(head);
  layout->addLayout(grid);
  layout->addStretch(1);
}

// ---------------------------------------------------------------- page operations

void EqBandEditor::ShowEq(int eq, StoredBandType types) {
  EqPanelModel& model = panel_.Model();
  model.SetSelected(-1);
  panel_.SetEqNumber(eq);
  LoadStoredBands(model, types);
  RefreshBandList();
  panel_.update();
  if (editedBand_ >= 0) {
    if (editedBand_ < model.BandCount()) RefreshEditor();
    else ShowBandList();
  }
}

void EqBandEditor::ApplyTexts() {
  list_->setHorizontalHeaderLabels({QStringLiteral(" "), PickText("类型", "Type"), PickText("增益", "Gain"),
                                    PickText("频率", "Freq"), PickText("Q值", "Q")});
  // Tall enough for every row without scrolling, in either language.
  list_->setMinimumHeight(list_->horizontalHeader()->sizeHint().height() + options_.listRows * kRowHeight +
                          2 * list_->frameWidth());
  for (int t = 1; t <= 5; ++t) typeRadios_[std::size_t(t - 1)]->setText(MenuTypeName(t));
  typeGroup_->setTitle(PickText("类型", "Type"));
  gainCaption_->setText(PickText("增益", "Gain"));
  frequencyCaption_->setText(PickText("频率", "Freq"));
  qCaption_->setText(PickText("Q值", "Q"));
  if (familyLabel_) familyLabel_->setText(PickText("类型", "Type"));
  ApplyTips();
  RefreshBandList();
}

void EqBandEditor::ApplyTips() {
  SetTip(list_, "每个频段的类型、增益、频率和Q值。双击单元格修改；在曲线上单击频段标记打开其编辑器",
         "Type, gain, frequency and Q of every band. Double-click a cell to change it; click a band's marker on "
         "the graph to open its editor");
  static const char* const kTypeChinese[5] = {"参量均衡：提升或衰减一个频段", "低通：滤除截止频率以上的声音",
                                              "高通：滤除截止频率以下的声音", "低架：提升或衰减截止频率以下的声音",
                                              "高架：提升或衰减截止频率以上的声音"};
  static const char* const kTypeEnglish[5] = {"Peaking EQ: raises or cuts one band", "Low-pass: removes sound above the frequency",
                                              "High-pass: removes sound below the frequency",
                                              "Low shelf: raises or cuts sound below the frequency",
                                              "High shelf: raises or cuts sound above the frequency"};
  for (int t = 0; t < 5; ++t) SetTip(typeRadios_[std::size_t(t)], kTypeChinese[t], kTypeEnglish[t]);
  SetTip(gainSlider_, "增益，每步0.1dB（低通和高通没有增益）", "Gain in steps of 0.1 dB (low-pass and high-pass have none)");
  SetTip(gainField_, "增益（dB），输入后按回车", "Gain in dB; type it and press Enter");
  SetTip(frequencySlider_, "频率，20Hz至20kHz，每个倍频程的步数相同", "Frequency from 20 Hz to 20 kHz, the same number of steps in every octave");
  SetTip(frequencyField_, "频率（Hz，整数），输入后按回车", "Frequency in whole hertz; type it and press Enter");
  SetTip(qSlider_, "Q值：越大频段越窄", "Q: the higher, the narrower the band");
  SetTip(qField_, "Q值，输入后按回车", "Q; type it and press Enter");
  if (familyCombo_) SetTip(familyCombo_, "分频滤波器的类型和斜率", "Crossover filter family and slope");
}

void EqBandEditor::SetTextColor(const QColor& color) {
  textColor_ = color;
  for (int row = 0; row < list_->rowCount(); ++row) StyleRow(row);
}

bool EqBandEditor::EditorShown() const { return currentWidget() == editor_; }

void EqBandEditor::ShowBandList() {
  editedBand_ = -1;
  setCurrentWidget(list_);
}

void EqBandEditor::ShowBandEditor(int band) {
  if (band < 0 || band >= panel_.Model().BandCount()) return;
  editedBand_ = band;
  RefreshEditor();
  setCurrentWidget(editor_);
}

QRadioButton& EqBandEditor::TypeRadio(int type) const { return *typeRadios_[std::size_t(std::clamp(type, 1, 5) - 1)]; }

// ---------------------------------------------------------------- graph notifications

void EqBandEditor::OnBandChanged(int band) { WriteAndShow(band); }

void EqBandEditor::OnCopyPaste(int action) {
  const int eq = panel_.Model().EqNumber();
  if (action == EqGraphPanel::kCopyEq) {
    SetCopySourceEq(eq);
  } else if (action == EqGraphPanel::kPasteEq && CopySourceEq() != -1) {
    const EditStepScope step({"粘贴均衡", "Paste EQ"});
    CopyEq(CopySourceEq(), eq);
  }
  emit reloadRequested();
}

// ---------------------------------------------------------------- edits

void EqBandEditor::WriteAndShow(int band) {
  if (const EqBand* b = BandToWrite(panel_.Model(), band)) {
    panel_.update();
    writer_(*b);
  }
  RefreshRow(band);
  if (band == editedBand_) RefreshEditor();
}

void EqBandEditor::OnItemChanged(QTableWidgetItem* item) {
  if (loading_ || !item) return;
  const int band = item->row();
  const int column = item->column();
  if (column < kColGain || column > kColQ || band >= panel_.Model().BandCount()) return;
  // The three cells are read together, each as the number its text starts with.
  ApplyListValues(panel_.Model(), band, LeadingNumberOf(list_->item(band, kColGain)->text()),
                  LeadingNumberOf(list_->item(band, kColFrequency)->text()),
                  LeadingNumberOf(list_->item(band, kColQ)->text()));
  panel_.update();
  WriteAndShow(band);
}

void EqBandEditor::ApplyMenuType(int band, int menuType) {
  EqPanelModel& model = panel_.Model();
  if (band < 0 || band >= model.BandCount() || !model.ApplyMenuType(band, menuType)) return;
  panel_.update();
  WriteAndShow(band);
}

void EqBandEditor::ApplyFamily(int family) {
  const int band = editedBand_;
  if (band < 0 || !panel_.Model().SetCrossoverFamily(band, family)) return;
  panel_.update();
  WriteAndShow(band);
}

void EqBandEditor::ApplyEditorFields() {
  if (loading_ || editedBand_ < 0) return;
  ApplyEditorValues(panel_.Model(), editedBand_, LeadingNumberOf(gainField_->text()),
                    LeadingNumberOf(frequencyField_->text()), LeadingNumberOf(qField_->text()));
  panel_.update();
  WriteAndShow(editedBand_);
}

// ---------------------------------------------------------------- refresh

void EqBandEditor::RefreshBandList() {
  const EqPanelModel& model = panel_.Model();
  const bool wasLoading = loading_;
  loading_ = true;
  list_->setRowCount(model.BandCount());
  for (int i = 0; i < model.BandCount(); ++i) {
    list_->setRowHeight(i, kRowHeight);  // the style's default row is taller
    if (!list_->item(i, kColNumber)) {
      list_->setItem(i, kColNumber, BandItem(QString::asprintf("%d", i + 1)));
      for (int c = kColType; c < kColumns; ++c) list_->setItem(i, c, BandItem(QString()));
    }
    StyleRow(i);
    RefreshRow(i);
  }
  loading_ = wasLoading;
}

void EqBandEditor::StyleRow(int row) {
  // A crossover section follows its head: listed, not edited.
  const EqBand* band = panel_.Model().BandAt(row);
  const bool section = band && IsCascadeSection(*band);
  // Flags and colours are item changes too; they must not read back as edits.
  const bool wasLoading = loading_;
  loading_ = true;
  for (int c = 0; c < kColumns; ++c) {
    QTableWidgetItem* item = list_->item(row, c);
    if (!item) continue;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable;
    if (c != kColNumber && !section) flags |= Qt::ItemIsEditable;
    item->setFlags(flags);
    item->setForeground(section ? kSectionText : textColor_);
  }
  loading_ = wasLoading;
}

void EqBandEditor::RefreshRow(int band) {
  const EqBand* b = panel_.Model().BandAt(band);
  if (!b || band >= list_->rowCount() || !list_->item(band, kColNumber)) return;
  const bool wasLoading = loading_;
  loading_ = true;
  list_->item(band, kColType)->setText(TypeText(*b));
  list_->item(band, kColGain)->setText(GainText(b->gain));
  list_->item(band, kColFrequency)->setText(FrequencyText(b->frequency));
  list_->item(band, kColQ)->setText(QText(b->q));
  loading_ = wasLoading;
  // A head's change moves its sections too.
  if (IsCascadeHead(*b))
    for (const EqBand* section : b->linked) RefreshRow(section->index);
}

void EqBandEditor::RefreshEditor() {
  const EqBand* b = panel_.Model().BandAt(editedBand_);
  if (!b) return;
  const bool wasLoading = loading_;
  loading_ = true;
  bandNumber_->setText(QString::asprintf("%d", editedBand_ + 1));
  if (const int menuType = ShownMenuType(*b)) {
    typeRadios_[std::size_t(menuType - 1)]->setChecked(true);
  } else {
    types_->setExclusive(false);  // no radio stands for "off" or a bare section type
    for (QRadioButton* radio : typeRadios_) radio->setChecked(false);
    types_->setExclusive(true);
  }
  const BandSliderPositions at = SliderPositions(*b);
  gainSlider_->setEnabled(at.gainEnabled);
  gainField_->setEnabled(at.gainEnabled);
  gainSlider_->setValue(at.gain);
  gainField_->setText(GainText(b->gain));
  frequencySlider_->setValue(at.frequency);
  frequencyField_->setText(FrequencyText(b->frequency));
  qSlider_->setRange(10, at.qMaximum);
  qSlider_->setValue(at.q);
  qField_->setText(QText(b->q));
  loading_ = wasLoading;
  RefreshFamily();
}

void EqBandEditor::RefreshFamily() {
  if (!familyCombo_) return;
  const EqBand* b = panel_.Model().BandAt(editedBand_);
  const bool offered = b && OffersCrossoverFamily(*b);
  familyLabel_->setVisible(offered);
  familyCombo_->setVisible(offered);
  if (!offered) return;
  const bool wasLoading = loading_;
  loading_ = true;
  familyCombo_->setCurrentIndex(ShownCrossoverFamily(*b));
  loading_ = wasLoading;
}

}  // namespace dsptune
