// Common ground of the station's Qt tests: a private settings file and runtime folder per
// test program, the offscreen platform, and answers to the modal dialogs a test provokes.
#pragma once

#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QStringList>
#include <QTest>
#include <QTimer>
#include <functional>

namespace apptest {

// Prepares the process: offscreen platform unless one is set, a temporary folder for the
// settings file, the data folder (so the card register is never the user's) and
// $XDG_RUNTIME_DIR. Call before the QApplication exists.
void PrepareEnvironment();

// Removes every stored setting and the card register, so each test starts with no card
// issued.
void ClearSettings();
void ClearRegister();

// The settings file the station writes during the tests.
QString SettingsFile();

// Watches for modal windows while a test runs the station. Message boxes are recorded and
// answered with the chosen button; other dialogs go to the handler (which closes them and
// returns true) or, without one, are rejected.
class ModalWatcher : public QObject {
    Q_OBJECT
  public:
    explicit ModalWatcher(QMessageBox::StandardButton answer = QMessageBox::Ok);

    void SetAnswer(QMessageBox::StandardButton answer) { m_answer = answer; }
    void SetDialogHandler(std::function<bool(QDialog*)> handler) { m_handler = std::move(handler); }

    // Texts of the message boxes seen so far, oldest first, and the button Enter would have
    // pressed in each.
    const QStringList& Messages() const { return m_messages; }
    const QList<QMessageBox::StandardButton>& DefaultButtons() const { return m_defaults; }
    // Window titles of the other dialogs seen so far.
    const QStringList& Dialogs() const { return m_dialogs; }
    void Clear();

  private:
    void Check();

    QTimer m_timer;
    QMessageBox::StandardButton m_answer;
    std::function<bool(QDialog*)> m_handler;
    QStringList m_messages;
    QList<QMessageBox::StandardButton> m_defaults;
    QStringList m_dialogs;
    QWidget* m_lastSeen = nullptr;
};

}  // namespace apptest

// main() of a test program: prepares the environment, then runs the test class.
#define ORVEX_APP_TEST_MAIN(TestClass)          \
    int main(int argc, char** argv) {           \
        apptest::PrepareEnvironment();          \
        QApplication app(argc, argv);           \
        TestClass test;                         \
        return QTest::qExec(&test, argc, argv); \
    }
