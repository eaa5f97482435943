// The mic and music page: the selector, the band list and band editor with their
// number fields, the effect parameter list, echo type, routing, input sliders, meters,
// bypass, reset and copy/paste, the texts in both languages and the layout. Writes are
// checked as the model sends them (a recording writer) and, for a band change, on the
// wire as the device emulator receives them over loopback.
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSlider>
#include <QTableWidget>
#include <QTimer>
#include <QWheelEvent>
#include <QtTest>

#include <memory>

#include "model/EqBandStore.h"
#include "editors/MicMusicPage.h"
#include "editors/EqGraphPanel.h"
#include "editors/EqThumbnail.h"
#include "shell/EditorPages.h"
#include "editors/EffectParameterList.h"
#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "model/EqLayout.h"
#include "model/ParameterImage.h"
#include "ui/DialogService.h"
#include "ui/DialogTexts.h"
#include "shell/EditorHost.h"
#include "ui/InterfaceLanguage.h"
#include "tests/link/RecordingTransport.h"
#include "tests/model/RecordingWriter.h"
#include "tests/sim/LoopbackEmulator.h"
#include "tests/editors/PageTestSupport.h"

using namespace dsptune;
using test::Wheel;
using test::Cell;
using test::Enter;

namespace {

BandRecord StoredBand(int eq, int band) {
  const std::vector<std::uint8_t> bytes = ReadLiveBytes(EqBandOffset(eq, band), kBandRecordSize);
  return DecodeBandRecord(bytes.data());
}

// Types into a line edit and presses Enter.
QString HexLine(std::initializer_list<int> bytes) {
  QStringList parts;
  for (int b : bytes) parts << QString::asprintf("%02X", b);
  return parts.join(' ');
}

}  // namespace

// The emulator on a free loopback port with the network link open to it; the link is
// the model's writer while it lasts.
struct Emulator {
  ~Emulator() { CloseNetworkLink(false); }
  bool Connect() {
    if (!device.started) return false;
    SetDeviceWriter(nullptr);
    ResetLinkState();
    SetNetworkPeer("127.0.0.1", device.net.Port());
    return OpenNetworkLink(&sink) == 1;
  }
  test::LoopbackEmulator device;
  DeviceSimulator& sim = device.sim;
  test::RecordingSink sink;
};

