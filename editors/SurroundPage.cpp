#include "editors/SurroundPage.h"

#include <QApplication>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <vector>

#include "editors/ControlTips.h"
#include "editors/RoomPanel.h"
#include "editors/OutputPageButtons.h"
#include "editors/model/EqBandEditing.h"
#include "editors/model/ValueLabel.h"
#include "link/LinkState.h"
#include "model/DebugLog.h"
#include "model/DerivedRecords.h"
#include "model/EditJournal.h"
#include "model/ParameterImage.h"
#include "ui/DialogTexts.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {


constexpr int kRoomEditIds[2] = {1038, 1039};
constexpr int kRoomSpinIds[2] = {1242, 1243};
constexpr int kRoomCaptionIds[2] = {1229, 1139};
constexpr int kSpeakerLabelIds[kSpeakerCount] = {1011, 1012, 1013, 1022, 1023, 1017, 1018, 1019};
constexpr int kLocateIds[SurroundPage::kChannels] = {1231, 1232, 1233, 1234, 1235, 1236, 1240, 1241};
constexpr int kFirstSliderId = 1041;
constexpr int kFirstRoleLabelId = 1123;
constexpr int kFirstLevelLabelId = 1131;

// Listener X and Y are 1230 and 1049; speaker n's are 1048 + 2n and 1049 + 2n.
int CoordinateEditId(int marker, int axis) {
  if (marker == kListenerMarker) return axis == SurroundPage::kX ? 1230 : 1049;
  return 1048 + 2 * marker + axis;
}
int CoordinateSpinId(int marker, int axis) { return 1244 + 2 * marker + axis; }

constexpr std::uint8_t kChannelLevelAddress = 0x18;
constexpr int kEditWidth = 56;
constexpr int kRowHeight = 24;

const char kCommandButtonStyle[] =
    "QPushButton { color: white; background-color: #3C73BE; border: 1px solid #2A5794; border-radius: 3px;"
    " padding: 3px 12px; font-family: '宋体', 'SimSun', 'Noto Sans CJK SC'; font-size: 12px; }"
    "QPushButton:hover { background-color: #4A82CE; }"
    "QPushButton:pressed { background-color: #2A5794; }";

QString FromStd(const std::string& text) { return QString::fromStdString(text); }
QString LevelText(int percent) { return QStringLiteral("%1%").arg(percent); }
int Sign(int delta) { return delta > 0 ? 1 : -1; }

int ChannelIndex(int channel) { return std::clamp(channel, 0, SurroundPage::kChannels - 1); }
int MarkerIndex(int marker) { return std::clamp(marker, 0, kRoomMarkerCount - 1); }
int AxisIndex(int axis) { return std::clamp(axis, 0, 1); }

}  // namespace

// ---------------------------------------------------------------- SpinButtons

SpinButtons::SpinButtons(QWidget* parent) : QWidget(parent) {
  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  up_ = new QToolButton(this);
  down_ = new QToolButton(this);
  up_->setArrowType(Qt::UpArrow);
  down_->setArrowType(Qt::DownArrow);
  for (QToolButton* button : {up_, down_}) {
    button->setAutoRepeat(true);
    button->setFocusPolicy(Qt::NoFocus);
    button->setFixedSize(16, kRowHeight / 2);
    column->addWidget(button);
  }
  connect(up_, &QToolButton::clicked, this, [this] { Step(+1); });
  connect(down_, &QToolButton::clicked, this, [this] { Step(-1); });
  setFixedSize(16, kRowHeight);
}

void SpinButtons::SetRange(int minimum, int maximum) {
  minimum_ = std::min(minimum, maximum);
  maximum_ = std::max(minimum, maximum);
}

// ---------------------------------------------------------------- building

