#include "ui/Ribbon.h"

#include <QChildEvent>
#include <QContextMenuEvent>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStackedWidget>
#include <QTabBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>
#include <QWidgetAction>

#include <cstdlib>

#include "ui/RibbonPanel.h"

namespace dsptune {
namespace {

constexpr int kNotch = 120;          // angleDelta units per wheel notch
constexpr int kRecentListWidth = 300;  // pixels
const QColor kTabRowTop(232, 244, 254);
const QColor kTabRowBottom(218, 234, 250);
const QColor kPageTop(250, 253, 255);
const QColor kPageBottom(231, 243, 253);
const QColor kEdge(176, 204, 232);
const QColor kText(21, 66, 139);

// Category tabs that only react to a plain left click: the wheel goes to the parent and
// a double click does nothing (no minimising, no second press).
class CategoryTabBar : public QTabBar {
 public:
  using QTabBar::QTabBar;

 protected:
  void wheelEvent(QWheelEvent* event) override { event->ignore(); }
  void mouseDoubleClickEvent(QMouseEvent* event) override { event->accept(); }
  void contextMenuEvent(QContextMenuEvent* event) override { event->accept(); }
};

// The application button's face: a small blue badge with three white bars.
QIcon ApplicationIcon() {
  QPixmap pixmap(26, 20);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setRenderHint(QPainter::Antialiasing);
  QLinearGradient fill(0, 0, 0, 20);
  fill.setColorAt(0.0, QColor(102, 160, 230));
  fill.setColorAt(1.0, QColor(36, 94, 176));
  painter.setPen(QPen(QColor(30, 76, 146), 1));
  painter.setBrush(fill);
  painter.drawRoundedRect(QRectF(0.5, 0.5, 25, 19), 5, 5);
  painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
  for (int y : {6, 10, 14}) painter.drawLine(QPointF(8, y), QPointF(18, y));
  return QIcon(pixmap);
}

}  // namespace

Ribbon::Ribbon(QWidget* parent) : QWidget(parent) {
  setContextMenuPolicy(Qt::PreventContextMenu);
  setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
  QPalette palette = this->palette();
  palette.setColor(QPalette::Window, QColor(240, 250, 255));
  setPalette(palette);

  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(0, 0, 0, 0);
  outer->setSpacing(0);

  tabRowWidget_ = new QWidget(this);
  tabRow_ = new QHBoxLayout(tabRowWidget_);
  tabRow_->setContentsMargins(4, 3, 4, 0);
  tabRow_->setSpacing(2);

  appMenu_ = new QMenu(this);
  appButton_ = new QToolButton(tabRowWidget_);
  appButton_->setIcon(ApplicationIcon());
  appButton_->setIconSize(QSize(26, 20));
  appButton_->setAutoRaise(true);
  appButton_->setFocusPolicy(Qt::NoFocus);
  appButton_->setToolButtonStyle(Qt::ToolButtonIconOnly);
  connect(appButton_, &QToolButton::clicked, this, [this] {
    appMenu_->popup(appButton_->mapToGlobal(QPoint(0, appButton_->height())));
  });
  connect(appMenu_, &QMenu::aboutToShow, this, [this] {
    MeasureRecentSection();
    PlaceRecentSection();
  });
  tabRow_->addWidget(appButton_, 0, Qt::AlignBottom);

  tabBar_ = new CategoryTabBar(tabRowWidget_);
  tabBar_->setDrawBase(false);
  tabBar_->setExpanding(false);
  tabBar_->setUsesScrollButtons(false);
  tabBar_->setFocusPolicy(Qt::NoFocus);
  tabBar_->setStyleSheet(QStringLiteral(
      "QTabBar::tab { color: rgb(21,66,139); padding: 3px 16px 4px 16px; margin: 0 1px -1px 1px;"
      " border: 1px solid transparent; border-bottom: none;"
      " border-top-left-radius: 3px; border-top-right-radius: 3px; }"
      "QTabBar::tab:selected { background: rgb(250,253,255); border-color: rgb(176,204,232); }"
      "QTabBar::tab:hover:!selected { background: rgba(255,255,255,110); border-color: rgb(200,222,244); }"));
  tabRow_->addWidget(tabBar_, 0, Qt::AlignBottom);
  tabRow_->addStretch(1);
  connect(tabBar_, &QTabBar::currentChanged, this, [this](int index) {
    if (index >= 0 && index < pages_->count()) pages_->setCurrentIndex(index);
    wheelRemainder_ = 0;
    update();
    if (index >= 0) emit activeCategoryChanged(index);
  });
  outer->addWidget(tabRowWidget_);

  pages_ = new QStackedWidget(this);
  outer->addWidget(pages_);

  // The recent-file section: a title row on a tinted band (a heading, not an entry), the
  // list of paths, and a rule that sets it off from the command below.
  auto* recentPane = new QWidget;
  recentPane->setFixedWidth(kRecentListWidth);
  auto* recentLayout = new QVBoxLayout(recentPane);
  recentLayout->setContentsMargins(0, 2, 0, 2);
  recentLayout->setSpacing(1);
  recentTitle_ = new QLabel(recentPane);
  QFont titleFont = recentTitle_->font();
  titleFont.setBold(true);
  recentTitle_->setFont(titleFont);
  recentTitle_->setContentsMargins(8, 3, 8, 3);
  recentTitle_->setAutoFillBackground(true);
  QPalette titlePalette = recentTitle_->palette();
  titlePalette.setColor(QPalette::Window, QColor(221, 235, 249));
  titlePalette.setColor(QPalette::WindowText, kText);
  recentTitle_->setPalette(titlePalette);
  recentTitle_->setAttribute(Qt::WA_TransparentForMouseEvents);
  recentLayout->addWidget(recentTitle_);
  recentList_ = new QListWidget(recentPane);
  recentList_->setObjectName(QStringLiteral("recentFiles"));
  recentList_->setFrameShape(QFrame::NoFrame);
  recentList_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  recentList_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  recentList_->setTextElideMode(Qt::ElideMiddle);
  recentList_->setFocusPolicy(Qt::NoFocus);
  recentList_->setMouseTracking(true);
  recentList_->setStyleSheet(QStringLiteral(
      "QListWidget { background: transparent; padding-left: 4px; }"
      "QListWidget::item { padding: 2px 4px; }"
      "QListWidget::item:hover { background: rgb(255,231,162); }"));
  recentLayout->addWidget(recentList_);
  auto* rule = new QWidget(recentPane);
  rule->setFixedHeight(1);
  rule->setAutoFillBackground(true);
  QPalette rulePalette = rule->palette();
  rulePalette.setColor(QPalette::Window, kEdge);
  rule->setPalette(rulePalette);
  recentLayout->addWidget(rule);
  connect(recentList_, &QListWidget::itemClicked, this, [this](QListWidgetItem* item) {
    const QString path = item->data(Qt::UserRole).toString();
    recentList_->clearSelection();
    appMenu_->close();
    emit recentFileChosen(path);
  });
  recentAction_ = new QWidgetAction(this);
  recentAction_->setDefaultWidget(recentPane);

  Watch(tabRowWidget_);
  Watch(pages_);
}

void Ribbon::SetRecentFiles(const QStringList& paths, const QString& title) {
  recentSet_ = true;
  recentPaths_ = paths;
  recentTitle_->setText(title);
  recentList_->clear();
  for (int i = 0; i < paths.size(); ++i) {
    const QString name = QFileInfo(paths[i]).fileName();
    auto* item = new QListWidgetItem(QStringLiteral("%1  %2").arg(i + 1).arg(name.isEmpty() ? paths[i] : name));
    item->setData(Qt::UserRole, paths[i]);
    item->setToolTip(paths[i]);
    recentList_->addItem(item);
  }
  recentList_->setVisible(!paths.isEmpty());
  // Measured when the menu opens: measuring polishes the list's style sheet and loads its
  // font, which would hold up the window's first frame for a menu not yet open.
  recentMeasurePending_ = true;
  // A menu measures its entries once and keeps that geometry until its actions change:
  // taking the section out and putting it back makes it measure the new height.
  PlaceRecentSection(true);
}

void Ribbon::MeasureRecentSection() {
  if (!recentMeasurePending_) return;
  recentMeasurePending_ = false;
  const int rows = recentList_->count();
  const int rowHeight = rows == 0 ? 0 : recentList_->sizeHintForRow(0);
  recentList_->setFixedHeight(rowHeight * rows + 2);
  recentAction_->defaultWidget()->adjustSize();
  PlaceRecentSection(true);
}

void Ribbon::PlaceRecentSection(bool remeasure) {
  if (!recentSet_) return;
  QList<QAction*> others = appMenu_->actions();
  others.removeAll(recentAction_);
  const int wanted = others.isEmpty() ? 0 : static_cast<int>(others.size()) - 1;
  if (!remeasure && appMenu_->actions().indexOf(recentAction_) == wanted) return;
  appMenu_->removeAction(recentAction_);
  if (others.isEmpty()) {
    appMenu_->addAction(recentAction_);
  } else {
    appMenu_->insertAction(others.last(), recentAction_);
  }
}

int Ribbon::AddCategory(const QString& name) {
  auto* page = new QWidget;
  auto* layout = new QHBoxLayout(page);
  layout->setContentsMargins(4, 3, 4, 3);
  layout->setSpacing(3);
  layout->addStretch(1);
  pageLayouts_.append(layout);
  panels_.append(QList<RibbonPanel*>());
  pages_->addWidget(page);
  // The first tab makes the tab bar current on its own; that is part of building the
  // ribbon, not a category switch.
  const bool blocked = tabBar_->blockSignals(true);
  const int index = tabBar_->addTab(name);
  tabBar_->blockSignals(blocked);
  pages_->setCurrentIndex(tabBar_->currentIndex());
  return index;
}

void Ribbon::SetCategoryName(int category, const QString& name) {
  if (category < 0 || category >= CategoryCount()) return;
  tabBar_->setTabText(category, name);
}

QString Ribbon::CategoryName(int category) const {
  if (category < 0 || category >= CategoryCount()) return {};
  return tabBar_->tabText(category);
}

int Ribbon::CategoryCount() const { return tabBar_->count(); }

int Ribbon::ActiveCategory() const { return tabBar_->currentIndex(); }

void Ribbon::SetActiveCategory(int category) {
  if (category < 0 || category >= CategoryCount()) return;
  tabBar_->setCurrentIndex(category);
}

RibbonPanel* Ribbon::AddPanel(int category, const QString& title) {
  if (category < 0 || category >= CategoryCount()) return nullptr;
  auto* panel = new RibbonPanel(title);
  QHBoxLayout* layout = pageLayouts_[category];
  layout->insertWidget(layout->count() - 1, panel);  // before the closing stretch
  panels_[category].append(panel);
  Watch(panel);
  return panel;
}

QList<RibbonPanel*> Ribbon::Panels(int category) const {
  if (category < 0 || category >= panels_.size()) return {};
  return panels_[category];
}

int Ribbon::CategoryOf(const RibbonPanel* panel) const {
  for (int i = 0; i < panels_.size(); ++i) {
    if (panels_[i].contains(panel)) return i;
  }
  return -1;
}

QToolButton* Ribbon::AddTabRowButton(const QString& text) {
  auto* button = new QToolButton(tabRowWidget_);
  button->setText(text);
  button->setAutoRaise(true);
  button->setToolButtonStyle(Qt::ToolButtonTextOnly);
  button->setFocusPolicy(Qt::NoFocus);
  QPalette palette = button->palette();
  palette.setColor(QPalette::ButtonText, kText);
  button->setPalette(palette);
  tabRow_->addWidget(button, 0, Qt::AlignVCenter);
  return button;
}

void Ribbon::Relayout() {
  for (const QList<RibbonPanel*>& row : panels_) {
    for (RibbonPanel* panel : row) panel->updateGeometry();
  }
  for (QHBoxLayout* layout : pageLayouts_) layout->invalidate();
  tabBar_->updateGeometry();
  tabRow_->invalidate();
  if (layout()) layout()->activate();
  update();
}

void Ribbon::Watch(QWidget* widget) {
  widget->installEventFilter(this);
  for (QWidget* child : widget->findChildren<QWidget*>()) child->installEventFilter(this);
}

bool Ribbon::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::ChildAdded:
    case QEvent::ChildPolished: {
      // Widgets created or moved into the ribbon later follow the same rules. Installing
      // twice is harmless: Qt keeps one entry per filter object.
      QObject* child = static_cast<QChildEvent*>(event)->child();
      if (child && child->isWidgetType()) Watch(static_cast<QWidget*>(child));
      break;
    }
    case QEvent::ContextMenu:
      event->accept();
      return true;
    case QEvent::Wheel:
      if (auto* target = qobject_cast<QWidget*>(watched)) {
        return RouteWheel(target, static_cast<QWheelEvent*>(event));
      }
      break;
    default:
      break;
  }
  return QWidget::eventFilter(watched, event);
}

