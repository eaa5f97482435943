// The surround volume page and its room panel: what the page shows from the model, the
// exact writes behind typed coordinates, spin steps, drags, room sizes, "Center",
// "Reset", the level sliders and the "Locate" boxes, the wheel, the page buttons and the
// host that follows them, the texts in both languages with dialog 334's table entries,
// and the layout in the smallest view.
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QSlider>
#include <QToolButton>
#include <QWheelEvent>
#include <QtTest>

#include <cmath>
#include <memory>
#include <string>

#include "editors/CompressorPage.h"
#include "editors/SurroundPage.h"
#include "editors/RoomPanel.h"
#include "editors/model/EqBandEditing.h"
#include "editors/model/SurroundRoom.h"
#include "link/LinkState.h"
#include "model/BigEndian.h"
#include "model/DebugLog.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "ui/DialogTexts.h"
#include "shell/EditorHost.h"
#include "ui/LanguageTables.h"
#include "ui/InterfaceLanguage.h"
#include "tests/model/RecordingWriter.h"
#include "tests/editors/PageTestSupport.h"

using namespace dsptune;
using test::Wheel;
using test::UseLanguage;

namespace {

float Entry(int channel) { return GetFloat(ReadLiveBytes(kSsvcLevelsOffset + 4 * channel, 4).data()); }

void Mouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButtons buttons) {
  QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), Qt::LeftButton, buttons, Qt::NoModifier);
  QApplication::sendEvent(target, &event);
}

}  // namespace

class SurroundPageTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    UseLanguage(kEnglish);
    ResetDataModel();
    LoadDefaultImage();
    SetDeviceWriter(&writer_);
    writer_.sent.clear();
    CurrentLink().connected = false;
  }

  void cleanup() {
    page_.reset();
    SetDeviceWriter(nullptr);
    CurrentLink().connected = false;
  }

  // The default room: 4 x 4 m, listener in the middle, speakers at their places, every
  // channel at 100 %, roles R, L, SBR, SBL, CEN, SUB, SR, SL.
  void opensWithTheStoredValues() {
    MakePage();
    QVERIFY(page_->PageButton(0).isChecked());
    for (int side = 0; side < 2; ++side) {
      QCOMPARE(page_->RoomEdit(side).text(), QString("4m"));
      QCOMPARE(page_->RoomSpin(side).Position(), 4);
      QCOMPARE(page_->RoomSpin(side).Minimum(), 1);
      QCOMPARE(page_->RoomSpin(side).Maximum(), 10);
    }
    const char* const texts[9][2] = {{"+0.0m", "+0.0m"}, {"-1.0m", "+1.0m"}, {"+0.0m", "+1.0m"},
                                     {"+1.0m", "+1.0m"}, {"-1.0m", "-1.0m"}, {"+0.0m", "-1.0m"},
                                     {"+1.0m", "-1.0m"}, {"-0.5m", "+0.0m"}, {"+0.5m", "+0.0m"}};
    for (int k = 0; k < 9; ++k)
      for (int axis = 0; axis < 2; ++axis) {
        QCOMPARE(page_->CoordinateEdit(k, axis).text(), QString(texts[k][axis]));
        QCOMPARE(page_->CoordinateSpin(k, axis).Position(), int(std::lround(10 * LeadingNumber(texts[k][axis]))));
        QCOMPARE(page_->CoordinateSpin(k, axis).Minimum(), -20);
        QCOMPARE(page_->CoordinateSpin(k, axis).Maximum(), 20);
      }
    QCOMPARE(page_->Panel().Marker(7).x, -0.5f);
    QCOMPARE(page_->Panel().Model().RoomWidth(), 4.0f);
    const char* const roles[8] = {"(CH-R)", "(CH-L)", "(CH-SBR)", "(CH-SBL)", "(CH-CEN)", "(CH-SUB)", "(CH-SR)", "(CH-SL)"};
    for (int c = 0; c < 8; ++c) {
      QCOMPARE(page_->LevelSlider(c).value(), 100);
      QCOMPARE(page_->LevelSlider(c).maximum(), 500);
      QCOMPARE(page_->LevelLabel(c).text(), QString("100%"));
      QCOMPARE(page_->RoleLabel(c).text(), QString(roles[c]));
      QVERIFY(!page_->LocateBox(c).isChecked());
    }
    QCOMPARE(page_->TickedLocateBox(), 0);
    QVERIFY(writer_.sent.empty());
  }

  // The listener typed to (-1, +1) with Enter: the L speaker (CH2) gets +3 dB, the SUB
  // (CH6) 3 - 3 x 2.236 dB; the edits and spins show the applied values.
  void typedListenerAppliesEveryLevel() {
    MakeShownPage();
    QLineEdit& x = page_->CoordinateEdit(0, SurroundPage::kX);
    QLineEdit& y = page_->CoordinateEdit(0, SurroundPage::kY);
    x.setText("-1");
    y.setText("1.0m");
    y.setFocus();
    QTest::keyClick(&y, Qt::Key_Return);
    QCOMPARE(x.text(), QString("-1.0m"));
    QCOMPARE(y.text(), QString("+1.0m"));
    QCOMPARE(page_->CoordinateSpin(0, 0).Position(), -10);
    QCOMPARE(page_->CoordinateSpin(0, 1).Position(), 10);
    QCOMPARE(int(writer_.sent.size()), 1 + 16);
    QCOMPARE(int(writer_.sent[0].offset), kSsvcSettingsOffset);
    QCOMPARE(Entry(1), 3.0f);
    QVERIFY(std::fabs(Entry(5) - (-3.7082f)) < 1e-4f);
    QCOMPARE(page_->Panel().Marker(0).x, -1.0f);
    QCOMPARE(EditorSnapshot().ssvc.listenerY, 1.0f);
    // Each channel shows the level it was given beside its slider.
    QCOMPARE(page_->PositionLevelLabel(1).text(), QString("+3.0dB"));
    QCOMPARE(page_->PositionLevelLabel(5).text(), QString("-3.7dB"));
    page_->CenterButton().click();
    QCOMPARE(page_->PositionLevelLabel(1).text(), QString("-1.2dB"));  // sqrt 2 m away
    page_->ResetButton().click();
    for (int c = 0; c < 8; ++c) QCOMPARE(page_->PositionLevelLabel(c).text(), QString("+0.0dB"));
  }

  void typedCoordinatesAreClampedAndShownInTheirFormat_data() {
    QTest::addColumn<int>("marker");
    QTest::addColumn<QString>("typedX");
    QTest::addColumn<QString>("typedY");
    QTest::addColumn<QString>("shownX");
    QTest::addColumn<QString>("shownY");
    QTest::addColumn<int>("spinX");
    QTest::addColumn<int>("spinY");
    QTest::newRow("X 9 in a 4 m room") << 3 << "9" << "+1.0m" << "+2.0m" << "+1.0m" << 20 << 10;
    QTest::newRow("no number") << 5 << "abc" << "-7" << "+0.0m" << "-2.0m" << 0 << -20;
    QTest::newRow("tenths truncated") << 8 << "0.77" << "-0.29m" << "+0.8m" << "-0.3m" << 7 << -2;
    QTest::newRow("listener") << 0 << " 1.5" << "+0.7" << "+1.5m" << "+0.7m" << 15 << 7;
  }
  void typedCoordinatesAreClampedAndShownInTheirFormat() {
    QFETCH(int, marker);
    QFETCH(QString, typedX);
    QFETCH(QString, typedY);
    QFETCH(QString, shownX);
    QFETCH(QString, shownY);
    QFETCH(int, spinX);
    QFETCH(int, spinY);
    MakeShownPage();
    QLineEdit& x = page_->CoordinateEdit(marker, 0);
    x.setText(typedX);
    page_->CoordinateEdit(marker, 1).setText(typedY);
    x.setFocus();
    QTest::keyClick(&x, Qt::Key_Enter);
    QCOMPARE(x.text(), shownX);
    QCOMPARE(page_->CoordinateEdit(marker, 1).text(), shownY);
    QCOMPARE(page_->CoordinateSpin(marker, 0).Position(), spinX);
    QCOMPARE(page_->CoordinateSpin(marker, 1).Position(), spinY);
    const std::array<float, 2> stored = MarkerMetres(EditorSnapshot().ssvc, marker);
    QCOMPARE(stored[0], float(std::clamp(LeadingNumber(typedX.toStdString()), -2.0, 2.0)));
    QCOMPARE(page_->Panel().Marker(marker).x, stored[0]);
    // A speaker sends its record and its own level only; the listener all eight.
    QCOMPARE(int(writer_.sent.size()), marker == 0 ? 17 : 3);
  }

  // An Enter that reaches a coordinate edit while the focus is elsewhere changes nothing.
  void applyWithoutAFocusedCoordinateEditOnlyLogs() {
    MakeShownPage();
    std::string log;
    DebugLogSink previous = SetDebugLogSink([&log](std::string_view line) { log += line; });
    page_->LevelSlider(0).setFocus();
    page_->CoordinateEdit(2, 0).setText("1");
    QTest::keyRelease(&page_->CoordinateEdit(2, 0), Qt::Key_Return);
    SetDebugLogSink(std::move(previous));
    QCOMPARE(QString::fromStdString(log), QString("HandleEditChangeEvent Index=-1\n"));
    QVERIFY(writer_.sent.empty());
    QCOMPARE(page_->CoordinateEdit(2, 0).text(), QString("1"));
  }

  void modifySetsTheRoomSize_data() {
    QTest::addColumn<QString>("typedWidth");
    QTest::addColumn<QString>("typedLength");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("length");
    QTest::newRow("12 → 10") << "12" << "4m" << 10 << 4;
    QTest::newRow("0 → 1") << "0" << "5" << 1 << 5;
    QTest::newRow("no digits → 1") << "wide" << "7m" << 1 << 7;
    QTest::newRow("fraction") << "6.9m" << "-3" << 6 << 1;
  }
  void modifySetsTheRoomSize() {
    QFETCH(QString, typedWidth);
    QFETCH(QString, typedLength);
    QFETCH(int, width);
    QFETCH(int, length);
    MakePage();
    page_->RoomEdit(0).setText(typedWidth);
    page_->RoomEdit(1).setText(typedLength);
    page_->ModifyButton().click();
    QCOMPARE(page_->RoomEdit(0).text(), QString("%1m").arg(width));
    QCOMPARE(page_->RoomEdit(1).text(), QString("%1m").arg(length));
    QCOMPARE(page_->RoomSpin(0).Position(), width);
    QCOMPARE(page_->RoomSpin(1).Position(), length);
    QCOMPARE(int(writer_.sent.size()), 1);  // the record only: no level is recomputed
    QCOMPARE(int(writer_.sent[0].offset), kSsvcSettingsOffset);
    QCOMPARE(int(writer_.sent[0].bytes[0]), width);
    QCOMPARE(int(writer_.sent[0].bytes[1]), length);
    QCOMPARE(page_->Panel().Model().RoomWidth(), float(width));
    for (int k = 0; k < 9; ++k) {
      QCOMPARE(page_->CoordinateSpin(k, 0).Maximum(), 5 * width);
      QCOMPARE(page_->CoordinateSpin(k, 1).Minimum(), -5 * length);
    }
  }

  // Shrinking the room leaves a speaker where it was, outside the drawn room, until it is
  // edited; its spin then steps back inside.
  void shrinkingTheRoomKeepsCoordinates() {
    MakeShownPage();
    page_->RoomEdit(0).setText("6");
    page_->ModifyButton().click();
    QLineEdit& x = page_->CoordinateEdit(3, 0);
    x.setText("2.5");
    x.setFocus();
    QTest::keyClick(&x, Qt::Key_Return);
    page_->RoomEdit(0).setText("2");
    page_->ModifyButton().click();
    QCOMPARE(x.text(), QString("+2.5m"));
    QCOMPARE(EditorSnapshot().ssvc.speakers[2][0], 2.5f);
    QCOMPARE(page_->Panel().Marker(3).x, 2.5f);
    QVERIFY(page_->Panel().Marker(3).px > page_->Panel().Model().ClientWidth() - kRoomPanelInset);
    page_->CoordinateSpin(3, 0).DownButton().click();
    QCOMPARE(page_->CoordinateSpin(3, 0).Position(), 10);
    QCOMPARE(x.text(), QString("+1.0m"));
  }

  void roomSpinsStepWithinOneToTen() {
    MakePage();
    page_->RoomSpin(0).UpButton().click();
    QCOMPARE(page_->RoomEdit(0).text(), QString("5m"));
    QCOMPARE(page_->RoomSpin(0).Position(), 5);
    QCOMPARE(EditorSnapshot().ssvc.roomWidth, 5);
    QCOMPARE(page_->CoordinateSpin(4, 0).Maximum(), 25);
    QCOMPARE(int(writer_.sent.size()), 1);
    for (int i = 0; i < 8; ++i) page_->RoomSpin(0).Step(+1);
    QCOMPARE(page_->RoomSpin(0).Position(), 10);
    QCOMPARE(page_->RoomEdit(0).text(), QString("10m"));
    // A length typed without "Modify" is taken along, its spin with it.
    page_->RoomEdit(1).setText("7");
    page_->RoomSpin(0).Step(-1);
    QCOMPARE(page_->RoomEdit(1).text(), QString("7m"));
    QCOMPARE(page_->RoomSpin(1).Position(), 7);
    QCOMPARE(EditorSnapshot().ssvc.roomLength, 7);
    QCOMPARE(EditorSnapshot().ssvc.roomWidth, 9);
  }

  void coordinateSpinsStepATenth() {
    MakeShownPage();
    page_->CoordinateSpin(1, 0).UpButton().click();
    QCOMPARE(page_->CoordinateEdit(1, 0).text(), QString("-0.9m"));
    QCOMPARE(page_->CoordinateSpin(1, 0).Position(), -9);
    QCOMPARE(page_->focusWidget(), &page_->CoordinateEdit(1, 0));
    QCOMPARE(int(writer_.sent.size()), 3);
    QCOMPARE(int(writer_.sent[0].bytes[4]), 0x89);
    QCOMPARE(int(writer_.sent[2].block), 6);  // L plays on CH2
    QCOMPARE(EditorSnapshot().ssvc.speakers[0][0], -0.9f);
    // Y of the listener at the room's front edge stays there.
    for (int i = 0; i < 25; ++i) page_->CoordinateSpin(0, 1).Step(+1);
    QCOMPARE(page_->CoordinateSpin(0, 1).Position(), 20);
    QCOMPARE(page_->CoordinateEdit(0, 1).text(), QString("+2.0m"));
    QCOMPARE(EditorSnapshot().ssvc.listenerY, 2.0f);
  }

  // Center: the record twice (X, then Y), then the eight levels.
  void centerMovesTheListenerHome() {
    MakeShownPage();
    QLineEdit& x = page_->CoordinateEdit(0, 0);
    x.setText("1.2");
    page_->CoordinateEdit(0, 1).setText("-0.8");
    x.setFocus();
    QTest::keyClick(&x, Qt::Key_Return);
    writer_.sent.clear();
    page_->CenterButton().click();
    QCOMPARE(int(writer_.sent.size()), 2 + 16);
    QCOMPARE(int(writer_.sent[0].offset), kSsvcSettingsOffset);
    QCOMPARE(int(writer_.sent[0].bytes[2]), 0x80);
    QCOMPARE(int(writer_.sent[0].bytes[3]), 0x88);
    QCOMPARE(int(writer_.sent[1].bytes[3]), 0x80);
    QCOMPARE(page_->Panel().Marker(0).px, page_->Panel().Model().PixelX(0.0f));
    QCOMPARE(x.text(), QString("+0.0m"));
    QCOMPARE(page_->CoordinateSpin(0, 1).Position(), 0);
    QCOMPARE(Entry(1), 3.0f - 3.0f * std::sqrt(2.0f));
  }

  // After Reset: every entry 0, every 0x1D record the 0 dB one, the defaults back on
  // screen, the sliders and the ticked box as they were.
  void resetRestoresPositionsAndZeroesLevels() {
    MakeShownPage();
    page_->LevelSlider(2).setValue(320);
    page_->LocateBox(4).click();
    page_->RoomEdit(1).setText("9");
    page_->ModifyButton().click();
    page_->CoordinateSpin(5, 1).Step(+1);
    page_->CoordinateSpin(0, 0).Step(-1);
    writer_.sent.clear();
    page_->ResetButton().click();
    QCOMPARE(int(writer_.sent.size()), 17);
    for (int c = 0; c < 8; ++c) {
      QCOMPARE(Entry(c), 0.0f);
      QCOMPARE(int(writer_.sent[std::size_t(2 * c + 1)].block), c + 5);
      QCOMPARE(GetFloat(&writer_.sent[std::size_t(2 * c + 1)].bytes[8]), 0.9960807f);
      QCOMPARE(GetFloat(&writer_.sent[std::size_t(2 * c + 1)].bytes[12]), -1.9960614f);
    }
    QCOMPARE(page_->RoomEdit(1).text(), QString("4m"));
    QCOMPARE(page_->CoordinateSpin(3, 1).Minimum(), -20);
    QCOMPARE(page_->CoordinateEdit(6, 1).text(), QString("-1.0m"));
    QCOMPARE(page_->CoordinateEdit(0, 0).text(), QString("+0.0m"));
    QCOMPARE(page_->Panel().Marker(6).y, -1.0f);
    QCOMPARE(page_->Panel().Model().RoomLength(), 4.0f);
    QCOMPARE(page_->LevelSlider(2).value(), 320);
    QVERIFY(page_->LocateBox(4).isChecked());
    QCOMPARE(page_->TickedLocateBox(), 5);
  }

  // Grid labels crowding a border label move aside by up to half their size, or are left
  // out; border labels stay where they are.
  void gridLabelsMoveAsideBeforeTheyVanish() {
    const struct {
      const char* name;
      bool alongX;
      QRect border, inner;
      bool shown;
      QRect placed;
    } rows[] = {
        {"apart", true, {264, 0, 36, 14}, {200, 0, 24, 14}, true, {200, 0, 24, 14}},
        {"+2m beside +2.5m moves left", true, {264, 0, 36, 14}, {240, 0, 24, 14}, true, {238, 0, 24, 14}},
        {"deep inside the border label: left out", true, {264, 0, 36, 14}, {255, 0, 24, 14}, false, {}},
        {"side label moves down", false, {0, 0, 30, 14}, {0, 10, 24, 14}, true, {0, 14, 24, 14}},
    };
    for (const auto& row : rows) {
      std::vector<GridLabel> labels = {{row.inner, false}, {row.border, true}};
      PlaceGridLabels(labels, row.alongX);
      QVERIFY2(labels[1].shown && labels[1].box == row.border, row.name);
      QVERIFY2(labels[0].shown == row.shown, row.name);
      if (row.shown) QVERIFY2(labels[0].box == row.placed, row.name);
    }
  }

  void levelSliderWritesItsChannel() {
    MakePage();
    for (int c : {0, 4, 7}) {
      writer_.sent.clear();
      page_->LevelSlider(c).setValue(250 + c);
      QCOMPARE(page_->LevelLabel(c).text(), QString("%1%").arg(250 + c));
      QCOMPARE(int(writer_.sent.size()), 1);
      QCOMPARE(int(writer_.sent[0].block), c + 5);
      QCOMPARE(int(writer_.sent[0].address), 0x18);
      QCOMPARE(UiValue(std::uint8_t(c + 5), 0x18), 250 + c);
    }
    // A stored level above the slider's range shows as it is, the slider at its end.
    SetParameter(6, 0x18, 800);
    page_->RefreshPage();
    QCOMPARE(page_->LevelSlider(1).value(), 500);
    QCOMPARE(page_->LevelLabel(1).text(), QString("800%"));
  }

  // Ticking CH3 while CH1 is ticked clears CH1; clearing CH3 sends selector 8.
  void locateBoxesPickOneRole() {
    MakePage();
    page_->LocateBox(0).click();
    QCOMPARE(int(writer_.sent.size()), 2);
    QCOMPARE(int(writer_.sent[0].offset), kSsvcLocateOffset);
    QVERIFY(writer_.sent[0].bytes == test::Bytes({1}));  // CH1 plays CH-R
    QCOMPARE(int(writer_.sent[1].block), 4);
    QCOMPARE(int(writer_.sent[1].address), 0x26);
    QVERIFY(writer_.sent[1].bytes == test::Bytes({0, 0, 0, 1}));
    page_->LocateBox(2).click();
    QVERIFY(!page_->LocateBox(0).isChecked());
    QVERIFY(page_->LocateBox(2).isChecked());
    QCOMPARE(page_->TickedLocateBox(), 3);
    QVERIFY(writer_.sent[2].bytes == test::Bytes({7}));
    page_->LocateBox(2).click();
    QVERIFY(writer_.sent[4].bytes == test::Bytes({8}));
    QVERIFY(writer_.sent[5].bytes == test::Bytes({0, 0, 0, 8}));
    for (int c = 0; c < 8; ++c) QVERIFY(!page_->LocateBox(c).isChecked());
    QCOMPARE(page_->TickedLocateBox(), 0);
  }

  // With a link up the boxes follow the device's selector; without one they stay.
  void reloadFollowsTheSelectorOnlyWithALink() {
    MakePage();
    page_->LocateBox(1).click();
    const std::uint8_t sub = kRoleSub;
    StoreLiveBytes(kSsvcLocateOffset, std::span<const std::uint8_t>(&sub, 1));
    page_->RefreshPage();
    QVERIFY(page_->LocateBox(1).isChecked());
    CurrentLink().connected = true;
    page_->RefreshPage();
    for (int c = 0; c < 8; ++c) QCOMPARE(page_->LocateBox(c).isChecked(), c == 5);  // CH6 plays the SUB
    QCOMPARE(page_->TickedLocateBox(), 6);
    const std::uint8_t none = kLocateNone;
    StoreLiveBytes(kSsvcLocateOffset, std::span<const std::uint8_t>(&none, 1));
    page_->RefreshPage();
    for (int c = 0; c < 8; ++c) QVERIFY(!page_->LocateBox(c).isChecked());
    QCOMPARE(page_->TickedLocateBox(), 0);
  }

  // Dragging the listener: a press alone already writes, each move writes again with
  // the unrounded metres, and the edits and spins follow in tenths.
  void draggingMarkersWrites() {
    MakeShownPage();
    RoomPanel& panel = page_->Panel();
    const RoomPanelModel& model = panel.Model();
    const QPoint listener = panel.MarkerCentre(0);
    const int left = panel.ClientLeft();
    Mouse(&panel, QEvent::MouseButtonPress, listener + QPoint(5, -5), Qt::LeftButton);
    QCOMPARE(int(writer_.sent.size()), 17);
    writer_.sent.clear();
    const QPoint to(left + model.ClientWidth() / 2 + int(0.73f * model.ScaleX()) + 1, model.ClientHeight() / 2);
    Mouse(&panel, QEvent::MouseMove, to, Qt::LeftButton);
    const float x = float(to.x() - left - model.ClientWidth() / 2) / model.ScaleX();
    QCOMPARE(panel.Marker(0).x, x);
    QCOMPARE(EditorSnapshot().ssvc.listenerX, x);
    QCOMPARE(page_->CoordinateEdit(0, 0).text(), QString::fromStdString(MetresText(x)));
    QCOMPARE(page_->CoordinateSpin(0, 0).Position(), int(x * 10));
    QCOMPARE(int(writer_.sent.size()), 17);
    QCOMPARE(Entry(6), PositionLevelDb(x, 0, 0.5, 0));  // SR on CH7
    Mouse(&panel, QEvent::MouseButtonRelease, to, Qt::NoButton);
    writer_.sent.clear();
    Mouse(&panel, QEvent::MouseMove, to + QPoint(30, 30), Qt::NoButton);
    QVERIFY(writer_.sent.empty());

    // A speaker dragged past the room's edge stops on it: one record, one level.
    const QPoint sub = panel.MarkerCentre(5);
    Mouse(&panel, QEvent::MouseButtonPress, sub, Qt::LeftButton);
    writer_.sent.clear();
    Mouse(&panel, QEvent::MouseMove, QPoint(sub.x(), panel.height() + 50), Qt::LeftButton);
    Mouse(&panel, QEvent::MouseButtonRelease, QPoint(sub.x(), panel.height() + 50), Qt::NoButton);
    QCOMPARE(int(writer_.sent.size()), 3);
    QCOMPARE(panel.Marker(5).py, panel.height() - kRoomPanelInset);
    QVERIFY(std::fabs(EditorSnapshot().ssvc.speakers[4][1] + 2.0f) < 0.02f);
    QCOMPARE(page_->CoordinateEdit(5, 1).text(), QString::fromStdString(MetresText(EditorSnapshot().ssvc.speakers[4][1])));

    // A press beside every marker does nothing.
    writer_.sent.clear();
    Mouse(&panel, QEvent::MouseButtonPress, QPoint(left + kRoomPanelInset + 2, kRoomPanelInset + 2), Qt::LeftButton);
    QVERIFY(writer_.sent.empty());
  }

  // The wheel goes to the focused level slider, room edit or coordinate edit wherever
  // the cursor is on the page; with the focus elsewhere no slider takes it.
  void wheelFollowsTheFocus() {
    MakeShownPage();
    page_->LevelSlider(1).setFocus();
    Wheel(&page_->Panel(), 1);
    QCOMPARE(page_->LevelSlider(1).value(), 101);
    Wheel(&page_->LevelSlider(4), -1);
    QCOMPARE(page_->LevelSlider(1).value(), 100);
    QCOMPARE(page_->LevelSlider(4).value(), 100);

    page_->CoordinateEdit(4, 1).setFocus();
    Wheel(&page_->LevelSlider(0), 1);
    QCOMPARE(page_->CoordinateEdit(4, 1).text(), QString("-0.9m"));
    QCOMPARE(page_->LevelSlider(0).value(), 100);

    page_->RoomEdit(1).setFocus();
    Wheel(page_.get(), -1);
    QCOMPARE(page_->RoomEdit(1).text(), QString("3m"));

    // With the focus on no slider or edit, a slider under the cursor leaves the wheel to
    // the page (which scrolls in the window): nothing changes.
    page_->CenterButton().setFocus();
    writer_.sent.clear();
    Wheel(&page_->LevelSlider(6), 1);
    QCOMPARE(page_->LevelSlider(6).value(), 100);
    QCOMPARE(int(writer_.sent.size()), 0);
  }

  void pageButtonsAskForTheirPages() {
    MakePage();
    QSignalSpy outputs(page_.get(), &SurroundPage::outputPageRequested);
    QSignalSpy pages(page_.get(), &SurroundPage::pageRequested);
    for (int c = 0; c < 8; ++c) page_->ChannelButton(c).click();
    QCOMPARE(outputs.size(), 8);
    for (int c = 0; c < 8; ++c) QCOMPARE(outputs.at(c).at(0).toInt(), c);
    for (int i = 0; i < SurroundPage::kPageButtons; ++i) page_->PageButton(i).click();
    QCOMPARE(pages.size(), 3);
    QCOMPARE(pages.at(0).at(0).toInt(), int(kEditorSurround));
    QCOMPARE(pages.at(1).at(0).toInt(), int(kEditorRecord));
    QCOMPARE(pages.at(2).at(0).toInt(), int(kEditorCompressor));
    QVERIFY(page_->PageButton(0).isChecked());
    QVERIFY(writer_.sent.empty());
  }

  // The host as the application wires it: "Comp" replaces the page, and the limiter
  // page's "Location" brings it back.
  void hostFollowsThePageButtons() {
    EditorHost host;
    host.SetFactory([&host](int kind, int, QWidget* parent) -> EditorPage* {
      if (kind == kEditorCompressor) {
        auto* page = new CompressorPage(parent);
        QObject::connect(
            page, &CompressorPage::pageRequested, &host, [&host](int k) { host.ShowEditor(k, 0); }, Qt::QueuedConnection);
        return page;
      }
      if (kind != kEditorSurround) return nullptr;
      auto* page = new SurroundPage(parent);
      QObject::connect(
          page, &SurroundPage::pageRequested, &host, [&host](int k) { host.ShowEditor(k, 0); }, Qt::QueuedConnection);
      return page;
    });
    host.ShowEditor(kEditorSurround, 0);
    QPointer<SurroundPage> page(qobject_cast<SurroundPage*>(host.Editor()));
    QVERIFY(page);
    page->PageButton(0).click();
    QTest::qWait(20);
    QCOMPARE(host.Editor(), page.data());
    page->PageButton(2).click();
    QTRY_VERIFY(!page);
    QCOMPARE(host.EditorKind(), int(kEditorCompressor));
    qobject_cast<CompressorPage*>(host.Editor())->PageButton(0).click();
    QTRY_COMPARE(host.EditorKind(), int(kEditorSurround));
  }

  void textsSwitchWithTheLanguage() {
    UseLanguage(kChinese);
    MakePage();
    const char* const chinesePages[3] = {"声场定位", "录音输出", "输出压限"};
    for (int i = 0; i < 3; ++i) QCOMPARE(page_->PageButton(i).text(), QString::fromUtf8(chinesePages[i]));
    for (int c = 0; c < 8; ++c) QCOMPARE(page_->ChannelButton(c).text(), QString::fromUtf8("通道%1").arg(c + 1));
    const char* const chineseSpeakers[8] = {"前置左", "中置", "前置右", "后环绕左", "超低", "后环绕右", "侧环绕左", "侧环绕右"};
    for (int n = 1; n <= 8; ++n) QCOMPARE(page_->SpeakerLabel(n).text(), QString::fromUtf8(chineseSpeakers[n - 1]));
    QCOMPARE(page_->RoleLabel(0).text(), QString::fromUtf8("(前置右)"));
    QCOMPARE(page_->Panel().SpeakerCaption(1, false), QString::fromUtf8("前置左(L)"));
    // The icon of a speaker carries the number of the channel that feeds it: CH 1 is the front right.
    QCOMPARE(page_->Panel().SpeakerNumber(3), QString("1"));
    QCOMPARE(page_->RoleLabel(5).text(), QString::fromUtf8("(超低)"));
    QCOMPARE(page_->LocateBox(6).text(), QString::fromUtf8("定位"));
    QCOMPARE(page_->ModifyButton().text(), QString::fromUtf8("立即修改"));
    QCOMPARE(page_->CenterButton().text(), QString::fromUtf8("居中"));
    QCOMPARE(page_->ResetButton().text(), QString::fromUtf8("复位"));
    QCOMPARE(TitleOf(1007), QString::fromUtf8("房间大小"));
    QCOMPARE(TextOf(1005), QString::fromUtf8("长度单位:米(m)"));

    UseLanguage(kEnglish);
    page_->ApplyTexts();
    const char* const englishPages[3] = {"Location", "Record", "Comp"};
    for (int i = 0; i < 3; ++i) QCOMPARE(page_->PageButton(i).text(), QString(englishPages[i]));
    for (int c = 0; c < 8; ++c) QCOMPARE(page_->ChannelButton(c).text(), QString("CH %1").arg(c + 1));
    const char* const englishSpeakers[8] = {"L", "CEN", "R", "SBL", "SUB", "SBR", "SL", "SR"};
    for (int n = 1; n <= 8; ++n) QCOMPARE(page_->SpeakerLabel(n).text(), QString(englishSpeakers[n - 1]));
    QCOMPARE(page_->RoleLabel(0).text(), QString("(CH-R)"));
    QCOMPARE(page_->LocateBox(0).text(), QString("Locate"));
    QCOMPARE(page_->ModifyButton().text(), QString("Modify"));
    QCOMPARE(TitleOf(1002), QString("Sound source"));
    QCOMPARE(TitleOf(1006), QString("Audience source"));
    QCOMPARE(TextOf(1229), QString("Width(m)"));
    QCOMPARE(TextOf(1139), QString("Length(m)"));
    QCOMPARE(TextOf(1005), QString("Unit:m"));
    // A role changed on the output page shows after the next refresh.
    QCOMPARE(page_->Panel().SpeakerCaption(1, false), QString("L"));
    QVERIFY(!page_->Panel().ShownTexts().join(' ').contains(QRegularExpression("[\\x{4e00}-\\x{9fff}]")));
    SetParameter(5, 0x10, kRoleSub);
    page_->RefreshPage();
    QCOMPARE(page_->RoleLabel(0).text(), QString("(CH-SUB)"));
    // ... and the room's icons follow: CH 1 now feeds the subwoofer; no channel is left on the right.
    QCOMPARE(page_->Panel().SpeakerNumber(5), QString("1"));
    QVERIFY(page_->Panel().SpeakerNumber(3) != QString("1"));

    // Dialog 334's control numbers, each once.
    QMap<int, int> ids;
    for (const QWidget* w : page_->findChildren<QWidget*>())
      if (const int id = ControlId(w)) ++ids[id];
    for (int id : ids.keys()) QVERIFY2(ids[id] == 1, qPrintable(QString::number(id)));
    QCOMPARE(ControlId(&page_->Panel()), 1237);
    QCOMPARE(ControlId(&page_->CoordinateEdit(0, 0)), 1230);
    QCOMPARE(ControlId(&page_->CoordinateEdit(0, 1)), 1049);
    QCOMPARE(ControlId(&page_->CoordinateEdit(8, 1)), 1065);
    QCOMPARE(ControlId(&page_->CoordinateSpin(8, 0)), 1260);
    QCOMPARE(ControlId(&page_->LocateBox(6)), 1240);
    QCOMPARE(ControlId(&page_->LevelSlider(7)), 1048);
    QCOMPARE(ControlId(&page_->RoleLabel(0)), 1123);
    QCOMPARE(ControlId(&page_->LevelLabel(7)), 1138);
    QCOMPARE(ControlId(&page_->SpeakerLabel(4)), 1022);
  }

  void layoutFitsTheSmallestViewNeatly_data() {
    QTest::addColumn<int>("language");
    QTest::newRow("Chinese") << int(kChinese);
    QTest::newRow("English") << int(kEnglish);
  }
  void layoutFitsTheSmallestViewNeatly() {
    QFETCH(int, language);
    UseLanguage(language);
    MakeShownPage();
    const QRect area = page_->rect();
    QList<QRect> leaves;
    for (QWidget* w : page_->findChildren<QWidget*>()) {
      if (!w->isVisibleTo(page_.get())) continue;
      const QRect r(w->mapTo(page_.get(), QPoint(0, 0)), w->size());
      const QString what = QString("%1 '%2'").arg(w->metaObject()->className(), w->property("text").toString());
      QVERIFY2(area.contains(r), qPrintable(what));
      if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w) && !qobject_cast<QLineEdit*>(w) &&
          !qobject_cast<QSlider*>(w))
        continue;
      if (qobject_cast<QToolButton*>(w)) continue;  // the arrows, sized with their spin
      QVERIFY2(w->width() >= w->minimumSizeHint().width() - 1, qPrintable(what));
      QVERIFY2(w->height() >= w->minimumSizeHint().height() - 1, qPrintable(what));
      for (const QRect& other : leaves) QVERIFY2(!other.intersects(r), qPrintable(what));
      leaves.append(r);
    }
    // A roomy panel, and the texts of the widest edits fit.
    QVERIFY(page_->Panel().width() >= 330 && page_->Panel().height() >= 400);
    const QLineEdit& edit = page_->CoordinateEdit(4, 0);
    QVERIFY(edit.fontMetrics().horizontalAdvance("-5.0m") + 8 <= edit.width());
  }

  // Screenshots in both languages, written to DSPTUNE_SHOT_DIR as ssvc-<language>-*.png
  // when that is set.
  void screenshots() {
    const QString dir = qEnvironmentVariable("DSPTUNE_SHOT_DIR");
    if (dir.isEmpty()) QSKIP("DSPTUNE_SHOT_DIR not set");
    for (int language : {kChinese, kEnglish}) {
      LoadDefaultImage();
      UseLanguage(language);
      const QString tag = language == kEnglish ? "en" : "zh";
      MakeShownPage();
      QVERIFY(page_->grab().save(QDir(dir).filePath(QString("ssvc-%1-default.png").arg(tag))));
      page_->CoordinateEdit(0, 0).setText("-0.6");
      page_->CoordinateEdit(0, 1).setText("0.4");
      page_->CoordinateEdit(0, 0).setFocus();
      QTest::keyClick(&page_->CoordinateEdit(0, 0), Qt::Key_Return);
      page_->LocateBox(2).click();
      page_->LevelSlider(3).setValue(420);
      QVERIFY(page_->grab().save(QDir(dir).filePath(QString("ssvc-%1-moved.png").arg(tag))));
      page_->RoomEdit(0).setText("5");
      page_->RoomEdit(1).setText("3");
      page_->ModifyButton().click();
      QVERIFY(page_->grab().save(QDir(dir).filePath(QString("ssvc-%1-room5x3.png").arg(tag))));
      page_.reset();
    }
  }

 private:
  void MakePage() {
    page_.reset();
    page_ = std::make_unique<SurroundPage>();
  }
  void MakeShownPage() {
    MakePage();
    page_->resize(1024, 520);
    page_->show();
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
  }
  QString TextOf(int id) const {
    for (QLabel* label : page_->findChildren<QLabel*>())
      if (ControlId(label) == id) return label->text();
    return {};
  }
  QString TitleOf(int id) const {
    for (QGroupBox* box : page_->findChildren<QGroupBox*>())
      if (ControlId(box) == id) return box->title();
    return {};
  }

  test::RecordingWriter writer_;
  std::unique_ptr<SurroundPage> page_;
};

QTEST_MAIN(SurroundPageTest)
#include "SurroundPageTest.moc"
