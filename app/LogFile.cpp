#include "LogFile.h"

#include <cerrno>
#include <cstring>

#include "StringTable.h"

namespace {

// Message texts of the string table for the kinds of file failure; %1 is the file name.
enum FileErrorId {
    kFileErrorGeneric = 61857,
    kFileErrorNotFound = 61858,
    kFileErrorBadPath = 61859,
    kFileErrorTooManyOpen = 61860,
    kFileErrorAccessDenied = 61861,
    kFileErrorInvalidFile = 61862,
    kFileErrorBadSeek = 61865,
    kFileErrorHardIo = 61866,
    kFileErrorSharing = 61867,
    kFileErrorDiskFull = 61869,
};

constexpr int kMaxErrorTextLength = 1000;

int FileErrorIdOf(int error) {
    switch (error) {
        case ENOENT:
            return kFileErrorNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
        case ELOOP:
            return kFileErrorBadPath;
        case EMFILE:
        case ENFILE:
            return kFileErrorTooManyOpen;
        case EACCES:
        case EPERM:
        case EROFS:
        case EISDIR:
        case ETXTBSY:
            return kFileErrorAccessDenied;
        case EBADF:
            return kFileErrorInvalidFile;
        case ESPIPE:
            return kFileErrorBadSeek;
        case EIO:
            return kFileErrorHardIo;
        case EWOULDBLOCK:
            return kFileErrorSharing;
        case ENOSPC:
        case EDQUOT:
        case EFBIG:
            return kFileErrorDiskFull;
        default:
            return kFileErrorGeneric;
    }
}

}  // namespace

QString StationFileErrorText(int error, const QString& path) {
    QString text = LoadString(FileErrorIdOf(error));
    if (text.isEmpty())
        text = QString::fromLocal8Bit(std::strerror(error)) + QStringLiteral(": %1");
    text.replace(QStringLiteral("%1"), path);
    return text.left(kMaxErrorTextLength);
}

bool AppendLogLine(const QString& path, const QString& line, QString& errorLog) {
    return station::AppendLogLine(path, line, errorLog, StationFileErrorText);
}