bool Ribbon::RouteWheel(QWidget* target, QWheelEvent* event) {
  RibbonPanel* panel = nullptr;
  // Popups parented inside a panel (a button's menu) are windows of their own: stop there.
  for (QWidget* w = target; w && !panel; w = w->isWindow() ? nullptr : w->parentWidget()) {
    panel = qobject_cast<RibbonPanel*>(w);
  }
  if (!panel || CategoryOf(panel) != ActiveCategory() || !panel->isVisible()) {
    if (target == tabBar_) {
      // Not for the tabs; the parents get it as if the tab bar were not there.
      event->ignore();
      return true;
    }
    return false;
  }

  QWidget* child = (target == panel || target == panel->Caption()) ? nullptr : target;
  const QPoint angle = event->angleDelta();
  int delta = std::abs(angle.x()) > std::abs(angle.y()) ? -angle.x() : angle.y();
  if (event->inverted()) delta = -delta;
  const bool sameTarget = panel == wheelPanel_ && child == wheelChild_;
  const bool sameDirection = wheelRemainder_ == 0 || (wheelRemainder_ > 0) == (delta > 0);
  if (!sameTarget || !sameDirection) wheelRemainder_ = 0;
  wheelPanel_ = panel;
  wheelChild_ = child;
  wheelRemainder_ += delta;
  const int steps = wheelRemainder_ / kNotch;
  wheelRemainder_ -= steps * kNotch;
  // Consumed even below a whole notch: nothing underneath may act on it.
  event->accept();
  if (steps != 0) emit wheelOverPanel(panel, child, steps);
  return true;
}

