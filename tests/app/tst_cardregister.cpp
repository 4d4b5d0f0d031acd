// The card register in the station: series and single writes through it against the virtual
// reader, a duplicate stopping a series, a deliberate re-issue, a register that cannot record,
// the register switched off in its settings dialog, a PostgreSQL register chosen there that
// hands out the next free numbers and then goes away in the middle of a series, and the
// register window's filter and CSV export.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <memory>
#include <mutex>
#include <set>

#include "CardFeeder.h"
#include "PgServer.h"
#include "RegisterFill.h"
#include "Settings.h"
#include "cards/CardFormat.h"
#include "dialogs/RegisterDlg.h"
#include "dialogs/RegisterSettingsDlg.h"
#include "station/register/CardRegister.h"
#include "support/AppTest.h"
#include "support/RecordingSignalOutput.h"
#include "support/StationReader.h"
#include "support/StationWindow.h"
#include "support/WriteStationFixture.h"

using apptest::Find;
using namespace std::chrono_literals;

namespace {

constexpr int kSeriesTimeoutMs = 30000;
constexpr int kAta5577 = 9;
const QString kWriteDone = QStringLiteral("Schreibvorgang erfolgreich abgeschlossen");
const QString kRegisterFailed = QStringLiteral("Kartenregister kann nicht schreiben: ");

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

QString ReadAll(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return QString::fromUtf8(file.readAll());
}

// The register at its default place, as the station's settings keep it by default.
std::vector<station::RegisterEntry> DefaultRegisterRows() {
    station::CCardRegister cardRegister(station::RegisterSettings{}, "test");
    auto rows = cardRegister.List({});
    if (!rows) qFatal("register: %s", qPrintable(cardRegister.LastError()));
    return std::move(*rows);
}

QList<qint64> Numbers(const std::vector<station::RegisterEntry>& rows) {
    QList<qint64> numbers;
    for (const station::RegisterEntry& row : rows) numbers << row.fields.number;
    return numbers;
}

QList<qint64> ShownNumbers(const CRegisterDlg& dialog) {
    return Numbers(dialog.Rows().Entries());
}

template <typename T = QWidget>
T* Control(QWidget* dialog, int id) {
    T* control = ControlById<T>(dialog, id);
    if (control == nullptr) qFatal("control %d missing", id);
    return control;
}

}  // namespace

class CardRegisterTest : public apptest::WriteStationFixture {
    Q_OBJECT

  private:
    void TriggerMenu(int command) {
        for (QAction* action : m_dlg->SystemMenu()->actions()) {
            if (action->data().toInt() == command) return action->trigger();
        }
        QFAIL("menu command missing");
    }
    // A series from start over count fed fresh chips, stopping at that count.
    void RunSeries(vsim::CardFeeder& feeder, const QString& start, int count) {
        QVERIFY(feeder.Start({kAta5577, static_cast<unsigned>(count), 0ms}));
        SetCustomer(start);
        if (!Find<QCheckBox>(*m_dlg, 1019)->isChecked()) Click(1019);
        Find<QLineEdit>(*m_dlg, 1040)->setText(QString::number(count));
        Click(1007);
        QVERIFY(SeriesRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!SeriesRunning(), kSeriesTimeoutMs);
    }
    // Writes 26 Bit, facility 12, number 4711 once onto a chip laid on the reader.
    void WriteFirstCard() {
        m_reader->Place(kAta5577);
        Open();
        SetCustomer("4711");
        Find<QLineEdit>(*m_dlg, 1004)->setText("12");
        Click(1006);
        QVERIFY2(m_dlg->m_strStatus.startsWith(kWriteDone), qPrintable(m_dlg->m_strStatus));
    }
    // Replaces the chip on the reader with a fresh one.
    void FreshChip() {
        m_reader->Remove();
        m_reader->Place(kAta5577);
    }

  private Q_SLOTS:
    void init() { PrepareWriteStation(); }
    void cleanup() { CloseWriteStation(); }

