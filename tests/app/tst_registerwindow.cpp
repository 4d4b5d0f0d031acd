// The register window as an operator meets it on a 1024×600 screen: beside the station and
// not in its way while cards are written, its states and a card's history in both
// languages, and the row commands that revoke a card or resolve one whose write was never
// confirmed (the chip read back on the station's virtual reader).
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QFile>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSysInfo>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <chrono>
#include <memory>

#include "CardFeeder.h"
#include "LanguageResources.h"
#include "TransponderFactory.h"
#include "cards/CardFormat.h"
#include "dialogs/RegisterDlg.h"
#include "dialogs/RegisterSettingsDlg.h"
#include "dialogs/ResolveCardDlg.h"
#include "dialogs/RevokeCardDlg.h"
#include "station/register/CardRegister.h"
#include "support/AppTest.h"
#include "support/WriteStationFixture.h"

using apptest::Find;
using namespace std::chrono_literals;

namespace {

constexpr int kAta5577 = 9;
const QSize kSmallScreen(1024, 600);

template <typename T = QWidget>
T* Control(QWidget* window, int id) {
    T* control = ControlById<T>(window, id);
    if (control == nullptr) qFatal("control %d missing", id);
    return control;
}

QStringList Column(const QAbstractItemModel& model, int column) {
    QStringList cells;
    for (int row = 0; row < model.rowCount(); ++row)
        cells << model.index(row, column).data().toString();
    return cells;
}

QStringList Column(QTableWidget* table, int column) {
    return Column(*table->model(), column);
}

int RowOfNumber(const CRegisterDlg& window, qint64 number) {
    const auto& entries = window.Rows().Entries();
    for (std::size_t row = 0; row < entries.size(); ++row) {
        if (entries[row].fields.number == number) return static_cast<int>(row);
    }
    qFatal("number %lld not shown", static_cast<long long>(number));
}

QPoint CellCentre(CRegisterDlg& window, int row) {
    auto* table = Control<QTableView>(&window, CRegisterDlg::IDC_TABLE);
    return table->visualRect(table->model()->index(row, 0)).center();
}

void ClickRow(CRegisterDlg& window, int row) {
    auto* table = Control<QTableView>(&window, CRegisterDlg::IDC_TABLE);
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, CellCentre(window, row));
}

// Opens the row's context menu as a right click does; the menu's actions in its order.
QList<QAction*> OpenRowMenu(CRegisterDlg& window, int row) {
    auto* table = Control<QTableView>(&window, CRegisterDlg::IDC_TABLE);
    const QPoint at = CellCentre(window, row);
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, table->viewport()->mapToGlobal(at));
    QApplication::sendEvent(table->viewport(), &event);
    if (!QTest::qWaitFor([&window] { return window.RowMenu()->isVisible(); }))
        qFatal("no row menu");
    return window.RowMenu()->actions();
}

void ClickMenuAction(CRegisterDlg& window, QAction* action) {
    QMenu* menu = window.RowMenu();
    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(action).center());
}

void ClickButton(QWidget* dialog, int id) {
    QTest::mouseClick(Control<QPushButton>(dialog, id), Qt::LeftButton);
}

station::CardRecord Card(qint64 number) {
    station::CardRecord card;
    card.chipType = kAta5577;
    card.fields = {7, number, 0};
    card.customer = QString::number(number);
    return card;
}

