#include "editors/model/RoomPanelModel.h"

#include <algorithm>
#include <cmath>

#include "model/SaturatingCast.h"

namespace dsptune {
namespace {

std::string WholeMetres(char sign, int metres) { return std::string(1, sign) + std::to_string(metres) + "m"; }

// The border label: half the side with one decimal when the side is odd, else the
// whole number of metres.
std::string BorderLabel(char sign, float side, int n) {
  const int whole = SaturatingCast<int>(side);
  if (whole % 2 == 1) {
    const long long tenths = whole * 5LL;  // side / 2 in tenths, exact for an odd whole side
    return std::string(1, sign) + std::to_string(tenths / 10) + "." + std::to_string(tenths % 10) + "m";
  }
  return WholeMetres(sign, n);
}

bool UsableSide(float metres) { return std::isfinite(metres) && metres > 0.0f; }

}  // namespace

std::vector<GridLine> RoomGridLines(int areaStart, int areaLength, float side, bool lowFirst) {
  std::vector<GridLine> lines;
  if (!UsableSide(side) || areaLength <= 0) return lines;
  const int n = SaturatingCast<int>(std::ceil(side / 2.0f));
  const int step = SaturatingCast<int>(static_cast<float>(areaLength) / side);
  const int middle = areaStart + areaLength / 2;
  const char lowSign = lowFirst ? '-' : '+';
  const char highSign = lowFirst ? '+' : '-';
  for (int i = 0; i < n; ++i) {
    if (i == 0) {
      lines.push_back({middle, "0", false});
      continue;
    }
    lines.push_back({middle - i * step, WholeMetres(lowSign, i), false});
    lines.push_back({middle + i * step, WholeMetres(highSign, i), false});
  }
  lines.push_back({areaStart, BorderLabel(lowSign, side, n), true});
  lines.push_back({areaStart + areaLength, BorderLabel(highSign, side, n), true});
  return lines;
}

RoomPanelModel::RoomPanelModel() {
  markers_[0] = {kListenerMarker, 0, 0, 0.0f, 0.0f};
  for (int n = 1; n <= kSpeakerCount; ++n) {
    const SpeakerPlace& place = Speaker(n);
    markers_[std::size_t(n)] = {n, 0, 0, place.defaultX, place.defaultY};
  }
}

void RoomPanelModel::SetClientSize(int width, int height) {
  clientWidth_ = std::max(width, 0);
  clientHeight_ = std::max(height, 0);
  for (RoomMarker& m : markers_) Place(m);
}

void RoomPanelModel::SetRoomSize(float width, float length) {
  if (!UsableSide(width) || !UsableSide(length)) return;
  width_ = width;
  length_ = length;
  for (RoomMarker& m : markers_) Place(m);
}

void RoomPanelModel::MoveMarker(int index, float x, float y) {
  if (index < 0 || index >= kRoomMarkerCount) return;
  RoomMarker& m = markers_[std::size_t(index)];
  m.x = x;
  m.y = y;
  Place(m);
}

const RoomMarker& RoomPanelModel::Marker(int index) const {
  return markers_[std::size_t(std::clamp(index, 0, kRoomMarkerCount - 1))];
}

float RoomPanelModel::ScaleX() const { return static_cast<float>(AreaWidth()) / width_; }
float RoomPanelModel::ScaleY() const { return static_cast<float>(AreaHeight()) / length_; }

int RoomPanelModel::PixelX(float x) const {
  return SaturatingCast<int>(static_cast<float>(AreaLeft()) + ScaleX() * (width_ / 2.0f + x));
}
int RoomPanelModel::PixelY(float y) const {
  return SaturatingCast<int>(static_cast<float>(AreaTop()) + ScaleY() * (length_ / 2.0f - y));
}

void RoomPanelModel::Place(RoomMarker& m) const {
  m.px = PixelX(m.x);
  m.py = PixelY(m.y);
}

int RoomPanelModel::Press(int mx, int my) {
  for (int i = 0; i < kRoomMarkerCount; ++i) {
    const RoomMarker& m = markers_[std::size_t(i)];
    if (std::abs(mx - m.px) < kMarkerHitRadius && std::abs(my - m.py) < kMarkerHitRadius) {
      dragging_ = true;
      dragged_ = i;
      return i;
    }
  }
  return -1;
}

int RoomPanelModel::Drag(int mx, int my) {
  if (!dragging_ || dragged_ < 0) return -1;
  // An area narrower than nothing (a tiny panel) leaves the point where the inset begins.
  const int right = std::max(AreaLeft(), clientWidth_ - kRoomPanelInset);
  const int bottom = std::max(AreaTop(), clientHeight_ - kRoomPanelInset);
  const int px = std::clamp(mx, AreaLeft(), right);
  const int py = std::clamp(my, AreaTop(), bottom);
  const float sx = ScaleX();
  const float sy = ScaleY();
  RoomMarker& m = markers_[std::size_t(dragged_)];
  m.px = px;
  m.py = py;
  // The centre is the client rectangle's, in whole pixels.
  const int cx = clientWidth_ / 2;
  const int cy = clientHeight_ / 2;
  if (sx > 0.0f) m.x = static_cast<float>(px - cx) / sx;
  if (sy > 0.0f) m.y = static_cast<float>(cy - py) / sy;
  return dragged_;
}

void RoomPanelModel::Release() {
  dragging_ = false;
  dragged_ = -1;
}

std::vector<GridLine> RoomPanelModel::VerticalLines() const {
  return RoomGridLines(AreaLeft(), AreaWidth(), width_, true);
}

std::vector<GridLine> RoomPanelModel::HorizontalLines() const {
  return RoomGridLines(AreaTop(), AreaHeight(), length_, false);
}

}  // namespace dsptune
