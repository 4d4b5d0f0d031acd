// A Qt plugin that drives the installed station through one card as an operator would:
// once the main window is up, it asks for the manual (F1), writes a card, reads it back and
// closes the window, printing what the window showed at each step. Loaded into the
// unchanged program with QT_QPA_GENERIC_PLUGINS=stationdriver.
#include <QApplication>
#include <QGenericPlugin>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <cstdio>

namespace {

QWidget* MainWindow() {
    for (QWidget* widget : QApplication::topLevelWidgets())
        if (widget->objectName() == "COrvexFSKDlg" && widget->isVisible()) return widget;
    return nullptr;
}

void Report(const char* key, const QString& value) {
    std::printf("%s: %s\n", key, qPrintable(value));
    std::fflush(stdout);
}

class StationDriver : public QObject {
    Q_OBJECT
  public:
    StationDriver() {
        m_timer.setInterval(200);
        connect(&m_timer, &QTimer::timeout, this, &StationDriver::Step);
        m_timer.start();
    }

  private:
    // One step per tick, so that every click's run ends before the next one starts.
    void Step() {
        QWidget* window = MainWindow();
        if (window == nullptr) {
            if (++m_waited > 150) {  // 30 s without a main window
                Report("error", "no main window");
                QApplication::exit(3);
            }
            return;
        }
        // A message box in the way is reported and closed, as an operator would.
        if (QWidget* modal = QApplication::activeModalWidget(); modal != nullptr && modal != window) {
            const auto* box = qobject_cast<QMessageBox*>(modal);
            Report("message", box != nullptr ? box->text() : modal->windowTitle());
            modal->close();
            return;
        }
        // A click's run pumps events while it waits for the reader; the next step waits
        // until it has returned rather than read the window in the middle of it.
        if (m_clicking) return;
        // The window shows before it connects its reader; the title names the reader's
        // firmware once it is connected.
        if (m_step == 0 && !window->windowTitle().contains(QLatin1String(" FW V"))) {
            if (++m_waited > 150) {
                Report("error", "no reader connected");
                QApplication::exit(3);
            }
            return;
        }
        auto* status = window->findChild<QLineEdit*>("statusEdit");
        switch (m_step++) {
            case 0:
                Report("title", window->windowTitle());
                Report("write-button", window->findChild<QPushButton*>("writeOnceButton")->text());
                for (QShortcut* shortcut : window->findChildren<QShortcut*>())
                    if (shortcut->key() == QKeySequence(QKeySequence::HelpContents))
                        Q_EMIT shortcut->activated();
                break;
            case 1:
                Report("customer-before", window->findChild<QLineEdit*>("customerEdit")->text());
                Click(window->findChild<QPushButton*>("writeOnceButton"));
                break;
            case 2:
                Report("status-write", status->text());
                Report("customer-after", window->findChild<QLineEdit*>("customerEdit")->text());
                Click(window->findChild<QPushButton*>("readOnceButton"));
                break;
            case 3:
                Report("status-read", status->text());
                Report("customer-read", window->findChild<QLineEdit*>("customerEdit")->text());
                Click(window->findChild<QPushButton*>("closeButton"));
                m_timer.stop();
                break;
        }
    }

    void Click(QPushButton* button) {
        m_clicking = true;
        button->click();
        m_clicking = false;
    }

    QTimer m_timer;
    int m_step = 0;
    int m_waited = 0;
    bool m_clicking = false;
};

class StationDriverPlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "stationdriver.json")
  public:
    QObject* create(const QString& key, const QString&) override {
        return key.compare("stationdriver", Qt::CaseInsensitive) == 0 ? new StationDriver
                                                                       : nullptr;
    }
};

}  // namespace

#include "StationDriver.moc"
