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

  // The port is shown beside the address: a failed attempt asks the user to check both.
  portLabel_ = new QLabel(this);
  SetControlId(portLabel_, kPortLabelId);
  port_ = new QLineEdit(this);
  port_->setValidator(new QIntValidator(1, 65535, port_));
  port_->setMaxLength(5);
  port_->setFixedWidth(port_->fontMetrics().horizontalAdvance(QStringLiteral("000000")) + 12);
  SetControlId(port_, kPortFieldId);
  // Scanning the network segment is not offered.
  auto* scan = new QPushButton(QString::fromUtf8("扫描网段"), this);
  SetControlId(scan, kScanId);
  scan->hide();

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
  grid->addWidget(portLabel_, 0, 2);
  grid->addWidget(port_, 0, 3);
  grid->addWidget(status_, 1, 0, 1, 4);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  buttons->addWidget(connect_);
  buttons->addWidget(cancel_);
  grid->addLayout(buttons, 2, 0, 1, 4);
  grid->setSizeConstraint(QLayout::SetFixedSize);

  port_->setText(QString::number(settings_.IpPort()));
  const QString stored = settings_.IpAddress();
  address_->SetText(stored.isEmpty() ? QString::fromLatin1(kDefaultDeviceAddress) : stored);
  ApplyTexts();
}

void NetworkDialog::ApplyTexts() {
  setWindowTitle(PickText("网络连接", "Connect IP"));
  addressLabel_->setText(PickText("机器IP地址", "Host IP:"));
  portLabel_->setText(PickText("通信端口：", "Port:"));
  connect_->setText(PickText("尝试连接", "Connect"));
  cancel_->setText(PickText("取消", "Cancel"));
  address_->setToolTip(PickText("设备网络模块的IPv4地址", "IPv4 address of the device's network module"));
  port_->setToolTip(PickText("设备网络模块的TCP端口（默认30303）", "TCP port of the device's network module (30303 by default)"));
  connect_->setToolTip(PickText("用上面的地址和端口连接设备；已有的USB连接会先断开",
                                "Connect to the device at this address and port; an open USB link is closed first"));
  cancel_->setToolTip(PickText("关闭此窗口，不连接", "Close this window without connecting"));
  ApplyDialogTexts(this, kDialogNumber);
}

void NetworkDialog::Open() {
  ApplyTexts();
  ShowCentred(this);
}

void NetworkDialog::TryConnect() {
  const QString address = address_->Text();
  bool portOk = false;
  const int port = port_->text().toInt(&portOk);
  if (!portOk || port < 1 || port > 65535) {
    status_->setText(PickText("端口号无效：请输入1到65535之间的数字", "Not a valid port: enter a number from 1 to 65535"));
    return;
  }
  QApplication::setOverrideCursor(Qt::WaitCursor);
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
