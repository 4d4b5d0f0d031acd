#include "station/doctor/RegisterChecks.h"

#include <sys/stat.h>

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <atomic>

#include "station/register/RegisterConnection.h"
#include "station/register/RegisterFileModes.h"
#include "station/register/RegisterSchema.h"
#include "station/register/RegisterTls.h"

namespace station {

namespace {

constexpr char kCheck[] = "register";
constexpr char kUpdate[] = "sudo apt install --only-upgrade orvex-fsk-programmer";

DoctorLine Line(Verdict verdict, std::string subject, std::string finding, std::string fix = {}) {
    return {kCheck, verdict, std::move(subject), std::move(finding), std::move(fix)};
}

std::string Text(const QString& text) {
    return text.toStdString();
}

// A connection of its own, removed when the check is done.
class ScratchConnection {
  public:
    explicit ScratchConnection(const QString& driver) {
        static std::atomic<unsigned> counter{0};
        m_name = QStringLiteral("orvex-doctor-%1").arg(++counter);
        m_db = QSqlDatabase::addDatabase(driver, m_name);
    }
    ~ScratchConnection() {
        if (m_db.isOpen()) m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    ScratchConnection(const ScratchConnection&) = delete;
    ScratchConnection& operator=(const ScratchConnection&) = delete;
    QSqlDatabase& Db() { return m_db; }

  private:
    QString m_name;
    QSqlDatabase m_db;
};

// The stored schema version; 0 without the table (nothing made yet), -1 for a table without
// the version (not a card register).
int SchemaVersion(QSqlDatabase& db) {
    const QStringList tables = db.tables();
    if (!tables.contains(QStringLiteral("register_info"))) return tables.isEmpty() ? 0 : -1;
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT value FROM register_info WHERE key = 'schema_version'")) ||
        !query.next())
        return -1;
    bool number = false;
    const int version = query.value(0).toString().toInt(&number);
    return number ? version : -1;
}

DoctorLine SchemaLine(const std::string& subject, int version) {
    const std::string current = std::to_string(kRegisterSchemaVersion);
    if (version == 0) return Line(Verdict::Ok, subject, "schema: no tables yet; made at the first card");
    if (version < 0)
        return Line(Verdict::Problem, subject, "schema: this database is not a card register",
                    "name the register's own file or database in the settings ([Register])");
    if (version > kRegisterSchemaVersion)
        return Line(Verdict::Problem, subject,
                    "schema version " + std::to_string(version) + " is newer than this program's " +
                        current + ": a newer station wrote it",
                    kUpdate);
    if (version < kRegisterSchemaVersion)
        return Line(Verdict::Ok, subject,
                    "schema version " + std::to_string(version) + "; brought up to " + current +
                        " when the station next opens it");
    return Line(Verdict::Ok, subject, "schema version " + current);
}

DoctorLines CheckFile(const RegisterSettings& settings) {
    const QString file = RegisterFile(settings);
    const std::string subject = "register " + Text(file);
    if (!QFileInfo::exists(file))
        return {Line(Verdict::Ok, subject, "not made yet; made at the first card")};
    DoctorLines lines;
    struct stat info {};
    const bool stated = ::stat(QFile::encodeName(file).constData(), &info) == 0;
    ScratchConnection connection(QStringLiteral("QSQLITE"));
    if (!connection.Db().isValid())
        return {Line(Verdict::Problem, subject, "the Qt SQLite driver is missing",
                     "sudo apt install libqt6sql6-sqlite")};
    connection.Db().setDatabaseName(file);
    connection.Db().setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
    if (!connection.Db().open())
        return {Line(Verdict::Problem, subject,
                     "cannot be opened: " + Text(DatabaseWords(connection.Db().lastError())),
                     "name a readable register file in [Register] File (lfprog register where)")};
    if (stated && info.st_uid == geteuid() && (info.st_mode & 0200) == 0)
        lines.push_back(Line(Verdict::Problem, subject, "the file is read-only: no card can be recorded",
                             "chmod 600 '" + Text(file) + "'"));
    else
        lines.push_back(Line(Verdict::Ok, subject, "opens"));
    lines.push_back(SchemaLine(subject, SchemaVersion(connection.Db())));
    const QString warning = ExposedRegisterWarning(file);
    const QString marker = QStringLiteral("; make it private with: ");
    if (const qsizetype at = warning.indexOf(marker); at >= 0)
        lines.push_back(Line(Verdict::Problem, subject, "file modes: " + Text(warning.left(at)),
                             Text(warning.mid(at + marker.size()))));
    else
        lines.push_back(Line(Verdict::Ok, subject, "file modes: only its owner may read it"));
    return lines;
}

DoctorLines CheckServer(const RegisterSettings& settings) {
    const std::string subject = "register " + Text(settings.host) + ":" +
                                std::to_string(settings.port) + "/" + Text(settings.database);
    ScratchConnection connection(QStringLiteral("QPSQL"));
    QSqlDatabase& db = connection.Db();
    if (!db.isValid())
        return {Line(Verdict::Problem, subject, "the Qt PostgreSQL driver is missing",
                     "sudo apt install libqt6sql6-psql")};
    db.setHostName(settings.host);
    db.setPort(settings.port);
    db.setDatabaseName(settings.database);
    db.setUserName(settings.user.isEmpty() ? LoginName() : settings.user);
    QString options = QStringLiteral("connect_timeout=3;application_name=orvex-fsk-doctor");
    if (const QString tls = TlsConnectOptions(settings); !tls.isEmpty()) options += u';' + tls;
    db.setConnectOptions(options);
    if (!db.open())
        return {Line(Verdict::Problem, subject,
                     "cannot be reached: " + Text(DatabaseWords(db.lastError())),
                     "check [Register] Host, Port, Name and User, the server, and ~/.pgpass")};
    DoctorLines lines{Line(Verdict::Ok, subject, "reachable")};
    QSqlQuery query(db);
    const bool encrypted =
        query.exec(QStringLiteral("SELECT ssl FROM pg_stat_ssl WHERE pid = pg_backend_pid()")) &&
        query.next() && query.value(0).toBool();
    const std::string mode = settings.sslMode.isEmpty() ? "the client's default" : Text(settings.sslMode);
    if (encrypted)
        lines.push_back(Line(Verdict::Ok, subject, "TLS: on (sslmode " + mode + ")"));
    else if (settings.sslMode == QLatin1String("disable"))
        lines.push_back(Line(Verdict::Ok, subject, "TLS: off, as set (sslmode disable)"));
    else
        lines.push_back(Line(Verdict::Problem, subject,
                             "TLS: off (sslmode " + mode + "): the card numbers cross the network in clear",
                             "set [Register] SslMode=verify-full and SslRootCert=FILE, with TLS "
                             "switched on at the server"));
    lines.push_back(SchemaLine(subject, SchemaVersion(db)));
    return lines;
}

}  // namespace

DoctorLines CheckRegister(const RegisterSettings& settings) {
    if (!settings.enabled) return {Line(Verdict::Ok, "register", "switched off")};
    if (!settings.unreadable.isEmpty())
        return {Line(Verdict::Problem, "register", "the settings do not read: " + Text(settings.unreadable),
                     "correct the section [Register] of the station's settings")};
    return settings.kind == RegisterSettings::Kind::SQLite ? CheckFile(settings) : CheckServer(settings);
}

}  // namespace station
