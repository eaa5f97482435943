// The features dialog: what it shows for the model, the exact write of every slider and
// box, the wheel, the refresh (after other writers changed the model), the texts in both
// languages with dialog 515's table entries, closing, and that no text is cut off.
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPointer>
#include <QSignalSpy>
#include <QSlider>
#include <QWheelEvent>
#include <QtTest>

#include <memory>

#include "editors/FeaturesDialog.h"
#include "link/LinkState.h"
#include "model/BigEndian.h"
#include "model/Conversions.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "ui/DialogTexts.h"
#include "ui/LanguageTables.h"
#include "ui/InterfaceLanguage.h"
#include "tests/model/RecordingWriter.h"
#include "tests/editors/PageTestSupport.h"

using namespace dsptune;
using test::Wheel;
using test::UseLanguage;
using S = LoudnessSlider;
using B = LoudnessBox;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes WordBytes(std::uint32_t word) {
  return {std::uint8_t(word >> 24), std::uint8_t(word >> 16), std::uint8_t(word >> 8), std::uint8_t(word)};
}
Bytes FloatBytes(float value) { return WordBytes(FloatBits(value)); }
Bytes PercentBytes(int ui) { return WordBytes(UiValueToWord(ConversionKind::Percent, ui)); }
Bytes RecordBytes(const CompressorValues& v) {
  Bytes bytes;
  for (std::uint32_t word : CompressorRecordWords(v.threshold, v.ratio, v.attackMs, v.releaseMs))
    for (std::uint8_t b : WordBytes(word)) bytes.push_back(b);
  return bytes;
}

}  // namespace



class FeaturesDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    UseLanguage(kEnglish);
    // The link installs its own writer when it first starts; band writes start it.
    ResetLinkState();
    ResetDataModel();
    LoadDefaultImage();
    SetDeviceWriter(&writer_);
    writer_.sent.clear();
  }

  void cleanup() {
    delete dialog_;
    SetDeviceWriter(nullptr);
  }

  void opensWithTheDefaultValues() {
    Make();
    const int positions[kLoudnessSliderCount] = {200, 3, 1500, 3, 3200, 5, 36, 100, 100, 100,
                                                 0,   100, 0, 0, 0, 0, 40, 60, 600};
    const char* const texts[kLoudnessSliderCount] = {"200Hz", "3dB",   "1500Hz", "3dB", "3200Hz", "5dB", "36%",
                                                     "100%",  "100%",  "100%",   "0dB", "100Hz",  "0ms", "0%",
                                                     "0%",    "0dB",   "4.0:1",  "60ms", "600ms"};
    for (int i = 0; i < kLoudnessSliderCount; ++i) {
      const LoudnessSliderRange range = LoudnessRange(S(i));
      QCOMPARE(dialog_->Slider(S(i)).minimum(), range.min);
      QCOMPARE(dialog_->Slider(S(i)).maximum(), range.max);
      QCOMPARE(dialog_->Slider(S(i)).value(), positions[i]);
      QCOMPARE(dialog_->ValueField(S(i)).text(), QString(texts[i]));
    }
    const bool ticked[kLoudnessBoxCount] = {false, true, false, false, false};
    for (int b = 0; b < kLoudnessBoxCount; ++b) QCOMPARE(dialog_->Box(B(b)).isChecked(), ticked[b]);
    QVERIFY(!dialog_->isModal());
    QVERIFY(writer_.sent.empty());
  }

  void hiddenControlsAreKeptButNotOffered() {
    Make();
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_));
    for (S hidden : {S::kHarmonicLevel, S::kInputRatio}) {
      QVERIFY(!dialog_->Slider(hidden).isVisible());
      QVERIFY(!dialog_->ValueField(hidden).isVisible());
      QVERIFY(!dialog_->Caption(hidden).isVisible());
    }
    QVERIFY(dialog_->Slider(S::kHarmonicMix).isVisible());
    QVERIFY(dialog_->Slider(S::kValidLevel).isVisible());
  }

  // The first write a slider position makes: a 0x09 record (block, address) or, with
  // block 0, a live write at `address` (an offset).
  void everySliderWritesAtOnce_data() {
    QTest::addColumn<int>("slider");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("block");
    QTest::addColumn<int>("address");
    QTest::addColumn<Bytes>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("LowF 450") << int(S::kLowFrequency) << 450 << 14 << 0x00 << FloatBytes(450.0f) << "450Hz";
    QTest::newRow("low gain 12") << int(S::kLowGain) << 12 << 14 << 0x01 << FloatBytes(12.0f) << "12dB";
    QTest::newRow("MidF 800") << int(S::kMidFrequency) << 800 << 14 << 0x02 << FloatBytes(800.0f) << "800Hz";
    QTest::newRow("mid gain 0") << int(S::kMidGain) << 0 << 14 << 0x03 << FloatBytes(0.0f) << "0dB";
    QTest::newRow("HighF 18000") << int(S::kHighFrequency) << 18000 << 14 << 0x04 << FloatBytes(18000.0f) << "18000Hz";
    QTest::newRow("high gain 9") << int(S::kHighGain) << 9 << 14 << 0x05 << FloatBytes(9.0f) << "9dB";
    QTest::newRow("harmonic gain 70") << int(S::kHarmonicGain) << 70 << 14 << 0x06 << PercentBytes(70) << "70%";
    QTest::newRow("harmony 20") << int(S::kHarmony) << 20 << 14 << 0x07 << PercentBytes(20) << "20%";
    QTest::newRow("mix 0") << int(S::kHarmonicMix) << 0 << 14 << 0x08 << Bytes{0, 0, 0, 0} << "0%";
    QTest::newRow("level 50") << int(S::kHarmonicLevel) << 50 << 14 << 0x09 << PercentBytes(50) << "50%";
    QTest::newRow("bass boost 12") << int(S::kMicBassBoost) << 12 << 0 << 1410 << FloatBytes(-12.0f) << "12dB";
    QTest::newRow("LPF 80") << int(S::kLpfFrequency) << 80 << 0 << 476
                            << Bytes{0x00, 0x96, 0x00, 0x50, 0x02, 0xC3, 0x02} << "80Hz";
    QTest::newRow("LPF delay 20") << int(S::kLpfDelay) << 20 << 4 << 0x27 << Bytes{0, 0, 0x03, 0xC0} << "20ms";
    QTest::newRow("LPF gain 300") << int(S::kLpfGain) << 300 << 4 << 0x28 << PercentBytes(300) << "300%";
    QTest::newRow("SUB vol 45") << int(S::kSubVolume) << 45 << 1 << 0x0D << PercentBytes(45) << "45%";
    QTest::newRow("valid level -20") << int(S::kValidLevel) << -20 << 4 << 0x0E
                                     << RecordBytes({-20.0f, 4.0f, 60.0f, 600.0f}) << "-20dB";
    QTest::newRow("ratio 2.5") << int(S::kInputRatio) << 25 << 4 << 0x0E << RecordBytes({0.0f, 2.5f, 60.0f, 600.0f})
                               << "2.5:1";
    QTest::newRow("attack 1") << int(S::kInputAttack) << 1 << 4 << 0x0E << RecordBytes({0.0f, 4.0f, 1.0f, 600.0f})
                              << "1ms";
    QTest::newRow("release 1000") << int(S::kInputRelease) << 1000 << 4 << 0x0E
                                  << RecordBytes({0.0f, 4.0f, 60.0f, 1000.0f}) << "1000ms";
  }
  void everySliderWritesAtOnce() {
    QFETCH(int, slider);
    QFETCH(int, position);
    QFETCH(int, block);
    QFETCH(int, address);
    QFETCH(Bytes, bytes);
    QFETCH(QString, text);
    Make();
    dialog_->Slider(S(slider)).setValue(position);
    QVERIFY(!writer_.sent.empty());
    const test::SentWrite& first = writer_.sent.front();
    if (block == 0) {
      QCOMPARE(first.kind, test::SentWrite::Live);
      QCOMPARE(int(first.offset), address);
    } else {
      QCOMPARE(first.kind, test::SentWrite::Dsp);
      QCOMPARE(int(first.block), block);
      QCOMPARE(int(first.address), address);
    }
    QCOMPARE(first.bytes, bytes);
    QCOMPARE(dialog_->ValueField(S(slider)).text(), text);
    // The one-value writes are exactly one record; the bass boost is a sequence.
    if (S(slider) != S::kMicBassBoost) QCOMPARE(writer_.sent.size(), std::size_t(1));
  }

  void bassBoostWritesTheDecaySequence() {
    Make();
    dialog_->Slider(S::kMicBassBoost).setValue(12);
    QList<int> addresses;
    for (const test::SentWrite& w : writer_.sent)
      if (w.kind == test::SentWrite::Dsp) addresses.push_back(w.address);
    QCOMPARE(addresses, (QList<int>{0x47, 0x45, 0x44, 0x2C, 0x2A, 0x29}));
    QCOMPARE(EditorSnapshot().subwooferDecayLevel, -12.0f);
  }

  void boxesWriteTheirSwitches_data() {
    QTest::addColumn<int>("box");
    QTest::addColumn<int>("block");
    QTest::addColumn<QList<int>>("addresses");
    QTest::addColumn<int>("tickedValue");
    QTest::newRow("EQ ON") << int(B::kExciterEq) << 14 << QList<int>{0x0A} << 1;
    QTest::newRow("Exciter ON") << int(B::kExciter) << 14 << QList<int>{0x0B} << 1;
    QTest::newRow("Mic Max Bass") << int(B::kMicMaxBass) << 1 << QList<int>{0x2B, 0x46} << 0;
    QTest::newRow("auto SUB") << int(B::kAutoSubDecay) << 1 << QList<int>{0x0C} << 1;
    QTest::newRow("auto input") << int(B::kAutoMusicInput) << 4 << QList<int>{0x0F} << 0;
  }
  void boxesWriteTheirSwitches() {
    QFETCH(int, box);
    QFETCH(int, block);
    QFETCH(QList<int>, addresses);
    QFETCH(int, tickedValue);
    Make();
    QCheckBox& check = dialog_->Box(B(box));
    // Two clicks: one each way, whatever the start.
    for (int click = 0; click < 2; ++click) {
      writer_.sent.clear();
      check.click();
      const int value = check.isChecked() ? tickedValue : 1 - tickedValue;
      QCOMPARE(writer_.sent.size(), std::size_t(addresses.size()));
      for (qsizetype i = 0; i < addresses.size(); ++i) {
        QCOMPARE(int(writer_.sent[std::size_t(i)].block), block);
        QCOMPARE(int(writer_.sent[std::size_t(i)].address), addresses[i]);
        QCOMPARE(writer_.sent[std::size_t(i)].bytes, (Bytes{0, 0, 0, std::uint8_t(value)}));
      }
    }
  }

  void uncheckingMicMaxBassWritesOneToBothPaths() {
    SetParameter(1, 0x2B, 0);
    SetParameter(1, 0x46, 0);
    writer_.sent.clear();
    Make();
    QVERIFY(dialog_->Box(B::kMicMaxBass).isChecked());
    dialog_->Box(B::kMicMaxBass).click();
    QCOMPARE(writer_.sent.size(), std::size_t(2));
    QCOMPARE(UiValue(1, 0x2B), 1);
    QCOMPARE(UiValue(1, 0x46), 1);
  }

  // Other writers (a file load, a device read, another page) change the model; the
  // refresh shows it without writing anything.
  void refreshShowsTheModel() {
    Make();
    SetParameter(14, 0x0A, 1);
    SetParameter(14, 0x0B, 0);
    SetParameter(1, 0x2B, 0);
    SetParameter(1, 0x0C, 1);
    SetParameter(4, 0x0F, 0);
    SetParameter(14, 0x02, UiFromFloat(2500.0f));
    SetParameter(14, 0x09, 55);
    SetParameter(4, 0x27, UiFromFloat(7.0f));
    SetParameter(1, 0x0D, 80);
    SetSubwooferDecayLevel(-17.0f);
    WriteCompressorRecord(CompressorTarget::Music, 0, {-33.0f, 2.5f, 12.0f, 250.0f});
    std::uint8_t slot[2] = {0x00, 0xC8};  // 200 Hz
    StoreLiveBytes(476 + 2, slot);
    writer_.sent.clear();

    dialog_->RefreshPage();
    const bool ticked[kLoudnessBoxCount] = {true, false, true, true, true};  // each the other way round
    for (int b = 0; b < kLoudnessBoxCount; ++b) QCOMPARE(dialog_->Box(B(b)).isChecked(), ticked[b]);
    const std::pair<S, const char*> shown[] = {
        {S::kMidFrequency, "2500Hz"}, {S::kHarmonicLevel, "55%"}, {S::kLpfDelay, "7ms"},  {S::kSubVolume, "80%"},
        {S::kMicBassBoost, "17dB"},   {S::kLpfFrequency, "200Hz"}, {S::kValidLevel, "-33dB"},
        {S::kInputRatio, "2.5:1"},    {S::kInputAttack, "12ms"},   {S::kInputRelease, "250ms"},
    };
    for (const auto& [slider, text] : shown) QCOMPARE(dialog_->ValueField(slider).text(), QString(text));
    QCOMPARE(dialog_->Slider(S::kInputRatio).value(), 25);
    QCOMPARE(dialog_->Slider(S::kMicBassBoost).value(), 17);
    QVERIFY(writer_.sent.empty());
  }

  void wheelOverASliderMovesIt() {
    Make();
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_));
    QSlider& gain = dialog_->Slider(S::kSubVolume);
    Wheel(&gain, 1);
    QVERIFY(gain.value() > 0);
    QCOMPARE(dialog_->ValueField(S::kSubVolume).text(), QString("%1%").arg(gain.value()));
    QVERIFY(!writer_.sent.empty());
    QCOMPARE(int(writer_.sent.back().address), 0x0D);
    QCOMPARE(UiValue(1, 0x0D), gain.value());
  }

  void textsInBothLanguages_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("texts");  // title, groups, boxes, a few captions
    QTest::newRow("Chinese") << int(kChinese)
                             << QStringList{"特色功能", "话筒激励", "音乐超级低音", "自动超低",
                                            "音乐输入电平自动控制", "均衡启用", "激励启用", "话筒低频增强",
                                            "启用", "低频", "增益", "谐波次数比", "音乐低频延时", "输入电平限制",
                                            "释放时间"};
    QTest::newRow("English") << int(kEnglish)
                             << QStringList{"Features", "Mic Exciter", "Music Max Bass", "Auto SUB vol decay",
                                            "Auto Music Input Level", "EQ ON", "Exciter ON", "Mic Max Bass", "ON",
                                            "LowF", "Gain", "Harmony", "LPF Delay", "Valid Level", "Release time"};
  }
  void textsInBothLanguages() {
    QFETCH(int, language);
    QFETCH(QStringList, texts);
    UseLanguage(1 - language);
    Make();
    UseLanguage(language);
    QEvent change(QEvent::LanguageChange);  // how the main window announces a switch
    QApplication::sendEvent(dialog_, &change);
    QStringList got{dialog_->windowTitle()};
    for (int g = 0; g < FeaturesDialog::kGroupCount; ++g) got << dialog_->GroupBox(FeaturesDialog::Group(g)).title();
    for (B b : {B::kExciterEq, B::kExciter, B::kMicMaxBass, B::kAutoSubDecay}) got << dialog_->Box(b).text();
    for (S s : {S::kLowFrequency, S::kLowGain, S::kHarmony, S::kLpfDelay, S::kValidLevel, S::kInputRelease})
      got << qobject_cast<QLabel*>(&dialog_->Caption(s))->text();
    QCOMPARE(got, texts);
    QVERIFY(dialog_->AutoSubNote().text().startsWith(
        language == kEnglish ? QString("When detected mic level,the SUB vol is auto decay.")
                             : QString::fromUtf8("当检测到话筒信号时，超低音量自动调节成所设置的超低比例")));
    // The language table's own entries win over the built-in texts.
    QCOMPARE(ControlId(&dialog_->Box(B::kMicMaxBass)), int(FeaturesDialog::kMicMaxBassBoxId));
    QCOMPARE(ControlId(&dialog_->GroupBox(FeaturesDialog::kExciterGroup)), int(FeaturesDialog::kExciterGroupId));
    QCOMPARE(ControlId(&dialog_->AutoSubNote()), int(FeaturesDialog::kAutoSubNoteId));
    QCOMPARE(ControlId(&dialog_->ValueField(S::kLowGain)), 0);  // value fields are never retitled
  }

  void openRefreshesAndShows() {
    Make();
    dialog_->hide();
    SetParameter(1, 0x0D, 33);
    writer_.sent.clear();
    dialog_->Open();
    QVERIFY(dialog_->isVisible());
    QCOMPARE(dialog_->Slider(S::kSubVolume).value(), 33);
    QVERIFY(writer_.sent.empty());
  }

  void closingDestroysTheDialog() {
    Make();
    dialog_->Open();
    QSignalSpy closed(dialog_.data(), &FeaturesDialog::closed);
    dialog_->close();
    QCOMPARE(closed.count(), 1);
    QTRY_VERIFY(dialog_.isNull());
  }

  // Every caption, box, group title and value field is shown whole in both languages.
  void nothingIsCutOff() {
    for (int language : {kChinese, kEnglish}) {
      UseLanguage(language);
      Make();
      dialog_->Open();
      QVERIFY(QTest::qWaitForWindowExposed(dialog_));
      // The widest value each field can show.
      for (int i = 0; i < kLoudnessSliderCount; ++i) {
        const LoudnessSliderRange range = LoudnessRange(S(i));
        dialog_->Slider(S(i)).setValue(range.min);
        dialog_->Slider(S(i)).setValue(range.max);
      }
      QApplication::processEvents();
      const QList<QWidget*> widgets = dialog_->findChildren<QWidget*>();
      for (QWidget* w : widgets) {
        if (!w->isVisible()) continue;
        auto* label = qobject_cast<QLabel*>(w);
        if (label && label->wordWrap()) {
          QVERIFY(label->height() >= label->heightForWidth(label->width()));
          continue;
        }
        if (label || qobject_cast<QCheckBox*>(w))
          QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(label ? label->text() : qobject_cast<QCheckBox*>(w)->text()));
        if (auto* group = qobject_cast<QGroupBox*>(w))
          QVERIFY2(group->width() >= group->fontMetrics().horizontalAdvance(group->title()) + 10,
                   qPrintable(group->title()));
      }
      delete dialog_;
    }
  }

  // Screenshots in both languages, written to DSPTUNE_SHOT_DIR as loudness-<language>.png
  // when that is set.
  void screenshots() {
    const QString dir = qEnvironmentVariable("DSPTUNE_SHOT_DIR");
    if (dir.isEmpty()) QSKIP("DSPTUNE_SHOT_DIR not set");
    for (int language : {kChinese, kEnglish}) {
      UseLanguage(language);
      Make();
      dialog_->Open();
      QVERIFY(QTest::qWaitForWindowExposed(dialog_));
      const QString tag = language == kEnglish ? "en" : "zh";
      QVERIFY(dialog_->grab().save(QDir(dir).filePath(QString("loudness-%1.png").arg(tag))));
      dialog_->Slider(S::kHighFrequency).setValue(18000);
      dialog_->Slider(S::kInputRelease).setValue(1000);
      dialog_->Slider(S::kValidLevel).setValue(-60);
      QVERIFY(dialog_->grab().save(QDir(dir).filePath(QString("loudness-%1-wide.png").arg(tag))));
      delete dialog_;
    }
  }

 private:
  void Make() {
    delete dialog_;
    dialog_ = new FeaturesDialog;
  }

  test::RecordingWriter writer_;
  QPointer<FeaturesDialog> dialog_;
};

QTEST_MAIN(FeaturesDialogTest)
#include "FeaturesDialogTest.moc"
