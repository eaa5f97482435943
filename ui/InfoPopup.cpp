#include "ui/InfoPopup.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/ProgressWindows.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

// The interface's own face, larger: naming a Windows face here would have the font
// matcher put a CJK serif in its place where it is missing.
QFont NoticeFont() {
  QFont font = QApplication::font();
  font.setPixelSize(18);
  font.setWeight(QFont::Weight(500));
  return font;
}

}  // namespace

InfoPopup::InfoPopup(QWidget* parent) : QDialog(parent) {
  setAttribute(Qt::WA_DeleteOnClose);
  setModal(false);
  setWindowTitle(PickText("信息", "Information"));
  // A notice tells; it does not take the keyboard from the window the user works in.
  setAttribute(Qt::WA_ShowWithoutActivating);

  QPalette background = palette();
  background.setColor(QPalette::Window, QColor(240, 250, 255));
  setPalette(background);
  setAutoFillBackground(true);

  m_text = new QLabel(this);
  m_text->setObjectName(QStringLiteral("text1223"));
  m_text->setAlignment(Qt::AlignCenter);
  m_text->setWordWrap(true);
  m_text->setFont(NoticeFont());
  m_text->setMinimumHeight(80);

  m_close = new QPushButton(PickText("关闭", "Close"), this);
  m_close->setObjectName(QStringLiteral("button2"));
  m_close->setDefault(true);
  connect(m_close, &QPushButton::clicked, this, &QDialog::close);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(m_close);
  buttons->addStretch();
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(m_text, 1);
  layout->addLayout(buttons);
  setFixedSize(360, 170);

  m_timer.setSingleShot(true);
  // The notices have exact durations; a coarse timer may run up to 5 % over them.
  m_timer.setTimerType(Qt::PreciseTimer);
  connect(&m_timer, &QTimer::timeout, this, &QDialog::close);

  CentreOverOwner(this);
}

void InfoPopup::ShowNotice(const QString& text, int milliseconds) {
  m_text->setText(text);
  if (isVisible())
    raise();
  else
    show();
  m_timer.start(qMax(0, milliseconds));
}

QString InfoPopup::Text() const { return m_text->text(); }

}  // namespace dsptune
