#pragma once
// The network connection dialog (dialog 521): the device's IPv4 address and TCP port, a connect
// attempt through the main window, and the socket error in red when it fails. Modeless
// and made once; the main window shows it again on later uses.
#include <QDialog>
#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace dsptune {

class AppSettings;
class Ipv4Field;

// Shown when the settings store holds no address yet.
inline constexpr const char* kDefaultDeviceAddress = "192.168.1.100";

class NetworkDialog : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kDialogNumber = 521;
  // Opens the network link to address:port (closing a USB link first); 1 when connected,
  // otherwise the transport's error number.
  using Connector = std::function<int(const QString& address, int port)>;

  NetworkDialog(AppSettings& settings, Connector connector, QWidget* parent = nullptr);

  // Applies the language texts, centres the dialog over its owner and shows it.
  void Open();
  void ApplyTexts();
  // The connect button: one attempt with the address and port in the fields.
  void TryConnect();

  Ipv4Field& AddressField() const { return *address_; }
  QLabel& StatusText() const { return *status_; }
  QPushButton& ConnectButton() const { return *connect_; }
  QLineEdit& PortField() const { return *port_; }
  QLabel& PortLabel() const { return *portLabel_; }

 signals:
  // The link is open and the dialog hidden: the device-connected sequence may start.
  void connected();

 private:
  AppSettings& settings_;
  Connector connector_;
  Ipv4Field* address_ = nullptr;
  QLineEdit* port_ = nullptr;
  QLabel* status_ = nullptr;
  QPushButton* connect_ = nullptr;
  QPushButton* cancel_ = nullptr;
  QLabel* addressLabel_ = nullptr;
  QLabel* portLabel_ = nullptr;
};

}  // namespace dsptune