// A register with a card in every state: 1 written on chip BB01, re-issued over its first
// chip AA01 (replaced); 2 unverified; 3 revoked as lost; 4 reserved and never confirmed.
void FillEveryState(station::CCardRegister& cardRegister) {
    auto check = [&cardRegister](bool ok) {
        if (!ok) qFatal("register: %s", qPrintable(cardRegister.LastError()));
    };
    std::int64_t row = 0;
    std::optional<station::RegisterEntry> earlier;
    using station::ReserveResult;
    check(cardRegister.Reserve(Card(1), false, row, earlier) == ReserveResult::Reserved);
    check(cardRegister.Confirm(row, true, "AA01"));
    const std::int64_t first = row;
    check(cardRegister.ReserveReissue(Card(1), false, first, "badge lost", row, earlier) ==
          ReserveResult::Reserved);
    check(cardRegister.Confirm(row, true, "BB01"));
    check(cardRegister.Reserve(Card(2), false, row, earlier) == ReserveResult::Reserved);
    check(cardRegister.HoldUnverified(row, "AA02"));
    check(cardRegister.Reserve(Card(3), false, row, earlier) == ReserveResult::Reserved);
    check(cardRegister.Confirm(row, true, "AA03"));
    check(cardRegister.Revoke(row, station::RevokeReason::Lost));
    check(cardRegister.Reserve(Card(4), false, row, earlier) == ReserveResult::Reserved);
}

}  // namespace

class RegisterWindowTest : public apptest::WriteStationFixture {
    Q_OBJECT

  private:
    void OpenRegisterWindow() {
        for (QAction* action : m_dlg->SystemMenu()->actions()) {
            if (action->data().toInt() == COrvexFSKDlg::IDM_REGISTER) action->trigger();
        }
        QVERIFY(m_dlg->RegisterWindow() != nullptr);
        QVERIFY(m_dlg->RegisterWindow()->isVisible());
    }
    std::unique_ptr<station::CCardRegister> OwnRegister() {
        station::RegisterSettings settings;
        settings.file = m_dir.filePath(QString("own-%1.sqlite").arg(++m_registers));
        auto cardRegister = std::make_unique<station::CCardRegister>(settings, "test");
        if (!cardRegister->Open()) qFatal("register: %s", qPrintable(cardRegister->LastError()));
        return cardRegister;
    }

    int m_registers = 0;

  private Q_SLOTS:
    void init() { PrepareWriteStation(); }
    void cleanup() {
        CloseWriteStation();
        CLanguageResources::SetFileOverride(QString());
    }

    void opensBesideTheStationOnASmallScreenAndFollowsItsWrites() {
        m_reader->Place(kAta5577);
        Open();
        m_dlg->move(0, 0);
        apptest::ModalWatcher watcher;
        OpenRegisterWindow();
        CRegisterDlg& window = *m_dlg->RegisterWindow();
        QCOMPARE(watcher.Dialogs(), QStringList{});
        QVERIFY(!window.isModal());
        QCOMPARE(QApplication::activeModalWidget(), nullptr);
        QCOMPARE(window.windowTitle(), "Kartenregister – " + station::DefaultRegisterFile());

        // All of it on the screen, beside the station, its buttons within reach.
        const QRect screen = window.screen()->availableGeometry();
        QCOMPARE(screen.size(), kSmallScreen);
        QVERIFY(screen.contains(window.frameGeometry()));
        QVERIFY(!window.frameGeometry().intersects(m_dlg->frameGeometry()));
        for (const int id : {CRegisterDlg::IDC_EXPORT, 2}) {
            auto* button = Control<QPushButton>(&window, id);
            QVERIFY(button->isVisible());
            QVERIFY(screen.contains(QRect(button->mapToGlobal(QPoint(0, 0)), button->size())));
        }

        // The station writes with the window open; the window shows each card once written.
        for (const char* number : {"4711", "4712"}) {
            m_reader->Remove();
            m_reader->Place(kAta5577);
            SetCustomer(number);
            Click(1006);
            QVERIFY2(m_dlg->m_strStatus.startsWith("Schreibvorgang erfolgreich"),
                     qPrintable(m_dlg->m_strStatus));
        }
        QTRY_COMPARE(Column(window.Rows(), CRegisterTableModel::kState),
                     (QStringList{"geschrieben", "geschrieben"}));
        QCOMPARE(Column(window.Rows(), CRegisterTableModel::kNumber),
                 (QStringList{"4712", "4711"}));
        // A series goes on with the window open, and the window follows it card by card.
        m_reader->Remove();
        vsim::CardFeeder feeder(Engine());
        QVERIFY(feeder.Start({kAta5577, 2, 0ms}));
        SetCustomer("100");
        if (!Find<QCheckBox>(*m_dlg, 1019)->isChecked()) Click(1019);  // stop at the count
        Find<QLineEdit>(*m_dlg, 1040)->setText("2");
        Click(1007);
        QVERIFY(SeriesRunning());
        QTRY_VERIFY_WITH_TIMEOUT(!SeriesRunning(), 30000);
        QTRY_COMPARE(Column(window.Rows(), CRegisterTableModel::kNumber),
                     (QStringList{"101", "100", "4712", "4711"}));
        QTRY_COMPARE(Column(window.Rows(), CRegisterTableModel::kState).count("geschrieben"), 4);
        QVERIFY(window.isVisible());

        // Rows one line high, and the columns that do not fit scroll.
        auto* table = Control<QTableView>(&window, CRegisterDlg::IDC_TABLE);
        QVERIFY(table->rowHeight(0) < 2 * table->fontMetrics().height());
        QVERIFY(table->horizontalScrollBar()->maximum() > 0);

        // Closed and opened again, it is the same window, again beside the station.
        ClickButton(&window, 2);
        QVERIFY(!window.isVisible());
        OpenRegisterWindow();
        QCOMPARE(m_dlg->RegisterWindow(), &window);
        QVERIFY(!window.frameGeometry().intersects(m_dlg->frameGeometry()));
    }

