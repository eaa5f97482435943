#include "shell/AboutBox.h"

#include <QDialogButtonBox>
#include <QKeyEvent>
#include <QVBoxLayout>

#include "link/LinkState.h"
#include "model/DeviceModels.h"
#include "model/ParameterImage.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {

AboutBox::AboutBox(QWidget* parent) : QDialog(parent) {
  setWindowTitle(PickText("关于", "About"));
  QPalette p = palette();
  p.setColor(QPalette::Window, QColor(240, 250, 255));
  setPalette(p);
  setAutoFillBackground(true);

  auto* layout = new QVBoxLayout(this);
  auto* title = new QLabel(QString::fromUtf8("效果器调音软件v1.3.3"));
  QFont bold = title->font();
  bold.setBold(true);
  title->setFont(bold);
  layout->addWidget(title);
  module_ = new QLabel;
  mcu_ = new QLabel;
  dsp_ = new QLabel;
  converters_ = new QLabel;
  module_->setProperty("controlId", 1005);
  mcu_->setProperty("controlId", 1007);
  dsp_->setProperty("controlId", 1006);
  converters_->setProperty("controlId", 1283);
  peak_ = new QCheckBox(QStringLiteral("Peak"));
  for (QWidget* w : {static_cast<QWidget*>(module_), static_cast<QWidget*>(mcu_), static_cast<QWidget*>(dsp_),
                     static_cast<QWidget*>(converters_), static_cast<QWidget*>(peak_)})
    layout->addWidget(w);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  layout->addWidget(buttons);

  module_->hide();
  peak_->hide();
  mcu_->hide();
  dsp_->hide();
  if (CurrentLink().connected) {
    const AboutLines lines = FormatAboutLines(IdentitySnapshot(), StatusBlockSnapshot());
    module_->setText(QString::fromStdString(lines.module));
    mcu_->setText(QString::fromStdString(lines.mcu));
    dsp_->setText(QString::fromStdString(lines.dsp));
    converters_->setText(QString::fromStdString(lines.converters));
    mcu_->show();
    dsp_->show();
  }
  peak_->setChecked(CurrentLink().pollingNotSuspended);
  connect(peak_, &QCheckBox::clicked, this, [](bool on) { CurrentLink().pollingNotSuspended = on; });
}

void AboutBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Z && event->modifiers() == (Qt::ControlModifier | Qt::ShiftModifier)) {
    module_->show();
    peak_->show();
    return;
  }
  QDialog::keyPressEvent(event);
}

}  // namespace dsptune
