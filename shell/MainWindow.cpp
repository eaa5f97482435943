#include "shell/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QEvent>
#include <QCloseEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QScreen>
#include <QScrollArea>
#include <QStatusBar>
#include <QToolButton>
#include <algorithm>
#include <optional>
#include <utility>

#include "editors/FeaturesDialog.h"
#include "editors/InputSourceDialog.h"
#include "files/ModeFile.h"
#include "link/DeviceSession.h"
#include "link/HostResolve.h"
#include "link/LinkState.h"
#include "link/NetworkLink.h"
#include "link/OpenLink.h"
#include "link/SyncJobs.h"
#include "link/UsbHotplug.h"
#include "link/UsbLink.h"
#include "model/DeviceModels.h"
#include "model/EditJournal.h"
#include "model/ParameterImage.h"
#include "model/SettingsMerge.h"
#include "model/WritePlan.h"
#include "shell/HistoryCommands.h"
#include "shell/LinkKeeper.h"
#include "remote/LearnKeyDialog.h"
#include "remote/RemoteWindow.h"
#include "shell/AboutBox.h"
#include "shell/CommandTips.h"
#include "shell/ConnectFailureText.h"
#include "ui/AppSettings.h"
#include "shell/NetworkDialog.h"
#include "shell/MachineSettingsDialog.h"
#include "ui/DialogService.h"
#include "ui/LanguageTables.h"
#include "shell/ModeCommands.h"
#include "ui/ProgressWindows.h"
#include "ui/QtTranslations.h"
#include "shell/QtNotificationBridge.h"
#include "ui/InterfaceLanguage.h"
#include "shell/StatusPaneTexts.h"
#include "shell/SyncFailureText.h"
#include "shell/TrayNotice.h"
#include "ui/Ribbon.h"
#include "ui/RibbonPanel.h"

