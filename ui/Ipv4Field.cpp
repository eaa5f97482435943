#include "ui/Ipv4Field.h"

#include <QHBoxLayout>
#include <algorithm>
#include <QValidator>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStringList>

namespace dsptune {
namespace {

// Digits only, and never a number above 255: QIntValidator would let "999" stand as an
// unfinished entry that is then read as something else.
class OctetValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int&) const override {
    if (input.isEmpty()) return Intermediate;
    if (input.size() > 3) return Invalid;
    for (QChar c : input)
      if (c < QLatin1Char('0') || c > QLatin1Char('9')) return Invalid;
    return input.toInt() <= 255 ? Acceptable : Invalid;
  }
};

}  // namespace

bool ParseIpv4(const QString& dotted, std::array<std::uint8_t, 4>& octets) {
  const QStringList parts = dotted.trimmed().split(QLatin1Char('.'));
  if (parts.size() != 4) return false;
  std::array<std::uint8_t, 4> result{};
  for (int i = 0; i < 4; ++i) {
    const QString& part = parts[i];
    if (part.isEmpty() || part.size() > 3) return false;
    for (QChar c : part)
      if (c < QLatin1Char('0') || c > QLatin1Char('9')) return false;
    const int value = part.toInt();
    if (value > 255) return false;
    result[std::size_t(i)] = std::uint8_t(value);
  }
  octets = result;
  return true;
}

Ipv4Field::Ipv4Field(QWidget* parent) : QWidget(parent) {
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(2);
  for (std::size_t i = 0; i < boxes_.size(); ++i) {
    if (i > 0) layout->addWidget(new QLabel(QStringLiteral("."), this));
    auto* box = new QLineEdit(this);
    box->setValidator(new OctetValidator(box));
    box->setMaxLength(3);
    box->setAlignment(Qt::AlignCenter);
    box->setFixedWidth(box->fontMetrics().horizontalAdvance(QStringLiteral("0000")) + 8);
    box->installEventFilter(this);
    layout->addWidget(box);
    boxes_[i] = box;
    if (i + 1 < boxes_.size()) {
      connect(box, &QLineEdit::textEdited, this, [this, i](const QString& text) {
        if (text.size() == 3) boxes_[i + 1]->setFocus();
      });
    }
  }
}

bool Ipv4Field::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    for (std::size_t i = 0; i + 1 < boxes_.size(); ++i) {
      if (watched == boxes_[i] && key->text() == QLatin1String(".")) {
        boxes_[i + 1]->setFocus();
        boxes_[i + 1]->selectAll();
        return true;
      }
    }
  }
  return QWidget::eventFilter(watched, event);
}

std::array<std::uint8_t, 4> Ipv4Field::Octets() const {
  std::array<std::uint8_t, 4> octets{};
  for (std::size_t i = 0; i < boxes_.size(); ++i) octets[i] = std::uint8_t(std::clamp(boxes_[i]->text().toInt(), 0, 255));
  return octets;
}

void Ipv4Field::SetOctets(const std::array<std::uint8_t, 4>& octets) {
  for (std::size_t i = 0; i < boxes_.size(); ++i) boxes_[i]->setText(QString::number(octets[i]));
}

QString Ipv4Field::Text() const {
  const auto o = Octets();
  return QStringLiteral("%1.%2.%3.%4").arg(o[0]).arg(o[1]).arg(o[2]).arg(o[3]);
}

void Ipv4Field::SetText(const QString& dotted) {
  std::array<std::uint8_t, 4> octets{255, 255, 255, 255};
  ParseIpv4(dotted, octets);
  SetOctets(octets);
}

}  // namespace dsptune