SurroundPage::SurroundPage(QWidget* parent) : EditorPage(kEditorSurround, 0, parent) {

  OutputPageButtons::Options pages;
  pages.pressedKind = kEditorSurround;
  pageRow_ = new OutputPageButtons(this, pages);
  pageRow_->ForwardTo(this);
  BuildRoomGroup();
  BuildCoordinateGroups();
  BuildChannelGroup();
  LayOut();

  // The wheel goes to the focused slider or edit from anywhere on the page, and Enter in
  // a coordinate edit applies it.
  for (QWidget* child : findChildren<QWidget*>()) child->installEventFilter(this);

  ReloadSurroundPage();
  ApplyTexts();
}

SurroundPage::~SurroundPage() = default;

void SurroundPage::BuildRoomGroup() {
  panel_ = new RoomPanel(this);
  connect(panel_, &RoomPanel::markerPressed, this, &SurroundPage::OnMarkerMoved);
  connect(panel_, &RoomPanel::markerDragged, this, &SurroundPage::OnMarkerMoved);

  roomGroup_ = new QGroupBox(this);
  SetControlId(roomGroup_, 1007);
  for (int side = 0; side < 2; ++side) {
    auto* caption = new QLabel(roomGroup_);
    SetControlId(caption, kRoomCaptionIds[side]);
    auto* edit = new QLineEdit(roomGroup_);
    edit->setFixedSize(kEditWidth, kRowHeight);
    edit->setAlignment(Qt::AlignCenter);
    SetControlId(edit, kRoomEditIds[side]);
    auto* spin = new SpinButtons(roomGroup_);
    spin->SetRange(kMinRoomMetres, kMaxRoomMetres);
    SetControlId(spin, kRoomSpinIds[side]);
    connect(spin, &SpinButtons::stepRequested, this, [this, side](int delta) { OnRoomSpin(side, delta); });
    roomCaptions_[std::size_t(side)] = caption;
    roomEdits_[std::size_t(side)] = edit;
    roomSpins_[std::size_t(side)] = spin;
  }
  modifyButton_ = new QPushButton(roomGroup_);
  SetControlId(modifyButton_, 1239);
  connect(modifyButton_, &QPushButton::clicked, this, &SurroundPage::OnModify);
}

QWidget* SurroundPage::CoordinateCell(int marker, int axis, QWidget* parent) {
  auto* cell = new QWidget(parent);
  auto* row = new QHBoxLayout(cell);
  row->setContentsMargins(0, 0, 0, 0);
  row->setSpacing(1);
  auto* edit = new QLineEdit(cell);
  edit->setFixedSize(kEditWidth, kRowHeight);
  edit->setAlignment(Qt::AlignCenter);
  SetControlId(edit, CoordinateEditId(marker, axis));
  auto* spin = new SpinButtons(cell);
  SetControlId(spin, CoordinateSpinId(marker, axis));
  connect(spin, &SpinButtons::stepRequested, this,
          [this, marker, axis](int delta) { OnCoordinateSpin(marker, axis, delta); });
  row->addWidget(edit);
  row->addWidget(spin);
  coordinates_[std::size_t(marker)].edits[std::size_t(axis)] = edit;
  coordinates_[std::size_t(marker)].spins[std::size_t(axis)] = spin;
  return cell;
}

