// The signal and cycle settings dialog: stored values, enabling by sound type, ranges, the
// play buttons and the file choosers.
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include "ControlId.h"
#include "Settings.h"
#include "dialogs/BeepTimeDlg.h"
#include "support/AppTest.h"
#include "support/RecordingSignalOutput.h"

namespace {

const int kNotStored = -7;

int StoredInt(const char* key) {
    return GetSettingInt("Settings", key, kNotStored);
}

template <typename T = QWidget>
T* Control(QWidget* dialog, int id) {
    T* control = ControlById<T>(dialog, id);
    if (control == nullptr) qFatal("control %d missing", id);
    return control;
}

void Click(QWidget* dialog, int id) {
    Control<QAbstractButton>(dialog, id)->click();
}

void SetText(QWidget* dialog, int id, const QString& text) {
    Control<QLineEdit>(dialog, id)->setText(text);
}

}  // namespace

class TestBeepTime : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void init();
    void opensWithStoredValues();
    void enablingFollowsSoundType_data();
    void enablingFollowsSoundType();
    void ranges_data();
    void ranges();
    void storedSoundTypOutsideTheRadios();
    void cancelStoresNothing();
    void playButtonsPlaySynchronously();
    void fileChooser();

  private:
    apptest::RecordingSignalOutput m_output;
};

void TestBeepTime::init() {
    apptest::ClearSettings();
    m_output.calls.clear();
}

void TestBeepTime::opensWithStoredValues() {
    PutSettingInt("Settings", "ZyklusZeit", 400);
    PutSettingString("Settings", "SoundNameErfolg", "/sounds/ok.wav");
    CBeepTimeDlg dialog(m_output);
    QCOMPARE(dialog.m_nSoundTyp, -1);
    QCOMPARE(dialog.m_nZyklusZeit, 0u);
    dialog.show();
    QCOMPARE(Control<QLineEdit>(&dialog, 1003)->text(), QString("400"));
    QCOMPARE(Control<QLineEdit>(&dialog, 1002)->text(), QString("150"));
    QVERIFY(Control<QRadioButton>(&dialog, 1034)->isChecked());
    QCOMPARE(Control<QLineEdit>(&dialog, 1036)->text(), QString("/sounds/ok.wav"));
    QCOMPARE(Control<QLineEdit>(&dialog, 1038)->text(), QString());
    QCOMPARE(dialog.windowTitle(), QString("Einstellungen"));
}

void TestBeepTime::enablingFollowsSoundType_data() {
    QTest::addColumn<int>("radio");
    QTest::addColumn<bool>("toneLength");
    QTest::addColumn<bool>("files");
    QTest::newRow("Keine Ausgabe") << 1033 << false << false;
    QTest::newRow("Lautsprecher") << 1034 << true << false;
    QTest::newRow("Sound abspielen") << 1035 << false << true;
}

void TestBeepTime::enablingFollowsSoundType() {
    QFETCH(int, radio);
    QFETCH(bool, toneLength);
    QFETCH(bool, files);
    // Start from the opposite state, so that every control has to change.
    PutSettingInt("Settings", "SoundTyp", radio == 1035 ? 1 : 2);
    CBeepTimeDlg dialog(m_output);
    dialog.show();
    Click(&dialog, radio);
    QCOMPARE(Control(&dialog, 1002)->isEnabled(), toneLength);
    for (int id : {1036, 1037, 1038, 1039}) QCOMPARE(Control(&dialog, id)->isEnabled(), files);
    QVERIFY(Control(&dialog, 1040)->isEnabled());
    QVERIFY(Control(&dialog, 1041)->isEnabled());
}

void TestBeepTime::ranges_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");  // empty: accepted

    const QString cycleRange = "Geben Sie eine ganze Zahl zwischen 100 und 10000 ein.";
    const QString toneRange = "Geben Sie eine ganze Zahl zwischen 0 und 1000 ein.";
    const QString notANumber = "Geben Sie eine positive ganze Zahl ein.";
    QTest::newRow("cycle 99") << 1003 << "99" << cycleRange;
    QTest::newRow("cycle 100") << 1003 << "100" << QString();
    QTest::newRow("cycle 10000") << 1003 << "10000" << QString();
    QTest::newRow("cycle 10001") << 1003 << "10001" << cycleRange;
    QTest::newRow("cycle empty") << 1003 << "" << notANumber;
    QTest::newRow("tone 0") << 1002 << "0" << QString();
    QTest::newRow("tone 1000") << 1002 << "1000" << QString();
    QTest::newRow("tone 1001") << 1002 << "1001" << toneRange;
    QTest::newRow("tone negative") << 1002 << "-1" << notANumber;
    QTest::newRow("tone text") << 1002 << "12ms" << notANumber;
}

