#include "shell/NetworkDialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "shell/ConnectFailureText.h"
#include "ui/AppSettings.h"
#include "ui/DialogTexts.h"
#include "ui/ProgressWindows.h"
#include "ui/InterfaceLanguage.h"
#include "ui/Ipv4Field.h"

namespace dsptune {
namespace {
constexpr int kAddressLabelId = 1005, kAddressFieldId = 1242, kPortFieldId = 1039, kPortLabelId = 1007;
constexpr int kStatusId = 1006, kConnectId = 1, kCancelId = 2, kScanId = 3;
}  // namespace

NetworkDialog::NetworkDialog(AppSettings& settings, Connector connector, QWidget* parent)
    : QDialog(parent), settings_(settings), connector_(std::move(connector)) {
  setModal(false);
  addressLabel_ = new QLabel(this);
  SetControlId(addressLabel_, kAddressLabelId);
  address_ = new Ipv4Field(this);
  SetControlId(address_, kAddressFieldId);

  // The port is kept from the settings store; the user is not offered it.
  auto* portLabel = new QLabel(QString::fromUtf8("通信端口："), this);
  SetControlId(portLabel, kPortLabelId);
  port_ = new QLineEdit(this);
  port_->setValidator(new QIntValidator(1, 65535, port_));
  SetControlId(port_, kPortFieldId);
  auto* scan = new QPushButton(QString::fromUtf8("扫描网段"), this);
  SetControlId(scan, kScanId);
  for (QWidget* hidden : std::initializer_list<QWidget*>{portLabel, port_, scan}) hidden->hide();

  status_ = new QLabel(this);
  SetControlId(status_, kStatusId);
  QPalette red = status_->palette();
  red.setColor(QPalette::WindowText, QColor(255, 0, 0));
  status_->setPalette(red);
  status_->setWordWrap(true);

  connect_ = new QPushButton(this);
  SetControlId(connect_, kConnectId);
  connect_->setDefault(true);
  cancel_ = new QPushButton(this);
  SetControlId(cancel_, kCancelId);
  connect(connect_, &QPushButton::clicked, this, &NetworkDialog::TryConnect);
  connect(cancel_, &QPushButton::clicked, this, &QWidget::hide);

  auto* grid = new QGridLayout(this);
  grid->addWidget(addressLabel_, 0, 0);
  grid->addWidget(address_, 0, 1);
  grid->addWidget(status_, 1, 0, 1, 2);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(connect_);
  buttons->addWidget(cancel_);
  grid->addLayout(buttons, 2, 0, 1, 2);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  port_->setText(QString::number(settings_.IpPort()));
  const QString stored = settings_.IpAddress();
  address_->SetText(stored.isEmpty() ? QString::fromLatin1(kDefaultDeviceAddress) : stored);
  ApplyTexts();
}

void NetworkDialog::ApplyTexts() {
  setWindowTitle(PickText("网络连接", "Connect IP"));
  addressLabel_->setText(PickText("机器IP地址", "Host IP:"));
  connect_->setText(PickText("尝试连接", "Connect"));
  cancel_->setText(PickText("取消", "Cancel"));
  ApplyDialogTexts(this, kDialogNumber);
}

void NetworkDialog::Open() {
  ApplyTexts();
  ShowCentred(this);
}

void NetworkDialog::TryConnect() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
  const QString address = address_->Text();
  const int port = port_->text().toInt();
  const int result = connector_ ? connector_(address, port) : 0;
  QApplication::restoreOverrideCursor();
  if (result != 1) {
    status_->setText(NetworkConnectFailureText(result));
    return;
  }
  settings_.SetNetworkPeer(address, port);
  status_->clear();
  hide();
  emit connected();
}

}  // namespace dsptune
