// What every editor page owes the user, checked over all pages at once: value labels
// that read the stored value while the slider is held in its range, a tooltip in both
// languages on every control the user can work, and pages that fit a 1024x600 window.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QScrollBar>
#include <QSlider>
#include <QtTest>

#include <functional>
#include <memory>

#include "editors/CompressorPage.h"
#include "editors/EffectsEqPage.h"
#include "editors/EqGraphPanel.h"
#include "editors/EqThumbnail.h"
#include "editors/FeaturesDialog.h"
#include "editors/InputSourceDialog.h"
#include "editors/MicMusicPage.h"
#include "editors/OutputPage.h"
#include "editors/RecordOutputPage.h"
#include "editors/RoomPanel.h"
#include "editors/SurroundPage.h"
#include "editors/model/OutputChannels.h"
#include "editors/model/RecordOutput.h"
#include "link/LinkState.h"
#include "model/Conversions.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "ui/InterfaceLanguage.h"
#include "tests/model/RecordingWriter.h"
#include "tests/editors/PageTestSupport.h"

using namespace dsptune;

namespace {

OutputPageServices QuietServices() {
  OutputPageServices s;
  s.optionRecord = [] { return QByteArray::fromHex("0000000000000000"); };
  s.saveOptionRecord = [](const QByteArray&) { return true; };
  s.showInfoPopup = [](const QString&, int) {};
  return s;
}

struct NamedPage {
  const char* name;
  std::function<QWidget*()> make;
};

// Every page and dialog of the editors, as the main window makes them.
std::vector<NamedPage> AllPages() {
  return {
      {"mic A", [] { return new MicMusicPage(0); }},
      {"music", [] { return new MicMusicPage(2); }},
      {"effects EQ", [] { return new EffectsEqPage(0); }},
      {"output", [] { return new OutputPage(0, QuietServices()); }},
      {"compressor", [] { return new CompressorPage; }},
      {"surround", [] { return new SurroundPage; }},
      {"record", [] { return new RecordOutputPage; }},
      {"features", [] { return new FeaturesDialog; }},
      {"input source", [] { return new InputSourceDialog(1); }},
  };
}

// A control the user works with the mouse or the keyboard. The parts Qt builds inside
// a list or a drop-down (scroll bars, the viewport, the header) belong to it.
bool Interactive(const QWidget* w) {
  if (qobject_cast<const QScrollBar*>(w)) return false;
  return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QAbstractSlider*>(w) ||
         qobject_cast<const QLineEdit*>(w) || qobject_cast<const QComboBox*>(w) ||
         qobject_cast<const QAbstractItemView*>(w) || qobject_cast<const EqGraphPanel*>(w) ||
         qobject_cast<const EqThumbnail*>(w) || qobject_cast<const RoomPanel*>(w);
}

bool InsideAnotherControl(const QWidget* w, const QWidget* page) {
  for (const QWidget* up = w->parentWidget(); up && up != page; up = up->parentWidget())
    if (qobject_cast<const QAbstractItemView*>(up) || qobject_cast<const QComboBox*>(up)) return true;
  return false;
}

QString Describe(const QWidget* w) {
  QString text;
  if (auto* b = qobject_cast<const QAbstractButton*>(w)) text = b->text();
  return QStringLiteral("%1 '%2' (%3)").arg(QString::fromLatin1(w->metaObject()->className()), text, w->objectName());
}

}  // namespace

class PageConventionsTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    SetCurrentLanguage(kEnglish);
    ResetLinkState();
    ResetDataModel();
    LoadDefaultImage();
    SetDeviceWriter(&writer_);
  }
  void cleanup() {
    SetDeviceWriter(nullptr);
    ResetLinkState();
    SetCurrentLanguage(kEnglish);
  }

  // A slider is held inside its range; its label still reads what the model stores.
  void labelsShowTheStoredValueBeyondTheSlider() {
    SetParameter(5, kChannelDelay, UiFromFloat(0.5f));
    WriteCompressorRecord(CompressorTarget::Channel, 1, {-70.0f, 45.0f, 0.0f, 2000.0f});  // CH1
    SetParameter(kRecordBlock, kRecordLevelAddresses[kRecordLevel], 120);
    WriteCompressorRecord(CompressorTarget::Record, 0, {-70.0f, 4.0f, 10.0f, 100.0f});
    SetParameter(14, 0x00, UiFromFloat(60.0f));
    SetParameter(14, 0x01, UiFromFloat(15.0f));
    SetParameter(14, 0x04, UiFromFloat(19000.0f));

    OutputPage output(0, QuietServices());
    CompressorPage compressor;
    RecordOutputPage record;
    FeaturesDialog features;
    using S = LoudnessSlider;
    const struct {
      const char* name;
      QSlider* slider;
      QLabel* label;
      int position;
      const char* text;
    } rows[] = {
        {"output delay 0.5 ms", &output.DelaySlider(), &output.DelayValue(), 14, "0.5ms"},
        {"output threshold -70 dB", &output.LimiterSlider(0), &output.LimiterValue(0), -60, "-70dB"},
        {"output ratio 45", &output.LimiterSlider(1), &output.LimiterValue(1), 300, "45.0:1"},
        {"output release 2000 ms", &output.LimiterSlider(3), &output.LimiterValue(3), 1000, "2000ms"},
        {"limiter page threshold", &compressor.Slider(0), &compressor.ValueField(0), -60, "-70dB"},
        {"record Rec Level 120 %", &record.LevelSlider(kRecordLevel), &record.LevelValue(kRecordLevel), 100, "120%"},
        {"record threshold", &record.CompressorSlider(0), &record.CompressorValue(0), -60, "-70dB"},
        {"features low frequency 60 Hz", &features.Slider(S::kLowFrequency), &features.ValueField(S::kLowFrequency),
         70, "60Hz"},
        {"features low gain 15 dB", &features.Slider(S::kLowGain), &features.ValueField(S::kLowGain), 12, "15dB"},
        {"features high frequency", &features.Slider(S::kHighFrequency), &features.ValueField(S::kHighFrequency),
         18000, "19000Hz"},
    };
    for (const auto& row : rows) {
      QVERIFY2(row.slider->value() == row.position, row.name);
      QVERIFY2(row.label->text() == QString(row.text), qPrintable(QString(row.name) + ": " + row.label->text()));
    }

    SetParameter(5, kChannelDelay, UiFromFloat(200.0f));
    output.RefreshPage();
    QCOMPARE(output.DelaySlider().value(), 1000);
    QCOMPARE(output.DelayValue().text(), QString("200.0ms"));
    // Moving the slider stores and shows its own value.
    output.DelaySlider().setValue(500);
    QCOMPARE(output.DelayValue().text(), QString("50.0ms"));
    QCOMPARE(ChannelDelayMs(0), 50.0f);
  }

  // Every control the user can work has a tooltip, in Chinese and in English.
  void everyControlHasATooltipInBothLanguages() {
    for (const NamedPage& named : AllPages()) {
      for (int language : {kChinese, kEnglish}) {
        test::UseLanguage(language);
        std::unique_ptr<QWidget> page(named.make());
        page->resize(1040, 700);
        int checked = 0;
        const auto walk = [&] {
          for (QWidget* w : page->findChildren<QWidget*>()) {
            if (!Interactive(w) || InsideAnotherControl(w, page.get()) || !w->isVisibleTo(page.get())) continue;
            ++checked;
            const QString tip = w->toolTip();
            QVERIFY2(!tip.trimmed().isEmpty(),
                     qPrintable(QStringLiteral("%1, language %2: %3").arg(named.name).arg(language).arg(Describe(w))));
            // The tooltip follows the language: Chinese text only in the Chinese interface.
            const bool hasChinese = std::any_of(tip.begin(), tip.end(),
                                                [](QChar c) { return c.unicode() >= 0x4E00 && c.unicode() <= 0x9FFF; });
            QVERIFY2(hasChinese == (language == kChinese), qPrintable(QStringLiteral("%1: %2 '%3'").arg(named.name, Describe(w), tip)));
          }
        };
        walk();
        // Where there is a graph, its band editor is walked too, with a band opened.
        if (auto* graph = page->findChild<EqGraphPanel*>()) {
          emit graph->BandPressed(0);
          walk();
        }
        QVERIFY2(checked >= 5, named.name);
      }
    }
  }

  // Pages and dialogs alike are drawn on the light page background, not the style's grey.
  void everyPageHasThePageBackground() {
    for (const NamedPage& named : AllPages()) {
      std::unique_ptr<QWidget> page(named.make());
      page->resize(page->sizeHint().expandedTo(QSize(400, 300)));
      const QImage picture = page->grab().toImage();
      QVERIFY2(page->autoFillBackground(), named.name);
      QVERIFY2(picture.pixelColor(1, picture.height() - 2) == QColor(240, 250, 255),
               qPrintable(QStringLiteral("%1: %2").arg(named.name, picture.pixelColor(1, picture.height() - 2).name())));
    }
  }

  // The page area of a 1024x600 window scrolls; a page's own layout asks for no more
  // than fits beside the area's vertical scroll bar, and nothing overlaps at the size it
  // asks for.
  void pagesFitASmallWindowWithoutOverlaps() {
    for (const NamedPage& named : AllPages()) {
      std::unique_ptr<QWidget> page(named.make());
      const QSize wanted = page->layout() ? page->layout()->totalMinimumSize() : page->minimumSizeHint();
      QVERIFY2(wanted.width() <= 1000, qPrintable(QStringLiteral("%1: %2 wide").arg(named.name).arg(wanted.width())));
      // Nor does the page's own floor: the host gives it 1000 pixels, a wider page is cut.
      QVERIFY2(page->minimumWidth() <= 1000, named.name);
      page->resize(page->minimumSize().expandedTo(wanted));
      page->show();
      QVERIFY(QTest::qWaitForWindowExposed(page.get()));
      std::vector<QWidget*> shown;
      for (QWidget* w : page->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        if (w->isVisible() && !w->isWindow()) shown.push_back(w);
      for (std::size_t i = 0; i < shown.size(); ++i) {
        QVERIFY2(page->rect().contains(shown[i]->geometry()),
                 qPrintable(QStringLiteral("%1: %2 outside").arg(named.name, Describe(shown[i]))));
        for (std::size_t j = i + 1; j < shown.size(); ++j)
          QVERIFY2(!shown[i]->geometry().intersects(shown[j]->geometry()),
                   qPrintable(QStringLiteral("%1: %2 overlaps %3").arg(named.name, Describe(shown[i]), Describe(shown[j]))));
      }
    }
  }

 private:
  test::RecordingWriter writer_;
};

QTEST_MAIN(PageConventionsTest)
#include "PageConventionsTest.moc"
