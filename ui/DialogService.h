#pragma once
// Message boxes and file dialogs go through this one service, so tests can answer them
// without a human and without hanging in a modal loop. Production uses QMessageBox and
// QFileDialog.
#include <QMessageBox>
#include <QString>
#include <QStringList>

class QWidget;

namespace dsptune {

class DialogService {
 public:
  virtual ~DialogService() = default;
  // A modal message box; returns the button pressed. defaultButton is the one Enter
  // presses (Qt's choice when NoButton).
  virtual QMessageBox::StandardButton Message(QWidget* parent, const QString& caption, const QString& text,
                                              QMessageBox::Icon icon,
                                              QMessageBox::StandardButtons buttons = QMessageBox::Ok,
                                              QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) = 0;
  // File dialogs; an empty result means cancelled.
  virtual QString OpenFileName(QWidget* parent, const QString& caption, const QString& filter) = 0;
  // A file to write: `proposedName` is offered, `defaultSuffix` is added to a name typed
  // without one, and an existing file is only chosen after the overwrite question.
  virtual QString SaveFileName(QWidget* parent, const QString& caption, const QString& proposedName,
                               const QString& defaultSuffix, const QString& filter) = 0;
};

// The current service (QMessageBox/QFileDialog unless a test installed another).
DialogService& Dialogs();
// nullptr restores the production service.
void SetDialogService(DialogService* service);

// A service for tests: records every message and answers with preset replies.
class ScriptedDialogs : public DialogService {
 public:
  struct Shown {
    QString caption, text;
    QMessageBox::Icon icon;
    QMessageBox::StandardButton defaultButton = QMessageBox::NoButton;
  };
  QMessageBox::StandardButton Message(QWidget*, const QString& caption, const QString& text, QMessageBox::Icon icon,
                                      QMessageBox::StandardButtons buttons,
                                      QMessageBox::StandardButton defaultButton) override {
    shown.push_back({caption, text, icon, defaultButton});
    if (buttons & answer) return answer;
    return buttons & QMessageBox::Ok ? QMessageBox::Ok : QMessageBox::NoButton;
  }
  QString OpenFileName(QWidget*, const QString&, const QString&) override { return openAnswer; }
  QString SaveFileName(QWidget*, const QString&, const QString& proposedName, const QString& defaultSuffix,
                       const QString& filter) override {
    saveRequests.push_back({proposedName, defaultSuffix, filter});
    return saveAnswer;
  }
  struct SaveRequest {
    QString proposedName, defaultSuffix, filter;
  };
  QList<SaveRequest> saveRequests;

  QList<Shown> shown;
  QMessageBox::StandardButton answer = QMessageBox::Yes;
  QString openAnswer, saveAnswer;
};

}  // namespace dsptune
