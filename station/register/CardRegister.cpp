#include "station/register/CardRegister.h"

#include <QSqlDatabase>
#include <QStandardPaths>
#include <QSysInfo>
#include <algorithm>

#include "station/CardFormatTable.h"
#include "station/register/CardLife.h"
#include "station/register/HolderRows.h"
#include "station/register/RegisterConnection.h"
#include "station/register/RegisterEvents.h"
#include "station/register/RegisterRows.h"
#include "station/register/RegisterThread.h"
#include "station/register/RegisterTls.h"

namespace station {

namespace {

// Stations racing for numbers retry after losing one; bounded, so that a register that keeps
// refusing ends the series instead of holding it.
constexpr int kRaceAttempts = 50;

// A card for a holder: the holder must exist, and a series over people refuses a holder who
// has a card already by the time this transaction holds the holder's row. A refusal ends the
// transaction.
std::optional<ReserveResult> RefusedForHolder(QSqlDatabase& db, const CardRecord& card,
                                              QString& error) {
    if (card.holder == 0) return std::nullopt;
    bool hasCard = false;
    if (!ClaimHolder(db, card.holder, hasCard, error)) {
        RollbackTransaction(db);
        return ReserveResult::Failed;
    }
    if (!hasCard || !card.holderMustBeWithoutCard) return std::nullopt;
    RollbackTransaction(db);
    return ReserveResult::HolderHasCard;
}

}  // namespace

QString DefaultRegisterFile() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/Qor Applikationen/Orvex-FSK/register.sqlite");
}

QString RegisterFile(const RegisterSettings& settings) {
    return settings.file.isEmpty() ? DefaultRegisterFile() : settings.file;
}

RegisterSettings RegisterSettingsFrom(const SettingText& value) {
    RegisterSettings settings;
    auto refuse = [&](const QString& key, const QString& text, const QString& allowed) {
        if (!settings.unreadable.isEmpty()) settings.unreadable += QStringLiteral("; ");
        settings.unreadable +=
            QStringLiteral("the setting %1=%2 is not one of %3").arg(key, text, allowed);
    };
    auto flag = [&](const QString& key, bool& target) {
        const QString text =
            value(key, target ? QStringLiteral("1") : QStringLiteral("0")).trimmed();
        if (text == QLatin1String("1")) {
            target = true;
        } else if (text == QLatin1String("0")) {
            target = false;
        } else {
            refuse(key, text, QStringLiteral("0, 1"));
        }
    };
    flag(QStringLiteral("Enabled"), settings.enabled);
    flag(QStringLiteral("NextFree"), settings.nextFree);
    const QString kind = value(QStringLiteral("Database"), QStringLiteral("SQLite")).trimmed();
    if (kind.compare(QLatin1String("PostgreSQL"), Qt::CaseInsensitive) == 0) {
        settings.kind = RegisterSettings::Kind::PostgreSQL;
    } else if (kind.compare(QLatin1String("SQLite"), Qt::CaseInsensitive) == 0) {
        settings.kind = RegisterSettings::Kind::SQLite;
    } else {
        refuse(QStringLiteral("Database"), kind, QStringLiteral("SQLite, PostgreSQL"));
    }
    settings.file = value(QStringLiteral("File"), settings.file);
    const QString host = value(QStringLiteral("Host"), settings.host).trimmed();
    if (!host.isEmpty()) settings.host = host;
    bool ok = false;
    const int port =
        value(QStringLiteral("Port"), QString::number(settings.port)).trimmed().toInt(&ok);
    if (ok && port > 0 && port <= 65535) settings.port = port;
    const QString name = value(QStringLiteral("Name"), settings.database).trimmed();
    if (!name.isEmpty()) settings.database = name;
    settings.user = value(QStringLiteral("User"), settings.user).trimmed();
    const QString sslMode = value(QStringLiteral("SslMode"), settings.sslMode).trimmed();
    settings.sslMode = SslModeFrom(sslMode);
    if (!sslMode.isEmpty() && settings.sslMode.isEmpty())
        refuse(QStringLiteral("SslMode"), sslMode, SslModes().join(QStringLiteral(", ")));
    settings.sslRootCert = value(QStringLiteral("SslRootCert"), settings.sslRootCert).trimmed();
    if (const QString problem = SslRootCertProblem(settings.sslRootCert); !problem.isEmpty()) {
        if (!settings.unreadable.isEmpty()) settings.unreadable += QStringLiteral("; ");
        settings.unreadable += problem;
    }
    return settings;
}

