// What every register keeps to, run against an SQLite file and a PostgreSQL server: each case
// on a new, empty register.
#include <gtest/gtest.h>

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <functional>
#include <set>
#include <thread>

#include "RegisterDatabases.h"
#include "station/register/RegisterConnection.h"

using namespace station;
using registertest::Card;
using registertest::RegisterDatabases;

namespace {

const QString kVersion = QStringLiteral("9.8.7");

using Case = std::function<void(RegisterDatabases&, const RegisterSettings&)>;

std::vector<RegisterEntry> All(CCardRegister& cardRegister) {
    auto entries = cardRegister.List({});
    EXPECT_TRUE(entries) << cardRegister.LastError().toStdString();
    return entries.value_or(std::vector<RegisterEntry>{});
}

std::int64_t ReserveOk(CCardRegister& cardRegister, const CardRecord& card, bool reissue = false) {
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    const ReserveResult result =
        reissue ? cardRegister.ReserveReissue(card, false, 0, QString(), rowId, earlier)
                : cardRegister.Reserve(card, false, rowId, earlier);
    EXPECT_EQ(result, ReserveResult::Reserved)
        << cardRegister.LastError().toStdString();
    return rowId;
}

void SchemaAndVersion(RegisterDatabases& databases, const RegisterSettings& settings) {
    {
        CCardRegister cardRegister(settings, kVersion);
        ASSERT_TRUE(cardRegister.Open()) << cardRegister.LastError().toStdString();
        EXPECT_TRUE(cardRegister.IsOpen());
        ReserveOk(cardRegister, Card(1));
    }
    // A second opening finds the register as it was, not a new one.
    CCardRegister again(settings, kVersion);
    ASSERT_TRUE(again.Open()) << again.LastError().toStdString();
    EXPECT_EQ(All(again).size(), 1u);
    QSqlQuery query(databases.Raw(settings));
    ASSERT_TRUE(query.exec("SELECT value FROM register_info WHERE key = 'schema_version'"));
    ASSERT_TRUE(query.next());
    EXPECT_EQ(query.value(0).toString(), QStringLiteral("1"));
    if (settings.kind == RegisterSettings::Kind::SQLite) {
        ASSERT_TRUE(query.exec("PRAGMA journal_mode"));
        ASSERT_TRUE(query.next());
        EXPECT_EQ(query.value(0).toString(), QStringLiteral("wal"));
    }
}

void ReserveConfirmRelease(RegisterDatabases&, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    CardRecord card = Card(4711);
    card.fields.fixed = 0;
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    ASSERT_EQ(cardRegister.Reserve(card, true, rowId, earlier), ReserveResult::Reserved)
        << cardRegister.LastError().toStdString();
    auto rows = All(cardRegister);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].id, rowId);
    EXPECT_EQ(rows[0].state, RegisterEntry::State::Reserved);
    EXPECT_EQ(rows[0].format, 0);
    EXPECT_EQ(rows[0].chipType, 9);
    EXPECT_EQ(rows[0].fields, card.fields);
    EXPECT_TRUE(rows[0].locked);
    EXPECT_FALSE(rows[0].verified);
    EXPECT_FALSE(rows[0].station.isEmpty());
    EXPECT_FALSE(rows[0].operatorName.isEmpty());
    EXPECT_EQ(rows[0].programVersion, kVersion);
    EXPECT_LE(std::abs(rows[0].time.secsTo(QDateTime::currentDateTimeUtc())), 60);

    ASSERT_TRUE(cardRegister.Confirm(rowId, true, QStringLiteral("E0A1B2C3")))
        << cardRegister.LastError().toStdString();
    rows = All(cardRegister);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].state, RegisterEntry::State::Written);
    EXPECT_TRUE(rows[0].verified);
    EXPECT_EQ(rows[0].uid, QStringLiteral("E0A1B2C3"));

    // A failed card's reservation goes; a written card stays whatever a release asks.
    const std::int64_t failed = ReserveOk(cardRegister, Card(4712));
    ASSERT_TRUE(cardRegister.Release(failed));
    ASSERT_TRUE(cardRegister.Release(rowId));
    rows = All(cardRegister);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].id, rowId);
    EXPECT_FALSE(cardRegister.Confirm(failed, true, {}));
    EXPECT_FALSE(cardRegister.LastError().isEmpty());
    // The released number is free again.
    ReserveOk(cardRegister, Card(4712));
}

