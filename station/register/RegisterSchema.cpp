#include "station/register/RegisterSchema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

#include "station/register/RegisterMigration.h"
#include "station/register/RegisterRules.h"

namespace station {

QString DatabaseWords(const QSqlError& error) {
    // One line: the client library's messages run over several, for a status line.
    const QString text = error.databaseText().simplified();
    return text.isEmpty() ? error.driverText().simplified() : text;
}

QVariant TextValue(const QString& text) {
    return text.isNull() ? QVariant(QString(QLatin1String(""))) : QVariant(text);
}

bool RunStatement(QSqlDatabase& db, const QString& statement, QString& error) {
    QSqlQuery query(db);
    if (query.exec(statement)) return true;
    error = DatabaseWords(query.lastError());
    return false;
}

bool BeginTransaction(QSqlDatabase& db, RegisterDialect dialect, QString& error) {
    return RunStatement(db,
                        dialect == RegisterDialect::SQLite ? QStringLiteral("BEGIN IMMEDIATE")
                                                           : QStringLiteral("BEGIN"),
                        error);
}

void RollbackTransaction(QSqlDatabase& db) {
    QString ignored;
    RunStatement(db, QStringLiteral("ROLLBACK"), ignored);
}

RegisterDialect DialectOf(const QSqlDatabase& db) {
    return db.driverName() == QLatin1String("QPSQL") ? RegisterDialect::PostgreSQL
                                                     : RegisterDialect::SQLite;
}

QString NowExpression(RegisterDialect dialect) {
    return dialect == RegisterDialect::SQLite
               ? QStringLiteral("strftime('%Y-%m-%dT%H:%M:%fZ', 'now')")
               : QStringLiteral(
                     "to_char(now() AT TIME ZONE 'UTC', 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')");
}

QString IdColumn(RegisterDialect dialect) {
    return dialect == RegisterDialect::SQLite
               ? QStringLiteral("id INTEGER PRIMARY KEY AUTOINCREMENT")
               : QStringLiteral("id BIGSERIAL PRIMARY KEY");
}

QStringList Version2CardColumns() {
    return {
        QStringLiteral("layout TEXT NOT NULL DEFAULT ''"),
        QStringLiteral("card_key BIGINT NOT NULL DEFAULT 0"),
        QStringLiteral("reason TEXT NOT NULL DEFAULT ''"),
        QStringLiteral("replaces BIGINT NOT NULL DEFAULT 0"),
        QStringLiteral("replaced_by BIGINT NOT NULL DEFAULT 0"),
    };
}

QStringList Version2Statements(RegisterDialect dialect) {
    QStringList statements = {
        // The database itself refuses a second card with one number, also from a station
        // that raced past the duplicate lookup, and a second re-issue of one card.
        QStringLiteral("CREATE UNIQUE INDEX cards_issued ON cards (layout, card_key) "
                       "WHERE reissue = 0"),
        QStringLiteral("CREATE UNIQUE INDEX cards_replaces ON cards (replaces) "
                       "WHERE replaces <> 0"),
        QStringLiteral("CREATE INDEX cards_card ON cards (layout, card_key)"),
        QStringLiteral("CREATE INDEX cards_chip ON cards (chip_id)"),
        // Appended only: a card's history is never rewritten.
        QStringLiteral("CREATE TABLE card_events (%1, card_id BIGINT NOT NULL, "
                       "layout TEXT NOT NULL, card_key BIGINT NOT NULL, kind TEXT NOT NULL, "
                       "time TEXT NOT NULL, station TEXT NOT NULL DEFAULT '', "
                       "operator TEXT NOT NULL DEFAULT '', reason TEXT NOT NULL DEFAULT '', "
                       "chip_id TEXT NOT NULL DEFAULT '')")
            .arg(IdColumn(dialect)),
        QStringLiteral("CREATE INDEX card_events_card ON card_events (layout, card_key)"),
        QStringLiteral("CREATE INDEX card_events_row ON card_events (card_id)"),
    };
    return statements + ScaleIndexes(QString());
}

QStringList ScaleIndexes(const QString& ifNotExists) {
    return {
        // Newest first, a page at a time, without sorting the table.
        QStringLiteral("CREATE INDEX %1cards_newest ON cards (time, id)").arg(ifNotExists),
        // A search by number alone, any format.
        QStringLiteral("CREATE INDEX %1cards_number ON cards (number)").arg(ifNotExists),
        // The numbers a release made free again, for next free number.
        QStringLiteral("CREATE INDEX %1card_events_freed ON card_events (layout, card_key) "
                       "WHERE kind IN ('released', 'resolved')")
            .arg(ifNotExists),
    };
}

QString Version3CardColumn() {
    return QStringLiteral("holder BIGINT NOT NULL DEFAULT 0");
}

QStringList Version3Statements(RegisterDialect dialect) {
    return {
        // left_since '' while the holder is still here; changed, station and operator say who
        // changed the holder last.
        QStringLiteral("CREATE TABLE holders (%1, personnel_number TEXT NOT NULL UNIQUE, "
                       "name TEXT NOT NULL DEFAULT '', department TEXT NOT NULL DEFAULT '', "
                       "notes TEXT NOT NULL DEFAULT '', left_since TEXT NOT NULL DEFAULT '', "
                       "changed TEXT NOT NULL, station TEXT NOT NULL DEFAULT '', "
                       "operator TEXT NOT NULL DEFAULT '')")
            .arg(IdColumn(dialect)),
        QStringLiteral("CREATE INDEX holders_department ON holders (department)"),
        // A holder's cards, and whether a holder has a valid one, without a scan.
        QStringLiteral("CREATE INDEX cards_holder ON cards (holder)"),
    };
}

namespace {

QString EventTable(const QString& name, RegisterDialect dialect) {
    return QStringLiteral(
               "CREATE TABLE %1 (%2, card_id BIGINT NOT NULL, layout TEXT NOT NULL, "
               "card_key BIGINT NOT NULL, kind TEXT NOT NULL, "
               "time TEXT NOT NULL DEFAULT (%3), station TEXT NOT NULL DEFAULT '', "
               "operator TEXT NOT NULL DEFAULT '', reason TEXT NOT NULL DEFAULT '', "
               "chip_id TEXT NOT NULL DEFAULT '', request TEXT NOT NULL DEFAULT '', "
               "db_role TEXT NOT NULL DEFAULT '')")
        .arg(name, IdColumn(dialect), NowExpression(dialect));
}

}  // namespace

QStringList Version4EventStatements(RegisterDialect dialect) {
    QStringList statements;
    if (dialect == RegisterDialect::SQLite) {
        const QString columns = QStringLiteral(
            "id, card_id, layout, card_key, kind, time, station, operator, reason, chip_id");
        statements = {
            EventTable(QStringLiteral("card_events_4"), dialect),
            QStringLiteral("INSERT INTO card_events_4 (%1) SELECT %1 FROM card_events ORDER BY id")
                .arg(columns),
            QStringLiteral("DROP TABLE card_events"),
            QStringLiteral("ALTER TABLE card_events_4 RENAME TO card_events"),
            QStringLiteral("CREATE INDEX card_events_card ON card_events (layout, card_key)"),
            QStringLiteral("CREATE INDEX card_events_row ON card_events (card_id)"),
        };
        for (const QString& index : ScaleIndexes(QString()))
            if (index.contains(QLatin1String("card_events"))) statements << index;
    } else {
        statements = {
            QStringLiteral("ALTER TABLE card_events ADD COLUMN request TEXT NOT NULL DEFAULT ''"),
            QStringLiteral("ALTER TABLE card_events ADD COLUMN db_role TEXT NOT NULL DEFAULT ''"),
            QStringLiteral("ALTER TABLE card_events ALTER COLUMN time SET DEFAULT %1")
                .arg(NowExpression(dialect)),
        };
    }
    // A retried change looks its request up.
    statements << QStringLiteral(
        "CREATE INDEX card_events_request ON card_events (request) WHERE request <> ''");
    return statements;
}

QStringList Version4Statements(RegisterDialect) {
    return {
        // One valid card per number, whatever made it: a re-issue replaces the earlier card
        // before it becomes valid itself. (cards_issued still refuses a second first issue,
        // so that stations racing for a new number stay refused while both only reserve it.)
        QStringLiteral("CREATE UNIQUE INDEX cards_valid ON cards (layout, card_key) "
                       "WHERE state IN ('written', 'unverified')"),
        // Kept apart from register_info, so that a station may move a mark but not the
        // schema version.
        QStringLiteral("CREATE TABLE next_free_marks (layout TEXT NOT NULL, "
                       "first_key BIGINT NOT NULL, held_to BIGINT NOT NULL, "
                       "PRIMARY KEY (layout, first_key))"),
    };
}

namespace {

// The tables of the current schema.
QStringList CreateStatements(RegisterDialect dialect) {
    QStringList statements = {
        QStringLiteral("CREATE TABLE register_info (key TEXT PRIMARY KEY, value TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE cards (%1, format TEXT NOT NULL, facility INTEGER NOT NULL, "
                       "number BIGINT NOT NULL, extra INTEGER NOT NULL DEFAULT 0, "
                       "chip TEXT NOT NULL, chip_id TEXT NOT NULL DEFAULT '', "
                       "locked INTEGER NOT NULL DEFAULT 0, verified INTEGER NOT NULL DEFAULT 0, "
                       "reissue INTEGER NOT NULL DEFAULT 0, state TEXT NOT NULL, "
                       "time TEXT NOT NULL, station TEXT NOT NULL DEFAULT '', "
                       "operator TEXT NOT NULL DEFAULT '', "
                       "program_version TEXT NOT NULL DEFAULT '', %2, %3)")
            .arg(IdColumn(dialect), Version2CardColumns().join(QStringLiteral(", ")),
                 Version3CardColumn()),
        QStringLiteral("CREATE INDEX cards_time ON cards (time)"),
    };
    statements += Version2Statements(dialect);
    statements += Version3Statements(dialect);
    statements += Version4EventStatements(dialect);
    statements += Version4Statements(dialect);
    statements += RuleStatements(dialect);
    statements << QStringLiteral(
                      "INSERT INTO register_info (key, value) VALUES ('schema_version', '%1')")
                      .arg(kRegisterSchemaVersion);
    return statements;
}

struct Found {
    bool registerInfo = false;
    bool cards = false;
    bool otherTables = false;
};

bool FindTables(QSqlDatabase& db, RegisterDialect dialect, Found& found, QString& error) {
    QSqlQuery query(db);
    const QString statement = dialect == RegisterDialect::SQLite
                                  ? QStringLiteral(
                                        "SELECT name FROM sqlite_master WHERE type = 'table' "
                                        "AND name NOT LIKE 'sqlite_%'")
                                  : QStringLiteral(
                                        "SELECT table_name FROM information_schema.tables "
                                        "WHERE table_schema = current_schema()");
    if (!query.exec(statement)) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    while (query.next()) {
        const QString name = query.value(0).toString();
        if (name == QLatin1String("register_info")) {
            found.registerInfo = true;
        } else if (name == QLatin1String("cards")) {
            found.cards = true;
        } else {
            found.otherTables = true;
        }
    }
    return true;
}

// The stored schema version, or 0 when register_info has none.
bool ReadVersion(QSqlDatabase& db, int& version, QString& error) {
    QSqlQuery query(db);
    if (!query.exec(
            QStringLiteral("SELECT value FROM register_info WHERE key = 'schema_version'"))) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    version = 0;
    if (query.next()) {
        bool ok = false;
        version = query.value(0).toString().toInt(&ok);
        if (!ok) version = 0;
    }
    return true;
}

// Whether the database is a register, one to create, or something else; nothing is written.
bool CheckExisting(QSqlDatabase& db, RegisterDialect dialect, const Found& found, int& version,
                   QString& error) {
    version = 0;
    // A PostgreSQL database may hold other applications' tables beside the register; an
    // SQLite file with tables of its own is another program's file.
    const bool foreign =
        (found.cards && !found.registerInfo) ||
        (dialect == RegisterDialect::SQLite && found.otherTables && !found.registerInfo);
    if (foreign) {
        error = QStringLiteral("the database is no card register (it holds other tables)");
        return false;
    }
    if (!found.registerInfo) return true;
    if (!ReadVersion(db, version, error)) return false;
    if (version <= 0) {
        error = QStringLiteral("the database is no card register (no schema version)");
        return false;
    }
    if (version > kRegisterSchemaVersion) {
        error = QStringLiteral(
                    "the register has schema version %1, written by a newer program; "
                    "this program knows version %2 and leaves it untouched")
                    .arg(version)
                    .arg(kRegisterSchemaVersion);
        return false;
    }
    return true;
}

// Registers made before the scale indexes existed gain them on their first open; looked up
// first, so that a role that may not create indexes opens a register that has them.
bool AddMissingIndexes(QSqlDatabase& db, RegisterDialect dialect, QString& error) {
    QSqlQuery query(db);
    const QString names = QStringLiteral("('cards_newest', 'cards_number', 'card_events_freed')");
    const QString statement =
        dialect == RegisterDialect::SQLite
            ? QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'index' AND name IN ")
            : QStringLiteral(
                  "SELECT COUNT(*) FROM pg_indexes WHERE schemaname = "
                  "current_schema() AND indexname IN ");
    if (!query.exec(statement + names) || !query.next()) {
        error = DatabaseWords(query.lastError());
        return false;
    }
    if (query.value(0).toInt() == ScaleIndexes(QString()).size()) return true;
    query.finish();
    for (const QString& create : ScaleIndexes(QStringLiteral("IF NOT EXISTS "))) {
        if (!RunStatement(db, create, error)) return false;
    }
    return true;
}

}  // namespace

bool PrepareRegisterSchema(QSqlDatabase& db, RegisterDialect dialect, QString& error) {
    Found found;
    int version = 0;
    if (!FindTables(db, dialect, found, error)) return false;
    if (!CheckExisting(db, dialect, found, version, error)) return false;

    if (dialect == RegisterDialect::SQLite) {
        QSqlQuery wal(db);
        if (!wal.exec(QStringLiteral("PRAGMA journal_mode=WAL"))) {
            error = DatabaseWords(wal.lastError());
            return false;
        }
        if (!RunStatement(db, QStringLiteral("PRAGMA synchronous=FULL"), error)) return false;
    }
    if (version == kRegisterSchemaVersion) return AddMissingIndexes(db, dialect, error);

    // Created or migrated in one transaction; two stations starting on a new register at once
    // wait for each other (SQLite's write lock, PostgreSQL's advisory lock) and the second
    // finds the tables made.
    if (!BeginTransaction(db, dialect, error)) return false;
    bool ok = dialect == RegisterDialect::SQLite ||
              RunStatement(db, QStringLiteral("SELECT pg_advisory_xact_lock(4711170001)"), error);
    Found now;
    if (ok)
        ok = FindTables(db, dialect, now, error) && CheckExisting(db, dialect, now, version, error);
    if (ok && version == 0) {
        for (const QString& statement : CreateStatements(dialect)) {
            if (!(ok = RunStatement(db, statement, error))) break;
        }
    } else if (ok && version < kRegisterSchemaVersion) {
        ok = MigrateRegister(db, dialect, version, error);
    }
    if (ok) ok = RunStatement(db, QStringLiteral("COMMIT"), error);
    if (!ok) RollbackTransaction(db);
    return ok;
}

}  // namespace station
