#pragma once
// The room panel of the surround volume page (control 1237): the listening room drawn as
// a metre grid, the listener and the eight speakers as markers on it. A press on a
// marker starts dragging it; the page hears of the press and of every move and does the
// writing. The geometry is RoomPanelModel's; this widget only paints and routes input.
#include <QFont>
#include <QPixmap>
#include <QStringList>
#include <QWidget>
#include <array>
#include <vector>

#include "editors/model/RoomPanelModel.h"

namespace dsptune {

// A grid label of one side of the room, placed by PlaceGridLabels.
struct GridLabel {
  QRect box;
  bool border = false;  // the labels of the border lines are placed first and never move
  bool shown = true;
};
// Places the labels of one side (alongX: under the vertical lines; else beside the
// horizontal ones), border labels first. An inner label that would run into one already
// placed (the +2m beside the +2.5m border of a 5 m room) moves away from it along the
// side by up to half its own size; only when that is not enough is it left out.
void PlaceGridLabels(std::vector<GridLabel>& labels, bool alongX);

class RoomPanel : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kControlId = 1237;

  explicit RoomPanel(QWidget* parent = nullptr);

  // Room size in metres; every marker is redrawn where its metres now fall (a marker
  // may end up outside the drawn room).
  void SetRoomSize(float width, float length);
  // Metres of marker 0 (listener) .. 8 (speaker 8).
  void MoveMarker(int index, float x, float y);

  const RoomPanelModel& Model() const { return model_; }
  const RoomMarker& Marker(int index) const { return model_.Marker(index); }
  // The output channel (0..7) each speaker 1..8 feeds, -1 for none: a speaker's icon
  // carries its channel's number ("CH 3" is 3), as the channel rows and the output
  // pages do, not its place in the marker list. Until set: the channels of the default
  // roles.
  void SetSpeakerChannels(const std::array<int, kSpeakerCount>& channels);
  // The number drawn on speaker n's icon (its channel, 1..8), empty when no channel
  // has the speaker's role.
  QString SpeakerNumber(int speaker) const;
  // The caption under speaker n in the current language; `shortLabel`: the short name
  // ("SL") used where the full caption would run into another speaker's.
  QString SpeakerCaption(int speaker, bool shortLabel) const;
  // Every number and full caption the panel draws for its speakers.
  QStringList ShownTexts() const;

  // Where the room's client rectangle starts in the widget. A gutter on the left gives
  // the labels of the horizontal lines the room the 30-pixel inset lacks for them.
  int ClientLeft() const { return gutter_; }
  // A marker's centre in widget coordinates.
  QPoint MarkerCentre(int index) const { return {gutter_ + Marker(index).px, Marker(index).py}; }

  QSize sizeHint() const override { return {420, 420}; }
  QSize minimumSizeHint() const override { return {300, 300}; }

 signals:
  // A press picked marker `index`; it is being dragged from now on.
  void markerPressed(int index);
  // The dragged marker moved; its record already holds the new metres.
  void markerDragged(int index);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;

 private:
  void DrawGrid();
  // `shortLabel`: the speaker's short name ("SL") instead of its panel label, where the
  // panel label would run into another speaker's.
  void DrawMarker(QPainter& painter, const RoomMarker& marker, bool shortLabel) const;
  QRect LabelBox(const RoomMarker& marker, const QString& label) const;

  RoomPanelModel model_;
  QPixmap grid_;  // the grid, drawn once per size; null when it must be redrawn
  QFont font_;
  int gutter_ = 0;
  std::array<int, kSpeakerCount> speakerChannels_{};
  QPixmap listenerPicture_;
  QPixmap speakerPicture_;
};

}  // namespace dsptune
