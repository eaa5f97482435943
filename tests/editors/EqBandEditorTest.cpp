// The band list and band editor shared by the EQ pages, beyond what the page tests
// show: the rules underneath (typed numbers, the menu type and crossover family a band
// shows, slider positions, list-row and editor-field application, the whole-hertz
// write, loading stored bands), and the component's own options: its writer, its
// control numbers and row count, its text colour, and an EQ with fewer bands.
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>
#include <QtTest>

#include <QSlider>

#include <cmath>
#include <functional>
#include <vector>

#include "dsp/Biquad.h"
#include "model/EqBandStore.h"
#include "editors/EqGraphPanel.h"
#include "editors/EqBandEditor.h"
#include "editors/model/EqBandEditing.h"
#include "link/LinkState.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "ui/DialogTexts.h"
#include "ui/InterfaceLanguage.h"
#include "tests/model/RecordingWriter.h"
#include "tests/editors/PageTestSupport.h"

using namespace dsptune;
using test::Cell;

namespace {

// A graph with the component beside it, as a page holds them; the writer records.
struct Bench {
  explicit Bench(EqBandEditor::Options options = {}) {
    panel = new EqGraphPanel(&page);
    editor = new EqBandEditor(*panel, [this](const EqBand& band) { written.push_back(band); }, options, &page);
    editor->ApplyTexts();
  }
  QWidget page;
  EqGraphPanel* panel = nullptr;
  EqBandEditor* editor = nullptr;
  std::vector<EqBand> written;
};

}  // namespace

class EqBandEditorTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    SetCurrentLanguage(kEnglish);
    ResetLinkState();
    ResetDataModel();
    LoadDefaultImage();
    SetDeviceWriter(&writer_);
    writer_.sent.clear();
  }
  void cleanup() {
    SetDeviceWriter(nullptr);
    ResetLinkState();
  }

  // ---- the rules underneath ----

  void leadingNumberReadsWhatTheTextStartsWith_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<double>("value");
    const struct {
      const char* text;
      double value;
    } rows[] = {{"12Hz", 12.0}, {" +3.5dB", 3.5}, {"\t-4.5", -4.5}, {"2e3Hz", 2000.0}, {"Hz", 0.0},  {"", 0.0},
                {"+", 0.0},     {"++2", 0.0},     {"- 2", 0.0},     {"1e400", 0.0},    {"inf", 0.0}, {"nan", 0.0}};
    for (const auto& row : rows) QTest::newRow(row.text) << QString(row.text) << row.value;
  }
  void leadingNumberReadsWhatTheTextStartsWith() {
    QFETCH(QString, text);
    QFETCH(double, value);
    QCOMPARE(LeadingNumber(text.toStdString()), value);
  }

  void cascadeHeadsShowTheirSectionsMenuTypeAndFamily() {
    EqPanelModel model;
    model.SetClientSize(642, 338);
    model.SetEqNumber(7);  // CH1 EQ: band 9 heads bands 10..12
    const int head = EqPanelModel::kCascadeHead;
    QCOMPARE(ShownMenuType(*model.BandAt(head)), 1);
    QVERIFY(!OffersCrossoverFamily(*model.BandAt(head)));  // a "PEQ" head
    QVERIFY(!IsCascadeSection(*model.BandAt(head)));
    for (int s = head + 1; s <= head + 3; ++s) QVERIFY(IsCascadeSection(*model.BandAt(s)));

    QVERIFY(model.ApplyMenuType(head, kFilterHighPass));
    QCOMPARE(model.BandAt(head)->type, 19);  // a section code, shown as the menu's "HP"
    QCOMPARE(ShownMenuType(*model.BandAt(head)), int(kFilterHighPass));
    QVERIFY(OffersCrossoverFamily(*model.BandAt(head)));
    QVERIFY(model.SetCrossoverFamily(head, 3));
    QCOMPARE(ShownCrossoverFamily(*model.BandAt(head)), 3);
    QVERIFY(model.ApplyMenuType(head, kFilterLowShelf));
    QVERIFY(!OffersCrossoverFamily(*model.BandAt(head)));

    // A bare section type outside a cascade stands for no menu type; neither does "off".
    model.SetEqNumber(kEqMicA);
    model.SetBandType(2, 20);
    QCOMPARE(ShownMenuType(*model.BandAt(2)), 0);
    model.SetBandType(2, kFilterOff);
    QCOMPARE(ShownMenuType(*model.BandAt(2)), 0);
    QVERIFY(!IsCascadeSection(*model.BandAt(12)));  // a microphone EQ has no sections
  }

  void sliderPositionsFollowTheBand() {
    EqPanelModel model;
    model.SetEqNumber(kEqMicA);
    const struct {
      int type, qMaximum;
      bool gainEnabled;
    } rows[] = {{1, 3000, true}, {2, 200, false}, {3, 200, false}, {4, 200, true}, {5, 200, true}, {0, 200, false}};
    for (const auto& row : rows) {
      model.SetBandType(0, row.type);
      const BandSliderPositions at = SliderPositions(*model.BandAt(0));
      QCOMPARE(at.qMaximum, row.qMaximum);
      QCOMPARE(at.gainEnabled, row.gainEnabled);
    }
    model.SetBandType(0, kFilterPeq);
    model.SetBandGain(0, -3.46f);
    model.SetBandFrequency(0, 999.6f);
    model.SetBandQ(0, 2.505f);
    const BandSliderPositions at = SliderPositions(*model.BandAt(0));
    QCOMPARE(at.gain, -35);
    QCOMPARE(at.frequency, FrequencySliderPosition(999.6));
    QCOMPARE(at.q, 251);
  }

  // The frequency slider is logarithmic; what it picks is whole hertz, what is typed is
  // sent as typed, and showing a band never rewrites it.
  void frequencySliderPicksTypedAndShownFrequenciesStayExact() {
    Bench bench;
    bench.editor->ShowEq(kEqMicA, StoredBandType::kAsMenuChoice);
    QSlider& slider = bench.editor->FrequencySlider();
    QCOMPARE(slider.minimum(), 0);
    QCOMPARE(slider.maximum(), kFrequencySliderSteps);

    WriteEqBand(kEqMicA, 3, 1, 1234, 0.0f, 1.41f);
    bench.editor->ShowEq(kEqMicA, StoredBandType::kAsMenuChoice);
    emit bench.panel->BandPressed(3);
    QCOMPARE(slider.value(), FrequencySliderPosition(1234.0));
    QCOMPARE(bench.editor->FrequencyField().text(), QString("1234Hz"));
    QVERIFY(bench.written.empty());  // shown, not rewritten to the slider's step

    const struct {
      const char* name;
      std::function<void()> act;
      float frequency;
    } rows[] = {
        {"one step down", [&] { slider.triggerAction(QAbstractSlider::SliderSingleStepSub); },
         float(FrequencyAtSliderPosition(FrequencySliderPosition(1234.0) - 1))},
        {"to the bottom", [&] { slider.setValue(0); }, 20.0f},
        {"to the top", [&] { slider.setValue(kFrequencySliderSteps); }, 20000.0f},
        {"typed", [&] { test::Enter(bench.editor->FrequencyField(), "1234"); }, 1234.0f},
        {"typed with a fraction", [&] { test::Enter(bench.editor->FrequencyField(), "987.6Hz"); }, 987.0f},
    };
    for (const auto& row : rows) {
      bench.written.clear();
      row.act();
      QVERIFY2(!bench.written.empty(), row.name);
      QCOMPARE(bench.written.back().frequency, row.frequency);
      QCOMPARE(bench.editor->FrequencyField().text(), QString::asprintf("%.0fHz", double(row.frequency)));
    }
    // One page step is a third of an octave wherever the thumb stands.
    for (int from : {0, 120, 200}) {
      slider.setValue(from);
      const double before = bench.written.back().frequency;
      slider.triggerAction(QAbstractSlider::SliderPageStepAdd);
      QVERIFY(std::fabs(std::log2(bench.written.back().frequency / before) - 1.0 / 3.0) < 0.06);
    }
  }

  void listRowsAndEditorFieldsDifferOnlyInAMissingFrequency() {
    EqPanelModel model;
    model.SetEqNumber(kEqMicA);
    const float q = model.BandAt(3)->q;
    ApplyListValues(model, 3, 4.5, 0.0, 0.0);  // no frequency, no Q: both stay
    QCOMPARE(model.BandAt(3)->gain, 4.5f);
    QCOMPARE(model.BandAt(3)->frequency, 100.0f);
    QCOMPARE(model.BandAt(3)->q, q);
    ApplyEditorValues(model, 3, 40.0, 0.0, 0.0);  // no frequency: 20 Hz; the gain at its limit
    QCOMPARE(model.BandAt(3)->frequency, 20.0f);
    QCOMPARE(model.BandAt(3)->gain, 15.0f);
    ApplyEditorValues(model, 3, 0.0, 25000.0, 0.5);
    QCOMPARE(model.BandAt(3)->frequency, 20000.0f);
    QCOMPARE(model.BandAt(3)->q, 0.5f);

    model.SetBandFrequency(3, 140.9f);
    const EqBand* sent = BandToWrite(model, 3);
    QVERIFY(sent);
    QCOMPARE(sent->frequency, 140.0f);
    QCOMPARE(BandToWrite(model, model.BandCount()), nullptr);  // a slot not in use
  }

  void storedBandsLoadAsMenuChoicesOrAsStored() {
    StoreEqBand(7, 9, 0.0f, 250, 0.7f, 2);  // a head stored as plain "LP"
    StoreEqBand(7, 4, 3.0f, 0, 0.0f, 1);    // no frequency, no Q
    EqPanelModel model;
    model.SetEqNumber(7);
    const float frequency = model.BandAt(4)->frequency;
    const float q = model.BandAt(4)->q;
    QVERIFY(LoadStoredBands(model, StoredBandType::kAsStored));
    QCOMPARE(model.BandAt(9)->type, 2);
    QCOMPARE(model.BandAt(10)->type, 1);  // the sections keep their own records
    QCOMPARE(model.BandAt(9)->frequency, 250.0f);
    QCOMPARE(model.BandAt(4)->gain, 3.0f);
    QCOMPARE(model.BandAt(4)->frequency, frequency);  // 0 leaves the frequency and Q
    QCOMPARE(model.BandAt(4)->q, q);
    model.SetEqNumber(7);
    QVERIFY(LoadStoredBands(model, StoredBandType::kAsMenuChoice));
    QCOMPARE(model.BandAt(9)->type, 18);  // the head of the menu's "LP" row
  }

  // ---- the component ----

  // Rows of crossover sections name the side they filter, never a bare type code.
  void crossoverSectionRowsShowNames() {
    for (int language : {kChinese, kEnglish}) {
      SetCurrentLanguage(language);
      Bench bench;
      bench.editor->ShowEq(12, StoredBandType::kAsStored);  // CH6: a low-pass head, sections 20, 1, 1
      const QTableWidget& list = bench.editor->List();
      const bool english = language == kEnglish;
      QCOMPARE(Cell(list, 9, 1), QString(english ? "LP" : "低通"));
      QCOMPARE(Cell(list, 10, 1), QString(english ? "XO LP" : "分频低通"));
      bench.panel->Model().SetBandType(11, 19);
      bench.panel->Model().SetBandType(12, 0);
      bench.editor->RefreshBandList();
      QCOMPARE(Cell(list, 11, 1), QString(english ? "XO HP" : "分频高通"));
      QCOMPARE(Cell(list, 12, 1), QString(english ? "OFF" : "关闭"));
    }
  }

  void bandsGoToTheWriterInWholeHertz() {
    Bench bench;
    bench.editor->ShowEq(kEqMicA, StoredBandType::kAsMenuChoice);
    bench.panel->SetBandFrequency(2, 140.9f);
    emit bench.panel->BandChanged(2);
    QCOMPARE(bench.written.size(), std::size_t(1));
    QCOMPARE(bench.written[0].index, 2);
    QCOMPARE(bench.written[0].frequency, 140.0f);
    QCOMPARE(bench.panel->Model().BandAt(2)->frequency, 140.0f);
    QCOMPARE(Cell(bench.editor->List(), 2, 3), QString("140Hz"));
    QVERIFY(writer_.sent.empty());  // the writer alone decides what reaches the device
  }

  void anEqWithFewerBandsKeepsTheEditorOnlyWhileItHasTheBand() {
    Bench bench;
    bench.editor->ShowEq(kEqMicA, StoredBandType::kAsMenuChoice);
    emit bench.panel->BandPressed(4);
    QVERIFY(bench.editor->EditorShown());
    WriteEqBand(kEqEchoA, 4, 1, 900, -2.0f, 1.41f);
    bench.editor->ShowEq(kEqEchoA, StoredBandType::kAsStored);  // 7 bands
    QVERIFY(bench.editor->EditorShown());
    QCOMPARE(bench.editor->EditedBand(), 4);
    QCOMPARE(bench.editor->FrequencyField().text(), QString("900Hz"));
    QCOMPARE(bench.editor->List().rowCount(), 7);
    emit bench.panel->BandPressed(6);
    bench.editor->ShowEq(kEqRecord, StoredBandType::kAsStored);  // 5 bands
    QVERIFY(!bench.editor->EditorShown());
    QCOMPARE(bench.editor->EditedBand(), -1);
    QCOMPARE(bench.editor->List().rowCount(), 5);
    QVERIFY(bench.written.empty());  // showing is not writing
  }

  void optionsSetControlNumbersRowsFamilyAndColours() {
    EqBandEditor::Options options;
    options.listRows = 7;
    options.ids = {2001, 2002, 2003, 2004, 2010};
    Bench bench(options);
    bench.editor->ShowEq(7, StoredBandType::kAsStored);
    QCOMPARE(ControlId(&bench.editor->TypeRadio(1)), 2010);
    QCOMPARE(ControlId(&bench.editor->TypeRadio(5)), 2014);
    QCOMPARE(ControlId(bench.editor->TypeRadio(1).parentWidget()), 2004);
    QMap<int, int> ids;
    for (const QWidget* w : bench.page.findChildren<QWidget*>())
      if (const int id = ControlId(w)) ++ids[id];
    QCOMPARE(ids.keys(), (QList<int>{2001, 2002, 2003, 2004, 2010, 2011, 2012, 2013, 2014}));
    QVERIFY(!bench.editor->FamilyCombo() && !bench.editor->FamilyLabel());
    const QTableWidget& list = bench.editor->List();
    QCOMPARE(list.minimumHeight(),
             list.horizontalHeader()->sizeHint().height() + 7 * 16 + 2 * list.frameWidth());

    // Rows take the page's colour; the crossover sections stay grey and are not edited.
    bench.editor->SetTextColor(QColor(255, 200, 0));
    QCOMPARE(list.item(3, 2)->foreground().color(), QColor(255, 200, 0));
    QCOMPARE(list.item(11, 0)->foreground().color(), QColor(120, 120, 120));
    QVERIFY(!(list.item(11, 1)->flags() & Qt::ItemIsEditable));
    QVERIFY(list.item(9, 1)->flags() & Qt::ItemIsEditable);
    bench.editor->ShowEq(kEqMicA, StoredBandType::kAsMenuChoice);  // the same rows, now plain bands
    QCOMPARE(list.item(11, 0)->foreground().color(), QColor(255, 200, 0));
    QVERIFY(list.item(11, 1)->flags() & Qt::ItemIsEditable);
  }

 private:
  test::RecordingWriter writer_;
};

QTEST_MAIN(EqBandEditorTest)
#include "EqBandEditorTest.moc"
