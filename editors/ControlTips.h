#pragma once
// Tooltips of the editor controls. A page sets them in its ApplyTexts, so they follow
// the interface language like every other text of the page.
#include <QWidget>

#include "ui/InterfaceLanguage.h"

namespace dsptune {

inline void SetTip(QWidget* widget, const char* chinese, const char* english) {
  widget->setToolTip(PickText(chinese, english));
}
inline void SetTip(QWidget* widget, const QString& chinese, const QString& english) {
  widget->setToolTip(PickText(chinese, english));
}

// A limiter reads the same wherever it is edited: slider 0 threshold, 1 ratio, 2 attack,
// 3 release; the switch that turns it on.
void SetLimiterSliderTip(QWidget* slider, int index);
void SetLimiterSwitchTip(QWidget* box);

}  // namespace dsptune