void SurroundPage::BuildCoordinateGroups() {
  // The listener's row lines up with the speakers' rows below it, "Center" in the
  // column of the speaker names.
  listenerGroup_ = new QGroupBox(this);
  SetControlId(listenerGroup_, 1006);
  auto* listener = new QGridLayout(listenerGroup_);
  listener->setContentsMargins(10, 4, 10, 8);
  listener->setHorizontalSpacing(8);
  listener->setVerticalSpacing(3);
  for (int axis = 0; axis < 2; ++axis) {
    auto* label = new QLabel(axis == kX ? QStringLiteral("X") : QStringLiteral("Y"), listenerGroup_);
    label->setAlignment(Qt::AlignCenter);
    listenerAxisLabels_[std::size_t(axis)] = label;
    listener->addWidget(label, 0, 1 + axis);
    listener->addWidget(CoordinateCell(kListenerMarker, axis, listenerGroup_), 1, 1 + axis);
  }
  centerButton_ = new QPushButton(listenerGroup_);
  SetControlId(centerButton_, 1238);
  connect(centerButton_, &QPushButton::clicked, this, &SurroundPage::OnCenter);
  listener->addWidget(centerButton_, 1, 0, Qt::AlignLeft);
  listener->setColumnStretch(0, 1);

  speakerGroup_ = new QGroupBox(this);
  SetControlId(speakerGroup_, 1002);
  auto* grid = new QGridLayout(speakerGroup_);
  grid->setContentsMargins(10, 4, 10, 8);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(3);
  for (int axis = 0; axis < 2; ++axis) {
    auto* label = new QLabel(axis == kX ? QStringLiteral("X") : QStringLiteral("Y"), speakerGroup_);
    label->setAlignment(Qt::AlignCenter);
    speakerAxisLabels_[std::size_t(axis)] = label;
    grid->addWidget(label, 0, 1 + axis);
  }
  for (int n = 1; n <= kSpeakerCount; ++n) {
    auto* label = new QLabel(speakerGroup_);
    SetControlId(label, kSpeakerLabelIds[n - 1]);
    speakerLabels_[std::size_t(n - 1)] = label;
    grid->addWidget(label, n, 0);
    for (int axis = 0; axis < 2; ++axis) grid->addWidget(CoordinateCell(n, axis, speakerGroup_), n, 1 + axis);
  }
  grid->setColumnStretch(0, 1);

  unitLabel_ = new QLabel(this);
  SetControlId(unitLabel_, 1005);
}

void SurroundPage::BuildChannelGroup() {
  channelGroup_ = new QGroupBox(this);
  for (int c = 0; c < kChannels; ++c) {
    ChannelRow& row = channels_[std::size_t(c)];
    row.caption = new QLabel(channelGroup_);
    row.slider = new QSlider(Qt::Horizontal, channelGroup_);
    row.slider->setRange(0, kMaxChannelLevelPercent);
    // A click beside the handle, an arrow key and a wheel notch each move one step.
    row.slider->setSingleStep(1);
    row.slider->setPageStep(1);
    row.slider->setMinimumWidth(90);
    SetControlId(row.slider, kFirstSliderId + c);
    row.level = new QLabel(channelGroup_);
    row.level->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row.level->setMinimumWidth(row.level->fontMetrics().horizontalAdvance(QStringLiteral("500%")) + 4);
    SetControlId(row.level, kFirstLevelLabelId + c);
    row.positionLevel = new QLabel(channelGroup_);
    row.positionLevel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    row.positionLevel->setMinimumWidth(row.positionLevel->fontMetrics().horizontalAdvance(QStringLiteral("-88.8dB")) + 4);
    row.role = new QLabel(channelGroup_);
    SetControlId(row.role, kFirstRoleLabelId + c);
    row.locate = new QCheckBox(channelGroup_);
    SetControlId(row.locate, kLocateIds[c]);
    connect(row.slider, &QSlider::valueChanged, this, [this, c](int position) {
      if (!loading_) OnLevelSlider(c, position);
    });
    connect(row.locate, &QCheckBox::clicked, this, [this, c](bool ticked) { OnLocateBox(c, ticked); });
  }
  resetButton_ = new QPushButton(this);
  SetControlId(resetButton_, 1216);
  connect(resetButton_, &QPushButton::clicked, this, &SurroundPage::OnReset);
  for (QPushButton* button : {modifyButton_, centerButton_, resetButton_}) {
    button->setStyleSheet(QString::fromUtf8(kCommandButtonStyle));
    button->setCursor(Qt::PointingHandCursor);
    button->setMinimumHeight(kRowHeight);
  }
}

