#include "PanelMain.h"

#include <QApplication>
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
    window.show();
    return QApplication::exec();
}

}  // namespace vsim
