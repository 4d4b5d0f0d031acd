#include "update/UpdateCheck.h"

#include <unistd.h>

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QNetworkProxyFactory>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <algorithm>
#include <cerrno>

#include "MessageBox.h"
#include "ProgramInfo.h"
#include "StringTable.h"
#include "WindowMessage.h"
#include "update/HttpsDownload.h"
#include "update/InstallerWorker.h"
#include "update/OfferSignature.h"
#include "update/PrivateProfile.h"
#include "update/UpdateWorker.h"

namespace {

constexpr int kMsgDigestMismatch = 605;
constexpr int kMsgNotVouched = 606;
constexpr int kMsgBadSignature = 607;
constexpr int kMsgDownloadFailed = 608;
constexpr int kSha256HexLength = 64;
// How long the desktop's opener may take to say whether it could open a file.
constexpr int kOpenerWaitMs = 5000;
constexpr qint64 kOldFolderSeconds = 3600;
const QString kInstallerFolderPattern = QStringLiteral("orvex-update-*");
// Gives the freshly written installer a moment before it is started.
constexpr int kPauseBeforeStartMs = 1000;

CUpdateCheck*& CurrentCheck() {
    static CUpdateCheck* current = nullptr;
    return current;
}

bool IsSha256Hex(const QString& text) {
    if (text.size() != kSha256HexLength) return false;
    return std::all_of(text.begin(), text.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    });
}

// Removes folder once the process pid has ended. Not at once: an installer may read its own
// file while it runs (a self-extracting archive does), and a script's interpreter opens it
// only after the start. The station has quit by then, so a small shell of its own waits.
void RemoveFolderWhenEnded(qint64 pid, const QString& folder) {
    static const QString script = QStringLiteral(
        "while kill -0 \"$1\" 2>/dev/null; do"
        " { read -r state < \"/proc/$1/stat\"; } 2>/dev/null || break;"
        " case \"$state\" in *') Z '*) break ;; esac;"
        " sleep 1;"
        " done;"
        " rm -rf -- \"$2\"");
    QProcess::startDetached(QStringLiteral("/bin/sh"),
                            {QStringLiteral("-c"), script, QStringLiteral("orvex-update-cleanup"),
                             QString::number(pid), folder});
}

}  // namespace

CUpdateCheck::CUpdateCheck(const QString& baseUrl, const QString& publicKey)
    : m_strKey(QStringLiteral("Orvex-FSKProgrammer")), m_publicKey(publicKey.toLatin1()) {
    // The reserved ".example" domain of the placeholder names no server; asking for it would
    // only send a name lookup out.
    const QString host = QUrl(baseUrl).host();
    const bool placeholder = host == u"example" || host.endsWith(u".example");
    if (!baseUrl.isEmpty() && !placeholder) {
        m_strUrl = baseUrl;
        if (!m_strUrl.endsWith(u'/')) m_strUrl += u'/';
        m_strUrl += QStringLiteral("rfid/software/RFIDVersionsLF.txt");
    }
    QNetworkProxyFactory::setUseSystemConfiguration(true);
    if (CurrentCheck() == nullptr) CurrentCheck() = this;
}

CUpdateCheck::~CUpdateCheck() {
    m_pWorker.reset();
    if (m_pInstallerWorker) {
        m_pInstallerWorker.reset();
        // A download cut by the exit leaves no file, and so no folder either.
        RemoveInstallerFolder();
    }
    if (CurrentCheck() == this) CurrentCheck() = nullptr;
}

CUpdateCheck* CUpdateCheck::Current() {
    return CurrentCheck();
}

bool CUpdateCheck::StartUpdateCheck(QObject* window, int id) {
    m_pNotifyWnd = window;
    m_nNotifyId = id;
    if (!m_pWorker) {
        m_pWorker = std::make_unique<UpdateWorker>(*this);
        if (!m_pWorker->Start(m_strUrl)) m_pWorker.reset();
    } else if (!m_pWorker->m_bRunning && m_pWorker->m_bDone && window != nullptr && id != 0) {
        Notify();
    }
    return m_pWorker != nullptr;
}

void CUpdateCheck::ClearNotifyTarget(const QObject* window) {
    if (m_pNotifyWnd == window) m_pNotifyWnd = nullptr;
}

