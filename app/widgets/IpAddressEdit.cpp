#include "IpAddressEdit.h"

#include <QStringList>
#include <QStyle>
#include <QValidator>

namespace {

constexpr int kOctets = 4;
constexpr int kOctetMax = 255;

// The octets of a dotted text; false when it cannot become an address by typing on.
bool SplitOctets(const QString& text, QStringList& octets) {
    octets = text.split('.');
    if (octets.size() > kOctets) return false;
    for (const QString& octet : octets) {
        if (octet.size() > 3) return false;
        for (const QChar c : octet)
            if (c < '0' || c > '9') return false;
        if (!octet.isEmpty() && octet.toInt() > kOctetMax) return false;
    }
    return true;
}

bool AllOctetsPresent(const QStringList& octets) {
    if (octets.size() != kOctets) return false;
    for (const QString& octet : octets)
        if (octet.isEmpty()) return false;
    return true;
}

class OctetValidator : public QValidator {
  public:
    using QValidator::QValidator;
    State validate(QString& input, int&) const override {
        QStringList octets;
        if (!SplitOctets(input, octets)) return Invalid;
        return input.isEmpty() || AllOctetsPresent(octets) ? Acceptable : Intermediate;
    }
};

}  // namespace

CIpAddressEdit::CIpAddressEdit(QWidget* parent) : QLineEdit(parent) {
    setValidator(new OctetValidator(this));
}

bool CIpAddressEdit::IsBlank() const {
    return text().trimmed().isEmpty();
}

bool CIpAddressEdit::IsComplete() const {
    QStringList octets;
    return SplitOctets(text().trimmed(), octets) && AllOctetsPresent(octets);
}

QString CIpAddressEdit::Address() const {
    QStringList octets;
    if (!SplitOctets(text().trimmed(), octets) || !AllOctetsPresent(octets)) return {};
    QStringList numbers;
    for (const QString& octet : octets) numbers << QString::number(octet.toInt());
    return numbers.join('.');
}

void CIpAddressEdit::SetAddress(const QString& text) {
    QStringList octets;
    const QString trimmed = text.trimmed();
    setText(SplitOctets(trimmed, octets) && AllOctetsPresent(octets) ? trimmed : QString());
}

QSize CIpAddressEdit::sizeHint() const {
    // Wide enough for 255.255.255.255 and a little room, no wider.
    QSize hint = QLineEdit::sizeHint();
    const int frame = style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, this);
    hint.setWidth(fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + 2 * frame +
                  12);
    return hint;
}

QSize CIpAddressEdit::minimumSizeHint() const {
    return sizeHint();
}
