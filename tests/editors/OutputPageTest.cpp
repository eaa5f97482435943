// The output channel page: the writes of every per-channel control for the current
// channel and for a linked pair, roles and link boxes with their question and the
// option record, the EQ graph, band editor and crossover family, delay and band split,
// channel switching, bypass and reset, the texts in both languages and the layout.
// Writes are checked as the model sends them (a recording writer).
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTableWidget>
#include <QtTest>

#include <bit>
#include <functional>
#include <memory>

#include "model/BandSplit.h"
#include "model/EqBandStore.h"
#include "editors/OutputPage.h"
#include "editors/EqGraphPanel.h"
#include "link/LinkState.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "ui/DialogService.h"
#include "ui/DialogTexts.h"
#include "ui/InterfaceLanguage.h"
#include "tests/model/RecordingWriter.h"
#include "tests/editors/PageTestSupport.h"

using namespace dsptune;
using test::Cell;
using test::Enter;

namespace {

using Address = std::pair<int, int>;  // block, address

BandRecord StoredBand(int eq, int band) {
  const std::vector<std::uint8_t> bytes = ReadLiveBytes(EqBandOffset(eq, band), kBandRecordSize);
  return DecodeBandRecord(bytes.data());
}

QString Describe(const std::vector<Address>& writes) {
  QStringList parts;
  for (const Address& a : writes) parts << QString::asprintf("(%d, 0x%02X)", a.first, a.second);
  return parts.join(' ');
}

// The application side of the page: an option record in memory, what was saved and
// the notices shown.
struct FakeApplication {
  QByteArray record = QByteArray::fromHex("0101010000000000");
  QList<QByteArray> saved;
  QList<QPair<QString, int>> notices;
  bool saveWorks = true;

  OutputPageServices Services() {
    OutputPageServices s;
    s.optionRecord = [this] { return record; };
    s.saveOptionRecord = [this](const QByteArray& r) {
      saved << r;
      if (saveWorks) record = r;
      return saveWorks;
    };
    s.showInfoPopup = [this](const QString& text, int ms) { notices << qMakePair(text, ms); };
    return s;
  }
};

}  // namespace