void SurroundPage::LayOut() {
  // Room size: two rows of caption, edit and spin, "Modify" beside them.
  auto* room = new QGridLayout(roomGroup_);
  room->setContentsMargins(10, 6, 10, 8);
  room->setHorizontalSpacing(6);
  room->setVerticalSpacing(4);
  for (int side = 0; side < 2; ++side) {
    room->addWidget(roomCaptions_[std::size_t(side)], side, 0);
    auto* cell = new QHBoxLayout;
    cell->setSpacing(1);
    cell->addWidget(roomEdits_[std::size_t(side)]);
    cell->addWidget(roomSpins_[std::size_t(side)]);
    room->addLayout(cell, side, 1);
  }
  room->setColumnStretch(2, 1);
  room->addWidget(modifyButton_, 0, 3, 2, 1, Qt::AlignVCenter);

  auto* levels = new QGridLayout(channelGroup_);
  levels->setContentsMargins(10, 6, 10, 6);
  levels->setHorizontalSpacing(8);
  levels->setVerticalSpacing(2);
  for (int c = 0; c < kChannels; ++c) {
    const ChannelRow& row = channels_[std::size_t(c)];
    levels->addWidget(row.caption, c, 0);
    levels->addWidget(row.slider, c, 1);
    levels->addWidget(row.level, c, 2);
    levels->addWidget(row.positionLevel, c, 3);
    levels->addWidget(row.role, c, 4);
    levels->addWidget(row.locate, c, 5);
  }
  levels->setColumnStretch(1, 1);

  auto* coordinates = new QVBoxLayout;
  coordinates->setSpacing(8);
  coordinates->addWidget(listenerGroup_);
  coordinates->addWidget(speakerGroup_);
  coordinates->addWidget(unitLabel_);
  coordinates->addStretch(1);

  auto* resetRow = new QHBoxLayout;
  resetRow->addStretch(1);
  resetRow->addWidget(resetButton_);

  auto* settings = new QVBoxLayout;
  settings->setSpacing(8);
  settings->addWidget(roomGroup_);
  settings->addWidget(channelGroup_);
  settings->addStretch(1);
  settings->addLayout(resetRow);

  auto* body = new QHBoxLayout;
  body->setSpacing(10);
  body->addWidget(panel_, 1);
  body->addLayout(coordinates, 0);
  body->addLayout(settings, 0);

  auto* root = new QVBoxLayout(this);
  root->setContentsMargins(8, 6, 8, 8);
  root->setSpacing(8);
  root->addLayout(pageRow_->MakeRow());
  root->addLayout(body, 1);
}

// ---------------------------------------------------------------- reloading

void SurroundPage::RefreshPage() {
  ReloadSurroundPage();
  ShowRoleLabels();
}

void SurroundPage::ReloadSurroundPage() {
  pageRow_->ShowPagePressed();
  if (CurrentLink().connected) {
    const std::vector<std::uint8_t> selector = ReadLiveBytes(kSsvcLocateOffset, 1);
    const int channel = selector.empty() ? -1 : FirstChannelWithRole(ReadChannelRoles(), selector[0]);
    for (int c = 0; c < kChannels; ++c) channels_[std::size_t(c)].locate->setChecked(c == channel);
    tickedBox_ = channel + 1;
  }
  loading_ = true;
  for (int c = 0; c < kChannels; ++c) {
    const int percent = UiValue(ChannelBlock(c), kChannelLevelAddress);
    channels_[std::size_t(c)].slider->setValue(std::clamp(percent, 0, kMaxChannelLevelPercent));
    channels_[std::size_t(c)].level->setText(LevelText(percent));
  }
  loading_ = false;
  ReloadRoomAndMarkers();
  ShowPositionLevels();
}

void SurroundPage::ReloadRoomAndMarkers() {
  const SsvcSettings s = EditorSnapshot().ssvc;
  panel_->SetRoomSize(float(s.roomWidth), float(s.roomLength));
  const int sizes[2] = {s.roomWidth, s.roomLength};
  for (int side = 0; side < 2; ++side) {
    roomSpins_[std::size_t(side)]->SetPosition(sizes[side]);
    roomEdits_[std::size_t(side)]->setText(FromStd(RoomSizeText(sizes[side])));
  }
  SetCoordinateRanges(s.roomWidth, s.roomLength);
  for (int k = 0; k < kRoomMarkerCount; ++k) {
    const std::array<float, 2> metres = MarkerMetres(s, k);
    ShowMarker(k, metres[0], metres[1]);
  }
}