    void followsTheRegisterChosenInItsSettings() {
        m_reader->Place(kAta5577);
        Open();
        OpenRegisterWindow();
        // Another register file chosen while the window is open: the window reads that one.
        const QString other = m_dir.filePath("other.sqlite");
        apptest::ModalWatcher watcher;
        watcher.SetDialogHandler([&other](QDialog* dialog) {
            if (qobject_cast<CRegisterSettingsDlg*>(dialog) == nullptr) return false;
            Control<QLineEdit>(dialog, CRegisterSettingsDlg::IDC_FILE)->setText(other);
            ClickButton(dialog, 1);
            return true;
        });
        for (QAction* action : m_dlg->SystemMenu()->actions()) {
            if (action->data().toInt() == COrvexFSKDlg::IDM_REGISTER_SETTINGS) action->trigger();
        }
        QCOMPARE(watcher.Dialogs(), QStringList{"Kartenregister-Einstellungen"});
        CRegisterDlg* window = m_dlg->RegisterWindow();
        QVERIFY(window != nullptr && window->isVisible());
        QCOMPARE(window->windowTitle(), "Kartenregister – " + other);
        SetCustomer("4711");
        Click(1006);
        QTRY_COMPARE(Column(window->Rows(), CRegisterTableModel::kNumber), QStringList{"4711"});
        QVERIFY(QFile::exists(other));
    }