CCardRegister::CCardRegister(RegisterSettings settings, QString programVersion)
    : m_settings(std::move(settings)),
      m_programVersion(std::move(programVersion)),
      m_station(QSysInfo::machineHostName()),
      m_operator(LoginName()),
      m_connection(std::make_unique<Connection>(m_settings)) {}

CCardRegister::~CCardRegister() {
    // The connection belongs to the calls' thread, and goes there; a stuck call never
    // reaches here (RegisterDeleter), so this waits at most one call's timeout. The job owns
    // the connection, never this register: if closing it does not return in time, it goes on
    // after the members are gone, and the thread closes it once it is free.
    if (!Away()) return;
    auto connection = std::make_shared<std::unique_ptr<Connection>>(std::move(m_connection));
    auto close = [connection] { connection->reset(); };
    if (m_calls->Run(close, false) != CRegisterThread::Outcome::Done) m_calls->Finally(close);
}

void RegisterDeleter::operator()(CCardRegister* cardRegister) const {
    if (cardRegister->m_calls != nullptr && cardRegister->m_calls->Stuck()) {
        cardRegister->m_calls->Finally([cardRegister] { delete cardRegister; });
        return;
    }
    delete cardRegister;
}

void CCardRegister::RunCallsOnThread(std::chrono::milliseconds timeout,
                                     std::function<void()> pump) {
    m_callerError = m_lastError;
    m_callerWarning = m_connection->Warning();
    m_callerOpen = m_connection->IsOpen();
    // A connection of this thread is not usable there; the thread makes its own.
    m_connection->Close();
    m_calls = std::make_unique<CRegisterThread>(timeout, std::move(pump));
}

bool CCardRegister::Away() const {
    return m_calls != nullptr && !m_calls->OnThread();
}

bool CCardRegister::RunElsewhere(std::function<void()> call) {
    struct Reply {
        QString error;
        QString warning;
        bool open = false;
    };
    auto reply = std::make_shared<Reply>();
    const CRegisterThread::Outcome outcome = m_calls->Run([this, call = std::move(call), reply] {
        call();
        reply->error = m_lastError;
        reply->warning = m_connection->Warning();
        reply->open = m_connection->IsOpen();
    });
    if (outcome == CRegisterThread::Outcome::Done) {
        m_callerError = reply->error;
        m_callerWarning = reply->warning;
        m_callerOpen = reply->open;
        return true;
    }
    // The place is read from the settings, which the abandoned call does not change.
    const auto seconds = QString::number(
        std::chrono::duration_cast<std::chrono::milliseconds>(m_calls->Timeout()).count() / 1000.0,
        'g', 3);
    m_callerError = outcome == CRegisterThread::Outcome::TimedOut
                        ? QStringLiteral("The card register %1 did not answer within %2 s")
                              .arg(m_connection->Place(), seconds)
                        : QStringLiteral(
                              "The card register %1 has not answered an earlier call within "
                              "%2 s and is still waiting for it")
                              .arg(m_connection->Place(), seconds);
    m_callerOpen = false;
    return false;
}

bool CCardRegister::Open() {
    if (Away()) return Elsewhere([this] { return Open(); });
    return Ready();
}

bool CCardRegister::IsOpen() const {
    return Away() ? m_callerOpen : m_connection->IsOpen();
}

QString CCardRegister::LastError() const {
    return Away() ? m_callerError : m_lastError;
}

QString CCardRegister::LastWarning() const {
    return Away() ? m_callerWarning : m_connection->Warning();
}

bool CCardRegister::Ready() {
    QString error;
    if (m_connection->Open(error)) return true;
    m_lastError =
        QStringLiteral("Cannot open the card register %1: %2").arg(m_connection->Place(), error);
    return false;
}

bool CCardRegister::Fail(const QString& operation, const QString& reason) {
    m_lastError = QStringLiteral("Cannot %1 in the card register %2: %3")
                      .arg(operation, m_connection->Place(), reason);
    m_connection->Close();
    return false;
}