void SurroundPage::ShowMarker(int marker, float x, float y) {
  panel_->MoveMarker(marker, x, y);
  const float metres[2] = {x, y};
  CoordinateRow& row = coordinates_[std::size_t(marker)];
  for (int axis = 0; axis < 2; ++axis) {
    row.edits[std::size_t(axis)]->setText(FromStd(MetresText(metres[axis])));
    row.spins[std::size_t(axis)]->SetPosition(SpinTenths(metres[axis]));
  }
}

void SurroundPage::SetCoordinateRanges(int width, int length) {
  for (CoordinateRow& row : coordinates_) {
    row.spins[kX]->SetRange(-SpinLimit(width), SpinLimit(width));
    row.spins[kY]->SetRange(-SpinLimit(length), SpinLimit(length));
  }
}

void SurroundPage::ShowRoleLabels() {
  const int language = CurrentLanguage();
  for (int c = 0; c < kChannels; ++c) {
    const char* name = RoleName(UiValue(ChannelBlock(c), kChannelRole), language);
    channels_[std::size_t(c)].role->setText(QStringLiteral("(%1)").arg(QString::fromUtf8(name)));
  }
  const ChannelRoles roles = ReadChannelRoles();
  std::array<int, kSpeakerCount> speakerChannels{};
  for (int n = 1; n <= kSpeakerCount; ++n)
    speakerChannels[std::size_t(n - 1)] = FirstChannelWithRole(roles, Speaker(n).role);
  panel_->SetSpeakerChannels(speakerChannels);
  panel_->update();  // the captions follow the language
}

void SurroundPage::ApplyTips() {
  const auto tipSpin = [](SpinButtons* spin, const char* chinese, const char* english) {
    SetTip(&spin->UpButton(), chinese, english);
    SetTip(&spin->DownButton(), chinese, english);
  };
  SetTip(panel_, "拖动听众或扬声器改变位置；各通道的电平随离听众的距离而定",
         "Drag the listener or a speaker to move it; each channel's level follows its distance to the listener");
  const char* const sideChinese[2] = {"房间的宽度（1至10米），按“立即修改”生效", "房间的长度（1至10米），按“立即修改”生效"};
  const char* const sideEnglish[2] = {"Width of the room (1 to 10 m); Modify applies it", "Length of the room (1 to 10 m); Modify applies it"};
  for (int side = 0; side < 2; ++side) {
    SetTip(roomEdits_[std::size_t(side)], sideChinese[side], sideEnglish[side]);
    tipSpin(roomSpins_[std::size_t(side)], side == kWidth ? "房间宽度加减1米" : "房间长度加减1米",
            side == kWidth ? "Room width one metre up or down" : "Room length one metre up or down");
  }
  SetTip(modifyButton_, "按输入的宽度和长度改变房间大小", "Resizes the room to the typed width and length");
  SetTip(centerButton_, "把听众移到房间中央", "Moves the listener to the middle of the room");
  SetTip(resetButton_, "扬声器回到默认位置，各通道的位置电平归零", "Speakers back to their places, position levels to 0 dB");
  for (int k = 0; k < kRoomMarkerCount; ++k) {
    for (int axis = 0; axis < 2; ++axis) {
      const CoordinateRow& row = coordinates_[std::size_t(k)];
      SetTip(row.edits[std::size_t(axis)], axis == kX ? "左右位置（米，右为正），按回车生效" : "前后位置（米，前为正），按回车生效",
             axis == kX ? "Left/right place in metres (right is +); press Enter"
                        : "Front/back place in metres (front is +); press Enter");
      tipSpin(row.spins[std::size_t(axis)], "位置加减0.1米", "Place 0.1 m up or down");
    }
  }
  for (int c = 0; c < kChannels; ++c) {
    const ChannelRow& row = channels_[std::size_t(c)];
    SetTip(row.slider, QString::fromUtf8("通道%1的电平（0至500%）").arg(c + 1),
           QStringLiteral("Level of CH %1 (0 to 500 %)").arg(c + 1));
    SetTip(row.positionLevel, "房间布局给本通道算出的电平", "Level the room layout gives this channel");
    SetTip(row.locate, "用本通道的位置作为定位声源", "Locates the sound at this channel's speaker");
  }
}