    void showsEveryStateAndACardsHistory_data() {
        QTest::addColumn<bool>("english");
        QTest::addColumn<QStringList>("states");       // numbers 4, 3, 2, 1 (valid), 1 (replaced)
        QTest::addColumn<QStringList>("chainStates");  // number 1: valid first
        QTest::addColumn<QStringList>("events");       // number 1, oldest first
        QTest::newRow("German") << false
                                << QStringList{"reserviert, unbestätigt", "widerrufen (verloren)",
                                               "ungeprüft", "geschrieben", "ersetzt"}
                                << QStringList{"geschrieben", "ersetzt"}
                                << QStringList{"reserviert", "geprüft",
                                               "als Ersatzkarte ausgegeben", "geprüft", "ersetzt"};
        QTest::newRow("English") << true
                                 << QStringList{"reserved, not confirmed", "revoked (lost)",
                                                "unverified", "written", "replaced"}
                                 << QStringList{"written", "replaced"}
                                 << QStringList{"reserved", "verified", "re-issued", "verified",
                                                "replaced"};
    }
    void showsEveryStateAndACardsHistory() {
        QFETCH(bool, english);
        QFETCH(QStringList, states);
        QFETCH(QStringList, chainStates);
        QFETCH(QStringList, events);
        CLanguageResources language;
        if (english) {
            CLanguageResources::SetFileOverride(ORVEX_QM_FILE);
            QVERIFY(language.Load());
        }
        auto cardRegister = OwnRegister();
        FillEveryState(*cardRegister);
        CRegisterDlg window(*cardRegister);
        window.show();
        QCOMPARE(Column(window.Rows(), CRegisterTableModel::kNumber),
                 (QStringList{"4", "3", "2", "1", "1"}));
        QCOMPARE(Column(window.Rows(), CRegisterTableModel::kState), states);

        // The replaced card's row: the pane names the valid card above the one it replaced.
        ClickRow(window, 4);
        QCOMPARE(Control<QGroupBox>(&window, CRegisterDlg::IDC_CARD)->title(),
                 english ? QString("26 Bit, facility 7, number 1")
                         : QString("26 Bit, Einrichtung 7, Nummer 1"));
        auto* cards = Control<QTableWidget>(&window, CRegisterDlg::IDC_CARDS);
        QCOMPARE(Column(cards, 0), chainStates);
        QCOMPARE(Column(cards, 2), (QStringList{"BB01", "AA01"}));
        auto* history = Control<QTableWidget>(&window, CRegisterDlg::IDC_HISTORY);
        QCOMPARE(Column(history, 1), events);
        const int reissue = 2;  // with its reason and station
        QCOMPARE(history->item(reissue, 2)->text(), QString("badge lost"));
        QCOMPARE(history->item(reissue, 3)->text(), QSysInfo::machineHostName());
        for (int row = 0; row < history->rowCount(); ++row)
            QVERIFY(!history->item(row, 0)->text().isEmpty());

        // The revoked card's reason in its history, in the operator's language.
        ClickRow(window, 1);
        QCOMPARE(Column(history, 2).last(), english ? QString("lost") : QString("verloren"));
    }

    void revokeAsksNamingTheCardAndRecordsTheReason_data() {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("cancelled") << false;
        QTest::newRow("revoked as stolen") << true;
    }
    void revokeAsksNamingTheCardAndRecordsTheReason() {
        QFETCH(bool, confirm);
        auto cardRegister = OwnRegister();
        FillEveryState(*cardRegister);
        CRegisterDlg window(*cardRegister);
        window.show();
        const station::RegisterEntry card = window.Rows().Entries()[3];  // 1 on BB01

        // Only a valid card can be revoked: not the replaced one, nor a reservation.
        for (const int row : {4, 0}) {
            const QList<QAction*> actions = OpenRowMenu(window, row);
            QVERIFY(!actions[0]->isEnabled());
            window.RowMenu()->close();
        }

        QString question;
        bool cancelIsDefault = false;
        int reasons = 0;
        apptest::ModalWatcher watcher;
        watcher.SetDialogHandler([&](QDialog* dialog) {
            if (qobject_cast<CRevokeCardDlg*>(dialog) == nullptr) return false;
            question = Control<QLabel>(dialog, CRevokeCardDlg::IDC_QUESTION)->text();
            cancelIsDefault = Control<QPushButton>(dialog, CRevokeCardDlg::IDCANCEL)->isDefault();
            auto* reason = Control<QComboBox>(dialog, CRevokeCardDlg::IDC_REASON);
            reasons = reason->count();
            reason->setCurrentIndex(1);
            ClickButton(dialog, confirm ? CRevokeCardDlg::IDC_REVOKE : CRevokeCardDlg::IDCANCEL);
            return true;
        });
        const QList<QAction*> actions = OpenRowMenu(window, 3);
        QVERIFY(actions[0]->isEnabled());
        ClickMenuAction(window, actions[0]);
        QTRY_COMPARE(watcher.Dialogs(), QStringList{"Karte widerrufen"});
        QCOMPARE(question,
                 QString("26 Bit, Einrichtung 7, Nummer 1 auf Chip BB01 (ATA5577), geschrieben am "
                         "%1, widerrufen?\n\nDie Nummer wird danach nicht wieder vergeben; nur "
                         "eine Ersatzkarte beschreibt sie erneut.")
                     .arg(card.time.toLocalTime().toString("yyyy-MM-dd HH:mm:ss")));
        QVERIFY(cancelIsDefault);
        QCOMPARE(reasons, 4);
        QCOMPARE(watcher.Messages(), QStringList{});

        const int row = RowOfNumber(window, 1);
        QCOMPARE(window.Rows().Entries()[static_cast<std::size_t>(row)].id, card.id);
        QCOMPARE(window.Rows().index(row, CRegisterTableModel::kState).data().toString(),
                 confirm ? QString("widerrufen (gestohlen)") : QString("geschrieben"));
        const auto stored = cardRegister->History(card.id);
        QVERIFY(stored);
        QCOMPARE(stored->back().kind == "revoked", confirm);
        if (confirm) QCOMPARE(stored->back().reason, QString("stolen"));
        // The pane follows the change.
        auto* history = Control<QTableWidget>(&window, CRegisterDlg::IDC_HISTORY);
        QCOMPARE(Column(history, 1).last() == "widerrufen", confirm);
    }

