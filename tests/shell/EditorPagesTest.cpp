// The pages the application installs into the editor host, and how the host follows
// them: the output page on the channel it is asked for, its channel remembered, and its
// page buttons replacing it with another page.
#include <QPushButton>
#include <QtTest>

#include "editors/OutputPage.h"
#include "shell/EditorPages.h"
#include "model/ParameterImage.h"
#include "shell/EditorHost.h"
#include "ui/InterfaceLanguage.h"
#include "tests/model/RecordingWriter.h"

using namespace dsptune;

class EditorPagesTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    SetCurrentLanguage(kEnglish);
    ResetDataModel();
    LoadDefaultImage();
    SetDeviceWriter(&writer_);
    // The link boxes' record stays in the test, not in the user's settings store.
    SetDefaultOutputPageServices({[this] { return record_; },
                                  [this](const QByteArray& r) {
                                    record_ = r;
                                    return true;
                                  },
                                  [](const QString&, int) {}});
  }
  void cleanup() {
    SetDeviceWriter(nullptr);
    SetDefaultOutputPageServices({});
  }

  void outputPageFollowsTheHost() {
    EditorHost host;
    InstallEditorPages(host);
    host.ShowEditor(kEditorOutput, 2);
    auto* page = qobject_cast<OutputPage*>(host.Editor());
    QVERIFY(page);
    QCOMPARE(page->Channel(), 2);
    QCOMPARE(host.OutputChannel(), 2);
    page->ChannelButton(5).click();
    QCOMPARE(host.OutputChannel(), 5);
    host.ShowEditor(kEditorOutput, 1);  // the same kind again only switches channel
    QCOMPARE(host.Editor(), page);
    QCOMPARE(page->Channel(), 1);

    // A page button asks for another page; the host replaces the output page after the
    // click has returned.
    QPointer<OutputPage> asking(page);
    page->PageButton(2).click();
    QVERIFY(asking);
    QTRY_VERIFY(!asking);
    QCOMPARE(host.EditorKind(), int(kEditorCompressor));
  }

 private:
  test::RecordingWriter writer_;
  QByteArray record_ = QByteArray::fromHex("0101010000000000");
};

QTEST_MAIN(EditorPagesTest)
#include "EditorPagesTest.moc"
