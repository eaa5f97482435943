#pragma once
// Everything the EQ graph does with numbers, without a display: the band slots of one
// equaliser, the plot rectangle and the pixel mapping, hit testing, drags, wheel and
// key steps, and the band-type, crossover and limit rules. The widget paints this
// model, routes pointer and key input into it and turns the returned PanelEvent into
// its notifications, cursors and menus.
//
// Coordinates: pointer positions passed in are client pixels of the panel (what the
// widget's input events carry); marker positions stored in EqBand::x/y and the results
// of FrequencyToX/GainToY are pixels relative to the plot's top-left corner.
// Every operation that changes a band recomputes its response (and, for a cascade
// head, its sections') and refreshes its marker position, so both are always current.
#include <array>
#include <vector>
#include <span>

#include "dsp/EqBand.h"
#include "dsp/ResponseGrid.h"

namespace dsptune {

// Plot area in client pixels; right and bottom are exclusive edges of the drawing area.
struct PlotRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

// Keys the panel reacts to; everything else maps to kOther.
enum class PanelKey { kLeft, kRight, kUp, kDown, kPlus, kMinus, kOther };

// What the widget must do after one input event. Notifications go out in this order:
// bandPressed, bandChanged, emptyClicked; a menu is shown after them.
struct PanelEvent {
  bool accepted = false;      // the event was for the panel (press: capture the mouse and
                              // take the focus; wheel/key: consume it)
  bool bandPressed = false;   // send BandPressed(band)
  bool bandChanged = false;   // send BandChanged(band)
  bool emptyClicked = false;  // send EmptyClicked
  bool showTypeMenu = false;  // pop up "PEQ".."HS" for `band`; the choice goes to ApplyMenuType
  bool showCopyPasteMenu = false;  // pop up "Copy EQ"/"Paste EQ"; the choice is the host's
  bool repaint = false;
  int band = -1;  // the band the notifications are about, -1 for none
};

// How the status line colours a gain (|gain| ≤ 6 dB, up to 10.1 dB, above).
enum class GainLevel { kNormal, kRaised, kHigh };

// Band types whose gain the user sets (drag, wheel, Up/Down): "PEQ", "LS", "HS".
bool IsGainType(int type);

class EqPanelModel {
 public:
  static constexpr int kMaxBands = 40;
  static constexpr int kInitialBandCount = 10;
  // Axis limits: frequency logarithmic, gain linear.
  static constexpr double kAxisMinHz = kGridMinHz;   // 18 Hz
  static constexpr double kAxisMaxHz = kGridMaxHz;   // 23000 Hz
  static constexpr float kAxisMinDb = -15.0f;
  static constexpr float kAxisMaxDb = 15.0f;
  // Plot margins inside the client area, pixels.
  static constexpr int kPlotLeft = 36;
  static constexpr int kPlotTop = 18;
  static constexpr int kPlotRightMargin = 6;
  static constexpr int kPlotBottomMargin = 20;
  // Pick distances, pixels, in x and in y: left press; right press and hover.
  static constexpr int kPickRadius = 10;
  static constexpr int kHoverRadius = 16;
  // Crossover sections of a channel EQ: band 9 heads bands 10..12.
  static constexpr int kCascadeHead = 9;

  // 40 default slots (index = slot), 10 in use, EQ number 0, client size 0 x 0.
  EqPanelModel();
  // Copies re-point the cascade links into the copy's own slots.
  EqPanelModel(const EqPanelModel& other);
  EqPanelModel& operator=(const EqPanelModel& other);

  // ---- panel state ----
  int EqNumber() const { return eq_; }
  // Loads the default bands of EQ n (0..15): default frequencies, "PEQ", 0 dB, Q 1.41;
  // 15/7/10/13/5 bands; for CH EQs (7..14) band 9 heads bands 10..12, which are hidden.
  // Every slot's links are cleared first. A selection or hover past the new band count
  // is cleared. Returns false (nothing changed) for n outside 0..15.
  bool SetEqNumber(int n);
  int Language() const { return language_; }  // 0 Chinese, 1 English
  void SetLanguage(int language) { language_ = language; }
  bool Disabled() const { return disabled_; }  // presses are ignored while set
  void SetDisabled(bool disabled) { disabled_ = disabled; }
  bool Bypass() const { return bypass_; }  // "BYPASS" is drawn while set
  void SetBypass(bool bypass) { bypass_ = bypass; }