void TestBeepTime::ranges() {
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(QString, message);
    apptest::ModalWatcher watcher;
    CBeepTimeDlg dialog(m_output);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowActive(&dialog));
    SetText(&dialog, field, text);
    Click(&dialog, 1);

    if (message.isEmpty()) {
        QCOMPARE(watcher.Messages(), QStringList());
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        QCOMPARE(StoredInt(field == 1003 ? "ZyklusZeit" : "BeepTime"), text.toInt());
        QCOMPARE(StoredInt("SoundTyp"), 1);
    } else {
        QCOMPARE(watcher.Messages(), QStringList{message});
        QVERIFY(dialog.isVisible());
        QCOMPARE(dialog.focusWidget(), Control(&dialog, field));
        QCOMPARE(StoredInt("ZyklusZeit"), kNotStored);
    }
}

void TestBeepTime::storedSoundTypOutsideTheRadios() {
    PutSettingInt("Settings", "SoundTyp", 3);
    {
        CBeepTimeDlg dialog(m_output);
        dialog.show();
        for (int id : {1033, 1034, 1035}) QVERIFY(!Control<QRadioButton>(&dialog, id)->isChecked());
        for (int id : {1002, 1036, 1037, 1038, 1039}) QVERIFY(!Control(&dialog, id)->isEnabled());
        Click(&dialog, 1);
        QCOMPARE(StoredInt("SoundTyp"), -1);
    }
    CBeepTimeDlg dialog(m_output);
    dialog.show();
    Click(&dialog, 1035);
    Click(&dialog, 1);
    QCOMPARE(StoredInt("SoundTyp"), 2);
}

void TestBeepTime::cancelStoresNothing() {
    CBeepTimeDlg dialog(m_output);
    dialog.show();
    SetText(&dialog, 1003, "500");
    Click(&dialog, 1033);
    Click(&dialog, 2);
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(StoredInt("ZyklusZeit"), kNotStored);
    QCOMPARE(StoredInt("SoundTyp"), kNotStored);
}

void TestBeepTime::playButtonsPlaySynchronously() {
    using apptest::SignalCall;
    apptest::ModalWatcher watcher;
    CBeepTimeDlg dialog(m_output);
    dialog.show();
    SetText(&dialog, 1036, "/sounds/ok.wav");
    Click(&dialog, 1040);
    Click(&dialog, 1041);  // no failure sound chosen: nothing to play
    SetText(&dialog, 1038, "/sounds/bad.wav");
    Click(&dialog, 1041);
    QCOMPARE(m_output.calls, (QList<SignalCall>{SignalCall::WaveFile("/sounds/ok.wav", true),
                                                SignalCall::WaveFile("/sounds/bad.wav", true)}));

    // A refused field stops the play button.
    SetText(&dialog, 1003, "99");
    Click(&dialog, 1040);
    QCOMPARE(m_output.calls.size(), 2);
    QCOMPARE(watcher.Messages().size(), 1);
}

void TestBeepTime::fileChooser() {
    QTemporaryDir dir;
    const QString chosen = dir.filePath("ok.wav");
    QFile(chosen).open(QIODevice::WriteOnly);
    PutSettingInt("Settings", "SoundTyp", 2);
    PutSettingString("Settings", "SoundNameFehler", "/sounds/old.wav");

    apptest::ModalWatcher watcher;
    QStringList filters;
    bool confirm = true;
    watcher.SetDialogHandler([&](QDialog* modal) {
        auto* files = qobject_cast<QFileDialog*>(modal);
        if (files == nullptr) return false;
        filters = files->nameFilters();
        if (!confirm) return false;
        files->selectFile(chosen);
        modal->accept();  // the file dialog's own accept, which takes the selection
        return true;
    });
    CBeepTimeDlg dialog(m_output);
    dialog.show();
    Click(&dialog, 1037);
    QCOMPARE(Control<QLineEdit>(&dialog, 1036)->text(), chosen);
    QCOMPARE(filters, QStringList{"Audiodateien (*.wav)"});
    QCOMPARE(watcher.Dialogs(), QStringList{"Öffnen"});

    confirm = false;
    Click(&dialog, 1039);
    QCOMPARE(Control<QLineEdit>(&dialog, 1038)->text(), QString("/sounds/old.wav"));

    Click(&dialog, 1);
    QCOMPARE(GetSettingString("Settings", "SoundNameErfolg", ""), chosen);
    QCOMPARE(GetSettingString("Settings", "SoundNameFehler", ""), QString("/sounds/old.wav"));
}

ORVEX_APP_TEST_MAIN(TestBeepTime)
#include "tst_beeptime.moc"
