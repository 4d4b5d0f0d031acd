#include "PanelMain.h"

#include <QApplication>
#include <QScreen>
#include <QSocketNotifier>

#include "SimPanel.h"

namespace vsim {

int RunPanel(int& argc, char** argv, ReaderEngine& engine, CardFeeder& feeder,
             const std::string& linePath, int stopFd) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("vel-reader-sim"));
    panel::SimPanel window(engine, feeder, QString::fromStdString(linePath));
    QSocketNotifier stop(stopFd, QSocketNotifier::Read);
    QObject::connect(&stop, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    // At the right edge of the screen, so that the station, which opens at the left or where
    // the operator left it, stands beside it rather than on top of it.
    window.adjustSize();
    if (const QScreen* screen = window.screen()) {
        const QRect area = screen->availableGeometry();
        window.move(area.right() + 1 - window.frameGeometry().width(), area.top());
    }
    window.show();
    return QApplication::exec();
}

}  // namespace vsim
