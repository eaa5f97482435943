// The record output page: what it loads from the model, the exact write of every level
// slider, limiter slider and switch, the record EQ's band writes, reset and bypass, the
// page buttons, the wheel, the texts in both languages and the layout in the smallest
// view.
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QTableWidget>
#include <QWheelEvent>
#include <QtTest>

#include <memory>

#include "editors/CompressorCurvePanel.h"
#include "editors/RecordOutputPage.h"
#include "editors/EqGraphPanel.h"
#include "link/LinkState.h"
#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/DerivedRecords.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "ui/DialogTexts.h"
#include "ui/LanguageTables.h"
#include "ui/InterfaceLanguage.h"
#include "tests/link/RecordingTransport.h"
#include "tests/model/RecordingWriter.h"
#include "tests/editors/PageTestSupport.h"

using namespace dsptune;
using test::Wheel;
using test::UseLanguage;
using test::Enter;

namespace {

std::vector<std::uint8_t> Word(std::uint32_t w) {
  return {std::uint8_t(w >> 24), std::uint8_t(w >> 16), std::uint8_t(w >> 8), std::uint8_t(w)};
}

std::vector<std::uint8_t> RecordBytes(const CompressorValues& v) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t word : CompressorRecordWords(v.threshold, v.ratio, v.attackMs, v.releaseMs))
    for (std::uint8_t b : Word(word)) bytes.push_back(b);
  return bytes;
}

BandRecord StoredBand(int band) {
  return DecodeBandRecord(ReadLiveBytes(EqBandOffset(kEqRecord, band), kBandRecordSize).data());
}

}  // namespace

class RecordOutputPageTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    UseLanguage(kEnglish);
    ResetDataModel();
    LoadDefaultImage();
    // The link puts in its own writer when first touched; the test's goes in after.
    CurrentLink();
    SetDeviceWriter(&writer_);
    writer_.sent.clear();
  }

  void cleanup() {
    page_.reset();
    SetDeviceWriter(nullptr);
  }

  void loadsEveryControlFromTheModel() {
    SetParameter(kRecordBlock, 0x06, 42);
    SetParameter(kRecordBlock, 0x09, 7);
    SetParameter(kRecordBlock, 0x0C, 250);  // beyond the slider: the slider at its end, the label as stored
    SetParameter(kRecordBlock, 0x0B, 0);    // limiter on
    WriteCompressorRecord(CompressorTarget::Record, 0, {-12.4f, 4.0f, 20.0f, 300.0f});
    writer_.sent.clear();
    MakePage();
    QVERIFY(writer_.sent.empty());  // opening is not writing

    const int levels[kRecordLevels] = {42, 100, 100, 7, 100};
    for (int k = 0; k < kRecordLevels; ++k) {
      QCOMPARE(page_->LevelSlider(k).value(), levels[k]);
      QCOMPARE(page_->LevelValue(k).text(), QString("%1%").arg(k == kRecordLevel ? 250 : levels[k]));
      QCOMPARE(page_->LevelSlider(k).minimum(), 0);
      QCOMPARE(page_->LevelSlider(k).maximum(), 100);
    }
    QVERIFY(page_->CompressorSwitch().isChecked());
    const int positions[4] = {-12, 40, 20, 300};
    const char* texts[4] = {"-12dB", "4.0:1", "20ms", "300ms"};
    const int ranges[4][2] = {{-60, 0}, {10, 300}, {1, 100}, {1, 1000}};
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(page_->CompressorSlider(i).value(), positions[i]);
      QCOMPARE(page_->CompressorValue(i).text(), QString(texts[i]));
      QCOMPARE(page_->CompressorSlider(i).minimum(), ranges[i][0]);
      QCOMPARE(page_->CompressorSlider(i).maximum(), ranges[i][1]);
    }
    QCOMPARE(page_->Graph().Curve().threshold, -12.0f);
    QCOMPARE(page_->Graph().Curve().upperSlope, 0.25f);
    QVERIFY(page_->Graph().Curve().on);

    // The record EQ: five bands, no band picked, "Record" pressed.
    QCOMPARE(page_->EqPanel().Model().EqNumber(), kEqRecord);
    QCOMPARE(page_->EqPanel().Model().BandCount(), kRecordEqBands);
    QCOMPARE(page_->BandList().rowCount(), kRecordEqBands);
    QVERIFY(!page_->BandEditorShown());
    QVERIFY(page_->PageButton(1).isChecked());
    QVERIFY(!page_->PageButton(0).isCheckable() && !page_->PageButton(2).isCheckable());
    QVERIFY(page_->HasEq());
    QCOMPARE(page_->Kind(), int(kEditorRecord));
  }

  void everyControlWritesItsAddress_data() {
    QTest::addColumn<int>("level");
    QTest::addColumn<int>("address");
    QTest::newRow("Direct") << int(kRecordDirect) << 0x06;
    QTest::newRow("Reverb") << int(kRecordReverb) << 0x07;
    QTest::newRow("Echo") << int(kRecordEcho) << 0x08;
    QTest::newRow("Music") << int(kRecordMusic) << 0x09;
    QTest::newRow("Rec Level") << int(kRecordLevel) << 0x0C;
  }
  void everyControlWritesItsAddress() {
    QFETCH(int, level);
    QFETCH(int, address);
    MakePage();
    page_->LevelSlider(level).setValue(37);
    QCOMPARE(writer_.sent.size(), std::size_t(1));
    QCOMPARE(int(writer_.sent[0].block), 13);
    QCOMPARE(int(writer_.sent[0].address), address);
    QCOMPARE(writer_.sent[0].bytes, Word(UiValueToWord(ConversionKind::Percent, 37)));
    QCOMPARE(page_->LevelValue(level).text(), QString("37%"));
    QCOMPARE(UiValue(13, std::uint8_t(address)), 37);
  }

  void limiterSlidersAndSwitch() {
    WriteCompressorRecord(CompressorTarget::Record, 0, {-10.0f, 2.0f, 5.0f, 200.0f});
    MakePage();
    struct Case {
      int slider, position;
      const char* text;
      CompressorValues record;
    };
    // Each row keeps what the rows before it wrote.
    const Case cases[] = {
        {kCompThreshold, -30, "-30dB", {-30.0f, 2.0f, 5.0f, 200.0f}},
        {kCompRatio, 40, "4.0:1", {-30.0f, 4.0f, 5.0f, 200.0f}},
        {kCompAttack, 20, "20ms", {-30.0f, 4.0f, 20.0f, 200.0f}},
        {kCompRelease, 1000, "1000ms", {-30.0f, 4.0f, 20.0f, 1000.0f}},
    };
    for (const Case& c : cases) {
      writer_.sent.clear();
      page_->CompressorSlider(c.slider).setValue(c.position);
      QCOMPARE(writer_.sent.size(), std::size_t(1));
      QCOMPARE(int(writer_.sent[0].block), 13);
      QCOMPARE(int(writer_.sent[0].address), 0x0A);
      QCOMPARE(writer_.sent[0].bytes, RecordBytes(c.record));
      QCOMPARE(page_->CompressorValue(c.slider).text(), QString(c.text));
    }
    QCOMPARE(page_->Graph().Curve().threshold, -30.0f);
    QCOMPARE(page_->Graph().Curve().upperSlope, 0.25f);
    QCOMPARE(EditorSnapshot().recordLimiter.releaseMs, 1000.0f);

    // The box: ticked writes 0, unticked 1 (the default is off).
    QVERIFY(!page_->CompressorSwitch().isChecked());
    for (bool on : {true, false}) {
      writer_.sent.clear();
      page_->CompressorSwitch().click();
      QCOMPARE(writer_.sent.size(), std::size_t(1));
      QCOMPARE(int(writer_.sent[0].address), 0x0B);
      QCOMPARE(writer_.sent[0].bytes, Word(on ? 0 : 1));
      QCOMPARE(page_->Graph().Curve().on, on);
    }
  }

  void recordEqBandsResetAndBypass() {
    MakePage();
    test::RecordingTransport transport;
    LinkState& link = CurrentLink();
    link.kind = LinkKind::Network;
    link.queuedSendMode = true;
    link.connected = true;
    link.transport = &transport;
    const int frequencyBefore = StoredBand(4).frequency;
    emit page_->EqPanel().BandPressed(4);
    QVERIFY(page_->BandEditorShown());
    QCOMPARE(page_->EditedBand(), 4);
    Enter(page_->GainField(), "+6.0dB");
    // Coefficients to the record EQ's block, the record to the model and the device.
    const EqLayout& layout = EqLayoutOf(kEqRecord);
    const std::vector<test::TransportCall> calls = transport.Calls();
    QCOMPARE(calls.size(), std::size_t(1));
    const std::vector<std::uint8_t> head(calls[0].bytes.begin(), calls[0].bytes.begin() + 6);
    QCOMPARE(head, test::Bytes({0x81, 0x09, 0x00, layout.coefficientBlock, layout.firstAddress + 4, 5}));
    QCOMPARE(writer_.sent.size(), std::size_t(1));
    QCOMPARE(writer_.sent[0].kind, test::SentWrite::Live);
    QCOMPARE(int(writer_.sent[0].offset), EqBandOffset(kEqRecord, 4));
    QCOMPARE(StoredBand(4).gainField, 210);
    QCOMPARE(int(StoredBand(4).frequency), frequencyBefore);
    link.transport = nullptr;
    link.connected = false;

    // Frequency typed in the editor: below 20 Hz becomes 20.
    Enter(page_->FrequencyField(), "5");
    QCOMPARE(StoredBand(4).frequency, 20);

    // Bypass: address 0x05 written 1 and back to 0.
    QSignalSpy bypassChanged(page_.get(), &RecordOutputPage::eqBypassChanged);
    for (bool bypass : {true, false}) {
      writer_.sent.clear();
      page_->SetEqBypass(bypass);
      QCOMPARE(writer_.sent.size(), std::size_t(1));
      QCOMPARE(int(writer_.sent[0].block), 13);
      QCOMPARE(int(writer_.sent[0].address), 0x05);
      QCOMPARE(writer_.sent[0].bytes, Word(bypass ? 1 : 0));
      QCOMPARE(page_->EqBypassed(), bypass);
      QCOMPARE(page_->EqPanel().Model().Bypass(), bypass);
    }
    QCOMPARE(bypassChanged.size(), 2);

    // Reset EQ: the five defaults, no band picked.
    page_->ResetCurrentEq();
    QVERIFY(!page_->BandEditorShown());
    const int defaults[kRecordEqBands] = {50, 100, 200, 400, 800};
    for (int b = 0; b < kRecordEqBands; ++b) {
      QCOMPARE(int(StoredBand(b).frequency), defaults[b]);
      QCOMPARE(int(StoredBand(b).gainField), 150);
      QCOMPARE(page_->EqPanel().Model().BandAt(b)->frequency, float(defaults[b]));
      QCOMPARE(page_->BandList().item(b, 0)->text(), QString::number(b + 1));
    }
  }

  void pageButtonsAndWheel() {
    MakePage();
    QSignalSpy outputs(page_.get(), &RecordOutputPage::outputPageRequested);
    QSignalSpy pages(page_.get(), &RecordOutputPage::pageRequested);
    for (int c = 0; c < 8; ++c) page_->ChannelButton(c).click();
    QCOMPARE(outputs.size(), 8);
    QCOMPARE(outputs.at(3).at(0).toInt(), 3);
    for (int i = 0; i < RecordOutputPage::kPageButtons; ++i) page_->PageButton(i).click();
    QCOMPARE(pages.size(), 3);
    QCOMPARE(pages.at(0).at(0).toInt(), int(kEditorSurround));
    QCOMPARE(pages.at(1).at(0).toInt(), int(kEditorRecord));
    QCOMPARE(pages.at(2).at(0).toInt(), int(kEditorCompressor));
    QVERIFY(page_->PageButton(1).isChecked());  // pressing it again leaves it pressed

    // The wheel goes to the focused slider, one step a notch, from anywhere on the page.
    page_->show();
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    page_->activateWindow();
    page_->LevelSlider(kRecordEcho).setFocus();
    QTRY_VERIFY(page_->LevelSlider(kRecordEcho).hasFocus());
    writer_.sent.clear();
    Wheel(&page_->CompressorSlider(kCompRelease), -1);
    QCOMPARE(page_->LevelSlider(kRecordEcho).value(), 99);
    QCOMPARE(page_->CompressorSlider(kCompRelease).value(), 100);
    QCOMPARE(writer_.sent.size(), std::size_t(1));
    QCOMPARE(int(writer_.sent[0].address), 0x08);
  }

  void textsInBothLanguages_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("levels");
    QTest::addColumn<QStringList>("limiter");
    QTest::addColumn<QStringList>("buttons");  // CH 1, CH 8, Location, Record, Comp
    QTest::addColumn<QString>("compressorSwitch");
    QTest::addColumn<QStringList>("bandEditor");  // gain, frequency, Q, type group
    QTest::newRow("Chinese") << int(kChinese)
                             << QStringList{"直达声音量", "混响音量", "回声音量", "音乐音量", "录音电平"}
                             << QStringList{"阀(阈)", "衰减比例", "启动时间", "释放时间"}
                             << QStringList{"通道1", "通道8", "声场定位", "录音输出", "输出压限"} << QString("压限启用")
                             << QStringList{"增益", "频率", "Q值", "均衡类型"};
    QTest::newRow("English") << int(kEnglish) << QStringList{"Direct ", "Reverb", "Echo", "Music", "Rec Level"}
                             << QStringList{"Threshold", "Decay ratio", "Attack time", "Release time"}
                             << QStringList{"CH 1", "CH 8", "Location", "Record", "Comp"}
                             << QString("Compressor Switch") << QStringList{"Gain", "F", "Q", "EQ Type"};
  }
  void textsInBothLanguages() {
    QFETCH(int, language);
    QFETCH(QStringList, levels);
    QFETCH(QStringList, limiter);
    QFETCH(QStringList, buttons);
    QFETCH(QString, compressorSwitch);
    QFETCH(QStringList, bandEditor);
    // Made in the other language, then switched: the texts follow.
    UseLanguage(language == kEnglish ? kChinese : kEnglish);
    MakePage();
    emit page_->EqPanel().BandPressed(1);
    UseLanguage(language);
    page_->ApplyTexts();
    QVERIFY(!page_->BandEditorShown());  // a language switch reloads with no band picked
    for (int k = 0; k < kRecordLevels; ++k) QCOMPARE(page_->LevelCaption(k).text(), levels[k]);
    for (int i = 0; i < 4; ++i) QCOMPARE(page_->CompressorCaption(i).text(), limiter[i]);
    QCOMPARE(page_->ChannelButton(0).text(), buttons[0]);
    QCOMPARE(page_->ChannelButton(7).text(), buttons[1]);
    for (int i = 0; i < 3; ++i) QCOMPARE(page_->PageButton(i).text(), buttons[2 + i]);
    QCOMPARE(page_->CompressorSwitch().text(), compressorSwitch);
    QCOMPARE(page_->TitleLabel().text(), QString(language == kEnglish ? "RECORD OUTPUT" : "录音输出"));
    QCOMPARE(page_->EqPanel().Model().Language(), language);
    const int captionIds[4] = {1199, 1200, 1201, 1202};
    for (int i = 0; i < 4; ++i) {
      QString text;
      for (QWidget* w : page_->findChildren<QWidget*>()) {
        if (ControlId(w) != captionIds[i]) continue;
        if (auto* label = qobject_cast<QLabel*>(w)) text = label->text();
        if (auto* group = qobject_cast<QGroupBox*>(w)) text = group->title();
      }
      QCOMPARE(text, bandEditor[i]);
    }
    // Dialog 522's control numbers, each once.
    QMap<int, int> ids;
    for (const QWidget* w : page_->findChildren<QWidget*>())
      if (const int id = ControlId(w)) ++ids[id];
    for (int id : ids.keys()) QCOMPARE(ids[id], 1);
    const int buttonIds[8] = {1069, 1072, 1070, 1071, 1076, 1077, 1078, 1079};
    for (int c = 0; c < 8; ++c) QCOMPARE(ControlId(&page_->ChannelButton(c)), buttonIds[c]);
    for (int i = 0; i < 3; ++i) QCOMPARE(ControlId(&page_->PageButton(i)), 1073 + i);
  }

  void layoutFitsTheSmallestView_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("editor");
    QTest::newRow("Chinese list") << int(kChinese) << false;
    QTest::newRow("Chinese editor") << int(kChinese) << true;
    QTest::newRow("English list") << int(kEnglish) << false;
    QTest::newRow("English editor") << int(kEnglish) << true;
  }
  void layoutFitsTheSmallestView() {
    QFETCH(int, language);
    QFETCH(bool, editor);
    UseLanguage(language);
    MakePage();
    page_->resize(1024, 520);
    page_->show();
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    if (editor) emit page_->EqPanel().BandPressed(0);
    QApplication::processEvents();
    const QRect area = page_->rect();
    for (QWidget* w : page_->findChildren<QWidget*>()) {
      if (!w->isVisibleTo(page_.get())) continue;
      if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w) && !qobject_cast<QSlider*>(w) &&
          !qobject_cast<QGroupBox*>(w) && !qobject_cast<QLineEdit*>(w) && !qobject_cast<CompressorCurvePanel*>(w) &&
          !qobject_cast<EqGraphPanel*>(w))
        continue;
      const QRect r(w->mapTo(page_.get(), QPoint(0, 0)), w->size());
      const QString what = QString("%1 '%2'").arg(w->metaObject()->className(), w->property("text").toString());
      QVERIFY2(area.contains(r), qPrintable(what));
      QVERIFY2(w->width() >= w->minimumSizeHint().width() - 1, qPrintable(what));
      QVERIFY2(w->height() >= w->minimumSizeHint().height() - 1, qPrintable(what));
      if (auto* label = qobject_cast<QLabel*>(w); label && !label->text().isEmpty() && !label->wordWrap())
        QVERIFY2(label->width() >= label->fontMetrics().horizontalAdvance(label->text()), qPrintable(what));
    }
    // The pieces do not overlap one another.
    const auto rect = [this](const QWidget& w) { return QRect(w.mapTo(page_.get(), QPoint(0, 0)), w.size()); };
    const QRect graph = rect(page_->Graph());
    const QRect eq = rect(page_->EqPanel());
    QVERIFY(!graph.intersects(eq));
    QVERIFY(!rect(page_->BandList()).intersects(eq));
    for (int i = 0; i < 4; ++i) QVERIFY(!rect(page_->CompressorSlider(i)).intersects(graph));
    QVERIFY(!rect(page_->PageButton(2)).intersects(eq));
    QVERIFY(eq.width() >= 480 && eq.height() >= 200);
  }

  void screenshots() {
    const QString dir = qEnvironmentVariable("DSPTUNE_SHOT_DIR");
    if (dir.isEmpty()) QSKIP("DSPTUNE_SHOT_DIR not set");
    for (int language : {kChinese, kEnglish}) {
      LoadDefaultImage();
      WriteCompressorRecord(CompressorTarget::Record, 0, {-24.0f, 4.0f, 20.0f, 300.0f});
      SetParameter(kRecordBlock, 0x0B, 0);
      SetParameter(kRecordBlock, 0x07, 60);
      UseLanguage(language);
      const QString tag = language == kEnglish ? "en" : "zh";
      MakePage();
      page_->resize(1024, 520);
      page_->show();
      QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
      QVERIFY(page_->grab().save(QDir(dir).filePath(QString("rec-%1-list.png").arg(tag))));
      emit page_->EqPanel().BandPressed(2);
      QVERIFY(page_->grab().save(QDir(dir).filePath(QString("rec-%1-editor.png").arg(tag))));
      page_.reset();
    }
  }

 private:
  void MakePage() {
    page_.reset();
    page_ = std::make_unique<RecordOutputPage>();
  }

  test::RecordingWriter writer_;
  std::unique_ptr<RecordOutputPage> page_;
};

QTEST_MAIN(RecordOutputPageTest)
#include "RecordOutputPageTest.moc"
