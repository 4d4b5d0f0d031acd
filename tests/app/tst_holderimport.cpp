// The holder list import dialog, driven by clicks and keys: a file whose personnel number
// column is not found until the operator picks it, the plan of what is added, changed and
// marked as left, the import; and a list with a duplicate that cannot be imported at all.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include "ControlId.h"
#include "HolderImportDialog.h"
#include "station/register/CardRegister.h"
#include "station/register/Holders.h"
#include "support/AppTest.h"

namespace {

template <typename T = QWidget>
T* Control(QWidget* window, int id) {
    T* control = ControlById<T>(window, id);
    if (control == nullptr) qFatal("control %d missing", id);
    return control;
}

// The plan's rows as "line action personnel-number" texts.
QStringList PlanRows(QWidget* dialog) {
    auto* table = Control<QTableWidget>(dialog, CHolderImportDialog::IDC_PLAN);
    QStringList rows;
    for (int row = 0; row < table->rowCount(); ++row) {
        QStringList cells;
        for (int column : {0, 1, 2})
            cells << (table->item(row, column) ? table->item(row, column)->text() : QString());
        rows << cells.join(u' ');
    }
    return rows;
}

// The combo's entry with this text chosen with the keyboard, as an operator would.
void ChooseByKeys(QComboBox* combo, const QString& text) {
    combo->setFocus();
    const int target = combo->findText(text);
    if (target < 0) qFatal("no entry %s", qPrintable(text));
    while (combo->currentIndex() < target) QTest::keyClick(combo, Qt::Key_Down);
    while (combo->currentIndex() > target) QTest::keyClick(combo, Qt::Key_Up);
}

}  // namespace

