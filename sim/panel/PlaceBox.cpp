#include "PlaceBox.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "FreshChip.h"
#include "PanelChoices.h"
#include "ReaderEngine.h"
#include "TransponderFactory.h"

namespace vsim::panel {

namespace {

int MaxOfWidth(int bits) {
    return bits >= 31 ? 0x7FFFFFFF : (1 << bits) - 1;
}

QSpinBox* FieldBox(const char* name) {
    auto* box = new QSpinBox;
    box->setObjectName(name);
    box->setAccelerated(true);
    return box;
}

}  // namespace

PlaceBox::PlaceBox(ReaderEngine& engine, QWidget* parent)
    : QGroupBox(QStringLiteral("Place"), parent),
      m_engine(engine),
      m_chip(new QComboBox),
      m_format(new QComboBox),
      m_fieldALabel(new QLabel),
      m_fieldA(FieldBox("placeFieldA")),
      m_number(FieldBox("placeNumber")),
      m_fixedLabel(new QLabel(QStringLiteral("Fixed:"))),
      m_fixed(FieldBox("placeFixed")) {
    m_chip->setObjectName("placeChip");
    m_format->setObjectName("placeFormat");
    for (const ChipChoice& choice : kChipChoices) {
        m_chip->addItem(QString::fromLatin1(choice.name), choice.chipType);
    }
    m_chip->setCurrentIndex(1);  // the ATA5577, the chip met most often
    for (const FormatChoice& choice : kFormatChoices) {
        m_format->addItem(QString::fromLatin1(choice.name), choice.format);
    }

    auto* fresh = new QPushButton(QStringLiteral("Blank chip"));
    auto* card = new QPushButton(QStringLiteral("Card"));
    auto* remove = new QPushButton(QStringLiteral("Remove"));
    auto* password = new QPushButton(QStringLiteral("Password chip"));
    auto* weak = new QPushButton(QStringLiteral("Weak write"));
    password->setObjectName("placePassword");
    weak->setObjectName("placeWeak");
    password->setToolTip(
        QStringLiteral("An ATA5577 with this card and a password: no block reads, no writes"));
    weak->setToolTip(
        QStringLiteral("The chip on the field acknowledges writes but keeps its data"));
    fresh->setObjectName("placeBlank");
    card->setObjectName("placeCard");
    remove->setObjectName("placeRemove");
    fresh->setToolTip(QStringLiteral("A new chip as it comes from the maker, without card data"));
    card->setToolTip(QStringLiteral("A chip already written with this card"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Chip:")), 0, 0);
    grid->addWidget(m_chip, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Format:")), 1, 0);
    grid->addWidget(m_format, 1, 1, 1, 3);
    grid->addWidget(m_fieldALabel, 2, 0);
    grid->addWidget(m_fieldA, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Number:")), 2, 2);
    grid->addWidget(m_number, 2, 3);
    grid->addWidget(m_fixedLabel, 3, 0);
    grid->addWidget(m_fixed, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(fresh);
    buttons->addWidget(card);
    buttons->addWidget(remove);
    grid->addLayout(buttons, 4, 0, 1, 4);
    auto* faults = new QHBoxLayout;
    faults->addWidget(password);
    faults->addWidget(weak);
    grid->addLayout(faults, 5, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    connect(m_format, &QComboBox::currentIndexChanged, this, &PlaceBox::ShowFormatFields);
    connect(fresh, &QPushButton::clicked, this, &PlaceBox::PlaceBlankChip);
    connect(card, &QPushButton::clicked, this, &PlaceBox::PlaceCard);
    connect(remove, &QPushButton::clicked, this, &PlaceBox::Remove);
    connect(password, &QPushButton::clicked, this, &PlaceBox::PlacePasswordChip);
    connect(weak, &QPushButton::clicked, this, &PlaceBox::MakeWeak);
    ShowFormatFields();
}

void PlaceBox::ShowFormatFields() {
    const FormatChoice& choice = kFormatChoices[std::max(0, m_format->currentIndex())];
    QString name = QString::fromLatin1(choice.fieldAName);
    name[0] = name[0].toUpper();
    m_fieldALabel->setText(name + ':');
    m_fieldA->setMaximum(MaxOfWidth(choice.widthA));
    m_number->setMaximum(MaxOfWidth(choice.widthB));
    m_fixed->setMaximum(MaxOfWidth(choice.widthC));
    m_fixedLabel->setEnabled(choice.widthC > 0);
    m_fixed->setEnabled(choice.widthC > 0);
}

void PlaceBox::PlaceBlankChip() {
    m_engine.PlaceTransponder(MakeFreshChip(m_chip->currentData().toInt()));
}

uint64_t PlaceBox::ChosenCardWord() const {
    const int format = m_format->currentData().toInt();
    return vellf::EncodeCardWord(format, static_cast<uint32_t>(m_fieldA->value()),
                                 static_cast<uint32_t>(m_number->value()),
                                 static_cast<uint32_t>(m_fixed->value()));
}

void PlaceBox::PlaceCard() {
    m_engine.PlaceTransponder(MakeCardChip(m_chip->currentData().toInt(), ChosenCardWord()));
}

void PlaceBox::PlacePasswordChip() {
    m_engine.PlaceTransponder(MakePasswordChip(chip::kAta5577, ChosenCardWord()));
}

void PlaceBox::MakeWeak() {
    m_engine.SetTransponderWeak(true);
}

void PlaceBox::Remove() {
    m_engine.RemoveTransponder();
}

}  // namespace vsim::panel
