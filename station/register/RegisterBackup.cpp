// A copy of an SQLite register while stations use it. Copying the file alone misses the rows
// still in the write-ahead log and may catch a page half written; SQLite's VACUUM INTO reads
// one snapshot on the register's own connection (a reader: no station waits for it) and
// writes a database of its own.
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTemporaryFile>
#include <cstdio>

#include "station/register/CardRegister.h"
#include "station/register/RegisterConnection.h"

namespace station {

namespace {

// The copy's rows reach the disk before its name does, and its name before success is told.
bool SyncToDisk(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool synced = ::fsync(fd) == 0;
    ::close(fd);
    return synced;
}

// Whether path is the register's file or one of its companions, which a copy renamed over
// would take away from under every station.
bool IsRegisterFile(const QFileInfo& path, const QFileInfo& registerFile) {
    const QString own = registerFile.canonicalFilePath();
    const QString target = path.canonicalFilePath();
    if (own.isEmpty() || target.isEmpty()) return false;
    for (const char* suffix : {"", "-wal", "-shm", "-journal"}) {
        if (target == own + QLatin1String(suffix)) return true;
    }
    return false;
}

}  // namespace

bool CCardRegister::BackupTo(const QString& file, bool replace) {
    if (Away()) return Elsewhere([this](auto&... a) { return BackupTo(a...); }, file, replace);
    if (m_settings.kind != RegisterSettings::Kind::SQLite) {
        m_lastError = QStringLiteral(
            "a PostgreSQL register is backed up on its server with pg_dump, not by a station");
        return false;
    }
    const QFileInfo target(file);
    const QString path = target.absoluteFilePath();
    if (target.exists() || target.isSymLink()) {
        if (!replace) {
            m_lastError = QStringLiteral("%1 exists already").arg(path);
            return false;
        }
        if (IsRegisterFile(target, QFileInfo(RegisterFile(m_settings)))) {
            m_lastError = QStringLiteral("%1 is the register itself").arg(path);
            return false;
        }
    }
    if (!Ready()) return false;

    // Beside the target, made 0600 before a row goes into it (the register lists every valid
    // badge); VACUUM INTO fills an empty file and keeps its mode.
    QTemporaryFile part(target.absolutePath() + QStringLiteral("/.") + target.fileName() +
                        QStringLiteral(".XXXXXX"));
    part.setAutoRemove(false);
    const bool made = part.open();
    const QString partPath = part.fileName();
    const QString notMade = part.errorString();
    part.close();
    auto discard = [&](const QString& reason) {
        if (made) QFile::remove(partPath);
        m_lastError = QStringLiteral("%1 cannot be written: %2").arg(path, reason);
        return false;
    };
    if (!made) return discard(notMade);

    QSqlQuery copy(m_connection->Database());
    copy.prepare(QStringLiteral("VACUUM INTO ?"));
    copy.addBindValue(partPath);
    const bool copied = copy.exec();
    const QString reason = DatabaseWords(copy.lastError());
    copy.finish();
    if (!copied) return discard(reason);
    if (!SyncToDisk(partPath)) return discard(QStringLiteral("its data cannot be synced"));
    // Without replace the name is taken only if it is still free.
    const bool moved = replace ? std::rename(QFile::encodeName(partPath).constData(),
                                             QFile::encodeName(path).constData()) == 0
                               : QFile::rename(partPath, path);
    if (!moved) {
        return discard(QFileInfo::exists(path) && !replace
                           ? QStringLiteral("it was made meanwhile")
                           : QStringLiteral("the copy cannot be renamed to it"));
    }
    SyncToDisk(target.absolutePath());
    return true;
}

}  // namespace station