    void seriesFillsTheRegisterAndTheWindowShowsIt() {
        vsim::CardFeeder feeder(Engine());
        Open();
        RunSeries(feeder, "100", 3);
        QCOMPARE(m_dlg->m_nCount, 3);
        const auto rows = DefaultRegisterRows();
        QCOMPARE(Numbers(rows), (QList<qint64>{102, 101, 100}));
        const QString log = ReadAll(m_dir.filePath("write.txt"));
        for (const station::RegisterEntry& row : rows) {
            QCOMPARE(row.state, station::RegisterEntry::State::Written);
            QVERIFY(row.verified);
            QVERIFY(!row.reissue);
            QCOMPARE(row.chipType, kAta5577);
            QCOMPARE(row.station, QSysInfo::machineHostName());
            // The row names the chip the log line names.
            QVERIFY2(!row.uid.isEmpty() && log.contains(QString(",%1,not Locked ATA5577\t%2\r\n")
                                                            .arg(row.fields.number)
                                                            .arg(row.uid)),
                     qPrintable(log));
        }

        // The window from the menu: the same rows, newest first, in the operator's words.
        TriggerMenu(COrvexFSKDlg::IDM_REGISTER);
        QVERIFY(m_dlg->RegisterWindow() != nullptr);
        QList<QStringList> shown;
        const CRegisterTableModel& model = m_dlg->RegisterWindow()->Rows();
        for (int row = 0; row < model.rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < model.columnCount(); ++column)
                cells << model.index(row, column).data().toString();
            shown << cells;
        }
        QCOMPARE(shown.size(), 3);
        QCOMPARE(shown[0].mid(0, 5), (QStringList{"102", "26 Bit", "255", "", "ATA5577"}));
        QCOMPARE(shown[0][CRegisterTableModel::kChipId], rows[0].uid);
        QCOMPARE(shown[2][CRegisterTableModel::kNumber], QString("100"));
        QCOMPARE(shown[0].mid(CRegisterTableModel::kLocked, 4),
                 (QStringList{"nein", "ja", "nein", "geschrieben"}));
        QCOMPARE(shown[0][CRegisterTableModel::kTime],
                 rows[0].time.toLocalTime().toString("yyyy-MM-dd HH:mm:ss"));
    }

    void secondSeriesOverTheSameNumbersStopsAtTheFirstDuplicate() {
        vsim::CardFeeder feeder(Engine());
        Open();
        RunSeries(feeder, "100", 2);
        const auto first = DefaultRegisterRows();
        QCOMPARE(first.size(), std::size_t{2});
        const station::RegisterEntry& earlier = first[1];  // number 100
        QCOMPARE(earlier.fields.number, qint64{100});

        apptest::ModalWatcher watcher;
        RunSeries(feeder, "100", 2);
        const QString reason =
            QString("Nummer bereits ausgegeben: Chip %1 am %2")
                .arg(earlier.uid, earlier.time.toLocalTime().toString("yyyy-MM-dd HH:mm:ss"));
        QCOMPARE(m_dlg->m_strStatus, reason);
        QCOMPARE(watcher.Messages(),
                 QStringList{reason + "\n\nSerie beendet: 0 Transponder geschrieben"});
        // The fed chip stays blank and the register as it was.
        QCOMPARE(CardOnField(), std::nullopt);
        QCOMPARE(Numbers(DefaultRegisterRows()), (QList<qint64>{101, 100}));
        QCOMPARE(m_dlg->m_nCount, 0);
        QVERIFY(Find<QPushButton>(*m_dlg, 1006)->isEnabled());
    }

    void singleWriteOfAnIssuedNumberAsks_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirmed") << true;
        QTest::newRow("declined") << false;
    }
    void singleWriteOfAnIssuedNumberAsks() {
        QFETCH(bool, confirm);
        WriteFirstCard();
        if (QTest::currentTestFailed()) return;
        const station::RegisterEntry earlier = DefaultRegisterRows().at(0);

        FreshChip();
        SetCustomer("4711");
        apptest::ModalWatcher watcher(confirm ? QMessageBox::Yes : QMessageBox::No);
        Click(1006);
        const QString when = earlier.time.toLocalTime().toString("yyyy-MM-dd HH:mm:ss");
        QCOMPARE(watcher.Messages(),
                 QStringList{QString("26 Bit, Einrichtung 12, Nummer 4711 wurde bereits "
                                     "ausgegeben:\nChip %1 (ATA5577) am %2.\n\nDiesen "
                                     "Transponder als Ersatzkarte mit derselben Nummer "
                                     "beschreiben?\n\nDieselbe Nummer ist dasselbe "
                                     "Kartenwort: eine verlorene Karte öffnet damit "
                                     "weiterhin. Für eine verlorene Karte im Fenster "
                                     "Karteninhaber „Karte verloren“ wählen; das sperrt sie "
                                     "und schreibt eine neue Nummer.")
                                 .arg(earlier.uid, when)});
        // Enter must not issue a number a second time.
        QCOMPARE(watcher.DefaultButtons(), QList<QMessageBox::StandardButton>{QMessageBox::No});
        const auto rows = DefaultRegisterRows();
        if (!confirm) {
            QCOMPARE(m_dlg->m_strStatus,
                     QString("Nummer bereits ausgegeben: Chip %1 am %2").arg(earlier.uid, when));
            QCOMPARE(CardOnField(), std::nullopt);
            QCOMPARE(rows.size(), std::size_t{1});
            QCOMPARE(Find<QLineEdit>(*m_dlg, 1005)->text(), QString("4711"));
            return;
        }
        QVERIFY2(m_dlg->m_strStatus.startsWith(kWriteDone), qPrintable(m_dlg->m_strStatus));
        QCOMPARE(CardOnField(), vellf::EncodeCardWord(26, 12, 4711, 0));
        QCOMPARE(Numbers(rows), (QList<qint64>{4711, 4711}));
        QVERIFY(rows[0].reissue);
        QVERIFY(!rows[1].reissue);
        QVERIFY(rows[0].uid != rows[1].uid);
    }

    void singleWriteOverAChipWithAValidCardAsks_data() { singleWriteOfAnIssuedNumberAsks_data(); }
    void singleWriteOverAChipWithAValidCardAsks() {
        // "Once" pressed twice on one chip.
        QFETCH(bool, confirm);
        WriteFirstCard();
        if (QTest::currentTestFailed()) return;
        const QString when =
            DefaultRegisterRows().at(0).time.toLocalTime().toString("yyyy-MM-dd HH:mm:ss");

        SetCustomer("4712");
        apptest::ModalWatcher watcher(confirm ? QMessageBox::Yes : QMessageBox::No);
        Click(1006);
        QCOMPARE(watcher.Messages(),
                 QStringList{QString("Auf diesem Transponder steht die gültige Karte 26 Bit, "
                                     "Einrichtung 12, Nummer 4711 des Kartenregisters "
                                     "(geschrieben am %1).\n\nDen Transponder mit 26 Bit, "
                                     "Einrichtung 12, Nummer 4712 überschreiben? Die bisherige "
                                     "Karte gilt dann als ersetzt.")
                                 .arg(when)});
        QCOMPARE(watcher.DefaultButtons(), QList<QMessageBox::StandardButton>{QMessageBox::No});
        const auto rows = DefaultRegisterRows();
        if (!confirm) {
            QCOMPARE(m_dlg->m_strStatus,
                     QString("Transponder trägt bereits die gültige Karte 26 Bit, Einrichtung "
                             "12, Nummer 4711 (seit %1); er wird nicht überschrieben")
                         .arg(when));
            QCOMPARE(CardOnField(), vellf::EncodeCardWord(26, 12, 4711, 0));
            QCOMPARE(Numbers(rows), QList<qint64>{4711});
            return;
        }
        QCOMPARE(CardOnField(), vellf::EncodeCardWord(26, 12, 4712, 0));
        QCOMPARE(Numbers(rows), (QList<qint64>{4712, 4711}));
        QCOMPARE(rows[0].state, station::RegisterEntry::State::Written);
        QCOMPARE(rows[1].state, station::RegisterEntry::State::Replaced);
        QCOMPARE(rows[1].replacedBy, rows[0].id);
    }

    void registerThatCannotRecordRefusesEveryWrite() {
        // A file where the register's folder should be: no user, root included, can create
        // the register there.
        const QString blocker = m_dir.filePath("not-a-folder");
        QFile file(blocker);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.close();
        PutSettingString("Register", "File", blocker + "/register.sqlite");
        m_reader->Place(kAta5577);
        apptest::ModalWatcher watcher;
        Open();
        // Told at once: the status line and a message with the reason.
        QVERIFY2(m_dlg->m_strStatus.startsWith(kRegisterFailed), qPrintable(m_dlg->m_strStatus));
        QVERIFY(m_dlg->m_strStatus.size() > kRegisterFailed.size());
        QCOMPARE(watcher.Messages().size(), 1);
        QVERIFY2(watcher.Messages()[0].startsWith("Das Kartenregister kann nicht geöffnet "
                                                  "werden:\n"),
                 qPrintable(watcher.Messages()[0]));

        SetCustomer("4711");
        m_dlg->m_strStatus.clear();
        Click(1006);
        QVERIFY2(m_dlg->m_strStatus.startsWith(kRegisterFailed), qPrintable(m_dlg->m_strStatus));
        QCOMPARE(CardOnField(), std::nullopt);
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1005)->text(), QString("4711"));

        // A series ends before its first write, with the reason.
        watcher.Clear();
        Click(1007);
        QTRY_VERIFY_WITH_TIMEOUT(!SeriesRunning(), kSeriesTimeoutMs);
        QCOMPARE(watcher.Messages().size(), 1);
        QVERIFY2(watcher.Messages()[0].startsWith(kRegisterFailed),
                 qPrintable(watcher.Messages()[0]));
        QCOMPARE(CardOnField(), std::nullopt);
        QVERIFY(ReadAll(m_dir.filePath("write.txt")).isEmpty());
        QVERIFY(!QFile::exists(station::DefaultRegisterFile()));

        // Pointed at a file it can make, the register records again and the old reason goes.
        watcher.SetDialogHandler([](QDialog* dialog) {
            if (qobject_cast<CRegisterSettingsDlg*>(dialog) == nullptr) return false;
            Control<QLineEdit>(dialog, CRegisterSettingsDlg::IDC_FILE)->clear();
            QTest::mouseClick(Control<QPushButton>(dialog, 1), Qt::LeftButton);
            return true;
        });
        watcher.Clear();
        TriggerMenu(COrvexFSKDlg::IDM_REGISTER_SETTINGS);
        QCOMPARE(watcher.Messages(), QStringList{});
        // The status line names the register the cards now go into.
        QVERIFY2(m_dlg->m_strStatus.startsWith("Kartenregister: ") &&
                     m_dlg->m_strStatus.contains(station::DefaultRegisterFile()),
                 qPrintable(m_dlg->m_strStatus));
        Click(1006);
        QVERIFY2(m_dlg->m_strStatus.startsWith(kWriteDone), qPrintable(m_dlg->m_strStatus));
        QCOMPARE(Numbers(DefaultRegisterRows()), QList<qint64>{4711});
    }

    void registerOtherAccountsCanReadIsNamedOnTheStatusLine() {
        const QString file = m_dir.filePath("shared.sqlite");
        QFile made(file);
        QVERIFY(made.open(QIODevice::WriteOnly));  // an empty file opens as a new register
        made.close();
        QVERIFY(made.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                    QFile::ReadOther));
        PutSettingString("Register", "File", file);
        Open();
        QVERIFY2(m_dlg->m_strStatus.contains("chmod 600 '" + file + "'"),
                 qPrintable(m_dlg->m_strStatus));
    }

    void registerSwitchedOffInItsSettingsWritesAsBefore() {
        m_reader->Place(kAta5577);
        Open();
        QVERIFY(m_dlg->Register() != nullptr);
        apptest::ModalWatcher watcher;
        auto setEnabled = [&watcher](bool on) {
            watcher.SetDialogHandler([on](QDialog* dialog) {
                if (qobject_cast<CRegisterSettingsDlg*>(dialog) == nullptr) return false;
                auto* enabled = Control<QCheckBox>(dialog, CRegisterSettingsDlg::IDC_ENABLED);
                if (enabled->isChecked() != on) QTest::mouseClick(enabled, Qt::LeftButton);
                QTest::mouseClick(Control<QPushButton>(dialog, 1), Qt::LeftButton);
                return true;
            });
        };
        setEnabled(false);
        TriggerMenu(COrvexFSKDlg::IDM_REGISTER_SETTINGS);
        QCOMPARE(watcher.Dialogs(), QStringList{"Kartenregister-Einstellungen"});
        QCOMPARE(GetSettingString("Register", "Enabled", ""), QString("0"));
        QCOMPARE(m_dlg->Register(), nullptr);

        // The same number twice, neither asked about nor recorded.
        for (int write = 0; write < 2; ++write) {
            FreshChip();
            SetCustomer("4711");
            Click(1006);
            QVERIFY2(m_dlg->m_strStatus.startsWith(kWriteDone), qPrintable(m_dlg->m_strStatus));
            QCOMPARE(CardOnField(), vellf::EncodeCardWord(26, 255, 4711, 0));
        }
        QCOMPARE(watcher.Messages(), QStringList{});
        QCOMPARE(DefaultRegisterRows().size(), std::size_t{0});

        setEnabled(true);
        TriggerMenu(COrvexFSKDlg::IDM_REGISTER_SETTINGS);
        QVERIFY(m_dlg->Register() != nullptr);
        FreshChip();
        SetCustomer("4711");
        Click(1006);
        QCOMPARE(Numbers(DefaultRegisterRows()), QList<qint64>{4711});
    }

    void postgreSqlRegisterFromTheSettingsDialogAndItsServerGoingAway() {
        pgtest::PgServer server;
        QVERIFY2(server.Start(), qPrintable(server.Error() + server.LogTail()));
        qputenv("PGPASSWORD", server.Password().toUtf8());
        station::RegisterSettings settings;
        settings.kind = station::RegisterSettings::Kind::PostgreSQL;
        settings.host = server.Host();
        settings.port = server.Port();
        settings.database = server.Database();
        settings.user = server.User();
        {
            // Another station has issued 101 already.
            station::CCardRegister other(settings, "test");
            station::CardRecord card;
            card.chipType = kAta5577;
            card.fields = {255, 101, 0};
            card.customer = "101";
            std::int64_t rowId = 0;
            std::optional<station::RegisterEntry> earlier;
            QCOMPARE(other.Reserve(card, false, rowId, earlier),
                     station::ReserveResult::Reserved);
            QVERIFY(other.Confirm(rowId, true, "OTHER-STATION"));
        }

        // Every card word that reaches a chip, from the reader's side.
        std::mutex chipsMutex;
        std::set<uint64_t> onChips;
        const int observer = Engine().AddFieldObserver([&] {
            if (const auto word = CardOnField()) {
                const std::lock_guard lock(chipsMutex);
                onChips.insert(*word);
            }
        });
        Open();
        apptest::ModalWatcher watcher;
        watcher.SetDialogHandler([&settings](QDialog* dialog) {
            if (qobject_cast<CRegisterSettingsDlg*>(dialog) == nullptr) return false;
            auto click = [dialog](int id) {
                QTest::mouseClick(Control<QAbstractButton>(dialog, id), Qt::LeftButton);
            };
            click(CRegisterSettingsDlg::IDC_POSTGRESQL);
            Control<QLineEdit>(dialog, CRegisterSettingsDlg::IDC_HOST)->setText(settings.host);
            Control<QLineEdit>(dialog, CRegisterSettingsDlg::IDC_PORT)
                ->setText(QString::number(settings.port));
            Control<QLineEdit>(dialog, CRegisterSettingsDlg::IDC_NAME)->setText(settings.database);
            Control<QLineEdit>(dialog, CRegisterSettingsDlg::IDC_USER)->setText(settings.user);
            click(CRegisterSettingsDlg::IDC_NEXT_FREE);
            click(1);
            return true;
        });
        TriggerMenu(COrvexFSKDlg::IDM_REGISTER_SETTINGS);
        QCOMPARE(watcher.Messages(), QStringList{});
        QVERIFY(m_dlg->Register() != nullptr);

        // Next free numbers from the start value: 101 is skipped.
        vsim::CardFeeder feeder(Engine());
        RunSeries(feeder, "100", 3);
        QCOMPARE(m_dlg->m_strStatus, QString("Serie beendet: 3 Transponder geschrieben"));
        station::CCardRegister check(settings, "test");
        auto rows = check.List({});
        QVERIFY2(rows, qPrintable(check.LastError()));
        QCOMPARE(Numbers(*rows), (QList<qint64>{103, 102, 100, 101}));

        // The server stops during a series: the series ends with the reason and no chip
        // carries a number the register does not hold.
        QVERIFY(feeder.Start({kAta5577, 20, 300ms}));
        Find<QLineEdit>(*m_dlg, 1040)->setText("20");
        Click(1007);
        QTRY_VERIFY_WITH_TIMEOUT(m_dlg->m_nCount >= 2, kSeriesTimeoutMs);
        QVERIFY2(server.Stop(), qPrintable(server.Error()));
        QTRY_VERIFY_WITH_TIMEOUT(!SeriesRunning(), kSeriesTimeoutMs);
        feeder.Stop();
        Engine().RemoveFieldObserver(observer);
        QVERIFY2(m_dlg->m_strStatus.startsWith(kRegisterFailed), qPrintable(m_dlg->m_strStatus));
        QCOMPARE(watcher.Messages().size(), 1);
        QVERIFY2(watcher.Messages()[0].startsWith(m_dlg->m_strStatus + "\n\nSerie beendet: "),
                 qPrintable(watcher.Messages()[0]));

        QVERIFY2(server.Start(), qPrintable(server.Error()));
        rows = check.List({});
        QVERIFY2(rows, qPrintable(check.LastError()));
        std::set<uint64_t> held;
        for (const station::RegisterEntry& row : *rows)
            held.insert(
                vellf::EncodeCardWord(26, 255, static_cast<uint32_t>(row.fields.number), 0));
        for (const uint64_t word : onChips)
            QVERIFY2(held.count(word) == 1, "a chip carries a number the register does not hold");
        QVERIFY(rows->size() > 4);
    }

    void settingsDialogStoresTheServerWithoutAPassword() {
        CRegisterSettingsDlg dialog;
        dialog.show();
        QVERIFY(Control<QCheckBox>(&dialog, CRegisterSettingsDlg::IDC_ENABLED)->isChecked());
        QCOMPARE(Control<QLineEdit>(&dialog, CRegisterSettingsDlg::IDC_FILE)->placeholderText(),
                 station::DefaultRegisterFile());
        QVERIFY(!Control<QLineEdit>(&dialog, CRegisterSettingsDlg::IDC_HOST)->isEnabled());
        QTest::mouseClick(Control<QAbstractButton>(&dialog, CRegisterSettingsDlg::IDC_POSTGRESQL),
                          Qt::LeftButton);
        QVERIFY(Control<QLineEdit>(&dialog, CRegisterSettingsDlg::IDC_HOST)->isEnabled());
        QVERIFY(!Control<QLineEdit>(&dialog, CRegisterSettingsDlg::IDC_FILE)->isEnabled());
        Control<QLineEdit>(&dialog, CRegisterSettingsDlg::IDC_HOST)->setText("badge-server");
        Control<QLineEdit>(&dialog, CRegisterSettingsDlg::IDC_NAME)->setText("badges");
        Control<QLineEdit>(&dialog, CRegisterSettingsDlg::IDC_USER)->setText("office");
        auto* sslMode = Control<QComboBox>(&dialog, CRegisterSettingsDlg::IDC_SSL_MODE);
        QVERIFY(sslMode->isEnabled());
        QCOMPARE(sslMode->currentIndex(), 0);  // the client's default until chosen
        sslMode->setCurrentIndex(sslMode->findText("verify-full"));
        Control<QLineEdit>(&dialog, CRegisterSettingsDlg::IDC_SSL_ROOT_CERT)
            ->setText("/etc/orvex/root.crt");
        QTest::mouseClick(Control<QAbstractButton>(&dialog, CRegisterSettingsDlg::IDC_NEXT_FREE),
                          Qt::LeftButton);
        // A port out of range is refused and nothing is stored.
        Control<QLineEdit>(&dialog, CRegisterSettingsDlg::IDC_PORT)->setText("70000");
        {
            apptest::ModalWatcher watcher;
            QTest::mouseClick(Control<QPushButton>(&dialog, 1), Qt::LeftButton);
            QCOMPARE(watcher.Messages(),
                     QStringList{"Geben Sie eine ganze Zahl zwischen 1 und 65535 ein."});
        }
        QVERIFY(dialog.isVisible());
        QCOMPARE(GetSettingString("Register", "Database", "none"), QString("none"));
        Control<QLineEdit>(&dialog, CRegisterSettingsDlg::IDC_PORT)->setText("5433");
        QTest::mouseClick(Control<QPushButton>(&dialog, 1), Qt::LeftButton);
        QVERIFY(!dialog.isVisible());

        const station::RegisterSettings stored =
            station::RegisterSettingsFrom([](const QString& key, const QString& value) {
                return GetSettingString("Register", key, value);
            });
        QCOMPARE(stored.kind, station::RegisterSettings::Kind::PostgreSQL);
        QCOMPARE(stored.host, QString("badge-server"));
        QCOMPARE(stored.port, 5433);
        QCOMPARE(stored.database, QString("badges"));
        QCOMPARE(stored.user, QString("office"));
        QCOMPARE(stored.sslMode, QString("verify-full"));
        QCOMPARE(stored.sslRootCert, QString("/etc/orvex/root.crt"));
        QVERIFY(stored.unreadable.isEmpty());
        QVERIFY(stored.nextFree);
        QVERIFY(!ReadAll(apptest::SettingsFile()).contains("assword", Qt::CaseInsensitive));
    }

    void windowFiltersByNumberChipAndDate_data() {
        QTest::addColumn<QString>("number");
        QTest::addColumn<QString>("uid");
        QTest::addColumn<int>("fromDays");  // from today + days; 99: no from date
        QTest::addColumn<int>("toDays");
        QTest::addColumn<QList<qint64>>("shown");
        QTest::newRow("everything") << ""
                                    << "" << 99 << 99 << QList<qint64>{12, 2, 1};
        QTest::newRow("number") << "2"
                                << "" << 99 << 99 << QList<qint64>{2};
        QTest::newRow("chip, any case") << ""
                                        << "aa" << 99 << 99 << QList<qint64>{12, 1};
        QTest::newRow("number and chip") << "1"
                                         << "AA" << 99 << 99 << QList<qint64>{1};
        QTest::newRow("unknown number") << "3"
                                        << "" << 99 << 99 << QList<qint64>{};
        QTest::newRow("today") << ""
                               << "" << 0 << 0 << QList<qint64>{12, 2, 1};
        QTest::newRow("up to yesterday") << ""
                                         << "" << 99 << -1 << QList<qint64>{};
        QTest::newRow("from tomorrow") << ""
                                       << "" << 1 << 99 << QList<qint64>{};
    }
    void windowFiltersByNumberChipAndDate() {
        QFETCH(QString, number);
        QFETCH(QString, uid);
        QFETCH(int, fromDays);
        QFETCH(int, toDays);
        QFETCH(QList<qint64>, shown);
        auto cardRegister = FilledRegister();
        CRegisterDlg dialog(*cardRegister);
        dialog.show();
        QCOMPARE(ShownNumbers(dialog), (QList<qint64>{12, 2, 1}));
        QCOMPARE(Control<QLabel>(&dialog, CRegisterDlg::IDC_COUNT)->text(), QString("Einträge: 3"));
        Control<QLineEdit>(&dialog, CRegisterDlg::IDC_NUMBER)->setText(number);
        Control<QLineEdit>(&dialog, CRegisterDlg::IDC_UID)->setText(uid);
        const QDate today = QDate::currentDate();
        if (fromDays != 99) {
            QTest::mouseClick(Control<QCheckBox>(&dialog, CRegisterDlg::IDC_FROM), Qt::LeftButton);
            Control<QDateEdit>(&dialog, CRegisterDlg::IDC_FROM_DATE)
                ->setDate(today.addDays(fromDays));
        }
        if (toDays != 99) {
            QTest::mouseClick(Control<QCheckBox>(&dialog, CRegisterDlg::IDC_TO), Qt::LeftButton);
            Control<QDateEdit>(&dialog, CRegisterDlg::IDC_TO_DATE)->setDate(today.addDays(toDays));
        }
        QTest::mouseClick(Control<QPushButton>(&dialog, CRegisterDlg::IDC_SHOW), Qt::LeftButton);
        QCOMPARE(ShownNumbers(dialog), shown);
    }

    void windowExportsTheRowsShownAsCsv() {
        auto cardRegister = FilledRegister();
        CRegisterDlg dialog(*cardRegister);
        dialog.show();
        Control<QLineEdit>(&dialog, CRegisterDlg::IDC_UID)->setText("aa");
        QTest::mouseClick(Control<QPushButton>(&dialog, CRegisterDlg::IDC_SHOW), Qt::LeftButton);

        QString chosen;
        apptest::ModalWatcher watcher;
        watcher.SetDialogHandler([&chosen](QDialog* modal) {
            auto* files = qobject_cast<QFileDialog*>(modal);
            if (files == nullptr) return false;
            files->selectFile(chosen);
            modal->accept();
            return true;
        });
        chosen = m_dir.filePath("export.csv");
        QTest::mouseClick(Control<QPushButton>(&dialog, CRegisterDlg::IDC_EXPORT), Qt::LeftButton);
        QTRY_VERIFY(!dialog.ExportRunning());
        QCOMPARE(watcher.Messages(), QStringList{});
        // A German station exports for a German spreadsheet: ';' and UTF-8's byte-order mark.
        QString expected;
        {
            QTextStream out(&expected);
            station::WriteRegisterCsv(out, dialog.Rows().Entries(), {QLatin1Char(';'), true});
        }
        QCOMPARE(ReadBytes(chosen), expected.toUtf8());
        QVERIFY(ReadBytes(chosen).startsWith("\xEF\xBB\xBFid;format;"));
        QCOMPARE(expected.count('\n'), 3);  // the header and the two rows shown
        // A new export is the owner's alone (lfprog's tests show an earlier file keeping its mode).
        QCOMPARE(QFile::permissions(chosen), QFile::ReadOwner | QFile::WriteOwner |
                                                 QFile::ReadUser | QFile::WriteUser);

        // A file that cannot be made: the message names it, nothing is left behind.
        chosen = m_dir.filePath("export.csv/inside.csv");
        QTest::mouseClick(Control<QPushButton>(&dialog, CRegisterDlg::IDC_EXPORT), Qt::LeftButton);
        QTRY_COMPARE(watcher.Messages().size(), 1);
        QVERIFY2(watcher.Messages()[0].startsWith(
                     QString("Die Datei %1 konnte nicht geschrieben werden: ").arg(chosen)),
                 qPrintable(watcher.Messages()[0]));
        QCOMPARE(ReadBytes(m_dir.filePath("export.csv")), expected.toUtf8());
        QCOMPARE(QDir(m_dir.path()).entryList({"export*"}, QDir::Files | QDir::Hidden),
                 QStringList{"export.csv"});
    }

    // A register larger than a page is exported in the background: the bar moves, the window
    // stays usable, a cancel leaves nothing behind, a complete export holds every row.
    void windowExportsALargeRegisterInTheBackgroundAndCancels() {
        station::RegisterSettings settings;
        settings.file = m_dir.filePath("large.sqlite");
        station::CCardRegister cardRegister(settings, "test");
        QVERIFY2(cardRegister.Open(), qPrintable(cardRegister.LastError()));
        {
            QSqlDatabase raw = registerfill::PlainConnection(settings, "large-fill");
            QString error;
            QVERIFY2(registerfill::FillRegister(raw, 20000, 0, error), qPrintable(error));
        }
        QSqlDatabase::removeDatabase("large-fill");
        CRegisterDlg dialog(cardRegister);
        dialog.show();
        auto* exportButton = Control<QPushButton>(&dialog, CRegisterDlg::IDC_EXPORT);
        auto* cancel = Control<QPushButton>(&dialog, CRegisterDlg::IDC_EXPORT_CANCEL);
        auto* bar = Control<QProgressBar>(&dialog, CRegisterDlg::IDC_EXPORT_PROGRESS);
        QVERIFY(!cancel->isVisible() && !bar->isVisible());

        const QString chosen = m_dir.filePath("large.csv");
        apptest::ModalWatcher watcher;
        watcher.SetDialogHandler([&chosen](QDialog* modal) {
            auto* files = qobject_cast<QFileDialog*>(modal);
            if (files == nullptr) return false;
            files->selectFile(chosen);
            files->selectNameFilter(files->nameFilters().at(1));  // ',' without a mark
            modal->accept();
            return true;
        });
        QTest::mouseClick(exportButton, Qt::LeftButton);
        QVERIFY(cancel->isVisible() && bar->isVisible() && !exportButton->isEnabled());
        QTest::mouseClick(cancel, Qt::LeftButton);
        QTRY_VERIFY(!dialog.ExportRunning());
        QTRY_VERIFY(!cancel->isVisible());
        QVERIFY(exportButton->isEnabled());
        QCOMPARE(watcher.Messages(), QStringList{});
        QCOMPARE(QDir(m_dir.path()).entryList({"large.csv*", ".large.csv*"},
                                              QDir::Files | QDir::Hidden),
                 QStringList{});

        std::set<int> shown;
        connect(bar, &QProgressBar::valueChanged, this, [&](int value) { shown.insert(value); });
        QTest::mouseClick(exportButton, Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!dialog.ExportRunning(), 60000);
        QCOMPARE(watcher.Messages(), QStringList{});
        QVERIFY2(std::any_of(shown.begin(), shown.end(),
                             [](int value) { return value > 0 && value < 1000; }),
                 "the bar never moved between its ends");
        QString expected;
        {
            QTextStream out(&expected);
            std::int64_t rows = 0;
            QVERIFY(cardRegister.ExportCsv(out, {}, {}, rows));
            QCOMPARE(rows, 20000);
        }
        QCOMPARE(ReadBytes(chosen), expected.toUtf8());
    }

  private:
    // A register of its own with three written cards: numbers 1, 2 and 12 on chips "AA01",
    // "BB02" and "aa12".
    std::unique_ptr<station::CCardRegister> FilledRegister() {
        station::RegisterSettings settings;
        settings.file = m_dir.filePath(QString("filter-%1.sqlite").arg(++m_registers));
        auto cardRegister = std::make_unique<station::CCardRegister>(settings, "test");
        if (!cardRegister->Open()) qFatal("register: %s", qPrintable(cardRegister->LastError()));
        const std::pair<int, const char*> cards[] = {{1, "AA01"}, {2, "BB02"}, {12, "aa12"}};
        for (const auto& [number, uid] : cards) {
            station::CardRecord card;
            card.chipType = kAta5577;
            card.fields = {7, number, 0};
            card.customer = QString::number(number);
            std::int64_t rowId = 0;
            std::optional<station::RegisterEntry> earlier;
            if (cardRegister->Reserve(card, false, rowId, earlier) !=
                    station::ReserveResult::Reserved ||
                !cardRegister->Confirm(rowId, true, uid))
                qFatal("register: %s", qPrintable(cardRegister->LastError()));
        }
        return cardRegister;
    }

    int m_registers = 0;
};

ORVEX_APP_TEST_MAIN(CardRegisterTest)
#include "tst_cardregister.moc"
