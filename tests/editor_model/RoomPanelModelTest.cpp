// The room panel's geometry: metres to pixels, presses that pick a marker, drags kept in
// the drawing area, a resized room, and the grid lines with their labels.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editors/model/RoomPanelModel.h"

namespace dsptune {
namespace {

// A 460 x 460 panel shows a 4 x 4 room at 100 pixels per metre, centre (230, 230).
RoomPanelModel Panel(int w = 460, int h = 460, float width = 4.0f, float length = 4.0f) {
  RoomPanelModel p;
  p.SetRoomSize(width, length);
  p.SetClientSize(w, h);
  return p;
}

TEST(RoomPanelModel, MetresToPixels) {
  struct Row {
    int w, h;
    float width, length, x, y;
    int px, py;
  } rows[] = {
      {460, 460, 4, 4, 0, 0, 230, 230},
      {460, 460, 4, 4, -1, 1, 130, 130},
      {460, 460, 4, 4, 2, -2, 430, 430},
      {560, 360, 5, 3, 2.5f, 1.5f, 530, 30},        // 100 px per metre both ways
      {560, 360, 5, 3, -0.5f, -0.5f, 230, 230},
      {100, 100, 3, 3, 0.1f, -0.1f, 51, 51},        // 13.33 px per metre, truncated
      {460, 260, 4, 2, 1, 0.5f, 330, 80},           // 100 across, 100 along
  };
  for (const Row& r : rows) {
    RoomPanelModel p = Panel(r.w, r.h, r.width, r.length);
    p.MoveMarker(3, r.x, r.y);
    EXPECT_EQ(p.Marker(3).px, r.px) << r.x;
    EXPECT_EQ(p.Marker(3).py, r.py) << r.y;
  }
}

TEST(RoomPanelModel, StartsWithTheDefaultPlacesAndFollowsResizes) {
  RoomPanelModel p = Panel();
  EXPECT_EQ(p.Marker(0).number, 0);
  EXPECT_EQ(p.Marker(1).px, 130);  // L at (-1, +1)
  EXPECT_EQ(p.Marker(1).py, 130);
  EXPECT_EQ(p.Marker(8).px, 280);  // SR at (+0.5, 0)
  p.SetClientSize(860, 460);       // twice as wide
  EXPECT_EQ(p.Marker(8).px, 30 + 200 * 2.5);
  EXPECT_EQ(p.Marker(8).py, 230);

  // Shrinking the room from 6 to 2 m leaves a speaker at +2.5 m outside the drawn room.
  p = Panel(460, 460, 6, 6);
  p.MoveMarker(3, 2.5f, 0.0f);
  p.SetRoomSize(2, 2);
  EXPECT_FLOAT_EQ(p.Marker(3).x, 2.5f);
  EXPECT_EQ(p.Marker(3).px, 30 + 200 * 3.5);
  p.SetRoomSize(0, 2);  // not a room: ignored
  EXPECT_FLOAT_EQ(p.RoomWidth(), 2.0f);
}

TEST(RoomPanelModel, PressPicksTheFirstMarkerWithin16Pixels) {
  struct Row {
    int x, y, index;
  } rows[] = {
      {230, 230, 0}, {245, 245, 0}, {246, 230, -1},  // 16 px is a miss
      {214, 230, -1}, {205, 230, -1},                // between the listener and SL
      {195, 230, 7},  {130, 116, 1}, {430, 430, -1},
  };
  for (const Row& r : rows) {
    RoomPanelModel p = Panel();
    EXPECT_EQ(p.Press(r.x, r.y), r.index) << r.x << "," << r.y;
    EXPECT_EQ(p.Dragging(), r.index >= 0);
    EXPECT_EQ(p.DraggedIndex(), r.index);
  }
  // Markers on top of one another: the lowest index wins.
  RoomPanelModel p = Panel();
  p.MoveMarker(3, 0.0f, 0.0f);
  EXPECT_EQ(p.Press(232, 228), 0);
  p.Release();
  p.MoveMarker(0, 1.5f, 1.5f);
  EXPECT_EQ(p.Press(232, 228), 3);
}

TEST(RoomPanelModel, DragStaysInTheDrawingArea) {
  struct Row {
    int w, h, mx, my, px, py;
    float x, y;
  } rows[] = {
      {460, 460, 330, 130, 330, 130, 1.0f, 1.0f},
      {460, 460, 1000, -50, 430, 30, 2.0f, 2.0f},    // clamped to the area's corner
      {460, 460, 0, 460, 30, 430, -2.0f, -2.0f},
      {460, 460, 255, 230, 255, 230, 0.25f, 0.0f},    // unrounded metres
      {461, 461, 431, 231, 431, 231, 201 / 100.25f, -1 / 100.25f},  // centre = integer half
  };
  for (const Row& r : rows) {
    RoomPanelModel p = Panel(r.w, r.h);
    ASSERT_EQ(p.Press(p.Marker(0).px, p.Marker(0).py), 0);
    EXPECT_EQ(p.Drag(r.mx, r.my), 0);
    EXPECT_EQ(p.Marker(0).px, r.px);
    EXPECT_EQ(p.Marker(0).py, r.py);
    EXPECT_FLOAT_EQ(p.Marker(0).x, r.x);
    EXPECT_FLOAT_EQ(p.Marker(0).y, r.y);
  }
  RoomPanelModel p = Panel();
  EXPECT_EQ(p.Drag(300, 300), -1);  // no press, no drag
  EXPECT_EQ(p.Press(100, 400), -1);
  EXPECT_EQ(p.Drag(300, 300), -1);
  EXPECT_EQ(p.Press(280, 230), 8);
  EXPECT_EQ(p.Drag(300, 300), 8);
  p.Release();
  EXPECT_FALSE(p.Dragging());
  EXPECT_EQ(p.Drag(400, 400), -1);
  EXPECT_FLOAT_EQ(p.Marker(8).x, 0.7f);

  RoomPanelModel tiny = Panel(40, 40);  // no drawing area at all
  tiny.MoveMarker(0, 0.0f, 0.0f);
  ASSERT_EQ(tiny.Press(30, 30), 0);
  EXPECT_EQ(tiny.Drag(35, 35), 0);
  EXPECT_FLOAT_EQ(tiny.Marker(0).x, 0.0f);  // metres untouched, nothing divided by zero
}

std::vector<std::string> Labels(const std::vector<GridLine>& lines) {
  std::vector<std::string> out;
  for (const GridLine& l : lines) out.push_back(std::to_string(l.pixel) + (l.border ? "|" : ":") + l.label);
  return out;
}

TEST(RoomPanelModel, GridLinesAndLabels) {
  using V = std::vector<std::string>;
  // W = 5: "0", -1m/+1m, -2m/+2m, borders -2.5m and +2.5m.
  EXPECT_EQ(Labels(RoomGridLines(30, 500, 5, true)),
            (V{"280:0", "180:-1m", "380:+1m", "80:-2m", "480:+2m", "30|-2.5m", "530|+2.5m"}));
  // W = 4: the borders read -2m and +2m.
  EXPECT_EQ(Labels(RoomGridLines(30, 400, 4, true)), (V{"230:0", "130:-1m", "330:+1m", "30|-2m", "430|+2m"}));
  // Y axis: the upper line of a pair is the plus one.
  EXPECT_EQ(Labels(RoomGridLines(30, 300, 3, false)), (V{"180:0", "80:+1m", "280:-1m", "30|+1.5m", "330|-1.5m"}));
  EXPECT_EQ(Labels(RoomGridLines(30, 400, 1, true)), (V{"230:0", "30|-0.5m", "430|+0.5m"}));
  // Step truncated to whole pixels: 401 / 10 = 40.
  EXPECT_EQ(Labels(RoomGridLines(30, 401, 10, true)),
            (V{"230:0", "190:-1m", "270:+1m", "150:-2m", "310:+2m", "110:-3m", "350:+3m", "70:-4m", "390:+4m",
               "30|-5m", "431|+5m"}));
  EXPECT_EQ(Labels(RoomGridLines(30, 350, 7, true)).back(), "380|+3.5m");
  EXPECT_TRUE(RoomGridLines(30, 0, 4, true).empty());

  RoomPanelModel p = Panel(560, 360, 5, 3);
  EXPECT_EQ(p.VerticalLines().front().pixel, 280);
  EXPECT_EQ(p.HorizontalLines().back().label, "-1.5m");
}

}  // namespace
}  // namespace dsptune
