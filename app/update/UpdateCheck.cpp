#include "update/UpdateCheck.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QNetworkProxyFactory>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <cerrno>
#include <limits>

#include "MessageBox.h"
#include "ProgramInfo.h"
#include "StringTable.h"
#include "WindowMessage.h"
#include "update/HttpsDownload.h"
#include "update/PrivateProfile.h"
#include "update/UpdateWorker.h"

namespace {

constexpr int kMsgDigestMismatch = 605;
// Gives the freshly written installer a moment before it is started.
constexpr int kPauseBeforeStartMs = 1000;

CUpdateCheck*& CurrentCheck() {
    static CUpdateCheck* current = nullptr;
    return current;
}

// A leading decimal number with an optional sign, like atoi: no digits give 0; a number
// too large for an int stops growing at the largest.
qint64 LeadingNumber(QStringView text) {
    qsizetype pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == u'+' || text[pos] == u'-')) {
        negative = text[pos] == u'-';
        ++pos;
    }
    qint64 value = 0;
    for (; pos < text.size() && text[pos] >= u'0' && text[pos] <= u'9'; ++pos) {
        value = value * 10 + (text[pos].unicode() - u'0');
        if (value > std::numeric_limits<int>::max()) value = std::numeric_limits<int>::max();
    }
    return negative ? -value : value;
}

}  // namespace

CUpdateCheck::CUpdateCheck(const QString& baseUrl)
    : m_strKey(QStringLiteral("Orvex-FSKProgrammer")) {
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

quint32 CUpdateCheck::VersionNumber(QStringView text) {
    const qsizetype dot = text.indexOf(u'.');
    const QStringView major = dot > 0 ? text.first(dot) : text;
    const QStringView minor = dot > 0 ? text.sliced(dot + 1) : QStringView();
    // Computed wide and wrapped to 32 bits, as the comparison has always been unsigned.
    return static_cast<quint32>(LeadingNumber(major) * 1000 + LeadingNumber(minor));
}

bool CUpdateCheck::IsNewer(QStringView localVersion, QStringView localDate,
                           QStringView remoteVersion, QStringView remoteBuild) {
    if (VersionNumber(localVersion) < VersionNumber(remoteVersion)) return true;
    // Dates in "%Y-%m-%d" sort as texts: a later build of the same version is newer.
    if (!remoteBuild.isEmpty()) return localDate.compare(remoteBuild) < 0;
    return false;
}

QString CUpdateCheck::InstallerFileName(const QString& url) {
    const qsizetype slash = url.lastIndexOf(u'/');
    return slash > 0 ? url.mid(slash + 1) : url;
}

QString CUpdateCheck::DownloadInstaller(const QString& directory) {
    CPrivateProfile profile;
    profile.ParseText(m_strText);
    const QString url = profile.GetValue(m_strKey, QStringLiteral("Installer"));
    if (url.isEmpty()) return {};

    // The shared temporary folder is writable by everyone; a private folder keeps another
    // user from placing or swapping the file that is about to be started.
    QString folder = directory;
    bool ownFolder = false;
    if (folder.isEmpty()) {
        QTemporaryDir created(QDir::tempPath() + QStringLiteral("/orvex-update-XXXXXX"));
        if (!created.isValid()) return {};
        created.setAutoRemove(false);
        folder = created.path();
        ownFolder = true;
    }
    if (!folder.endsWith(u'/')) folder += u'/';
    const QString path = folder + InstallerFileName(url);

    const QString digest = profile.GetValue(m_strKey, QStringLiteral("SHA256"));
    const DownloadResult result = DownloadFile(QUrl(url), path, digest);
    if (result == DownloadResult::Saved) return path;
    if (ownFolder) QDir().rmdir(folder);
    if (result == DownloadResult::DigestMismatch)
        ShowMessage(FormatMessage(LoadString(kMsgDigestMismatch), path.toUtf8().constData()));
    return {};
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
    bool started = installer.startDetached();
    const int programError = started ? 0 : static_cast<int>(installer.error());
    const int systemError = errno;
    // What is no program may still be opened by the desktop (xdg-open on a desktop session).
    int openResult = 0;
    if (!started) {
        started = QDesktopServices::openUrl(QUrl::fromLocalFile(path));
        openResult = started ? 1 : 0;
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
