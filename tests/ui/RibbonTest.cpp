// The ribbon bar: categories, panels, the tab-row rules (wheel, double click, context menu),
// wheel routing to panels and the recent-file section of the application menu.
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QSignalSpy>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWidgetAction>
#include <qtestspontaneevent.h>

#include "ui/Ribbon.h"
#include "ui/RibbonPanel.h"
#include "ui/StepSlider.h"

using dsptune::Ribbon;
using dsptune::RibbonPanel;
using dsptune::StepSlider;

namespace {

// The ribbon's parent; counts the wheel and context-menu events the ribbon passed on.
class Host : public QWidget {
 public:
  int wheels = 0;
  int contextMenus = 0;

 protected:
  void wheelEvent(QWheelEvent* event) override {
    ++wheels;
    event->accept();
  }
  void contextMenuEvent(QContextMenuEvent* event) override {
    ++contextMenus;
    event->accept();
  }
};

// Delivered like a window-system event (spontaneous), so Qt propagates it to the parents
// of a widget that ignores it.
void Deliver(QWidget* target, QEvent* event) {
  QSpontaneKeyEvent::setSpontaneous(event);
  qApp->notify(target, event);
}

void SendWheel(QWidget* target, QPoint pos, QPoint angle, bool inverted = false) {
  QWheelEvent event(pos, target->mapToGlobal(pos), QPoint(), angle, Qt::NoButton, Qt::NoModifier,
                    Qt::NoScrollPhase, inverted);
  Deliver(target, &event);
}

void SendWheel(QWidget* target, int angle) { SendWheel(target, target->rect().center(), QPoint(0, angle)); }

// A volume-like panel: label, 90-pixel step slider and mute box, one per row.
struct VolumeWidgets {
  QLabel* label;
  StepSlider* slider;
  QCheckBox* mute;
};

VolumeWidgets AddVolume(RibbonPanel* panel, const QString& label, const QString& mute) {
  VolumeWidgets widgets{new QLabel(label), new StepSlider, new QCheckBox(mute)};
  widgets.slider->setRange(0, 99);
  widgets.slider->setFixedWidth(90);
  panel->AddWidget(widgets.label);
  panel->AddWidget(widgets.slider);
  panel->AddWidget(widgets.mute);
  return widgets;
}

}  // namespace

class RibbonTest : public QObject {
  Q_OBJECT

 private slots:
  void init() {
    host_ = new Host;
    auto* layout = new QVBoxLayout(host_);
    layout->setContentsMargins(0, 0, 0, 0);
    ribbon_ = new Ribbon(host_);
    layout->addWidget(ribbon_);
    layout->addStretch(1);
    input_ = ribbon_->AddCategory("Input");
    output_ = ribbon_->AddCategory("Output");
    for (int category : {input_, output_}) {
      RibbonPanel* mic = ribbon_->AddPanel(category, "Mic Vol");
      volumes_[category] = AddVolume(mic, "Mic    Vol: 100", "Mute");
      ribbon_->AddPanel(category, "Echo Vol");
    }
    host_->resize(900, 200);
    host_->show();
    QVERIFY(QTest::qWaitForWindowExposed(host_));
  }
  void cleanup() {
    delete host_;
    host_ = nullptr;
  }

