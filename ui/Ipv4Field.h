#pragma once
// An IPv4 address entry: four octet boxes (0..255) separated by dots. A box left empty
// counts as 0. Typing a dot, or a third digit, moves on to the next box and selects it,
// so an address typed over another replaces it; a dot right after a third digit moves
// nothing (the digit already did), and Backspace at the start of a box goes back.
#include <QString>
#include <QWidget>
#include <array>
#include <cstdint>

class QLineEdit;

namespace dsptune {

class Ipv4Field : public QWidget {
  Q_OBJECT
 public:
  explicit Ipv4Field(QWidget* parent = nullptr);

  std::array<std::uint8_t, 4> Octets() const;
  void SetOctets(const std::array<std::uint8_t, 4>& octets);
  // Dotted decimal without leading zeros ("10.0.0.7").
  QString Text() const;
  // Takes a dotted-decimal text; anything that is not four numbers 0..255 shows as
  // 255.255.255.255, the "no address" value.
  void SetText(const QString& dotted);

  QLineEdit& OctetBox(int i) const { return *boxes_[std::size_t(i)]; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void MoveTo(int box);

  std::array<QLineEdit*, 4> boxes_{};
  int autoAdvancedInto_ = -1;  // the box a third digit moved the cursor into, until the next key
};

// Dotted decimal text → four octets; false for anything else.
bool ParseIpv4(const QString& dotted, std::array<std::uint8_t, 4>& octets);

}  // namespace dsptune
