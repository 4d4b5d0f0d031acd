// The check for a newer program version on the maker's web server. One object exists per
// program run: its worker downloads the version file once, and the windows that ask are
// notified when the text is there. It also downloads and starts the installer the
// version file names.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringView>
#include <memory>

#include "update/HttpsDownload.h"

class UpdateWorker;
class InstallerWorker;

class CUpdateCheck : public QObject {
    Q_OBJECT
  public:
    // Command id and message number the station's windows are notified with.
    static constexpr int kNotifyId = 1034;

    // baseUrl: the server's base address ("https://host/"); the version file lies below it
    // at rfid/software/. An empty base address, or one under the reserved ".example"
    // domain, checks nothing: every caller is told that there is no version file. The
    // first object becomes Current(). publicKey: base64 of the DER Ed25519 key that signs
    // offers; when set, an installer is fetched only for an offer it signed.
    explicit CUpdateCheck(const QString& baseUrl, const QString& publicKey = {});
    // Stops a download that still runs.
    ~CUpdateCheck() override;

    // The program's update check, or nullptr where none was set up.
    static CUpdateCheck* Current();

    // Makes window the one to notify and starts the download on the first call. A caller
    // that comes after the download has ended is notified at once. False when the
    // download thread could not be started.
    bool StartUpdateCheck(QObject* window, int id);
    // Forgets window as notification target (a closing window calls this).
    void ClearNotifyTarget(const QObject* window);

    // Whether the build names an update server to ask (not empty, not the placeholder).
    bool HasServer() const { return !m_strUrl.isEmpty(); }
    // Version and Build of the program's section; false when no text was downloaded.
    bool GetRemoteVersion(QString& version, QString& build) const;
    // Whether the version file offers a newer program than this one.
    bool IsUpdateAvailable() const;

    // Starts downloading the installer on a worker thread into directory, or into a new
    // private folder under the system's temporary folder when directory is empty. Only an
    // offer with a digest, an installer on the update server's host and, with a key set, a
    // valid signature is fetched: false, with a message box, for any other; false also while
    // another download runs. The download reports InstallerProgress while it runs and ends
    // with InstallerDownloaded; a failure is reported in a message box, a cancel is not.
    bool StartInstallerDownload(const QString& directory = {});
    // Ends a running installer download within a moment; it leaves no file behind.
    void CancelInstallerDownload();
    // The installer download from start to end, with the event loop running meanwhile: the
    // local path, or "" when there is no offer or the download failed.
    QString DownloadInstaller(const QString& directory = {});
    // Starts the installer and reports a failure in a message box; true when it started: a
    // program that runs, or a file the desktop's opener took with success. The private
    // folder of a program that runs is removed once that program has ended.
    bool StartInstaller(const QString& path);
    // The download's limits; tests shorten them.
    void SetDownloadLimits(const DownloadLimits& limits) { m_limits = limits; }

    // Removes installer folders of earlier runs (an hour old or more) from the temporary
    // folder.
    static void RemoveOldInstallerFolders();

    // The program's product version for the comparison: "-.--" when unusable, at least
    // four characters.
    static QString GetProductVersion();
    // "major.minor" as major * 1000 + minor, each a leading decimal number.
    static quint32 VersionNumber(QStringView text);
    // A version an offer may name: "major" or "major.minor", each 0 to 999.
    static bool IsVersionText(QStringView text);
    // Whether the remote version is newer than the local program, or at the same version
    // its build date (yyyy-MM-dd) is later. An unusable remote version or build is no offer.
    static bool IsNewer(QStringView localVersion, QStringView localDate,
                        QStringView remoteVersion, QStringView remoteBuild);
    // The local file name of an installer address: the part after its last "/".
    static QString InstallerFileName(const QString& url);

  Q_SIGNALS:
    // Bytes of the installer received so far, and its size (-1 while unknown).
    void InstallerProgress(qint64 received, qint64 total);
    // The installer download has ended: the local path, or "" after a failure or a cancel.
    void InstallerDownloaded(const QString& path);

  private:
    friend class UpdateWorker;
    friend class InstallerWorker;
    void OnDownloadFinished(const QString& text);
    void Notify();
    void OnInstallerProgress(qint64 received, qint64 total);
    void OnInstallerDownloadFinished(DownloadResult result);
    void RemoveInstallerFolder();

    QString m_strUrl;
    QString m_strKey;
    QByteArray m_publicKey;
    DownloadLimits m_limits;
    QString m_strText;
    QPointer<QObject> m_pNotifyWnd;
    int m_nNotifyId = 0;
    std::unique_ptr<UpdateWorker> m_pWorker;
    std::unique_ptr<InstallerWorker> m_pInstallerWorker;
    QString m_strInstallerPath;
    // The private folder made for the installer; "" when the caller named the folder.
    QString m_strInstallerFolder;
};
