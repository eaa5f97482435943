#pragma once
// A light ribbon bar: an application button and category tabs on the tab row, followed by
// caller-defined buttons; below, the active category's row of titled panels. The ribbon
// holds no device knowledge; its owner fills it with controls and texts.
//
// Input rules the main frame relies on:
// - the wheel never switches categories, right clicks never open a context menu anywhere on
//   the ribbon, and a double click on a category tab does nothing;
// - a wheel turn over a panel of the active category (over the panel or any widget inside
//   it) is consumed and reported as wheelOverPanel() in whole notches; a wheel turn
//   anywhere else on the ribbon is passed on to the parent unchanged.
#include <QList>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "ui/RibbonPanel.h"

class QHBoxLayout;
class QLabel;
class QListWidget;
class QMenu;
class QStackedWidget;
class QTabBar;
class QToolButton;
class QWidgetAction;

namespace dsptune {

class Ribbon : public QWidget {
  Q_OBJECT
 public:
  explicit Ribbon(QWidget* parent = nullptr);

  // The menu behind the application button; the owner adds its commands. When recent
  // files are set, their section is shown above the menu's last entry, so a closing
  // command such as Exit stays at the bottom.
  QMenu* ApplicationMenu() const { return appMenu_; }
  QToolButton* ApplicationButton() const { return appButton_; }
  // Replaces the recent-file section: a title row that cannot be clicked and one entry per
  // path (newest first, as given) in a list 300 pixels wide. Choosing an entry closes the
  // menu and emits recentFileChosen().
  void SetRecentFiles(const QStringList& paths, const QString& title);
  QStringList RecentFiles() const { return recentPaths_; }

  // Categories are numbered in the order they were added. The first category added becomes
  // the active one without a signal (the ribbon is still being built).
  int AddCategory(const QString& name);
  void SetCategoryName(int category, const QString& name);
  QString CategoryName(int category) const;
  int CategoryCount() const;
  // -1 while there is no category.
  int ActiveCategory() const;
  // Out-of-range indices are ignored.
  void SetActiveCategory(int category);

  // A new panel at the right end of the category's row; nullptr for an unknown category.
  RibbonPanel* AddPanel(int category, const QString& title);
  QList<RibbonPanel*> Panels(int category) const;
  // The category a panel belongs to, -1 if it is not one of this ribbon's panels.
  int CategoryOf(const RibbonPanel* panel) const;

  // A button on the tab row, right of the tabs; buttons keep the order they were added in.
  QToolButton* AddTabRowButton(const QString& text);

  // Lays tabs and panels out again after texts changed (renaming, language switch).
  void Relayout();

  QTabBar* CategoryBar() const { return tabBar_; }

 signals:
  void activeCategoryChanged(int category);
  // steps: +1 per notch turned away from the user, -1 per notch towards the user.
  // childUnderCursor: the widget inside the panel that received the wheel event (it may be
  // a descendant of a widget given to RibbonPanel::AddWidget), or nullptr when the
  // pointer is over the panel's own background or caption.
  void wheelOverPanel(RibbonPanel* panel, QWidget* childUnderCursor, int steps);
  void recentFileChosen(const QString& path);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  // Installs the ribbon's input rules on widget and everything inside it.
  void Watch(QWidget* widget);
  bool RouteWheel(QWidget* target, QWheelEvent* event);
  void PlaceRecentSection(bool remeasure = false);
  void MeasureRecentSection();

  QToolButton* appButton_ = nullptr;
  QMenu* appMenu_ = nullptr;
  QTabBar* tabBar_ = nullptr;
  QHBoxLayout* tabRow_ = nullptr;
  QWidget* tabRowWidget_ = nullptr;
  QStackedWidget* pages_ = nullptr;
  QList<QHBoxLayout*> pageLayouts_;
  QList<QList<RibbonPanel*>> panels_;

  QWidgetAction* recentAction_ = nullptr;
  QLabel* recentTitle_ = nullptr;
  QListWidget* recentList_ = nullptr;
  QStringList recentPaths_;
  bool recentSet_ = false;
  bool recentMeasurePending_ = false;

  // Wheel deltas below one notch (high-resolution wheels, touchpads) add up here until
  // they make a whole notch for the same target and direction.
  int wheelRemainder_ = 0;
  QPointer<RibbonPanel> wheelPanel_;
  QPointer<QWidget> wheelChild_;
};

}  // namespace dsptune
