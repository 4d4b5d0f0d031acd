#include "station/register/CardRegister.h"

#include <QSqlDatabase>
#include <QStandardPaths>
#include <QSysInfo>

#include "station/register/RegisterConnection.h"
#include "station/register/RegisterRows.h"

namespace station {

namespace {

// Stations racing for numbers retry after losing one; bounded, so that a register that keeps
// refusing ends the series instead of holding it.
constexpr int kRaceAttempts = 50;

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
    return settings;
}

CCardRegister::CCardRegister(RegisterSettings settings, QString programVersion)
    : m_settings(std::move(settings)),
      m_programVersion(std::move(programVersion)),
      m_station(QSysInfo::machineHostName()),
      m_operator(LoginName()),
      m_connection(std::make_unique<Connection>(m_settings)) {}

CCardRegister::~CCardRegister() = default;

bool CCardRegister::Open() {
    return Ready();
}

bool CCardRegister::IsOpen() const {
    return m_connection->IsOpen();
}

QString CCardRegister::LastError() const {
    return m_lastError;
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
                            const std::function<bool(QSqlDatabase&, QString&)>& statements) {
    const bool wasOpen = m_connection->IsOpen();
    if (!Ready()) return false;
    QString error;
    QSqlDatabase db = m_connection->Database();
    if (statements(db, error)) return true;
    if (wasOpen) {
        // The server may have gone and come back since the last call (a restart between two
        // cards): its first statement failed without effect, so once more on a new connection.
        m_connection->Close();
        if (!Ready()) return false;
        db = m_connection->Database();
        error.clear();
        if (statements(db, error)) return true;
    }
    return Fail(operation, error);
}

std::optional<RegisterEntry> CCardRegister::FindIssued(int format, const CardFields& fields) {
    std::optional<RegisterEntry> found;
    Perform(QStringLiteral("look the number up"), [&](QSqlDatabase& db, QString& error) {
        return LookUpIssued(db, format, fields, found, error);
    });
    return found;
}

ReserveResult CCardRegister::Race(
    const QString& operation, const QString& lostText,
    const std::function<std::optional<ReserveResult>(QSqlDatabase&, QString&)>& attempt) {
    const RegisterDialect dialect = m_connection->Dialect();
    auto begin = [&](QSqlDatabase& db, QString& error) {
        return BeginTransaction(db, dialect, error);
    };
    if (!Perform(operation, begin)) return ReserveResult::Failed;
    QSqlDatabase db = m_connection->Database();
    for (int round = 0; round < kRaceAttempts; ++round) {
        QString error;
        if (round > 0 && !BeginTransaction(db, dialect, error)) return Failed(operation, error);
        const std::optional<ReserveResult> result = attempt(db, error);
        if (!result) continue;
        if (*result == ReserveResult::Failed) return Failed(operation, error);
        return *result;
    }
    return Failed(operation, lostText);
}

ReserveResult CCardRegister::Reserve(const CardRecord& card, bool locked, std::int64_t& rowId,
                                     std::optional<RegisterEntry>& earlier) {
    return ReserveRow(card, locked, false, rowId, earlier);
}

ReserveResult CCardRegister::ReserveReissue(const CardRecord& card, bool locked, std::int64_t,
                                            const QString&, std::int64_t& rowId,
                                            std::optional<RegisterEntry>& earlier) {
    return ReserveRow(card, locked, true, rowId, earlier);
}

ReserveResult CCardRegister::ReserveRow(const CardRecord& card, bool locked, bool reissue,
                                        std::int64_t& rowId,
                                        std::optional<RegisterEntry>& earlier) {
    rowId = 0;
    earlier.reset();
    const NewRow row{card, locked, reissue, m_station, m_operator, m_programVersion};
    auto attempt = [&](QSqlDatabase& db, QString& error) -> std::optional<ReserveResult> {
        if (!reissue) {
            if (!LookUpIssued(db, card.format, card.fields, earlier, error)) {
                RollbackTransaction(db);
                return ReserveResult::Failed;
            }
            if (earlier) {
                RollbackTransaction(db);
                return ReserveResult::Duplicate;
            }
        }
        const Insertion insertion = InsertAndCommit(db, row, rowId, error);
        if (insertion == Insertion::Committed) return ReserveResult::Reserved;
        if (insertion == Insertion::Failed) return ReserveResult::Failed;
        // Another station took the number after the lookup: it won, this one reports it.
        if (!LookUpIssued(db, card.format, card.fields, earlier, error)) {
            return ReserveResult::Failed;
        }
        if (earlier) return ReserveResult::Duplicate;
        // The winner released its reservation meanwhile; try again.
        return std::nullopt;
    };
    return Race(QStringLiteral("reserve the number"),
                QStringLiteral("other stations kept taking the number"), attempt);
}

ReserveResult CCardRegister::ReserveNextFree(CardRecord& card, bool locked, std::int64_t start,
                                             std::int64_t limit, std::int64_t& rowId) {
    rowId = 0;
    if (limit < start) return Ready() ? ReserveResult::Exhausted : ReserveResult::Failed;
    const int facility = IndexedFacility(card.format, card.fields);
    auto attempt = [&](QSqlDatabase& db, QString& error) -> std::optional<ReserveResult> {
        std::optional<std::int64_t> free;
        if (!FindFreeNumber(db, card.format, facility, start, limit, free, error)) {
            RollbackTransaction(db);
            return ReserveResult::Failed;
        }
        if (!free) {
            RollbackTransaction(db);
            return ReserveResult::Exhausted;
        }
        CardRecord candidate = card;
        candidate.fields.number = *free;
        candidate.customer = QString::number(static_cast<long long>(*free));
        const NewRow row{candidate, locked, false, m_station, m_operator, m_programVersion};
        const Insertion insertion = InsertAndCommit(db, row, rowId, error);
        if (insertion == Insertion::Committed) {
            card = candidate;
            return ReserveResult::Reserved;
        }
        if (insertion == Insertion::Failed) return ReserveResult::Failed;
        // Another station took the same free number at the same moment: look again.
        return std::nullopt;
    };
    return Race(QStringLiteral("reserve the next free number"),
                QStringLiteral("other stations kept taking the free numbers"), attempt);
}

// Confirm and Release may run twice (see Perform): setting a row written twice, or deleting a
// reservation that is gone, changes nothing.
bool CCardRegister::Confirm(std::int64_t rowId, bool verified, const QString& uid) {
    return Perform(QStringLiteral("confirm the card"), [&](QSqlDatabase& db, QString& error) {
        return ConfirmRow(db, rowId, RegisterEntry::State::Written, uid, error, verified);
    });
}

bool CCardRegister::HoldUnverified(std::int64_t rowId, const QString& uid) {
    return Perform(QStringLiteral("hold the unverified card"), [&](QSqlDatabase& db, QString& error) {
        return ConfirmRow(db, rowId, RegisterEntry::State::Unverified, uid, error);
    });
}

bool CCardRegister::Release(std::int64_t rowId) {
    return Perform(
        QStringLiteral("release the reservation"),
        [&](QSqlDatabase& db, QString& error) { return DeleteReservation(db, rowId, error); });
}

std::optional<std::vector<RegisterEntry>> CCardRegister::List(const RegisterFilter& filter) {
    std::vector<RegisterEntry> entries;
    const bool read =
        Perform(QStringLiteral("read the cards"), [&](QSqlDatabase& db, QString& error) {
            entries.clear();
            return SelectEntries(db, filter, entries, error);
        });
    if (!read) return std::nullopt;
    return entries;
}

namespace {

const QString kNotYet = QStringLiteral("not yet");

}  // namespace

QString CCardRegister::Where() const {
    return m_connection->Place();
}

bool CCardRegister::FindValidByUid(const QString&, std::optional<RegisterEntry>& valid) {
    valid.reset();
    m_lastError = kNotYet;
    return false;
}

std::optional<std::vector<RegisterEntry>> CCardRegister::FindCard(int, const CardFields&) {
    m_lastError = kNotYet;
    return std::nullopt;
}

bool CCardRegister::MarkReplaced(std::int64_t, std::int64_t, const QString&) {
    m_lastError = kNotYet;
    return false;
}

bool CCardRegister::Revoke(std::int64_t, RevokeReason) {
    m_lastError = kNotYet;
    return false;
}

bool CCardRegister::ResolveConfirmed(std::int64_t, const QString&) {
    m_lastError = kNotYet;
    return false;
}

bool CCardRegister::ResolveReleased(std::int64_t) {
    m_lastError = kNotYet;
    return false;
}

bool CCardRegister::ResolveDestroyed(std::int64_t) {
    m_lastError = kNotYet;
    return false;
}

std::optional<std::vector<RegisterEvent>> CCardRegister::History(int, const CardFields&) {
    m_lastError = kNotYet;
    return std::nullopt;
}

std::optional<std::vector<RegisterEvent>> CCardRegister::History(std::int64_t) {
    m_lastError = kNotYet;
    return std::nullopt;
}

QString RevokeReasonText(RevokeReason reason) {
    switch (reason) {
        case RevokeReason::Lost:
            return QStringLiteral("lost");
        case RevokeReason::Stolen:
            return QStringLiteral("stolen");
        case RevokeReason::Returned:
            return QStringLiteral("returned");
        case RevokeReason::Destroyed:
            break;
    }
    return QStringLiteral("destroyed");
}

std::optional<RevokeReason> RevokeReasonFromText(const QString& text) {
    for (const auto reason : {RevokeReason::Lost, RevokeReason::Stolen, RevokeReason::Returned,
                              RevokeReason::Destroyed})
        if (text.trimmed().compare(RevokeReasonText(reason), Qt::CaseInsensitive) == 0)
            return reason;
    return std::nullopt;
}

QString RefusedChange(const RegisterEntry&, CardChange) {
    return kNotYet;
}

QString StateText(RegisterEntry::State state) {
    switch (state) {
        case RegisterEntry::State::Written:
            return QStringLiteral("written");
        case RegisterEntry::State::Unverified:
            return QStringLiteral("unverified");
        case RegisterEntry::State::Replaced:
            return QStringLiteral("replaced");
        case RegisterEntry::State::Revoked:
            return QStringLiteral("revoked");
        case RegisterEntry::State::Reserved:
            break;
    }
    return QStringLiteral("reserved");
}

RegisterEntry::State StateFromText(const QString& text) {
    for (const auto state : {RegisterEntry::State::Written, RegisterEntry::State::Unverified,
                             RegisterEntry::State::Replaced, RegisterEntry::State::Revoked})
        if (text == StateText(state)) return state;
    return RegisterEntry::State::Reserved;
}

}  // namespace station
