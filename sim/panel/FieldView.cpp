#include "FieldView.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>
#include <algorithm>

#include "PanelChoices.h"

namespace vsim::panel {

namespace {

QString Hex(uint64_t value, int digits) {
    return QString::number(value, 16).toUpper().rightJustified(digits, '0');
}

QString HexBytes(const uint8_t* data, size_t size) {
    QStringList bytes;
    for (size_t i = 0; i < size; ++i) bytes << Hex(data[i], 2);
    return bytes.join(' ');
}

QString CodingName(int coding) {
    return coding == coding::kManchester ? QStringLiteral("Manchester") : QStringLiteral("biphase");
}

// "0, 2-5, 9" for the set positions.
QString Ranges(const std::vector<bool>& set) {
    QStringList parts;
    for (size_t i = 0; i < set.size(); ++i) {
        if (!set[i]) continue;
        size_t last = i;
        while (last + 1 < set.size() && set[last + 1]) ++last;
        parts << (last == i ? QString::number(i) : QStringLiteral("%1-%2").arg(i).arg(last));
        i = last;
    }
    return parts.join(", ");
}

QFont FixedFont() {
    return QFontDatabase::systemFont(QFontDatabase::FixedFont);
}

}  // namespace

FieldView::FieldView(QWidget* parent)
    : QGroupBox(QStringLiteral("On the field"), parent),
      m_chip(new QLabel),
      m_id(new QLabel),
      m_card(new QLabel),
      m_lock(new QLabel),
      m_memory(new QPlainTextEdit) {
    m_chip->setObjectName("fieldChip");
    m_id->setObjectName("fieldId");
    m_card->setObjectName("fieldCard");
    m_lock->setObjectName("fieldLock");
    m_memory->setObjectName("fieldMemory");
    for (QLabel* label : {m_chip, m_id, m_card, m_lock}) {
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    }
    m_id->setFont(FixedFont());
    m_memory->setFont(FixedFont());
    m_memory->setReadOnly(true);
    m_memory->setLineWrapMode(QPlainTextEdit::NoWrap);
    // Room for the twelve blocks of an ATA5577 without scrolling.
    m_memory->setMinimumSize(QFontMetrics(FixedFont()).horizontalAdvance(QString(30, 'X')),
                             QFontMetrics(FixedFont()).lineSpacing() * 14);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("Chip:"), m_chip);
    form->addRow(QStringLiteral("ID:"), m_id);
    form->addRow(QStringLiteral("Card:"), m_card);
    form->addRow(QStringLiteral("Lock:"), m_lock);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(new QLabel(QStringLiteral("Memory:")));
    layout->addWidget(m_memory, 1);
    Show(std::nullopt);
}

void FieldView::SetText(QLabel* label, const QString& text) {
    if (label->text() != text) label->setText(text);
}

void FieldView::Show(const std::optional<TransponderSnapshot>& snapshot) {
    if (!snapshot) {
        SetText(m_chip, QStringLiteral("nothing on the field"));
        for (QLabel* label : {m_id, m_card, m_lock}) SetText(label, QStringLiteral("-"));
        if (!m_memory->toPlainText().isEmpty()) m_memory->clear();
        return;
    }
    SetText(m_chip, ChipText(*snapshot));
    SetText(m_id, IdText(*snapshot));
    SetText(m_card, CardText(*snapshot));
    SetText(m_lock, LockText(*snapshot));
    // Replacing the text resets the scroll position, so only a change replaces it.
    const QString memory = MemoryText(*snapshot);
    if (m_memory->toPlainText() != memory) m_memory->setPlainText(memory);
}

QString FieldView::ChipText(const TransponderSnapshot& snapshot) {
    const QString model = QString::fromStdString(snapshot.model);
    if (snapshot.rawCoding >= 0) return model;
    return QStringLiteral("%1 (type %2)").arg(model).arg(snapshot.chipType);
}

// As the station shows it: the bytes as the chip sends them, read as a little-endian number.
QString FieldView::IdText(const TransponderSnapshot& snapshot) {
    if (!snapshot.id) return QStringLiteral("none (read-only card)");
    uint64_t value = 0;
    for (size_t i = snapshot.id->size(); i > 0; --i) value = (value << 8) | (*snapshot.id)[i - 1];
    return QString::number(value, 16).toUpper();
}

QString FieldView::CardText(const TransponderSnapshot& snapshot) {
    if (snapshot.rawCoding >= 0) {
        return QStringLiteral("sends %1 (%2)")
            .arg(HexBytes(snapshot.rawData.data(), snapshot.rawData.size()),
                 CodingName(snapshot.rawCoding));
    }
    if (!snapshot.cardWord) return QStringLiteral("no card data");
    const uint64_t word = *snapshot.cardWord;
    QStringList lines;
    for (const FormatChoice& format : kFormatChoices) {
        const vellf::DecodedCard card = vellf::DecodeCardWord(format.format, word);
        if (card.status != vellf::kCardOk) continue;
        QString line =
            QStringLiteral("%1: %2 %3, number %4")
                .arg(QString::fromLatin1(format.name), QString::fromLatin1(format.fieldAName))
                .arg(card.fieldA)
                .arg(card.fieldB);
        if (format.widthC > 0) line += QStringLiteral(", fixed %1").arg(card.fieldC);
        lines << line;
    }
    if (lines.isEmpty()) lines << QStringLiteral("no known format");
    lines << QStringLiteral("word %1").arg(Hex(word, 11));
    return lines.join('\n');
}

QString FieldView::LockText(const TransponderSnapshot& snapshot) {
    if (snapshot.rawCoding >= 0) return QStringLiteral("read-only");
    size_t lockedCount = 0;
    for (bool locked : snapshot.locked) lockedCount += locked ? 1 : 0;
    if (lockedCount == 0) return QStringLiteral("unlocked");
    if (lockedCount == snapshot.locked.size()) return QStringLiteral("write-protected");
    const bool bytes = snapshot.unitSize == 1;
    const QString unit = QString::fromLatin1(bytes ? "byte" : "block") +
                         (lockedCount > 1 ? QStringLiteral("s") : QString());
    return QStringLiteral("%1 %2 locked").arg(unit, Ranges(snapshot.locked));
}

QString FieldView::MemoryText(const TransponderSnapshot& snapshot) {
    if (snapshot.rawCoding >= 0) return {};
    QStringList lines;
    if (snapshot.unitSize == 4) {
        for (size_t block = 0; block < snapshot.UnitCount(); ++block) {
            const bool locked = block < snapshot.locked.size() && snapshot.locked[block];
            lines << QStringLiteral("%1  %2%3")
                         .arg(block, 2)
                         .arg(Hex(snapshot.BlockValue(block), 8),
                              locked ? QStringLiteral("  locked") : QString());
        }
    } else {
        constexpr size_t kBytesPerLine = 8;
        for (size_t offset = 0; offset < snapshot.memory.size(); offset += kBytesPerLine) {
            const size_t count = std::min(kBytesPerLine, snapshot.memory.size() - offset);
            lines << QStringLiteral("%1  %2").arg(offset, 2).arg(
                HexBytes(snapshot.memory.data() + offset, count));
        }
    }
    return lines.join('\n');
}

}  // namespace vsim::panel