void DuplicateGuard(RegisterDatabases&, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    const std::int64_t first = ReserveOk(cardRegister, Card(100));
    ASSERT_TRUE(cardRegister.Confirm(first, true, QStringLiteral("CAFE0001")));
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    ASSERT_EQ(cardRegister.Reserve(Card(100), false, rowId, earlier),
              ReserveResult::Duplicate);
    ASSERT_TRUE(earlier);
    EXPECT_EQ(earlier->id, first);
    EXPECT_EQ(earlier->uid, QStringLiteral("CAFE0001"));
    EXPECT_TRUE(earlier->time.isValid());
    // A reservation not yet confirmed holds its number as well.
    const std::int64_t pending = ReserveOk(cardRegister, Card(101));
    ASSERT_EQ(cardRegister.Reserve(Card(101), false, rowId, earlier),
              ReserveResult::Duplicate);
    EXPECT_EQ(earlier->id, pending);
    // The same number with another facility code or format is another card.
    ReserveOk(cardRegister, Card(100, 13));
    CardRecord otherFormat = Card(100, 0);
    otherFormat.format = 1;
    ReserveOk(cardRegister, otherFormat);
    EXPECT_EQ(cardRegister.FindIssued(0, Card(100).fields)->id, first);
    EXPECT_FALSE(cardRegister.FindIssued(0, Card(102).fields));
}

void Reissue(RegisterDatabases&, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    const std::int64_t first = ReserveOk(cardRegister, Card(7));
    ASSERT_TRUE(cardRegister.Confirm(first, true, QStringLiteral("01")));
    const std::int64_t replacement = ReserveOk(cardRegister, Card(7), true);
    ASSERT_TRUE(cardRegister.Confirm(replacement, true, QStringLiteral("02")));
    const auto rows = All(cardRegister);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(std::count_if(rows.begin(), rows.end(), [](const auto& row) { return row.reissue; }),
              1);
    // The guard still names the original card.
    EXPECT_EQ(cardRegister.FindIssued(0, Card(7).fields)->id, first);
}

// Each thread with its own register (connection), as two stations on one database.
void RacingStations(RegisterDatabases& databases, const RegisterSettings& settings) {
    // The index alone refuses a second card with the number, the guard bypassed.
    {
        CCardRegister cardRegister(settings, kVersion);
        ReserveOk(cardRegister, Card(1));
        QSqlQuery raw(databases.Raw(settings));
        const QString insert = QStringLiteral(
            "INSERT INTO cards (format, facility, number, chip, state, time, reissue) "
            "VALUES ('26', 12, 1, 'ata5577', 'written', '2026-01-01T00:00:00.000Z', %1)");
        EXPECT_FALSE(raw.exec(insert.arg(0)));
        // Recognised as the index's refusal, which a racing station reports as a duplicate.
        EXPECT_TRUE(IsUniqueViolation(raw.lastError())) << raw.lastError().text().toStdString();
        EXPECT_TRUE(raw.exec(insert.arg(1))) << raw.lastError().text().toStdString();
    }
    constexpr int kNumbers = 25;
    std::vector<std::int64_t> reserved[2];
    std::vector<std::int64_t> nextFree[2];
    int others[2] = {0, 0};
    auto station = [&](int index) {
        CCardRegister cardRegister(settings, kVersion);
        for (int number = 100; number < 100 + kNumbers; ++number) {
            std::int64_t rowId = 0;
            std::optional<RegisterEntry> earlier;
            const auto result = cardRegister.Reserve(Card(number), false, rowId, earlier);
            if (result == ReserveResult::Reserved) {
                reserved[index].push_back(number);
            } else if (result != ReserveResult::Duplicate || !earlier) {
                ++others[index];
            }
        }
        for (int i = 0; i < kNumbers; ++i) {
            CardRecord card = Card(0);
            std::int64_t rowId = 0;
            if (cardRegister.ReserveNextFree(card, false, 1000, 100000, rowId) ==
                ReserveResult::Reserved) {
                nextFree[index].push_back(card.fields.number);
            } else {
                ++others[index];
            }
        }
    };
    std::thread a(station, 0);
    std::thread b(station, 1);
    a.join();
    b.join();
    EXPECT_EQ(others[0] + others[1], 0);
    std::multiset<std::int64_t> guarded(reserved[0].begin(), reserved[0].end());
    guarded.insert(reserved[1].begin(), reserved[1].end());
    std::multiset<std::int64_t> expected;
    for (int number = 100; number < 100 + kNumbers; ++number) expected.insert(number);
    EXPECT_EQ(guarded, expected);
    // The next free numbers interleave without gaps or doubles.
    std::multiset<std::int64_t> taken(nextFree[0].begin(), nextFree[0].end());
    taken.insert(nextFree[1].begin(), nextFree[1].end());
    expected.clear();
    for (int number = 1000; number < 1000 + 2 * kNumbers; ++number) expected.insert(number);
    EXPECT_EQ(taken, expected);
}

