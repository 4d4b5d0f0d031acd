#include "AnnouncedReaders.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

namespace {

// An announcement is a few short lines; anything longer is not one.
constexpr qint64 kMaxFileSize = 4096;

// This user's own (never through a link), and of the kind asked: what another user put or
// linked there is not this desktop's announcement, and a pipe would block the read.
bool OwnedByUser(const QString& path, mode_t kind) {
    struct stat st {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid == getuid() &&
           (st.st_mode & S_IFMT) == kind;
}

bool ProcessRuns(qint64 pid) {
    if (pid <= 0 || pid > 0x7FFFFFFF) return false;
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// "<line> [<name>]" of one announcement file, or "" when it is none or stale.
QString ReadAnnouncement(const QString& path) {
    QFile file(path);
    if (!OwnedByUser(path, S_IFREG) || !file.open(QIODevice::ReadOnly)) return {};
    const QByteArray text = file.read(kMaxFileSize + 1);
    if (text.size() > kMaxFileSize) return {};
    const ReaderAnnouncementText announced = ParseReaderAnnouncement(text);
    if (!announced.line.startsWith('/') || !ProcessRuns(announced.pid) ||
        !QFileInfo::exists(announced.line))
        return {};
    return announced.name.isEmpty() ? announced.line
                                    : announced.line + " [" + announced.name + "]";
}

}  // namespace

ReaderAnnouncementText ParseReaderAnnouncement(const QByteArray& text) {
    ReaderAnnouncementText announced;
    for (const QByteArray& entry : text.split('\n')) {
        const qsizetype equals = entry.indexOf('=');
        if (equals < 0) continue;
        const QByteArray key = entry.left(equals);
        const QByteArray value = entry.mid(equals + 1);
        if (key == "pid")
            announced.pid = value.toLongLong();
        else if (key == "line")
            announced.line = QString::fromUtf8(value);
        else if (key == "name")
            announced.name = QString::fromUtf8(value).trimmed();
    }
    return announced;
}

QString AnnouncedReadersFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/')) return QFile::decodeName(runtime) + "/orvex-fsk/readers";
    return QStringLiteral("/tmp/orvex-fsk-%1/readers").arg(getuid());
}

QStringList ListAnnouncedReaders() {
    const QString folder = AnnouncedReadersFolder();
    // In the shared /tmp, a folder another user made is not this desktop's.
    if (!OwnedByUser(folder, S_IFDIR)) return {};
    QStringList readers;
    const QDir dir(folder);
    for (const QString& file : dir.entryList({QStringLiteral("*.reader")}, QDir::Files | QDir::NoSymLinks)) {
        const QString entry = ReadAnnouncement(dir.filePath(file));
        if (!entry.isEmpty() && !readers.contains(entry)) readers << entry;
    }
    readers.sort();
    return readers;
}
