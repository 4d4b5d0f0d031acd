// Blocking HTTPS downloads with Qt Network on the calling thread, which must not run another
// event loop meanwhile. Only https addresses are fetched, with the server's certificate
// checked against the system's authorities; a stalled transfer ends after a timeout.
#pragma once

#include <QString>
#include <QUrl>
#include <atomic>

// The body of url as text, cut at its first zero byte; "" after any failure. A version
// file larger than a megabyte counts as a failure. Setting *cancel ends the transfer.
QString DownloadText(const QUrl& url, const std::atomic<bool>* cancel = nullptr);

enum class DownloadResult { Saved, Failed, DigestMismatch };

// Saves the body of url at path, replacing a file there. With expectedSha256 (hexadecimal)
// given, the body must have that digest. Only a complete, verified body ever appears at
// path; on failure nothing is left there. User input is held back while the transfer runs.
DownloadResult DownloadFile(const QUrl& url, const QString& path,
                            const QString& expectedSha256 = {});