class OutputPageTest : public QObject {
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
    app_ = FakeApplication();
    dialogs_.shown.clear();
    dialogs_.answer = QMessageBox::Yes;
  }

  void cleanup() {
    page_.reset();
    SetDeviceWriter(nullptr);
    ResetLinkState();
  }

  // CH1..CH8 start as CH-R, CH-L, CH-SBR, CH-SBL, CH-CEN, CH-SUB, CH-SR, CH-SL.
  void controlsWriteTheirChannelOrTheLinkedGroup() {
    using Page = OutputPage;
    struct Case {
      const char* name;
      const char* boxes;  // option record bytes 0..2
      int channel;
      std::function<void(Page&)> prepare;
      std::function<void(Page&)> act;
      std::vector<Address> sent;
      int address;
      int value;  // UI value of every written channel afterwards (or a check below)
    };
    const auto tickDelay = [](Page& p) { p.DelaySwitch().click(); };
    const Case cases[] = {
        {"direct, front linked", "010101", 0, {}, [](Page& p) { p.MixSlider(0).setValue(40); }, {{5, 0x14}, {6, 0x14}}, 0x14, 40},
        {"direct, not linked", "000101", 0, {}, [](Page& p) { p.MixSlider(0).setValue(40); }, {{5, 0x14}}, 0x14, 40},
        {"reverb from CH2", "010000", 1, {}, [](Page& p) { p.MixSlider(1).setValue(0); }, {{5, 0x15}, {6, 0x15}}, 0x15, 0},
        {"echo, back pair", "000001", 3, {}, [](Page& p) { p.MixSlider(2).setValue(77); }, {{7, 0x16}, {8, 0x16}}, 0x16, 77},
        {"music, side pair", "000100", 7, {}, [](Page& p) { p.MixSlider(3).setValue(5); }, {{11, 0x17}, {12, 0x17}}, 0x17, 5},
        {"centre never linked", "010101", 4, {}, [](Page& p) { p.MixSlider(0).setValue(9); }, {{9, 0x14}}, 0x14, 9},
        {"sub never linked", "010101", 0, [](Page& p) { p.RoleCombo(0).setCurrentIndex(kRoleSub); },
         [](Page& p) { p.MixSlider(0).setValue(9); }, {{5, 0x14}}, 0x14, 9},
        {"mute, own only", "010101", 0, {}, [](Page& p) { p.MuteBox(0).click(); }, {{5, 0x1A}}, 0x1A, 0},
        {"mute of another channel", "010101", 0, {}, [](Page& p) { p.MuteBox(6).click(); }, {{11, 0x1A}}, 0x1A, 0},
        {"phase, own only", "010101", 0, {}, [](Page& p) { p.PhaseBox(1).click(); }, {{6, 0x19}}, 0x19, -100},
        {"role, own only", "010101", 0, {}, [](Page& p) { p.RoleCombo(2).setCurrentIndex(kRoleSub); }, {{7, 0x10}}, 0x10, 4},
        {"delay switch", "010101", 0, {}, tickDelay, {{5, 0x13}, {6, 0x13}}, 0x13, 0},
        {"limiter switch", "010101", 1, {}, [](Page& p) { p.LimiterSwitch().click(); }, {{5, 0x1C}, {6, 0x1C}}, 0x1C, 0},
        {"delay", "010101", 0, {}, [](Page& p) { p.DelaySlider().setValue(100); }, {{5, 0x12}, {6, 0x12}}, -1, 0},
        {"threshold", "010101", 0, {}, [](Page& p) { p.LimiterSlider(0).setValue(-20); }, {{5, 0x1B}, {6, 0x1B}}, -1, 0},
        {"release, alone", "000000", 1, {}, [](Page& p) { p.LimiterSlider(3).setValue(250); }, {{6, 0x1B}}, -1, 0},
        {"band split radio", "010101", 0, tickDelay, [](Page& p) { p.HighFrequencyRadio().click(); },
         {{5, 0x11}, {6, 0x11}}, -1, 0},
        {"split frequency", "010101", 0,
         [](Page& p) {
           p.DelaySwitch().click();
           p.HighFrequencyRadio().click();
         },
         [](Page& p) { p.SplitSlider().setValue(3); }, {{5, 0x11}, {6, 0x11}}, -1, 0},
    };
    for (const Case& c : cases) {
      init();
      app_.record = QByteArray::fromHex(QByteArray(c.boxes) + "0000000000");
      MakePage(c.channel);
      if (c.prepare) c.prepare(*page_);
      writer_.sent.clear();
      c.act(*page_);
      QVERIFY2(DspWrites() == c.sent, qPrintable(QString("%1: sent %2").arg(c.name, Describe(DspWrites()))));
      if (c.address >= 0)
        for (const Address& a : c.sent) QVERIFY2(UiValue(std::uint8_t(a.first), std::uint8_t(c.address)) == c.value, c.name);
      page_.reset();
    }
    // What the written channels hold for the rows checked by value.
    init();
    MakePage(0);
    page_->DelaySlider().setValue(14);
    page_->LimiterSlider(1).setValue(45);
    page_->DelaySwitch().click();
    page_->HighFrequencyRadio().click();
    page_->SplitSlider().setValue(25);
    for (int c : {0, 1}) {
      QCOMPARE(ChannelDelayMs(c), 1.4f);
      QCOMPARE(EditorSnapshot().channelLimiters[std::size_t(c)].ratio, 4.5f);
      QCOMPARE(StoredBand(ChannelEq(c), 13).frequency, 3000);
      QCOMPARE(StoredBand(ChannelEq(c), 13).type, 3);
      QCOMPARE(StoredBand(ChannelEq(c), 14).frequency, 3500);
      QCOMPARE(EditorSnapshot().bandSplitFlag[std::size_t(c)], 0);
    }
    QCOMPARE(StoredBand(ChannelEq(2), 13).frequency, 500);
  }

  void valuesShowInTheirFormats() {
    MakePage(0);
    struct Case {
      QSlider* slider;
      QLabel* label;
      int value;
      const char* text;
    };
    const Case cases[] = {
        {&page_->DelaySlider(), &page_->DelayValue(), 14, "1.4ms"},
        {&page_->DelaySlider(), &page_->DelayValue(), 1000, "100.0ms"},
        {&page_->SplitSlider(), &page_->SplitValue(), 0, "500Hz"},
        {&page_->SplitSlider(), &page_->SplitValue(), 25, "3000Hz"},
        {&page_->LimiterSlider(1), &page_->LimiterValue(1), 10, "1.0:1"},
        {&page_->LimiterSlider(1), &page_->LimiterValue(1), 300, "30.0:1"},
        {&page_->LimiterSlider(0), &page_->LimiterValue(0), -60, "-60dB"},
        {&page_->LimiterSlider(2), &page_->LimiterValue(2), 37, "37ms"},
        {&page_->LimiterSlider(3), &page_->LimiterValue(3), 1000, "1000ms"},
        {&page_->MixSlider(2), &page_->MixValue(2), 42, "42%"},
    };
    for (const Case& c : cases) {
      c.slider->setValue(c.slider->value() == c.value ? c.value - 1 : c.value);
      c.slider->setValue(c.value);
      QCOMPARE(c.label->text(), QString(c.text));
    }
    QCOMPARE(page_->DelaySlider().minimum(), 14);
    QCOMPARE(page_->SplitSlider().maximum(), 25);
    QCOMPARE(page_->LimiterSlider(3).maximum(), 1000);

    // Defaults as the page opens on CH1.
    init();
    MakePage(0);
    QCOMPARE(page_->DelayValue().text(), QString("2.0ms"));
    QCOMPARE(page_->DelaySlider().value(), 20);
    QCOMPARE(page_->SplitValue().text(), QString("500Hz"));
    QCOMPARE(page_->MixValue(0).text(), QString("100%"));
    QCOMPARE(page_->LimiterValue(0).text(), QString("0dB"));
    QCOMPARE(page_->LimiterValue(1).text(), QString("30.0:1"));
    QCOMPARE(page_->LimiterValue(2).text(), QString("1ms"));
    QCOMPARE(page_->LimiterValue(3).text(), QString("100ms"));
    QVERIFY(!page_->DelaySwitch().isChecked());    // 0x13 = 1 is off
    QVERIFY(!page_->LimiterSwitch().isChecked());  // 0x1C = 1 is off
    QVERIFY(page_->ChannelDelayRadio().isChecked());
    QCOMPARE(page_->RoleCombo(0).currentIndex(), 1);
    QCOMPARE(page_->RoleCombo(5).currentIndex(), 4);
    QVERIFY(!page_->MuteBox(3).isChecked());
  }

  void delayControlsFollowTheSwitchAndTheSplit() {
    MakePage(2);
    auto enabled = [this] {
      return QList<bool>{page_->HighFrequencyRadio().isEnabled(), page_->ChannelDelayRadio().isEnabled(),
                         page_->SplitSlider().isEnabled(),        page_->SplitValue().isEnabled(),
                         page_->DelayValue().isEnabled(),         page_->DelaySlider().isEnabled()};
    };
    QCOMPARE(enabled(), (QList<bool>{false, false, false, false, false, true}));
    page_->DelaySwitch().click();
    QCOMPARE(enabled(), (QList<bool>{true, true, false, false, true, true}));
    page_->HighFrequencyRadio().click();
    QCOMPARE(enabled(), (QList<bool>{true, true, true, true, true, true}));
    page_->ChannelDelayRadio().click();
    QCOMPARE(EditorSnapshot().bandSplitFlag[2], 1);
    QCOMPARE(StoredBand(ChannelEq(2), 13).type, 1);
    QCOMPARE(enabled(), (QList<bool>{true, true, false, false, true, true}));
    page_->HighFrequencyRadio().click();
    page_->DelaySwitch().click();  // off again: the split stays as chosen, its controls rest
    QCOMPARE(enabled(), (QList<bool>{false, false, false, false, false, true}));
    QCOMPARE(UiValue(7, 0x13), 1);

    // The page shows what the model holds for another channel.
    WriteBandSplit(5, 0, 7);
    SetParameter(10, 0x13, 0);
    SetParameter(10, 0x12, std::int32_t(std::bit_cast<std::uint32_t>(12.5f)));
    page_->SetChannel(5);
    QVERIFY(page_->DelaySwitch().isChecked());
    QVERIFY(page_->HighFrequencyRadio().isChecked());
    QCOMPARE(page_->SplitSlider().value(), 7);
    QCOMPARE(page_->SplitValue().text(), QString("1200Hz"));
    QCOMPARE(page_->DelayValue().text(), QString("12.5ms"));
    QCOMPARE(enabled(), (QList<bool>{true, true, true, true, true, true}));
  }

  void linkBoxesAskAndStoreTheOptionRecord() {
    app_.record = QByteArray::fromHex("0000000000000009");
    MakePage(2);
    QVERIFY(!page_->LinkBox(2).isChecked());

    // Agreeing channels: nothing asked, the record saved with the box ticked.
    page_->LinkBox(2).click();
    QVERIFY(dialogs_.shown.isEmpty());
    QCOMPARE(app_.saved.last(), QByteArray::fromHex("0000010000000009"));
    QCOMPARE(page_->LinkBoxStates(), (LinkBoxes{false, false, true}));
    QCOMPARE(page_->LinkedGroup(), (ChannelSet{false, false, true, true, false, false, false, false}));
    page_->LinkBox(2).click();  // untick
    QCOMPARE(app_.saved.last(), QByteArray::fromHex("0000000000000009"));
    QCOMPARE(page_->LinkedGroup(), (ChannelSet{false, false, true, false, false, false, false, false}));

    // The front pair differs: "No" leaves it unlinked and unchanged.
    WriteEqBand(ChannelEq(1), 4, 1, 700, -6.0f, 2.0f);
    SetParameter(6, 0x15, 33);
    dialogs_.answer = QMessageBox::No;
    page_->LinkBox(0).click();
    QCOMPARE(dialogs_.shown.size(), 1);
    QCOMPARE(dialogs_.shown.last().text, QString("Set same?"));
    QVERIFY(!page_->LinkBox(0).isChecked());
    QCOMPARE(app_.saved.last(), QByteArray::fromHex("0000000000000009"));
    QCOMPARE(UiValue(6, 0x15), 33);

    // "Yes" copies CH1 (the first channel of the pair) onto CH2.
    dialogs_.answer = QMessageBox::Yes;
    writer_.sent.clear();
    page_->LinkBox(0).click();
    QCOMPARE(dialogs_.shown.size(), 2);
    QVERIFY(page_->LinkBox(0).isChecked());
    QCOMPARE(app_.saved.last(), QByteArray::fromHex("0100000000000009"));
    QCOMPARE(UiValue(6, 0x15), 100);
    QCOMPARE(StoredBand(ChannelEq(1), 4).frequency, 500);
    QCOMPARE(StoredBand(ChannelEq(1), 4).gainField, 150);
    QCOMPARE(DspWrites().front(), (Address{6, 0x15}));
    for (const test::SentWrite& w : writer_.sent) {
      if (w.kind == test::SentWrite::Dsp) QCOMPARE(w.block, std::uint8_t(6));
    }
    QVERIFY(!ChannelsDiffer({0, 1}));

    // Chinese question; a failed save is reported on the debug output.
    SetCurrentLanguage(kChinese);
    SetParameter(8, 0x14, 1);
    app_.saveWorks = false;
    QTest::ignoreMessage(QtDebugMsg, "保存失败");
    page_->LinkBox(2).click();
    QCOMPARE(dialogs_.shown.last().text, QString::fromUtf8("参数不一致，同步参数吗？"));
    QCOMPARE(UiValue(8, 0x14), 100);
  }

  void graphBandsGoToEveryChannelOfTheGroup() {
    MakePage(1);  // CH2 (CH-L) with the front pair linked
    EqGraphPanel& panel = page_->EqPanel();
    QCOMPARE(page_->EqNumber(), 8);
    QCOMPARE(panel.Model().EqNumber(), 8);
    QCOMPARE(panel.Model().BandCount(), 13);
    QCOMPARE(page_->BandList().rowCount(), 13);
    emit panel.BandPressed(2);
    panel.SetBandGain(2, -7.3f);
    panel.SetBandFrequency(2, 140.6f);
    writer_.sent.clear();
    emit panel.BandChanged(2);
    QCOMPARE(LiveWrites(), (std::vector<int>{EqBandOffset(7, 2), EqBandOffset(8, 2)}));
    for (int eq : {7, 8}) {
      QCOMPARE(StoredBand(eq, 2).frequency, 140);
      QCOMPARE(StoredBand(eq, 2).gainField, 77);
    }
    QCOMPARE(Cell(page_->BandList(), 2, 3), QString("140Hz"));
    QCOMPARE(page_->GainField().text(), QString("-7.3dB"));

    // Band editor and list cells write the group too.
    Enter(page_->FrequencyField(), "12");
    QCOMPARE(StoredBand(7, 2).frequency, 20);
    QCOMPARE(StoredBand(8, 2).frequency, 20);
    page_->BandList().item(5, 2)->setText("+4.5");
    QCOMPARE(StoredBand(7, 5).gainField, 195);
    QCOMPARE(StoredBand(8, 5).gainField, 195);

    // Unlinked: only the current channel.
    app_.record = QByteArray::fromHex("0000000000000000");
    page_->RefreshPage();
    writer_.sent.clear();
    panel.SetBandGain(0, 2.0f);
    emit panel.BandChanged(0);
    QCOMPARE(LiveWrites(), (std::vector<int>{EqBandOffset(8, 0)}));

    // The crossover sections are shown under their head and are not edited in the list.
    QVERIFY(page_->BandList().item(9, 1)->flags() & Qt::ItemIsEditable);
    QVERIFY(!(page_->BandList().item(11, 2)->flags() & Qt::ItemIsEditable));
  }

  void crossoverFamilyDropDown() {
    MakePage(0);
    EqGraphPanel& panel = page_->EqPanel();
    emit panel.BandPressed(9);
    QVERIFY(page_->BandEditorShown());
    QVERIFY(page_->FamilyCombo().isHidden());  // a "PEQ" head
    QCOMPARE(page_->FamilyCombo().count(), 11);
    QCOMPARE(page_->FamilyCombo().itemText(0), QString("LinkwitzRiely 12dB"));
    QCOMPARE(page_->FamilyCombo().itemText(10), QString("Chebyshev 12dB"));

    writer_.sent.clear();
    page_->BandTypeRadio(2).click();  // "LP": Butterworth 24dB, 18 20 1 1, on CH1 and CH2
    QVERIFY(!page_->FamilyCombo().isHidden());
    QVERIFY(!page_->FamilyLabel().isHidden());
    QCOMPARE(page_->FamilyCombo().currentIndex(), 9);
    QCOMPARE(LiveWrites().size(), std::size_t(8));
    QCOMPARE(StoredBand(8, 9).type, 18);
    QCOMPARE(StoredBand(8, 10).type, 20);
    QCOMPARE(Cell(page_->BandList(), 9, 1), QString("LP"));

    writer_.sent.clear();
    page_->FamilyCombo().setCurrentIndex(3);
    emit page_->FamilyCombo().activated(3);  // "LinkwitzRiely 48dB", low-pass side
    const int expected[4] = {18, 20, 18, 20};
    for (int eq : {7, 8})
      for (int b = 0; b < 4; ++b) QCOMPARE(int(StoredBand(eq, 9 + b).type), expected[b]);
    QCOMPARE(LiveWrites(), (std::vector<int>{EqBandOffset(7, 9), EqBandOffset(7, 10), EqBandOffset(7, 11),
                                             EqBandOffset(7, 12), EqBandOffset(8, 9), EqBandOffset(8, 10),
                                             EqBandOffset(8, 11), EqBandOffset(8, 12)}));
    QCOMPARE(page_->FamilyCombo().currentIndex(), 3);

    page_->BandTypeRadio(3).click();  // "HP" then family 0: 11 11 1 1
    emit page_->FamilyCombo().activated(0);
    QCOMPARE(int(StoredBand(7, 9).type), 11);
    QCOMPARE(int(StoredBand(7, 10).type), 11);
    QCOMPARE(Cell(page_->BandList(), 9, 1), QString("HP"));
    page_->BandTypeRadio(4).click();  // "LS" has no family
    QVERIFY(page_->FamilyCombo().isHidden());

    emit panel.BandPressed(3);  // an ordinary band never offers one
    QVERIFY(page_->FamilyCombo().isHidden());
  }

  void channelSwitchReloadsThePage() {
    WriteEqBand(ChannelEq(2), 1, 4, 90, 4.5f, 0.7f);
    StoreEqBand(ChannelEq(2), 9, 0.0f, 250, 0.7f, 19);  // a high-pass cascade, as stored
    StoreEqBand(ChannelEq(2), 10, 0.0f, 250, 0.7f, 21);
    SetParameter(7, 0x17, 61);
    SetParameter(7, 0x0F, 1);
    MakePage(0);
    QSignalSpy selected(page_.get(), &OutputPage::channelSelected);
    QSignalSpy bypass(page_.get(), &OutputPage::eqBypassChanged);
    emit page_->EqPanel().BandPressed(1);
    QVERIFY(page_->BandEditorShown());
    QCOMPARE(page_->GainField().text(), QString("+0.0dB"));

    page_->ChannelButton(2).click();
    QCOMPARE(page_->GainField().text(), QString("+4.5dB"));
    QVERIFY(page_->BandTypeRadio(4).isChecked());
    QCOMPARE(selected.size(), 1);
    QCOMPARE(selected.at(0).at(0).toInt(), 2);
    QCOMPARE(page_->Channel(), 2);
    QVERIFY(page_->ChannelButton(2).isChecked());
    QVERIFY(!page_->ChannelButton(0).isChecked());
    // The band editor stays on band 2, now of CH3's EQ.
    QVERIFY(page_->BandEditorShown());
    QCOMPARE(page_->EditedBand(), 1);
    QCOMPARE(page_->EqPanel().Model().EqNumber(), 9);
    const EqPanelModel& model = page_->EqPanel().Model();
    QCOMPARE(model.BandAt(1)->type, 4);
    QCOMPARE(model.BandAt(1)->gain, 4.5f);
    QCOMPARE(model.BandAt(9)->type, 19);  // plain types: the sections keep theirs
    QCOMPARE(model.BandAt(10)->type, 21);
    QCOMPARE(model.BandAt(11)->type, 1);
    QCOMPARE(Cell(page_->BandList(), 9, 1), QString("HP"));
    QCOMPARE(Cell(page_->BandList(), 1, 2), QString("+4.5dB"));
    QCOMPARE(page_->MixValue(3).text(), QString("61%"));
    QVERIFY(page_->EqBypassed());
    QVERIFY(model.Bypass());
    QCOMPARE(bypass.last().at(0).toBool(), true);

    // The host switches channels without a click: no report back.
    page_->SetChannel(5);
    QCOMPARE(selected.size(), 1);
    QCOMPARE(Cell(page_->BandList(), 9, 1), QString("LP"));  // CH6's default sub low-pass
    QVERIFY(!page_->EqBypassed());
    page_->SetChannel(11);
    QCOMPARE(page_->Channel(), 0);
  }

  void bypassAndResetOfTheChannelEqs() {
    MakePage(0);
    QVERIFY(page_->HasEq());
    page_->SetEqBypass(true);
    QCOMPARE(UiValue(5, 0x0F), 1);
    QCOMPARE(UiValue(6, 0x0F), 0);
    QVERIFY(page_->EqPanel().Model().Bypass());
    page_->SetEqBypass(false);
    QVERIFY(!page_->EqBypassed());

    // CH1 with CH2 (front pair linked): both reset, two seconds of notice.
    WriteEqBand(7, 3, 1, 300, 6.0f, 2.0f);
    WriteEqBand(8, 3, 1, 300, 6.0f, 2.0f);
    page_->ReloadEqPanel();
    page_->ResetCurrentEq();
    QCOMPARE(app_.notices.size(), 1);
    QCOMPARE(app_.notices.last(), qMakePair(QString("Reset EQ..."), 2000));
    QCOMPARE(StoredBand(7, 3).gainField, 150);
    QCOMPARE(StoredBand(8, 3).gainField, 150);
    QCOMPARE(page_->EqPanel().Model().BandAt(3)->gain, 0.0f);

    // CH6 is the sub: its low-pass comes back, in Chinese, one second.
    SetCurrentLanguage(kChinese);
    page_->SetChannel(5);
    WriteEqBand(12, 9, 1, 5000, 3.0f, 1.0f);
    WriteEqBand(12, 10, 1, 5000, 0.0f, 1.0f);
    page_->ResetCurrentEq();
    QCOMPARE(app_.notices.last(), qMakePair(QString::fromUtf8("正在复位均衡..."), 1000));
    QCOMPARE(int(StoredBand(12, 9).type), 18);
    QCOMPARE(int(StoredBand(12, 10).type), 20);
    QCOMPARE(StoredBand(12, 9).frequency, 100);
    QCOMPARE(StoredBand(12, 10).frequency, 100);
    QCOMPARE(page_->EqPanel().Model().BandAt(10)->type, 20);
  }

  void copyPasteAndPageButtons() {
    MakePage(0);
    EqGraphPanel& panel = page_->EqPanel();
    panel.SetBandGain(0, 6.0f);
    emit panel.BandChanged(0);
    emit panel.CopyPasteRequested(EqGraphPanel::kCopyEq);
    QCOMPARE(CopySourceEq(), 7);
    page_->SetChannel(4);
    emit panel.CopyPasteRequested(EqGraphPanel::kPasteEq);
    QCOMPARE(StoredBand(11, 0).gainField, 210);
    QCOMPARE(panel.Model().BandAt(0)->gain, 6.0f);

    QSignalSpy pages(page_.get(), &OutputPage::pageRequested);
    for (int i = 0; i < OutputPage::kPageButtons; ++i) page_->PageButton(i).click();
    QCOMPARE(pages.size(), 3);
    QCOMPARE(pages.at(0).at(0).toInt(), int(kEditorSurround));
    QCOMPARE(pages.at(1).at(0).toInt(), int(kEditorRecord));
    QCOMPARE(pages.at(2).at(0).toInt(), int(kEditorCompressor));
  }

  void textsSwitchWithTheLanguage() {
    MakePage(0);
    QCOMPARE(page_->ChannelButton(0).text(), QString("CH 1"));
    QCOMPARE(page_->ChannelButton(7).text(), QString("CH 8"));
    QCOMPARE(page_->RoleCombo(0).itemText(4), QString("CH-SUB"));
    QCOMPARE(page_->RoleCombo(3).itemText(7), QString("CH-SBR"));
    QCOMPARE(page_->MuteBox(2).text(), QString("Mute"));
    QCOMPARE(page_->PhaseBox(2).text(), QString::fromUtf8("Phase 180°"));
    QCOMPARE(page_->LinkBox(1).text(), QString("SL+SR Linked"));
    QCOMPARE(page_->DelaySwitch().text(), QString("Delay Switch"));
    QCOMPARE(page_->HighFrequencyRadio().text(), QString("H.Freq Delay"));
    QCOMPARE(page_->ChannelDelayRadio().text(), QString("Channel delay"));
    QCOMPARE(page_->LimiterSwitch().text(), QString("Compressor Switch"));
    QCOMPARE(page_->PageButton(2).text(), QString("Comp"));
    QCOMPARE(page_->BandList().horizontalHeaderItem(2)->text(), QString("Gain"));
    QCOMPARE(page_->FamilyLabel().text(), QString("Type"));

    SetCurrentLanguage(kChinese);
    page_->ApplyTexts();
    QCOMPARE(page_->ChannelButton(0).text(), QString::fromUtf8("通道1"));
    QCOMPARE(page_->ChannelButton(3).text(), QString::fromUtf8("通道4"));
    QCOMPARE(page_->RoleCombo(0).itemText(2), QString::fromUtf8("侧环绕左"));
    QCOMPARE(page_->RoleCombo(0).currentText(), QString::fromUtf8("前置右"));  // CH1 keeps its role
    QCOMPARE(page_->MuteBox(0).text(), QString::fromUtf8("静音"));
    QCOMPARE(page_->PhaseBox(0).text(), QString::fromUtf8("相位180°"));
    QCOMPARE(page_->LinkBox(0).text(), QString::fromUtf8("前置左右齐调"));
    QCOMPARE(page_->LinkBox(2).text(), QString::fromUtf8("后环绕左右齐调"));
    QCOMPARE(page_->DelaySwitch().text(), QString::fromUtf8("延时开关"));
    QCOMPARE(page_->HighFrequencyRadio().text(), QString::fromUtf8("高频延时"));
    QCOMPARE(page_->ChannelDelayRadio().text(), QString::fromUtf8("通道延时"));
    QCOMPARE(page_->LimiterSwitch().text(), QString::fromUtf8("压限启用"));
    QCOMPARE(page_->BandTypeRadio(5).text(), QString::fromUtf8("高架"));
    QCOMPARE(page_->EqPanel().Model().Language(), 0);
    const QStringList limiter = {"阀(阈)", "衰减比例", "启动时间", "释放时间"};
    const QStringList mix = {"直达声音量", "混响音量", "回声音量", "音乐音量"};
    for (const QString& text : limiter + mix) {
      bool found = false;
      for (const QLabel* label : page_->findChildren<QLabel*>()) found = found || label->text() == text;
      QVERIFY2(found, qPrintable(text));
    }

    // The channel buttons carry dialog 385's numbers, each number once.
    QMap<int, int> ids;
    for (const QWidget* w : page_->findChildren<QWidget*>()) {
      if (const int id = ControlId(w)) ++ids[id];
    }
    for (int id : ids.keys()) QCOMPARE(ids[id], 1);
    const int buttonIds[8] = {1069, 1072, 1070, 1071, 1076, 1077, 1078, 1079};
    for (int c = 0; c < 8; ++c) QCOMPARE(ControlId(&page_->ChannelButton(c)), buttonIds[c]);
    QCOMPARE(ControlId(&page_->PageButton(0)), 1073);
  }

  void layoutFitsTheSmallestViewNeatly_data() {
    QTest::addColumn<int>("language");
    QTest::newRow("Chinese") << int(kChinese);
    QTest::newRow("English") << int(kEnglish);
  }
  void layoutFitsTheSmallestViewNeatly() {
    QFETCH(int, language);
    SetCurrentLanguage(language);
    for (bool editor : {false, true}) {
      MakePage(0);
      page_->resize(1024, 520);
      page_->show();
      QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
      if (editor) {
        emit page_->EqPanel().BandPressed(9);
        page_->BandTypeRadio(2).click();  // the family drop-down shows too
      }
      const QRect area = page_->rect();
      QCOMPARE(page_->BandList().verticalScrollBar()->maximum(), 0);  // all 13 rows
      // Every visible control lies inside the page and gets the room its text needs.
      for (QWidget* w : page_->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(page_.get()) || w->parentWidget() == nullptr) continue;
        if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLabel*>(w) && !qobject_cast<QComboBox*>(w) &&
            !qobject_cast<QSlider*>(w) && !qobject_cast<QLineEdit*>(w) && !qobject_cast<QGroupBox*>(w))
          continue;
        if (w->parentWidget()->inherits("QTableView") || w->inherits("QHeaderView")) continue;
        const QRect r(w->mapTo(page_.get(), QPoint(0, 0)), w->size());
        const QString what = QString("%1 '%2'").arg(w->metaObject()->className(),
                                                     w->property("text").toString() + w->property("title").toString());
        QVERIFY2(area.contains(r), qPrintable(what));
        QVERIFY2(w->width() >= w->minimumSizeHint().width() - 1, qPrintable(what));
        QVERIFY2(w->height() >= w->minimumSizeHint().height() - 1, qPrintable(what));
      }
      QVERIFY(page_->EqPanel().width() >= 560 && page_->EqPanel().height() >= 200);
      QVERIFY(page_->MixSlider(0).width() >= 100);
      QVERIFY(page_->LimiterSlider(3).width() >= 100);
      page_.reset();
    }
  }

  // Screenshots in both languages, written to DSPTUNE_SHOT_DIR as output-<language>-*.png
  // when that is set.
  void screenshots() {
    const QString dir = qEnvironmentVariable("DSPTUNE_SHOT_DIR");
    if (dir.isEmpty()) QSKIP("DSPTUNE_SHOT_DIR not set");
    WriteEqBand(7, 2, 1, 125, 6.0f, 1.41f);
    WriteEqBand(7, 6, 5, 2000, -4.0f, 0.7f);
    SetParameter(5, 0x13, 0);
    SetParameter(6, 0x1A, 0);
    SetParameter(7, 0x19, -100);
    for (int language : {kChinese, kEnglish}) {
      SetCurrentLanguage(language);
      const QString tag = language == kEnglish ? "en" : "zh";
      MakePage(0);
      page_->resize(1024, 520);
      page_->show();
      QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
      QVERIFY(page_->grab().save(QDir(dir).filePath(QString("output-%1-list.png").arg(tag))));
      page_->HighFrequencyRadio().click();
      emit page_->EqPanel().BandPressed(9);
      page_->BandTypeRadio(2).click();
      QVERIFY(page_->grab().save(QDir(dir).filePath(QString("output-%1-editor.png").arg(tag))));
      page_->SetChannel(5);
      page_->SetEqBypass(true);
      QVERIFY(page_->grab().save(QDir(dir).filePath(QString("output-%1-sub.png").arg(tag))));
      page_.reset();
    }
  }

 private:
  void MakePage(int channel) {
    page_.reset();
    page_ = std::make_unique<OutputPage>(channel, app_.Services());
  }
  std::vector<Address> DspWrites() const {
    std::vector<Address> out;
    for (const test::SentWrite& w : writer_.sent)
      if (w.kind == test::SentWrite::Dsp) out.emplace_back(w.block, w.address);
    return out;
  }
  std::vector<int> LiveWrites() const {
    std::vector<int> out;
    for (const test::SentWrite& w : writer_.sent)
      if (w.kind == test::SentWrite::Live) out.push_back(w.offset);
    return out;
  }

  ScriptedDialogs dialogs_;
  test::RecordingWriter writer_;
  FakeApplication app_;
  std::unique_ptr<OutputPage> page_;
};

QTEST_MAIN(OutputPageTest)
#include "OutputPageTest.moc"
