// Cards for people at the station: the holder field links the card written to the person and
// asks before a second one, a lost card is revoked and replaced from the holders window, and a
// series there gives each holder without a card the next chip, a chip that does not verify
// keeping its holder. No holder's name ever reaches the trace viewer.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QFileDialog>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSocketNotifier>
#include <QTableWidget>
#include <chrono>
#include <cstring>
#include <memory>

#include "HoldersWindow.h"
#include "TransponderFactory.h"
#include "cards/CardFormat.h"
#include "dialogs/HolderEditDlg.h"
#include "station/register/CardRegister.h"
#include "station/register/Holders.h"
#include "support/AppTest.h"
#include "support/WriteStationFixture.h"

using apptest::Find;
using station::RegisterEntry;
using namespace std::chrono_literals;

namespace {

constexpr int kAta5577 = 9;
const QString kWriteDone = QStringLiteral("Schreibvorgang erfolgreich abgeschlossen");
const QStringList kNames{"Anna Berg", "Bert Carl", "Carla Dorn"};

// The trace viewer's socket, bound by the test and drained as datagrams arrive; the text is
// the groups joined, their zero padding dropped.
class TraceViewer {
  public:
    TraceViewer() {
        const QByteArray path =
            QFile::encodeName(qEnvironmentVariable("XDG_RUNTIME_DIR") + "/QorTracer");
        QFile::remove(QString::fromLocal8Bit(path));
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::memcpy(address.sun_path, path.constData(), path.size() + 1);
        m_fd = ::socket(AF_UNIX, SOCK_DGRAM, 0);
        const int size = 4 << 20;
        ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
        if (::bind(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            qFatal("trace socket not bound");
        m_path = QString::fromLocal8Bit(path);
        m_notifier = std::make_unique<QSocketNotifier>(m_fd, QSocketNotifier::Read);
        QObject::connect(m_notifier.get(), &QSocketNotifier::activated, [this] { Drain(); });
    }
    ~TraceViewer() {
        m_notifier.reset();
        ::close(m_fd);
        QFile::remove(m_path);
    }
    QString Text() {
        Drain();
        QByteArray text = m_received;
        text.replace('\0', QByteArray());
        return QString::fromLatin1(text);
    }

  private:
    void Drain() {
        char buffer[64];
        ssize_t count;
        while ((count = ::recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT)) > 0)
            m_received.append(buffer, count);
    }
    int m_fd = -1;
    QString m_path;
    QByteArray m_received;
    std::unique_ptr<QSocketNotifier> m_notifier;
};

}  // namespace

class HoldersTest : public apptest::WriteStationFixture {
    Q_OBJECT

  private:
    std::unique_ptr<station::CCardRegister> m_register;
    std::vector<std::int64_t> m_ids;
    std::unique_ptr<TraceViewer> m_trace;

    // Anna, Bert and Carla (departments A, A, B) in the station's register, none with a card.
    void AddHolders() {
        m_register = std::make_unique<station::CCardRegister>(station::RegisterSettings{}, "test");
        QVERIFY2(m_register->Open(), qPrintable(m_register->LastError()));
        m_ids.clear();
        for (int index = 0; index < kNames.size(); ++index) {
            station::Holder holder;
            holder.personnelNumber = QString("Pers-%1").arg(100 + index);
            holder.name = kNames[index];
            holder.department = index < 2 ? "A" : "B";
            QVERIFY2(m_register->SaveHolder(holder), qPrintable(m_register->LastError()));
            m_ids.push_back(holder.id);
        }
    }
    station::Holder HolderOf(std::int64_t id) {
        std::optional<station::Holder> holder;
        if (!m_register->FindHolder(id, holder) || !holder) qFatal("holder %lld missing", (long long)id);
        return *holder;
    }
    std::vector<RegisterEntry> CardsOf(std::int64_t id) {
        auto cards = m_register->HolderCards(id);
        if (!cards) qFatal("holder cards: %s", qPrintable(m_register->LastError()));
        return *cards;
    }
    // Types into the holder field and picks the first holder the completion offers.
    void PickHolder(const QString& typed) {
        auto* field = Find<QLineEdit>(*m_dlg, COrvexFSKDlg::IDC_HOLDER);
        field->clear();
        QTest::keyClicks(field, typed);
        QAbstractItemView* popup = field->completer()->popup();
        QTRY_VERIFY(popup->isVisible());
        popup->setCurrentIndex(popup->model()->index(0, 0));
        QTest::keyClick(popup, Qt::Key_Return);
    }
    void FreshChip() {
        m_reader->Remove();
        m_reader->Place(kAta5577);
    }
    void WriteOnce(const QString& number) {
        SetCustomer(number);
        Click(1006);
    }
    CHoldersWindow* OpenHoldersWindow() {
        for (QAction* action : m_dlg->SystemMenu()->actions())
            if (action->data().toInt() == COrvexFSKDlg::IDM_HOLDERS) action->trigger();
        return m_dlg->HoldersWindow();
    }
    void SelectHolder(CHoldersWindow* window, std::int64_t id) {
        const auto& shown = window->Shown();
        for (int row = 0; row < static_cast<int>(shown.size()); ++row)
            if (shown[static_cast<std::size_t>(row)].id == id)
                ControlById<QTableWidget>(window, CHoldersWindow::IDC_HOLDERS)->selectRow(row);
    }

