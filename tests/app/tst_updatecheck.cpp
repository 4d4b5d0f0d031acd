// The update check against a local HTTPS server with a certificate of its own: version
// comparison, the download of the version file and the installer, the About dialog's
// update line, the automatic check at start, and that the station quits only for an
// installer that really started.
#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPalette>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryFile>
#include <QScopeGuard>
#include <QTcpServer>
#include <QTimer>
#include <chrono>
#include <ctime>
#include <utime.h>
#include <QTemporaryDir>
#include <memory>

#include "ControlId.h"
#include "OrvexFSKDlg.h"
#include "Settings.h"
#include "WindowMessage.h"
#include "dialogs/AboutDlg.h"
#include "support/AppTest.h"
#include "support/LocalHttpsServer.h"
#include "support/StationReader.h"
#include "support/StationWindow.h"
#include "update/OfferSignature.h"
#include "update/UpdateCheck.h"
#include "widgets/Label.h"

namespace {

const QByteArray kVersionPath = "/rfid/software/RFIDVersionsLF.txt";
const QByteArray kInstallerPath = "/files/setup.run";
const QString kAboutTitle = QStringLiteral("Info über Orvex FSK Programmer");

QByteArray Sha256Hex(const QByteArray& data) {
    return QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
}

// The version file the server offers; an empty value leaves its key out.
QByteArray VersionFile(const QString& version, const QString& build, const QString& installer = {},
                       const QByteArray& sha256 = {}) {
    QByteArray text = "[Other]\r\nVersion=9.99\r\n[Orvex-FSKProgrammer]\r\n";
    if (!version.isEmpty()) text += "Version=" + version.toUtf8() + "\r\n";
    if (!build.isEmpty()) text += "Build=" + build.toUtf8() + "\r\n";
    if (!installer.isEmpty()) text += "Installer=" + installer.toUtf8() + "\r\n";
    if (!sha256.isEmpty()) text += "SHA256=" + sha256 + "\r\n";
    return text;
}

// Runs openssl with arguments; its standard output, or "" (with a warning) on failure.
QByteArray OpenSsl(const QStringList& arguments, const QByteArray& input = {}) {
    QProcess openssl;
    openssl.start("openssl", arguments);
    openssl.write(input);
    openssl.closeWriteChannel();
    if (!openssl.waitForFinished(10000) || openssl.exitCode() != 0) {
        qWarning() << "openssl" << arguments << openssl.readAllStandardError();
        return {};
    }
    return openssl.readAllStandardOutput();
}

// The maker's signing key: made once per run, as the maker's build would carry its public
// half.
struct SigningKey {
    QString privateFile;
    QByteArray publicBase64;
};

QByteArray Sign(const SigningKey& key, const QByteArray& text) {
    QTemporaryFile message;
    if (!message.open()) return {};
    message.write(text);
    message.flush();
    return OpenSsl({"pkeyutl", "-sign", "-rawin", "-inkey", key.privateFile, "-in",
                    message.fileName()})
        .toBase64();
}

// A port on loopback where nothing listens.
QString ClosedBaseUrl() {
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    const quint16 port = probe.serverPort();
    probe.close();
    return QStringLiteral("https://127.0.0.1:%1/").arg(port);
}

// Records the notifications posted to it.
class Recorder : public QObject {
  public:
    QStringList m_events;

  protected:
    void customEvent(QEvent* event) override {
        if (event->type() == CCommandEvent::EventType())
            m_events << QString("command %1").arg(static_cast<CCommandEvent*>(event)->Id());
        if (event->type() == CMessageEvent::EventType()) {
            const auto* message = static_cast<CMessageEvent*>(event);
            m_events << QString("message %1 %2 %3")
                            .arg(message->Message())
                            .arg(message->WParam())
                            .arg(message->LParam());
        }
    }
};

CLabel* UpdateLine(QWidget* about) {
    return ControlById<CLabel>(about, CAboutDlg::IDC_UPDATE);
}

const QString kTemplateText = QStringLiteral("Nach Update suchen");

}  // namespace