ReserveResult CCardRegister::Failed(const QString& operation, const QString& reason) {
    Fail(operation, reason);
    return ReserveResult::Failed;
}

bool CCardRegister::Perform(const QString& operation,
                            const std::function<bool(QSqlDatabase&, QString&)>& statements,
                            bool retried) {
    const bool wasOpen = m_connection->IsOpen();
    if (!Ready()) return false;
    QString error;
    QSqlDatabase db = m_connection->Database();
    if (statements(db, error)) return true;
    if (wasOpen || retried) {
        // The server may have gone and come back since the last call (a restart between two
        // cards): its first statement failed without effect, so once more on a new connection.
        // A change that may have committed before its connection was lost finds its request.
        m_connection->Close();
        if (!Ready()) return false;
        db = m_connection->Database();
        error.clear();
        if (statements(db, error)) return true;
    }
    return Fail(operation, error);
}

QString CCardRegister::Where() const {
    if (m_settings.kind == RegisterSettings::Kind::SQLite)
        return QStringLiteral("file ") + RegisterFile(m_settings);
    return QStringLiteral("PostgreSQL %1@%2:%3/%4")
        .arg(m_settings.user.isEmpty() ? LoginName() : m_settings.user, m_settings.host)
        .arg(m_settings.port)
        .arg(m_settings.database);
}

std::optional<RegisterEntry> CCardRegister::FindIssued(int format, const CardFields& fields) {
    if (Away()) return Elsewhere([this](auto&... a) { return FindIssued(a...); }, format, fields);
    std::optional<RegisterEntry> found;
    Perform(QStringLiteral("look the number up"), [&](QSqlDatabase& db, QString& error) {
        return LookUpIssued(db, CardKeyOf(format, fields), found, error);
    });
    return found;
}

std::optional<std::int64_t> CCardRegister::CommittedRequest() {
    m_connection->Close();
    if (m_request.isEmpty() || !Ready()) return std::nullopt;
    QSqlDatabase db = m_connection->Database();
    std::optional<std::int64_t> rowId;
    QString error;
    if (!FindRequest(db, m_request, rowId, error)) return std::nullopt;
    return rowId;
}

ReserveResult CCardRegister::Race(
    const QString& operation, const QString& lostText, std::int64_t& rowId,
    const std::function<std::optional<ReserveResult>(QSqlDatabase&, QString&)>& attempt) {
    const RegisterDialect dialect = m_connection->Dialect();
    auto begin = [&](QSqlDatabase& db, QString& error) {
        return BeginTransaction(db, dialect, error);
    };
    if (!Perform(operation, begin)) return ReserveResult::Failed;
    m_request = NewRequestId();
    struct Done {
        QString& request;
        ~Done() { request.clear(); }
    } done{m_request};
    QSqlDatabase db = m_connection->Database();
    for (int round = 0; round < kRaceAttempts; ++round) {
        QString error;
        if (round > 0 && !BeginTransaction(db, dialect, error)) return Failed(operation, error);
        const std::optional<ReserveResult> result = attempt(db, error);
        if (!result) continue;
        if (*result != ReserveResult::Failed) return *result;
        // The COMMIT may have gone through with its reply lost: the reservation is then made.
        if (const std::optional<std::int64_t> committed = CommittedRequest()) {
            rowId = *committed;
            return ReserveResult::Reserved;
        }
        return Failed(operation, error);
    }
    return Failed(operation, lostText);
}