  private Q_SLOTS:
    void init() {
        PrepareWriteStation();
        m_trace = std::make_unique<TraceViewer>();
        AddHolders();
    }
    void cleanup() {
        CloseWriteStation();
        // Whatever the test did, the trace never carried a holder's name or personnel number.
        const QString trace = m_trace->Text();
        for (const QString& name : kNames) QVERIFY2(!trace.contains(name), qPrintable(trace));
        QVERIFY2(!trace.contains("Pers-"), qPrintable(trace));
        m_trace.reset();
        m_register.reset();
    }

    void holderChosenInTheFieldGetsTheCard() {
        m_reader->Place(kAta5577);
        Open();
        PickHolder("berg");
        QCOMPARE(Find<QLineEdit>(*m_dlg, COrvexFSKDlg::IDC_HOLDER)->text(),
                 QString("Anna Berg (Pers-100)"));
        WriteOnce("4711");
        QVERIFY2(m_dlg->m_strStatus.startsWith(kWriteDone), qPrintable(m_dlg->m_strStatus));
        QVERIFY(!m_dlg->m_strStatus.contains("Anna"));
        QCOMPARE(Find<QLabel>(*m_dlg, COrvexFSKDlg::IDC_HOLDER_OF_CARD)->text(),
                 QString("für Anna Berg"));
        const station::Holder anna = HolderOf(m_ids[0]);
        QVERIFY(anna.validCard);
        QCOMPARE(anna.validCard->fields.number, 4711);
        QCOMPARE(anna.validCard->holder, m_ids[0]);
        QVERIFY(m_trace->Text().contains(kWriteDone));  // the viewer does receive status lines

        // Typing again unlinks: a card written now goes to nobody.
        QTest::keyClicks(Find<QLineEdit>(*m_dlg, COrvexFSKDlg::IDC_HOLDER), "x");
        FreshChip();
        WriteOnce("4800");
        QVERIFY2(m_dlg->m_strStatus.startsWith(kWriteDone), qPrintable(m_dlg->m_strStatus));
        QCOMPARE(CardsOf(m_ids[0]).size(), std::size_t(1));
        QVERIFY(Find<QLabel>(*m_dlg, COrvexFSKDlg::IDC_HOLDER_OF_CARD)->text().isEmpty());
    }

    void holderWithACardIsAsked_data() {
        QTest::addColumn<int>("choice");  // the item picked; -1: cancelled
        QTest::addColumn<QList<int>>("states");  // the holder's cards afterwards, newest first
        QTest::addColumn<QString>("reason");     // the first card's reason afterwards
        using S = RegisterEntry::State;
        QTest::newRow("second card") << 4 << QList<int>{int(S::Written), int(S::Written)} << "";
        QTest::newRow("replaces a stolen one")
            << 1 << QList<int>{int(S::Written), int(S::Revoked)} << "stolen";
        QTest::newRow("cancelled") << -1 << QList<int>{int(S::Written)} << "";
    }
    void holderWithACardIsAsked() {
        QFETCH(int, choice);
        QFETCH(QList<int>, states);
        QFETCH(QString, reason);
        m_reader->Place(kAta5577);
        Open();
        PickHolder("Pers-101");
        WriteOnce("500");
        QVERIFY2(m_dlg->m_strStatus.startsWith(kWriteDone), qPrintable(m_dlg->m_strStatus));

        FreshChip();
        apptest::ModalWatcher watcher;
        QString question;
        watcher.SetDialogHandler([&](QDialog* dialog) {
            auto* input = qobject_cast<QInputDialog*>(dialog);
            if (input == nullptr) return false;
            question = input->labelText();
            if (choice < 0) {
                input->reject();
            } else {
                input->setTextValue(input->comboBoxItems().at(choice));
                input->accept();
            }
            return true;
        });
        WriteOnce("501");
        QVERIFY2(question.contains("Bert Carl") && question.contains("500"), qPrintable(question));
        const auto cards = CardsOf(m_ids[1]);
        QList<int> shown;
        for (const RegisterEntry& card : cards) shown << int(card.state);
        QCOMPARE(shown, states);
        QCOMPARE(cards.back().reason, reason);
        // Cancelled, the fresh chip stays blank.
        QCOMPARE(CardOnField().has_value(), choice >= 0);
    }

