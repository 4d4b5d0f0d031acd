#include "station/register/RegisterImport.h"

#include <QFile>
#include <QHash>
#include <QSet>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QVariant>
#include <algorithm>
#include <atomic>
#include <unordered_map>

#include "station/CardFormatTable.h"
#include "station/register/CardLife.h"
#include "station/register/HolderRows.h"
#include "station/register/RegisterConnection.h"
#include "station/register/RegisterRows.h"

namespace station {

namespace {

QString KeyText(const CardKey& key) {
    return key.layout + QLatin1Char('\n') + QString::number(key.value);
}

QString TimeValue(const QDateTime& time) {
    return time.toUTC().toString(Qt::ISODateWithMs);
}

bool Exec(QSqlQuery& query, QString& error) {
    if (query.exec()) return true;
    error = DatabaseWords(query.lastError());
    return false;
}

// The source's row ids renumbered to the rows added; 0 for a row not added.
class RowMap {
  public:
    void Add(std::int64_t source, std::int64_t added) { m_ids.emplace(source, added); }
    std::int64_t operator()(std::int64_t source) const {
        const auto found = m_ids.find(source);
        return found != m_ids.end() ? found->second : 0;
    }
    bool Has(std::int64_t source) const { return m_ids.count(source) != 0; }

  private:
    std::unordered_map<std::int64_t, std::int64_t> m_ids;
};

const QString kIssuedTo = QStringLiteral("issued to");

QString HolderReason(std::int64_t holder) {
    return QStringLiteral("holder %1").arg(static_cast<long long>(holder));
}

// The source's holders as this register's rows, matched by personnel number: a holder the
// register has keeps its row and data; one it has not is added with the source's data.
class HolderMap {
  public:
    explicit HolderMap(const ImportSource& source) {
        for (const Holder& holder : source.holders) m_source.emplace(holder.id, holder);
    }
    // Every holder of the source and every personnel number a row names, in the register.
    bool Match(QSqlDatabase& db, const ImportSource& source,
               const std::vector<const ImportRow*>& added, const Origin& origin,
               std::int64_t& holdersAdded, QString& error) {
        for (const Holder& holder : source.holders)
            if (!Place(db, holder, origin, holdersAdded, error)) return false;
        for (const ImportRow* row : added) {
            if (row->personnelNumber.isEmpty()) continue;
            Holder named;
            named.personnelNumber = row->personnelNumber;
            if (!Place(db, named, origin, holdersAdded, error)) return false;
        }
        return true;
    }
    // The row's holder in this register; 0: nobody.
    std::int64_t Of(const ImportRow& row) const {
        if (!row.personnelNumber.isEmpty()) return ByNumber(row.personnelNumber);
        return OfSource(row.entry.holder);
    }
    std::int64_t OfSource(std::int64_t sourceId) const {
        const auto found = m_source.find(sourceId);
        return found != m_source.end() ? ByNumber(found->second.personnelNumber) : 0;
    }

  private:
    std::int64_t ByNumber(const QString& number) const { return m_target.value(number.trimmed()); }

    bool Place(QSqlDatabase& db, const Holder& holder, const Origin& origin,
               std::int64_t& holdersAdded, QString& error) {
        const QString number = holder.personnelNumber.trimmed();
        if (number.isEmpty() || m_target.contains(number)) return true;
        QSqlQuery find(db);
        find.prepare(QStringLiteral("SELECT id FROM holders WHERE personnel_number = ?"));
        find.addBindValue(number);
        if (!Exec(find, error)) return false;
        if (find.next()) {
            m_target.insert(number, find.value(0).toLongLong());
            return true;
        }
        find.finish();
        Holder added = holder;
        added.id = 0;
        added.personnelNumber = number;
        QSqlError refusal;
        if (!InsertHolder(db, added, origin, refusal)) {
            error = DatabaseWords(refusal);
            return false;
        }
        ++holdersAdded;
        m_target.insert(number, added.id);
        return true;
    }