void NextFreeNumber(RegisterDatabases&, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    auto next = [&](std::int64_t& rowId) {
        CardRecord card = Card(0);
        const auto result = cardRegister.ReserveNextFree(card, false, 10, 14, rowId);
        EXPECT_NE(result, ReserveResult::Failed) << cardRegister.LastError().toStdString();
        if (result == ReserveResult::Reserved) {
            EXPECT_EQ(card.customer, QString::number(static_cast<long long>(card.fields.number)));
        }
        return result == ReserveResult::Reserved ? card.fields.number : -1;
    };
    std::int64_t rows[5] = {};
    // A number issued by a single write below the end is skipped.
    ReserveOk(cardRegister, Card(12));
    // A re-issue does not hold a number.
    ReserveOk(cardRegister, Card(13), true);
    EXPECT_EQ(next(rows[0]), 10);
    EXPECT_EQ(next(rows[1]), 11);
    EXPECT_EQ(next(rows[2]), 13);
    // A released number is filled again before the series goes on.
    ASSERT_TRUE(cardRegister.Release(rows[1]));
    EXPECT_EQ(next(rows[1]), 11);
    EXPECT_EQ(next(rows[3]), 14);
    EXPECT_EQ(next(rows[4]), -1);
    CardRecord card = Card(0);
    std::int64_t rowId = 0;
    EXPECT_EQ(cardRegister.ReserveNextFree(card, false, 10, 14, rowId), ReserveResult::Exhausted);
    // Another facility code has its own numbers.
    card.fields.facility = 99;
    ASSERT_EQ(cardRegister.ReserveNextFree(card, false, 10, 14, rowId), ReserveResult::Reserved);
    EXPECT_EQ(card.fields.number, 10);
}

void ListFilter(RegisterDatabases& databases, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    const char* uids[] = {"E0040000AB12", "e00400001234", "", "FFAB1200"};
    const char* times[] = {"2026-03-01T00:00:00.000Z", "2026-03-02T23:59:59.999Z",
                           "2026-03-03T00:00:00.000Z", "2026-02-28T23:59:59.999Z"};
    std::int64_t ids[4];
    for (int i = 0; i < 4; ++i) {
        ids[i] = ReserveOk(cardRegister, Card(500 + i % 2 * 10 + i));
        ASSERT_TRUE(cardRegister.Confirm(ids[i], false, QString::fromLatin1(uids[i])));
    }
    {
        QSqlQuery raw(databases.Raw(settings));
        for (int i = 0; i < 4; ++i) {
            ASSERT_TRUE(raw.exec(QStringLiteral("UPDATE cards SET time = '%1' WHERE id = %2")
                                     .arg(QString::fromLatin1(times[i]))
                                     .arg(ids[i])));
        }
    }
    struct Row {
        const char* name;
        RegisterFilter filter;
        std::vector<int> expected;  // indices, newest first
    };
    RegisterFilter byNumber;
    byNumber.number = 511;
    RegisterFilter byUid;
    byUid.uid = QStringLiteral("ab12");
    RegisterFilter byDates;
    byDates.from = QDate(2026, 3, 1);
    byDates.to = QDate(2026, 3, 2);
    RegisterFilter combined = byDates;
    combined.uid = QStringLiteral("E004");
    RegisterFilter wildcard;
    wildcard.uid = QStringLiteral("%");
    const Row table[] = {
        {"everything", {}, {2, 1, 0, 3}},
        {"number", byNumber, {1}},
        {"chip id part in any case", byUid, {0, 3}},
        {"dates inclusive", byDates, {1, 0}},
        {"dates and chip id", combined, {1, 0}},
        {"a wildcard is a character", wildcard, {}},
    };
    for (const Row& row : table) {
        SCOPED_TRACE(row.name);
        const auto entries = cardRegister.List(row.filter);
        ASSERT_TRUE(entries) << cardRegister.LastError().toStdString();
        std::vector<int> got;
        for (const RegisterEntry& entry : *entries) {
            got.push_back(static_cast<int>(std::find(ids, ids + 4, entry.id) - ids));
        }
        EXPECT_EQ(got, row.expected);
    }
}

const std::pair<const char*, Case> kCases[] = {
    {"schema and version", SchemaAndVersion},
    {"reserve, confirm, release", ReserveConfirmRelease},
    {"duplicate guard", DuplicateGuard},
    {"re-issue", Reissue},
    {"racing stations", RacingStations},
    {"next free number", NextFreeNumber},
    {"list filter", ListFilter},
};

class RegisterContract : public testing::TestWithParam<RegisterSettings::Kind> {};

TEST_P(RegisterContract, HoldsOnEveryDatabase) {
    RegisterDatabases databases(GetParam());
    for (const auto& [name, check] : kCases) {
        SCOPED_TRACE(name);
        check(databases, databases.Fresh());
    }
}

INSTANTIATE_TEST_SUITE_P(, RegisterContract,
                         testing::Values(RegisterSettings::Kind::SQLite,
                                         RegisterSettings::Kind::PostgreSQL),
                         [](const auto& info) {
                             return info.param == RegisterSettings::Kind::SQLite ? "SQLite"
                                                                                 : "PostgreSQL";
                         });

}  // namespace