void Ribbon::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRect row(0, 0, width(), tabRowWidget_->geometry().bottom() + 1);
  QLinearGradient rowFill(row.topLeft(), row.bottomLeft());
  rowFill.setColorAt(0.0, kTabRowTop);
  rowFill.setColorAt(1.0, kTabRowBottom);
  painter.fillRect(row, rowFill);

  const QRect page(0, row.bottom() + 1, width(), height() - row.height());
  QLinearGradient pageFill(page.topLeft(), page.bottomLeft());
  pageFill.setColorAt(0.0, kPageTop);
  pageFill.setColorAt(1.0, kPageBottom);
  painter.fillRect(page, pageFill);

  // The edge between tab row and panels stays open under the active tab, so the tab and
  // its panels read as one sheet.
  painter.setPen(kEdge);
  const int edgeY = page.top();
  const int active = tabBar_->currentIndex();
  if (active >= 0) {
    const QRect tab = tabBar_->tabRect(active).translated(tabBar_->mapTo(this, QPoint()));
    painter.drawLine(QPoint(0, edgeY), QPoint(tab.left(), edgeY));
    painter.drawLine(QPoint(tab.right(), edgeY), QPoint(width() - 1, edgeY));
  } else {
    painter.drawLine(QPoint(0, edgeY), QPoint(width() - 1, edgeY));
  }
  painter.drawLine(QPoint(0, height() - 1), QPoint(width() - 1, height() - 1));
}

}  // namespace dsptune
