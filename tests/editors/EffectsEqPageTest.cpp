// The effects EQ page: each effect's EQ number, title, band writes (the band record to
// the model, the coefficients to the link) and bypass parameter; records as they load;
// the band editor's limits; switching effect on the same page; opening it from the mic
// and music page and returning; reset, copy and paste, refresh; the texts in both
// languages and the layout.
#include <QAbstractButton>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTableWidget>
#include <QtTest>

#include <memory>

#include "model/EqBandStore.h"
#include "editors/EffectsEqPage.h"
#include "shell/EditorPages.h"
#include "editors/MicMusicPage.h"
#include "editors/EqGraphPanel.h"
#include "editors/EqThumbnail.h"
#include "link/LinkState.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "ui/DialogService.h"
#include "ui/DialogTexts.h"
#include "shell/EditorHost.h"
#include "ui/InterfaceLanguage.h"
#include "tests/link/RecordingTransport.h"
#include "tests/model/RecordingWriter.h"
#include "tests/editors/PageTestSupport.h"

using namespace dsptune;
using test::Cell;
using test::Enter;

namespace {

BandRecord StoredBand(int eq, int band) {
  const std::vector<std::uint8_t> bytes = ReadLiveBytes(EqBandOffset(eq, band), kBandRecordSize);
  return DecodeBandRecord(bytes.data());
}

// Puts a raw band record into the live block, as a read from the device leaves it.
void PutRecord(int eq, int band, int gainField, int frequency, int qField, int type) {
  const std::uint8_t bytes[kBandRecordSize] = {
      std::uint8_t(gainField >> 8), std::uint8_t(gainField), std::uint8_t(frequency >> 8), std::uint8_t(frequency),
      std::uint8_t(qField >> 8),    std::uint8_t(qField),    std::uint8_t(type)};
  StoreLiveBytes(EqBandOffset(eq, band), bytes);
}

// The text of the page's control with that control number.
QString ControlText(const QWidget& page, int controlId) {
  for (QWidget* w : page.findChildren<QWidget*>()) {
    if (ControlId(w) != controlId) continue;
    if (auto* label = qobject_cast<QLabel*>(w)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(w)) return button->text();
    if (auto* group = qobject_cast<QGroupBox*>(w)) return group->title();
  }
  return QString();
}


}  // namespace

class EffectsEqPageTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { SetDialogService(&dialogs_); }

  void init() {
    SetCurrentLanguage(kEnglish);
    ResetLinkState();
    ResetDataModel();
    LoadDefaultImage();
    SetDeviceWriter(&writer_);
    writer_.sent.clear();
    SetCopySourceEq(-1);
  }

  void cleanup() {
    page_.reset();
    SetDeviceWriter(nullptr);
    CurrentLink().transport = nullptr;
    ResetLinkState();
  }

  void eachEffectEditsItsOwnEq_data() {
    QTest::addColumn<int>("effect");
    QTest::addColumn<int>("eq");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("chinese");
    QTest::addColumn<int>("coefficientBlock");
    QTest::addColumn<int>("firstAddress");
    QTest::addColumn<int>("bypassBlock");
    QTest::addColumn<int>("bypassAddress");
    QTest::newRow("Reverb A") << 0 << 4 << "REVERB A" << "混响A效果" << 3 << 0 << 3 << 7;
    QTest::newRow("Reverb B") << 1 << 5 << "REVERB B" << "混响B效果" << 3 << 12 << 3 << 19;
    QTest::newRow("Echo A") << 2 << 2 << "ECHO A" << "回声A效果" << 2 << 0 << 2 << 7;
    QTest::newRow("Echo B") << 3 << 3 << "ECHO B" << "回声B效果" << 2 << 14 << 2 << 21;
  }
  void eachEffectEditsItsOwnEq() {
    QFETCH(int, effect);
    QFETCH(int, eq);
    QFETCH(QString, english);
    QFETCH(QString, chinese);
    QFETCH(int, coefficientBlock);
    QFETCH(int, firstAddress);
    QFETCH(int, bypassBlock);
    QFETCH(int, bypassAddress);
    PutRecord(eq, 3, 150, 400, 1410, 1);
    MakePage(effect);
    QCOMPARE(page_->EffectIndex(), effect);
    QCOMPARE(page_->EqNumber(), eq);
    QCOMPARE(page_->EqPanel().Model().EqNumber(), eq);
    QCOMPARE(page_->EqPanel().Model().BandCount(), 7);
    QCOMPARE(page_->BandList().rowCount(), 7);
    QCOMPARE(page_->TitleLabel().text(), english);
    QVERIFY(page_->HasEq());
    QVERIFY(writer_.sent.empty());  // opening is not writing

    // One band change: its coefficients to the link, its record to the model, nothing else.
    test::RecordingTransport transport;
    LinkState& link = CurrentLink();
    link.kind = LinkKind::Network;
    link.queuedSendMode = true;
    link.connected = true;
    link.transport = &transport;
    emit page_->EqPanel().BandPressed(3);
    Enter(page_->GainField(), "+6.0dB");
    const std::vector<test::TransportCall> calls = transport.Calls();
    QCOMPARE(calls.size(), std::size_t(1));
    QCOMPARE(calls[0].bytes.size(), std::size_t(26));
    const std::vector<std::uint8_t> head(calls[0].bytes.begin(), calls[0].bytes.begin() + 6);
    QCOMPARE(head, test::Bytes({0x81, 0x09, 0x00, coefficientBlock, firstAddress + 3, 5}));
    QCOMPARE(writer_.sent.size(), std::size_t(1));
    QCOMPARE(writer_.sent[0].kind, test::SentWrite::Live);
    QCOMPARE(int(writer_.sent[0].offset), EqBandOffset(eq, 3));
    QCOMPARE(writer_.sent[0].bytes, test::Bytes({0x00, 0xD2, 0x01, 0x90, 0x05, 0x82, 0x01}));
    QCOMPARE(Cell(page_->BandList(), 3, 2), QString("+6.0dB"));
    link.transport = nullptr;

    // The bypass is the effect's own parameter, written as 1 and back to 0.
    QSignalSpy bypassChanged(page_.get(), &EffectsEqPage::eqBypassChanged);
    writer_.sent.clear();
    page_->ToggleEqBypass();
    QVERIFY(page_->EqBypassed());
    QVERIFY(page_->EqPanel().Model().Bypass());
    page_->SetEqBypass(false);
    QVERIFY(!page_->EqPanel().Model().Bypass());
    QCOMPARE(writer_.sent.size(), std::size_t(2));
    for (std::size_t i = 0; i < 2; ++i) {
      QCOMPARE(writer_.sent[i].kind, test::SentWrite::Dsp);
      QCOMPARE(int(writer_.sent[i].block), bypassBlock);
      QCOMPARE(int(writer_.sent[i].address), bypassAddress);
      QCOMPARE(writer_.sent[i].bytes, test::Bytes({0, 0, 0, i == 0 ? 1 : 0}));
    }
    QCOMPARE(bypassChanged.size(), 2);
    QCOMPARE(bypassChanged.at(0).at(0).toBool(), true);

    // A flag set elsewhere shows on the next load.
    SetParameter(std::uint8_t(bypassBlock), std::uint8_t(bypassAddress), 1);
    page_->ReloadEq();
    QVERIFY(page_->EqPanel().Model().Bypass());

    SetCurrentLanguage(kChinese);
    page_->ApplyTexts();
    QCOMPARE(page_->TitleLabel().text(), chinese);
  }

  void storedRecordsLoadAsTheyRead() {
    PutRecord(kEqReverbB, 0, 150, 0x0C80, 1410, 1);
    PutRecord(kEqReverbB, 1, 0, 100, 1000, 4);
    PutRecord(kEqReverbB, 2, 300, 200, 2500, 5);
    PutRecord(kEqReverbB, 3, 150, 1000, 700, 2);
    PutRecord(kEqReverbB, 4, 150, 800, 1410, 0);
    MakePage(1);
    const QTableWidget& list = page_->BandList();
    const struct {
      int row;
      const char *type, *gain, *frequency, *q;
    } rows[] = {
        {0, "PEQ", "+0.0dB", "3200Hz", "1.41"}, {1, "LS", "-15.0dB", "100Hz", "1.00"},
        {2, "HS", "+15.0dB", "200Hz", "2.00"},  {3, "LP", "+0.0dB", "1000Hz", "0.70"},
        {4, "OFF", "+0.0dB", "800Hz", "1.41"},
    };
    for (const auto& r : rows) {
      QCOMPARE(Cell(list, r.row, 0), QString::number(r.row + 1));
      QCOMPARE(Cell(list, r.row, 1), QString(r.type));
      QCOMPARE(Cell(list, r.row, 2), QString(r.gain));
      QCOMPARE(Cell(list, r.row, 3), QString(r.frequency));
      QCOMPARE(Cell(list, r.row, 4), QString(r.q));
    }
    QCOMPARE(page_->EqPanel().Model().BandAt(0)->frequency, 3200.0f);

    // A low-pass band: no gain of its own, Q up to 2; as "PEQ" gain and Q up to 30 return.
    emit page_->EqPanel().BandPressed(3);
    QVERIFY(page_->BandEditorShown());
    QVERIFY(page_->BandTypeRadio(2).isChecked());
    QVERIFY(!page_->GainSlider().isEnabled() && !page_->GainField().isEnabled());
    QCOMPARE(page_->QSliderControl().minimum(), 10);
    QCOMPARE(page_->QSliderControl().maximum(), 200);
    QCOMPARE(page_->QSliderControl().value(), 70);
    QCOMPARE(page_->FrequencySlider().value(), FrequencySliderPosition(1000.0));
    QCOMPARE(page_->FrequencyField().text(), QString("1000Hz"));
    writer_.sent.clear();
    page_->BandTypeRadio(1).click();
    QVERIFY(page_->GainSlider().isEnabled() && page_->GainField().isEnabled());
    QCOMPARE(page_->QSliderControl().maximum(), 3000);
    QCOMPARE(StoredBand(kEqReverbB, 3).type, 1);
    QCOMPARE(writer_.sent.size(), std::size_t(1));
    QCOMPARE(Cell(list, 3, 1), QString("PEQ"));

    emit page_->EqPanel().BandPressed(1);
    QCOMPARE(page_->GainSlider().value(), -150);
    QCOMPARE(page_->GainField().text(), QString("-15.0dB"));
    QCOMPARE(page_->QSliderControl().value(), 100);
  }

  // What typed text does to a band, in the editor's fields and in the list's cells.
  void typedValuesKeepTheirLimits_data() {
    QTest::addColumn<bool>("inList");
    QTest::addColumn<int>("column");  // 2 gain, 3 frequency, 4 Q
    QTest::addColumn<QString>("text");
    QTest::addColumn<float>("gain");
    QTest::addColumn<float>("frequency");
    QTest::addColumn<float>("q");
    // The band starts at +3.0 dB, 400 Hz, Q 1.41, "PEQ".
    QTest::newRow("field Q 0 keeps Q") << false << 4 << "0" << 3.0f << 400.0f << 1.41f;
    QTest::newRow("field Q 50 is 30") << false << 4 << "50" << 3.0f << 400.0f << 30.0f;
    QTest::newRow("field 5 Hz is 20") << false << 3 << "5" << 3.0f << 20.0f << 1.41f;
    QTest::newRow("field 25000 Hz is 20000") << false << 3 << "25000" << 3.0f << 20000.0f << 1.41f;
    QTest::newRow("field 0 Hz is 20") << false << 3 << "0" << 3.0f << 20.0f << 1.41f;
    QTest::newRow("field text reads 0 dB") << false << 2 << "loud" << 0.0f << 400.0f << 1.41f;
    QTest::newRow("field gain 20 is 15") << false << 2 << "20dB" << 15.0f << 400.0f << 1.41f;
    QTest::newRow("list 0 Hz keeps it") << true << 3 << "0" << 3.0f << 400.0f << 1.41f;
    QTest::newRow("list text keeps it") << true << 3 << "Hz" << 3.0f << 400.0f << 1.41f;
    QTest::newRow("list 5 Hz is 20") << true << 3 << "5Hz" << 3.0f << 20.0f << 1.41f;
    QTest::newRow("list 1000Hz") << true << 3 << "1000Hz" << 3.0f << 1000.0f << 1.41f;
    QTest::newRow("list 3.5dB") << true << 2 << "3.5dB" << 3.5f << 400.0f << 1.41f;
    QTest::newRow("list Q 0 keeps Q") << true << 4 << "0" << 3.0f << 400.0f << 1.41f;
  }
  void typedValuesKeepTheirLimits() {
    QFETCH(bool, inList);
    QFETCH(int, column);
    QFETCH(QString, text);
    QFETCH(float, gain);
    QFETCH(float, frequency);
    QFETCH(float, q);
    PutRecord(kEqEchoA, 2, 180, 400, 1410, 1);
    MakePage(2);
    writer_.sent.clear();
    if (inList) {
      page_->BandList().item(2, column)->setText(text);
    } else {
      emit page_->EqPanel().BandPressed(2);
      QLineEdit* fields[] = {&page_->GainField(), &page_->FrequencyField(), &page_->QField()};
      Enter(*fields[column - 2], text);
    }
    const EqBand& band = *page_->EqPanel().Model().BandAt(2);
    QCOMPARE(band.gain, gain);
    QCOMPARE(band.frequency, frequency);
    QCOMPARE(band.q, q);
    // Every change sends the whole band, once.
    QCOMPARE(writer_.sent.size(), std::size_t(1));
    const BandRecord stored = StoredBand(kEqEchoA, 2);
    QCOMPARE(stored.frequency, int(frequency));
    QCOMPARE(stored.GainDb(), gain);
    QCOMPARE(Cell(page_->BandList(), 2, 3), QString::asprintf("%.0fHz", double(frequency)));
  }

  void switchingEffectKeepsThePage() {
    EditorHost host;
    InstallEditorPages(host);
    host.ShowEditor(kEditorEffectsEq, 0);
    auto* page = qobject_cast<EffectsEqPage*>(host.Editor());
    QVERIFY(page);
    QCOMPARE(page->EqNumber(), 4);
    emit page->EqPanel().BandPressed(2);
    page->EqPanel().Model().SetSelected(2);
    QVERIFY(page->BandEditorShown());
    QSignalSpy destroyed(page, &QObject::destroyed);

    host.ShowEditor(kEditorEffectsEq, 3);
    QCOMPARE(host.Editor(), page);
    QCOMPARE(destroyed.size(), 0);
    QCOMPARE(page->EffectIndex(), 3);
    QCOMPARE(page->EqNumber(), 3);
    QCOMPARE(page->EqPanel().Model().EqNumber(), 3);
    QCOMPARE(page->TitleLabel().text(), QString("ECHO B"));
    QVERIFY(!page->BandEditorShown());
    QCOMPARE(page->EditedBand(), -1);
    QCOMPARE(page->EqPanel().Model().Selected(), -1);

    // An index outside the table changes nothing; a page made with one shows Reverb A.
    page->SetChannel(4);
    page->SetChannel(-1);
    QCOMPARE(page->EffectIndex(), 3);
    QCOMPARE(page->EqNumber(), 3);
    EffectsEqPage stray(9);
    QCOMPARE(stray.EffectIndex(), 0);
    QCOMPARE(stray.EqNumber(), 4);
    QVERIFY(writer_.sent.empty());
  }

  void openedFromTheMicMusicPageAndBack() {
    EditorHost host;
    InstallEditorPages(host);
    host.ShowEditor(kEditorMicMusic, MicMusicPage::kMicB);
    auto* music = qobject_cast<MicMusicPage*>(host.Editor());
    QVERIFY(music);
    emit music->ReverbThumbnail().Clicked();
    QTRY_COMPARE(host.EditorKind(), int(kEditorEffectsEq));
    auto* efx = qobject_cast<EffectsEqPage*>(host.Editor());
    QVERIFY(efx);
    QCOMPARE(efx->EqNumber(), 5);
    QCOMPARE(efx->TitleLabel().text(), QString("REVERB B"));

    QSignalSpy returned(efx, &EffectsEqPage::returnRequested);
    efx->ReturnButton().click();
    QCOMPARE(returned.size(), 1);
    QTRY_COMPARE(host.EditorKind(), int(kEditorMicMusic));
    music = qobject_cast<MicMusicPage*>(host.Editor());
    QVERIFY(music);
    QCOMPARE(music->Channel(), MicMusicPage::kMicB);

    music->SelectorButton(MicMusicPage::kMicA).click();
    emit music->EchoThumbnail().Clicked();
    QTRY_COMPARE(host.EditorKind(), int(kEditorEffectsEq));
    QCOMPARE(qobject_cast<EffectsEqPage*>(host.Editor())->EqNumber(), 2);
    qobject_cast<EffectsEqPage*>(host.Editor())->ReturnButton().click();
    QTRY_COMPARE(host.EditorKind(), int(kEditorMicMusic));
    music = qobject_cast<MicMusicPage*>(host.Editor());
    QCOMPARE(music->Channel(), MicMusicPage::kMicA);

    // With "Music" selected the boxes open nothing.
    music->SelectorButton(MicMusicPage::kMusic).click();
    emit music->ReverbThumbnail().Clicked();
    emit music->EchoThumbnail().Clicked();
    QCoreApplication::processEvents();
    QCOMPARE(host.EditorKind(), int(kEditorMicMusic));
    QCOMPARE(host.Editor(), music);
  }

  void resetWritesTheDefaultBands() {
    PutRecord(kEqEchoB, 1, 210, 123, 3000, 3);
    PutRecord(kEqEchoA, 1, 210, 123, 3000, 3);
    MakePage(3);
    emit page_->EqPanel().BandPressed(1);
    writer_.sent.clear();
    page_->ResetCurrentEq();
    QVERIFY(!page_->BandEditorShown());
    QCOMPARE(writer_.sent.size(), std::size_t(7));
    const int frequencies[7] = {50, 100, 200, 400, 800, 1600, 3200};
    for (int b = 0; b < 7; ++b) {
      QCOMPARE(int(writer_.sent[std::size_t(b)].offset), EqBandOffset(kEqEchoB, b));
      const BandRecord r = StoredBand(kEqEchoB, b);
      QCOMPARE(r.type, 1);
      QCOMPARE(r.gainField, 150);
      QCOMPARE(r.qField, 1410);
      QCOMPARE(r.frequency, frequencies[b]);
      QCOMPARE(Cell(page_->BandList(), b, 3), QString("%1Hz").arg(frequencies[b]));
    }
    QCOMPARE(Cell(page_->BandList(), 1, 1), QString("PEQ"));
    QCOMPARE(StoredBand(kEqEchoA, 1).frequency, 123);  // only the shown EQ
  }

  void copyAndPasteBetweenEffects() {
    PutRecord(kEqReverbA, 2, 150, 200, 1410, 1);
    PutRecord(kEqReverbB, 2, 150, 200, 1410, 1);
    MakePage(0);
    EqGraphPanel& panel = page_->EqPanel();
    panel.SetBandGain(2, 6.0f);
    emit panel.BandChanged(2);
    emit panel.CopyPasteRequested(EqGraphPanel::kCopyEq);
    QCOMPARE(CopySourceEq(), kEqReverbA);
    page_->SetChannel(1);
    QCOMPARE(panel.Model().BandAt(2)->gain, 0.0f);
    emit panel.CopyPasteRequested(EqGraphPanel::kPasteEq);
    QCOMPARE(StoredBand(kEqReverbB, 2).gainField, 210);
    QCOMPARE(panel.Model().BandAt(2)->gain, 6.0f);
    QCOMPARE(Cell(page_->BandList(), 2, 2), QString("+6.0dB"));

    // From a channel EQ only this EQ's seven records are taken; the next EQ keeps its own.
    const BandRecord musicFirst = StoredBand(kEqMusic, 0);
    SetCopySourceEq(kEqCh1);
    emit panel.CopyPasteRequested(EqGraphPanel::kPasteEq);
    QCOMPARE(StoredBand(kEqReverbB, 6).frequency, StoredBand(kEqCh1, 6).frequency);
    QCOMPARE(StoredBand(kEqMusic, 0).frequency, musicFirst.frequency);
    QCOMPARE(StoredBand(kEqMusic, 0).gainField, musicFirst.gainField);

    // Paste with nothing copied only reloads.
    SetCopySourceEq(-1);
    writer_.sent.clear();
    emit panel.CopyPasteRequested(EqGraphPanel::kPasteEq);
    QVERIFY(writer_.sent.empty());
  }

  void refreshRereadsTheModel() {
    MakePage(2);
    emit page_->EqPanel().BandPressed(0);
    QSignalSpy bypassChanged(page_.get(), &EffectsEqPage::eqBypassChanged);
    PutRecord(kEqEchoA, 0, 120, 640, 2000, 5);
    SetParameter(2, 0x07, 1);
    writer_.sent.clear();
    page_->RefreshPage();
    QVERIFY(!page_->BandEditorShown());
    QCOMPARE(Cell(page_->BandList(), 0, 1), QString("HS"));
    QCOMPARE(Cell(page_->BandList(), 0, 2), QString("-3.0dB"));
    QCOMPARE(Cell(page_->BandList(), 0, 3), QString("640Hz"));
    QCOMPARE(Cell(page_->BandList(), 0, 4), QString("2.00"));
    QVERIFY(page_->EqPanel().Model().Bypass());
    QCOMPARE(bypassChanged.size(), 1);
    QCOMPARE(bypassChanged.at(0).at(0).toBool(), true);
    QVERIFY(writer_.sent.empty());
  }

  void textsInBothLanguages() {
    PutRecord(kEqReverbA, 6, 150, 3200, 1410, 0);
    MakePage(0);
    struct Texts {
      int language;
      QString title, back, headers[5], types[5], gain, frequency, q, group, off;
    };
    const Texts cases[] = {
        {kEnglish, "REVERB A", "Return", {" ", "Type", "Gain", "Freq", "Q"}, {"PEQ", "LP", "HP", "LS", "HS"},
         "Gain", "F", "Q", "EQ Type", "OFF"},
        {kChinese, "混响A效果", "返回", {" ", "类型", "增益", "频率", "Q值"}, {"参量", "低通", "高通", "低架", "高架"},
         "增益", "频率", "Q值", "均衡类型", "关闭"},
    };
    for (const Texts& t : cases) {
      SetCurrentLanguage(t.language);
      page_->ApplyTexts();
      QCOMPARE(page_->TitleLabel().text(), t.title);
      QCOMPARE(page_->ReturnButton().text(), t.back);
      for (int c = 0; c < 5; ++c) QCOMPARE(page_->BandList().horizontalHeaderItem(c)->text(), t.headers[c]);
      for (int type = 1; type <= 5; ++type) {
        QCOMPARE(page_->BandTypeRadio(type).text(), t.types[type - 1]);
        QCOMPARE(ControlText(*page_, 1203 + type), t.types[type - 1]);
      }
      QCOMPARE(ControlText(*page_, 1199), t.gain);
      QCOMPARE(ControlText(*page_, 1200), t.frequency);
      QCOMPARE(ControlText(*page_, 1201), t.q);
      QCOMPARE(ControlText(*page_, 1202), t.group);
      QCOMPARE(Cell(page_->BandList(), 6, 1), t.off);
      QCOMPARE(page_->EqPanel().Model().Language(), t.language);
    }
    // Every control with a text key of dialog 421 carries its number, once.
    QMap<int, int> ids;
    for (const QWidget* w : page_->findChildren<QWidget*>())
      if (const int id = ControlId(w)) ++ids[id];
    QCOMPARE(ids.keys(), QList<int>({1199, 1200, 1201, 1202, 1204, 1205, 1206, 1207, 1208}));
    for (int id : ids.keys()) QCOMPARE(ids[id], 1);
  }

  void layoutFitsTheSmallestView_data() {
    QTest::addColumn<int>("language");
    QTest::newRow("Chinese") << int(kChinese);
    QTest::newRow("English") << int(kEnglish);
  }
  void layoutFitsTheSmallestView() {
    QFETCH(int, language);
    SetCurrentLanguage(language);
    for (bool editor : {false, true}) {
      MakePage(1);
      page_->resize(1024, 520);
      page_->show();
      QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
      if (editor) emit page_->EqPanel().BandPressed(6);
      QCOMPARE(page_->BandEditorShown(), editor);
      QCOMPARE(page_->BandList().verticalScrollBar()->maximum(), 0);  // all 7 rows
      const QRect area = page_->rect();
      // Every visible control lies inside the page and gets the room its text needs.
      for (QWidget* w : page_->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(page_.get()) || w->parentWidget() == nullptr) continue;
        if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w) && !qobject_cast<QSlider*>(w) &&
            !qobject_cast<QLineEdit*>(w) && !qobject_cast<QGroupBox*>(w) && !qobject_cast<QTableWidget*>(w))
          continue;
        if (w->parentWidget()->inherits("QTableView") || w->inherits("QHeaderView")) continue;
        const QRect r(w->mapTo(page_.get(), QPoint(0, 0)), w->size());
        const QString what = QString("%1 '%2'").arg(w->metaObject()->className(),
                                                     w->property("text").toString() + w->property("title").toString());
        QVERIFY2(area.contains(r), qPrintable(what));
        QVERIFY2(w->width() >= w->minimumSizeHint().width() - 1, qPrintable(what));
        QVERIFY2(w->height() >= w->minimumSizeHint().height() - 1, qPrintable(what));
      }
      QVERIFY(page_->EqPanel().width() >= 600 && page_->EqPanel().height() >= 300);
      // Gain, frequency and Q stand as three vertical sliders side by side, a field under each.
      if (editor) {
        for (QSlider* s : {&page_->GainSlider(), &page_->FrequencySlider(), &page_->QSliderControl()})
          QVERIFY(s->orientation() == Qt::Vertical && s->height() >= 100);
        QVERIFY(page_->GainSlider().x() < page_->FrequencySlider().x() &&
                page_->FrequencySlider().x() < page_->QSliderControl().x());
        QVERIFY(page_->GainField().y() > page_->GainSlider().y() + page_->GainSlider().height() - 1);
      }
      page_.reset();
    }
  }

  // Screenshots in both languages, written to DSPTUNE_SHOT_DIR as efx-<language>-*.png
  // when that is set.
  void screenshots() {
    const QString dir = qEnvironmentVariable("DSPTUNE_SHOT_DIR");
    if (dir.isEmpty()) QSKIP("DSPTUNE_SHOT_DIR not set");
    WriteEqBand(kEqReverbA, 2, 1, 200, 6.0f, 1.41f);
    WriteEqBand(kEqReverbA, 5, 4, 1600, -4.0f, 0.7f);
    WriteEqBand(kEqEchoB, 0, 3, 80, 0.0f, 0.7f);
    WriteEqBand(kEqEchoB, 4, 1, 900, -7.5f, 3.0f);
    SetParameter(2, 21, 1);  // Echo B EQ bypassed
    for (int language : {kChinese, kEnglish}) {
      SetCurrentLanguage(language);
      const QString lang = language == kEnglish ? "en" : "zh";
      for (int effect = 0; effect < 4; ++effect) {
        MakePage(effect);
        page_->resize(1024, 520);
        page_->show();
        QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
        if (effect == 3) emit page_->EqPanel().BandPressed(4);
        if (effect == 3) page_->EqPanel().Model().SetSelected(4);
        QVERIFY(page_->grab().save(QDir(dir).filePath(QString("efx-%1-%2.png").arg(lang).arg(effect))));
      }
    }
  }

 private:
  void MakePage(int effect) {
    page_.reset();
    page_ = std::make_unique<EffectsEqPage>(effect);
  }

  ScriptedDialogs dialogs_;
  test::RecordingWriter writer_;
  std::unique_ptr<EffectsEqPage> page_;
};

QTEST_MAIN(EffectsEqPageTest)
#include "EffectsEqPageTest.moc"