void SurroundPage::ApplyTexts() {
  for (int c = 0; c < kChannels; ++c) {
    channels_[std::size_t(c)].caption->setText(PickText(QString::fromUtf8("通道%1").arg(c + 1),
                                                        QStringLiteral("CH%1").arg(c + 1)));
    channels_[std::size_t(c)].locate->setText(PickText("定位", "Locate"));
  }
  pageRow_->ApplyTexts();
  roomGroup_->setTitle(PickText("房间大小", "Room size"));
  listenerGroup_->setTitle(PickText("听众位置", "Audience source"));
  speakerGroup_->setTitle(PickText("声源的位置", "Sound source"));
  roomCaptions_[kWidth]->setText(PickText("宽(m)", "Width(m)"));
  roomCaptions_[kLength]->setText(PickText("长(m)", "Length(m)"));
  modifyButton_->setText(PickText("立即修改", "Modify"));
  centerButton_->setText(PickText("居中", "Center"));
  resetButton_->setText(PickText("复位", "Reset"));
  unitLabel_->setText(PickText("长度单位:米(m)", "Unit:m"));
  for (int n = 1; n <= kSpeakerCount; ++n)
    speakerLabels_[std::size_t(n - 1)]->setText(PickText(Speaker(n).labelChinese, Speaker(n).labelEnglish));
  ApplyTips();
  ApplyDialogTexts(this, kDialogNumber);
  ShowRoleLabels();
}

// ---------------------------------------------------------------- room size

void SurroundPage::OnModify() {
  int sizes[2];
  for (int side = 0; side < 2; ++side) {
    sizes[side] = ClampRoomSize(LeadingInteger(roomEdits_[std::size_t(side)]->text().toStdString()));
    roomEdits_[std::size_t(side)]->setText(FromStd(RoomSizeText(sizes[side])));
    roomSpins_[std::size_t(side)]->SetPosition(sizes[side]);
  }
  ApplyRoomSize(sizes[0], sizes[1]);
}

void SurroundPage::OnRoomSpin(int side, int delta) {
  const int position = SteppedRoomSize(roomSpins_[std::size_t(side)]->Position(), delta);
  roomSpins_[std::size_t(side)]->SetPosition(position);
  roomEdits_[std::size_t(side)]->setText(QString::number(position));
  int sizes[2];
  for (int s = 0; s < 2; ++s) {
    sizes[s] = ClampRoomSize(LeadingInteger(roomEdits_[std::size_t(s)]->text().toStdString()));
    roomEdits_[std::size_t(s)]->setText(FromStd(RoomSizeText(sizes[s])));
    // The other side may have been typed without "Modify": its spin follows the size
    // that is now stored, since typed coordinates are clamped by the spins.
    roomSpins_[std::size_t(s)]->SetPosition(sizes[s]);
  }
  ApplyRoomSize(sizes[0], sizes[1]);
}

void SurroundPage::ApplyRoomSize(int width, int length) {
  panel_->SetRoomSize(float(width), float(length));
  StoreRoomSize(width, length);
  SetCoordinateRanges(width, length);
}

// ---------------------------------------------------------------- coordinates

int SurroundPage::FocusedMarker() const {
  const QWidget* focused = focusWidget();
  if (!focused) return -1;
  for (int k = 0; k < kRoomMarkerCount; ++k)
    for (const QLineEdit* edit : coordinates_[std::size_t(k)].edits)
      if (edit == focused) return k;
  return -1;
}

