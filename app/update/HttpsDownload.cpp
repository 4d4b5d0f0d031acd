#include "update/HttpsDownload.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QThread>
#include <QTimer>
#include <functional>
#include <memory>

namespace {

constexpr int kTransferTimeoutMs = 30000;
constexpr qsizetype kLargestVersionFile = 1024 * 1024;
// A failed transfer returns only after this pause, so a caller that retries at once does
// not hammer a server that is just coming back.
constexpr int kPauseAfterFailureMs = 1000;
constexpr int kCancelPollMs = 20;
constexpr const char* kUserAgent = "Orvex-FSKProgrammer";

// Runs one GET and hands each chunk of the body to sink, which returns false to stop the
// transfer. True when the whole body arrived.
bool Fetch(const QUrl& url, const std::function<bool(const QByteArray&)>& sink,
           const std::atomic<bool>* cancel, QEventLoop::ProcessEventsFlags flags) {
    if (!url.isValid() || url.scheme().compare(u"https", Qt::CaseInsensitive) != 0) return false;

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUserAgent));
    request.setTransferTimeout(kTransferTimeoutMs);

    QNetworkAccessManager manager;
    manager.setAutoDeleteReplies(false);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    bool sinkAccepted = true;
    auto drain = [&] {
        if (!sinkAccepted || !reply->isOpen()) return;
        const QByteArray chunk = reply->readAll();
        if (!chunk.isEmpty() && !sink(chunk)) {
            sinkAccepted = false;
            reply->abort();
        }
    };
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, drain);
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer cancelPoll;
    if (cancel != nullptr) {
        QObject::connect(&cancelPoll, &QTimer::timeout, &loop, [&] {
            if (cancel->load()) reply->abort();
        });
        cancelPoll.start(kCancelPollMs);
    }
    if (!reply->isFinished()) loop.exec(flags);
    cancelPoll.stop();
    drain();
    return sinkAccepted && reply->error() == QNetworkReply::NoError;
}

void PauseAfterFailure(const std::atomic<bool>* cancel) {
    const QDeadlineTimer deadline(kPauseAfterFailureMs);
    while (!deadline.hasExpired() && (cancel == nullptr || !cancel->load()))
        QThread::msleep(kCancelPollMs);
}

}  // namespace

QString DownloadText(const QUrl& url, const std::atomic<bool>* cancel) {
    QByteArray body;
    const bool complete = Fetch(
        url,
        [&body](const QByteArray& chunk) {
            if (body.size() + chunk.size() > kLargestVersionFile) return false;
            body.append(chunk);
            return true;
        },
        cancel, QEventLoop::AllEvents);
    if (!complete) {
        PauseAfterFailure(cancel);
        return {};
    }
    const qsizetype zero = body.indexOf('\0');
    if (zero >= 0) body.truncate(zero);
    return QString::fromUtf8(body);
}

DownloadResult DownloadFile(const QUrl& url, const QString& path, const QString& expectedSha256) {
    // The body goes to a hidden file beside path and replaces path only once it is complete
    // and verified, so a cut transfer never leaves a half installer that could be started.
    QSaveFile file(path);
    QCryptographicHash digest(QCryptographicHash::Sha256);
    bool complete = false;
    if (file.open(QIODevice::WriteOnly)) {
        complete = Fetch(
            url,
            [&](const QByteArray& chunk) {
                digest.addData(chunk);
                return file.write(chunk) == chunk.size();
            },
            nullptr, QEventLoop::ExcludeUserInputEvents);
    }
    if (complete && !expectedSha256.isEmpty() &&
        digest.result().toHex() != expectedSha256.trimmed().toLatin1().toLower()) {
        file.cancelWriting();
        QFile::remove(path);
        return DownloadResult::DigestMismatch;
    }
    if (!complete || !file.commit()) {
        file.cancelWriting();
        QFile::remove(path);
        PauseAfterFailure(nullptr);
        return DownloadResult::Failed;
    }
    return DownloadResult::Saved;
}
