// The limiter page: what it shows for the chosen channel, the exact record every slider
// writes for every channel, the limiter switch, the channel drop-down (which writes
// nothing), the page buttons and the host that follows them, the wheel, the texts in
// both languages with dialog 346's table entries, and the layout in the smallest view.
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <QWheelEvent>
#include <QtTest>

#include <memory>

#include "editors/CompressorPage.h"
#include "editors/CompressorCurvePanel.h"
#include "editors/OutputPage.h"
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

std::vector<std::uint8_t> RecordBytes(const CompressorValues& v) {
  std::vector<std::uint8_t> bytes;
  for (std::uint32_t word : CompressorRecordWords(v.threshold, v.ratio, v.attackMs, v.releaseMs))
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(std::uint8_t(word >> shift));
  return bytes;
}

// The stored limiter values the tests give channel c (0..7).
CompressorValues Stored(int c) { return {-10.0f - c, 2.0f + c, 5.0f + c, 200.0f + c}; }

}  // namespace

class CompressorPageTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    UseLanguage(kEnglish);
    ResetDataModel();
    LoadDefaultImage();
    SetDeviceWriter(&writer_);
    writer_.sent.clear();
  }

  void cleanup() {
    page_.reset();
    SetDeviceWriter(nullptr);
  }

  // CH1 with its default limiter (0 dB, 30.0:1, 1 ms, 100 ms, switched off).
  void opensOnTheFirstChannelsStoredValues() {
    MakePage();
    QCOMPARE(page_->Channel(), 0);
    QCOMPARE(page_->ChannelCombo().currentIndex(), 0);
    QVERIFY(page_->PageButton(2).isChecked());
    const int positions[4] = {0, 300, 1, 100};
    const char* const texts[4] = {"0dB", "30.0:1", "1ms", "100ms"};
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(page_->Slider(i).value(), positions[i]);
      QCOMPARE(page_->ValueField(i).text(), QString(texts[i]));
    }
    const int ranges[4][2] = {{-60, 0}, {10, 300}, {1, 100}, {1, 1000}};
    for (int i = 0; i < 4; ++i) {
      QCOMPARE(page_->Slider(i).minimum(), ranges[i][0]);
      QCOMPARE(page_->Slider(i).maximum(), ranges[i][1]);
    }
    QVERIFY(!page_->CompSwitch().isChecked());
    const CompressorCurve& curve = page_->Graph().Curve();
    QCOMPARE(curve.threshold, 0.0f);
    QCOMPARE(curve.upperSlope, 1.0f / 30.0f);
    QCOMPARE(curve.lowerBreak, -90.0f);
    QCOMPARE(curve.lowerSlope, 1.0f);
    QVERIFY(!curve.on);
    QVERIFY(writer_.sent.empty());
  }

  void everySliderWritesTheChosenChannelsRecord_data() {
    QTest::addColumn<int>("slider");
    QTest::addColumn<int>("position");
    QTest::addColumn<QString>("text");
    QTest::newRow("threshold -33") << int(kCompThreshold) << -33 << "-33dB";
    QTest::newRow("ratio 4.5:1") << int(kCompRatio) << 45 << "4.5:1";
    QTest::newRow("ratio 1.0:1") << int(kCompRatio) << 10 << "1.0:1";
    QTest::newRow("attack 20") << int(kCompAttack) << 20 << "20ms";
    QTest::newRow("release 1000") << int(kCompRelease) << 1000 << "1000ms";
  }
  void everySliderWritesTheChosenChannelsRecord() {
    QFETCH(int, slider);
    QFETCH(int, position);
    QFETCH(QString, text);
    for (int c = 0; c < 8; ++c) WriteCompressorRecord(CompressorTarget::Channel, c + 1, Stored(c));
    MakePage();
    for (int c = 0; c < 8; ++c) {
      page_->ChannelCombo().setCurrentIndex(c);
      writer_.sent.clear();
      page_->Slider(slider).setValue(position);
      CompressorValues want = Stored(c);
      switch (slider) {
        case kCompThreshold: want.threshold = float(position); break;
        case kCompRatio: want.ratio = float(position) / 10.0f; break;
        case kCompAttack: want.attackMs = float(position); break;
        default: want.releaseMs = float(position); break;
      }
      QCOMPARE(int(writer_.sent.size()), 1);
      QCOMPARE(int(writer_.sent[0].block), c + 5);
      QCOMPARE(int(writer_.sent[0].address), 0x1B);
      QVERIFY2(writer_.sent[0].bytes == RecordBytes(want), qPrintable(QString("CH%1").arg(c + 1)));
      QCOMPARE(page_->ValueField(slider).text(), text);
      QCOMPARE(EditorSnapshot().channelLimiters[std::size_t(c)].ratio, want.ratio);
      const CompressorCurve& curve = page_->Graph().Curve();
      QCOMPARE(curve.threshold, float(page_->Slider(kCompThreshold).value()));
      QCOMPARE(curve.upperSlope, 10.0f / float(page_->Slider(kCompRatio).value()));
    }
  }

  // The ratio at 40 reads 4.0:1 and makes the graph's upper slope 0.25; the attack of
  // CH3 at 20 ms keeps CH3's threshold, ratio and release.
  void namedCases() {
    WriteCompressorRecord(CompressorTarget::Channel, 3, {-25.0f, 6.0f, 30.0f, 450.0f});
    MakePage();
    page_->Slider(kCompRatio).setValue(40);
    QCOMPARE(page_->ValueField(kCompRatio).text(), QString("4.0:1"));
    QCOMPARE(page_->Graph().Curve().upperSlope, 0.25f);
    page_->ChannelCombo().setCurrentIndex(2);
    writer_.sent.clear();
    page_->Slider(kCompAttack).setValue(20);
    QCOMPARE(int(writer_.sent.size()), 1);
    QCOMPARE(int(writer_.sent[0].block), 7);
    QVERIFY(writer_.sent[0].bytes == RecordBytes({-25.0f, 6.0f, 20.0f, 450.0f}));
  }

  void channelChoiceWritesNothingAndShowsThatChannel() {
    for (int c = 0; c < 8; ++c) WriteCompressorRecord(CompressorTarget::Channel, c + 1, Stored(c));
    SetParameter(9, 0x1C, 0);  // CH5's limiter on
    writer_.sent.clear();
    MakePage();
    for (int c : {4, 7, 0}) {
      page_->ChannelCombo().setCurrentIndex(c);
      QCOMPARE(page_->Channel(), c);
      QVERIFY(page_->PageButton(2).isChecked());
      QCOMPARE(page_->Slider(kCompThreshold).value(), -10 - c);
      QCOMPARE(page_->Slider(kCompRatio).value(), 20 + 10 * c);
      QCOMPARE(page_->Slider(kCompRelease).value(), 200 + c);
      QCOMPARE(page_->ValueField(kCompAttack).text(), QString("%1ms").arg(5 + c));
      QCOMPARE(page_->CompSwitch().isChecked(), c == 4);
      QCOMPARE(page_->Graph().Curve().on, c == 4);
      QCOMPARE(page_->Graph().Curve().threshold, float(-10 - c));
    }
    page_->SetChannel(6);
    QCOMPARE(page_->ChannelCombo().currentIndex(), 6);
    QCOMPARE(page_->Slider(kCompThreshold).value(), -16);
    QVERIFY(writer_.sent.empty());
  }

  void compSwitchWritesOnlyTheChosenChannel() {
    MakePage();
    page_->ChannelCombo().setCurrentIndex(3);
    page_->CompSwitch().click();
    QCOMPARE(int(writer_.sent.size()), 1);
    QCOMPARE(int(writer_.sent[0].block), 8);
    QCOMPARE(int(writer_.sent[0].address), 0x1C);
    QVERIFY(writer_.sent[0].bytes == test::Bytes({0, 0, 0, 0}));
    QVERIFY(page_->Graph().Curve().on);
    page_->CompSwitch().click();
    QVERIFY(writer_.sent.back().bytes == test::Bytes({0, 0, 0, 1}));
    QVERIFY(!page_->Graph().Curve().on);
    QCOMPARE(UiValue(8, 0x1C), 1);
    QCOMPARE(UiValue(5, 0x1C), 1);
  }

  // The page scrolls in the window: a wheel over a slider without the focus is the
  // page's, not the slider's; the focused slider under the pointer takes it.
  void wheelOverASliderMovesThatSliderWhenFocused() {
    MakePage();
    page_->resize(1024, 520);
    page_->show();
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    page_->activateWindow();
    const int before[4] = {page_->Slider(0).value(), page_->Slider(1).value(), page_->Slider(2).value(),
                           page_->Slider(3).value()};
    page_->Slider(kCompThreshold).setFocus();
    QTRY_VERIFY(page_->Slider(kCompThreshold).hasFocus());
    Wheel(&page_->Slider(kCompRelease), 1);
    QCOMPARE(page_->Slider(kCompRelease).value(), before[3]);
    QVERIFY(writer_.sent.empty());
    page_->Slider(kCompRelease).setFocus();
    QTRY_VERIFY(page_->Slider(kCompRelease).hasFocus());
    Wheel(&page_->Slider(kCompRelease), 1);
    QVERIFY(page_->Slider(kCompRelease).value() != before[3]);
    for (int i = 0; i < 3; ++i) QCOMPARE(page_->Slider(i).value(), before[i]);
    QCOMPARE(int(writer_.sent.size()), 1);
    QCOMPARE(int(writer_.sent[0].address), 0x1B);
  }

  void pageButtonsAskForTheirPages() {
    MakePage();
    QSignalSpy outputs(page_.get(), &CompressorPage::outputPageRequested);
    QSignalSpy pages(page_.get(), &CompressorPage::pageRequested);
    for (int c = 0; c < 8; ++c) page_->ChannelButton(c).click();
    QCOMPARE(outputs.size(), 8);
    for (int c = 0; c < 8; ++c) QCOMPARE(outputs.at(c).at(0).toInt(), c);
    for (int i = 0; i < CompressorPage::kPageButtons; ++i) page_->PageButton(i).click();
    QCOMPARE(pages.size(), 3);
    QCOMPARE(pages.at(0).at(0).toInt(), int(kEditorSurround));
    QCOMPARE(pages.at(1).at(0).toInt(), int(kEditorRecord));
    QCOMPARE(pages.at(2).at(0).toInt(), int(kEditorCompressor));
    QVERIFY(page_->PageButton(2).isChecked());  // pressing it again leaves it pressed
    QVERIFY(writer_.sent.empty());
  }

  // The host as the application wires it: a channel button brings the output page on
  // that channel; "Comp" asked for again changes nothing.
  void hostFollowsThePageButtons() {
    QByteArray record = QByteArray::fromHex("0000000000000000");
    SetDefaultOutputPageServices(
        {[&record] { return record; }, [&record](const QByteArray& r) { record = r; return true; },
         [](const QString&, int) {}});
    EditorHost host;
    host.SetFactory([&host](int kind, int channel, QWidget* parent) -> EditorPage* {
      if (kind == kEditorOutput) return new OutputPage(channel, parent);
      if (kind != kEditorCompressor) return nullptr;
      auto* page = new CompressorPage(parent);
      QObject::connect(
          page, &CompressorPage::outputPageRequested, &host,
          [&host](int c) { host.ShowEditor(kEditorOutput, c); }, Qt::QueuedConnection);
      QObject::connect(
          page, &CompressorPage::pageRequested, &host, [&host](int kind) { host.ShowEditor(kind, 0); },
          Qt::QueuedConnection);
      return page;
    });
    host.ShowEditor(kEditorCompressor, 0);
    QPointer<CompressorPage> page(qobject_cast<CompressorPage*>(host.Editor()));
    QVERIFY(page);
    page->ChannelCombo().setCurrentIndex(5);
    page->PageButton(2).click();
    QTest::qWait(20);
    QCOMPARE(host.Editor(), page.data());
    QCOMPARE(page->Channel(), 5);
    page->ChannelButton(3).click();
    QTRY_VERIFY(!page);
    QCOMPARE(host.EditorKind(), int(kEditorOutput));
    QCOMPARE(host.Editor()->Channel(), 3);
    QCOMPARE(host.OutputChannel(), 3);
    SetDefaultOutputPageServices({});
  }

  void textsSwitchWithTheLanguage() {
    UseLanguage(kChinese);
    MakePage();
    page_->ChannelCombo().setCurrentIndex(2);
    for (int c = 0; c < 8; ++c) QCOMPARE(page_->ChannelButton(c).text(), QString::fromUtf8("通道%1").arg(c + 1));
    const QStringList chinesePages = {"声道定位", "录音输出", "输出压限"};
    const QStringList chineseCaptions = {"阀(阈)", "衰减比例", "启动时间", "释放时间"};
    for (int i = 0; i < 3; ++i) QCOMPARE(page_->PageButton(i).text(), chinesePages[i]);
    for (int i = 0; i < 4; ++i) QCOMPARE(page_->Caption(i).text(), chineseCaptions[i]);
    QCOMPARE(page_->ChannelCaption().text(), QString::fromUtf8("选择通道"));
    QCOMPARE(page_->ChannelCombo().itemText(7), QString::fromUtf8("通道8"));
    QCOMPARE(page_->CompSwitch().text(), QString::fromUtf8("压限启用"));

    UseLanguage(kEnglish);
    page_->ApplyTexts();
    // The English table names the first five buttons only; 1077..1079 read as on the other pages.
    const QStringList english = {"Main", "Rear", "Center", "Sub", "Top", "CH 6", "CH 7", "CH 8"};
    for (int c = 0; c < 8; ++c) QCOMPARE(page_->ChannelButton(c).text(), english[c]);
    const QStringList englishPages = {"Location", "Record", "Comp"};
    const QStringList englishCaptions = {"Threshold", "Ratio", "Attack time", "Release time"};
    for (int i = 0; i < 3; ++i) QCOMPARE(page_->PageButton(i).text(), englishPages[i]);
    for (int i = 0; i < 4; ++i) QCOMPARE(page_->Caption(i).text(), englishCaptions[i]);
    QCOMPARE(page_->ChannelCaption().text(), QString("Select CH"));
    QCOMPARE(page_->CompSwitch().text(), QString("Comp ON"));
    QCOMPARE(page_->ChannelCombo().itemText(0), QString("CH 1"));
    QCOMPARE(page_->ChannelCombo().currentText(), QString("CH 3"));  // the selection stays
    QCOMPARE(page_->Channel(), 2);

    UseLanguage(kChinese);
    page_->ApplyTexts();
    for (int c = 0; c < 8; ++c) QCOMPARE(page_->ChannelButton(c).text(), QString::fromUtf8("通道%1").arg(c + 1));
    QCOMPARE(page_->ChannelCombo().currentText(), QString::fromUtf8("通道3"));

    // Opened in English, buttons 6..8 read as on the other pages too.
    UseLanguage(kEnglish);
    MakePage();
    QCOMPARE(page_->ChannelButton(0).text(), QString("Main"));
    QCOMPARE(page_->ChannelButton(6).text(), QString("CH 7"));

    // Dialog 346's control numbers, each once.
    QMap<int, int> ids;
    for (const QWidget* w : page_->findChildren<QWidget*>())
      if (const int id = ControlId(w)) ++ids[id];
    for (int id : ids.keys()) QCOMPARE(ids[id], 1);
    const int buttonIds[8] = {1069, 1072, 1070, 1071, 1076, 1077, 1078, 1079};
    for (int c = 0; c < 8; ++c) QCOMPARE(ControlId(&page_->ChannelButton(c)), buttonIds[c]);
    for (int i = 0; i < 3; ++i) QCOMPARE(ControlId(&page_->PageButton(i)), 1073 + i);
  }

  void layoutFitsTheSmallestViewNeatly_data() {
    QTest::addColumn<int>("language");
    QTest::newRow("Chinese") << int(kChinese);
    QTest::newRow("English") << int(kEnglish);
  }
  void layoutFitsTheSmallestViewNeatly() {
    QFETCH(int, language);
    UseLanguage(language);
    MakePage();
    page_->resize(1024, 520);
    page_->show();
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
    const QRect area = page_->rect();
    for (QWidget* w : page_->findChildren<QWidget*>()) {
      if (!w->isVisibleTo(page_.get())) continue;
      if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w) && !qobject_cast<QComboBox*>(w) &&
          !qobject_cast<QSlider*>(w) && !qobject_cast<QGroupBox*>(w) && !qobject_cast<CompressorCurvePanel*>(w))
        continue;
      const QRect r(w->mapTo(page_.get(), QPoint(0, 0)), w->size());
      const QString what = QString("%1 '%2'").arg(w->metaObject()->className(), w->property("text").toString());
      QVERIFY2(area.contains(r), qPrintable(what));
      QVERIFY2(w->width() >= w->minimumSizeHint().width() - 1, qPrintable(what));
      QVERIFY2(w->height() >= w->minimumSizeHint().height() - 1, qPrintable(what));
    }
    // The pieces do not overlap one another.
    const QRect graph(page_->Graph().mapTo(page_.get(), QPoint(0, 0)), page_->Graph().size());
    for (int i = 0; i < 4; ++i) {
      const QRect slider(page_->Slider(i).mapTo(page_.get(), QPoint(0, 0)), page_->Slider(i).size());
      QVERIFY(!slider.intersects(graph));
      QVERIFY(page_->Slider(i).height() >= 250);
    }
    const QRect buttons(page_->PageButton(2).mapTo(page_.get(), QPoint(0, 0)), page_->PageButton(2).size());
    QVERIFY(!buttons.intersects(graph));
    QVERIFY(page_->Graph().width() >= 600 && page_->Graph().height() >= 420);
    QCOMPARE(page_->Graph().width(), graphWidth_.value(language == kChinese ? kEnglish : kChinese, page_->Graph().width()));
    graphWidth_[language] = page_->Graph().width();  // the same in both languages
  }

  // Screenshots in both languages, written to DSPTUNE_SHOT_DIR as comp-<language>-*.png
  // when that is set.
  void screenshots() {
    const QString dir = qEnvironmentVariable("DSPTUNE_SHOT_DIR");
    if (dir.isEmpty()) QSKIP("DSPTUNE_SHOT_DIR not set");
    for (int language : {kChinese, kEnglish}) {
      LoadDefaultImage();
      WriteCompressorRecord(CompressorTarget::Channel, 2, {-30.0f, 4.0f, 20.0f, 300.0f});
      SetParameter(6, 0x1C, 0);
      UseLanguage(language);
      const QString tag = language == kEnglish ? "en" : "zh";
      MakePage();
      page_->resize(1024, 520);
      page_->show();
      QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
      QVERIFY(page_->grab().save(QDir(dir).filePath(QString("comp-%1-ch1.png").arg(tag))));
      page_->ChannelCombo().setCurrentIndex(1);
      QVERIFY(page_->grab().save(QDir(dir).filePath(QString("comp-%1-ch2.png").arg(tag))));
      page_->Slider(kCompThreshold).setValue(0);
      page_->Slider(kCompRatio).setValue(20);
      QVERIFY(page_->grab().save(QDir(dir).filePath(QString("comp-%1-zero.png").arg(tag))));
      page_.reset();
    }
  }

 private:
  void MakePage() {
    page_.reset();
    page_ = std::make_unique<CompressorPage>();
  }

  test::RecordingWriter writer_;
  std::unique_ptr<CompressorPage> page_;
  QMap<int, int> graphWidth_;
};

QTEST_MAIN(CompressorPageTest)
#include "CompressorPageTest.moc"
