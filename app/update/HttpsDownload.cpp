#include "update/HttpsDownload.h"

#include <QByteArray>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QSaveFile>
#include <QThread>
#include <QTimer>
#include <algorithm>
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

// The version file's own limits: small, and quick or not at all.
constexpr DownloadLimits kVersionFileLimits{kLargestVersionFile, 2 * kTransferTimeoutMs,
                                            kTransferTimeoutMs, 1};

bool IsHttps(const QUrl& url) {
    return url.isValid() && url.scheme().compare(u"https", Qt::CaseInsensitive) == 0;
}

// Runs one GET and hands each chunk of the body to sink, which returns false to stop the
// transfer, and tells progress after each chunk. True when the whole body arrived within
// limits (maxBytes is the sink's).
bool Fetch(const QUrl& url, const std::function<bool(const QByteArray&)>& sink,
           const DownloadLimits& limits, const std::atomic<bool>* cancel,
           const DownloadProgress& progress) {
    if (!IsHttps(url)) return false;

    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute,
                         QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::UserVerifiedRedirectPolicy);
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArray(kUserAgent));
    request.setTransferTimeout(limits.stallMs);

    QNetworkAccessManager manager;
    manager.setAutoDeleteReplies(false);
    std::unique_ptr<QNetworkReply> reply(manager.get(request));
    bool sinkAccepted = true;
    qint64 received = 0;
    auto drain = [&] {
        if (!sinkAccepted || !reply->isOpen()) return;
        const QByteArray chunk = reply->readAll();
        received += chunk.size();
        if (!chunk.isEmpty() && !sink(chunk)) {
            sinkAccepted = false;
            reply->abort();
        } else if (!chunk.isEmpty() && progress) {
            const QVariant total = reply->header(QNetworkRequest::ContentLengthHeader);
            progress(received, total.isValid() ? total.toLongLong() : -1);
        }
    };
    QEventLoop loop;
    QObject::connect(reply.get(), &QNetworkReply::readyRead, &loop, drain);
    QObject::connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, [&] {
        // A body announced larger than allowed is not fetched at all.
        if (reply->header(QNetworkRequest::ContentLengthHeader).toLongLong() > limits.maxBytes) {
            sinkAccepted = false;
            reply->abort();
        }
    });
    QObject::connect(reply.get(), &QNetworkReply::finished, &loop, &QEventLoop::quit);
    // Another host could serve anything; only the same host, over https, may move a file.
    QObject::connect(reply.get(), &QNetworkReply::redirected, &loop, [&](const QUrl& target) {
        const QUrl next = url.resolved(target);
        if (IsHttps(next) && IsSameServer(next, url))
            Q_EMIT reply->redirectAllowed();
        else
            reply->abort();
    });
    // The stall check looks at the bytes of a whole period, so that a server sending a
    // byte now and then does not count as making progress.
    const QDeadlineTimer whole(limits.wholeMs);
    QElapsedTimer period;
    period.start();
    qint64 receivedAtPeriodStart = 0;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, &loop, [&] {
        if (received - receivedAtPeriodStart >= limits.stallBytes) {
            receivedAtPeriodStart = received;
            period.restart();
        }
        if ((cancel != nullptr && cancel->load()) || whole.hasExpired() ||
            period.elapsed() > limits.stallMs)
            reply->abort();
    });
    watch.start(kCancelPollMs);
    if (!reply->isFinished()) loop.exec();
    watch.stop();
    drain();
    return sinkAccepted && reply->error() == QNetworkReply::NoError;
}

void PauseAfterFailure(const std::atomic<bool>* cancel) {
    const QDeadlineTimer deadline(kPauseAfterFailureMs);
    while (!deadline.hasExpired() && (cancel == nullptr || !cancel->load()))
        QThread::msleep(kCancelPollMs);
}

}  // namespace

bool IsSameServer(const QUrl& a, const QUrl& b) {
    return a.host().compare(b.host(), Qt::CaseInsensitive) == 0 && a.port(443) == b.port(443);
}

QString DownloadText(const QUrl& url, const std::atomic<bool>* cancel) {
    QByteArray body;
    const bool complete = Fetch(
        url,
        [&body](const QByteArray& chunk) {
            if (body.size() + chunk.size() > kLargestVersionFile) return false;
            body.append(chunk);
            return true;
        },
        kVersionFileLimits, cancel, {});
    if (!complete) {
        PauseAfterFailure(cancel);
        return {};
    }
    const qsizetype zero = body.indexOf('\0');
    if (zero >= 0) body.truncate(zero);
    return QString::fromUtf8(body);
}

DownloadResult DownloadFile(const QUrl& url, const QString& path, const QString& expectedSha256,
                            const DownloadLimits& limits, const std::atomic<bool>* cancel,
                            const DownloadProgress& progress) {
    // The body goes to a hidden file beside path and replaces path only once it is complete
    // and verified, so a cut transfer never leaves a half installer that could be started.
    QSaveFile file(path);
    QCryptographicHash digest(QCryptographicHash::Sha256);
    const qint64 largest = std::min(limits.maxBytes, DownloadLimits::kLargestInstaller);
    qint64 size = 0;
    bool complete = false;
    if (file.open(QIODevice::WriteOnly)) {
        complete = Fetch(
            url,
            [&](const QByteArray& chunk) {
                size += chunk.size();
                if (size > largest) return false;
                digest.addData(chunk);
                return file.write(chunk) == chunk.size();
            },
            limits, cancel, progress);
    }
    if (complete && digest.result().toHex() != expectedSha256.trimmed().toLatin1().toLower()) {
        file.cancelWriting();
        QFile::remove(path);
        return DownloadResult::DigestMismatch;
    }
    if (!complete || !file.commit()) {
        file.cancelWriting();
        QFile::remove(path);
        if (cancel != nullptr && cancel->load()) return DownloadResult::Cancelled;
        PauseAfterFailure(cancel);
        return DownloadResult::Failed;
    }
    return DownloadResult::Saved;
}
