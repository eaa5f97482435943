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
    connect(box, &QLineEdit::textEdited, this, [this, i](const QString& text) {
      autoAdvancedInto_ = -1;
      if (text.size() == 3 && i + 1 < boxes_.size()) {
        MoveTo(int(i) + 1);
        autoAdvancedInto_ = int(i) + 1;
      }
    });
  }
}

void Ipv4Field::MoveTo(int box) {
  boxes_[std::size_t(box)]->setFocus();
  boxes_[std::size_t(box)]->selectAll();  // typing replaces what the box held
}

bool Ipv4Field::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  const auto found = std::find(boxes_.begin(), boxes_.end(), watched);
  if (found == boxes_.end()) return QWidget::eventFilter(watched, event);
  const int i = int(found - boxes_.begin());
  QLineEdit* box = *found;
  if (key->text() == QLatin1String(".")) {
    // The dot after a third digit closes the octet that already moved on by itself;
    // it must not move on a second time.
    const bool closesAutoAdvance = autoAdvancedInto_ == i;
    autoAdvancedInto_ = -1;
    if (!closesAutoAdvance && i + 1 < int(boxes_.size()) && !box->text().isEmpty()) MoveTo(i + 1);
    return true;
  }
  if (key->key() == Qt::Key_Backspace && i > 0 && box->cursorPosition() == 0 && !box->hasSelectedText()) {
    // Backspace at the start of a box goes on into the one before it.
    autoAdvancedInto_ = -1;
    QLineEdit* previous = boxes_[std::size_t(i - 1)];
    previous->setFocus();
    previous->end(false);
    previous->backspace();
    return true;
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
