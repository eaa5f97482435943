#include "editors/ControlTips.h"

#include <algorithm>

namespace dsptune {

void SetLimiterSliderTip(QWidget* slider, int index) {
  static const char* const kChinese[4] = {"压限开始起作用的电平", "超过阈值部分的压缩比例", "压限起作用的速度",
                                          "压限松开的速度"};
  static const char* const kEnglish[4] = {"Level where limiting starts", "Compression ratio above the threshold",
                                          "How fast limiting sets in", "How fast limiting lets go"};
  const int i = std::clamp(index, 0, 3);
  SetTip(slider, kChinese[i], kEnglish[i]);
}

void SetLimiterSwitchTip(QWidget* box) { SetTip(box, "打开压限器", "Turns the limiter on"); }

}  // namespace dsptune