namespace dsptune {
namespace {

// The size the window opens at where the screen has room; smaller screens get what they
// have, and the page area scrolls (ribbon and status bar stay in view).
constexpr int kPreferredWidth = 1040, kPreferredHeight = 700;
constexpr int kArrivalNoticeMs = 4000;
constexpr int kConnectNoticeMs = 5000;
constexpr int kRemovalNoticeMs = 5000;
constexpr int kHostBusyNoticeMs = 3000;
constexpr int kPaneRefreshMs = 200;
// The first page is made by then also when no frame was painted (see MakeFirstPage).
constexpr int kFirstPageLatestMs = 500;
constexpr int kAfterSyncPauseMs = 150;
// How much later than the job's own time limit the synchronisation dialog gives up: a
// job ends at most about one reply time-out past its limit.
constexpr int kSyncBackstopMs = 10000;

const QColor kStartRed(255, 0, 0), kLinkGreen(0, 150, 0), kNoLinkRed(220, 0, 0);

struct PanelTitles {
  const char* creationZh;
  const char* creationEn;
  const char* renameZh;
  const char* renameEn;
};
// Creation titles, and the titles a language switch writes (the Mic titles differ in their
// blanks only). The effect panel reads "Effect Vol" whichever way it was made, as its label does.
constexpr PanelTitles kPanelTitles[8] = {
    {"话筒音量", "Mic Vol", "话筒音量", "Mic  Vol"},        {"效果总音量", "Effect Vol", "效果总音量", "Effect Vol"},
    {"混响音量", "Reverb Vol", "混响音量", "Reverb Vol"},   {"回声音量", "Echo Vol", "回声音量", "Echo Vol"},
    {"音乐音量", "Music Vol", "音乐音量", "Music Vol"},     {"音乐变调", "Music Pitch", "音乐变调", "Music Pitch"},
    {"调用", "Load", "调用", "Load"},                       {"保存", "Save", "保存", "Save"},
};

struct PairText {
  const char* zh;
  const char* en;
};
constexpr PairText kTabButtons[] = {{"网络连接", "Connect IP"}, {"特色功能", "Features"}, {"输入源", "Input Source"},
                                    {"机器复位", "Reset"},      {"遥控学习", "Remote control"}};
constexpr int kNetworkButton = 0, kFeaturesButton = 1, kInputButton = 2, kResetButton = 3, kRemoteButton = 4;


constexpr MainWindow::LinkedDialog kLinkedDialogs[] = {
    MainWindow::LinkedDialog::Remote, MainWindow::LinkedDialog::Features, MainWindow::LinkedDialog::InputSource};

// Dialogs made outside the shell learn the language through Qt's own event.
void AnnounceLanguage(QWidget* window) {
  QEvent change(QEvent::LanguageChange);
  QCoreApplication::sendEvent(window, &change);
}

// The preferred size within what the screen offers (a window frame's worth less).
QSize PreferredSize(const QSize& available) {
  constexpr int kFrameAllowance = 40;
  QSize size(kPreferredWidth, kPreferredHeight);
  if (available.isValid()) size = size.boundedTo(available - QSize(0, kFrameAllowance));
  return size;
}

QString MachineSettingsText() { return PickText("机器设置…\tF7", "Machine settings…\tF7"); }

QString ModeName(int mode) { return QStringLiteral("M%1").arg(std::clamp(mode, 0, 3) + 1); }

}  // namespace

struct MainWindow::RibbonTexts {
  QList<QToolButton*> tabButtons;
  QToolButton* languageButton = nullptr;
  QToolButton* aboutButton = nullptr;
  QAction* open = nullptr;
  QAction* save = nullptr;
  QAction* exit = nullptr;
  QAction* verify = nullptr;
  QAction* disconnect = nullptr;
  QAction* machineSettings = nullptr;
  QList<QToolButton*> loadMode, loadFile, saveMode, saveFile;
};

MainWindow::MainWindow(AppSettings& settings, ProgressWindows& progress, QtNotificationBridge& bridge,
                       FirstPage firstPage, QWidget* parent, DeviceSession* session)
    : QMainWindow(parent),
      session_(session ? *session : CurrentSession()),
      settings_(settings),
      progress_(progress),
      bridge_(bridge),
      texts_(std::make_unique<RibbonTexts>()) {
  // The view comes first: it loads the defaults and the stored language before the
  // ribbon is built in that language.
  makers_[static_cast<int>(LinkedDialog::Remote)] = {
      [this](QWidget* owner) -> QDialog* { return new RemoteWindow(progress_, owner); }, nullptr};
  makers_[static_cast<int>(LinkedDialog::Features)] = {
      [](QWidget* owner) -> QDialog* { return new FeaturesDialog(owner); },
      [](QDialog* dialog) {
        if (auto* features = qobject_cast<FeaturesDialog*>(dialog)) features->RefreshPage();
      }};
  makers_[static_cast<int>(LinkedDialog::InputSource)] = {
      [](QWidget* owner) -> QDialog* { return InputSourceDialog::ForConnectedModel(owner); },
      [](QDialog* dialog) {
        if (auto* input = qobject_cast<InputSourceDialog*>(dialog)) input->RefreshPage();
      }};
  UpdateIdentity([](DeviceIdentity& identity) { identity = DeviceIdentity{}; });
  LoadDefaultImage();
  SetCurrentLanguage(settings_.Language());
  UseQtTranslations(CurrentLanguage());
  view_ = new MainView(progress_, this);
  pageArea_ = new QScrollArea(this);
  pageArea_->setFrameShape(QFrame::NoFrame);
  pageArea_->setWidgetResizable(true);
  pageArea_->setWidget(view_);
  setCentralWidget(pageArea_);
  if (firstPage == FirstPage::kInConstructor) {
    view_->ShowEditor(kEditorMicMusic, 0);
  } else {
    firstPagePending_ = true;
    // Made without a frame too (a window that is never exposed), only later.
    QTimer::singleShot(kFirstPageLatestMs, this, &MainWindow::MakeFirstPage);
  }
  WriteCurrentLanguageFile(CurrentLanguage());

  setProperty(kSettingsName, 1);
  settings_.WriteApplicationLook();
  setWindowTitle(QString::fromUtf8("效果器调音软件v1.3.3"));
  resize(PreferredSize(screen() ? screen()->availableGeometry().size() : QSize()));
  QPalette p = palette();
  p.setColor(QPalette::Window, QColor(240, 250, 255));
  setPalette(p);
  setAttribute(Qt::WA_InputMethodEnabled, false);

  SetSyncTimeLimit(progress_.SyncTimeout());
  modes_ = std::make_unique<ModeCommands>(settings_, progress_, this, &session_);
  keeper_ = std::make_unique<LinkKeeper>(&bridge_, nullptr, &session_);
  history_ = new HistoryCommands(progress_, session_.Data(), this);
  // Nothing is tried while a transfer's dialog is up.
  keeper_->SetAttemptGate([this] { return !progress_.SyncDialogRunning(); });
  connect(keeper_.get(), &LinkKeeper::reconnected, this, &MainWindow::OnReconnected);
  const auto showSettingsAnew = [this] {
    view_->RefreshOpenEditors();
    view_->RefreshMasterControls();
    RefreshStatusPanes();
  };
  connect(modes_.get(), &ModeCommands::settingsReplaced, this, showSettingsAnew);
  connect(history_, &HistoryCommands::settingsChanged, this, showSettingsAnew);
  // F7 anywhere opens the machine settings (not while a synchronisation dialog runs).
  machineSettingsHotkey_ = std::make_unique<MachineSettingsHotkey>(progress_, [this] { ShowMachineSettings(); });
  qApp->installEventFilter(machineSettingsHotkey_.get());
  connect(modes_.get(), &ModeCommands::recentFilesChanged, this, &MainWindow::ShowRecentFiles);
  BuildRibbon();
  BuildStatusBar();
  ApplyTips();
  tray_ = std::make_unique<TrayNotice>(&progress_, this);

  connect(&bridge_, &QtNotificationBridge::syncDone, this, &MainWindow::OnSyncDone);
  connect(&bridge_, &QtNotificationBridge::hostTimeout, this, &MainWindow::OnHostTimeout);
  connect(&bridge_, &QtNotificationBridge::hostBusy, this, &MainWindow::OnHostBusy);
  connect(&bridge_, &QtNotificationBridge::linkClosed, this, &MainWindow::OnLinkClosed);
  connect(&bridge_, &QtNotificationBridge::remoteKeyLearned, this, [](int code) {
    ForwardLearnedKey(code);
  });
  connect(&bridge_, &QtNotificationBridge::parameterError, this, [this](const QString& text) {
    Dialogs().Message(this, QStringLiteral("Error"), text, QMessageBox::Critical);
  });
  connect(&progress_, &ProgressWindows::syncTimedOut, this, &MainWindow::OnSyncTimedOut);
  connect(view_, &MainView::firstUsbAttempt, this, &MainWindow::OnFirstUsbAttempt);
  connect(&view_->Host(), &EditorHost::editorChanged, this, &MainWindow::UpdateEqControls);
  InstallSyncJobs(session_);

  // Arrival and removal come on the monitor's thread; they are handled on this one.
  hotplug_ = std::make_unique<UsbHotplug>();
  hotplug_->Start([this](UsbHotplug::Event event, const std::string& path) {
    const QString devicePath = QString::fromStdString(path);
    QMetaObject::invokeMethod(this, [this, event, devicePath] {
      if (event == UsbHotplug::Event::Arrival) OnUsbArrival();
      else OnUsbRemoval(devicePath);
    }, Qt::QueuedConnection);
  });

  paneRefresh_.setInterval(kPaneRefreshMs);
  connect(&paneRefresh_, &QTimer::timeout, this, &MainWindow::RefreshStatusPanes);
  paneRefresh_.start();
}

bool MainWindow::event(QEvent* event) {
  const bool handled = QMainWindow::event(event);
  // The window's first frame has been painted: the page follows in the next turn of the
  // event loop, so the frame is not held up by it.
  if (firstPagePending_ && event->type() == QEvent::UpdateRequest)
    QMetaObject::invokeMethod(this, &MainWindow::MakeFirstPage, Qt::QueuedConnection);
  return handled;
}

void MainWindow::MakeFirstPage() {
  if (!firstPagePending_) return;
  firstPagePending_ = false;
  // A page the user already chose (or a mode file opened) stays.
  if (!view_->Host().Editor()) view_->ShowEditor(kEditorMicMusic, 0);
}

MainWindow::~MainWindow() {
  if (machineSettingsHotkey_) qApp->removeEventFilter(machineSettingsHotkey_.get());
  keeper_->Stop();
  if (hotplug_) hotplug_->Stop();
  ShutdownSyncJobs(session_);
}

void MainWindow::BuildRibbon() {
  ribbon_ = new Ribbon(this);
  setMenuWidget(ribbon_);
  RibbonTexts& t = *texts_;
  QMenu* menu = ribbon_->ApplicationMenu();
  t.open = menu->addAction(PickText("打开(&O)", "Open(&O)"));
  t.save = menu->addAction(PickText("保存(&S)", "Save(&S)"));
  t.open->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
  t.save->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
  // The shortcuts work anywhere in the window, also while the menu is closed.
  addAction(t.open);
  addAction(t.save);
  connect(t.open, &QAction::triggered, modes_.get(), &ModeCommands::LoadModeFile);
  connect(t.save, &QAction::triggered, modes_.get(), &ModeCommands::SaveModeFile);
  ShowRecentFiles();
  connect(ribbon_, &Ribbon::recentFileChosen, modes_.get(), [this](const QString& path) { modes_->OpenRecentFile(path); });
  menu->addSeparator();
  // Reading the image back doubles a write's time, so it is the user's choice.
  t.verify = menu->addAction(PickText("写入后校验", "Verify after writing"));
  t.verify->setCheckable(true);
  t.verify->setChecked(settings_.VerifyAfterWrite());
  SetVerifyAfterWrite(settings_.VerifyAfterWrite());
  connect(t.verify, &QAction::toggled, this, [this](bool on) {
    settings_.SetVerifyAfterWrite(on);
    SetVerifyAfterWrite(on);
  });
  menu->addSeparator();
  history_->AddTo(menu);
  // F7 works anywhere; the menu shows where the settings are.
  t.machineSettings = menu->addAction(MachineSettingsText());
  connect(t.machineSettings, &QAction::triggered, this, &MainWindow::ShowMachineSettings);
  t.disconnect = menu->addAction(PickText("断开连接", "Disconnect"));
  connect(t.disconnect, &QAction::triggered, this, &MainWindow::Disconnect);
  t.exit = menu->addAction(PickText("退出(&X)", "Exit(&X)"));
  connect(t.exit, &QAction::triggered, this, &QWidget::close);

  const int input = ribbon_->AddCategory(PickText("输入控制", "Input"));
  const int output = ribbon_->AddCategory(PickText("输出调节", "Output"));
  for (int category : {input, output}) {
    for (const PanelTitles& title : kPanelTitles) ribbon_->AddPanel(category, PickText(title.creationZh, title.creationEn));
    const QList<RibbonPanel*> panels = ribbon_->Panels(category);
    // The button itself does nothing; its items M1..M4 act, the current mode checked.
    auto modeButton = [this](const QString& text, void (ModeCommands::*command)(int)) {
      auto* b = new QToolButton;
      b->setText(text);
      b->setPopupMode(QToolButton::InstantPopup);
      auto* m = new QMenu(b);
      for (int mode = 0; mode < 4; ++mode) {
        QAction* item = m->addAction(ModeName(mode));
        item->setCheckable(true);
        connect(item, &QAction::triggered, modes_.get(), [this, command, mode] { (modes_.get()->*command)(mode); });
      }
      connect(m, &QMenu::aboutToShow, m, [this, m] {
        const QList<QAction*> items = m->actions();
        for (int mode = 0; mode < items.size(); ++mode) items[mode]->setChecked(mode == session_.Link().currentMode);
      });
      b->setMenu(m);
      b->setMinimumWidth(84);  // room for the menu arrow beside the text
      return b;
    };
    auto plainButton = [this](const QString& text, void (ModeCommands::*command)()) {
      auto* b = new QToolButton;
      b->setText(text);
      connect(b, &QToolButton::clicked, modes_.get(), command);
      return b;
    };
    t.loadMode << modeButton(PickText("载入模式", "LoadMode"), &ModeCommands::LoadDeviceMode);
    t.loadFile << plainButton(PickText("载入文件", "LoadFile"), &ModeCommands::LoadModeFile);
    t.saveMode << modeButton(PickText("保存模式", "SaveMode"), &ModeCommands::SaveDeviceMode);
    t.saveFile << plainButton(PickText("保存文件", "SaveFile"), &ModeCommands::SaveModeFile);
    panels.value(6)->AddWidget(t.loadMode.back());
    panels.value(6)->AddWidget(t.loadFile.back());
    panels.value(7)->AddWidget(t.saveMode.back());
    panels.value(7)->AddWidget(t.saveFile.back());
  }
  view_->BuildMasterControls(*ribbon_, input, MainView::kInput);
  view_->BuildMasterControls(*ribbon_, output, MainView::kOutput);

  for (const PairText& text : kTabButtons) {
    QToolButton* b = ribbon_->AddTabRowButton(PickText(text.zh, text.en));
    b->setEnabled(false);  // each dialog enables its button when it exists
    t.tabButtons << b;
  }
  t.tabButtons[kResetButton]->setEnabled(true);
  t.tabButtons[kNetworkButton]->setEnabled(true);
  const std::pair<int, LinkedDialog> linkedButtons[] = {{kRemoteButton, LinkedDialog::Remote},
                                                        {kFeaturesButton, LinkedDialog::Features},
                                                        {kInputButton, LinkedDialog::InputSource}};
  for (const auto& [button, which] : linkedButtons) {
    t.tabButtons[button]->setEnabled(true);
    connect(t.tabButtons[button], &QToolButton::clicked, this, [this, which = which] { ShowLinkedDialog(which); });
  }
  connect(t.tabButtons[kNetworkButton], &QToolButton::clicked, this, &MainWindow::ShowNetworkDialog);
  connect(t.tabButtons[kResetButton], &QToolButton::clicked, this, &MainWindow::MachineReset);
  t.languageButton = ribbon_->AddTabRowButton(QString::fromUtf8("中/EN"));
  connect(t.languageButton, &QToolButton::clicked, this, &MainWindow::SwitchLanguage);
  t.aboutButton = ribbon_->AddTabRowButton(QStringLiteral("?"));
  t.aboutButton->setToolTip(PickText("关于", "About"));
  connect(t.aboutButton, &QToolButton::clicked, this, &MainWindow::ShowAboutBox);

  menu->setToolTipsVisible(true);
  ribbon_->SetActiveCategory(input);
  connect(ribbon_, &Ribbon::activeCategoryChanged, view_, &MainView::OnCategoryChanged);
  connect(ribbon_, &Ribbon::wheelOverPanel, this, [this](RibbonPanel* panel, QWidget* child, int steps) {
    MasterControl control;
    if (view_->ControlForWheel(panel, child, control)) view_->StepControl(control, steps);
  });
}

void MainWindow::BuildStatusBar() {
  QStatusBar* bar = statusBar();
  connectionPane_ = new QLabel(NoDeviceYetText());
  QPalette p = connectionPane_->palette();
  p.setColor(QPalette::WindowText, kStartRed);
  connectionPane_->setPalette(p);
  modePane_ = new QLabel(NoModeReadYetText());
  modePane_->setPalette(p);
  auto* separator = new QFrame;
  separator->setFrameShape(QFrame::VLine);
  bypass_ = new QCheckBox(PickText("均衡旁路", "Bypass"));
  resetEq_ = new QPushButton(PickText("重置均衡", "Reset EQ"));
  filePane_ = new QLabel;
  noticePane_ = new QLabel;
  noticeTimer_.setSingleShot(true);
  connect(&noticeTimer_, &QTimer::timeout, this, [this] {
    noticeText_ = nullptr;
    noticePane_->clear();
  });
  bar->addWidget(connectionPane_);
  bar->addWidget(keeper_->Pane());
  bar->addWidget(noticePane_);
  bar->addWidget(separator);
  bar->addWidget(modePane_);
  bar->addWidget(filePane_);
  bar->addWidget(history_->Pane());
  bar->addPermanentWidget(bypass_);
  bar->addPermanentWidget(resetEq_);
  connect(bypass_, &QCheckBox::clicked, this, [this](bool checked) {
    if (EditorPage* page = view_->Host().Editor(); page && page->HasEq()) {
      page->SetEqBypass(checked);
      page->update();
    }
  });
  connect(resetEq_, &QPushButton::clicked, this, [this] {
    EditorPage* page = view_->Host().Editor();
    if (!page || !page->HasEq()) return;
    const auto answer = Dialogs().Message(this, QString::fromUtf8("提示"),
                                          PickText("您确定重置当前均衡吗?", "Are you sure reset the EQ?"),
                                          QMessageBox::Question, QMessageBox::Yes | QMessageBox::No);
    if (answer != QMessageBox::Yes) return;
    const EditStepScope step({"重置均衡", "Reset EQ"});
    page->ResetCurrentEq();
  });
  UpdateEqControls();
}

void MainWindow::ShowStatusNotice(QString (*text)(), int milliseconds) {
  noticeText_ = text;  // a language switch while it shows says it anew
  noticePane_->setText(text());
  noticeTimer_.start(milliseconds);
}

void MainWindow::ShowRecentFiles() {
  ribbon_->SetRecentFiles(settings_.RecentFiles(), PickText("最近的文档(Last documents)", "Last documents(最近的文档)"));
}

void MainWindow::UpdateEqControls() {
  EditorPage* page = view_->Host().Editor();
  if (page) connect(page, &EditorPage::eqStateChanged, this, &MainWindow::UpdateEqControls, Qt::UniqueConnection);
  const bool eq = page && page->HasEq();
  bypass_->setEnabled(eq);
  resetEq_->setEnabled(eq);
  bypass_->setChecked(eq && page->EqBypassed());
}

void MainWindow::RefreshStatusPanes() {
  const LinkState& link = session_.Link();
  QString text;
  QColor colour;
  if (link.connected) {
    text = link.kind == LinkKind::Network ? PickText("IP：已连接", "IP:Connected") : PickText("USB：已连接", "USB:Connected");
    colour = kLinkGreen;
    everConnected_ = true;
  } else if (everConnected_) {
    text = PickText("未连接", "Disconnected");
    // The last device was refused: say so rather than look as if none was ever found.
    if (identityRejected_) text += PickText("（设备型号或通信版本不符）", " (wrong model or protocol)");
    colour = kNoLinkRed;
  } else {
    text = NoDeviceYetText();
    colour = kStartRed;
  }
  if (!link.connected) ShowUsbPermissionProblem(text);
  UpdateDeviceCommands();
  if (connectionPane_->text() != text) connectionPane_->setText(text);
  QPalette p = connectionPane_->palette();
  if (p.color(QPalette::WindowText) != colour) {
    p.setColor(QPalette::WindowText, colour);
    connectionPane_->setPalette(p);
  }
  if (everConnected_) {
    // A refused device's mode was never read: no mode is shown for it.
    const QString mode =
        identityRejected_ ? QString() : PickText("当前模式:%1", "Current Mode:%1").arg(ModeName(link.currentMode));
    if (modePane_->text() != mode) modePane_->setText(mode);
  } else if (modePane_->text() != NoModeReadYetText()) {
    modePane_->setText(NoModeReadYetText());
  }
  QString file;
  if (const QString path = modes_->CurrentFile(); !path.isEmpty()) {
    file = QFileInfo(path).fileName();
    if (modes_->CurrentFileModified()) file += QStringLiteral(" *");
    filePane_->setToolTip(path);
  }
  if (filePane_->text() != file) filePane_->setText(file);
}

// A device that is plugged in but may not be opened is named in the status bar for as
// long as it stays so, and explained once per run.
void MainWindow::ShowUsbPermissionProblem(QString& paneText) {
  const UsbOpenProblem problem = LastUsbOpenProblem();
  if (!problem.permissionDenied) return;
  paneText = UsbPermissionPaneText();
  if (usbPermissionExplained_) return;
  usbPermissionExplained_ = true;
  const QString path = QString::fromStdString(problem.path);
  QTimer::singleShot(0, this, [this, path] {
    Dialogs().Message(this, PickText("提示", "Information"), UsbPermissionNoticeText(path), QMessageBox::Warning);
  });
}

void MainWindow::OnFirstUsbAttempt() {
  if (session_.Link().connected) return;
  if (OpenLink(session_, &bridge_, LinkKind::Usb) == 1) {
    OnDeviceConnected(kConnectNoticeMs);
    return;
  }
  // No device to write a mode file from the command line to: it opens into the window
  // as LoadFile does without a device, and reaches a device at the next connect.
  if (!startupModeFile_.isEmpty() && !IsRemoteCodeFile(startupModeFile_))
    modes_->OpenModeFile(std::exchange(startupModeFile_, QString()));
}

int MainWindow::OpenNetwork(const QString& host, int port) {
  keeper_->Stop();  // the user's own connect replaces any retrying
  view_->FirstUsbAttemptTimer().stop();
  LinkState& link = session_.Link();
  const std::string workingAddress = NetworkPeerAddress();
  const std::uint16_t workingPort = NetworkPeerPort();
  if (!link.connected) link.kind = LinkKind::Network;
  SetNetworkPeer(session_, host.toStdString(), std::uint16_t(port));
  // The working link (of either kind) stays until the new one is open: a mistyped
  // address must not cost the device the user is working with.
  const int result = OpenLink(session_, &bridge_, LinkKind::Network, [this] {
    if (session_.Link().connected && session_.Link().kind == LinkKind::Usb) CloseUsbLink(session_, false);
    view_->StopLinkTimers();
  });
  // A lost working link is brought back from where it was, not from the failed address.
  if (result != 1 && link.connected && link.kind == LinkKind::Network)
    SetNetworkPeer(session_, workingAddress, workingPort);
  return result;
}

bool MainWindow::ConnectNetwork(const QString& host, int port) {
  // A room's name is looked up here: the link and the Connect IP dialog take addresses.
  std::string problem;
  const std::optional<std::string> address = ResolveIpv4(host.toStdString(), problem);
  if (!address) {
    Dialogs().Message(this, PickText("错误", "Error"), HostNotResolvedText(host), QMessageBox::Critical);
    view_->FirstUsbAttemptTimer().start();
    return false;
  }
  const QString resolved = QString::fromStdString(*address);
  if (const int result = OpenNetwork(resolved, port); result != 1) {
    Dialogs().Message(this, PickText("错误", "Error"), NetworkConnectFailureText(result), QMessageBox::Critical);
    view_->FirstUsbAttemptTimer().start();  // look for a USB device as on a plain start
    return false;
  }
  settings_.SetNetworkPeer(resolved, port);
  OnDeviceConnected(kConnectNoticeMs);
  return true;
}

void MainWindow::DropDeviceDialogs() {
  // Made again for the new device when next opened (safe while a key is being learned).
  delete ipDialog_;
  delete machineSettings_;
  for (QPointer<QDialog>& dialog : linkedDialogs_) delete dialog;
}

MachineSettingsDialog* MainWindow::MachineSettingsInstance() const { return machineSettings_.data(); }

void MainWindow::ShowMachineSettings() {
  if (!machineSettings_) {
    machineSettings_ = new MachineSettingsDialog(progress_, [this](int mode) { modes_->RestoreFactoryMode(mode); }, this);
    // Moving a power-on slider played the volume live; Cancel or close leaves it so.
    connect(machineSettings_, &MachineSettingsDialog::closed, view_, &MainView::RefreshMasterControls);
  }
  machineSettings_->Open();
}

void MainWindow::SetDialogMaker(LinkedDialog which, DialogMaker maker) {
  makers_[static_cast<int>(which)] = std::move(maker);
}


QDialog* MainWindow::LinkedDialogOf(LinkedDialog which) const { return linkedDialogs_[static_cast<int>(which)].data(); }

void MainWindow::ShowLinkedDialog(LinkedDialog which) {
  if (which == LinkedDialog::Remote && !session_.Link().connected) return;
  const DialogMaker& hooks = makers_[static_cast<int>(which)];
  QPointer<QDialog>& dialog = linkedDialogs_[static_cast<int>(which)];
  if (!dialog) {
    if (!hooks.make) return;
    dialog = hooks.make(this);
    if (!dialog) return;
  }
  if (hooks.reload) hooks.reload(dialog);
  AnnounceLanguage(dialog);  // texts (and pictures) of the current language
  ShowCentred(dialog);
}

NetworkDialog* MainWindow::NetworkDialogInstance() const { return ipDialog_.data(); }

void MainWindow::ShowNetworkDialog() {
  if (!ipDialog_) {
    ipDialog_ = new NetworkDialog(settings_, [this](const QString& host, int port) { return OpenNetwork(host, port); }, this);
    ipDialog_->setAttribute(Qt::WA_DeleteOnClose, false);
    connect(ipDialog_, &NetworkDialog::connected, this, [this] { OnDeviceConnected(kConnectNoticeMs); });
  }
  ipDialog_->Open();
}

void MainWindow::OnDeviceConnected(int noticeMs) {
  session_.Link().sink = &bridge_;
  linkLossShown_ = false;
  identityRejected_ = false;
  everConnected_ = true;  // also when the link drops again before the panes next refresh
  // A box is worth it once; later connections of the run are told in the status bar.
  const bool first = !std::exchange(connectedBefore_, true);
  if (noticeMs > 0 && first) tray_->Show(PickText("信息", "Information"), DeviceConnectedNoticeText(), noticeMs);
  else if (noticeMs > 0) ShowStatusNotice(&DeviceConnectedNoticeText, noticeMs);
  justConnected_ = true;
  StartReadJob(session_);
  progress_.RunSyncDialog(QString());
  // The end of synchronisation runs inside the dialog's loop; when it closed the link
  // (a foreign device) there is nothing to poll.
  if (session_.Link().connected) view_->StartLinkTimers();
}

void MainWindow::OnUsbArrival() {
  if (session_.Link().connected) return;
  if (OpenLink(session_, &bridge_, LinkKind::Usb) != 1) return;
  DropDeviceDialogs();
  OnDeviceConnected(kArrivalNoticeMs);
}

void MainWindow::OnUsbRemoval(const QString& path) {
  const LinkState& link = session_.Link();
  if (link.connected && link.kind == LinkKind::Network) return;
  if (!IsOurDevicePath(path.toStdString())) return;
  OnUsbRemoved();
  linkLossShown_ = true;
  view_->StopLinkTimers();
  progress_.CloseSyncDialog();
  tray_->Show(PickText("信息", "Information"), PickText("设备已断开!", "Device Disconnected!"), kRemovalNoticeMs);
  keeper_->LinkLost(LinkKind::Usb);
}

void MainWindow::OnLinkClosed() {
  const LinkKind kind = session_.Link().kind;
  if (kind == LinkKind::Usb) {
    if (!session_.Link().connected) return;  // already closed (removal, Disconnect)
    CloseUsbLink(session_, false);
  } else if (session_.Link().connected) {
    return;  // a newer link is up already
  }
  view_->StopLinkTimers();
  // A transfer that was running says itself what the loss cost (its failure box).
  const bool jobWillTell = progress_.SyncDialogRunning();
  if (!jobWillTell) {
    if (!linkLossShown_ && !keeper_->Retrying())
      tray_->Show(PickText("信息", "Information"), PickText("设备已断开!", "Device Disconnected!"), kRemovalNoticeMs);
    linkLossShown_ = true;
  }
  keeper_->LinkLost(kind);
}

void MainWindow::OnReconnected(int kind) {
  if (static_cast<LinkKind>(kind) == LinkKind::Usb) DropDeviceDialogs();
  // Told once the device has been read: an attempt may still end as "busy". The read
  // runs inside the synchronisation dialog, so the flag covers exactly its end.
  readAfterReconnect_ = true;
  OnDeviceConnected(0);
  readAfterReconnect_ = false;
}

void MainWindow::Disconnect() {
  keeper_->Stop();
  writeWhenBack_ = false;
  view_->StopLinkTimers();
  progress_.CloseSyncDialog();
  linkLossShown_ = true;  // the user's own doing: nothing to announce
  if (session_.Link().connected) CloseActiveLink(true);
  RefreshStatusPanes();
}

void MainWindow::SetSyncTimeLimit(int milliseconds) {
  SetSyncJobTimeLimit(std::chrono::milliseconds(milliseconds));
  progress_.SetSyncTimeout(milliseconds + kSyncBackstopMs);
}

void MainWindow::MachineReset() {
  const LinkKind kind = session_.Link().kind;
  if (!modes_->MachineReset()) return;
  // The device drops its settings and the link: nothing the window shows is on it any
  // more. Its defaults are what it comes back with; the read after the reconnect has
  // the last word.
  linkLossShown_ = true;  // announced here, not as a lost link
  view_->StopLinkTimers();
  CloseActiveLink(true);  // the reset waits on the send queue: it goes out first
  writeWhenBack_ = false;
  LoadDefaultImage();
  ClearUnsentEdits();
  session_.Link().changedFlag = false;
  view_->RefreshOpenEditors();
  view_->RefreshMasterControls();
  keeper_->LinkLost(kind);
  progress_.ShowInfoPopup(PickText("设备正在重启，恢复后将重新连接并读取……",
                                   "The device is restarting; it is reconnected and read once it is back…"),
                          ModeCommands::kRestartNoticeMs);
  RefreshStatusPanes();
}

void MainWindow::CloseActiveLink(bool sendNotice) {
  if (session_.Link().kind == LinkKind::Network) CloseNetworkLink(session_, sendNotice);
  else CloseUsbLink(session_, sendNotice);
}

void MainWindow::OnSyncDone(int wParam, int outcome) {
  progress_.CloseSyncDialog();
  const SyncResult result = LastSyncResult(session_);
  if (static_cast<SyncOutcome>(outcome) != SyncOutcome::Done &&
      static_cast<SyncOutcome>(outcome) != SyncOutcome::IdentityMismatch) {
    OnSyncFailed(result.job == wParam && int(result.outcome) == outcome
                     ? result
                     : SyncResult{wParam, static_cast<SyncOutcome>(outcome)});
    return;
  }
  const DeviceIdentity identity = IdentitySnapshot();
  if (static_cast<SyncOutcome>(outcome) == SyncOutcome::Done && IdentityAccepted(identity)) {
    if (wParam == 0) {
      if (keeper_->Retrying()) ShowStatusNotice(&DeviceReconnectedNoticeText, kConnectNoticeMs);
      keeper_->Restored();
      history_->DeviceRead();
      const bool writeAgain = std::exchange(writeWhenBack_, false);
      if (result.job == 0 && result.awaitingChoice) {
        if (writeAgain && session_.Link().connected) {
          // The user already chose to write again after the failed write.
          CommitLiveBlock();
          StartWriteJob(session_);
          QTimer::singleShot(0, this, [this] { progress_.RunSyncDialog(); });
        } else {
          Reconcile();
        }
      }
      modes_->RecordReloadStep();
    }
    modes_->ApplyPendingModeSlot();
    view_->RefreshOpenEditors();
    if (machineSettings_) machineSettings_->RefreshPage();
    for (LinkedDialog which : kLinkedDialogs)
      if (QDialog* dialog = LinkedDialogOf(which); dialog && makers_[static_cast<int>(which)].reload)
        makers_[static_cast<int>(which)].reload(dialog);
    // The pause before the just-connected flag clears runs on a timer, not as a sleep
    // that would freeze the window.
    QTimer::singleShot(kAfterSyncPauseMs, this, [this] { justConnected_ = false; });
    if (wParam == 0 && !startupModeFile_.isEmpty())
      QTimer::singleShot(0, this, &MainWindow::OpenStartupModeFile);
    return;
  }
  const QString text = QString::fromStdString(IdentityMismatchText(identity));
  keeper_->Stop();  // a foreign device is not asked again
  CloseActiveLink(true);
  view_->StopLinkTimers();
  identityRejected_ = true;
  RefreshStatusPanes();
  if (identityBoxOpen_) return;
  identityBoxOpen_ = true;
  Dialogs().Message(this, QString::fromUtf8("错误"), text, QMessageBox::Critical);
  identityBoxOpen_ = false;
}

// Opened as a recent-file open; a file the device accepted joins the recent-file list.
// A remote-code file goes to the remote window.
void MainWindow::OpenStartupModeFile() {
  const QString path = std::exchange(startupModeFile_, QString());
  if (IsRemoteCodeFile(path)) {
    OpenRemoteCodeFile(path);
    return;
  }
  bool written = false;
  if (modes_->OpenRecentFile(path, &written) && written) {
    settings_.AddRecentFile(path);
    ShowRecentFiles();
  }
}

// A read that failed changed nothing; a write that failed may have left part of the
// image on the device, so the user is offered to write it again.
void MainWindow::OnSyncFailed(const SyncResult& result) {
  const bool connected = session_.Link().connected;
  // Already told: the busy notice, or the lost link's own message.
  if (result.outcome == SyncOutcome::DeviceBusy) return;
  const bool lossAnnounced = linkLossShown_ && !connected;
  if (result.job == 0 || !connected) modes_->DropPendingModeSlot();
  if (result.job == 0 && readAfterReconnect_ && keeper_->Retrying()) {
    // A reconnect attempt that could not read the device: the status bar already counts
    // down to the next one, and a box per attempt would bury the window.
    if (session_.Link().connected) CloseActiveLink(true);
    view_->StopLinkTimers();
    return;
  }
  if (result.job == 0) {
    // The device is still there: the user may read it again (a USB device would
    // otherwise have to be unplugged to be read again). Without a complete read the
    // window does not mirror the device, so the link is not kept for editing.
    if (connected && Dialogs().Message(this, PickText("错误", "Error"),
                                       SyncFailureText(result) + PickText("\n是否重新读取？", "\nRead again?"),
                                       QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes &&
        session_.Link().connected) {
      StartReadJob(session_);
      progress_.RunSyncDialog();
      return;
    }
    if (session_.Link().connected) CloseActiveLink(true);
    view_->StopLinkTimers();
    if (!connected && !lossAnnounced)
      Dialogs().Message(this, PickText("错误", "Error"), SyncFailureText(result), QMessageBox::Critical);
    return;
  }
  if (!connected) {
    // The device may hold part of the image (the working settings stay marked as not on
    // it): writing again has to wait for the device to be back.
    view_->StopLinkTimers();
    writeWhenBack_ = Dialogs().Message(this, PickText("错误", "Error"),
                                       SyncFailureText(result) +
                                           PickText("\n设备重新连接后是否重新写入？", "\nWrite again once the device is back?"),
                                       QMessageBox::Critical, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    return;
  }
  const QString question = SyncFailureText(result) + PickText("\n是否重新写入？", "\nWrite again?");
  if (Dialogs().Message(this, PickText("错误", "Error"), question, QMessageBox::Critical,
                        QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes) {
    modes_->DropPendingModeSlot();
    return;
  }
  StartWriteJob(session_);
  progress_.RunSyncDialog();
}

void MainWindow::OnHostTimeout() {
  const bool announced = keeper_->Retrying();  // a reconnect that timed out again says nothing new
  linkLossShown_ = true;
  view_->StopLinkTimers();
  progress_.CloseSyncDialog();
  keeper_->LinkLost(LinkKind::Network);
  if (!announced)
    Dialogs().Message(this, PickText("信息", "Information"),
                      PickText("主机超时，网络断开!", "Host timeout,Disconnected!"), QMessageBox::Information);
}

// Another host holds the network module, even if it goes on passing answers: the job
// stops before it writes anything, the link is closed, and the device is asked again
// only at the slow pace of the reconnect schedule, never taken over.
void MainWindow::OnHostBusy() {
  progress_.CloseSyncDialog();
  linkLossShown_ = true;  // the busy notice says it; the link's close need not again
  view_->StopLinkTimers();
  if (session_.Link().kind == LinkKind::Network) CloseNetworkLink(session_, false);
  keeper_->LinkLost(LinkKind::Network);
  const bool announce = keeper_->DeviceBusy();
  RefreshStatusPanes();
  if (announce)
    progress_.ShowInfoPopup(HostBusyNoticeText(), kHostBusyNoticeMs);
}

// Only when a job did not end by its own time limit (the dialog's timer backs it up):
// the link is closed, which stops the job, and brought back as after a loss.
void MainWindow::OnSyncTimedOut() {
  linkLossShown_ = true;  // the time-out message said it; the job's end need not again
  const LinkKind kind = session_.Link().kind;
  view_->StopLinkTimers();
  if (session_.Link().connected) CloseActiveLink(false);
  keeper_->LinkLost(kind);
  RefreshStatusPanes();
}

void MainWindow::Reconcile() {
  const ParameterImageBytes device = DeviceSettingsAwaitingChoice();
  const ParameterImageBytes mine = WorkingSettings();
  SettingsMerge merge = MergeSettings(ConfirmedSettings(), mine, device);
  // Whatever is chosen, this is what the device was read to hold.
  NoteConfirmedSettings(device);
  // Only the user's edits and conflicts are questions; what changed on the device alone
  // is taken as it is.
  const bool asks = std::any_of(merge.items.begin(), merge.items.end(),
                                [](const MergeItem& m) { return IsQuestion(m.kind); });
  ReconcileChoice choice = ReconcileChoice::KeepDevice;
  if (asks) choice = chooser_ ? chooser_(merge) : ReconcileDialog::Ask(merge, this);
  const ParameterImageBytes merged = choice == ReconcileChoice::SendMine ? MergedSettings(merge) : device;
  // The working settings become the merge, byte for byte, as one step an undo takes
  // back; only the values chosen as mine are sent.
  const auto record = [&] {
    if (merged == mine) return;
    session_.Data().Journal().RecordSettingsChange(mine, merged, asks && choice == ReconcileChoice::KeepDevice
                                                            ? BilingualText{"保留设备的设置", "Keep the device's"}
                                                            : BilingualText{"采用设备的更改", "Take the device's changes"});
  };
  if (merged != device && session_.Link().connected) {
    const WritePlan plan = PlanWrites(device, merged);
    if (plan.fullWriteCheaper) {
      // The write job clears the unsent mark once the device has acknowledged it all.
      LoadSettings(merged);
      record();
      CommitLiveBlock();
      StartWriteJob(session_);
      QTimer::singleShot(0, this, [this] { progress_.RunSyncDialog(); });
      return;
    }
    SendPlan(plan, merged);
    record();
    ClearUnsentEdits();
    session_.Link().changedFlag = true;
    return;
  }
  LoadSettings(merged);
  record();
  // A link lost while the user chose keeps the chosen values as edits still to send.
  if (merged == device) ClearUnsentEdits();
  session_.Link().changedFlag = false;
}

void MainWindow::SwitchLanguage() {
  SetCurrentLanguage(1 - CurrentLanguage());
  settings_.SetLanguage(CurrentLanguage());
  ApplyLanguage();
}

void MainWindow::ApplyLanguage() {
  UseQtTranslations(CurrentLanguage());
  const bool written = WriteCurrentLanguageFile(CurrentLanguage());
  RenameRibbon();
  if (!written) return;
  if (ipDialog_) ipDialog_->ApplyTexts();
  if (machineSettings_) machineSettings_->ApplyTexts();
  for (const QPointer<QDialog>& dialog : linkedDialogs_)
    if (dialog) AnnounceLanguage(dialog);
  if (EditorPage* page = view_->Host().Editor()) page->ApplyTexts();
}

void MainWindow::RenameRibbon() {
  const bool english = CurrentLanguage() == kEnglish;
  const QString inputZh = QString::fromUtf8("输入控制"), outputZh = QString::fromUtf8("输出调节");
  const int pitch = CurrentValue(MasterControl::Pitch);
  for (int c = 0; c < ribbon_->CategoryCount(); ++c) {
    const QString name = ribbon_->CategoryName(c);
    QString renamed;
    if (!english && name == "Input") renamed = inputZh;
    else if (!english && name == "Output") renamed = outputZh;
    else if (english && name == inputZh) renamed = "Input";
    else if (english && name == outputZh) renamed = "Output";
    if (renamed.isEmpty()) continue;
    ribbon_->SetCategoryName(c, renamed);
    const QList<RibbonPanel*> panels = ribbon_->Panels(c);
    for (int i = 0; i < panels.size() && i < 8; ++i) {
      if (i == 5) {
        panels[i]->SetTitle(PitchTitle(pitch, CurrentLanguage(), false));
        continue;
      }
      panels[i]->SetTitle(PickText(kPanelTitles[i].renameZh, kPanelTitles[i].renameEn));
    }
  }
  view_->RelabelMasterControls();
  RibbonTexts& t = *texts_;
  for (auto* b : t.loadFile) b->setText(PickText("载入文件", "LoadFile"));
  for (auto* b : t.saveFile) b->setText(PickText("保存文件", "SaveFile"));
  for (auto* b : t.loadMode) b->setText(PickText("载入模式", "LoadMode"));
  for (auto* b : t.saveMode) b->setText(PickText("保存模式", "SaveMode"));
  for (int i = 0; i < t.tabButtons.size(); ++i) t.tabButtons[i]->setText(PickText(kTabButtons[i].zh, kTabButtons[i].en));
  t.open->setText(PickText("打开(&O)", "Open(&O)"));
  t.verify->setText(PickText("写入后校验", "Verify after writing"));
  t.disconnect->setText(PickText("断开连接", "Disconnect"));
  t.machineSettings->setText(MachineSettingsText());
  history_->ApplyTexts();
  keeper_->ApplyTexts();
  if (noticeText_) noticePane_->setText(noticeText_());
  t.save->setText(PickText("保存(&S)", "Save(&S)"));
  t.exit->setText(PickText("退出(&X)", "Exit(&X)"));
  bypass_->setText(PickText("均衡旁路", "Bypass"));
  resetEq_->setText(PickText("重置均衡", "Reset EQ"));
  ApplyTips();
  ribbon_->Relayout();
  RefreshStatusPanes();
}

void MainWindow::ApplyTips() {
  RibbonTexts& t = *texts_;
  const std::pair<int, TabRowCommand> tabTips[] = {
      {kNetworkButton, TabRowCommand::ConnectIp}, {kFeaturesButton, TabRowCommand::Features},
      {kInputButton, TabRowCommand::InputSource}, {kResetButton, TabRowCommand::Reset},
      {kRemoteButton, TabRowCommand::RemoteControl}};
  for (const auto& [button, command] : tabTips) t.tabButtons[button]->setToolTip(TabRowTip(command));
  t.languageButton->setToolTip(TabRowTip(TabRowCommand::Language));
  t.aboutButton->setToolTip(TabRowTip(TabRowCommand::About));
  for (auto* b : t.loadFile) b->setToolTip(RibbonTip(RibbonCommand::LoadFile));
  for (auto* b : t.saveFile) b->setToolTip(RibbonTip(RibbonCommand::SaveFile));
  ribbon_->ApplicationButton()->setToolTip(RibbonTip(RibbonCommand::ApplicationMenu));
  bypass_->setToolTip(RibbonTip(RibbonCommand::EqBypass));
  resetEq_->setToolTip(RibbonTip(RibbonCommand::ResetEq));
  t.machineSettings->setToolTip(RibbonTip(RibbonCommand::MachineSettings));
  deviceCommandsConnected_ = !session_.Link().connected;  // the next update sets every device tip
  UpdateDeviceCommands();
}

// Commands that only mean something with a device are greyed while none is connected,
// and their tooltips say why.
void MainWindow::UpdateDeviceCommands() {
  const bool connected = session_.Link().connected;
  if (connected == deviceCommandsConnected_) return;
  deviceCommandsConnected_ = connected;
  RibbonTexts& t = *texts_;
  for (auto* b : t.loadMode) {
    b->setEnabled(connected);
    b->setToolTip(NeedsDeviceTip(RibbonTip(RibbonCommand::LoadMode), connected));
  }
  for (auto* b : t.saveMode) {
    b->setEnabled(connected);
    b->setToolTip(NeedsDeviceTip(RibbonTip(RibbonCommand::SaveMode), connected));
  }
  const std::pair<int, TabRowCommand> deviceButtons[] = {{kResetButton, TabRowCommand::Reset},
                                                         {kRemoteButton, TabRowCommand::RemoteControl}};
  for (const auto& [button, command] : deviceButtons) {
    t.tabButtons[button]->setEnabled(connected);
    t.tabButtons[button]->setToolTip(NeedsDeviceTip(TabRowTip(command), connected));
  }
  t.disconnect->setEnabled(connected);
  t.disconnect->setToolTip(NeedsDeviceTip(PickText("断开与设备的连接，不再自动重连", "Close the link and stop reconnecting"),
                                          connected));
}

void MainWindow::ShowAboutBox() {
  AboutBox box(this);
  box.exec();
}

void MainWindow::OpenHandedOver(const QString& host, int port, const QString& file) {
  Activate();
  if (!host.isEmpty()) {
    if (!file.isEmpty()) startupModeFile_ = file;
    if (!ConnectNetwork(host, port)) startupModeFile_.clear();
    else return;
  }
  if (file.isEmpty()) return;
  const bool remoteCodes = IsRemoteCodeFile(file);
  if (progress_.SyncDialogRunning() || (remoteCodes && !session_.Link().connected)) {
    // Opened once the read in progress, or the next connection's, has ended: remote
    // codes only mean something to a device.
    startupModeFile_ = file;
    if (!progress_.SyncDialogRunning())
      progress_.ShowInfoPopup(PickText("遥控文件将在连接设备后载入", "The remote file is loaded once a device is connected"),
                              kConnectNoticeMs);
    return;
  }
  if (remoteCodes) OpenRemoteCodeFile(file);
  else modes_->OpenModeFile(file);
}

bool MainWindow::IsRemoteCodeFile(const QString& path) {
  return QFileInfo(path).suffix().compare(QLatin1String("remo"), Qt::CaseInsensitive) == 0;
}

void MainWindow::OpenRemoteCodeFile(const QString& path) {
  ShowLinkedDialog(LinkedDialog::Remote);
  if (auto* remote = qobject_cast<RemoteWindow*>(LinkedDialogOf(LinkedDialog::Remote))) remote->OpenFile(path);
}

void MainWindow::Activate() {
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
}

void MainWindow::closeEvent(QCloseEvent* event) {
  if (!modes_->ConfirmClose()) {
    event->ignore();
    return;
  }
  view_->StopLinkTimers();
  paneRefresh_.stop();
  if (session_.Link().connected) CloseActiveLink(true);
  ShutdownSyncJobs(session_);
  event->accept();
}

}  // namespace dsptune