ReserveResult CCardRegister::Reserve(const CardRecord& card, bool locked, std::int64_t& rowId,
                                     std::optional<RegisterEntry>& earlier) {
    if (Away())
        return Elsewhere([this](auto&... a) { return Reserve(a...); }, card, locked, rowId,
                         earlier);
    rowId = 0;
    earlier.reset();
    const CardKey key = CardKeyOf(card.format, card.fields);
    const NewRow row{card, locked, 0, QString(), m_programVersion};
    // The card's rows in any state hold its number; the valid one is named, else the newest.
    auto lookUp = [&](QSqlDatabase& db, QString& error) {
        std::vector<RegisterEntry> rows;
        if (!SelectCard(db, key, rows, error)) return false;
        if (!rows.empty()) earlier = rows.front();
        return true;
    };
    auto attempt = [&](QSqlDatabase& db, QString& error) -> std::optional<ReserveResult> {
        if (const auto refused = RefusedForHolder(db, card, error)) return refused;
        if (!lookUp(db, error)) {
            RollbackTransaction(db);
            return ReserveResult::Failed;
        }
        if (earlier) {
            RollbackTransaction(db);
            return ReserveResult::Duplicate;
        }
        const Insertion insertion =
            InsertAndCommit(db, row, Origin{m_station, m_operator, m_request}, rowId, error);
        if (insertion == Insertion::Committed) return ReserveResult::Reserved;
        if (insertion == Insertion::Failed) return ReserveResult::Failed;
        // Another station took the number after the lookup: it won, this one reports it.
        if (!lookUp(db, error)) return ReserveResult::Failed;
        if (earlier) return ReserveResult::Duplicate;
        // The winner released its reservation meanwhile; try again.
        return std::nullopt;
    };
    return Race(QStringLiteral("reserve the number"),
                QStringLiteral("other stations kept taking the number"), rowId, attempt);
}

ReserveResult CCardRegister::ReserveReissue(const CardRecord& card, bool locked,
                                            std::int64_t replaces, const QString& reason,
                                            std::int64_t& rowId,
                                            std::optional<RegisterEntry>& earlier) {
    if (Away())
        return Elsewhere([this](auto&... a) { return ReserveReissue(a...); }, card, locked,
                         replaces, reason, rowId, earlier);
    rowId = 0;
    earlier.reset();
    const CardKey key = CardKeyOf(card.format, card.fields);
    const NewRow row{card, locked, replaces, reason, m_programVersion};
    auto attempt = [&](QSqlDatabase& db, QString& error) -> std::optional<ReserveResult> {
        if (const auto refused = RefusedForHolder(db, card, error)) return refused;
        std::vector<RegisterEntry> rows;
        const bool read = SelectCard(db, key, rows, error);
        auto end = [&](ReserveResult result) {
            RollbackTransaction(db);
            return result;
        };
        if (!read) return end(ReserveResult::Failed);
        if (rows.empty()) {
            error = QStringLiteral("%1 is not in the register; a re-issue replaces a card it holds")
                        .arg(CardName(card.format, card.fields));
            return end(ReserveResult::Failed);
        }
        const RegisterEntry& newest = *std::max_element(
            rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.id < b.id; });
        // Another station is writing the number now: its chip would carry the same card.
        if (newest.state == RegisterEntry::State::Reserved) {
            earlier = newest;
            return end(ReserveResult::InProgress);
        }
        // The valid card is replaced, else the newest (a revoked or replaced card).
        earlier = IsValid(rows.front()) ? rows.front() : newest;
        if (earlier->id != replaces) return end(ReserveResult::Duplicate);
        const QString refused = RefusedChange(*earlier, CardChange::Reissue);
        if (!refused.isEmpty()) {
            error = refused;
            return end(ReserveResult::Failed);
        }
        const Insertion insertion =
            InsertAndCommit(db, row, Origin{m_station, m_operator, m_request}, rowId, error);
        if (insertion == Insertion::Committed) return ReserveResult::Reserved;
        if (insertion == Insertion::Failed) return ReserveResult::Failed;
        // Another station re-issued the card at the same moment: look again.
        return std::nullopt;
    };
    return Race(QStringLiteral("reserve the re-issue"),
                QStringLiteral("other stations kept re-issuing the card"), rowId, attempt);
}