class UpdateCheckTest : public QObject {
    Q_OBJECT

  private:
    QTemporaryDir m_certificates;
    std::unique_ptr<apptest::LocalHttpsServer> m_server;

    QString Certificate(const QString& name) const { return m_certificates.filePath(name + ".crt"); }
    QString Key(const QString& name) const { return m_certificates.filePath(name + ".key"); }

    // The server with the trusted certificate, or with one nobody trusts.
    bool StartServer(bool trusted = true) {
        const QString name = trusted ? "trusted" : "stranger";
        m_server = std::make_unique<apptest::LocalHttpsServer>(Certificate(name), Key(name));
        return m_server->Listen();
    }

    QString InstallerUrl() const { return m_server->BaseUrl() + kInstallerPath.mid(1); }

    SigningKey m_key;

  private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_certificates.isValid());
        QVERIFY(apptest::MakeLocalCertificate(m_certificates.path(), "trusted"));
        QVERIFY(apptest::MakeLocalCertificate(m_certificates.path(), "stranger"));
        apptest::TrustCertificate(Certificate("trusted"));
        m_key.privateFile = m_certificates.filePath("update.pem");
        OpenSsl({"genpkey", "-algorithm", "ed25519", "-out", m_key.privateFile});
        QVERIFY(QFile::exists(m_key.privateFile));
        m_key.publicBase64 =
            OpenSsl({"pkey", "-in", m_key.privateFile, "-pubout", "-outform", "DER"}).toBase64();
        QVERIFY(!m_key.publicBase64.isEmpty());
    }
    void init() {
        apptest::ClearSettings();
        PutSettingInt("Settings", "SoundTyp", 0);
        QVERIFY(StartServer());
    }
    void cleanup() { m_server.reset(); }

    void versionNumbers_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("number");
        QTest::newRow("major.minor") << "1.24" << 1024u;
        QTest::newRow("major only") << "2" << 2000u;
        QTest::newRow("second dot ignored") << "1.2.3" << 1002u;
        QTest::newRow("own version with blank") << "1.0 " << 1000u;
        QTest::newRow("unusable own version") << "-.--" << 0u;
        QTest::newRow("dot first") << ".5" << 0u;
        QTest::newRow("letters stop the number") << "3.1b" << 3001u;
        QTest::newRow("empty") << "" << 0u;
    }
    void versionNumbers() {
        QFETCH(QString, text);
        QFETCH(uint, number);
        QCOMPARE(CUpdateCheck::VersionNumber(text), number);
    }

    void updateOffered_data() {
        QTest::addColumn<QString>("local");
        QTest::addColumn<QString>("date");
        QTest::addColumn<QString>("remote");
        QTest::addColumn<QString>("build");
        QTest::addColumn<bool>("offered");
        const QString earlier = "2026-01-01";
        QTest::newRow("1.23 < 1.24") << "1.23" << "2026-01-10" << "1.24" << earlier << true;
        QTest::newRow("same version, later build") << "1.24" << "2026-01-10" << "1.24"
                                                   << "2026-01-15" << true;
        QTest::newRow("same version, same build") << "1.24" << "2026-01-10" << "1.24"
                                                  << "2026-01-10" << false;
        QTest::newRow("same version, no build") << "1.24" << "2026-01-10" << "1.24" << "" << false;
        QTest::newRow("same version, earlier build") << "1.24" << "2026-01-10" << "1.24"
                                                     << earlier << false;
        QTest::newRow("1.30 against 1.4") << "1.30" << "2026-01-10" << "1.4" << earlier << false;
        QTest::newRow("1.5 against 1.10") << "1.5" << "2026-01-10" << "1.10" << earlier << true;
        QTest::newRow("no own version") << "-.--" << "2026-01-10" << "0.1" << earlier << true;
        // No downgrade and no nonsense: each of these is no offer.
        QTest::newRow("older version, later build") << "2.10" << "2026-06-01" << "2.9"
                                                    << "2026-07-01" << false;
        QTest::newRow("newer version, no build") << "1.0" << "2026-01-10" << "2.0" << "" << false;
        QTest::newRow("build no date") << "1.0" << "2026-01-10" << "1.0" << "x" << false;
        QTest::newRow("negative") << "1.0" << "2026-01-10" << "-1" << "2026-01-15" << false;
        QTest::newRow("empty") << "1.0" << "2026-01-10" << "" << "2026-01-15" << false;
        QTest::newRow("not numeric") << "1.0" << "2026-01-10" << "2.x" << "2026-01-15" << false;
        QTest::newRow("minor over 999") << "1.0" << "2026-01-10" << "1.1000" << "2026-01-15"
                                        << false;
        QTest::newRow("major over 999") << "1.0" << "2026-01-10" << "1000" << "2026-01-15"
                                        << false;
    }
    void updateOffered() {
        QFETCH(QString, local);
        QFETCH(QString, date);
        QFETCH(QString, remote);
        QFETCH(QString, build);
        QFETCH(bool, offered);
        QCOMPARE(CUpdateCheck::IsNewer(local, date, remote, build), offered);
    }

    // One download per run: the first caller starts it, a later one is told at once.
    void versionFileAndInstallerDownloaded() {
        const QByteArray installer = "#!/bin/sh\nexit 0\n";
        m_server->SetRoute(kInstallerPath, installer);
        m_server->SetRoute(kVersionPath,
                           VersionFile("99.1", "2026-01-15", InstallerUrl(), Sha256Hex(installer)));
        CUpdateCheck check(m_server->BaseUrl());
        QCOMPARE(CUpdateCheck::Current(), &check);

        Recorder first;
        QVERIFY(check.StartUpdateCheck(&first, 1034));
        QTRY_COMPARE(first.m_events, QStringList({"command 1034", "message 1034 1034 0"}));
        QString version;
        QString build;
        QVERIFY(check.GetRemoteVersion(version, build));
        QCOMPARE(version, QString("99.1"));
        QCOMPARE(build, QString("2026-01-15"));
        QVERIFY(check.IsUpdateAvailable());

        Recorder second;
        QVERIFY(check.StartUpdateCheck(&second, 1034));
        QTRY_COMPARE(second.m_events.size(), 2);
        QCOMPARE(m_server->Requests(kVersionPath), 1);
        QCOMPARE(first.m_events.size(), 2);

        QTemporaryDir folder;
        const QString path = check.DownloadInstaller(folder.path());
        QCOMPARE(path, folder.filePath("setup.run"));
        QFile saved(path);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), installer);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
    }

    // Closing the program does not wait for a server that never answers.
    void exitStopsAHangingDownload() {
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        QElapsedTimer clock;
        {
            CUpdateCheck check(QStringLiteral("https://127.0.0.1:%1/").arg(silent.serverPort()));
            Recorder recorder;
            QVERIFY(check.StartUpdateCheck(&recorder, 1034));
            QTRY_VERIFY(silent.hasPendingConnections());
            clock.start();
        }
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
    }

    // A digest that differs and a transfer cut short both leave nothing behind, also not a
    // file of an earlier download under the same name.
    void failedInstallerDownloadLeavesNoFile_data() {
        QTest::addColumn<bool>("wrongDigest");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong SHA256") << true << "hat nicht die erwartete Prüfsumme";
        QTest::newRow("cut transfer") << false << "konnte nicht heruntergeladen werden";
    }
    void failedInstallerDownloadLeavesNoFile() {
        QFETCH(bool, wrongDigest);
        QFETCH(QString, message);
        const QByteArray installer(200000, 'x');
        m_server->SetRoute(kInstallerPath, installer, wrongDigest ? -1 : 100000);
        m_server->SetRoute(kVersionPath,
                           VersionFile("99.1", "2026-01-15", InstallerUrl(),
                                       wrongDigest ? Sha256Hex("other") : Sha256Hex(installer)));
        CUpdateCheck check(m_server->BaseUrl());
        Recorder recorder;
        check.StartUpdateCheck(&recorder, 1034);
        QTRY_COMPARE(recorder.m_events.size(), 2);

        QTemporaryDir folder;
        QFile earlier(folder.filePath("setup.run"));
        QVERIFY(earlier.open(QIODevice::WriteOnly));
        earlier.write("old");
        earlier.close();
        apptest::ModalWatcher watcher;
        QCOMPARE(check.DownloadInstaller(folder.path()), QString());
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
        QTRY_COMPARE(watcher.Messages().size(), 1);
        QVERIFY(watcher.Messages().first().contains(message));
    }

    // Only a vouched-for installer is fetched: a digest, the update server's host, the size
    // and time limits, and with a key the maker's signature over version, name and digest.
    void installerVouching_data() {
        QTest::addColumn<QString>("row");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("message");
        const QString refused = "nennt keine gültige Prüfsumme";
        const QString failed = "konnte nicht heruntergeladen werden";
        const QString unsigned_ = "Signatur des Update-Angebots ist ungültig";
        QTest::newRow("good digest") << "good" << true << "";
        QTest::newRow("no digest") << "no digest" << false << refused;
        QTest::newRow("wrong digest") << "wrong digest" << false << "erwartete Prüfsumme";
        QTest::newRow("http installer") << "http" << false << refused;
        QTest::newRow("installer on another host") << "other host" << false << refused;
        QTest::newRow("redirect to another host") << "redirect" << false << failed;
        QTest::newRow("redirect on the same host") << "same-host redirect" << true << "";
        QTest::newRow("installer on another port") << "other port" << false << refused;
        QTest::newRow("redirect to another port") << "port redirect" << false << failed;
        QTest::newRow("body over the stated size") << "size" << false << failed;
        QTest::newRow("stated size over 512 MiB") << "huge" << false << refused;
        QTest::newRow("trickling server") << "trickle" << false << failed;
        QTest::newRow("key set, no signature") << "unsigned" << false << unsigned_;
        QTest::newRow("key set, bad signature") << "bad signature" << false << unsigned_;
        QTest::newRow("key set, good signature") << "signed" << true << "";
    }
    void installerVouching() {
        QFETCH(QString, row);
        QFETCH(bool, saved);
        QFETCH(QString, message);
        const QByteArray installer(5000, 'i');
        const QByteArray digest = Sha256Hex(installer);
        const QByteArray served = "/files/served.run";
        m_server->SetRoute(kInstallerPath, installer);
        QString url = InstallerUrl();
        QByteArray extra;
        if (row == "redirect" || row == "same-host redirect") {
            const QString host = row == "redirect" ? "localhost" : "127.0.0.1";
            m_server->SetRedirect(served, QString(InstallerUrl()).replace("127.0.0.1", host));
            url = m_server->BaseUrl() + served.mid(1);
        }
        // The same host on another port is another server.
        QUrl otherPort(InstallerUrl());
        otherPort.setPort(otherPort.port() == 65535 ? 1 : otherPort.port() + 1);
        if (row == "other port") url = otherPort.toString();
        if (row == "port redirect") {
            m_server->SetRedirect(served, otherPort.toString());
            url = m_server->BaseUrl() + served.mid(1);
        }
        if (row == "http") url.replace("https://", "http://");
        if (row == "other host") url.replace("127.0.0.1", "localhost");
        if (row == "size") extra = "Size=4999\r\n";
        if (row == "huge") extra = "Size=" + QByteArray::number(600ll * 1024 * 1024) + "\r\n";
        if (row == "trickle") m_server->SetTrickle(kInstallerPath, installer.left(40), 50);
        const QString name = CUpdateCheck::InstallerFileName(url);
        if (row == "signed")
            extra = "Signature=" + Sign(m_key, SignedOfferText("99.1", name, digest)) + "\r\n";
        if (row == "bad signature")
            extra = "Signature=" + Sign(m_key, SignedOfferText("99.2", name, digest)) + "\r\n";
        const QByteArray sha = row == "no digest"      ? QByteArray()
                               : row == "wrong digest" ? Sha256Hex("other")
                                                       : digest;
        m_server->SetRoute(kVersionPath, VersionFile("99.1", "2026-01-15", url, sha) + extra);
        const bool keyed = row == "unsigned" || row == "bad signature" || row == "signed";
        CUpdateCheck check(m_server->BaseUrl(), keyed ? m_key.publicBase64 : QString());
        // Short limits, so that the trickle (20 bytes a second) ends within a second.
        DownloadLimits limits;
        limits.stallMs = 500;
        limits.stallBytes = 1000;
        check.SetDownloadLimits(limits);
        Recorder recorder;
        check.StartUpdateCheck(&recorder, 1034);
        QTRY_COMPARE(recorder.m_events.size(), 2);

        QTemporaryDir folder;
        apptest::ModalWatcher watcher;
        QElapsedTimer clock;
        clock.start();
        const QString path = check.DownloadInstaller(folder.path());
        QVERIFY2(clock.elapsed() < 5000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(!path.isEmpty(), saved);
        QCOMPARE(QDir(folder.path()).entryList(QDir::Files | QDir::Hidden).size(), saved ? 1 : 0);
        QTRY_COMPARE(watcher.Messages().size(), message.isEmpty() ? 0 : 1);
        if (!message.isEmpty())
            QVERIFY2(watcher.Messages().first().contains(message), qPrintable(watcher.Messages().first()));
        // A refused offer does not even ask the server.
        if (message == "nennt keine gültige Prüfsumme") QCOMPARE(m_server->Requests(kInstallerPath), 0);
    }

    // A plain http address is never asked, for the version file as for the installer.
    void httpIsNeverFetched() {
        QTcpServer plain;
        QVERIFY(plain.listen(QHostAddress::LocalHost, 0));
        CUpdateCheck check(QStringLiteral("http://127.0.0.1:%1/").arg(plain.serverPort()));
        Recorder recorder;
        QVERIFY(check.StartUpdateCheck(&recorder, 1034));
        QTRY_COMPARE_WITH_TIMEOUT(recorder.m_events.size(), 2, 5000);
        QString version;
        QString build;
        QVERIFY(!check.GetRemoteVersion(version, build));
        QTest::qWait(100);
        QVERIFY(!plain.hasPendingConnections());
    }

    void aboutUpdateLine_data() {
        QTest::addColumn<QString>("server");
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("line");
        QTest::addColumn<QColor>("colour");
        QTest::addColumn<bool>("clickable");
        const QColor red(255, 0, 0);
        const QColor grey(128, 128, 128);
        QTest::newRow("newer version")
            << "trusted" << VersionFile("99.1", "2026-01-15")
            << "Neue Version:Orvex FSK Programmer V 99.1 (2026-01-15)" << QColor(192, 0, 0) << true;
        QTest::newRow("up to date") << "trusted" << VersionFile("0.9", "2000-01-01")
                                    << "Orvex FSK Programmer ist aktuell" << grey << false;
        QTest::newRow("no Build") << "trusted" << VersionFile("99.1", "")
                                  << "Keine Datei gefunden: Update Prüfung nicht möglich!" << red
                                  << false;
        QTest::newRow("no own section")
            << "trusted" << QByteArray("[Other]\nVersion=99.1\nBuild=2026-01-15\n")
            << "Keine Datei gefunden: Update Prüfung nicht möglich!" << red << false;
        const QString noConnection =
            QStringLiteral("Keine Internet Verbindung: Update Prüfung nicht möglich!");
        QTest::newRow("wrong certificate") << "stranger" << VersionFile("99.1", "2026-01-15")
                                           << noConnection << red << false;
        QTest::newRow("no server") << "none" << QByteArray() << noConnection << red << false;
        QTest::newRow("file missing") << "trusted" << QByteArray() << noConnection << red << false;
        // Not a failure: the build names no server (none, or the placeholder).
        const QString noServer = QStringLiteral("Ohne Update-Server gebaut: keine Update-Prüfung");
        QTest::newRow("built without a server") << "" << QByteArray() << noServer << grey << false;
        QTest::newRow("placeholder server") << "https://www.qor.example/" << QByteArray()
                                            << noServer << grey << false;
    }
    void aboutUpdateLine() {
        QFETCH(QString, server);
        QFETCH(QByteArray, file);
        QFETCH(QString, line);
        QFETCH(QColor, colour);
        QFETCH(bool, clickable);
        if (server == "stranger") QVERIFY(StartServer(false));
        if (!file.isEmpty()) m_server->SetRoute(kVersionPath, file);
        const bool named = server == "none" || server == "trusted" || server == "stranger";
        CUpdateCheck check(server == "none" ? ClosedBaseUrl()
                           : named          ? m_server->BaseUrl()
                                            : server);

        CAboutDlg about(nullptr);
        about.show();
        CLabel* updateLine = UpdateLine(&about);
        QCOMPARE(updateLine->text(), kTemplateText);
        QVERIFY(updateLine->font().italic());
        QTRY_COMPARE_WITH_TIMEOUT(updateLine->text(), line, 15000);
        QCOMPARE(updateLine->TextColor(), colour);
        QCOMPARE(updateLine->IsNotify(), clickable);
        QCOMPARE(updateLine->testAttribute(Qt::WA_SetCursor), clickable);
    }

    // The dialog asks again every time it opens, but the file is fetched once; a dialog
    // that closed before the answer came is not told.
    void aboutOpenedAgainDownloadsOnce() {
        m_server->SetRoute(kVersionPath, VersionFile("0.9", "2000-01-01"));
        CUpdateCheck check(m_server->BaseUrl());
        const QString current = QStringLiteral("Orvex FSK Programmer ist aktuell");
        {
            CAboutDlg closedEarly(nullptr);
            closedEarly.show();
            closedEarly.reject();
        }
        QTRY_COMPARE(m_server->Requests(kVersionPath), 1);
        {
            CAboutDlg second(nullptr);
            second.show();
            QTRY_COMPARE(UpdateLine(&second)->text(), current);
        }
        CAboutDlg third(nullptr);
        third.show();
        QCoreApplication::processEvents();
        QCOMPARE(UpdateLine(&third)->text(), current);
        QCOMPARE(m_server->Requests(kVersionPath), 1);
    }

    // The cleanup of earlier downloads removes its own old folders, never what a link named
    // like one of them points to.
    void oldInstallerFoldersGoButNotTheTargetOfALink() {
        const QString tag = QString::number(QCoreApplication::applicationPid());
        const QDir temp = QDir::temp();
        const QString old = temp.filePath("orvex-update-old-" + tag);
        const QString link = temp.filePath("orvex-update-link-" + tag);
        QTemporaryDir target;
        const auto cleanup = qScopeGuard([&] {
            QFile::remove(link);
            QDir(old).removeRecursively();
        });
        QVERIFY(QDir().mkpath(old));
        QVERIFY(QFile(old + "/setup.run").open(QIODevice::WriteOnly));
        QVERIFY(QFile(target.filePath("keep")).open(QIODevice::WriteOnly));
        QVERIFY(QFile::link(target.path(), link));
        // Both two hours old (the link's own age follows its target).
        const utimbuf twoHoursAgo{std::time(nullptr) - 7200, std::time(nullptr) - 7200};
        for (const QString& path : {old, target.path()})
            QCOMPARE(::utime(QFile::encodeName(path).constData(), &twoHoursAgo), 0);

        CUpdateCheck::RemoveOldInstallerFolders();
        QVERIFY(!QFileInfo::exists(old));
        QVERIFY(QFileInfo::exists(target.filePath("keep")));
    }

    void checkBoxStoredOnOkAndCancel() {
        CUpdateCheck check({});
        for (const bool ok : {true, false}) {
            PutSettingInt("Version", "Update", ok ? 0 : 1);
            CAboutDlg about(nullptr);
            auto* box = ControlById<QCheckBox>(&about, CAboutDlg::IDC_AUTO_UPDATE);
            QCOMPARE(box->isChecked(), !ok);
            box->setChecked(ok);
            if (ok)
                about.accept();
            else
                about.reject();
            QCOMPARE(GetSettingInt("Version", "Update", -1), ok ? 1 : 0);
        }
    }

    // With the automatic check on, a newer version opens the About dialog by itself; with
    // it off nothing is fetched until the About dialog is opened.
    void startCheckFollowsSetting() {
        apptest::StationReader reader;
        m_server->SetRoute(kVersionPath, VersionFile("99.1", "2026-01-15"));
        for (const int update : {1, 0}) {
            PutSettingInt("Version", "Update", update);
            CUpdateCheck check(m_server->BaseUrl());
            apptest::ModalWatcher watcher;
            QString shown;
            watcher.SetDialogHandler([&shown](QDialog* dialog) {
                if (!QTest::qWaitFor([&] { return UpdateLine(dialog)->text() != kTemplateText; },
                                     15000))
                    return false;
                shown = UpdateLine(dialog)->text();
                return false;
            });
            const int before = m_server->Requests(kVersionPath);
            auto window = apptest::OpenStationWindow();
            if (update != 0) {
                QTRY_COMPARE_WITH_TIMEOUT(watcher.Dialogs(), QStringList({kAboutTitle}), 15000);
                QVERIFY(shown.startsWith("Neue Version:"));
            } else {
                QTest::qWait(300);
                QCOMPARE(m_server->Requests(kVersionPath), before);
                window->OnSystemCommand(COrvexFSKDlg::IDM_ABOUTBOX);
                QCOMPARE(watcher.Dialogs(), QStringList({kAboutTitle}));
                QVERIFY(shown.startsWith("Neue Version:"));
            }
            QCOMPARE(m_server->Requests(kVersionPath), before + 1);
        }
    }

    // A result that arrives while a run's tick waits for the reader waits until the tick
    // has returned, then stops the run before the About dialog opens.
    void offerWaitsForTheTick() {
        apptest::StationReader reader;
        PutSettingInt("Version", "Update", 0);
        m_server->SetRoute(kVersionPath, VersionFile("99.1", "2026-01-15"));
        CUpdateCheck check(m_server->BaseUrl());
        Recorder recorder;
        check.StartUpdateCheck(&recorder, 1034);
        QTRY_COMPARE(recorder.m_events.size(), 2);

        auto window = apptest::OpenStationWindow();
        reader.Engine().SetReplyDelay(std::chrono::milliseconds(100));
        apptest::ModalWatcher watcher;
        bool busyAtOpen = true;
        bool runStopped = false;
        watcher.SetDialogHandler([&](QDialog*) {
            busyAtOpen = window->IsBusy();
            runStopped = window->m_nReadTimer == 0;
            return false;
        });
        // Timers fire inside the tick's reader wait too; this one posts the result from there.
        bool postedWhileBusy = false;
        QTimer poster;
        connect(&poster, &QTimer::timeout, this, [&] {
            if (postedWhileBusy || !window->IsBusy()) return;
            postedWhileBusy = true;
            QCoreApplication::postEvent(window.get(), new CCommandEvent(CUpdateCheck::kNotifyId));
        });
        poster.start(5);
        apptest::Find<QPushButton>(*window, 1002)->click();
        QVERIFY(window->m_nReadTimer != 0);
        QTRY_COMPARE_WITH_TIMEOUT(watcher.Dialogs(), QStringList({kAboutTitle}), 15000);
        QVERIFY(postedWhileBusy);
        QVERIFY(!busyAtOpen);
        QVERIFY(runStopped);
    }

    // A click on the offer downloads and starts the installer; the station quits only when
    // it really runs, and the installer's private folder is removed once it has ended.
    void installerStartQuitsStation_data() {
        QTest::addColumn<QByteArray>("installer");
        QTest::addColumn<bool>("runs");
        // It reads its own file a moment after the start, as a self-extracting archive does.
        QTest::newRow("runs")
            << QByteArray("#!/bin/sh\nsleep 1\ncat \"$0\" > \"$ORVEX_TEST_MARK\"\n") << true;
        QTest::newRow("cannot start") << QByteArray("\x01\x02\x03 no program", 15) << false;
    }
    void installerStartQuitsStation() {
        QFETCH(QByteArray, installer);
        QFETCH(bool, runs);
        apptest::StationReader reader;
        // A desktop opener that fails, as xdg-open does for a file it cannot open.
        QTemporaryDir opener;
        QFile script(opener.filePath("xdg-open"));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nexit 3\n");
        script.close();
        QVERIFY(script.setPermissions(script.permissions() | QFileDevice::ExeOwner));
        const QByteArray searchPath = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(opener.path()) + ":" + searchPath);
        const auto restorePath = qScopeGuard([&searchPath] { qputenv("PATH", searchPath); });
        // The installer's folders this test makes go away also when it fails.
        const QStringList earlierFolders = QDir::temp().entryList({"orvex-update-*"}, QDir::Dirs);
        const auto removeFolders = qScopeGuard([&earlierFolders] {
            for (const QString& folder : QDir::temp().entryList({"orvex-update-*"}, QDir::Dirs)) {
                if (!earlierFolders.contains(folder))
                    QDir(QDir::temp().filePath(folder)).removeRecursively();
            }
        });
        QTemporaryDir marks;
        const QString mark = marks.filePath("installer-ran");
        qputenv("ORVEX_TEST_MARK", QFile::encodeName(mark));
        m_server->SetRoute(kInstallerPath, installer);
        m_server->SetRoute(kVersionPath,
                           VersionFile("99.1", "2026-01-15", InstallerUrl(), Sha256Hex(installer)));
        CUpdateCheck check(m_server->BaseUrl());
        apptest::ModalWatcher watcher;
        QString startedLine;
        // The click runs from the dialog's own loop, so the watcher stays free to answer
        // the message box of a failed start.
        watcher.SetDialogHandler([&](QDialog* dialog) {
            QTimer::singleShot(0, dialog, [&startedLine, dialog] {
                CLabel* line = UpdateLine(dialog);
                if (QTest::qWaitFor([&] { return line->IsNotify(); }, 15000)) {
                    QTest::mouseClick(line, Qt::LeftButton);
                    // The download runs on; the offer comes back when it has ended.
                    if (QTest::qWaitFor(
                            [&] { return !dialog->isVisible() || line->IsNotify(); }, 15000))
                        startedLine = line->text();
                }
                if (dialog->isVisible()) dialog->reject();
            });
            return true;
        });
        auto window = apptest::OpenStationWindow();
        QTRY_COMPARE_WITH_TIMEOUT(watcher.Dialogs(), QStringList({kAboutTitle}), 15000);
        QVERIFY(startedLine.startsWith("Neue Version:"));

        QStringList folders = QDir::temp().entryList({"orvex-update-*"}, QDir::Dirs);
        folders.removeIf([&earlierFolders](const QString& f) { return earlierFolders.contains(f); });
        QCOMPARE(folders.size(), 1);
        const QString path = QDir::temp().filePath(folders.first() + "/setup.run");
        if (runs) {
            QTRY_VERIFY(!window->isVisible());
            QCOMPARE(watcher.Messages(), QStringList());
            // The folder stays while the installer runs and goes when it has ended.
            QTRY_COMPARE_WITH_TIMEOUT(QFileInfo(mark).size(), qint64(installer.size()), 10000);
            QTRY_VERIFY_WITH_TIMEOUT(!QFileInfo::exists(QFileInfo(path).absolutePath()), 5000);
        } else {
            QTRY_COMPARE(watcher.Messages().size(), 1);
            QVERIFY(watcher.Messages().first().contains("can not be started"));
            QTest::qWait(200);
            QVERIFY(window->isVisible());
        }
    }
};

ORVEX_APP_TEST_MAIN(UpdateCheckTest)
#include "tst_updatecheck.moc"
