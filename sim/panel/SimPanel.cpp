#include "SimPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "FeederBox.h"
#include "FieldView.h"
#include "PlaceBox.h"
#include "ReaderEngine.h"

namespace vsim::panel {

SimPanel::SimPanel(ReaderEngine& engine, CardFeeder& feeder, const QString& linePath,
                   QWidget* parent)
    : QWidget(parent),
      m_engine(engine),
      m_linePath(linePath),
      m_field(new FieldView),
      m_feeder(new FeederBox(feeder)),
      m_status(new QLabel) {
    setWindowTitle(QStringLiteral("Virtual reader %1").arg(linePath));
    m_status->setObjectName("panelStatus");
    m_status->setTextInteractionFlags(Qt::TextSelectableByMouse);

    auto* controls = new QVBoxLayout;
    controls->addWidget(new PlaceBox(engine));
    controls->addWidget(m_feeder);
    controls->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addWidget(m_field, 1);
    columns->addLayout(controls);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(columns, 1);
    layout->addWidget(m_status);

    connect(&m_timer, &QTimer::timeout, this, &SimPanel::Refresh);
    m_timer.start(kRefreshMs);
    Refresh();
}

void SimPanel::Refresh() {
    // One copy of the device state under the engine's lock: the front threads go on meanwhile.
    const DeviceState state = m_engine.State();
    m_field->Show(state.field.Snapshot());
    m_feeder->Refresh();
    const QString status =
        QStringLiteral("Line %1   field %2   %3 requests")
            .arg(m_linePath, state.fieldSwitch == 0 ? QStringLiteral("off") : QStringLiteral("on"))
            .arg(m_engine.RequestCount());
    if (m_status->text() != status) m_status->setText(status);
}

}  // namespace vsim::panel
