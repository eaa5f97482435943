#include "shell/ReconcileDialog.h"

#include <QComboBox>
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

QString ChangedBy(MergeKind kind) {
  switch (kind) {
    case MergeKind::UserEdit: return PickText("我的修改", "my edit");
    case MergeKind::Conflict: return PickText("双方都改了", "both changed");
    default: return PickText("不明", "unknown");
  }
}

QTableWidget* MakeTable(int rows, const QStringList& headers) {
  auto* table = new QTableWidget(rows, int(headers.size()));
  table->setHorizontalHeaderLabels(headers);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->verticalHeader()->hide();
  return table;
}

void Fill(QTableWidget& table, int row, const QStringList& cells) {
  for (int column = 0; column < int(cells.size()); ++column)
    table.setItem(row, column, new QTableWidgetItem(cells[column]));
}

}  // namespace

ReconcileDialog::ReconcileDialog(const SettingsMerge& merge, QWidget* parent) : QDialog(parent), merge_(merge) {
  std::vector<std::size_t> deviceItems;
  for (std::size_t i = 0; i < merge_.items.size(); ++i) {
    if (IsQuestion(merge_.items[i].kind)) rowItems_.push_back(i);
    else if (merge_.items[i].kind == MergeKind::DeviceChange) deviceItems.push_back(i);
  }

  setWindowTitle(PickText("设备设置与本机设置不同", "Device settings differ"));
  intro_ = new QLabel(PickText("设备未连接时所做的修改与设备当前的设置不同（%1 项）。请逐项选择保留哪一方：",
                               "Edits made while the device was not connected differ from the device's "
                               "settings (%1 items). Choose for each which to keep:")
                          .arg(rowItems_.size()));
  intro_->setWordWrap(true);
  table_ = MakeTable(int(rowItems_.size()), {PickText("页面", "Page"), PickText("参数", "Parameter"),
                                             PickText("设备的值", "Device"), PickText("我的值", "Mine"),
                                             PickText("修改方", "Changed"), PickText("保留", "Keep")});
  for (int row = 0; row < int(rowItems_.size()); ++row) {
    const MergeItem& m = merge_.items[rowItems_[std::size_t(row)]];
    Fill(*table_, row, {Text(m.item.page), Text(m.item.item), Text(m.item.first), Text(m.item.second),
                        ChangedBy(m.kind)});
    auto* side = new QComboBox;
    side->addItems({PickText("设备的值", "The device's"), PickText("我的值", "Mine")});
    side->setCurrentIndex(m.take == MergeSide::Mine ? 1 : 0);
    connect(side, &QComboBox::currentIndexChanged, this, [this, row](int index) {
      merge_.items[rowItems_[std::size_t(row)]].take = index == 1 ? MergeSide::Mine : MergeSide::Device;
    });
    table_->setCellWidget(row, kSideColumn, side);
  }
  table_->resizeColumnsToContents();
  table_->horizontalHeader()->setStretchLastSection(true);

  deviceLabel_ = new QLabel(PickText("设备上已更改的设置（直接采用）：",
                                     "Settings changed on the device (taken without asking):"));
  deviceTable_ = MakeTable(int(deviceItems.size()), {PickText("页面", "Page"), PickText("参数", "Parameter"),
                                                     PickText("原来的值", "Before"), PickText("设备的值", "Device")});
  for (int row = 0; row < int(deviceItems.size()); ++row) {
    const MergeItem& m = merge_.items[deviceItems[std::size_t(row)]];
    Fill(*deviceTable_, row, {Text(m.item.page), Text(m.item.item), Text(m.base), Text(m.item.first)});
  }
  deviceTable_->resizeColumnsToContents();
  deviceTable_->horizontalHeader()->setStretchLastSection(true);
  deviceLabel_->setVisible(!deviceItems.empty());
  deviceTable_->setVisible(!deviceItems.empty());

  auto* buttons = new QDialogButtonBox;
  sendMine_ = buttons->addButton(PickText("发送我的设置", "Send mine"), QDialogButtonBox::AcceptRole);
  keepDevice_ = buttons->addButton(PickText("保留设备的设置", "Keep the device's"), QDialogButtonBox::RejectRole);
  sendMine_->setToolTip(PickText("只把选为“我的值”的参数写入设备，其余采用设备的设置",
                                 "Writes only the values chosen as mine to the device; the rest is the device's"));
  keepDevice_->setToolTip(PickText("用设备的设置替换本机的全部修改", "Replaces all your edits with the device's settings"));
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
  layout->addWidget(table_, 2);
  layout->addWidget(deviceLabel_);
  layout->addWidget(deviceTable_, 1);
  layout->addWidget(buttons);
  resize(820, deviceItems.empty() ? 360 : 480);
}

QComboBox& ReconcileDialog::SideBox(int row) const {
  return *static_cast<QComboBox*>(table_->cellWidget(row, kSideColumn));
}

ReconcileChoice ReconcileDialog::Ask(SettingsMerge& merge, QWidget* parent) {
  ReconcileDialog dialog(merge, parent);
  dialog.exec();
  merge = dialog.Merge();
  return dialog.Choice();
}

}  // namespace dsptune