class MicMusicPageTest : public QObject {
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
    CloseNetworkLink(false);
    ResetLinkState();
  }

  void musicSelectionShowsTenBandsAndDisablesTheEffects() {
    MakePage(MicMusicPage::kMusic);
    QSignalSpy effectsEq(page_.get(), &MicMusicPage::effectsEqRequested);
    QCOMPARE(page_->EqNumber(), 6);
    QVERIFY(page_->SelectorButton(2).isChecked());
    QCOMPARE(page_->BandList().rowCount(), 10);
    QCOMPARE(page_->EqPanel().Model().BandCount(), 10);
    QVERIFY(!page_->Effects().isEnabled());
    QVERIFY(!page_->Effects().Slider().isEnabled());
    QVERIFY(!page_->Effects().ValueField().isEnabled());
    QVERIFY(!page_->Effects().NameLabel().isEnabled());
    QVERIFY(!page_->EchoTypeRadio(0).isEnabled());
    for (EqThumbnail* thumb : {&page_->ReverbThumbnail(), &page_->EchoThumbnail()}) {
      QVERIFY(!thumb->isEnabled());
      QVERIFY(thumb->Disabled());
      QVERIFY(!thumb->Bypass());
      QCOMPARE(thumb->CurveColor(), QColor(100, 100, 100));
      emit thumb->Clicked();  // as if it reached the page: still nothing opens
    }
    QCOMPARE(effectsEq.count(), 0);
    QCOMPARE(page_->BandList().item(0, 2)->foreground().color(), QColor(255, 200, 0));
  }

  void selectorButtonsSwitchPathsAndThumbnailsNameTheirEffect() {
    MakePage(MicMusicPage::kMusic);
    QSignalSpy selected(page_.get(), &MicMusicPage::channelSelected);
    QSignalSpy effectsEq(page_.get(), &MicMusicPage::effectsEqRequested);
    struct Case {
      int channel, eq, reverbIndex, echoIndex;
      QColor color;
    };
    for (const Case& c : {Case{0, 0, 0, 2, QColor(0, 200, 255)}, Case{1, 1, 1, 3, QColor(0, 220, 0)}}) {
      page_->SelectorButton(c.channel).click();
      QCOMPARE(selected.takeLast().at(0).toInt(), c.channel);
      QCOMPARE(page_->Channel(), c.channel);
      QCOMPARE(page_->EqNumber(), c.eq);
      QCOMPARE(page_->BandList().rowCount(), 15);
      QVERIFY(page_->Effects().isEnabled());
      QVERIFY(page_->ReverbThumbnail().isEnabled() && !page_->ReverbThumbnail().Disabled());
      QCOMPARE(page_->ReverbThumbnail().CurveColor(), c.color);
      QCOMPARE(page_->Effects().List().item(0, 1)->foreground().color(), c.color);
      emit page_->ReverbThumbnail().Clicked();
      emit page_->EchoThumbnail().Clicked();
      QCOMPARE(effectsEq.count(), 2);
      QCOMPARE(effectsEq.at(0).at(0).toInt(), c.reverbIndex);
      QCOMPARE(effectsEq.at(1).at(0).toInt(), c.echoIndex);
      effectsEq.clear();
    }
    QVERIFY(writer_.sent.empty());  // looking is not writing
  }

  void thumbnailsShowTheHalfsEffectEqsAndTheirBypass() {
    WriteEqBand(kEqReverbB, 3, 1, 1000, 6.0f, 1.41f);
    SetParameter(3, 0x13, 1);  // Reverb B EQ bypassed
    MakePage(MicMusicPage::kMicB);
    QCOMPARE(page_->ReverbThumbnail().BandAt(3).gain, 6.0f);
    QCOMPARE(page_->ReverbThumbnail().BandAt(0).type, 3);  // the default high-pass of Reverb B
    QCOMPARE(page_->EchoThumbnail().BandAt(6).frequency, 5000.0f);
    QVERIFY(page_->ReverbThumbnail().Bypass());
    QVERIFY(!page_->EchoThumbnail().Bypass());
    page_->SetChannel(MicMusicPage::kMicA);
    QVERIFY(!page_->ReverbThumbnail().Bypass());
    QCOMPARE(page_->ReverbThumbnail().BandAt(3).gain, 0.0f);
  }

  void bandListShowsTheStoredBands() {
    WriteEqBand(kEqMicA, 2, 2, 1000, 0.0f, 0.707f);
    WriteEqBand(kEqMicA, 4, 0, 160, 0.0f, 1.414f);
    WriteEqBand(kEqMicA, 5, 1, 250, -4.5f, 2.5f);
    MakePage(MicMusicPage::kMicA);
    const QTableWidget& list = page_->BandList();
    QCOMPARE(Cell(list, 0, 0), QString("1"));
    QCOMPARE(Cell(list, 0, 1), QString("PEQ"));
    QCOMPARE(Cell(list, 0, 2), QString("+0.0dB"));
    QCOMPARE(Cell(list, 0, 3), QString("25Hz"));
    QCOMPARE(Cell(list, 0, 4), QString("1.41"));
    QCOMPARE(Cell(list, 2, 1), QString("LP"));
    QCOMPARE(Cell(list, 2, 4), QString("0.71"));
    QCOMPARE(Cell(list, 4, 1), QString("OFF"));
    QCOMPARE(Cell(list, 5, 2), QString("-4.5dB"));
    QCOMPARE(Cell(list, 5, 4), QString("2.50"));
    QCOMPARE(page_->EqPanel().Model().BandAt(5)->q, 2.5f);
    SetCurrentLanguage(kChinese);
    page_->ApplyTexts();
    QCOMPARE(Cell(list, 2, 1), QString::fromUtf8("低通"));
    QCOMPARE(Cell(list, 4, 1), QString::fromUtf8("关闭"));
  }

  void bandListCellsTakeTheirLeadingNumbers() {
    MakePage(MicMusicPage::kMicA);
    QTableWidget& list = page_->BandList();
    writer_.sent.clear();
    list.item(3, 3)->setText("12");  // below the band limit
    QCOMPARE(page_->EqPanel().Model().BandAt(3)->frequency, 20.0f);
    QCOMPARE(Cell(list, 3, 3), QString("20Hz"));
    QCOMPARE(StoredBand(kEqMicA, 3).frequency, 20);
    QCOMPARE(LiveWrites(), 1);  // the band record; the coefficients go to the link directly
    const float q = page_->EqPanel().Model().BandAt(3)->q;
    list.item(3, 4)->setText("0");
    QCOMPARE(page_->EqPanel().Model().BandAt(3)->q, q);
    QCOMPARE(Cell(list, 3, 4), QString("1.41"));
    list.item(3, 2)->setText(" +4.5 dB");
    QCOMPARE(page_->EqPanel().Model().BandAt(3)->gain, 4.5f);
    QCOMPARE(StoredBand(kEqMicA, 3).gainField, 195);
    list.item(3, 3)->setText("Hz");  // no number: the frequency stays
    QCOMPARE(page_->EqPanel().Model().BandAt(3)->frequency, 20.0f);
    list.item(3, 2)->setText("40");  // clamped by the graph's gain limits
    QCOMPARE(Cell(list, 3, 2), QString("+15.0dB"));
  }

  void bandListTypeDropDownWritesTheBand() {
    MakePage(MicMusicPage::kMicA);
    QTableWidget& list = page_->BandList();
    const QModelIndex cell = list.model()->index(6, 1);
    list.setCurrentIndex(cell);
    list.edit(cell);
    auto* combo = list.findChild<QComboBox*>();
    QVERIFY(combo);
    QCOMPARE(combo->count(), 5);
    QCOMPARE(combo->itemText(4), QString("HS"));
    // Leaving the drop-down without a choice (focus out commits, then closes) changes nothing.
    QAbstractItemDelegate* delegate = list.itemDelegateForColumn(1);
    combo->setCurrentIndex(0);
    emit delegate->commitData(combo);
    emit delegate->closeEditor(combo);
    QTRY_VERIFY(!list.findChild<QComboBox*>());
    QCOMPARE(page_->EqPanel().Model().BandAt(6)->type, 1);
    QCOMPARE(LiveWrites(), 0);
    list.setCurrentIndex(cell);
    list.edit(cell);
    combo = list.findChild<QComboBox*>();
    QVERIFY(combo);
    combo->setCurrentIndex(2);
    emit combo->activated(2);
    QCOMPARE(page_->EqPanel().Model().BandAt(6)->type, 3);
    QCOMPARE(StoredBand(kEqMicA, 6).type, 3);
    QCOMPARE(StoredBand(kEqMicA, 6).qField, 700);
    QCOMPARE(Cell(list, 6, 1), QString("HP"));
  }

  void bandEditorAppliesItsFields() {
    MakePage(MicMusicPage::kMicB);
    EqGraphPanel& panel = page_->EqPanel();
    emit panel.BandPressed(3);
    QVERIFY(page_->BandEditorShown());
    QCOMPARE(page_->EditedBand(), 3);
    QCOMPARE(page_->FrequencyField().text(), QString("100Hz"));
    QCOMPARE(page_->QSliderControl().maximum(), 3000);
    Enter(page_->FrequencyField(), "12");
    QCOMPARE(panel.Model().BandAt(3)->frequency, 20.0f);
    QCOMPARE(page_->FrequencyField().text(), QString("20Hz"));
    QCOMPARE(StoredBand(kEqMicB, 3).frequency, 20);
    QCOMPARE(Cell(page_->BandList(), 3, 3), QString("20Hz"));

    const float q = panel.Model().BandAt(3)->q;
    Enter(page_->QField(), "0");
    QCOMPARE(panel.Model().BandAt(3)->q, q);
    QCOMPARE(page_->QField().text(), QString::asprintf("%.2f", double(q)));

    page_->GainSlider().setValue(35);  // 0.1 dB steps
    QCOMPARE(page_->GainField().text(), QString("+3.5dB"));
    QCOMPARE(panel.Model().BandAt(3)->gain, 3.5f);
    QCOMPARE(StoredBand(kEqMicB, 3).gainField, 185);

    page_->FrequencySlider().setValue(FrequencySliderPosition(1234.0));
    QCOMPARE(StoredBand(kEqMicB, 3).frequency, FrequencyAtSliderPosition(FrequencySliderPosition(1234.0)));
    page_->QSliderControl().setValue(250);
    QCOMPARE(panel.Model().BandAt(3)->q, 2.5f);

    page_->BandTypeRadio(2).click();  // "LP"
    QCOMPARE(panel.Model().BandAt(3)->type, 2);
    QCOMPARE(panel.Model().BandAt(3)->gain, 0.0f);
    QCOMPARE(panel.Model().BandAt(3)->q, 0.7f);
    QVERIFY(!page_->GainSlider().isEnabled());
    QVERIFY(!page_->GainField().isEnabled());
    QCOMPARE(page_->QSliderControl().maximum(), 200);
    QCOMPARE(page_->QField().text(), QString("0.70"));
    QCOMPARE(StoredBand(kEqMicB, 3).type, 2);
    QCOMPARE(StoredBand(kEqMicB, 3).gainField, 150);

    page_->BandTypeRadio(5).click();  // "HS": gain is the user's again
    QVERIFY(page_->GainSlider().isEnabled());

    emit panel.EmptyClicked();
    QVERIFY(!page_->BandEditorShown());
    QCOMPARE(page_->EditedBand(), -1);
  }

  void graphChangesAreWrittenAndShown() {
    MakePage(MicMusicPage::kMicA);
    EqGraphPanel& panel = page_->EqPanel();
    emit panel.BandPressed(1);
    panel.SetBandGain(1, -7.3f);
    panel.SetBandFrequency(1, 55.8f);
    writer_.sent.clear();
    emit panel.BandChanged(1);
    QCOMPARE(LiveWrites(), 1);
    QCOMPARE(writer_.sent.back().offset, EqBandOffset(kEqMicA, 1));
    QCOMPARE(StoredBand(kEqMicA, 1).frequency, 55);  // truncated to whole hertz
    QCOMPARE(Cell(page_->BandList(), 1, 2), QString("-7.3dB"));
    QCOMPARE(page_->GainField().text(), QString("-7.3dB"));
  }

  void effectListWritesTheSelectedRow() {
    MakePage(MicMusicPage::kMicA);
    EffectParameterList& effects = page_->Effects();
    QTableWidget& list = effects.List();
    QCOMPARE(list.rowCount(), 9);
    QCOMPARE(Cell(list, 2, 2), QString("2818ms"));
    QCOMPARE(Cell(list, 8, 2), QString("5Hz"));

    effects.SelectRow(2);  // Reverb Time
    QCOMPARE(effects.NameLabel().text(), QString("Reverb Time"));
    QCOMPARE(effects.Slider().maximum(), 100);
    writer_.sent.clear();
    effects.Slider().setValue(0);
    QCOMPARE(effects.ValueField().text(), QString("40ms"));
    QCOMPARE(Cell(list, 2, 2), QString("40ms"));
    QCOMPARE(writer_.sent.size(), std::size_t(2));
    QCOMPARE(writer_.sent[0].address, 0x0A);
    QCOMPARE(writer_.sent[1].address, 0x0B);
    effects.Slider().setValue(100);
    QCOMPARE(effects.ValueField().text(), QString("5000ms"));

    // Keys and wheel over the list move the selected row one step at a time.
    list.setFocus();
    list.setCurrentCell(8, 1);
    QCOMPARE(effects.SelectedRow(), 8);
    QCOMPARE(effects.Slider().minimum(), 1);
    QCOMPARE(effects.Slider().maximum(), 8);
    QTest::keyClick(&list, Qt::Key_Up);
    QTest::keyClick(&list, Qt::Key_Right);
    QCOMPARE(ShiftFrequencyA(), 7);
    QCOMPARE(effects.ValueField().text(), QString("7Hz"));
    QCOMPARE(effects.SelectedRow(), 8);  // the arrows change the value, not the row
    Wheel(list.viewport(), -6);
    QCOMPARE(ShiftFrequencyA(), 1);
    QCOMPARE(effects.ValueField().text(), QString("Off"));
    QCOMPARE(Cell(list, 8, 2), QString("Off"));
    QTest::keyClick(&list, Qt::Key_Down);  // already at the bottom
    QTest::keyClick(&list, Qt::Key_Left);
    QCOMPARE(ShiftFrequencyA(), 1);
    QCOMPARE(UiValue(1, 0x28), 1);

    // Path B writes its own half.
    page_->SetChannel(MicMusicPage::kMicB);
    QCOMPARE(effects.SelectedRow(), 8);
    QCOMPARE(Cell(list, 8, 2), QString("5Hz"));
    effects.SelectRow(5);  // Echo Time
    writer_.sent.clear();
    effects.Slider().setValue(200);
    QCOMPARE(writer_.sent.size(), std::size_t(1));
    QCOMPARE(writer_.sent[0].block, 2);
    QCOMPARE(writer_.sent[0].address, 0x19);
    QCOMPARE(writer_.sent[0].bytes, test::Bytes({0, 0, 0x25, 0x80}));
  }

  void echoTypeRoutingAndInputSliders() {
    SetParameter(2, 0x16, 1);
    MakePage(MicMusicPage::kMicB);
    QVERIFY(page_->EchoTypeRadio(1).isChecked());
    page_->SetChannel(MicMusicPage::kMicA);
    QVERIFY(page_->EchoTypeRadio(0).isChecked());
    writer_.sent.clear();
    page_->EchoTypeRadio(1).click();
    QCOMPARE(writer_.sent.size(), std::size_t(1));
    QCOMPARE(writer_.sent[0].address, 0x08);
    QCOMPARE(writer_.sent[0].bytes, test::Bytes({0, 0, 0, 1}));

    // Default routing: every input on path A.
    QVERIFY(page_->RouteRadio(1, 0).isChecked());
    writer_.sent.clear();
    page_->RouteRadio(1, 1).click();
    QCOMPARE(writer_.sent.size(), std::size_t(2));
    QCOMPARE(writer_.sent[0].address, 0x23);
    QCOMPARE(writer_.sent[0].bytes, test::Bytes({0, 0, 0, 0}));
    QCOMPARE(writer_.sent[1].address, 0x3E);
    QCOMPARE(UiValue(1, 0x3E), 100);
    page_->RouteRadio(1, 0).click();
    QCOMPARE(UiValue(1, 0x23), 100);
    QCOMPARE(UiValue(1, 0x3E), 0);

    page_->NoiseGateSlider(0).setValue(55);
    QCOMPARE(UiValue(1, 0x08), 55);
    QCOMPARE(page_->NoiseGateValue(0).text(), QString("55"));
    page_->VolumeSlider(1).setValue(42);
    QCOMPARE(UiValue(1, 0x05), 42);
    QCOMPARE(page_->VolumeValue(1).text(), QString("42"));
    QCOMPARE(page_->NoiseGateValue(1).text(), QString("20"));  // default threshold

    QVERIFY(!page_->InputGroup(0).isHidden() && !page_->InputGroup(1).isHidden());
    QVERIFY(page_->InputGroup(2).isHidden() && page_->InputGroup(3).isHidden());

    // A refresh shows what the model holds now.
    SetParameter(1, 0x22, 0);
    SetParameter(1, 0x3D, 100);
    page_->RefreshPage();
    QVERIFY(page_->RouteRadio(0, 1).isChecked());
  }

  void metersAndStreamFormatFollowTheStatusBlock() {
    MakePage(MicMusicPage::kMicA);
    bool polling = false;
    for (const QTimer* timer : page_->findChildren<QTimer*>(Qt::FindDirectChildrenOnly))
      polling = polling || (timer->isActive() && timer->interval() == 300);
    QVERIFY(polling);
    QCOMPARE(page_->FormatLabel().text(), QString("STEREO"));  // an empty block is format 0
    SetStatus({10, 20, 30, 40, 50, 200, 0, 0x58});
    page_->PollStatus();
    for (int i = 0; i < 5; ++i) QCOMPARE(page_->Meter(i).value(), 10 * (i + 1));
    QCOMPARE(page_->Meter(5).value(), 100);  // readings above full scale stay at full scale
    QCOMPARE(page_->FormatLabel().text(), QString("LPCM MultiCh"));
    SetStatus({0, 0, 0, 0, 0, 0, 0, 0x5C});  // 12 has no name: the label keeps its text
    page_->PollStatus();
    QCOMPARE(page_->FormatLabel().text(), QString("LPCM MultiCh"));
    QCOMPARE(page_->Meter(0).value(), 0);
    SetStatus({0, 0, 0, 0, 0, 0, 0, 0x02});
    QTRY_COMPARE_WITH_TIMEOUT(page_->FormatLabel().text(), QString("DTS"), 2000);  // by the timer
  }

  void bypassFollowsTheSelectorsParameter() {
    MakePage(MicMusicPage::kMicA);
    QSignalSpy changed(page_.get(), &MicMusicPage::eqBypassChanged);
    QVERIFY(page_->HasEq());
    QVERIFY(!page_->EqBypassed());
    page_->ToggleEqBypass();
    QCOMPARE(UiValue(1, 0x21), 1);
    QVERIFY(page_->EqBypassed());
    QVERIFY(page_->EqPanel().Model().Bypass());
    QCOMPARE(changed.takeLast().at(0).toBool(), true);
    page_->SetChannel(MicMusicPage::kMusic);
    QVERIFY(!page_->EqPanel().Model().Bypass());
    page_->SetEqBypass(true);
    QCOMPARE(UiValue(4, 0x0B), 1);
    page_->ToggleEqBypass();
    QCOMPARE(UiValue(4, 0x0B), 0);
    page_->SetChannel(MicMusicPage::kMicA);
    QVERIFY(page_->EqPanel().Model().Bypass());  // Mic A is still bypassed
    page_->SetChannel(MicMusicPage::kMicB);
    QVERIFY(!page_->EqBypassed());
  }

  void resetAndCopyPasteReloadTheGraph() {
    MakePage(MicMusicPage::kMicA);
    EqGraphPanel& panel = page_->EqPanel();
    panel.SetBandGain(0, 6.0f);
    emit panel.BandChanged(0);
    emit panel.CopyPasteRequested(EqGraphPanel::kCopyEq);
    QCOMPARE(CopySourceEq(), kEqMicA);
    page_->SelectorButton(1).click();
    QCOMPARE(panel.Model().BandAt(0)->gain, 0.0f);
    emit panel.CopyPasteRequested(EqGraphPanel::kPasteEq);
    QCOMPARE(StoredBand(kEqMicB, 0).gainField, 210);
    QCOMPARE(panel.Model().BandAt(0)->gain, 6.0f);
    QCOMPARE(Cell(page_->BandList(), 0, 2), QString("+6.0dB"));

    page_->ResetCurrentEq();
    QCOMPARE(StoredBand(kEqMicB, 0).gainField, 150);
    QCOMPARE(panel.Model().BandAt(0)->gain, 0.0f);
    QCOMPARE(StoredBand(kEqMicA, 0).gainField, 210);  // only the shown EQ is reset

    // Paste with nothing copied only reloads.
    SetCopySourceEq(-1);
    writer_.sent.clear();
    emit panel.CopyPasteRequested(EqGraphPanel::kPasteEq);
    QVERIFY(writer_.sent.empty());
  }

  void textsSwitchWithTheLanguage() {
    MakePage(MicMusicPage::kMicA);
    QCOMPARE(page_->SelectorButton(0).text(), QString("Mic CH A"));
    QCOMPARE(page_->SelectorButton(2).text(), QString("Music"));
    QCOMPARE(page_->Effects().List().horizontalHeaderItem(1)->text(), QString("Parameter name"));
    QCOMPARE(Cell(page_->Effects().List(), 0, 1), QString("Reverb Level"));
    QCOMPARE(page_->BandList().horizontalHeaderItem(3)->text(), QString("Freq"));
    QCOMPARE(page_->RouteRadio(0, 1).text(), QString("CH B"));
    QCOMPARE(page_->InputGroup(1).title(), QString("Mic 2"));
    QCOMPARE(page_->BandTypeRadio(4).text(), QString("LS"));
    SetCurrentLanguage(kChinese);
    page_->ApplyTexts();
    QCOMPARE(page_->SelectorButton(0).text(), QString::fromUtf8("话筒通道A"));
    QCOMPARE(page_->SelectorButton(2).text(), QString::fromUtf8("音乐"));
    QCOMPARE(page_->Effects().List().horizontalHeaderItem(2)->text(), QString::fromUtf8("参数值"));
    QCOMPARE(Cell(page_->Effects().List(), 7, 1), QString::fromUtf8("回声衰减比例"));
    QCOMPARE(page_->RouteRadio(0, 0).text(), QString::fromUtf8("通道A"));
    QCOMPARE(page_->InputGroup(0).title(), QString::fromUtf8("话筒口1"));
    QCOMPARE(page_->BandTypeRadio(1).text(), QString::fromUtf8("参量"));
    QCOMPARE(page_->EqPanel().Model().Language(), 0);

    // Every control with a text key of dialog 313 carries its number, once.
    QMap<int, int> ids;
    for (const QWidget* w : page_->findChildren<QWidget*>()) {
      if (const int id = ControlId(w)) ++ids[id];
    }
    for (int id : ids.keys()) QCOMPARE(ids[id], 1);
    for (int id : {1068, 1069, 1070, 1132, 1142, 1145, 1146, 1153, 1155, 1165, 1167, 1182, 1197, 1199, 1202, 1204, 1208})
      QVERIFY2(ids.contains(id), qPrintable(QString::number(id)));
    QCOMPARE(ControlId(&page_->SelectorButton(1)), 1069);
    QCOMPARE(ControlId(&page_->RouteRadio(2, 1)), 1163);
  }

  void factoryMakesThePageForKind313() {
    EditorHost host;
    InstallEditorPages(host);
    host.ShowEditor(kEditorMicMusic, 1);
    auto* page = qobject_cast<MicMusicPage*>(host.Editor());
    QVERIFY(page);
    QCOMPARE(page->Channel(), 1);
    QCOMPARE(page->EqNumber(), 1);
    host.ShowEditor(kEditorMicMusic, 2);
    QCOMPARE(host.Editor(), page);
    QCOMPARE(page->EqNumber(), 6);
    page->SelectorButton(0).click();  // the host remembers the user's choice
    QCOMPARE(host.MicMusicChannel(), 0);
    page->SelectorButton(1).click();
    QCOMPARE(host.MicMusicChannel(), 1);
    host.ShowEditor(kEditorOutput, 0);
    QVERIFY(!qobject_cast<MicMusicPage*>(host.Editor()));
  }

  void layoutFitsTheSmallestViewNeatly_data() {
    QTest::addColumn<int>("language");
    QTest::newRow("Chinese") << int(kChinese);
    QTest::newRow("English") << int(kEnglish);
  }
  void layoutFitsTheSmallestViewNeatly() {
    QFETCH(int, language);
    SetCurrentLanguage(language);
    for (int channel : {0, 2}) {
      MakePage(channel);
      page_->resize(1024, 520);
      page_->show();
      QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
      const QRect area = page_->rect();
      // The lists show every row without scrolling.
      QCOMPARE(page_->BandList().verticalScrollBar()->maximum(), 0);
      const QTableWidget& effects = page_->Effects().List();
      QVERIFY(effects.viewport()->height() >= effects.rowViewportPosition(8) + effects.rowHeight(8));
      QCOMPARE(effects.verticalScrollBar()->maximum(), 0);
      const QList<QWidget*> blocks = {&page_->EqPanel(),        &page_->BandList(),           &page_->Effects(),
                                      &page_->ReverbThumbnail(), &page_->EchoThumbnail(),      &page_->InputGroup(0),
                                      &page_->InputGroup(1),     page_->FormatLabel().parentWidget()};
      for (QWidget* w : blocks) {
        const QRect r(w->mapTo(page_.get(), QPoint(0, 0)), w->size());
        QVERIFY2(area.contains(r), qPrintable(w->metaObject()->className()));
        QVERIFY2(w->width() >= w->minimumSizeHint().width() - 1, qPrintable(w->metaObject()->className()));
      }
      QVERIFY(page_->EqPanel().width() >= 600 && page_->EqPanel().height() >= 240);
      QVERIFY(page_->ReverbThumbnail().height() >= 45);
      page_.reset();
    }
  }

  // Screenshots of every selection in both languages, written to DSPTUNE_SHOT_DIR as
  // music-<language>-<channel>.png when that is set.
  void screenshots() {
    const QString dir = qEnvironmentVariable("DSPTUNE_SHOT_DIR");
    if (dir.isEmpty()) QSKIP("DSPTUNE_SHOT_DIR not set");
    WriteEqBand(kEqMicA, 3, 1, 100, 6.0f, 1.41f);
    WriteEqBand(kEqMicA, 10, 5, 2500, -4.0f, 0.7f);
    WriteEqBand(kEqMusic, 0, 3, 40, 0.0f, 0.7f);
    WriteEqBand(kEqReverbA, 3, 1, 500, 8.0f, 1.41f);
    SetStatus({60, 35, 0, 0, 80, 75, 0, 0x01});
    for (int language : {kChinese, kEnglish}) {
      SetCurrentLanguage(language);
      for (int channel = 0; channel < 3; ++channel) {
        MakePage(channel);
        page_->resize(1024, 520);
        page_->show();
        QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
        if (channel == 1) emit page_->EqPanel().BandPressed(2);
        const QString name = QString("music-%1-%2.png").arg(language == kEnglish ? "en" : "zh").arg(channel);
        QVERIFY(page_->grab().save(QDir(dir).filePath(name)));
      }
      // Mic CH B with a band selected on the graph and its equaliser bypassed.
      MakePage(MicMusicPage::kMicB);
      page_->resize(1024, 520);
      page_->show();
      QVERIFY(QTest::qWaitForWindowExposed(page_.get()));
      if (!page_->EqBypassed()) page_->ToggleEqBypass();
      page_->ReloadEqPanel();
      EqGraphPanel& panel = page_->EqPanel();
      const EqBand& band = *panel.Model().BandAt(3);
      const QPoint marker(int(panel.Model().Plot().left + band.x), int(panel.Model().Plot().top + band.y));
      QTest::mouseClick(&panel, Qt::LeftButton, Qt::NoModifier, marker);
      {
        const QString name = QString("music-%1-bypass.png").arg(language == kEnglish ? "en" : "zh");
        QVERIFY(page_->grab().save(QDir(dir).filePath(name)));
      }
    }
  }

  // A band change goes to the device as exactly one 25-byte coefficient write and one
  // 0x85 write of the 7-byte band record, as the emulator receives them.
  void bandChangeOnTheWire() {
    Emulator device;
    QVERIFY(device.Connect());
    DeviceSimulator& sim = device.sim;
    MakePage(MicMusicPage::kMusic);
    const int before = int(sim.Transcript().size());

    EqGraphPanel& panel = page_->EqPanel();
    panel.SetBandGain(2, 6.0f);
    emit panel.BandChanged(2);  // Music EQ band 2: block 4 address 0x02, live offset 420

    const QString coefficients = HexLine({0x81, 0x09, 0x00, 0x04, 0x02, 0x05});
    const QString record = HexLine({0x81, 0x85, 0x01, 0xA4, 0x07, 0x00, 0xD2, 0x00, 0x7D, 0x05, 0x86, 0x01});
    auto lines = [&] {
      const std::vector<std::string> all = sim.Transcript();
      QStringList out;
      for (std::size_t i = std::size_t(before); i < all.size(); ++i) {
        const QString line = QString::fromStdString(all[i]);
        if (!line.startsWith(HexLine({0x81, 0x0E}))) out << line;  // status polls are not ours
      }
      return out;
    };
    QTRY_COMPARE_WITH_TIMEOUT(lines().size(), 2, 5000);
    QTest::qWait(200);
    const QStringList sent = lines();
    QCOMPARE(sent.size(), 2);
    QVERIFY2(sent[0].startsWith(coefficients + ' '), qPrintable(sent[0]));
    QCOMPARE(sent[0].split(' ').size(), 1 + 25);
    QCOMPARE(sent[1], record);
    page_.reset();
  }

  // The device ends up holding what the page shows: a drag on the graph, a band typed
  // into the list, a wheel turn on the effect list, a routing click and an input slider,
  // all against the emulator, leave its working image equal to the program's.
  void emulatorHoldsWhatThePageShows() {
    Emulator device;
    ReplaceImage(device.sim.WorkingImage());  // as after the read job
    QVERIFY(device.Connect());
    DeviceSimulator& sim = device.sim;
    MakePage(MicMusicPage::kMicB);
    page_->resize(1024, 520);
    page_->show();
    QVERIFY(QTest::qWaitForWindowExposed(page_.get()));

    EqGraphPanel& panel = page_->EqPanel();
    const EqBand& band = *panel.Model().BandAt(5);
    const QPointF marker(panel.Model().Plot().left + band.x, panel.Model().Plot().top + band.y);
    auto mouse = [&](QEvent::Type type, QPointF at, Qt::MouseButton button, Qt::MouseButtons held) {
      QMouseEvent event(type, at, panel.mapToGlobal(at), button, held, Qt::NoModifier);
      QApplication::sendEvent(&panel, &event);
    };
    mouse(QEvent::MouseButtonPress, marker, Qt::LeftButton, Qt::LeftButton);
    for (int step = 1; step <= 10; ++step)
      mouse(QEvent::MouseMove, marker + QPointF(4 * step, -5 * step), Qt::NoButton, Qt::LeftButton);
    mouse(QEvent::MouseButtonRelease, marker + QPointF(40, -50), Qt::LeftButton, Qt::NoButton);
    QVERIFY(panel.Model().BandAt(5)->gain > 3.0f);
    const EqBand dragged = *panel.Model().BandAt(5);

    page_->BandList().item(8, 2)->setText("-7.5");
    EffectParameterList& effects = page_->Effects();
    effects.SelectRow(2);
    Wheel(effects.List().viewport(), 3);
    page_->RouteRadio(1, 0).click();
    page_->VolumeSlider(0).setValue(63);

    // The program's view of the device: its image with the editors' live block over the
    // bytes the live block covers.
    auto shown = [] {
      ParameterImageBytes image = ImageSnapshot();
      const LiveBlockBytes live = LiveBlockSnapshot();
      std::copy(live.begin(), live.end(), image.begin());
      return image;
    };
    QTRY_VERIFY_WITH_TIMEOUT(sim.WorkingImage() == shown(), 5000);
    const BandRecord stored = StoredBand(kEqMicB, 5);
    QCOMPARE(stored.frequency, int(dragged.frequency));
    QCOMPARE(stored.gainField, int(std::lround((dragged.gain + 15.0f) * 10.0f)));
    // Graph and list show the whole hertz the device was sent, not the pointer's fraction.
    QCOMPARE(dragged.frequency, float(stored.frequency));
    QCOMPARE(Cell(page_->BandList(), 5, 3), QString("%1Hz").arg(stored.frequency));
    QCOMPARE(StoredBand(kEqMicB, 8).gainField, 75);
    page_.reset();
  }

 private:
  void MakePage(int channel) {
    page_.reset();
    page_ = std::make_unique<MicMusicPage>(channel);
  }
  static void SetStatus(std::initializer_list<int> head) {
    std::lock_guard lock(CurrentLink().dataMutex);
    CurrentLink().statusBlock.fill(0);
    int i = 0;
    for (int b : head) CurrentLink().statusBlock[std::size_t(i++)] = std::uint8_t(b);
  }
  int LiveWrites() const {
    int n = 0;
    for (const test::SentWrite& w : writer_.sent) n += w.kind == test::SentWrite::Live;
    return n;
  }
  // The shift frequency of path A as the page's effect list reads it.
  static int ShiftFrequencyA() { return EditorSnapshot().shiftFrequency[0]; }

  ScriptedDialogs dialogs_;
  test::RecordingWriter writer_;
  std::unique_ptr<MicMusicPage> page_;
};

QTEST_MAIN(MicMusicPageTest)
#include "MicMusicPageTest.moc"
