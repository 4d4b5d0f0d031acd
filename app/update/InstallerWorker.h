// The background thread of an installer download: fetches one installer so that the window
// keeps running, tells its CUpdateCheck of the progress and hands it the result, both on the
// user-interface thread.
#pragma once

#include <QString>
#include <QThread>
#include <QUrl>
#include <atomic>
#include <memory>

#include "update/HttpsDownload.h"

class CUpdateCheck;

class InstallerWorker {
  public:
    struct Job {
        QUrl url;
        QString path;
        QString sha256;
        DownloadLimits limits;
    };

    explicit InstallerWorker(CUpdateCheck& owner);
    // Cancels a running download and waits for the thread.
    ~InstallerWorker();

    InstallerWorker(const InstallerWorker&) = delete;
    InstallerWorker& operator=(const InstallerWorker&) = delete;

    // Starts the download; false if the thread could not be started.
    bool Start(const Job& job);
    // Ends the transfer soon; the result then reads Cancelled unless it was complete.
    void Cancel() { m_bCancel = true; }

  private:
    CUpdateCheck& m_owner;
    std::atomic<bool> m_bCancel{false};
    std::unique_ptr<QThread> m_thread;
};