  // ---- geometry ----
  // Client size in pixels; the plot is left 36, top 18, right w − 6, bottom h − 20.
  // A change of the plot width recomputes every band in use (the pinned "PEQ" peak
  // point depends on it).
  void SetClientSize(int width, int height);
  int ClientWidth() const { return clientWidth_; }
  int ClientHeight() const { return clientHeight_; }
  PlotRect Plot() const { return plot_; }
  // x = W·log10(f/18)/log10(23000/18) from the plot's left; f must be > 0 (0 is
  // returned otherwise). XToFrequency is its inverse (18 Hz when W ≤ 0).
  double FrequencyToX(double frequencyHz) const;
  double XToFrequency(double x) const;
  // y = H·(15 − gain)/30 from the plot's top; YToGain is its inverse (+15 when H ≤ 0).
  double GainToY(double gainDb) const;
  double YToGain(double y) const;

  // ---- bands ----
  int BandCount() const { return count_; }
  void SetBandCount(int count);  // clamped to 0..40; recomputes the bands in use
  // Slot i (0..39), in use or not; nullptr outside. After changing a band directly,
  // call RecomputeBand.
  EqBand* BandAt(int i);
  const EqBand* BandAt(int i) const;
  std::span<const EqBand> Bands() const;  // the bands in use
  int Selected() const { return selected_; }  // −1 = none
  void SetSelected(int i);                     // −1 or a band in use
  int Hovered() const { return hovered_; }    // −1 = none
  void SetHovered(int i);

  // ---- band operations (false: bad index or the value was ignored) ----
  // t = 1 also sets Q 1.41; t = 2..5 also set gain 0 and Q 0.7; other codes change
  // nothing else.
  bool SetBandType(int i, int type);
  // Forced to 0 for types 2, 3 and above 5, then clamped to −15..+15. NaN is ignored.
  bool SetBandGain(int i, float gainDb);
  // Ignored when |q| < 1e−7 or NaN; clamped to 0.1..30 for "PEQ", 0.1..2 otherwise.
  bool SetBandQ(int i, float q);
  // Ignored when |f| < 1e−7 or NaN; clamped to 20..20000 Hz.
  bool SetBandFrequency(int i, float frequencyHz);
  // Applies crossover family 0..11 to the cascade head i (its gain and its sections'
  // gains to 0, the family's section types for the head's side). False when i is not a
  // cascade head or the family is out of range; nothing changes then.
  bool SetCrossoverFamily(int i, int family);
  // The type menu's choice 1..5 ("PEQ", "LP", "HP", "LS", "HS"). On a cascade head the
  // gains go to 0 and head and sections get the menu's section row ("LP" = 18, 20, 1, 1);
  // on any other band it is SetBandType. False for a bad index or menu type.
  bool ApplyMenuType(int i, int menuType);
  // 7 bands at 31..2000 Hz, "PEQ", 0 dB, Q 1.41; cascade links of all slots cleared.
  void LoadSevenBandPreset();
  // Reads the band records of the shown EQ (one per band in use) from the live block
  // and takes their type, frequency, gain and Q as stored; cascade links and the shown
  // flags stay. False when a record cannot be read (that band and later ones are
  // left as they were).
  bool LoadBandsFromLiveBlock();
  // ComputeBandResponse on the axis with the plot width; a head recomputes its
  // sections. Also refreshes the marker position(s).
  void RecomputeBand(int i);
  void RecomputeAll();  // every band in use
  // Sum of all bands in use with type ≠ 0, hidden sections included.
  std::array<float, kResponsePoints> SummedResponse() const;
  // Band i plus its linked sections with type ≠ 0: the selected band's filled area.
  // All zeros for a bad index.
  std::array<float, kResponsePoints> BandAreaResponse(int i) const;

  // ---- hit testing (client pixels; −1 = none; hidden bands are never picked) ----
  // Left press: bands 0..(CH EQ ? 9 : count − 1), first with type ≠ 0 within 10 px in x and y.
  int HitTest(double x, double y) const;
  // Right press: the same bands, within 16 px, any type.
  int HitTestRight(double x, double y) const;
  // Hover: the highest-index band in use with type ≠ 0 within 16 px.
  int HoverTest(double x, double y) const;

