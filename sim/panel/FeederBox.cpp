#include "FeederBox.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>

#include "CardFeeder.h"
#include "PanelChoices.h"

namespace vsim::panel {

namespace {

QString StateText(CardFeeder::State state) {
    switch (state) {
        case CardFeeder::State::Idle:
            return QStringLiteral("not started");
        case CardFeeder::State::Waiting:
            return QStringLiteral("waiting for a write");
        case CardFeeder::State::Pausing:
            return QStringLiteral("pausing");
        case CardFeeder::State::Done:
            return QStringLiteral("done");
        case CardFeeder::State::Stopped:
            return QStringLiteral("stopped");
        case CardFeeder::State::Interrupted:
            return QStringLiteral("interrupted (the chip was moved)");
    }
    return {};
}

}  // namespace

FeederBox::FeederBox(CardFeeder& feeder, QWidget* parent)
    : QGroupBox(QStringLiteral("Card feeder"), parent),
      m_feeder(feeder),
      m_chip(new QComboBox),
      m_count(new QSpinBox),
      m_pause(new QSpinBox),
      m_start(new QPushButton),
      m_progress(new QLabel) {
    m_chip->setObjectName("feederChip");
    m_count->setObjectName("feederCount");
    m_pause->setObjectName("feederPause");
    m_start->setObjectName("feederStart");
    m_progress->setObjectName("feederProgress");
    setToolTip(
        QStringLiteral("Lays down blank chips one after the other: each card a station has "
                       "written is taken away, and after the pause the next chip follows."));
    for (const ChipChoice& choice : kChipChoices) {
        m_chip->addItem(QString::fromLatin1(choice.name), choice.chipType);
    }
    m_chip->setCurrentIndex(1);
    m_count->setRange(1, 1000000);
    m_count->setValue(10);
    m_pause->setRange(0, 600000);
    m_pause->setSingleStep(100);
    m_pause->setValue(500);
    m_pause->setSuffix(QStringLiteral(" ms"));

    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(QStringLiteral("Chip:")), 0, 0);
    grid->addWidget(m_chip, 0, 1, 1, 3);
    grid->addWidget(new QLabel(QStringLiteral("Count:")), 1, 0);
    grid->addWidget(m_count, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Pause:")), 1, 2);
    grid->addWidget(m_pause, 1, 3);
    grid->addWidget(m_start, 2, 0, 1, 4);
    grid->addWidget(m_progress, 3, 0, 1, 4);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);

    connect(m_start, &QPushButton::clicked, this, &FeederBox::StartOrStop);
    Refresh();
}

void FeederBox::StartOrStop() {
    if (m_feeder.Running()) {
        m_feeder.Stop();
    } else {
        m_feeder.Start({m_chip->currentData().toInt(), static_cast<unsigned>(m_count->value()),
                        std::chrono::milliseconds(m_pause->value())});
    }
    Refresh();
}

void FeederBox::Refresh() {
    const CardFeeder::Progress progress = m_feeder.GetProgress();
    const bool running = progress.state == CardFeeder::State::Waiting ||
                         progress.state == CardFeeder::State::Pausing;
    const QString button = running ? QStringLiteral("Stop") : QStringLiteral("Start");
    if (m_start->text() != button) m_start->setText(button);
    for (QWidget* input : std::initializer_list<QWidget*>{m_chip, m_count, m_pause}) {
        input->setEnabled(!running);
    }
    QString text = StateText(progress.state);
    if (progress.state != CardFeeder::State::Idle) {
        text = QStringLiteral("Fed %1 of %2, written %3: %4")
                   .arg(progress.fed)
                   .arg(progress.plan.count)
                   .arg(progress.written)
                   .arg(text);
    } else {
        text[0] = text[0].toUpper();
    }
    if (m_progress->text() != text) m_progress->setText(text);
}

}  // namespace vsim::panel
