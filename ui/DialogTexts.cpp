#include "ui/DialogTexts.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>

#include "ui/LanguageTables.h"

namespace dsptune {
namespace {

void SetControlText(QWidget* widget, const QString& text) {
  if (auto* label = qobject_cast<QLabel*>(widget)) {
    label->setText(text);
  } else if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
    button->setText(text);
  } else if (auto* group = qobject_cast<QGroupBox*>(widget)) {
    group->setTitle(text);
  }
}

void ApplyToChildren(QWidget* parent, int dialogNumber) {
  for (QObject* object : parent->children()) {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr || widget->isWindow()) continue;
    if (const int id = ControlId(widget); id != 0) {
      const QString text = LookupLanguageText(ControlTextKey(dialogNumber, id));
      if (!text.isEmpty()) SetControlText(widget, text);
    }
    ApplyToChildren(widget, dialogNumber);
  }
}

}  // namespace

void ApplyDialogTexts(QWidget* dialog, int dialogNumber) {
  if (dialog == nullptr) return;
  const QString title = LookupLanguageText(DialogTitleKey(dialogNumber));
  if (!title.isEmpty()) dialog->setWindowTitle(title);
  ApplyToChildren(dialog, dialogNumber);
}

}  // namespace dsptune
