#include "update/InstallerWorker.h"

#include <QElapsedTimer>
#include <QMetaObject>

#include "update/UpdateCheck.h"

namespace {

// Progress reaches the window at most this often: a fast transfer brings thousands of
// chunks, and each would cost the window a repaint.
constexpr qint64 kProgressIntervalMs = 100;

}  // namespace

InstallerWorker::InstallerWorker(CUpdateCheck& owner) : m_owner(owner) {}

InstallerWorker::~InstallerWorker() {
    m_bCancel = true;
    if (m_thread) m_thread->wait();
}

bool InstallerWorker::Start(const Job& job) {
    // Handed over through the owner's event queue, like the version file: the owner is
    // touched only on its own thread, and what arrives after it is gone is dropped.
    CUpdateCheck* owner = &m_owner;
    m_thread.reset(QThread::create([this, owner, job] {
        QElapsedTimer sinceReport;
        auto report = [owner, &sinceReport](qint64 received, qint64 total) {
            if (sinceReport.isValid() && sinceReport.elapsed() < kProgressIntervalMs &&
                received != total)
                return;
            sinceReport.start();
            QMetaObject::invokeMethod(
                owner, [owner, received, total] { owner->OnInstallerProgress(received, total); },
                Qt::QueuedConnection);
        };
        const DownloadResult result =
            DownloadFile(job.url, job.path, job.sha256, job.limits, &m_bCancel, report);
        QMetaObject::invokeMethod(
            owner, [owner, result] { owner->OnInstallerDownloadFinished(result); },
            Qt::QueuedConnection);
    }));
    m_thread->start(QThread::NormalPriority);
    return m_thread->isRunning() || m_thread->isFinished();
}