void CUpdateCheck::OnDownloadFinished(const QString& text) {
    m_strText = text;
    if (m_pWorker) m_pWorker->m_bDone = true;
    Notify();
}

void CUpdateCheck::Notify() {
    if (!m_pNotifyWnd) return;
    QCoreApplication::postEvent(m_pNotifyWnd, new CCommandEvent(m_nNotifyId));
    QCoreApplication::postEvent(m_pNotifyWnd, new CMessageEvent(m_nNotifyId, m_nNotifyId, 0));
}

bool CUpdateCheck::GetRemoteVersion(QString& version, QString& build) const {
    version.clear();
    build.clear();
    if (m_strText.isEmpty()) return false;
    CPrivateProfile profile;
    profile.ParseText(m_strText);
    version = profile.GetValue(m_strKey, QStringLiteral("Version"));
    build = profile.GetValue(m_strKey, QStringLiteral("Build"));
    return true;
}

bool CUpdateCheck::IsUpdateAvailable() const {
    QString version;
    QString build;
    if (!GetRemoteVersion(version, build)) return false;
    return IsNewer(GetProductVersion(), GetProgramDate(), version, build);
}

QString CUpdateCheck::GetProductVersion() {
    QString version = QStringLiteral(ORVEX_PRODUCT_VERSION);
    if (version.isEmpty() || version.size() >= 20) return QStringLiteral("-.--");
    if (version.size() < 4) version += u' ';
    return version;
}

bool CUpdateCheck::StartInstallerDownload(const QString& directory) {
    if (m_pInstallerWorker) return false;
    CPrivateProfile profile;
    profile.ParseText(m_strText);
    const QString url = profile.GetValue(m_strKey, QStringLiteral("Installer"));
    if (url.isEmpty()) return false;
    // Vouched for: a digest, the update server's own host, and the maker's signature when
    // the program carries a key.
    const QString digest = profile.GetValue(m_strKey, QStringLiteral("SHA256")).trimmed();
    const QUrl installerUrl(url);
    const QUrl versionUrl(m_strUrl);
    const QString sizeText = profile.GetValue(m_strKey, QStringLiteral("Size")).trimmed();
    bool sizeStated = false;
    const qulonglong statedSize = sizeText.toULongLong(&sizeStated);
    DownloadLimits limits = m_limits;
    if (sizeStated) limits.maxBytes = std::min<qint64>(limits.maxBytes, qint64(statedSize));
    if (!IsSha256Hex(digest) || installerUrl.scheme() != u"https" ||
        !IsSameServer(installerUrl, versionUrl) ||
        (!sizeText.isEmpty() &&
         (!sizeStated || statedSize > qulonglong(DownloadLimits::kLargestInstaller)))) {
        ShowMessage(LoadString(kMsgNotVouched));
        return false;
    }
    if (!m_publicKey.isEmpty()) {
        const QString version = profile.GetValue(m_strKey, QStringLiteral("Version"));
        const QByteArray signature =
            profile.GetValue(m_strKey, QStringLiteral("Signature")).toLatin1();
        if (!IsOfferSignatureValid(m_publicKey,
                                   SignedOfferText(version, InstallerFileName(url), digest),
                                   signature)) {
            ShowMessage(LoadString(kMsgBadSignature));
            return false;
        }
    }

    // The shared temporary folder is writable by everyone; a private folder keeps another
    // user from placing or swapping the file that is about to be started.
    QString folder = directory;
    m_strInstallerFolder.clear();
    if (folder.isEmpty()) {
        QTemporaryDir created(QDir::tempPath() + QStringLiteral("/orvex-update-XXXXXX"));
        if (!created.isValid()) {
            ShowMessage(LoadString(kMsgDownloadFailed));
            return false;
        }
        created.setAutoRemove(false);
        folder = m_strInstallerFolder = created.path();
    }
    if (!folder.endsWith(u'/')) folder += u'/';
    m_strInstallerPath = folder + InstallerFileName(url);

    m_pInstallerWorker = std::make_unique<InstallerWorker>(*this);
    if (!m_pInstallerWorker->Start({installerUrl, m_strInstallerPath, digest, limits})) {
        m_pInstallerWorker.reset();
        RemoveInstallerFolder();
        ShowMessage(LoadString(kMsgDownloadFailed));
        return false;
    }
    return true;
}

