// Mode files through the window's own LoadFile and SaveFile: a file opened and saved
// without an edit comes back byte for byte, offline and connected to the emulator playing
// each known model; a file saved from the emulator carries the model and versions it
// answered with; and a file opened offline whose source the start-up model lacks is not
// offered as an edit when the device it came from connects.
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include "files/ModeFile.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/SyncJobs.h"
#include "model/DefaultImage.h"
#include "model/DerivedRecords.h"
#include "model/ParameterImage.h"
#include "shell/MainWindow.h"
#include "shell/ModeCommands.h"
#include "ui/DialogService.h"
#include "ui/InterfaceLanguage.h"
#include "tests/files/ModeFileCorpus.h"
#include "tests/shell/ShellTestSupport.h"
#include "tests/sim/LoopbackEmulator.h"

using namespace dsptune;

namespace {

std::vector<std::uint8_t> ReadBytes(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  const QByteArray bytes = file.readAll();
  return {bytes.begin(), bytes.end()};
}

QString WriteCorpusFile(const QTemporaryDir& dir, const test::CorpusFile& file) {
  const QString path = dir.filePath(QString::fromStdString(file.name) + ".mode");
  QFile out(path);
  if (out.open(QIODevice::WriteOnly))
    out.write(reinterpret_cast<const char*>(file.bytes.data()), qsizetype(file.bytes.size()));
  return path;
}

// The emulator answering as `model` with the versions the corpus gives its files.
DeviceOptions EmulatedModel(int n) {
  DeviceOptions options;
  options.modelName = test::kKnownModels[n];
  options.mcuVersion = "V1.3." + std::to_string(n + 1);
  options.dspVersion = "DSP 2.0." + std::to_string(n + 1);
  return options;
}

}  // namespace

class ModeFileRoundTripTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    test::UseSettingsFolder(settingsDir_.path());
    SetDialogService(&dialogs_);
  }
  void init() {
    test::ClearSettingsStore();
    dialogs_ = ScriptedDialogs();
    SetCurrentLanguage(kEnglish);
    ResetDataModel();
    ResetLinkState();
  }
  void cleanup() { parts_.TearDown(); }

  // No device: every file of the corpus through LoadFile and SaveFile.
  void offlineOpenAndSaveGiveTheFileBack() {
    parts_.Make();
    QVERIFY(!CurrentLink().connected);
    for (const test::CorpusFile& file : test::ModeFileCorpus()) {
      const QString in = WriteCorpusFile(dir_, file);
      QVERIFY2(SaveThroughTheWindow(in) == file.bytes, file.name.c_str());
      QVERIFY2(dialogs_.shown.isEmpty(), file.name.c_str());
    }
  }

  // The emulator as each known model: the window saves its settings with the model and
  // versions it answered; that file, and one with a source the model lacks, written to
  // the device by LoadFile and saved again, come back byte for byte, and the device
  // holds the file's source as stored.
  void connectedOpenAndSaveGiveTheFileBack() {
    const std::vector<test::CorpusFile> corpus = test::ModeFileCorpus();
    std::vector<test::CorpusFile> unusual;
    for (const test::CorpusFile& file : corpus)
      if (file.name == "spdif3-from-amp540" || file.name == "extremes") unusual.push_back(file);
    QCOMPARE(unusual.size(), std::size_t(2));
    for (int n = 0; n < int(std::size(test::kKnownModels)); ++n) {
      const QString model = QString::fromLatin1(test::kKnownModels[n]);
      test::LoopbackEmulator emu(EmulatedModel(n));
      QVERIFY(emu.started);
      parts_.Make();
      QVERIFY2(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()), qPrintable(model));
      QVERIFY(WaitForSyncJobsIdle(std::chrono::seconds(10)));

      const QString fromDevice = dir_.filePath(model + "-read.mode");
      dialogs_.saveAnswer = fromDevice;
      parts_.frame->Modes().SaveModeFile();
      const std::vector<std::uint8_t> saved = ReadBytes(fromDevice);
      QVERIFY2(saved == corpus[std::size_t(n)].bytes, qPrintable(model + ": the file names the device"));

      QStringList files{fromDevice};
      for (const test::CorpusFile& file : unusual) files << WriteCorpusFile(dir_, file);
      for (const QString& in : files) {
        const std::vector<std::uint8_t> original = ReadBytes(in);
        QVERIFY2(SaveThroughTheWindow(in) == original, qPrintable(model + ": " + in));
        QVERIFY(WaitForSyncJobsIdle(std::chrono::seconds(10)));
        QCOMPARE(emu.sim.WorkingImage()[kInputSourceOffset], original[kModeFileHeaderSize + kInputSourceOffset]);
      }
      QVERIFY2(dialogs_.shown.isEmpty(), qPrintable(model + ": " + dialogs_.shown.value(0).text));
      parts_.TearDown();
      ResetDataModel();
    }
  }

  // A file from an LQ830 whose source is AUX1, opened before any device is read (the
  // start-up model, an LW4.1, has no AUX1): on connecting to the LQ830 it came from,
  // which holds the same settings, nothing is offered as an edit, nothing is sent, and
  // the file still saves back unchanged.
  void keptSourceIsNoEditOnConnect() {
    const test::CorpusFile file = test::ModeFileCorpus().front();
    QCOMPARE(file.source, 11);
    test::LoopbackEmulator emu(EmulatedModel(0));
    QVERIFY(emu.started);
    parts_.Make();
    int asked = 0;
    parts_.frame->SetSettingsChooser([&asked](SettingsMerge&) {
      ++asked;
      return ReconcileChoice::SendMine;
    });
    const QString in = WriteCorpusFile(dir_, file);
    dialogs_.openAnswer = in;
    parts_.frame->Modes().LoadModeFile();
    QCOMPARE(int(InputSourceByte()), 11);
    QVERIFY(HasUnsentEdits());

    QVERIFY(parts_.frame->ConnectNetwork("127.0.0.1", emu.net.Port()));
    QVERIFY(WaitForSyncJobsIdle(std::chrono::seconds(10)));
    QTRY_VERIFY_WITH_TIMEOUT(!HasUnsentEdits(), 5000);
    QCOMPARE(asked, 0);
    QCOMPARE(emu.CountLines("81 09"), 0);
    QCOMPARE(emu.CountLines("81 31"), 0);
    QCOMPARE(int(emu.sim.WorkingImage()[kInputSourceOffset]), 11);
    QCOMPARE(int(InputSourceByte()), 11);

    const QString out = dir_.filePath("after-connect.mode");
    dialogs_.saveAnswer = out;
    parts_.frame->Modes().SaveModeFile();
    QVERIFY(ReadBytes(out) == file.bytes);
  }

 private:
  // LoadFile of `in`, then SaveFile into a file of its own; that file's bytes.
  std::vector<std::uint8_t> SaveThroughTheWindow(const QString& in) {
    dialogs_.openAnswer = in;
    parts_.frame->Modes().LoadModeFile();
    const QString out = dir_.filePath(QFileInfo(in).completeBaseName() + "-saved.mode");
    dialogs_.saveAnswer = out;
    parts_.frame->Modes().SaveModeFile();
    return ReadBytes(out);
  }

  QTemporaryDir settingsDir_;
  QTemporaryDir dir_;
  ScriptedDialogs dialogs_;
  test::MainWindowParts parts_;
};

QTEST_MAIN(ModeFileRoundTripTest)
#include "ModeFileRoundTripTest.moc"
