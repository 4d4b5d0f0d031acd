#include "update/UpdateWorker.h"

#include <QMetaObject>
#include <QUrl>

#include "update/HttpsDownload.h"
#include "update/UpdateCheck.h"

UpdateWorker::UpdateWorker(CUpdateCheck& owner) : m_owner(owner) {}

UpdateWorker::~UpdateWorker() {
    m_bCancel = true;
    if (m_thread) m_thread->wait();
}

bool UpdateWorker::Start(const QString& url) {
    m_thread.reset(QThread::create([this, url] {
        const QString text = url.isEmpty() ? QString() : DownloadText(QUrl(url), &m_bCancel);
        // Handed over through the owner's event queue: the owner reads the text only on
        // its own thread, and a result that arrives after the owner is gone is dropped.
        // Not running before the hand-over, so that a caller told "done" is never missed.
        CUpdateCheck* owner = &m_owner;
        m_bRunning = false;
        QMetaObject::invokeMethod(
            owner, [owner, text] { owner->OnDownloadFinished(text); }, Qt::QueuedConnection);
    }));
    m_thread->start(QThread::NormalPriority);
    if (!m_thread->isRunning() && m_bRunning) {
        m_bRunning = false;
        return false;
    }
    return true;
}