class HolderImportTest : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    station::RegisterSettings m_settings;

    QString Write(const char* name, const QByteArray& bytes) {
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }

  private Q_SLOTS:
    void init() {
        m_settings = {};
        m_settings.file =
            m_dir.filePath(QStringLiteral("%1/register.sqlite").arg(QTest::currentTestFunction()));
        station::CCardRegister cardRegister(m_settings, "test");
        station::HolderImportPlan plan;
        QVERIFY2(cardRegister.ImportHolders({{2, "1001", "Anna M\u00FCller", "Einkauf", ""},
                                             {3, "1002", "Bernd Schulz", "IT", ""}},
                                            false, false, plan),
                 qPrintable(cardRegister.LastError()));
    }

    void MapsAColumnPreviewsAndImports() {
        const QString path = Write("tabs.csv",
                                   "Nr\tVorname\tNachname\tAbteilung\r\n"
                                   "1001\tAnna\tM\xFCller\tVerkauf\r\n"
                                   "1004\tJ\xFCrgen\tGro\xDF\tLager\r\n");
        station::CCardRegister cardRegister(m_settings, "test");
        CHolderImportDialog dialog(cardRegister);
        dialog.show();
        QVERIFY(dialog.LoadFile(path));
        auto* importButton = Control<QPushButton>(&dialog, CHolderImportDialog::IDC_IMPORT);
        QCOMPARE(Control<QComboBox>(&dialog, CHolderImportDialog::IDC_SEPARATOR)->currentIndex(),
                 0);
        // The file's lines read right: tab-separated, Windows-1252 umlauts.
        auto* lines = Control<QTableWidget>(&dialog, CHolderImportDialog::IDC_LINES);
        QCOMPARE(lines->columnCount(), 4);
        QCOMPARE(lines->item(1, 1)->text(), QStringLiteral("J\u00FCrgen"));
        QVERIFY(!importButton->isEnabled());
        QVERIFY(PlanRows(&dialog).isEmpty());

        ChooseByKeys(Control<QComboBox>(&dialog, CHolderImportDialog::IDC_FIRST_COLUMN), "Nr");
        QCOMPARE(PlanRows(&dialog), (QStringList{"3 neu 1004", "2 ge\u00E4ndert 1001"}));
        QVERIFY(importButton->isEnabled());
        QTest::mouseClick(Control<QCheckBox>(&dialog, CHolderImportDialog::IDC_MARK_LEFT),
                          Qt::LeftButton);
        QCOMPARE(PlanRows(&dialog),
                 (QStringList{"3 neu 1004", "2 ge\u00E4ndert 1001", " ausgeschieden 1002"}));

        QTest::mouseClick(importButton, Qt::LeftButton);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
        station::HolderFilter everyone;
        everyone.includeLeft = true;
        const auto holders = cardRegister.Holders(everyone);
        QVERIFY(holders);
        QStringList stored;
        for (const station::Holder& holder : *holders)
            stored << holder.personnelNumber + u' ' + holder.name + u' ' + holder.department +
                          (holder.leftSince.isValid() ? " left" : "");
        stored.sort();
        QCOMPARE(stored, (QStringList{"1001 Anna M\u00FCller Verkauf", "1002 Bernd Schulz IT left",
                                      "1004 J\u00FCrgen Gro\u00DF Lager"}));
    }

    // Marking people as left names the cards that go to the block list; a spreadsheet that
    // dropped leading zeros and a line of broken UTF-8 are pointed out.
    void LeaversCardsLeadingZerosAndBrokenUtf8AreShown() {
        station::CCardRegister cardRegister(m_settings, "test");
        std::optional<station::Holder> bernd;
        QVERIFY(cardRegister.FindHolder(QStringLiteral("1002"), bernd) && bernd);
        station::CardRecord card;
        card.chipType = 9;
        card.fields.facility = 12;
        card.fields.number = 20;
        card.holder = bernd->id;
        std::int64_t rowId = 0;
        std::optional<station::RegisterEntry> earlier;
        QCOMPARE(cardRegister.Reserve(card, false, rowId, earlier),
                 station::ReserveResult::Reserved);
        QVERIFY(cardRegister.Confirm(rowId, true, QString()));

        const QString path = Write("spoilt.csv",
                                   "Personalnummer;Name\n1001;Anna M\xC3\xBCller\n"
                                   "1003;J\xFCrgen\n01002;Bernd Schulz\n");
        CHolderImportDialog dialog(cardRegister);
        dialog.show();
        QVERIFY(dialog.LoadFile(path));
        QTest::mouseClick(Control<QCheckBox>(&dialog, CHolderImportDialog::IDC_MARK_LEFT),
                          Qt::LeftButton);
        QCOMPARE(PlanRows(&dialog),
                 (QStringList{"4 Warnung 01002", "3 neu 1003", "4 neu 01002",
                              "2 ge\u00E4ndert 1001", " ausgeschieden 1002"}));
        auto* plan = Control<QTableWidget>(&dialog, CHolderImportDialog::IDC_PLAN);
        QVERIFY2(plan->item(0, 5)->text().contains("1002"), qPrintable(plan->item(0, 5)->text()));
        QVERIFY2(plan->item(4, 5)->text().startsWith(
                     "G\u00FCltige Karten, bis zur Sperrung auf der Sperrliste: ") &&
                     plan->item(4, 5)->text().contains("20"),
                 qPrintable(plan->item(4, 5)->text()));
        const QString summary = Control<QLabel>(&dialog, CHolderImportDialog::IDC_SUMMARY)->text();
        QVERIFY2(summary.contains("Zeile 3 ist kein UTF-8"), qPrintable(summary));
    }

    void ADuplicateCannotBeImported() {
        const QString path = Write(
            "duplicate.csv", "Personalnummer;Name;Abteilung\n1005;Carla;IT\n\n1005;Dora;IT\n");
        station::CCardRegister cardRegister(m_settings, "test");
        CHolderImportDialog dialog(cardRegister);
        dialog.show();
        QVERIFY(dialog.LoadFile(path));
        QCOMPARE(PlanRows(&dialog), (QStringList{"4 abgelehnt ", "2 neu 1005"}));
        auto* plan = Control<QTableWidget>(&dialog, CHolderImportDialog::IDC_PLAN);
        QCOMPARE(plan->item(0, 5)->text(), QStringLiteral("Dieselbe Personalnummer wie Zeile 2"));
        QVERIFY(!Control<QPushButton>(&dialog, CHolderImportDialog::IDC_IMPORT)->isEnabled());

        // Read with the wrong separator, the header is one column and nothing can be planned.
        ChooseByKeys(Control<QComboBox>(&dialog, CHolderImportDialog::IDC_SEPARATOR), ",");
        QCOMPARE(Control<QTableWidget>(&dialog, CHolderImportDialog::IDC_LINES)->columnCount(), 1);
        QVERIFY(PlanRows(&dialog).isEmpty());
        QCOMPARE(Control<QLabel>(&dialog, CHolderImportDialog::IDC_SUMMARY)->text(),
                 QStringLiteral("Bitte die Spalten f\u00FCr Personalnummer und Name w\u00E4hlen"));
        QTest::mouseClick(Control<QPushButton>(&dialog, CHolderImportDialog::IDCANCEL),
                          Qt::LeftButton);
        station::HolderFilter everyone;
        QCOMPARE(cardRegister.Holders(everyone)->size(), size_t(2));
    }
};

int main(int argc, char** argv) {
    apptest::PrepareEnvironment();
    QApplication app(argc, argv);
    HolderImportTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_holderimport.moc"