void SurroundPage::ApplyCoordinateEdit(bool fromEnter) {
  const int k = FocusedMarker();
  if (k < 0) {
    DebugLog("HandleEditChangeEvent Index=-1\n");
    return;
  }
  ApplyCoordinates(k, fromEnter);
}

void SurroundPage::ApplyCoordinates(int k, bool fromEnter) {
  CoordinateRow& row = coordinates_[std::size_t(k)];
  double metres[2];
  for (int axis = 0; axis < 2; ++axis) {
    const double typed = LeadingNumber(row.edits[std::size_t(axis)]->text().toStdString());
    metres[axis] = ClampToRoom(typed, roomSpins_[std::size_t(axis)]->Position());
  }
  for (int axis = 0; axis < 2; ++axis) {
    if (fromEnter) row.spins[std::size_t(axis)]->SetPosition(SpinTenths(metres[axis]));
    row.edits[std::size_t(axis)]->setText(FromStd(MetresText(metres[axis])));
  }
  panel_->MoveMarker(k, float(metres[0]), float(metres[1]));
  MoveRoomMarker(k, float(metres[0]), float(metres[1]));
  ShowPositionLevels();
}

void SurroundPage::OnCoordinateSpin(int marker, int axis, int delta) {
  SpinButtons* spin = coordinates_[std::size_t(marker)].spins[std::size_t(axis)];
  QLineEdit* edit = coordinates_[std::size_t(marker)].edits[std::size_t(axis)];
  // X spins follow the room width, Y spins its length.
  const int position = SteppedSpinPosition(spin->Position(), delta, roomSpins_[std::size_t(axis)]->Position());
  spin->SetPosition(position);
  edit->setText(FromStd(MetresText(position / 10.0)));
  // The spin knows its edit, so the apply does not hang on the focus having arrived
  // (it cannot while the page's window is inactive).
  edit->setFocus();
  ApplyCoordinates(marker, false);
}

void SurroundPage::OnMarkerMoved(int index) {
  const RoomMarker& marker = panel_->Marker(index);
  MoveRoomMarker(index, marker.x, marker.y);
  ShowPositionLevels();
  const float metres[2] = {marker.x, marker.y};
  CoordinateRow& row = coordinates_[std::size_t(MarkerIndex(index))];
  for (int axis = 0; axis < 2; ++axis) {
    row.edits[std::size_t(axis)]->setText(FromStd(MetresText(metres[axis])));
    row.spins[std::size_t(axis)]->SetPosition(SpinTenths(metres[axis]));
  }
}

void SurroundPage::OnCenter() {
  const EditStepScope step({"居中", "Center"});
  panel_->MoveMarker(kListenerMarker, 0.0f, 0.0f);
  CenterListener();
  ShowPositionLevels();
  // The edits follow, so that a later Enter in them does not move the listener back.
  CoordinateRow& row = coordinates_[kListenerMarker];
  for (int axis = 0; axis < 2; ++axis) {
    row.edits[std::size_t(axis)]->setText(FromStd(MetresText(0.0)));
    row.spins[std::size_t(axis)]->SetPosition(0);
  }
}

void SurroundPage::OnReset() {
  const EditStepScope step({"声场定位复位", "Surround reset"});
  ResetSurround();
  ReloadRoomAndMarkers();
  ShowPositionLevels();
}

void SurroundPage::ShowPositionLevels() {
  for (int c = 0; c < kChannels; ++c)
    channels_[std::size_t(c)].positionLevel->setText(
        FromStd(ValueLabelText(ValueUnit::kLevelDecibels, ChannelPositionLevelDb(c))));
}

// ---------------------------------------------------------------- channels

void SurroundPage::OnLevelSlider(int channel, int position) {
  channels_[std::size_t(channel)].level->setText(LevelText(position));
  SetParameter(ChannelBlock(channel), kChannelLevelAddress, position);
}