  void categoriesAddRenameSwitch() {
    QSignalSpy switched(ribbon_, &Ribbon::activeCategoryChanged);
    QCOMPARE(ribbon_->CategoryCount(), 2);
    QCOMPARE(ribbon_->ActiveCategory(), input_);  // the first one, chosen without a signal
    QCOMPARE(ribbon_->Panels(input_).size(), 2);
    QCOMPARE(ribbon_->Panels(input_)[1]->Title(), QString("Echo Vol"));
    QCOMPARE(ribbon_->CategoryOf(ribbon_->Panels(output_)[0]), output_);
    QVERIFY(ribbon_->Panels(5).isEmpty());
    QVERIFY(ribbon_->AddPanel(5, "nowhere") == nullptr);

    ribbon_->SetCategoryName(output_, QString::fromUtf8("输出调节"));
    ribbon_->SetCategoryName(9, "ignored");
    QCOMPARE(ribbon_->CategoryName(output_), QString::fromUtf8("输出调节"));
    QCOMPARE(ribbon_->CategoryName(9), QString());

    ribbon_->SetActiveCategory(output_);
    ribbon_->SetActiveCategory(output_);  // no change, no signal
    ribbon_->SetActiveCategory(7);        // out of range, ignored
    QCOMPARE(ribbon_->ActiveCategory(), output_);
    QCOMPARE(switched.size(), 1);
    QCOMPARE(switched.first().first().toInt(), output_);
    QVERIFY(ribbon_->Panels(output_)[0]->isVisible());
    QVERIFY(!ribbon_->Panels(input_)[0]->isVisible());

    // A plain click on a tab switches as usual.
    QTabBar* tabs = ribbon_->CategoryBar();
    QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(input_).center());
    QCOMPARE(ribbon_->ActiveCategory(), input_);
    QCOMPARE(switched.size(), 2);
  }

  void tabBarIgnoresWheel() {
    QSignalSpy switched(ribbon_, &Ribbon::activeCategoryChanged);
    QTabBar* tabs = ribbon_->CategoryBar();
    for (int angle : {-120, -120, 120, -360}) SendWheel(tabs, tabs->tabRect(input_).center(), QPoint(0, angle));
    QCOMPARE(ribbon_->ActiveCategory(), input_);
    QCOMPARE(switched.size(), 0);
    QCOMPARE(host_->wheels, 4);  // passed on to the frame
  }

  void onlyAPlainClickSwitchesTabs() {
    QSignalSpy switched(ribbon_, &Ribbon::activeCategoryChanged);
    QTabBar* tabs = ribbon_->CategoryBar();
    for (int tab : {output_, input_}) {
      const QPoint pos = tabs->tabRect(tab).center();
      QMouseEvent click(QEvent::MouseButtonDblClick, pos, tabs->mapToGlobal(pos), Qt::LeftButton, Qt::LeftButton,
                        Qt::NoModifier);
      Deliver(tabs, &click);
    }
    // Nor do other buttons than the left one switch.
    QTest::mouseClick(tabs, Qt::RightButton, Qt::NoModifier, tabs->tabRect(output_).center());
    QTest::mouseClick(tabs, Qt::MiddleButton, Qt::NoModifier, tabs->tabRect(output_).center());
    QCOMPARE(ribbon_->ActiveCategory(), input_);
    QCOMPARE(switched.size(), 0);
    QVERIFY(ribbon_->isVisible());
    QVERIFY(ribbon_->Panels(input_)[0]->isVisible());
  }

  void contextMenusAreSwallowed() {
    RibbonPanel* panel = ribbon_->Panels(input_)[0];
    QToolButton* button = ribbon_->AddTabRowButton("About");
    auto* late = new QLabel("added later");
    panel->AddWidget(late);
    // Widgets that would otherwise offer their own menu.
    QList<QWidget*> targets = {ribbon_->CategoryBar(), ribbon_->ApplicationButton(), button, panel,
                               panel->Caption(), volumes_[input_].slider, volumes_[input_].mute, late};
    int requests = 0;
    for (QWidget* target : targets) {
      target->setContextMenuPolicy(Qt::CustomContextMenu);
      connect(target, &QWidget::customContextMenuRequested, this, [&requests] { ++requests; });
    }
    for (QWidget* target : targets) {
      const QPoint pos = target->rect().center();
      QContextMenuEvent event(QContextMenuEvent::Mouse, pos, target->mapToGlobal(pos));
      Deliver(target, &event);
    }
    QCOMPARE(requests, 0);
    QCOMPARE(host_->contextMenus, 0);
  }

  void wheelOverPanelCountsNotches_data() {
    QTest::addColumn<QList<int>>("deltas");
    QTest::addColumn<bool>("inverted");
    QTest::addColumn<QList<int>>("reported");
    QTest::newRow("away") << QList<int>{120} << false << QList<int>{1};
    QTest::newRow("towards") << QList<int>{-120} << false << QList<int>{-1};
    QTest::newRow("two notches at once") << QList<int>{240} << false << QList<int>{2};
    QTest::newRow("fine wheel adds up") << QList<int>{40, 40, 40, 40} << false << QList<int>{1};
    QTest::newRow("fine wheel towards") << QList<int>{-60, -60, -60} << false << QList<int>{-1};
    QTest::newRow("reversal drops the rest") << QList<int>{90, -90, -30} << false << QList<int>{-1};
    QTest::newRow("inverted device") << QList<int>{-120} << true << QList<int>{1};
  }
  void wheelOverPanelCountsNotches() {
    QFETCH(QList<int>, deltas);
    QFETCH(bool, inverted);
    QFETCH(QList<int>, reported);
    QSignalSpy wheel(ribbon_, &Ribbon::wheelOverPanel);
    StepSlider* slider = volumes_[input_].slider;
    for (int delta : deltas) SendWheel(slider, slider->rect().center(), QPoint(0, delta), inverted);
    QCOMPARE(wheel.size(), reported.size());
    for (int i = 0; i < reported.size(); ++i) {
      QCOMPARE(wheel[i][0].value<RibbonPanel*>(), ribbon_->Panels(input_)[0]);
      QCOMPARE(wheel[i][1].value<QWidget*>(), static_cast<QWidget*>(slider));
      QCOMPARE(wheel[i][2].toInt(), reported[i]);
    }
    QCOMPARE(slider->value(), 0);
    QCOMPARE(host_->wheels, 0);  // consumed, even below a whole notch
  }

  void wheelTargets() {
    QSignalSpy wheel(ribbon_, &Ribbon::wheelOverPanel);
    ribbon_->SetActiveCategory(output_);
    RibbonPanel* mic = ribbon_->Panels(output_)[0];
    RibbonPanel* echo = ribbon_->Panels(output_)[1];

    struct Case {
      const char* name;
      QWidget* target;
      RibbonPanel* panel;
      QWidget* child;
    };
    // A composite widget whose inner part appears after it joined the panel.
    auto* box = new QWidget;
    echo->AddWidget(box);
    auto* inner = new QCheckBox("inner", box);
    inner->show();
    const QList<Case> cases = {
        {"slider", volumes_[output_].slider, mic, volumes_[output_].slider},
        {"mute box", volumes_[output_].mute, mic, volumes_[output_].mute},
        {"label", volumes_[output_].label, mic, volumes_[output_].label},
        {"panel background", mic, mic, nullptr},
        {"caption", mic->Caption(), mic, nullptr},
        {"grandchild added later", inner, echo, inner},
    };
    for (const Case& c : cases) {
      wheel.clear();
      SendWheel(c.target, -120);
      QVERIFY2(wheel.size() == 1, c.name);
      QVERIFY2(wheel[0][0].value<RibbonPanel*>() == c.panel, c.name);
      QVERIFY2(wheel[0][1].value<QWidget*>() == c.child, c.name);
      QVERIFY2(wheel[0][2].toInt() == -1, c.name);
    }
    QCOMPARE(host_->wheels, 0);

    // The hidden category's panels never report, whatever reaches them.
    wheel.clear();
    SendWheel(volumes_[input_].slider, 120);
    SendWheel(ribbon_->Panels(input_)[1], 120);
    QCOMPARE(wheel.size(), 0);

    // Outside the panels the wheel goes on to the frame: tab-row buttons, the empty
    // stretch of the category row, a popup menu of a panel button.
    QToolButton* button = ribbon_->AddTabRowButton("About");
    auto* load = new QToolButton;
    mic->AddWidget(load);
    auto* menu = new QMenu(load);
    menu->addAction("M1");
    load->setMenu(menu);
    const int before = host_->wheels;
    SendWheel(button, 120);
    SendWheel(mic->parentWidget(), QPoint(mic->parentWidget()->width() - 2, 10), QPoint(0, 120));
    QCOMPARE(host_->wheels, before + 2);
    menu->popup(load->mapToGlobal(QPoint(0, load->height())));
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    SendWheel(menu, 120);
    menu->close();
    QCOMPARE(wheel.size(), 0);
  }

  void tabRowButtonsInOrder() {
    QList<QToolButton*> buttons;
    for (const char* text : {"Connect IP", "Features", "Input Source", "Reset", "Remote control", "中/EN"}) {
      buttons.append(ribbon_->AddTabRowButton(QString::fromUtf8(text)));
    }
    QApplication::processEvents();
    const int tabsEnd = ribbon_->CategoryBar()->geometry().right();
    int previous = tabsEnd;
    for (QToolButton* button : buttons) {
      QVERIFY(button->isVisible());
      QCOMPARE(button->parentWidget(), ribbon_->CategoryBar()->parentWidget());
      QVERIFY(button->geometry().left() > previous);
      previous = button->geometry().right();
    }
    QCOMPARE(buttons.last()->text(), QString::fromUtf8("中/EN"));
  }

  void recentFileSection() {
    QMenu* menu = ribbon_->ApplicationMenu();
    QAction* open = menu->addAction("Open(&O)");
    menu->addAction("Save(&S)");
    QAction* exit = menu->addAction("Exit(&X)");
    const QStringList paths = {"/home/user/modes/club.lq8", "/home/user/modes/hall.lq8"};
    ribbon_->SetRecentFiles(paths, "Last documents(最近的文档)");
    QCOMPARE(ribbon_->RecentFiles(), paths);

    // The section sits above the last command, so Exit stays at the bottom.
    QList<QAction*> actions = menu->actions();
    QCOMPARE(actions.size(), 4);
    QCOMPARE(actions.first(), open);
    QCOMPARE(actions.last(), exit);
    // A command added later still finds the section above the bottom entry when the menu opens.
    QAction* late = menu->addAction("Late");
    QSignalSpy chosen(ribbon_, &Ribbon::recentFileChosen);
    ribbon_->ApplicationButton()->click();
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    actions = menu->actions();
    QCOMPARE(actions.last(), late);
    QVERIFY(qobject_cast<QWidgetAction*>(actions[actions.size() - 2]) != nullptr);

    auto* list = menu->findChild<QListWidget*>("recentFiles");
    QVERIFY(list);
    QVERIFY(list->isVisible());
    QCOMPARE(list->parentWidget()->width(), 300);
    QCOMPARE(list->count(), 2);
    // The title row is not an entry: clicking it chooses nothing.
    auto* title = list->parentWidget()->findChild<QLabel*>();
    QVERIFY(title);
    QCOMPARE(title->text(), QString::fromUtf8("Last documents(最近的文档)"));
    QTest::mouseClick(title, Qt::LeftButton);
    QCOMPARE(chosen.size(), 0);

    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, list->visualItemRect(list->item(1)).center());
    QCOMPARE(chosen.size(), 1);
    QCOMPARE(chosen.first().first().toString(), paths[1]);
    QTRY_VERIFY(!menu->isVisible());

    // A new list replaces the old one; an empty list leaves only the title.
    ribbon_->SetRecentFiles({}, "Last documents(最近的文档)");
    QCOMPARE(list->count(), 0);
    QVERIFY(list->isHidden());
    QCOMPARE(menu->actions().size(), 5);
  }

  // Entries added while the program runs appear in a menu that was shown before: the
  // menu takes the section's new height instead of the first one it measured.
  void recentFileSectionGrowsAfterBeingShown() {
    QMenu* menu = ribbon_->ApplicationMenu();
    menu->addAction("Open(&O)");
    menu->addAction("Exit(&X)");
    ribbon_->SetRecentFiles({"/m/one.mode"}, "Last documents(最近的文档)");
    ribbon_->ApplicationButton()->click();
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    const int firstHeight = menu->height();
    menu->close();
    QTRY_VERIFY(!menu->isVisible());
    const QStringList three = {"/m/three.mode", "/m/two.mode", "/m/one.mode"};
    ribbon_->SetRecentFiles(three, "Last documents(最近的文档)");
    ribbon_->ApplicationButton()->click();
    QVERIFY(QTest::qWaitForWindowExposed(menu));
    auto* list = menu->findChild<QListWidget*>("recentFiles");
    QCOMPARE(list->count(), 3);
    QVERIFY2(menu->height() >= firstHeight + 2 * list->sizeHintForRow(0),
             qPrintable(QStringLiteral("%1 -> %2").arg(firstHeight).arg(menu->height())));
    // Every entry lies inside the menu, so each can be seen and clicked.
    for (int row = 0; row < 3; ++row) {
      const QPoint centre = list->viewport()->mapTo(menu, list->visualItemRect(list->item(row)).center());
      QVERIFY(menu->rect().contains(centre));
    }
    menu->close();
  }

  void renamedTitlesStayVisible() {
    // The language switch renames categories and panels, then lays the ribbon out again.
    ribbon_->SetCategoryName(input_, QString::fromUtf8("输入控制"));
    RibbonPanel* echo = ribbon_->Panels(input_)[1];
    echo->SetTitle("A much longer panel title than before");
    ribbon_->Relayout();
    QApplication::processEvents();
    QCOMPARE(echo->Title(), QString("A much longer panel title than before"));
    QVERIFY(echo->Caption()->width() >= echo->Caption()->sizeHint().width());
    QTabBar* tabs = ribbon_->CategoryBar();
    QVERIFY(tabs->tabRect(input_).width() >= tabs->fontMetrics().horizontalAdvance(tabs->tabText(input_)));
    QVERIFY(!tabs->tabRect(input_).intersects(tabs->tabRect(output_)));
  }

  // The ribbon as the main frame builds it, in Chinese: everything fits, nothing overlaps.
  // With DSPTUNE_SHOT_DIR set, a picture of it is written there as ribbon.png.
  void sampleRibbonLayout() {
    Host frame;
    auto* layout = new QVBoxLayout(&frame);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* ribbon = new Ribbon(&frame);
    layout->addWidget(ribbon);
    layout->addStretch(1);
    const char* volumes[][2] = {
        {"话筒音量", "话筒音量:100"}, {"效果总音量", "效果总音量:100"}, {"混响音量", "混响音量:  100"},
        {"回声音量", "回声音量:100"}, {"音乐音量", "音乐音量:100"}};
    for (const char* name : {"输入控制", "输出调节"}) {
      const int category = ribbon->AddCategory(QString::fromUtf8(name));
      for (const auto& volume : volumes) {
        AddVolume(ribbon->AddPanel(category, QString::fromUtf8(volume[0])), QString::fromUtf8(volume[1]),
                  QString::fromUtf8("静音"));
      }
      RibbonPanel* pitch = ribbon->AddPanel(category, QString::fromUtf8("音乐变调"));
      pitch->AddWidget(new QLabel(QString::fromUtf8("音乐噪声门:100")));
      for (int i = 0; i < 2; ++i) {
        auto* slider = new StepSlider;
        slider->setFixedWidth(100);
        pitch->AddWidget(slider);
      }
      const char* commands[][3] = {{"调用", "载入模式", "载入文件"}, {"保存", "保存模式", "保存文件"}};
      for (const auto& names : commands) {
        RibbonPanel* panel = ribbon->AddPanel(category, QString::fromUtf8(names[0]));
        auto* mode = new QToolButton;
        mode->setText(QString::fromUtf8(names[1]));
        mode->setPopupMode(QToolButton::InstantPopup);
        mode->setAutoRaise(true);
        auto* modes = new QMenu(mode);
        for (const char* m : {"M1", "M2", "M3", "M4"}) modes->addAction(m);
        mode->setMenu(modes);
        auto* file = new QToolButton;
        file->setText(QString::fromUtf8(names[2]));
        file->setAutoRaise(true);
        panel->AddWidget(mode);
        panel->AddWidget(file);
      }
    }
    for (const char* text : {"网络连接", "特色功能", "输入源", "机器复位", "遥控学习", "中/EN", "关于"}) {
      ribbon->AddTabRowButton(QString::fromUtf8(text));
    }
    QMenu* menu = ribbon->ApplicationMenu();
    menu->addAction(QString::fromUtf8("打开(&O)"));
    menu->addAction(QString::fromUtf8("保存(&S)"));
    menu->addAction(QString::fromUtf8("退出(&X)"));
    ribbon->SetRecentFiles({"/home/user/modes/club.lq8", "/home/user/a very long folder name/with more/hall.lq8"},
                           QString::fromUtf8("最近的文档(Last documents)"));
    frame.resize(1040, 220);
    frame.show();
    QVERIFY(QTest::qWaitForWindowExposed(&frame));

    for (int category : {0, 1}) {
      ribbon->SetActiveCategory(category);
      QApplication::processEvents();
      const QList<RibbonPanel*> panels = ribbon->Panels(category);
      QCOMPARE(panels.size(), 8);
      for (int i = 0; i < panels.size(); ++i) {
        const QRect area = panels[i]->geometry().translated(panels[i]->parentWidget()->mapTo(ribbon, QPoint()));
        QVERIFY2(ribbon->rect().contains(area), qPrintable(panels[i]->Title()));
        if (i > 0) QVERIFY(panels[i]->geometry().left() > panels[i - 1]->geometry().right());
        for (QWidget* child : panels[i]->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
          if (child->isWindow()) continue;
          QVERIFY2(panels[i]->rect().contains(child->geometry()), qPrintable(panels[i]->Title()));
          QVERIFY2(child->width() >= child->minimumSizeHint().width(), qPrintable(panels[i]->Title()));
        }
      }
    }
    ribbon->SetActiveCategory(0);
    const QString dir = qEnvironmentVariable("DSPTUNE_SHOT_DIR");
    if (!dir.isEmpty()) {
      QVERIFY(ribbon->grab().save(QDir(dir).filePath("ribbon.png")));
      ribbon->ApplicationButton()->click();
      QVERIFY(QTest::qWaitForWindowExposed(menu));
      QVERIFY(menu->grab().save(QDir(dir).filePath("ribbon-menu.png")));
      menu->close();
    }
  }

 private:
  Host* host_ = nullptr;
  Ribbon* ribbon_ = nullptr;
  int input_ = -1;
  int output_ = -1;
  VolumeWidgets volumes_[2] = {};
};

QTEST_MAIN(RibbonTest)
#include "RibbonTest.moc"
