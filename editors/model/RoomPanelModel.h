#pragma once
// The room panel's geometry without widgets: where each marker of the listening room is
// drawn, which marker a press picks, where a drag puts it, and the grid of metre lines
// with their labels.
//
// The room is drawn into the client rectangle inset by kRoomPanelInset pixels on every
// side, stretched to fill it (so a metre may be wider than it is tall). The client
// rectangle's top-left corner is (0, 0).
#include <array>
#include <string>
#include <vector>

#include "editors/model/SurroundRoom.h"

namespace dsptune {

inline constexpr int kRoomPanelInset = 30;
// A press picks a marker whose centre is less than this many pixels away on both axes.
inline constexpr int kMarkerHitRadius = 16;

struct RoomMarker {
  int number = 0;  // 0 listener, 1..8 speaker
  int px = 0;      // centre in client pixels
  int py = 0;
  float x = 0.0f;  // metres
  float y = 0.0f;
};

struct GridLine {
  int pixel = 0;        // x of a vertical line, y of a horizontal one
  std::string label;    // empty: the line of a pair that carries no label
  bool border = false;  // drawn grey; inner lines dark grey
};

// Lines across one side of the room, in drawing order: for i = 0 .. n - 1 (n the smallest
// whole number not below side/2) the pair at middle -/+ i x step (one line, "0", for
// i = 0), then the two borders. `areaStart` and `areaLength` are the drawing area along
// that axis; `lowFirst` is true when the lower pixel of a pair carries the minus label
// (the X axis) and false when it carries the plus label (the Y axis, up is +).
std::vector<GridLine> RoomGridLines(int areaStart, int areaLength, float sideMetres, bool lowFirst);

class RoomPanelModel {
 public:
  RoomPanelModel();

  // Client size in pixels; marker pixels follow.
  void SetClientSize(int width, int height);
  // Stores the room size and recomputes every marker's pixels; metres stay as they are,
  // also when a marker now lies outside the room.
  void SetRoomSize(float width, float length);
  // Stores the metres of marker 0..8 and recomputes its pixels. Out of range: ignored.
  void MoveMarker(int index, float x, float y);

  // The first marker in index order whose centre is less than kMarkerHitRadius pixels
  // away on both axes; it becomes the dragged one. -1 (and no drag) when none is.
  int Press(int mx, int my);
  // While dragging: the point clamped to the drawing area becomes the marker's pixels,
  // and its metres follow from the client centre. Returns the dragged index, or -1
  // when no drag is under way.
  int Drag(int mx, int my);
  void Release();

  bool Dragging() const { return dragging_; }
  int DraggedIndex() const { return dragged_; }
  const RoomMarker& Marker(int index) const;
  const std::array<RoomMarker, kRoomMarkerCount>& Markers() const { return markers_; }
  float RoomWidth() const { return width_; }
  float RoomLength() const { return length_; }
  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }

  // The drawing area: left, top, width, height.
  int AreaLeft() const { return kRoomPanelInset; }
  int AreaTop() const { return kRoomPanelInset; }
  int AreaWidth() const { return clientWidth_ - 2 * kRoomPanelInset; }
  int AreaHeight() const { return clientHeight_ - 2 * kRoomPanelInset; }
  // Pixels per metre across and along the room.
  float ScaleX() const;
  float ScaleY() const;
  // Where a position in metres is drawn (truncated to whole pixels).
  int PixelX(float x) const;
  int PixelY(float y) const;

  std::vector<GridLine> VerticalLines() const;
  std::vector<GridLine> HorizontalLines() const;

 private:
  void Place(RoomMarker& marker) const;

  std::array<RoomMarker, kRoomMarkerCount> markers_{};
  float width_ = 4.0f;
  float length_ = 4.0f;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  bool dragging_ = false;
  int dragged_ = -1;
};

}  // namespace dsptune