    void resolveReadsTheChipBackOrReleasesOrMarksItDestroyed_data() {
        QTest::addColumn<int>("choice");
        QTest::addColumn<qint64>("onChip");  // the number the chip on the reader carries
        QTest::addColumn<QString>("state");  // the reservation's state after it; "" gone
        QTest::addColumn<QString>("message");
        QTest::newRow("read back, the chip carries it")
            << int(CResolveCardDlg::IDC_READ_BACK) << qint64{4711} << "geschrieben"
            << "";
        QTest::newRow("read back, the chip carries another card")
            << int(CResolveCardDlg::IDC_READ_BACK) << qint64{4712} << "reserviert, unbestätigt"
            << "Der Transponder trägt nicht 26 Bit, Einrichtung 255, Nummer 4711: gelesen: "
               "26 Bit, Einrichtung 255, Nummer 4712";
        QTest::newRow("read back, no chip")
            << int(CResolveCardDlg::IDC_READ_BACK) << qint64{-1} << "reserviert, unbestätigt"
            << "Der Transponder trägt nicht 26 Bit, Einrichtung 255, Nummer 4711: "
               "Kein Transponder";
        QTest::newRow("released") << int(CResolveCardDlg::IDC_RELEASE) << qint64{-1} << ""
                                  << "";
        QTest::newRow("destroyed")
            << int(CResolveCardDlg::IDC_DESTROYED) << qint64{-1} << "widerrufen (zerstört)"
            << "";
    }
    void resolveReadsTheChipBackOrReleasesOrMarksItDestroyed() {
        QFETCH(int, choice);
        QFETCH(qint64, onChip);
        QFETCH(QString, state);
        QFETCH(QString, message);
        // Another station reserved 4711 and ended before it confirmed the card.
        std::int64_t reserved = 0;
        {
            station::CCardRegister killed(station::RegisterSettings{}, "test");
            station::CardRecord card = Card(4711);
            card.fields.facility = 255;
            std::optional<station::RegisterEntry> earlier;
            QCOMPARE(killed.Reserve(card, false, reserved, earlier),
                     station::ReserveResult::Reserved);
        }
        if (onChip >= 0)
            Engine().PlaceTransponder(vsim::MakeCardChip(
                kAta5577, vellf::EncodeCardWord(26, 255, static_cast<uint32_t>(onChip), 0)));
        Open();
        OpenRegisterWindow();
        CRegisterDlg& window = *m_dlg->RegisterWindow();
        QCOMPARE(window.Rows().Entries().size(), std::size_t{1});

        QString question;
        apptest::ModalWatcher watcher;
        watcher.SetDialogHandler([&](QDialog* dialog) {
            if (qobject_cast<CResolveCardDlg*>(dialog) == nullptr) return false;
            question = Control<QLabel>(dialog, CResolveCardDlg::IDC_QUESTION)->text();
            ClickButton(dialog, choice);
            return true;
        });
        const QList<QAction*> actions = OpenRowMenu(window, 0);
        QVERIFY(!actions[0]->isEnabled());  // nothing written to revoke yet
        QVERIFY(actions[1]->isEnabled());
        ClickMenuAction(window, actions[1]);
        QTRY_COMPARE(watcher.Dialogs(), QStringList{"Karte klären"});
        QVERIFY2(question.startsWith("26 Bit, Einrichtung 255, Nummer 4711 ist reserviert, "
                                     "unbestätigt ("),
                 qPrintable(question));
        QCOMPARE(watcher.Messages(), message.isEmpty() ? QStringList{} : QStringList{message});

        const auto& rows = window.Rows().Entries();
        QCOMPARE(rows.empty(), state.isEmpty());
        if (!state.isEmpty()) {
            QCOMPARE(window.Rows().index(0, CRegisterTableModel::kState).data().toString(), state);
            // Confirmed with the identification of the chip read.
            if (state == "geschrieben") QVERIFY(!rows[0].uid.isEmpty());
        }
        // The history keeps what was done, also of a released reservation.
        station::CCardRegister check(station::RegisterSettings{}, "test");
        const auto history = check.History(reserved);
        QVERIFY2(history, qPrintable(check.LastError()));
        const bool resolved = message.isEmpty();
        QCOMPARE(history->back().kind == "resolved", resolved);
    }

