// The installer download from the About dialog against a local HTTPS server that trickles
// its body: the window keeps running meanwhile, the progress shows, and a cancel (the
// button, or closing the dialog) ends the transfer at once and leaves nothing behind.
#include <QCryptographicHash>
#include <QDir>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <memory>

#include "ControlId.h"
#include "Settings.h"
#include "dialogs/AboutDlg.h"
#include "support/AppTest.h"
#include "support/LocalHttpsServer.h"
#include "update/UpdateCheck.h"
#include "widgets/Label.h"

namespace {

const QByteArray kVersionPath = "/rfid/software/RFIDVersionsLF.txt";
const QByteArray kInstallerPath = "/files/setup.run";
const QString kFolderPattern = QStringLiteral("orvex-update-*");

QStringList InstallerFolders() {
    return QDir::temp().entryList({kFolderPattern}, QDir::Dirs);
}

}  // namespace

class InstallerDownloadTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_certificates;

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_certificates.isValid());
        QVERIFY(apptest::MakeLocalCertificate(m_certificates.path(), "server"));
        apptest::TrustCertificate(m_certificates.filePath("server.crt"));
    }
    void init() {
        apptest::ClearSettings();
        PutSettingInt("Settings", "SoundTyp", 0);
    }

    void cancelEndsATricklingDownload_data() {
        QTest::addColumn<bool>("closeDialog");
        QTest::newRow("cancel button") << false;
        QTest::newRow("dialog closed") << true;
    }
    void cancelEndsATricklingDownload() {
        QFETCH(bool, closeDialog);
        apptest::LocalHttpsServer server(m_certificates.filePath("server.crt"),
                                         m_certificates.filePath("server.key"));
        QVERIFY(server.Listen());
        // A byte every 10 ms: ten seconds for the whole installer.
        const QByteArray installer(1000, 'i');
        server.SetTrickle(kInstallerPath, installer, 10);
        const QByteArray sha256 =
            QCryptographicHash::hash(installer, QCryptographicHash::Sha256).toHex();
        server.SetRoute(kVersionPath, "[Orvex-FSKProgrammer]\r\nVersion=99.1\r\n"
                                      "Build=2026-01-15\r\nInstaller=" +
                                          server.BaseUrl().toUtf8() + kInstallerPath.mid(1) +
                                          "\r\nSHA256=" + sha256 + "\r\n");
        const QStringList earlierFolders = InstallerFolders();
        CUpdateCheck check(server.BaseUrl());
        apptest::ModalWatcher watcher;

        CAboutDlg about(nullptr);
        about.show();
        auto* line = ControlById<CLabel>(&about, CAboutDlg::IDC_UPDATE);
        auto* progress = ControlById<QProgressBar>(&about, CAboutDlg::IDC_DOWNLOAD_PROGRESS);
        auto* cancel = ControlById<QPushButton>(&about, CAboutDlg::IDC_CANCEL_DOWNLOAD);
        QTRY_VERIFY_WITH_TIMEOUT(line->IsNotify(), 15000);
        const QString offer = line->text();
        QVERIFY(!progress->isVisible());
        QVERIFY(!cancel->isVisible());

        // The click returns with the download under way, not done (it takes ten seconds).
        QTest::mouseClick(line, Qt::LeftButton);
        QVERIFY(progress->value() < progress->maximum() || progress->maximum() == 0);
        QVERIFY(progress->isVisible());
        QVERIFY(cancel->isVisible());
        QVERIFY(!line->IsNotify());

        // The window's event loop keeps running: a timer of its thread fires on time, and
        // the bar follows the bytes that arrive.
        int ticks = 0;
        QTimer probe;
        connect(&probe, &QTimer::timeout, this, [&ticks] { ++ticks; });
        probe.start(10);
        QTRY_VERIFY_WITH_TIMEOUT(progress->value() >= 50, 5000);
        QVERIFY(progress->value() < progress->maximum());
        QVERIFY2(ticks >= 10, qPrintable(QString::number(ticks)));

        if (closeDialog)
            about.reject();
        else
            QTest::mouseClick(cancel, Qt::LeftButton);
        // Ended long before the transfer would have, with no message and no folder left
        // behind (how soon is a figure for a benchmark, not a test).
        QTRY_COMPARE_WITH_TIMEOUT(InstallerFolders(), earlierFolders, 3000);
        if (!closeDialog) {
            QTRY_VERIFY_WITH_TIMEOUT(line->IsNotify(), 1000);
            QCOMPARE(line->text(), offer);
            QVERIFY(!progress->isVisible());
            QVERIFY(about.isVisible());
        }
        QTest::qWait(100);
        QCOMPARE(watcher.Messages(), QStringList());
        QCOMPARE(server.Requests(kInstallerPath), 1);
    }
};

ORVEX_APP_TEST_MAIN(InstallerDownloadTest)
#include "tst_installerdownload.moc"
