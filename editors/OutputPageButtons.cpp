#include "editors/OutputPageButtons.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QPushButton>

#include <algorithm>

#include "editors/ControlTips.h"
#include "ui/DialogTexts.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

const char* const kPageChinese[OutputPageButtons::kPages] = {nullptr, "录音输出", "输出压限"};
const char* const kPageEnglish[OutputPageButtons::kPages] = {"Location", "Record", "Comp"};

}  // namespace

OutputPageButtons::OutputPageButtons(QWidget* page, const Options& options) : QObject(page), options_(options) {
  if (options_.selectableChannels) {
    channelGroup_ = new QButtonGroup(this);
    channelGroup_->setExclusive(true);
  }
  for (int c = 0; c < kChannels; ++c) {
    auto* button = new QPushButton(page);
    button->setMinimumHeight(options_.buttonHeight);
    SetControlId(button, kChannelButtonIds[std::size_t(c)]);
    if (channelGroup_) {
      button->setCheckable(true);
      channelGroup_->addButton(button, c);
    }
    connect(button, &QPushButton::clicked, this, [this, c] { emit outputPageRequested(c); });
    channelButtons_[std::size_t(c)] = button;
  }
  for (int i = 0; i < kPages; ++i) {
    auto* button = new QPushButton(page);
    button->setMinimumHeight(options_.buttonHeight);
    SetControlId(button, kPageButtonIds[std::size_t(i)]);
    const int kind = kPageKinds[std::size_t(i)];
    if (kind == options_.pressedKind) {
      button->setCheckable(true);
      pressedPage_ = i;
    }
    connect(button, &QPushButton::clicked, this, [this, kind] {
      ShowPagePressed();
      emit pageRequested(kind);
    });
    pageButtons_[std::size_t(i)] = button;
  }
  ShowPagePressed();
  ApplyTexts();
}

QPushButton& OutputPageButtons::ChannelButton(int channel) const {
  return *channelButtons_[std::size_t(std::clamp(channel, 0, kChannels - 1))];
}

QPushButton& OutputPageButtons::PageButton(int index) const {
  return *pageButtons_[std::size_t(std::clamp(index, 0, kPages - 1))];
}

void OutputPageButtons::ApplyTexts() {
  for (int c = 0; c < kChannels; ++c) {
    const char* english = options_.englishChannels[std::size_t(c)];
    channelButtons_[std::size_t(c)]->setText(
        PickText(QString::fromUtf8("通道%1").arg(c + 1),
                 english ? QString::fromUtf8(english) : QStringLiteral("CH %1").arg(c + 1)));
  }
  for (int i = 0; i < kPages; ++i) {
    const char* chinese = i == 0 ? options_.locationChinese : kPageChinese[i];
    pageButtons_[std::size_t(i)]->setText(PickText(chinese, kPageEnglish[i]));
  }
  for (int c = 0; c < kChannels; ++c)
    SetTip(channelButtons_[std::size_t(c)], QString::fromUtf8("打开通道%1的输出页").arg(c + 1),
           QStringLiteral("Open the output page of CH %1").arg(c + 1));
  static const char* const kTipChinese[kPages] = {"声场定位：按房间里的位置设定各通道的电平", "录音输出的混合、均衡和压限",
                                                  "各输出通道的压限器"};
  static const char* const kTipEnglish[kPages] = {"Location: channel levels from the places in the room",
                                                  "Mix, EQ and limiter of the record output", "Limiters of the output channels"};
  for (int i = 0; i < kPages; ++i) SetTip(pageButtons_[std::size_t(i)], kTipChinese[i], kTipEnglish[i]);
}

void OutputPageButtons::ShowPagePressed() {
  if (pressedPage_ >= 0) pageButtons_[std::size_t(pressedPage_)]->setChecked(true);
}

void OutputPageButtons::ShowChannel(int channel) {
  if (channelGroup_) ChannelButton(channel).setChecked(true);
}

QHBoxLayout* OutputPageButtons::MakeRow() const {
  auto* row = new QHBoxLayout;
  row->setSpacing(4);
  for (QPushButton* button : channelButtons_) row->addWidget(button, 1);
  row->addSpacing(12);
  for (QPushButton* button : pageButtons_) row->addWidget(button, 1);
  return row;
}

}  // namespace dsptune