    // An unverified card's chip may carry it: Enter in the resolve dialog marks it destroyed,
    // and a release needs a second yes that names the risk (No is the default).
    void releasingAnUnverifiedCardAsksFirst() {
        {
            station::CCardRegister failed(station::RegisterSettings{}, "test");
            station::CardRecord card = Card(4711);
            card.fields.facility = 255;
            std::int64_t reserved = 0;
            std::optional<station::RegisterEntry> earlier;
            QCOMPARE(failed.Reserve(card, false, reserved, earlier),
                     station::ReserveResult::Reserved);
            QVERIFY(failed.HoldUnverified(reserved, QString()));
        }
        Open();
        OpenRegisterWindow();
        CRegisterDlg& window = *m_dlg->RegisterWindow();
        for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
            apptest::ModalWatcher watcher(answer);
            bool destroyedIsDefault = false;
            watcher.SetDialogHandler([&](QDialog* dialog) {
                if (qobject_cast<CResolveCardDlg*>(dialog) == nullptr) return false;
                destroyedIsDefault =
                    Control<QPushButton>(dialog, CResolveCardDlg::IDC_DESTROYED)->isDefault();
                ClickButton(dialog, CResolveCardDlg::IDC_RELEASE);
                return true;
            });
            ClickMenuAction(window, OpenRowMenu(window, 0)[1]);
            QTRY_COMPARE(watcher.Messages().size(), 1);
            QVERIFY(destroyedIsDefault);
            QVERIFY2(watcher.Messages()[0].startsWith(
                         "26 Bit, Einrichtung 255, Nummer 4711 ist unbest\u00E4tigt"),
                     qPrintable(watcher.Messages()[0]));
            QCOMPARE(watcher.DefaultButtons(), QList<QMessageBox::StandardButton>{QMessageBox::No});
            QTRY_COMPARE(window.Rows().Entries().empty(), answer == QMessageBox::Yes);
        }
    }
};

// A screen of 1024×600, as on the small desks the station must fit.
int main(int argc, char** argv) {
    apptest::PrepareEnvironment();
    const QString screens = qEnvironmentVariable("XDG_RUNTIME_DIR") + "/small-screen.json";
    QFile config(screens);
    if (!config.open(QIODevice::WriteOnly) ||
        config.write(QString(R"({"screens": [{"name": "small", "x": 0, "y": 0, "width": %1, )"
                             R"("height": %2, "logicalDpi": 96, "dpr": 1}]})")
                         .arg(kSmallScreen.width())
                         .arg(kSmallScreen.height())
                         .toUtf8()) < 0)
        qFatal("cannot write %s", qPrintable(screens));
    config.close();
    qputenv("QT_QPA_PLATFORM", QFile::encodeName("offscreen:configfile=" + screens));
    QApplication app(argc, argv);
    RegisterWindowTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_registerwindow.moc"
