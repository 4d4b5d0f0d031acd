#include "station/register/RegisterFileModes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFileInfo>
#include <QStringList>
#include <cerrno>
#include <cstring>

namespace station {

namespace {

QString ErrnoText() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

QString ShellQuoted(const QString& path) {
    QString quoted = path;
    quoted.replace(QLatin1Char('\''), QLatin1String("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString ModeText(mode_t mode) {
    return QStringLiteral("%1").arg(mode & 07777, 4, 8, QLatin1Char('0'));
}

}  // namespace

bool MakePrivateFolder(const QString& folder, QString& error) {
    const QString path = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    if (QFileInfo(path).isDir()) return true;
    const QString parent = QFileInfo(path).path();
    if (parent != path && !MakePrivateFolder(parent, error)) return false;
    // A folder made meanwhile by another station is fine; its mode is checked with the file.
    if (::mkdir(QFile::encodeName(path).constData(), 0700) != 0 && errno != EEXIST) {
        error = QStringLiteral("the folder %1 cannot be created: %2").arg(path, ErrnoText());
        return false;
    }
    return true;
}

bool CreatePrivateFile(const QString& file, QString& error) {
    // An existing register in a folder the user may not write to opens as before.
    struct stat info {};
    if (::lstat(QFile::encodeName(file).constData(), &info) == 0) return true;
    const int fd = ::open(QFile::encodeName(file).constData(),
                          O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd >= 0) {
        ::close(fd);
        return true;
    }
    if (errno == EEXIST) return true;
    error = QStringLiteral("the file %1 cannot be created: %2").arg(file, ErrnoText());
    return false;
}

QString ExposedRegisterWarning(const QString& file) {
    QStringList exposed;
    QStringList files;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        const QString path = file + QLatin1String(suffix);
        struct stat info {};
        if (::stat(QFile::encodeName(path).constData(), &info) != 0) continue;
        if ((info.st_mode & 077) == 0) continue;
        exposed << QStringLiteral("%1 (mode %2)").arg(path, ModeText(info.st_mode));
        files << ShellQuoted(path);
    }
    QStringList commands;
    if (!files.isEmpty()) commands << QStringLiteral("chmod 600 ") + files.join(QLatin1Char(' '));
    // A folder such as /tmp belongs to someone else and is shared on purpose; only the
    // user's own folder is theirs to close.
    const QString folder = QFileInfo(file).absolutePath();
    struct stat info {};
    if (::stat(QFile::encodeName(folder).constData(), &info) == 0 && info.st_uid == ::geteuid() &&
        (info.st_mode & 077) != 0) {
        exposed << QStringLiteral("the folder %1 (mode %2)").arg(folder, ModeText(info.st_mode));
        commands << QStringLiteral("chmod 700 ") + ShellQuoted(folder);
    }
    if (exposed.isEmpty()) return {};
    return QStringLiteral(
               "other accounts can read or change the card register, whose numbers clone badges: "
               "%1; make it private with: %2")
        .arg(exposed.join(QLatin1String(", ")), commands.join(QLatin1String(" && ")));
}

}  // namespace station
