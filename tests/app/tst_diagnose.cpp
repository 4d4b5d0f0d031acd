// "Diagnose…" in the interface dialog: a click opens the doctor's lines for the interface
// selected (here the virtual reader on a pseudo-terminal), with the dialog's own words from
// the string table; "Check again" lists them afresh and "Copy" gives them as lfprog prints
// them. A line the station itself holds is named as such, not as a foreign program's.
#include <QClipboard>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <cstring>

#include "Settings.h"
#include "StringTable.h"
#include "VirtualReader.h"
#include "dialogs/DiagnoseDlg.h"
#include "dialogs/PortSelectDlg.h"
#include "support/AppTest.h"
#include "vellf.h"

namespace {

QStringList g_lines;  // the serial lines the stand-in lists

int Pack(const QStringList& entries, char* buffer, int size) {
    int used = 0;
    for (const QString& entry : entries) {
        const QByteArray bytes = entry.toUtf8();
        if (used + bytes.size() + 2 > size) break;
        std::memcpy(buffer + used, bytes.constData(), static_cast<size_t>(bytes.size()) + 1);
        used += static_cast<int>(bytes.size()) + 1;
    }
    buffer[used] = '\0';
    return used + 1;
}

// The row of a check, or null.
QTreeWidgetItem* Row(QTreeWidget* list, const QString& check) {
    for (int row = 0; row < list->topLevelItemCount(); ++row) {
        if (list->topLevelItem(row)->text(1) == check) return list->topLevelItem(row);
    }
    return nullptr;
}

struct Seen {
    QString lineOpen;
    QString lineVersion;
    QString versionVerdict;
    QStringList headers;
    int rowsAgain = 0;
    QString copied;
};

// Clicks "Diagnose…" and records what the diagnosis shows before closing it.
Seen Diagnose(CPortSelectDlg& dialog) {
    Seen seen;
    apptest::ModalWatcher watcher;
    watcher.SetDialogHandler([&seen](QDialog* shown) {
        auto* diagnosis = qobject_cast<CDiagnoseDlg*>(shown);
        if (diagnosis == nullptr) return false;
        auto* list = diagnosis->findChild<QTreeWidget*>(QStringLiteral("diagnoseLines"));
        if (!QTest::qWaitFor([list] { return list->topLevelItemCount() > 0; })) return false;
        for (int column = 0; column < list->columnCount(); ++column)
            seen.headers << list->headerItem()->text(column);
        if (QTreeWidgetItem* row = Row(list, QStringLiteral("line-open"))) seen.lineOpen = row->text(2);
        if (QTreeWidgetItem* row = Row(list, QStringLiteral("line-version"))) {
            seen.lineVersion = row->text(2);
            seen.versionVerdict = row->text(0);
        }
        diagnosis->findChild<QPushButton*>(QStringLiteral("buttonCheckAgain"))->click();
        seen.rowsAgain = list->topLevelItemCount();
        diagnosis->findChild<QPushButton*>(QStringLiteral("buttonCopy"))->click();
        seen.copied = QGuiApplication::clipboard()->text();
        diagnosis->findChild<QPushButton*>(QStringLiteral("buttonClose"))->click();
        return true;
    });
    auto* button = dialog.findChild<QPushButton*>(QStringLiteral("buttonDiagnose"));
    if (button == nullptr) return seen;
    button->click();
    return seen;
}

}  // namespace

class DiagnoseTest : public QObject {
    Q_OBJECT
  private Q_SLOTS:
    void initTestCase() {
        CPortSelectDlg::s_devices = {
            [](char* buffer, int size) { return Pack(g_lines, buffer, size); },
            [](char* buffer, int size) { return Pack({}, buffer, size); },
            [](char* buffer, int size) { return Pack({}, buffer, size); },
            [](const char*) { return 0; },
            [] { return 0; },
            {},
        };
    }
    void init() { apptest::ClearSettings(); }

    void TheButtonListsTheDoctorsLinesForTheSelectedReader() {
        vsim::VirtualReader reader;
        QVERIFY(reader.Start());
        const QString line = QString::fromStdString(reader.Path());
        g_lines = {line};
        PutSettingString("Port", "Name", line);
        CPortSelectDlg dialog;
        dialog.OnInitDialog();
        auto* button = dialog.findChild<QPushButton*>(QStringLiteral("buttonDiagnose"));
        QVERIFY(button != nullptr);
        QCOMPARE(button->text(), LoadString(11950));

        const Seen seen = Diagnose(dialog);
        QCOMPARE(seen.headers, (QStringList{LoadString(11953), LoadString(11954),
                                            LoadString(11955), LoadString(11956)}));
        QVERIFY2(seen.lineVersion.startsWith(line + ": answers at 19200 baud"),
                 qPrintable(seen.lineVersion));
        QCOMPARE(seen.versionVerdict, LoadString(11957));
        QVERIFY(seen.rowsAgain > 0);
        QVERIFY2(seen.copied.contains(QStringLiteral("line-version")), qPrintable(seen.copied));
    }

    void ALineTheStationHoldsIsNamedAsItsOwn() {
        vsim::VirtualReader reader;
        QVERIFY(reader.Start());
        const QString line = QString::fromStdString(reader.Path());
        g_lines = {line};
        PutSettingString("Port", "Name", line);
        const int handle = LfOpenPort(line.toUtf8().constData(), 19200, 0, 300);
        QVERIFY(handle > 0);
        CPortSelectDlg dialog;
        dialog.OnInitDialog();
        const Seen seen = Diagnose(dialog);
        LfClosePort(handle);
        QCOMPARE(seen.lineOpen, line + QStringLiteral(": this station has the line open"));
        QVERIFY(seen.lineVersion.isEmpty());
    }
};

ORVEX_APP_TEST_MAIN(DiagnoseTest)
#include "tst_diagnose.moc"
