// Blocking HTTPS downloads with Qt Network, meant for the update check's worker threads: each
// call runs an event loop of its own on the calling thread. Only https addresses are fetched,
// with the server's certificate checked against the system's authorities, and redirects are
// followed only on the same host. A transfer ends at its limits: a body size, a deadline for
// the whole transfer, and a least amount of bytes per stall period, so that a trickling
// server cannot hold it.
#pragma once

#include <QString>
#include <QUrl>
#include <atomic>
#include <functional>

// Whether two addresses name the same server: the host (in any case) and the port, 443 when
// none is given.
bool IsSameServer(const QUrl& a, const QUrl& b);

// The body of url as text, cut at its first zero byte; "" after any failure. A version
// file larger than a megabyte counts as a failure. Setting *cancel ends the transfer.
QString DownloadText(const QUrl& url, const std::atomic<bool>* cancel = nullptr);

enum class DownloadResult { Saved, Failed, DigestMismatch, Cancelled };

// What an installer download may take.
struct DownloadLimits {
    // The installer's largest size: 512 MiB.
    static constexpr qint64 kLargestInstaller = qint64(512) * 1024 * 1024;
    qint64 maxBytes = kLargestInstaller;
    int wholeMs = 15 * 60 * 1000;
    // At least stallBytes must arrive in every stallMs.
    int stallMs = 30000;
    qint64 stallBytes = 16 * 1024;
};

// Told on the downloading thread of the bytes received so far and of the size the server
// announced (-1 while unknown).
using DownloadProgress = std::function<void(qint64 received, qint64 total)>;

// Saves the body of url at path, replacing a file there. The body must have the digest
// expectedSha256 (hexadecimal) and stay within limits. Only a complete, verified body ever
// appears at path; on failure or cancel nothing is left there. Setting *cancel ends the
// transfer within a few tens of milliseconds.
DownloadResult DownloadFile(const QUrl& url, const QString& path, const QString& expectedSha256,
                            const DownloadLimits& limits = {},
                            const std::atomic<bool>* cancel = nullptr,
                            const DownloadProgress& progress = {});