ReserveResult CCardRegister::ReserveNextFree(CardRecord& card, bool locked, std::int64_t start,
                                             std::int64_t limit, std::int64_t& rowId) {
    if (Away())
        return Elsewhere([this](auto&... a) { return ReserveNextFree(a...); }, card, locked, start,
                         limit, rowId);
    rowId = 0;
    if (limit < start) return Ready() ? ReserveResult::Exhausted : ReserveResult::Failed;
    std::optional<CardRecord> tried;
    auto attempt = [&](QSqlDatabase& db, QString& error) -> std::optional<ReserveResult> {
        if (const auto refused = RefusedForHolder(db, card, error)) return refused;
        std::optional<std::int64_t> free;
        if (!FindFreeNumber(db, card.format, card.fields, start, limit, free, error)) {
            RollbackTransaction(db);
            return ReserveResult::Failed;
        }
        if (!free) {
            RollbackTransaction(db);
            return ReserveResult::Exhausted;
        }
        tried = card;
        tried->fields.number = *free;
        tried->customer = QString::number(static_cast<long long>(*free));
        const NewRow row{*tried, locked, 0, QString(), m_programVersion};
        const Insertion insertion =
            InsertAndCommit(db, row, Origin{m_station, m_operator, m_request}, rowId, error);
        if (insertion == Insertion::Committed) return ReserveResult::Reserved;
        if (insertion == Insertion::Failed) return ReserveResult::Failed;
        // Another station took the same free number at the same moment: look again.
        return std::nullopt;
    };
    const ReserveResult result =
        Race(QStringLiteral("reserve the next free number"),
             QStringLiteral("other stations kept taking the free numbers"), rowId, attempt);
    // The number last tried is the one reserved, also when its COMMIT reply was lost.
    if (result == ReserveResult::Reserved && tried) card = *tried;
    return result;
}

std::optional<std::vector<RegisterEntry>> CCardRegister::List(const RegisterFilter& filter) {
    if (Away()) return Elsewhere([this](auto&... a) { return List(a...); }, filter);
    std::vector<RegisterEntry> entries;
    const bool read =
        Perform(QStringLiteral("read the cards"), [&](QSqlDatabase& db, QString& error) {
            entries.clear();
            return SelectEntries(db, filter, entries, error);
        });
    if (!read) return std::nullopt;
    return entries;
}

std::optional<std::int64_t> CCardRegister::Count(RegisterFilter filter) {
    if (Away()) return Elsewhere([this](auto&... a) { return Count(a...); }, filter);
    filter.after.reset();
    std::int64_t count = 0;
    const bool read = Perform(
        QStringLiteral("count the cards"),
        [&](QSqlDatabase& db, QString& error) { return CountEntries(db, filter, count, error); });
    if (!read) return std::nullopt;
    return count;
}

bool CCardRegister::FindValidByUid(const QString& uid, std::optional<RegisterEntry>& valid) {
    if (Away()) return Elsewhere([this](auto&... a) { return FindValidByUid(a...); }, uid, valid);
    valid.reset();
    if (uid.isEmpty()) return true;
    return Perform(QStringLiteral("look the chip up"), [&](QSqlDatabase& db, QString& error) {
        return LookUpValidByUid(db, uid, valid, error);
    });
}

std::optional<std::vector<RegisterEntry>> CCardRegister::FindCard(int format,
                                                                  const CardFields& fields) {
    if (Away()) return Elsewhere([this](auto&... a) { return FindCard(a...); }, format, fields);
    std::vector<RegisterEntry> entries;
    if (!IsCardFormat(format)) return entries;
    const bool read =
        Perform(QStringLiteral("look the card up"), [&](QSqlDatabase& db, QString& error) {
            return SelectCard(db, CardKeyOf(format, fields), entries, error);
        });
    if (!read) return std::nullopt;
    return entries;
}

std::optional<std::vector<RegisterEvent>> CCardRegister::History(int format,
                                                                 const CardFields& fields) {
    if (Away()) return Elsewhere([this](auto&... a) { return History(a...); }, format, fields);
    std::vector<RegisterEvent> events;
    if (!IsCardFormat(format)) return events;
    const bool read =
        Perform(QStringLiteral("read the history"), [&](QSqlDatabase& db, QString& error) {
            return SelectEvents(db, CardKeyOf(format, fields), events, error);
        });
    if (!read) return std::nullopt;
    return events;
}

std::optional<std::vector<RegisterEvent>> CCardRegister::History(std::int64_t rowId) {
    if (Away()) return Elsewhere([this](auto&... a) { return History(a...); }, rowId);
    std::vector<RegisterEvent> events;
    const bool read = Perform(
        QStringLiteral("read the history"),
        [&](QSqlDatabase& db, QString& error) { return SelectEvents(db, rowId, events, error); });
    if (!read) return std::nullopt;
    return events;
}

}  // namespace station