void CUpdateCheck::CancelInstallerDownload() {
    if (m_pInstallerWorker) m_pInstallerWorker->Cancel();
}

QString CUpdateCheck::DownloadInstaller(const QString& directory) {
    QString path;
    QEventLoop loop;
    connect(this, &CUpdateCheck::InstallerDownloaded, &loop, [&path, &loop](const QString& saved) {
        path = saved;
        loop.quit();
    });
    if (!StartInstallerDownload(directory)) return {};
    loop.exec();
    return path;
}

void CUpdateCheck::OnInstallerProgress(qint64 received, qint64 total) {
    Q_EMIT InstallerProgress(received, total);
}

void CUpdateCheck::OnInstallerDownloadFinished(DownloadResult result) {
    // The worker has handed over its last word; its thread is ending.
    m_pInstallerWorker.reset();
    if (result == DownloadResult::Saved) {
        Q_EMIT InstallerDownloaded(m_strInstallerPath);
        return;
    }
    RemoveInstallerFolder();
    if (result == DownloadResult::DigestMismatch)
        ShowMessage(FormatMessage(LoadString(kMsgDigestMismatch),
                                  m_strInstallerPath.toUtf8().constData()));
    else if (result == DownloadResult::Failed)
        ShowMessage(LoadString(kMsgDownloadFailed));
    Q_EMIT InstallerDownloaded({});
}

void CUpdateCheck::RemoveInstallerFolder() {
    // Only the folder made for the download, and only when nothing else came into it.
    if (!m_strInstallerFolder.isEmpty()) QDir().rmdir(m_strInstallerFolder);
    m_strInstallerFolder.clear();
}

void CUpdateCheck::RemoveOldInstallerFolders() {
    const QDir temp = QDir::temp();
    const QDateTime old = QDateTime::currentDateTime().addSecs(-kOldFolderSeconds);
    // A link named like a folder of ours may point anywhere: its target is not emptied.
    for (const QFileInfo& folder :
         temp.entryInfoList({kInstallerFolderPattern}, QDir::Dirs | QDir::NoSymLinks)) {
        if (!folder.isSymLink() && folder.ownerId() == ::getuid() && folder.lastModified() < old)
            QDir(folder.filePath()).removeRecursively();
    }
}

bool CUpdateCheck::StartInstaller(const QString& path) {
    if (!QFileInfo::exists(path)) {
        ShowMessage(QStringLiteral("The File\n\"%1\"\ndoes not exist!").arg(path));
        return false;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QThread::msleep(kPauseBeforeStartMs);

    // A downloaded file is not executable yet.
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner |
                                    QFileDevice::ExeUser);
    QProcess installer;
    installer.setProgram(path);
    installer.setWorkingDirectory(QFileInfo(path).absolutePath());
    qint64 pid = 0;
    bool started = installer.startDetached(&pid);
    const int programError = started ? 0 : static_cast<int>(installer.error());
    const int systemError = errno;
    if (started && !m_strInstallerFolder.isEmpty() &&
        QFileInfo(path).absolutePath() == QFileInfo(m_strInstallerFolder).absoluteFilePath()) {
        RemoveFolderWhenEnded(pid, m_strInstallerFolder);
        m_strInstallerFolder.clear();
    }
    // What is no program may still be opened by the desktop; that counts only when its
    // opener says it succeeded, not when the opener was merely spawned.
    int openResult = 0;
    if (!started) {
        QProcess opener;
        opener.start(QStringLiteral("xdg-open"), {path});
        const bool finished = opener.waitForFinished(kOpenerWaitMs);
        if (!finished) opener.kill();
        started = finished && opener.exitStatus() == QProcess::NormalExit && opener.exitCode() == 0;
        openResult = finished ? opener.exitCode() : -1;
    }
    QApplication::restoreOverrideCursor();

    if (!started) {
        ShowMessage(QStringLiteral("The File\n\"%1\"\ncan not be started!\nError %2 %3 %4")
                        .arg(path)
                        .arg(programError)
                        .arg(openResult)
                        .arg(systemError));
    }
    return started;
}
