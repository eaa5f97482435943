#include "shell/ReconcileDialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

QString Text(const BilingualText& text) {
  return QString::fromStdString(text[CurrentLanguage() == kEnglish ? kTextEnglish : kTextChinese]);
}

}  // namespace

ReconcileDialog::ReconcileDialog(const std::vector<SettingsDifference>& differences, QWidget* parent)
    : QDialog(parent) {
  setWindowTitle(PickText("设备设置与本机设置不同", "Device settings differ"));
  intro_ = new QLabel(PickText("设备未连接时所做的修改与设备当前的设置不同（%1 项）。请选择保留哪一方：",
                               "Edits made while the device was not connected differ from the device's "
                               "settings (%1 items). Choose which to keep:")
                          .arg(differences.size()));
  intro_->setWordWrap(true);
  table_ = new QTableWidget(int(differences.size()), 4);
  table_->setHorizontalHeaderLabels({PickText("页面", "Page"), PickText("参数", "Parameter"),
                                     PickText("设备的值", "Device"), PickText("我的值", "Mine")});
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->verticalHeader()->hide();
  for (int row = 0; row < int(differences.size()); ++row) {
    const SettingsDifference& d = differences[std::size_t(row)];
    const QString cells[] = {Text(d.page), Text(d.item), Text(d.first), Text(d.second)};
    for (int column = 0; column < 4; ++column) table_->setItem(row, column, new QTableWidgetItem(cells[column]));
  }
  table_->resizeColumnsToContents();
  table_->horizontalHeader()->setStretchLastSection(true);

  auto* buttons = new QDialogButtonBox;
  sendMine_ = buttons->addButton(PickText("发送我的设置", "Send mine"), QDialogButtonBox::AcceptRole);
  keepDevice_ = buttons->addButton(PickText("保留设备的设置", "Keep the device's"), QDialogButtonBox::RejectRole);
  sendMine_->setToolTip(PickText("只把不同的参数写入设备", "Writes only what differs to the device"));
  keepDevice_->setToolTip(PickText("用设备的设置替换本机的修改", "Replaces your edits with the device's settings"));
  connect(sendMine_, &QPushButton::clicked, this, [this] {
    choice_ = ReconcileChoice::SendMine;
    accept();
  });
  connect(keepDevice_, &QPushButton::clicked, this, [this] {
    choice_ = ReconcileChoice::KeepDevice;
    reject();
  });

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(intro_);
  layout->addWidget(table_, 1);
  layout->addWidget(buttons);
  resize(720, 360);
}

ReconcileChoice ReconcileDialog::Ask(const std::vector<SettingsDifference>& differences, QWidget* parent) {
  ReconcileDialog dialog(differences, parent);
  dialog.exec();
  return dialog.Choice();
}

}  // namespace dsptune
