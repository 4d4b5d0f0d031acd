#include "station/register/RegisterConnection.h"

#include <pwd.h>
#include <unistd.h>

#include <QFileInfo>
#include <QThread>
#include <atomic>

#include "station/register/RegisterFileModes.h"
#include "station/register/RegisterTls.h"

namespace station {

namespace {

QString NewConnectionName() {
    static std::atomic<unsigned> counter{0};
    return QStringLiteral("orvex-card-register-%1").arg(++counter);
}

}  // namespace

QString LoginName() {
    if (const passwd* entry = getpwuid(geteuid()); entry != nullptr && entry->pw_name != nullptr) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
    return qEnvironmentVariable("USER");
}

bool IsUniqueViolation(const QSqlError& error) {
    const QString code = error.nativeErrorCode();
    // PostgreSQL's SQLSTATE; SQLite's extended and primary constraint codes.
    return code == QLatin1String("23505") || code == QLatin1String("2067") ||
           code == QLatin1String("1555") ||
           error.databaseText().contains(QLatin1String("UNIQUE constraint failed"));
}

CCardRegister::Connection::Connection(const RegisterSettings& settings)
    : m_settings(settings),
      m_dialect(settings.kind == RegisterSettings::Kind::PostgreSQL ? RegisterDialect::PostgreSQL
                                                                    : RegisterDialect::SQLite) {}

CCardRegister::Connection::~Connection() {
    Remove();
}

QSqlDatabase CCardRegister::Connection::Database() const {
    return QSqlDatabase::database(m_name, false);
}

QString CCardRegister::Connection::Place() const {
    if (m_dialect == RegisterDialect::SQLite) {
        return RegisterFile(m_settings);
    }
    return QStringLiteral("%1:%2/%3")
        .arg(m_settings.host)
        .arg(m_settings.port)
        .arg(m_settings.database);
}

void CCardRegister::Connection::Close() {
    m_ready = false;
    // Another thread's connection cannot be touched here; removing it drops it.
    if (m_name.isEmpty() || m_thread != QThread::currentThreadId()) return;
    QSqlDatabase db = QSqlDatabase::database(m_name, false);
    if (db.isOpen()) db.close();
}

void CCardRegister::Connection::Remove() {
    Close();
    if (m_name.isEmpty()) return;
    QSqlDatabase::removeDatabase(m_name);
    m_name.clear();
}

bool CCardRegister::Connection::Open(QString& error) {
    // A connection made on another thread cannot be used here; make one of this thread's.
    if (m_ready && m_thread == QThread::currentThreadId()) {
        if (Database().isOpen()) return true;
    }
    Remove();
    if (!m_settings.unreadable.isEmpty()) {
        error = m_settings.unreadable;
        return false;
    }
    if (!Connect(error)) {
        Close();
        return false;
    }
    m_ready = true;
    return true;
}

bool CCardRegister::Connection::Connect(QString& error) {
    const bool sqlite = m_dialect == RegisterDialect::SQLite;
    const QString file = Place();
    m_warning.clear();
    // Made private before SQLite opens it: its companions take the database file's mode.
    if (sqlite && (!MakePrivateFolder(QFileInfo(file).absolutePath(), error) ||
                   !CreatePrivateFile(file, error))) {
        return false;
    }
    m_name = NewConnectionName();
    m_thread = QThread::currentThreadId();
    QSqlDatabase db = QSqlDatabase::addDatabase(
        sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), m_name);
    if (!db.isValid()) {
        error = sqlite ? QStringLiteral("the Qt SQLite driver is missing (libqt6sql6-sqlite)")
                       : QStringLiteral("the Qt PostgreSQL driver is missing (libqt6sql6-psql)");
        return false;
    }
    if (sqlite) {
        db.setDatabaseName(file);
        // Another station process on the same file waits for the write lock, not fails.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    } else {
        db.setHostName(m_settings.host);
        db.setPort(m_settings.port);
        db.setDatabaseName(m_settings.database);
        db.setUserName(m_settings.user.isEmpty() ? LoginName() : m_settings.user);
        // No password: the client library takes it from PGPASSWORD or the .pgpass file. A
        // server that is gone must not hold the station for long.
        // A connection whose server went silent (a network lost) fails within seconds too.
        QString options = QStringLiteral(
            "connect_timeout=3;application_name=orvex-fsk;keepalives=1;keepalives_idle=5;"
            "keepalives_interval=2;keepalives_count=3;tcp_user_timeout=10000");
        if (const QString tls = TlsConnectOptions(m_settings); !tls.isEmpty())
            options += u';' + tls;
        db.setConnectOptions(options);
    }
    if (!db.open()) {
        error = DatabaseWords(db.lastError());
        return false;
    }
    if (!PrepareRegisterSchema(db, m_dialect, error)) return false;
    if (sqlite) {
        // A file opened read-only would fail only at the first card; say so now.
        if (!BeginTransaction(db, m_dialect, error) ||
            !RunStatement(db,
                          QStringLiteral("UPDATE register_info SET value = value "
                                         "WHERE key = 'schema_version'"),
                          error)) {
            RollbackTransaction(db);
            return false;
        }
        if (!RunStatement(db, QStringLiteral("ROLLBACK"), error)) return false;
        // After the first statements, so that the write-ahead log and its index exist.
        m_warning = ExposedRegisterWarning(file);
    }
    return true;
}

}  // namespace station