    // Chosen in the field, then marked as left by another station's import: the write is
    // refused with the reason, the chip stays blank, and the field empties.
    void holderWhoLeftMeanwhileGetsNoCard() {
        m_reader->Place(kAta5577);
        Open();
        PickHolder("Pers-100");
        station::HolderImportPlan plan;
        QVERIFY2(m_register->ImportHolders({{2, "Pers-101", kNames[1], "A", ""},
                                            {3, "Pers-102", kNames[2], "B", ""}},
                                           true, false, plan),
                 qPrintable(m_register->LastError()));
        apptest::ModalWatcher watcher;
        WriteOnce("4711");
        QTRY_COMPARE(watcher.Messages().size(), 1);
        QVERIFY2(watcher.Messages()[0].startsWith("Anna Berg ist ausgeschieden (seit "),
                 qPrintable(watcher.Messages()[0]));
        QVERIFY(CardsOf(m_ids[0]).empty());
        QVERIFY(!CardOnField().has_value());
        QVERIFY(Find<QLineEdit>(*m_dlg, COrvexFSKDlg::IDC_HOLDER)->text().isEmpty());
    }

    void lostCardIsRevokedAndReplaced() {
        m_reader->Place(kAta5577);
        Open();
        PickHolder("Dorn");
        WriteOnce("700");
        QVERIFY2(m_dlg->m_strStatus.startsWith(kWriteDone), qPrintable(m_dlg->m_strStatus));
        // A card for nobody has the next number: the replacement takes the next free one.
        Find<QLineEdit>(*m_dlg, COrvexFSKDlg::IDC_HOLDER)->clear();
        FreshChip();
        WriteOnce("701");
        QCOMPARE(CardsOf(m_ids[2]).size(), std::size_t(1));

        CHoldersWindow* window = OpenHoldersWindow();
        QVERIFY(window != nullptr);
        SelectHolder(window, m_ids[2]);
        QCOMPARE(ControlById<QTableWidget>(window, CHoldersWindow::IDC_CARDS)->rowCount(), 1);
        FreshChip();
        SetCustomer("900");
        apptest::ModalWatcher watcher(QMessageBox::Yes);
        QTest::mouseClick(ControlById<QPushButton>(window, CHoldersWindow::IDC_LOST), Qt::LeftButton);
        QCOMPARE(watcher.Messages().size(), 1);
        QVERIFY(watcher.Messages()[0].contains("Carla Dorn"));

        const auto cards = CardsOf(m_ids[2]);
        QCOMPARE(cards.size(), std::size_t(2));
        QCOMPARE(cards[0].fields.number, 702);
        QCOMPARE(cards[0].state, RegisterEntry::State::Written);
        QCOMPARE(cards[1].fields.number, 700);
        QCOMPARE(cards[1].state, RegisterEntry::State::Revoked);
        QCOMPARE(cards[1].reason, QString("lost"));
        QCOMPARE(HolderOf(m_ids[2]).validCard->fields.number, 702);
        // The operator's fields are theirs again, and the window shows both cards.
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1005)->text(), QString("900"));
        QCOMPARE(ControlById<QTableWidget>(window, CHoldersWindow::IDC_CARDS)->rowCount(), 2);

