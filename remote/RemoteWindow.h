#pragma once
// The remote-control window (dialog 373): one button per device function to learn its
// key from the user's remote, a picture of a remote in the interface language, and the
// commands that apply the learned table to the device or keep it in a ".remo" file.
// Modeless; the main window makes it once (only while a link is open) and shows it
// again later. The learned table is the link's remote code table: the device's learning
// answers fill it, and nothing reaches the device until Apply or Load file.
#include <QDialog>
#include <QList>
#include <QString>

#include <vector>

class QPushButton;

namespace dsptune {

class ProgressWindows;
class RemotePicture;

// The question asked before codes the device never gave would be sent over its own:
// names the keys (runs such as "16–25") in the interface language.
QString UnknownKeysQuestion(const std::vector<int>& keys);

class RemoteWindow : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogNumber = 373;
  // How long each result notice stays up.
  static constexpr int kNoticeMs = 1100;

  explicit RemoteWindow(ProgressWindows& progress, QWidget* parent = nullptr);

  // Applies the language texts (the picture follows), centres the window over its owner
  // and shows it.
  void Open();
  void ApplyTexts();

  // One learning run for key 1..25: the learn command, then the modal learning window
  // until the device reports the key or the user cancels. Status polling is off
  // meanwhile. Other numbers do nothing.
  void LearnKey(int key);
  // Sends the whole remote code table (0x63) and reports it saved. Keys whose codes were
  // neither read from this device nor learned or loaded since it connected would replace
  // the device's own: the user is asked first, and No sends nothing.
  void Apply();
  // Only with a link: a ".remo" file into the table and at once to the device. A file too
  // short to hold every key asks first, as Apply does, when keys past its end are unknown.
  void LoadFile();
  // LoadFile with the file already chosen (a .remo file opened from the file manager).
  void OpenFile(const QString& path);
  // Only with a link: the table into a ".remo" file; nothing is sent.
  void SaveFile();

  QPushButton& KeyButton(int key) const { return *keys_.at(key - 1); }
  QPushButton& LoadButton() const { return *load_; }
  QPushButton& SaveButton() const { return *save_; }
  QPushButton& ApplyButton() const { return *apply_; }
  RemotePicture& Picture() const { return *picture_; }

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void Notice(const QString& text);
  bool RequireLink();
  // True when nothing unknown would be sent or the user agreed to replace it.
  bool AcceptUnknownKeys(const std::vector<int>& keys);

  ProgressWindows& progress_;
  QList<QPushButton*> keys_;
  QPushButton* load_ = nullptr;   // control 3
  QPushButton* save_ = nullptr;   // control 4
  QPushButton* apply_ = nullptr;  // control 1
  RemotePicture* picture_ = nullptr;
};

}  // namespace dsptune