    std::unordered_map<std::int64_t, Holder> m_source;
    QHash<QString, std::int64_t> m_target;
};

bool InsertRow(QSqlQuery& insert, const RegisterEntry& entry, const CardKey& key,
               std::int64_t holder, std::int64_t& newId, QSqlError& insertError) {
    insert.addBindValue(entry.formatText);
    insert.addBindValue(entry.fields.facility);
    insert.addBindValue(static_cast<qlonglong>(entry.fields.number));
    insert.addBindValue(entry.fields.fixed);
    insert.addBindValue(entry.chipText);
    insert.addBindValue(TextValue(entry.uid));
    insert.addBindValue(entry.locked ? 1 : 0);
    insert.addBindValue(entry.verified ? 1 : 0);
    insert.addBindValue(entry.reissue ? 1 : 0);
    insert.addBindValue(StateText(entry.state));
    insert.addBindValue(TimeValue(entry.time));
    insert.addBindValue(TextValue(entry.station));
    insert.addBindValue(TextValue(entry.operatorName));
    insert.addBindValue(TextValue(entry.programVersion));
    insert.addBindValue(key.layout);
    insert.addBindValue(static_cast<qlonglong>(key.value));
    insert.addBindValue(TextValue(entry.reason));
    insert.addBindValue(static_cast<qlonglong>(holder));
    if (!insert.exec() || !insert.next()) {
        insertError = insert.lastError();
        return false;
    }
    newId = insert.value(0).toLongLong();
    return true;
}

struct NewHistoryEvent {
    std::int64_t cardId;
    const CardKey& key;
    const QString& kind;
    const QDateTime& time;
    const QString& station;
    const QString& operatorName;
    const QString& reason;
    const QString& uid;
};

bool InsertEvent(QSqlQuery& insert, const NewHistoryEvent& event, QString& error) {
    insert.addBindValue(static_cast<qlonglong>(event.cardId));
    insert.addBindValue(event.key.layout);
    insert.addBindValue(static_cast<qlonglong>(event.key.value));
    insert.addBindValue(event.kind);
    insert.addBindValue(TimeValue(event.time));
    insert.addBindValue(TextValue(event.station));
    insert.addBindValue(TextValue(event.operatorName));
    insert.addBindValue(TextValue(event.reason));
    insert.addBindValue(TextValue(event.uid));
    return Exec(insert, error);
}

// The rows' links to rows added with them; a link to a row not added (its card was in the
// register already) is dropped, since that row is not this one's to point at.
bool LinkRows(QSqlDatabase& db, const std::vector<const ImportRow*>& added, const RowMap& ids,
              QString& error) {
    QSqlQuery link(db);
    link.prepare(QStringLiteral("UPDATE cards SET replaces = ?, replaced_by = ? WHERE id = ?"));
    for (const ImportRow* row : added) {
        const std::int64_t replaces = ids(row->entry.replaces);
        const std::int64_t replacedBy = ids(row->entry.replacedBy);
        if (replaces == 0 && replacedBy == 0) continue;
        link.addBindValue(static_cast<qlonglong>(replaces));
        link.addBindValue(static_cast<qlonglong>(replacedBy));
        link.addBindValue(static_cast<qlonglong>(ids(row->entry.id)));
        if (!Exec(link, error)) return false;
    }
    return true;
}

// The source's history of the cards added. An event of a row the source had released (gone
// from it) stays with its card's history under row 0, as no row of this register is its own.
bool AddHistory(QSqlDatabase& db, const ImportSource& source,
                const std::vector<const ImportRow*>& added, const RowMap& ids,
                const HolderMap& holders, const QSet<QString>& addedKeys, QString& error) {
    QSqlQuery insert(db);
    insert.prepare(
        QStringLiteral("INSERT INTO card_events (card_id, layout, card_key, kind, "
                       "time, station, operator, reason, chip_id) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    if (!source.withHistory) {
        const QString reason = QStringLiteral("imported from a CSV file");
        for (const ImportRow* row : added) {
            const RegisterEntry& entry = row->entry;
            const QString kind = entry.state == RegisterEntry::State::Written && entry.verified
                                     ? QStringLiteral("verified")
                                     : StateText(entry.state);
            if (!InsertEvent(insert,
                             {ids(entry.id), row->key, kind, entry.time, entry.station,
                              entry.operatorName, reason, entry.uid},
                             error))
                return false;
            const std::int64_t holder = holders.Of(*row);
            if (holder != 0 &&
                !InsertEvent(insert,
                             {ids(entry.id), row->key, kIssuedTo, entry.time, entry.station,
                              entry.operatorName, HolderReason(holder), QString()},
                             error))
                return false;
        }
        return true;
    }
    std::vector<const ImportEvent*> events;
    for (const ImportEvent& event : source.events) {
        if (ids.Has(event.event.cardId) || addedKeys.contains(KeyText(event.key)))
            events.push_back(&event);
    }
    std::sort(events.begin(), events.end(),
              [](const auto* a, const auto* b) { return a->event.id < b->event.id; });
    for (const ImportEvent* item : events) {
        const RegisterEvent& event = item->event;
        // "holder <row>" names the source's row: the person's row here takes its place.
        QString reason = event.reason;
        if (event.kind == kIssuedTo) {
            const qlonglong sourceHolder = reason.section(QLatin1Char(' '), 1).toLongLong();
            reason = HolderReason(holders.OfSource(sourceHolder));
        }
        if (!InsertEvent(insert,
                         {ids(event.cardId), item->key, event.kind, event.time, event.station,
                          event.operatorName, reason, event.uid},
                         error))
            return false;
    }
    return true;
}

}  // namespace

bool CCardRegister::Import(const ImportSource& source, ImportReport& report) {
    if (Away()) return Elsewhere([this](auto&... a) { return Import(a...); }, source, report);
    // A card is every row of its key; taken whole or not at all.
    std::vector<const ImportRow*> rows;
    rows.reserve(source.rows.size());
    for (const ImportRow& row : source.rows) rows.push_back(&row);
    std::sort(rows.begin(), rows.end(), [](const ImportRow* a, const ImportRow* b) {
        if (a->key.layout != b->key.layout) return a->key.layout < b->key.layout;
        if (a->key.value != b->key.value) return a->key.value < b->key.value;
        return a->entry.id < b->entry.id;
    });

    auto import = [&](QSqlDatabase& db, QString& error) {
        report = {};
        const RegisterDialect dialect = DialectOf(db);
        if (!BeginTransaction(db, dialect, error)) return false;
        // Stations wait until the import is done, so none takes a number between its lookup
        // and its row (SQLite's write lock does this by itself).
        bool ok =
            dialect == RegisterDialect::SQLite ||
            RunStatement(db, QStringLiteral("LOCK TABLE cards IN SHARE ROW EXCLUSIVE MODE"), error);
        std::vector<const ImportRow*> added;
        QSet<QString> addedKeys;
        RowMap ids;
        {
            QSqlQuery held(db);
            held.prepare(
                QStringLiteral("SELECT 1 FROM cards WHERE layout = ? AND card_key = ? LIMIT 1"));
            for (std::size_t first = 0; ok && first < rows.size();) {
                std::size_t end = first + 1;
                while (end < rows.size() && rows[end]->key == rows[first]->key) ++end;
                held.addBindValue(rows[first]->key.layout);
                held.addBindValue(static_cast<qlonglong>(rows[first]->key.value));
                ok = Exec(held, error);
                const bool there = ok && held.next();
                held.finish();
                for (std::size_t i = first; ok && i < end; ++i) {
                    if (there) {
                        report.alreadyThere.push_back(*rows[i]);
                    } else {
                        added.push_back(rows[i]);
                    }
                }
                if (ok && !there) addedKeys.insert(KeyText(rows[first]->key));
                first = end;
            }
        }
        // In the source's order, so the rows keep their order in the register.
        std::sort(added.begin(), added.end(),
                  [](const auto* a, const auto* b) { return a->entry.id < b->entry.id; });
        HolderMap holders(source);
        if (ok) {
            ok = holders.Match(db, source, added, Origin{m_station, m_operator},
                               report.holdersAdded, error);
        }
        {
            QSqlQuery insert(db);
            insert.prepare(QStringLiteral(
                "INSERT INTO cards (format, facility, number, extra, chip, chip_id, locked, "
                "verified, reissue, state, time, station, operator, program_version, layout, "
                "card_key, reason, holder) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, "
                "?, ?, ?) RETURNING id"));
            for (std::size_t i = 0; ok && i < added.size(); ++i) {
                std::int64_t newId = 0;
                QSqlError insertError;
                ok = InsertRow(insert, added[i]->entry, added[i]->key, holders.Of(*added[i]),
                               newId, insertError);
                insert.finish();
                if (!ok) {
                    error = IsUniqueViolation(insertError)
                                ? QStringLiteral("another station recorded %1 meanwhile")
                                      .arg(ImportedCardName(added[i]->entry))
                                : DatabaseWords(insertError);
                }
                if (ok) ids.Add(added[i]->entry.id, newId);
            }
        }
        if (ok) ok = LinkRows(db, added, ids, error);
        if (ok) ok = AddHistory(db, source, added, ids, holders, addedKeys, error);
        if (ok) ok = RunStatement(db, QStringLiteral("COMMIT"), error);
        if (!ok) {
            RollbackTransaction(db);
            report = {};
            return false;
        }
        report.added = static_cast<std::int64_t>(added.size());
        return true;
    };
    return Perform(QStringLiteral("import the cards"), import);
}

QString ImportedCardName(const RegisterEntry& entry) {
    const QString name = IsCardFormat(entry.format)
                             ? CardName(entry.format, entry.fields)
                             : QString::number(static_cast<long long>(entry.fields.number));
    return QStringLiteral("%1 %2").arg(entry.formatText, name);
}

bool IsSqliteFile(const QString& file) {
    QFile in(file);
    return in.open(QIODevice::ReadOnly) && in.read(16) == QByteArray("SQLite format 3", 16);
}

namespace {

QString CopyConnectionName() {
    static std::atomic<unsigned> counter{0};
    return QStringLiteral("orvex-register-import-%1").arg(++counter);
}

// A snapshot of the source (its write-ahead log's rows included) into copy, read on a
// read-only connection: the source's file is never written.
bool CopyRegisterFile(const QString& file, const QString& copy, QString& error) {
    const QString name = CopyConnectionName();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=10000"));
        if (!db.open()) {
            error = DatabaseWords(db.lastError());
        } else {
            QSqlQuery query(db);
            if (!query.exec(QStringLiteral(
                    "SELECT value FROM register_info WHERE key = 'schema_version'")) ||
                !query.next()) {
                error = QStringLiteral("the file is no card register");
            } else {
                query.finish();
                query.prepare(QStringLiteral("VACUUM INTO ?"));
                query.addBindValue(copy);
                ok = Exec(query, error);
            }
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

bool ReadEvents(const QString& copy, std::vector<ImportEvent>& events, QString& error) {
    const QString name = CopyConnectionName();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(copy);
        QSqlQuery query(db);
        query.setForwardOnly(true);
        ok = db.open() &&
             query.exec(QStringLiteral("SELECT id, card_id, layout, card_key, kind, time, "
                                       "station, operator, reason, chip_id FROM card_events"));
        if (!ok) error = DatabaseWords(db.isOpen() ? query.lastError() : db.lastError());
        while (ok && query.next()) {
            ImportEvent item;
            RegisterEvent& event = item.event;
            event.id = query.value(0).toLongLong();
            event.cardId = query.value(1).toLongLong();
            item.key = {query.value(2).toString(), query.value(3).toLongLong()};
            event.kind = query.value(4).toString();
            event.time =
                QDateTime::fromString(query.value(5).toString(), Qt::ISODateWithMs).toUTC();
            event.station = query.value(6).toString();
            event.operatorName = query.value(7).toString();
            event.reason = query.value(8).toString();
            event.uid = query.value(9).toString();
            events.push_back(std::move(item));
        }
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

}  // namespace

bool ReadImportRegisterFile(const QString& file, ImportSource& source, QString& error) {
    source = {};
    if (!QFile::exists(file)) {
        error = QStringLiteral("%1 does not exist").arg(file);
        return false;
    }
    QTemporaryDir folder;
    if (!folder.isValid()) {
        error = QStringLiteral("no private folder for a copy: %1").arg(folder.errorString());
        return false;
    }
    RegisterSettings settings;
    settings.file = folder.filePath(QStringLiteral("source.sqlite"));
    if (!CopyRegisterFile(file, settings.file, error)) return false;
    {
        // The register's own open brings an older copy up to the current schema and refuses
        // a newer one.
        CCardRegister copy(settings, QString());
        std::optional<std::vector<RegisterEntry>> entries = copy.List({});
        if (!entries) {
            error = copy.LastError();
            return false;
        }
        HolderFilter everyone;
        everyone.includeLeft = true;
        std::optional<std::vector<Holder>> holders = copy.Holders(everyone);
        if (!holders) {
            error = copy.LastError();
            return false;
        }
        source.holders = std::move(*holders);
        source.rows.reserve(entries->size());
        for (RegisterEntry& entry : *entries) {
            ImportRow row;
            row.key =
                IsCardFormat(entry.format)
                    ? CardKeyOf(entry.format, entry.fields)
                    : ForeignCardKey(entry.formatText, entry.fields.facility, entry.fields.number);
            row.entry = std::move(entry);
            source.rows.push_back(std::move(row));
        }
    }
    source.withHistory = true;
    std::vector<ImportProblem> problems;
    CheckImportRows(source.rows, problems);
    if (!problems.empty()) {
        QStringList texts;
        for (const ImportProblem& problem : problems) texts << problem.text;
        error = QStringLiteral("the register holds cards no register may hold: %1")
                    .arg(texts.join(QStringLiteral("; ")));
        return false;
    }
    return ReadEvents(settings.file, source.events, error);
}

}  // namespace station