        // The access-control system learns the replacement and blocks the lost card.
        // The lost card's question was the only message; the file dialogs are answered here.
        auto startExport = [&](int button, const QString& path) {
            watcher.SetDialogHandler([path](QDialog* modal) {
                auto* dialog = qobject_cast<QFileDialog*>(modal);
                if (dialog == nullptr) return false;
                dialog->selectFile(path);
                dialog->selectNameFilter(dialog->nameFilters().at(1));  // ',' without a mark
                modal->accept();
                return true;
            });
            QTest::mouseClick(ControlById<QPushButton>(window, button), Qt::LeftButton);
        };
        auto contents = [](const QString& path) {
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        };
        startExport(CHoldersWindow::IDC_EXPORT_VALID, m_dir.filePath("valid.csv"));
        QTRY_VERIFY(!window->ExportRunning());
        const QString valid = contents(m_dir.filePath("valid.csv"));
        QVERIFY2(valid.contains(",Carla Dorn,") && valid.contains(",702,"), qPrintable(valid));
        QVERIFY2(!valid.contains(",700,"), qPrintable(valid));
        startExport(CHoldersWindow::IDC_EXPORT_BLOCKED, m_dir.filePath("blocked.csv"));
        QTRY_VERIFY(!window->ExportRunning());
        QCOMPARE(watcher.Messages().size(), 1);
        const QString blocked = contents(m_dir.filePath("blocked.csv"));
        QVERIFY2(blocked.contains(",700,") && blocked.contains("lost"), qPrintable(blocked));
        QVERIFY2(!blocked.contains(",702,") && !blocked.contains("Dorn"), qPrintable(blocked));
    }

    void windowSearchesAndFilters() {
        Open();
        CHoldersWindow* window = OpenHoldersWindow();
        QVERIFY(window != nullptr);
        auto shownNames = [window] {
            QStringList names;
            for (const station::Holder& holder : window->Shown()) names << holder.name;
            return names;
        };
        QCOMPARE(shownNames(), kNames);
        QTest::keyClicks(ControlById<QLineEdit>(window, CHoldersWindow::IDC_SEARCH), "CAR");
        QCOMPARE(shownNames(), (QStringList{"Bert Carl", "Carla Dorn"}));
        auto* department = ControlById<QComboBox>(window, CHoldersWindow::IDC_DEPARTMENT);
        department->setCurrentIndex(department->findData("B"));
        QCOMPARE(shownNames(), QStringList{"Carla Dorn"});

        // Added by hand; a personnel number another holder has is refused in the dialog.
        apptest::ModalWatcher watcher;
        QString refusal;
        watcher.SetDialogHandler([&](QDialog* dialog) {
            if (ControlById<QLineEdit>(dialog, CHolderEditDlg::IDC_NUMBER) == nullptr) return false;
            auto* number = ControlById<QLineEdit>(dialog, CHolderEditDlg::IDC_NUMBER);
            ControlById<QLineEdit>(dialog, CHolderEditDlg::IDC_NAME)->setText("Dora Ernst");
            ControlById<QLineEdit>(dialog, CHolderEditDlg::IDC_DEPARTMENT)->setText("B");
            number->setText("Pers-100");
            dialog->accept();
            refusal = ControlById<QLabel>(dialog, CHolderEditDlg::IDC_ERROR)->text();
            number->setText("Pers-200");
            dialog->accept();
            return true;
        });
        QTest::mouseClick(ControlById<QPushButton>(window, CHoldersWindow::IDC_ADD), Qt::LeftButton);
        QVERIFY2(refusal.startsWith("Nicht gespeichert"), qPrintable(refusal));
        QCOMPARE(shownNames(), QStringList{"Dora Ernst"});
        std::optional<station::Holder> dora;
        QVERIFY(m_register->FindHolder(QString("Pers-200"), dora) && dora);
        QCOMPARE(dora->department, QString("B"));
    }

    void seriesGivesEachHolderWithoutACardTheNextChip() {
        Open();
        CHoldersWindow* window = OpenHoldersWindow();
        SetCustomer("300");
        auto* next = Find<QLabel>(*m_dlg, COrvexFSKDlg::IDC_NEXT_HOLDER);
        apptest::ModalWatcher watcher;  // the error list after the unverified card
        QTest::mouseClick(ControlById<QPushButton>(window, CHoldersWindow::IDC_SERIES), Qt::LeftButton);
        QVERIFY(SeriesRunning());
        QVERIFY(next->isVisible() && next->text().endsWith("Anna Berg"));
        m_reader->Place(kAta5577);
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->m_nCount, 1, 10000);
        QTRY_VERIFY(next->text().endsWith("Bert Carl"));
        // Bert's first chip keeps its old data: Bert stays for the next chip.
        m_reader->Remove();
        auto weak = vsim::MakeCardChip(kAta5577, vellf::EncodeCardWord(26, 1, 1, 0));
        weak->SetWeak(true);
        Engine().PlaceTransponder(std::move(weak));
        QTRY_VERIFY_WITH_TIMEOUT(m_signals.calls.size() >= 4, 10000);
        QCOMPARE(m_dlg->m_nCount, 1);
        QVERIFY(next->text().endsWith("Bert Carl"));
        for (int served = 2; served <= 3; ++served) {
            FreshChip();
            QTRY_COMPARE_WITH_TIMEOUT(m_dlg->m_nCount, served, 10000);
        }
        // Everyone has a card: the series ends by itself and the name goes.
        QTRY_VERIFY_WITH_TIMEOUT(!SeriesRunning(), 10000);
        QVERIFY(next->isHidden());
        QList<qint64> numbers;
        for (std::int64_t id : m_ids) {
            const station::Holder holder = HolderOf(id);
            QVERIFY(holder.validCard);
            QVERIFY(holder.validCard->verified);
            numbers << holder.validCard->fields.number;
        }
        QCOMPARE(numbers, (QList<qint64>{300, 302, 303}));
        const auto bert = CardsOf(m_ids[1]);
        QCOMPARE(bert.size(), std::size_t(2));
        QCOMPARE(bert[1].state, RegisterEntry::State::Replaced);
    }
};

ORVEX_APP_TEST_MAIN(HoldersTest)
#include "tst_holders.moc"
