#pragma once
// Dialog texts from the current language file (see LanguageTables.h). A dialog marks each
// control that has a text key with its control number; ApplyDialogTexts then sets the
// title and every marked control's text for the current language.
#include <QVariant>
#include <QWidget>

namespace dsptune {

// Name of the dynamic property (int) that carries a widget's control number.
inline constexpr char kControlIdProperty[] = "controlId";

inline void SetControlId(QWidget* widget, int controlId) { widget->setProperty(kControlIdProperty, controlId); }

// The control number of a widget; 0 when it has none.
inline int ControlId(const QWidget* widget) {
  bool ok = false;
  const int id = widget->property(kControlIdProperty).toInt(&ok);
  return ok ? id : 0;
}

// Sets the window title from "IDD<dialogNumber>_title" and, for each descendant widget
// with a control number (depth first, in child order; separate windows and their
// controls are left alone), its text from "IDD<dialogNumber>_<control>". Only keys that
// are present with a non-empty value change anything. The text is set on QLabel
// (setText), QAbstractButton (setText: push buttons, check boxes, radio buttons, tool
// buttons) and QGroupBox (setTitle); other widgets keep their contents, so an edit box
// is never overwritten.
void ApplyDialogTexts(QWidget* dialog, int dialogNumber);

}  // namespace dsptune