void SurroundPage::OnLocateBox(int channel, bool ticked) {
  if (ticked) {
    SetSsvcLocateSelector(UiValue(ChannelBlock(channel), kChannelRole));
    for (int c = 0; c < kChannels; ++c) channels_[std::size_t(c)].locate->setChecked(c == channel);
    tickedBox_ = channel + 1;
  } else {
    SetSsvcLocateSelector(kLocateNone);
    for (ChannelRow& row : channels_) row.locate->setChecked(false);
    tickedBox_ = 0;
  }
}

// ---------------------------------------------------------------- keyboard and wheel

bool SurroundPage::RouteWheel(QWheelEvent* event, QObject* target) {
  QWidget* focused = focusWidget();
  const int dy = event->angleDelta().y();
  if (!focused || dy == 0) return false;
  for (const ChannelRow& row : channels_) {
    if (focused != row.slider) continue;
    if (target == focused) return false;  // already on its way there
    QApplication::sendEvent(focused, event);
    return true;
  }
  for (int side = 0; side < 2; ++side) {
    if (focused != roomEdits_[std::size_t(side)]) continue;
    OnRoomSpin(side, Sign(dy));
    return true;
  }
  for (int k = 0; k < kRoomMarkerCount; ++k)
    for (int axis = 0; axis < 2; ++axis) {
      if (focused != coordinates_[std::size_t(k)].edits[std::size_t(axis)]) continue;
      OnCoordinateSpin(k, axis, Sign(dy));
      return true;
    }
  return false;
}

bool SurroundPage::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Wheel:
      return RouteWheel(static_cast<QWheelEvent*>(event), watched);
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
      const auto* key = static_cast<QKeyEvent*>(event);
      if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) break;
      bool coordinateEdit = false;
      for (const CoordinateRow& row : coordinates_)
        for (const QLineEdit* edit : row.edits) coordinateEdit = coordinateEdit || edit == watched;
      if (!coordinateEdit) break;
      if (event->type() == QEvent::KeyRelease) ApplyCoordinateEdit(true);
      return true;
    }
    default:
      break;
  }
  return EditorPage::eventFilter(watched, event);
}

void SurroundPage::wheelEvent(QWheelEvent* event) {
  if (RouteWheel(event, this)) return;
  EditorPage::wheelEvent(event);
}

// ---------------------------------------------------------------- test access

QPushButton& SurroundPage::ChannelButton(int channel) const { return pageRow_->ChannelButton(channel); }
QPushButton& SurroundPage::PageButton(int index) const { return pageRow_->PageButton(index); }
QLineEdit& SurroundPage::RoomEdit(int side) const { return *roomEdits_[std::size_t(AxisIndex(side))]; }
SpinButtons& SurroundPage::RoomSpin(int side) const { return *roomSpins_[std::size_t(AxisIndex(side))]; }
QLineEdit& SurroundPage::CoordinateEdit(int marker, int axis) const {
  return *coordinates_[std::size_t(MarkerIndex(marker))].edits[std::size_t(AxisIndex(axis))];
}
SpinButtons& SurroundPage::CoordinateSpin(int marker, int axis) const {
  return *coordinates_[std::size_t(MarkerIndex(marker))].spins[std::size_t(AxisIndex(axis))];
}
QLabel& SurroundPage::SpeakerLabel(int speaker) const {
  return *speakerLabels_[std::size_t(std::clamp(speaker, 1, kSpeakerCount) - 1)];
}
QSlider& SurroundPage::LevelSlider(int channel) const { return *channels_[std::size_t(ChannelIndex(channel))].slider; }
QLabel& SurroundPage::LevelLabel(int channel) const { return *channels_[std::size_t(ChannelIndex(channel))].level; }
QLabel& SurroundPage::PositionLevelLabel(int channel) const {
  return *channels_[std::size_t(ChannelIndex(channel))].positionLevel;
}
QLabel& SurroundPage::RoleLabel(int channel) const { return *channels_[std::size_t(ChannelIndex(channel))].role; }
QCheckBox& SurroundPage::LocateBox(int channel) const { return *channels_[std::size_t(ChannelIndex(channel))].locate; }

}  // namespace dsptune
