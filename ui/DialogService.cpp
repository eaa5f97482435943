#include "ui/DialogService.h"

#include <QFileDialog>
#include <QRegularExpression>

namespace dsptune {
namespace {

// "SVG image (*.svg)" -> "svg"; empty for a type without one suffix of its own ("All files (*)").
QString SuffixOfFilter(const QString& filter) {
  static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
  return pattern.match(filter).captured(1);
}

class QtDialogs final : public DialogService {
 public:
  QMessageBox::StandardButton Message(QWidget* parent, const QString& caption, const QString& text,
                                      QMessageBox::Icon icon, QMessageBox::StandardButtons buttons,
                                      QMessageBox::StandardButton defaultButton) override {
    QMessageBox box(icon, caption, text, buttons, parent);
    if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
  }
  QString OpenFileName(QWidget* parent, const QString& caption, const QString& filter) override {
    return QFileDialog::getOpenFileName(parent, caption, QString(), filter);
  }
  QString SaveFileName(QWidget* parent, const QString& caption, const QString& proposedName,
                       const QString& defaultSuffix, const QString& filter) override {
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(defaultSuffix);
    // The chosen type decides the suffix a bare name gets, so "SVG image" with a name
    // typed without one is saved as .svg (and the overwrite question asks about that name).
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, defaultSuffix](const QString& filter) {
      const QString suffix = SuffixOfFilter(filter);
      dialog.setDefaultSuffix(suffix.isEmpty() ? defaultSuffix : suffix);
    });
    dialog.selectFile(proposedName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return QString();
    return dialog.selectedFiles().constFirst();
  }
};

DialogService* g_service = nullptr;

}  // namespace

DialogService& Dialogs() {
  static QtDialogs production;
  return g_service ? *g_service : production;
}

void SetDialogService(DialogService* service) { g_service = service; }

}  // namespace dsptune
