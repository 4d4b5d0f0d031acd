// A reader whose line goes away while the station runs: the virtual reader stopped under the
// station (as an unplugged USB reader, or a restarted one behind the same link) and started
// again. The station says the reader is gone instead of reporting timeouts, and reads again
// once it is back, without the interface being chosen anew; a series running then ends.
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <memory>

#include "FreshChip.h"
#include "Settings.h"
#include "TransponderFactory.h"
#include "VirtualReader.h"
#include "cards/CardFormat.h"
#include "support/AppTest.h"
#include "support/StationWindow.h"

using apptest::Find;

namespace {

const QString kGone = QStringLiteral("Lesegerät getrennt");
const QString kBack = QStringLiteral("Lesegerät wieder verbunden");

}  // namespace

class ReaderLineTest : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    std::unique_ptr<vsim::VirtualReader> m_reader;
    std::unique_ptr<COrvexFSKDlg> m_dlg;

    std::string Link() const { return QDir(m_dir.path()).filePath("reader").toStdString(); }
    void Click(int id) { QTest::mouseClick(Find<QPushButton>(*m_dlg, id), Qt::LeftButton); }

  private Q_SLOTS:
    void init() {
        apptest::ClearSettings();
        PutSettingInt("Settings", "ZyklusZeit", 40);
        m_reader = std::make_unique<vsim::VirtualReader>();
        m_reader->Engine().SetVersion("243c");
        QVERIFY(m_reader->Start(Link()));
        PutSettingString("Port", "Name", QString::fromStdString(Link()));
        m_dlg = apptest::OpenStationWindow();
        QVERIFY(m_dlg->m_hPort != 0);
    }
    void cleanup() {
        m_dlg.reset();
        m_reader.reset();
    }

    void readerGoneIsSaidAndFoundAgainWhenBack_data() {
        QTest::addColumn<int>("run");  // the button running when the line goes
        QTest::newRow("read once") << 1001;
        QTest::newRow("write series") << 1007;
    }
    void readerGoneIsSaidAndFoundAgainWhenBack() {
        QFETCH(int, run);
        apptest::ModalWatcher watcher;  // the error list at the end of a series
        if (run == 1007) {
            Find<QLineEdit>(*m_dlg, 1005)->setText("100");
            Click(run);
            QVERIFY(Find<QPushButton>(*m_dlg, 1007)->isChecked());
        }
        m_reader->Unplug();
        if (run == 1001) Click(run);
        QTRY_VERIFY2_WITH_TIMEOUT(m_dlg->m_strStatus.startsWith(kGone),
                                  qPrintable(m_dlg->m_strStatus), 10000);
        QVERIFY(!Find<QPushButton>(*m_dlg, 1007)->isChecked());

        // Back behind the same link: found again without a question.
        QVERIFY(m_reader->Start(Link()));
        QTRY_COMPARE_WITH_TIMEOUT(m_dlg->m_strStatus, kBack, 10000);
        QVERIFY(watcher.Dialogs().isEmpty() || run == 1007);
        m_reader->Engine().PlaceTransponder(
            vsim::MakeCardChip(9, vellf::EncodeCardWord(26, 12, 4711, 0)));
        Click(1001);
        QCOMPARE(Find<QLineEdit>(*m_dlg, 1005)->text(), QString("4711"));
    }
};

ORVEX_APP_TEST_MAIN(ReaderLineTest)
#include "tst_readerline.moc"
