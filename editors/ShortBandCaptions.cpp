#include "editors/ShortBandCaptions.h"

#include <QGroupBox>
#include <QLabel>

#include "editors/EqBandEditor.h"
#include "ui/DialogTexts.h"
#include "ui/InterfaceLanguage.h"

namespace dsptune {
namespace {

// By the control numbers the editor gives its captions (EqBandEditorIds defaults).
struct Caption {
  int controlId;
  const char* chinese;
  const char* english;
};
constexpr Caption kCaptions[] = {
    {1199, "增益", "Gain"},
    {1200, "频率", "F"},
    {1201, "Q值", "Q"},
    {1202, "均衡类型", "EQ Type"},
};

}  // namespace

void ApplyShortBandCaptions(EqBandEditor& editor) {
  for (QWidget* w : editor.findChildren<QWidget*>()) {
    const int id = ControlId(w);
    for (const Caption& c : kCaptions) {
      if (c.controlId != id) continue;
      if (auto* label = qobject_cast<QLabel*>(w)) label->setText(PickText(c.chinese, c.english));
      if (auto* group = qobject_cast<QGroupBox*>(w)) group->setTitle(PickText(c.chinese, c.english));
    }
  }
}

}  // namespace dsptune
