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

bool OwnedByUser(const QString& path) {
    struct stat st {};
    return lstat(QFile::encodeName(path).constData(), &st) == 0 && st.st_uid == getuid();
}

bool ProcessRuns(qint64 pid) {
    if (pid <= 0 || pid > 0x7FFFFFFF) return false;
    return kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

// "<line> [<name>]" of one announcement file, or "" when it is none or stale.
QString ReadAnnouncement(const QString& path) {
    QFile file(path);
    if (!OwnedByUser(path) || !file.open(QIODevice::ReadOnly)) return {};
    const QByteArray text = file.read(kMaxFileSize + 1);
    if (text.size() > kMaxFileSize) return {};
    qint64 pid = 0;
    QString line;
    QString name;
    for (const QByteArray& entry : text.split('\n')) {
        const qsizetype equals = entry.indexOf('=');
        if (equals < 0) continue;
        const QByteArray key = entry.left(equals);
        const QString value = QString::fromUtf8(entry.mid(equals + 1));
        if (key == "pid")
            pid = value.toLongLong();
        else if (key == "line")
            line = value;
        else if (key == "name")
            name = value.trimmed();
    }
    if (!line.startsWith('/') || !ProcessRuns(pid) || !QFileInfo::exists(line)) return {};
    return name.isEmpty() ? line : line + " [" + name + "]";
}

}  // namespace

QString AnnouncedReadersFolder() {
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (runtime.startsWith('/')) return QFile::decodeName(runtime) + "/orvex-fsk/readers";
    return QStringLiteral("/tmp/orvex-fsk-%1/readers").arg(getuid());
}

QStringList ListAnnouncedReaders() {
    const QString folder = AnnouncedReadersFolder();
    // In the shared /tmp, a folder another user made is not this desktop's.
    if (!OwnedByUser(folder)) return {};
    QStringList readers;
    const QDir dir(folder);
    for (const QString& file : dir.entryList({QStringLiteral("*.reader")}, QDir::Files)) {
        const QString entry = ReadAnnouncement(dir.filePath(file));
        if (!entry.isEmpty() && !readers.contains(entry)) readers << entry;
    }
    readers.sort();
    return readers;
}
