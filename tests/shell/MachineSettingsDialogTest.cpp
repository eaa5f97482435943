// The machine settings dialog: how its controls show the device's record, what each
// edit does to the edit copy and the live volumes, the bytes "Apply" sends, Cancel,
// the factory mode buttons, the F7 key, its texts in both languages, and against the
// emulator the record that ends up in the device.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QRegularExpression>
#include <QtTest>
#include <functional>

#include "link/CommandSet.h"
#include "link/Dispatcher.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "model/Conversions.h"
#include "model/MachineSettingsRecord.h"
#include "model/ParameterImage.h"
#include "ui/DialogTexts.h"
#include "ui/AppSettings.h"
#include "shell/MachineSettingsDialog.h"
#include "ui/DialogService.h"
#include "ui/LanguageTables.h"
#include "shell/MasterControls.h"
#include "shell/ModeCommands.h"
#include "ui/ProgressWindows.h"
#include "ui/InterfaceLanguage.h"
#include "tests/link/RecordingTransport.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/sim/LoopbackEmulator.h"
#include "ui/StepSlider.h"

using namespace dsptune;

namespace {

using D = MachineSettingsDialog;

MachineRecord Record(const char* hex) {
  const QByteArray bytes = QByteArray::fromHex(hex);
  MachineRecord record{};
  for (int i = 0; i < kMachineRecordSize && i < bytes.size(); ++i) record[i] = std::uint8_t(bytes[i]);
  return record;
}

QString Hex(const MachineRecord& record) {
  return QByteArray(reinterpret_cast<const char*>(record.data()), record.size()).toHex(' ').toUpper();
}

QString Hex(const std::vector<std::uint8_t>& bytes) {
  return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size())).toHex(' ').toUpper();
}

// The device reports its record, as in a read synchronisation.
void DeviceReports(const MachineRecord& record) {
  std::vector<std::uint8_t> packet{0x02, kCmdGetMachineSettings};
  packet.insert(packet.end(), record.begin(), record.end());
  DispatchPacket(packet);
}

// What a DSP record write of a volume looks like on USB.
QString VolumeWrite(int block, int address, int volume) {
  const std::uint32_t word = UiValueToWord(ConversionKind::Percent, volume);
  return QString::asprintf("09 00 %02X %02X 01 %02X %02X %02X %02X", block, address, word >> 24, (word >> 16) & 0xFF,
                           (word >> 8) & 0xFF, word & 0xFF);
}

// Everything the controls show, in one line.
QString Describe(const MachineSettingsDialog& dialog) {
  QStringList parts;
  const struct {
    const char* name;
    int enable, slider, value, label, maxSlider, maxValue;
  } paths[] = {{"mic", D::kMicEnableId, D::kMicStartSliderId, D::kMicStartValueId, D::kMicStartLabelId,
                D::kMicMaxSliderId, D::kMicMaxValueId},
               {"music", D::kMusicEnableId, D::kMusicStartSliderId, D::kMusicStartValueId, D::kMusicStartLabelId,
                D::kMusicMaxSliderId, D::kMusicMaxValueId}};
  for (const auto& p : paths) {
    const auto* slider = dialog.Control<StepSlider>(p.slider);
    const bool usable = dialog.Control<QLabel>(p.label)->isEnabled() && dialog.Control<QLabel>(p.value)->isEnabled() &&
                        slider->isEnabled();
    parts << QString("%1 %2 %3 '%4' 1..%5 %6| max %7 '%8'")
                 .arg(p.name)
                 .arg(dialog.Control<QCheckBox>(p.enable)->isChecked() ? "on" : "off")
                 .arg(slider->value())
                 .arg(dialog.Control<QLabel>(p.value)->text())
                 .arg(slider->maximum())
                 .arg(usable ? "" : "grey ")
                 .arg(dialog.Control<StepSlider>(p.maxSlider)->value())
                 .arg(dialog.Control<QLabel>(p.maxValue)->text());
  }
  auto box = [&](int id) {
    const auto* b = dialog.Control<QCheckBox>(id);
    return QString(b->isChecked() ? "1" : "0") + (b->isEnabled() ? "" : "x");
  };
  parts << QString("locks %1 %2 %3").arg(box(D::kPanelLockId), box(D::kVolumeLockId), box(D::kModeLockId));
  parts << "mode " + dialog.Control<QComboBox>(D::kPowerOnModeListId)->currentText();
  parts << "hdmi " + box(D::kHdmiMuteId);
  QString route = "none";
  for (int id : {D::kRouteSlSrId, D::kRouteSblSbrId, D::kRouteBothId})
    if (dialog.Control<QRadioButton>(id)->isChecked()) route = QString::number(id);
  parts << "route " + route;
  QString save = "none";
  for (int id : {D::kByPowerId, D::kByModeId})
    if (dialog.Control<QRadioButton>(id)->isChecked()) save = QString::number(id);
  parts << "save " + save;
  return parts.join(" | ");
}