  // ---- drag, wheel and key arithmetic on band i (true: the band was updated and the
  // host is to be told, even where a limit held the value) ----
  // Left drag to client (x, y): frequency from x (no grab offset); for "PEQ"/"LS"/"HS"
  // gain from y − grab y, rounded half away from zero to 0.1 dB, else 0; clamped to
  // the band's limits. False for a bad index or an empty plot. During a drag of the
  // pressed band, an axis the pointer has not moved along since the press keeps the
  // band's value from the press exactly: pixels map back to slightly different
  // frequencies and gains, so a purely vertical drag must not move 630 Hz to 626 Hz.
  bool DragTo(int i, double x, double y);
  // Right drag to client (x, y): Q += ((x − last x) + (last y − y))/s, so right and up
  // both widen the value, with s = 80, max 2 for types 2..5 and s = 12, max 30
  // otherwise; Q ≥ 0.1; last x = x, last y = y.
  bool DragQTo(int i, double x, double y);
  // ±0.1 dB per notch (positive = up) for "PEQ"/"LS"/"HS", clamped to the band's gain
  // limits; false (not consumed) for other types.
  bool WheelStep(int i, int notches);
  // Left/Right frequency steps (2/5/10/100 Hz by range, +1 Hz with left Ctrl), Up/Down
  // gain ±0.2 dB (±0.1 with left Ctrl, gain types only), Plus/Minus Q ±0.1 (±0.01).
  // False when the key does not apply to the band.
  bool KeyStep(int i, PanelKey key, bool leftCtrl);
  // Grab offset of the last left press (press − marker, whole pixels) and the last x of
  // a right drag (client pixels); set by the presses below, settable for direct drags.
  std::array<int, 2> GrabOffset() const { return {grabX_, grabY_}; }
  void SetGrabOffset(int dx, int dy) { grabX_ = dx; grabY_ = dy; }
  double LastRightX() const { return lastRightX_; }
  void SetLastRightX(double x) { lastRightX_ = x; }
  double LastRightY() const { return lastRightY_; }
  void SetLastRightY(double y) { lastRightY_ = y; }

  // ---- input state machine (client pixels) ----
  PanelEvent LeftPress(double x, double y);
  PanelEvent RightPress(double x, double y);
  PanelEvent MouseMove(double x, double y);
  PanelEvent LeftRelease();
  PanelEvent RightRelease();
  PanelEvent Wheel(int notches);                      // on the selected band
  PanelEvent KeyPress(PanelKey key, bool leftCtrl);  // on the selected band
  bool LeftDown() const { return leftDown_; }
  bool RightDown() const { return rightDown_; }
  bool Moved() const { return moved_; }

 private:
  bool IsBand(int i) const { return i >= 0 && i < count_; }
  int PickLimit() const;  // one past the last band a press may pick
  void ClearLinks();
  void LinkCascade();
  void RefreshMarker(EqBand& band) const;
  void RelinkFrom(const EqPanelModel& other);
  bool ApplySectionTypes(int i, const std::array<int, 4>& types);

  std::array<EqBand, kMaxBands> bands_{};
  int count_ = kInitialBandCount;
  int eq_ = 0;
  int language_ = 0;
  bool disabled_ = false;
  bool bypass_ = false;
  int clientWidth_ = 0;
  int clientHeight_ = 0;
  PlotRect plot_{};
  int selected_ = -1;
  int hovered_ = -1;
  bool leftDown_ = false;
  bool rightDown_ = false;
  bool moved_ = false;
  double pressX_ = 0.0;
  double pressY_ = 0.0;
  int grabX_ = 0;
  int grabY_ = 0;
  double lastRightX_ = 0.0;
  double lastRightY_ = 0.0;
  // The pressed band's frequency and gain when the left button went down.
  float pressFrequency_ = 0.0f;
  float pressGain_ = 0.0f;
};

// Panel title by EQ number, UTF-8: "Mic A EQ" / "话筒A均衡" ... "Record EQ" / "录音均衡";
// language 1 English, anything else Chinese; "" for a bad EQ number.
const char* EqPanelTitle(int eq, int language);
// Status-line colour class of a gain in dB.
GainLevel GainLevelOf(float gainDb);
// The selected band's value labels go above its marker when its gain is below −0.01 dB.
bool LabelsAboveMarker(float gainDb);

// Where the value readout of a marker goes (top-left corner, client pixels): beside the
// marker, `gap` away, right of it unless that leaves the panel, below it or above it as
// `above` prefers. A place that covers another marker (a square of side 2 × radius
// around each centre in `others`) is passed over for the first of the other corners
// that covers none, then for places pushed further out; when every place covers one,
// the preferred place that covers fewest. The box always stays inside the panel.
struct ReadoutPlace {
  double left = 0.0;
  double top = 0.0;
};
ReadoutPlace PlaceReadout(double centreX, double centreY, double width, double height, double gap, bool above,
                          double panelWidth, double panelHeight, const std::vector<std::array<double, 2>>& others,
                          double radius);

}  // namespace dsptune
