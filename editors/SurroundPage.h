#pragma once
// The surround volume page (dialog 334), behind the output pages' "Location" button.
// The user describes the listening room: its size, the listener's seat and the places of
// the eight speakers, by dragging markers on the room panel or by typing metres. Each
// speaker's distance to the listener gives a level that goes to the output channel
// playing that speaker's role. Beside the room, one level slider (0..500 %) and one
// "Locate" box per output channel; the ticked box picks the device's locate selector.
//
// Every change is written at once (editors/model/SurroundRoom.h does the writing). The
// page keeps only which "Locate" box is ticked; everything else is reread from the model.
#include <array>

#include "editors/model/SurroundRoom.h"
#include "ui/EditorPage.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class QToolButton;

namespace dsptune {

class RoomPanel;
class OutputPageButtons;

// An up-down control: two arrow buttons that hold an integer position and a range. A
// click asks for a step (+1 up, -1 down); the page decides where the position goes, so
// the control never moves by itself and never clamps a position set from outside.
class SpinButtons : public QWidget {
  Q_OBJECT
 public:
  explicit SpinButtons(QWidget* parent = nullptr);

  void SetRange(int minimum, int maximum);
  int Minimum() const { return minimum_; }
  int Maximum() const { return maximum_; }
  void SetPosition(int position) { position_ = position; }
  int Position() const { return position_; }
  // What a click on an arrow does: asks for a step up (delta > 0) or down.
  void Step(int delta) { emit stepRequested(delta > 0 ? 1 : -1); }
  QToolButton& UpButton() const { return *up_; }
  QToolButton& DownButton() const { return *down_; }

 signals:
  void stepRequested(int delta);

 private:
  QToolButton* up_ = nullptr;
  QToolButton* down_ = nullptr;
  int minimum_ = 0;
  int maximum_ = 100;
  int position_ = 0;
};

class SurroundPage : public EditorPage {
  Q_OBJECT
 public:
  static constexpr int kDialogNumber = 334;
  static constexpr int kChannels = kOutputChannelCount;
  // "Location" (this page, shown pressed), "Record", "Comp".
  static constexpr int kPageButtons = 3;
  enum Side { kWidth = 0, kLength = 1 };
  enum Axis { kX = 0, kY = 1 };

  explicit SurroundPage(QWidget* parent = nullptr);
  ~SurroundPage() override;

  // ---- EditorPage ----
  // ReloadSurroundPage, and the role labels (the roles may have changed with the model).
  void RefreshPage() override;
  // Texts of the page in the current language, dialog 334's table entries, role labels.
  void ApplyTexts() override;

  // Fills every control from the model. With a device link up, the "Locate" boxes
  // follow the device's locate selector; without one they stay as they are.
  void ReloadSurroundPage();
  // "(name)" of each channel's role in the current language.
  void ShowRoleLabels();
  // The ticked "Locate" box: 1..8, 0 for none.
  int TickedLocateBox() const { return tickedBox_; }

  // ---- controls, for the host and tests ----
  QPushButton& ChannelButton(int channel) const;  // 0..7
  QPushButton& PageButton(int index) const;       // 0 "Location", 1 "Record", 2 "Comp"
  RoomPanel& Panel() const { return *panel_; }
  QLineEdit& RoomEdit(int side) const;
  SpinButtons& RoomSpin(int side) const;
  QPushButton& ModifyButton() const { return *modifyButton_; }
  QPushButton& CenterButton() const { return *centerButton_; }
  QPushButton& ResetButton() const { return *resetButton_; }
  // Marker 0 listener, 1..8 speakers.
  QLineEdit& CoordinateEdit(int marker, int axis) const;
  SpinButtons& CoordinateSpin(int marker, int axis) const;
  QLabel& SpeakerLabel(int speaker) const;  // 1..8
  QSlider& LevelSlider(int channel) const;  // 0..7
  QLabel& LevelLabel(int channel) const;
  // The position level in dB the room layout gave the channel ("+0.0dB" before any).
  QLabel& PositionLevelLabel(int channel) const;
  QLabel& RoleLabel(int channel) const;
  QCheckBox& LocateBox(int channel) const;

 signals:
  // A channel button asks for the output page on that channel (0..7).
  void outputPageRequested(int channel);
  // A page button asks for kEditorSurround, kEditorRecord or kEditorCompressor. The
  // receiver may replace this page, so it must not do that inside the emission
  // (connect it queued).
  void pageRequested(int kind);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  struct CoordinateRow {
    std::array<QLineEdit*, 2> edits{};
    std::array<SpinButtons*, 2> spins{};
  };
  struct ChannelRow {
    QLabel* caption = nullptr;
    QSlider* slider = nullptr;
    QLabel* level = nullptr;
    QLabel* positionLevel = nullptr;  // the dB the room gave the channel
    QLabel* role = nullptr;
    QCheckBox* locate = nullptr;
  };

  void BuildRoomGroup();
  void BuildCoordinateGroups();
  void BuildChannelGroup();
  void LayOut();
  QWidget* CoordinateCell(int marker, int axis, QWidget* parent);

  // Room size, coordinate spin ranges, the panel and the 18 edits and spins.
  void ReloadRoomAndMarkers();
  void ShowMarker(int marker, float x, float y);
  void SetCoordinateRanges(int width, int length);
  void ApplyRoomSize(int width, int length);
  void OnModify();
  void OnRoomSpin(int side, int delta);
  void OnCoordinateSpin(int marker, int axis, int delta);
  // Reads the focused coordinate edit's pair, clamps it, shows it and moves its marker.
  void ApplyCoordinateEdit(bool fromEnter);
  void ApplyCoordinates(int marker, bool fromEnter);
  void OnCenter();
  void OnReset();
  void OnMarkerMoved(int index);
  void OnLevelSlider(int channel, int position);
  void ApplyTips();
  void ShowPositionLevels();
  void OnLocateBox(int channel, bool ticked);
  // Which of the 18 edits the page's focus is in: its marker, or -1.
  int FocusedMarker() const;
  bool RouteWheel(QWheelEvent* event, QObject* target);

  OutputPageButtons* pageRow_ = nullptr;
  RoomPanel* panel_ = nullptr;

  QGroupBox* roomGroup_ = nullptr;
  std::array<QLabel*, 2> roomCaptions_{};
  std::array<QLineEdit*, 2> roomEdits_{};
  std::array<SpinButtons*, 2> roomSpins_{};
  QPushButton* modifyButton_ = nullptr;

  QGroupBox* listenerGroup_ = nullptr;
  QGroupBox* speakerGroup_ = nullptr;
  std::array<QLabel*, 2> listenerAxisLabels_{};
  std::array<QLabel*, 2> speakerAxisLabels_{};
  std::array<QLabel*, kSpeakerCount> speakerLabels_{};
  std::array<CoordinateRow, kRoomMarkerCount> coordinates_{};
  QPushButton* centerButton_ = nullptr;

  QGroupBox* channelGroup_ = nullptr;
  std::array<ChannelRow, kChannels> channels_{};
  QLabel* unitLabel_ = nullptr;
  QPushButton* resetButton_ = nullptr;

  int tickedBox_ = 0;
  bool loading_ = false;  // controls are being set from the model: no writes
};

}  // namespace dsptune