// A drag of the slider to value, as the user makes it.
void Drag(MachineSettingsDialog& dialog, int sliderId, int value) {
  auto* slider = dialog.Control<StepSlider>(sliderId);
  slider->setValue(value);
  emit slider->stepApplied(slider->value());
}

// A wheel event as the window system delivers it, so that it travels up to the parents
// of a widget that does not take it.
void Wheel(QWidget* target, int notches) {
  const QPointF pos(target->width() / 2.0, target->height() / 2.0);
  QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), QPoint(0, 120 * notches), Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, false);
  QSpontaneKeyEvent::setSpontaneous(&event);
  qApp->notify(target, &event);  // sendEvent would take the spontaneous mark off
}

void UseLanguage(int language) {
  SetCurrentLanguage(language);
  QVERIFY(WriteCurrentLanguageFile(language));
}

}  // namespace

class MachineSettingsDialogTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    test::UseSettingsFolder(settingsDir_.path());
    SetDialogService(&dialogs_);
  }

  void init() {
    test::ClearSettingsStore();
    UseLanguage(kEnglish);
    ResetDataModel();
    LoadDefaultImage();
    ResetLinkState();
    transport_.Clear();
    LinkState& link = CurrentLink();
    link.transport = &transport_;
    link.kind = LinkKind::Usb;
    link.connected = true;
    progress_ = std::make_unique<ProgressWindows>();
    factoryModes_.clear();
  }

  void cleanup() {
    delete dialog_.data();
    progress_.reset();
    CloseNetworkLink(false);
    ResetLinkState();
  }

  // Opening shows the current copy; the edit copy starts as exactly what is shown.
  void showsTheDeviceSettings_data() {
    QTest::addColumn<QString>("record");  // empty: as before any read
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("editCopy");
    QTest::newRow("before any read")
        << QString() << "mic off 1 'Invalid' 1..99 grey | max 99 '99' | music off 1 'Invalid' 1..99 grey | max 99 "
                        "'99' | locks 0 0x 0x | mode Auto | hdmi 0 | route 1192 | save 1190"
        << "00 00 00 00 00 63 63 00 00 00 00 00 00 00";
    QTest::newRow("all set")
        << "01010128324B5A01937E7F032F7E"
        << "mic on 40 '40' 1..75 | max 75 '75' | music on 50 '50' 1..90 | max 90 '90' | locks 1 1 1 | mode M3 | hdmi 1 | "
           "route 1199 | save 1191"
        << "01 01 01 28 32 4B 5A 01 93 7E 7F 03 2F 7E";
    QTest::newRow("locks usable only with the panel lock")
        << "00000000006363001000000410" << "mic off 1 'Invalid' 1..99 grey | max 99 '99' | music off 1 'Invalid' 1..99 "
                                           "grey | max 99 '99' | locks 0 0x 1x | mode M4 | hdmi 0 | route 1195 | save 1190"
        << "00 00 00 00 00 63 63 00 10 00 00 04 10 00";
    QTest::newRow("unknown power-on mode and routing")
        << "0000000000636300000000073100"
        << "mic off 1 'Invalid' 1..99 grey | max 99 '99' | music off 1 'Invalid' 1..99 grey | max 99 '99' | locks 0 0x 0x "
           "| mode  | hdmi 1 | route none | save 1190"
        << "00 00 00 00 00 63 63 00 00 00 00 07 31 00";
    // A record the sliders cannot reach: the sliders clamp, the labels show what is
    // stored, and the edits start from the device's bytes unchanged.
    QTest::newRow("power-on above its maximum, maxima out of range")
        << "0000005A0A0078" << "mic on 1 '90' 1..1 | max 1 '0' | music on 10 '10' 1..99 | max 99 '120' | locks 0 0x 0x | "
                              "mode Auto | hdmi 0 | route 1192 | save 1190"
        << "00 00 00 5A 0A 00 78 00 00 00 00 00 00 00";
  }
  void showsTheDeviceSettings() {
    QFETCH(QString, record);
    QFETCH(QString, shown);
    QFETCH(QString, editCopy);
    if (!record.isEmpty()) DeviceReports(Record(record.toLatin1()));
    const MachineRecord before = DeviceSettingsSnapshot();
    MakeDialog();
    QCOMPARE(Describe(*dialog_), shown);
    QCOMPARE(Hex(EditedSettingsSnapshot()), editCopy);
    QCOMPARE(DeviceSettingsSnapshot(), before);
    QVERIFY(transport_.Calls().empty());  // showing writes nothing
  }

  // Each edit changes the edit copy only (the current copy waits for "Apply"); moving a
  // power-on volume also plays it on the live volume.
  void edits_data() {
    QTest::addColumn<QString>("record");
    QTest::addColumn<int>("action");
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("editCopy");
    QTest::addColumn<QString>("sent");
    QTest::addColumn<QString>("shownPart");  // a piece of Describe() that must be there
    const QString base = "00000000286050005C0000002100";  // music power-on 40, maxima 96 / 80
    QTest::newRow("tick mic enable takes the playing volume")
        << base << int(kTickMicEnable) << 45 << "00 00 00 2D 28 60 50 00 5C 00 00 00 21 00" << ""
        << "mic on 45 '45' 1..96 |";
    QTest::newRow("tick music enable while the music plays at 75")
        << "0000000000606300000000000000" << int(kTickMusicEnable) << 75 << "00 00 00 00 4B 60 63 00 00 00 00 00 00 00"
        << "" << "music on 75 '75' 1..99 |";
    QTest::newRow("tick enable while the volume plays above the maximum")
        << base << int(kTickMusicEnable) << 95 << "00 00 00 00 50 60 50 00 5C 00 00 00 21 00" << ""
        << "music on 80 '80' 1..80 |";
    QTest::newRow("tick enable while the volume plays at 0") << base << int(kTickMicEnable) << 0
                                                             << "00 00 00 01 28 60 50 00 5C 00 00 00 21 00" << ""
                                                             << "mic on 1 '1' 1..96 |";
    QTest::newRow("untick music enable") << base << int(kUntickMusicEnable) << 0
                                         << "00 00 00 00 00 60 50 00 5C 00 00 00 21 00" << ""
                                         << "music off 1 'Invalid' 1..80 grey |";
    QTest::newRow("drag music power-on") << base << int(kDragSlider) * 10000 + D::kMusicStartSliderId << 66
                                         << "00 00 00 00 42 60 50 00 5C 00 00 00 21 00" << VolumeWrite(4, 0x0C, 66)
                                         << "music on 66 '66' 1..80 |";
    QTest::newRow("drag mic max above the power-on volume")
        << "0000003C005050000000000000" << int(kDragSlider) * 10000 + D::kMicMaxSliderId << 70
        << "00 00 00 3C 00 46 50 00 00 00 00 00 00 00" << "" << "mic on 60 '60' 1..70 | max 70 '70'";
    QTest::newRow("lowering mic max to 40 under a power-on of 60")
        << "0000003C005050000000000000" << int(kDragSlider) * 10000 + D::kMicMaxSliderId << 40
        << "00 00 00 28 00 28 50 00 00 00 00 00 00 00" << VolumeWrite(1, 0x0E, 40) << "mic on 40 '40' 1..40 | max 40 '40'";
    QTest::newRow("lowering music max while music power-on is not set")
        << "0000003C005050000000000000" << int(kDragSlider) * 10000 + D::kMusicMaxSliderId << 5
        << "00 00 00 3C 00 50 05 00 00 00 00 00 00 00" << "" << "music off 1 'Invalid' 1..5 grey | max 5 '5'";
    QTest::newRow("by mode") << base << int(kClick) * 10000 + D::kByModeId << 0
                             << "01 01 01 00 28 60 50 00 5C 00 00 00 21 00" << "" << "save 1191";
    QTest::newRow("by power") << "0101010000636300000000000000" << int(kClick) * 10000 + D::kByPowerId << 0
                              << "00 00 00 00 00 63 63 00 00 00 00 00 00 00" << "" << "save 1190";
    QTest::newRow("panel lock makes the other locks usable")
        << base << int(kClick) * 10000 + D::kPanelLockId << 0 << "00 00 00 00 28 60 50 01 5C 00 00 00 21 00" << ""
        << "locks 1 0 1";
    QTest::newRow("volume lock off keeps bits 2 to 6")
        << "00000000006363019F0000000000" << int(kClick) * 10000 + D::kVolumeLockId << 0
        << "00 00 00 00 00 63 63 01 1C 00 00 00 00 00" << "" << "locks 1 0 1";
    QTest::newRow("mode lock on") << "0000000000636301630000000000" << int(kClick) * 10000 + D::kModeLockId << 0
                                  << "00 00 00 00 00 63 63 01 73 00 00 00 00 00" << "" << "locks 1 1 1";
    QTest::newRow("power-on mode M2") << base << int(kChooseMode) << 2 << "00 00 00 00 28 60 50 00 5C 00 00 02 21 00"
                                      << "" << "mode M2";
    QTest::newRow("hdmi mute off clears the low nibble")
        << "00000000006363000000000027AD" << int(kClick) * 10000 + D::kHdmiMuteId << 0
        << "00 00 00 00 00 63 63 00 00 00 00 00 20 AD" << "" << "hdmi 0";
    QTest::newRow("hdmi mute on keeps the routing")
        << "0000000000636300000000002000" << int(kClick) * 10000 + D::kHdmiMuteId << 0
        << "00 00 00 00 00 63 63 00 00 00 00 00 21 00" << "" << "hdmi 1 | route 1199";
    QTest::newRow("route to SBL/SBR") << base << int(kClick) * 10000 + D::kRouteSblSbrId << 0
                                      << "00 00 00 00 28 60 50 00 5C 00 00 00 11 00" << "" << "route 1195";
    QTest::newRow("route from unknown to SL/SR")
        << "0000000000636300000000003100" << int(kClick) * 10000 + D::kRouteSlSrId << 0
        << "00 00 00 00 00 63 63 00 00 00 00 00 01 00" << "" << "route 1192";
  }
  void edits() {
    QFETCH(QString, record);
    QFETCH(int, action);
    QFETCH(int, value);
    QFETCH(QString, editCopy);
    QFETCH(QString, sent);
    QFETCH(QString, shownPart);
    const MachineRecord device = Record(record.toLatin1());
    DeviceReports(device);
    MakeDialog();
    const int id = action % 10000;
    switch (action / 10000 ? action / 10000 : action) {
      case kTickMicEnable:
      case kTickMusicEnable:
      case kUntickMusicEnable: {
        const bool mic = action == kTickMicEnable;
        SetParameter(mic ? 1 : 4, mic ? 0x0E : 0x0C, value);  // what the main view plays now
        transport_.Clear();
        auto* box = dialog_->Control<QCheckBox>(mic ? D::kMicEnableId : D::kMusicEnableId);
        if (box->isChecked() == (action != kUntickMusicEnable)) box->click();  // start from the other state
        box->click();
        break;
      }
      case kDragSlider: Drag(*dialog_, id, value); break;
      case kClick: dialog_->Control<QAbstractButton>(id)->click(); break;
      case kChooseMode: {
        auto* list = dialog_->Control<QComboBox>(D::kPowerOnModeListId);
        list->setCurrentIndex(value);
        emit list->activated(value);
        break;
      }
      default: QFAIL("unknown action");
    }
    QCOMPARE(Hex(EditedSettingsSnapshot()), editCopy);
    QCOMPARE(DeviceSettingsSnapshot(), device);
    QStringList packets;
    for (const test::TransportCall& call : transport_.Calls()) packets << Hex(call.bytes);
    QCOMPARE(packets.join(" | "), sent);
    QVERIFY2(Describe(*dialog_).contains(shownPart), qPrintable(Describe(*dialog_)));
  }

  // The volume lock switched on and off gives back the other lock bits as they were.
  void volumeLockRoundTrip() {
    DeviceReports(Record("0000000000636301FF"));
    MakeDialog();
    auto* lock = dialog_->Control<QCheckBox>(D::kVolumeLockId);
    lock->click();
    QCOMPARE(EditedSettingsSnapshot()[8], std::uint8_t(0x7C));
    lock->click();
    QCOMPARE(EditedSettingsSnapshot()[8], std::uint8_t(0xFF));
    DeviceReports(Record("0000000000636301"));
    dialog_->RefreshPage();
    lock->click();
    QCOMPARE(EditedSettingsSnapshot()[8], std::uint8_t(0x83));
    lock->click();
    QCOMPARE(EditedSettingsSnapshot()[8], std::uint8_t(0x00));
  }

  // "Apply" makes the edit copy current, sends 0x91 with the 14 bytes and tells the user;
  // the dialog stays open. Without a link the copy is still made and the notice shown.
  void applySendsTheRecord_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<bool>("connected");
    QTest::addColumn<QString>("notice");
    QTest::newRow("English") << int(kEnglish) << true << "Setting valid";
    QTest::newRow("Chinese") << int(kChinese) << true << QString::fromUtf8("机器设置已生效!");
    // Nothing reached a device: the notice says so, and the edits wait in the dialog.
    QTest::newRow("without a link") << int(kEnglish) << false << "No device connected: the settings were not sent";
  }
  void applySendsTheRecord() {
    QFETCH(int, language);
    QFETCH(bool, connected);
    QFETCH(QString, notice);
    SetCurrentLanguage(language);
    DeviceReports(Record("0000000000506300A9AA000000AD"));
    MakeDialog();
    dialog_->show();
    CurrentLink().connected = connected;
    dialog_->Control<QRadioButton>(D::kByModeId)->click();
    dialog_->Control<QCheckBox>(D::kPanelLockId)->click();
    Drag(*dialog_, D::kMusicMaxSliderId, 61);
    transport_.Clear();
    dialog_->Control<QPushButton>(D::kApplyId)->click();
    const QString expected = "01 01 01 00 00 50 3D 01 A9 AA 00 00 00 AD";
    QCOMPARE(Hex(DeviceSettingsSnapshot()), connected ? expected : QString("00 00 00 00 00 50 63 00 A9 AA 00 00 00 AD"));
    QCOMPARE(Hex(EditedSettingsSnapshot()), expected);
    const auto calls = transport_.Calls();
    if (connected) {
      QCOMPARE(int(calls.size()), 1);
      QCOMPARE(Hex(calls[0].bytes), "91 " + expected);
    } else {
      QVERIFY(calls.empty());
    }
    QCOMPARE(test::PopupText(*progress_), notice);
    QCOMPARE(progress_->CurrentPopup()->RemainingTime() > 1000, true);
    QVERIFY(dialog_->isVisible());
    if (connected) QCOMPARE(MaxMusicVolume(), 61);  // the main view's limit follows
  }

  // Cancel, Escape and the title bar's close drop the edits and destroy the dialog;
  // reopening and applying then sends exactly what the reopened dialog shows.
  void cancelDropsTheEdits_data() {
    QTest::addColumn<int>("how");
    QTest::newRow("cancel") << 0;
    QTest::newRow("title bar") << 1;
    QTest::newRow("escape") << 2;
  }
  void cancelDropsTheEdits() {
    QFETCH(int, how);
    const MachineRecord device = Record("0000003200505A00000000000000");
    DeviceReports(device);
    MakeDialog();
    dialog_->Open();
    QSignalSpy closed(dialog_.data(), &MachineSettingsDialog::closed);
    Drag(*dialog_, D::kMicStartSliderId, 20);
    dialog_->Control<QCheckBox>(D::kPanelLockId)->click();
    QVERIFY(EditedSettingsSnapshot() != device);
    if (how == 0) dialog_->Control<QPushButton>(D::kCancelId)->click();
    else if (how == 1) dialog_->close();
    else QTest::keyClick(dialog_.data(), Qt::Key_Escape);
    QCOMPARE(EditedSettingsSnapshot(), device);
    QCOMPARE(closed.count(), 1);
    QTRY_VERIFY(dialog_.isNull());
    QCOMPARE(UiValue(1, 0x0E), 20);  // the live volume stays as played

    MakeDialog();
    const QString shown = Describe(*dialog_);
    QVERIFY2(shown.contains("mic on 50 '50'") && shown.contains("locks 0 0x 0x"), qPrintable(shown));
    transport_.Clear();
    dialog_->Apply();
    QCOMPARE(Hex(transport_.Calls().at(0).bytes), "91 " + Hex(device));
  }

  // A dialog destroyed without Cancel (a USB arrival) leaves edits behind; the next one
  // starts from the current copy, so "Apply" sends what it shows.
  void leftoverEditsAreNotSent() {
    DeviceReports(Record("0000000000505A"));
    MakeDialog();
    dialog_->Control<QComboBox>(D::kPowerOnModeListId)->setCurrentIndex(3);
    emit dialog_->Control<QComboBox>(D::kPowerOnModeListId)->activated(3);
    QCOMPARE(EditedSettingsSnapshot()[11], std::uint8_t(3));
    delete dialog_.data();
    MakeDialog();
    QCOMPARE(dialog_->Control<QComboBox>(D::kPowerOnModeListId)->currentText(), QString("Auto"));
    dialog_->Apply();
    QCOMPARE(Hex(transport_.Calls().back().bytes), "91 00 00 00 00 00 50 5A 00 00 00 00 00 00 00");
  }

  // A record the sliders cannot show goes back as the device sent it, changed only
  // where the user edited, also after a language switch relabelled the values.
  void applyKeepsUntouchedOutOfRangeBytes() {
    const MachineRecord device = Record("0000005A0A0078000000000000C3");
    DeviceReports(device);
    MakeDialog();
    dialog_->Apply();
    QCOMPARE(Hex(transport_.Calls().back().bytes), "91 " + Hex(device));
    dialog_->Control<QCheckBox>(D::kPanelLockId)->click();
    UseLanguage(kChinese);
    dialog_->ApplyTexts();
    QCOMPARE(dialog_->Control<QLabel>(D::kMusicMaxValueId)->text(), QString("120"));
    dialog_->Apply();
    QCOMPARE(Hex(transport_.Calls().back().bytes), "91 00 00 00 5A 0A 00 78 01 00 00 00 00 00 C3");
  }

  // A read synchronisation replaces both copies; the refresh shows the new one.
  void refreshShowsANewRead() {
    MakeDialog();
    Drag(*dialog_, D::kMicMaxSliderId, 30);
    DeviceReports(Record("0101012200406300000000020000"));
    dialog_->RefreshPage();
    QVERIFY(Describe(*dialog_).startsWith("mic on 34 '34' 1..64 | max 64 '64'"));
    QVERIFY(Describe(*dialog_).endsWith("mode M2 | hdmi 0 | route 1192 | save 1191"));
  }

  void hdmiHiddenWithoutHdmiOutput_data() {
    QTest::addColumn<QString>("model");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("LQ620") << "LQ620" << true;
    QTest::newRow("LQ480") << "LQ480" << true;
    QTest::newRow("LQ830") << "LQ830" << false;
  }
  void hdmiHiddenWithoutHdmiOutput() {
    QFETCH(QString, model);
    QFETCH(bool, hidden);
    UpdateIdentity([&](DeviceIdentity& id) {
      id.modelName.fill(0);
      std::copy_n(model.toLatin1().constData(), model.size(), id.modelName.begin());
    });
    MakeDialog();
    dialog_->Open();
    QCOMPARE(dialog_->Control<QGroupBox>(D::kHdmiGroupId)->isVisible(), !hidden);
    QCOMPARE(dialog_->Control<QCheckBox>(D::kHdmiMuteId)->isVisible(), !hidden);
  }

  // The buttons M1..M4 restore device modes 0..3; through the mode commands that is 06 m
  // with a link and nothing without one.
  void factoryModeButtons() {
    MakeDialog();
    for (int i = 0; i < 4; ++i) dialog_->Control<QPushButton>(D::kFactoryM1Id + i)->click();
    QCOMPARE(factoryModes_, (QList<int>{0, 1, 2, 3}));
    QVERIFY(transport_.Calls().empty());
    delete dialog_.data();

    AppSettings settings;
    ModeCommands modes(settings, *progress_, nullptr);
    dialog_ = new MachineSettingsDialog(*progress_, [&](int mode) { modes.RestoreFactoryMode(mode); });
    QTimer::singleShot(100, progress_.get(), [this] { progress_->CloseSyncDialog(); });
    dialog_->Control<QPushButton>(D::kFactoryM1Id + 2)->click();
    QCOMPARE(Hex(transport_.Calls().at(0).bytes), QString("06 02"));
    QCOMPARE(CurrentLink().currentMode.load(), 2);
    CurrentLink().connected = false;
    transport_.Clear();
    dialog_->Control<QPushButton>(D::kFactoryM1Id + 3)->click();
    QVERIFY(transport_.Calls().empty());
  }

  // The wheel moves the focused volume slider and applies it as a drag does; with the
  // focus elsewhere it moves nothing.
  void wheelMovesTheFocusedSlider() {
    DeviceReports(Record("0000003000636300"));
    MakeDialog();
    dialog_->Open();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_.data()));
    auto* slider = dialog_->Control<StepSlider>(D::kMicStartSliderId);
    slider->setFocus();
    QTRY_COMPARE(dialog_->focusWidget(), slider);
    Wheel(dialog_->Control<QGroupBox>(D::kStartVolumeGroupId), 2);
    QCOMPARE(slider->value(), 50);
    QCOMPARE(EditedSettingsSnapshot()[3], std::uint8_t(50));
    QCOMPARE(Hex(transport_.Calls().back().bytes), VolumeWrite(1, 0x0E, 50));
    Wheel(slider, -1);  // over the slider itself
    QCOMPARE(EditedSettingsSnapshot()[3], std::uint8_t(49));

    dialog_->Control<QCheckBox>(D::kPanelLockId)->setFocus();
    QTRY_VERIFY(dialog_->focusWidget() != slider);
    transport_.Clear();
    Wheel(dialog_.data(), 3);
    QCOMPARE(slider->value(), 49);
    QVERIFY(transport_.Calls().empty());
  }

  // F7 opens the dialog once per release, never while a synchronisation runs, and a
  // second F7 during the first one's handling does not re-enter.
  void f7OpensTheDialog() {
    QWidget window;
    window.show();
    int opened = 0;
    MachineSettingsHotkey hotkey(*progress_, [&] {
      ++opened;
      QTest::keyRelease(&window, Qt::Key_F7);  // a second F7 while the first is handled
    });
    qApp->installEventFilter(&hotkey);
    QTest::keyRelease(&window, Qt::Key_F7);
    QCOMPARE(opened, 1);
    QTest::keyRelease(&window, Qt::Key_F6);
    QCOMPARE(opened, 1);
    QTimer::singleShot(50, progress_.get(), [&] {
      QTest::keyRelease(&window, Qt::Key_F7);
      progress_->CloseSyncDialog();
    });
    progress_->RunSyncDialog();
    QCOMPARE(opened, 1);
    qApp->removeEventFilter(&hotkey);
  }

  // Texts from both language tables, and the value texts in the language of the moment.
  void texts_data() {
    QTest::addColumn<int>("language");
    QTest::addColumn<QStringList>("expected");  // title, then id=text
    QTest::newRow("Chinese") << int(kChinese)
                             << QStringList{QString::fromUtf8("机器设置"),
                                            QString::fromUtf8("1197=开机音量"),
                                            QString::fromUtf8("1005=话筒开机音量"),
                                            QString::fromUtf8("1002=音乐开机音量"),
                                            QString::fromUtf8("1006=话筒最大音量"),
                                            QString::fromUtf8("1131=音乐最大音量"),
                                            QString::fromUtf8("1039=启用"),
                                            QString::fromUtf8("1040=启用"),
                                            QString::fromUtf8("1201=音量保存模式"),
                                            QString::fromUtf8("1239=主音量和输入源："),
                                            QString::fromUtf8("1190=随开关机保存"),
                                            QString::fromUtf8("1191=随模式保存"),
                                            QString::fromUtf8("1198=锁定"),
                                            QString::fromUtf8("1046=锁定面板"),
                                            QString::fromUtf8("1047=锁定音量"),
                                            QString::fromUtf8("1048=锁定模式"),
                                            QString::fromUtf8("1202=开机指定模式"),
                                            QString::fromUtf8("1238=机器开机指定模式"),
                                            QString::fromUtf8("1187=DTS/AC3 环绕输出路由"),
                                            QString::fromUtf8("1192=输出至SL/SR"),
                                            QString::fromUtf8("1195=输出至SBL/SBR"),
                                            QString::fromUtf8("1199=输出至SL/SR和SBL/SBR"),
                                            QString::fromUtf8("1186=HDMI静音"),
                                            QString::fromUtf8("1049=HDMI输出口静音"),
                                            QString::fromUtf8("1183=出厂机器模式"),
                                            "32823=M1",
                                            "32826=M4",
                                            QString::fromUtf8("1073=应用"),
                                            QString::fromUtf8("2=取消"),
                                            QString::fromUtf8("1145=无效"),
                                            "1147=99"};
    QTest::newRow("English") << int(kEnglish)
                             << QStringList{"Machine Set",
                                            "1197=Start vol",
                                            "1005=Mic start vol",
                                            "1002=Music start vol",
                                            "1006=Mic max vol",
                                            "1131=Music max vol",
                                            "1039=Enable",
                                            "1040=Enable",
                                            "1201=Vol save mode",
                                            QString::fromUtf8("1239=Master vol and Music Input:"),
                                            "1190=By power",
                                            "1191=By mode",
                                            "1198=Lock",
                                            "1046=Lock panel",
                                            "1047=Lock Vol",
                                            "1048=Lock Mode",
                                            "1202=Power on mode",
                                            "1238=Power on mode",
                                            "1187=DTS/AC3 Route Options",
                                            "1192=Route to SL/SR",
                                            "1195=Route to SBL/SBR",
                                            QString::fromUtf8("1199=Route to SL/SR and SBL/SBR"),
                                            "1186=HDMI Mute",
                                            "1049=HDMI Mute Options",
                                            "1183=Default mode",
                                            "32823=M1",
                                            "32826=M4",
                                            "1073=Apply",
                                            "2=Cancel",
                                            "1145=Invalid",
                                            "1147=99"};
  }
  void texts() {
    QFETCH(int, language);
    QFETCH(QStringList, expected);
    // Made in the other language and switched, as the language switch does it.
    UseLanguage(1 - language);
    MakeDialog();
    UseLanguage(language);
    dialog_->ApplyTexts();
    QCOMPARE(dialog_->windowTitle(), expected.takeFirst());
    for (const QString& entry : expected) {
      const int id = entry.section('=', 0, 0).toInt();
      QWidget* control = dialog_->Control(id);
      QVERIFY2(control, qPrintable(entry));
      QString text;
      if (auto* group = qobject_cast<QGroupBox*>(control)) text = group->title();
      else if (auto* label = qobject_cast<QLabel*>(control)) text = label->text();
      else if (auto* button = qobject_cast<QAbstractButton*>(control)) text = button->text();
      QCOMPARE(QString("%1=%2").arg(id).arg(text), entry);
    }
    QStringList items;
    auto* list = dialog_->Control<QComboBox>(D::kPowerOnModeListId);
    for (int i = 0; i < list->count(); ++i) items << list->itemText(i);
    QCOMPARE(items, (QStringList{language == kEnglish ? "Auto" : QString::fromUtf8("自动"), "M1", "M2", "M3", "M4"}));
    // Every control that changes something says what it does, in the language shown.
    const QRegularExpression chinese(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));
    for (QWidget* w : dialog_->findChildren<QWidget*>()) {
      if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QAbstractSlider*>(w) && !qobject_cast<QComboBox*>(w))
        continue;
      const QString what = QString("%1 %2").arg(ControlId(w)).arg(w->toolTip());
      QVERIFY2(!w->toolTip().isEmpty(), qPrintable(what));
      QVERIFY2(w->toolTip().contains(chinese) == (language == kChinese), qPrintable(what));
    }
  }

  // Against the emulator over loopback: the record the dialog applies is the device's.
  void appliedSettingsReachTheEmulator() {
    test::LoopbackEmulator emu;
    QVERIFY(emu.started);
    SetDeviceWriter(nullptr);
    ResetLinkState();
    SetNetworkPeer("127.0.0.1", emu.net.Port());
    test::RecordingSink sink;
    QCOMPARE(OpenNetworkLink(&sink), 1);
    SendCommand({kCmdGetMachineSettings});
    QTRY_COMPARE(DeviceSettingsSnapshot(), emu.sim.MachineSettings());

    MakeDialog();
    Drag(*dialog_, D::kMicMaxSliderId, 55);
    dialog_->Control<QCheckBox>(D::kMicEnableId)->click();
    Drag(*dialog_, D::kMicStartSliderId, 33);
    dialog_->Control<QRadioButton>(D::kRouteBothId)->click();
    dialog_->Control<QCheckBox>(D::kPanelLockId)->click();
    dialog_->Control<QCheckBox>(D::kModeLockId)->click();
    const MachineRecord edited = EditedSettingsSnapshot();
    QCOMPARE(int(edited[3]), 33);
    QCOMPARE(int(edited[5]), 55);
    dialog_->Apply();
    QTRY_COMPARE(emu.sim.MachineSettings(), edited);
    QCOMPARE(emu.CountLines("81 91"), 1);
    QCOMPARE(emu.CountLines("81 09 00 01 0E"), 1);  // the power-on volume was played live
    CloseNetworkLink(false);
  }

  // Pictures of the dialog in both languages, for looking at; only when asked for.
  void screenshots() {
    const QString folder = qEnvironmentVariable("DSPTUNE_SHOT_DIR");
    if (folder.isEmpty()) QSKIP("DSPTUNE_SHOT_DIR not set");
    QDir().mkpath(folder);
    DeviceReports(Record("0101013C00505A01930000022100"));
    for (int language : {kChinese, kEnglish}) {
      UseLanguage(language);
      MakeDialog();
      dialog_->Open();
      QVERIFY(QTest::qWaitForWindowExposed(dialog_.data()));
      const QString name = language == kChinese ? "setdlg-zh.png" : "setdlg-en.png";
      QVERIFY(dialog_->grab().save(folder + "/" + name));
      delete dialog_.data();
    }
  }

 private:
  enum Action { kTickMicEnable = 1, kTickMusicEnable, kUntickMusicEnable, kDragSlider, kClick, kChooseMode };

  void MakeDialog() {
    delete dialog_.data();
    dialog_ = new MachineSettingsDialog(*progress_, [this](int mode) { factoryModes_.append(mode); });
  }

  QTemporaryDir settingsDir_;
  ScriptedDialogs dialogs_;
  test::RecordingTransport transport_;
  std::unique_ptr<ProgressWindows> progress_;
  QPointer<MachineSettingsDialog> dialog_;
  QList<int> factoryModes_;
};

QTEST_MAIN(MachineSettingsDialogTest)
#include "MachineSettingsDialogTest.moc"
