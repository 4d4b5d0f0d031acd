// What every register keeps to, run against an SQLite file and a PostgreSQL server: each case
// on a new, empty register.
#include <gtest/gtest.h>

#include <QSqlError>
#include <QSqlQuery>
#include <algorithm>
#include <functional>
#include <set>
#include <thread>

#include "RegisterCases.h"
#include "RegisterFill.h"
#include "station/register/RegisterConnection.h"

using namespace station;
using namespace registertest;

namespace {

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
    EXPECT_EQ(query.value(0).toString(), QStringLiteral("4"));
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

    // A failed card's reservation goes (a second release finds it gone); a written card stays
    // whatever a release asks.
    const std::int64_t failed = ReserveOk(cardRegister, Card(4712));
    ASSERT_TRUE(cardRegister.Release(failed));
    ASSERT_TRUE(cardRegister.Release(failed));
    EXPECT_FALSE(cardRegister.Release(rowId));
    EXPECT_TRUE(cardRegister.LastError().contains("only a reservation"))
        << cardRegister.LastError().toStdString();
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
    ASSERT_EQ(cardRegister.Reserve(Card(100), false, rowId, earlier), ReserveResult::Duplicate);
    ASSERT_TRUE(earlier);
    EXPECT_EQ(earlier->id, first);
    EXPECT_EQ(earlier->uid, QStringLiteral("CAFE0001"));
    EXPECT_TRUE(earlier->time.isValid());
    // A reservation not yet confirmed holds its number as well.
    const std::int64_t pending = ReserveOk(cardRegister, Card(101));
    ASSERT_EQ(cardRegister.Reserve(Card(101), false, rowId, earlier), ReserveResult::Duplicate);
    EXPECT_EQ(earlier->id, pending);
    // The same number with another facility code is another card, and so is another card
    // word under the other name of the layout (Huge 100 is facility 0 number 100).
    ReserveOk(cardRegister, Card(100, 13));
    ReserveOk(cardRegister, Huge26(100));
    EXPECT_EQ(cardRegister.FindIssued(0, Card(100).fields)->id, first);
    EXPECT_FALSE(cardRegister.FindIssued(0, Card(102).fields));
}

// 26 Bit and 26 Bit Huge (37 and 37 Huge) put one card word on the chip: one card, kept under
// the name the operator chose.
void SameCardUnderTwoNames(RegisterDatabases&, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    auto card = [](int format, int facility, std::int64_t number) {
        CardRecord record = Card(number, facility);
        record.format = format;
        return record;
    };
    struct Pair {
        const char* name;
        CardRecord first;
        CardRecord second;
    };
    const Pair table[] = {
        {"26 then 26 Huge", card(0, 12, 4711), card(1, 0, 791143)},
        {"26 Huge then 26", card(1, 0, (13 << 16) | 5), card(0, 13, 5)},
        {"37 then 37 Huge", card(6, 5, 7), card(7, 0, (5 << 19) | 7)},
        {"37 Huge then 37", card(7, 0, (6 << 19) | 524287), card(6, 6, 524287)},
    };
    for (const Pair& pair : table) {
        SCOPED_TRACE(pair.name);
        const std::int64_t first = WrittenOk(cardRegister, pair.first);
        std::int64_t rowId = 0;
        std::optional<RegisterEntry> earlier;
        EXPECT_EQ(cardRegister.Reserve(pair.second, false, rowId, earlier),
                  ReserveResult::Duplicate);
        ASSERT_TRUE(earlier);
        EXPECT_EQ(earlier->id, first);
        EXPECT_EQ(earlier->format, pair.first.format);
        EXPECT_EQ(earlier->fields.number, pair.first.fields.number);
        const auto found = cardRegister.FindCard(pair.second.format, pair.second.fields);
        ASSERT_TRUE(found);
        EXPECT_EQ(Ids(*found), std::vector<std::int64_t>{first});
        // A series under the other name skips the card as well.
        CardRecord next = pair.second;
        EXPECT_EQ(cardRegister.ReserveNextFree(next, false, pair.second.fields.number,
                                               pair.second.fields.number + 1, rowId),
                  ReserveResult::Reserved);
        EXPECT_EQ(next.fields.number, pair.second.fields.number + 1);
    }
}

void Reissue(RegisterDatabases&, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    const std::int64_t first = WrittenOk(cardRegister, Card(7), QStringLiteral("01"));
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    // A number another station is still writing is not re-issued; the refusal names it.
    const std::int64_t pending = ReserveOk(cardRegister, Card(8));
    EXPECT_EQ(cardRegister.ReserveReissue(Card(8), false, pending, "broken", rowId, earlier),
              ReserveResult::InProgress);
    ASSERT_TRUE(earlier);
    EXPECT_EQ(earlier->id, pending);
    EXPECT_FALSE(earlier->station.isEmpty());
    // Nor a number the register does not hold.
    EXPECT_EQ(cardRegister.ReserveReissue(Card(9), false, first, "broken", rowId, earlier),
              ReserveResult::Failed);
    EXPECT_TRUE(cardRegister.LastError().contains("not in the register"))
        << cardRegister.LastError().toStdString();

    // Until the replacement is written the earlier card stays valid, and the number is in
    // progress for anyone else re-issuing it.
    std::int64_t replacement = 0;
    ASSERT_EQ(cardRegister.ReserveReissue(Card(7), false, first, QStringLiteral("lost at lunch"),
                                          replacement, earlier),
              ReserveResult::Reserved)
        << cardRegister.LastError().toStdString();
    EXPECT_EQ(Row(cardRegister, first).state, RegisterEntry::State::Written);
    EXPECT_EQ(cardRegister.ReserveReissue(Card(7), false, first, "again", rowId, earlier),
              ReserveResult::InProgress);
    EXPECT_EQ(earlier->id, replacement);
    ASSERT_TRUE(cardRegister.Confirm(replacement, true, QStringLiteral("02")));

    const RegisterEntry old = Row(cardRegister, first);
    const RegisterEntry now = Row(cardRegister, replacement);
    EXPECT_EQ(old.state, RegisterEntry::State::Replaced);
    EXPECT_EQ(old.replacedBy, replacement);
    EXPECT_TRUE(now.reissue);
    EXPECT_EQ(now.replaces, first);
    EXPECT_EQ(now.reason, QStringLiteral("lost at lunch"));
    EXPECT_EQ(Ids(cardRegister.FindCard(0, Card(7).fields).value()),
              (std::vector<std::int64_t>{replacement, first}));
    // An operator who confirmed replacing the earlier card learns that another took its place.
    EXPECT_EQ(cardRegister.ReserveReissue(Card(7), false, first, "again", rowId, earlier),
              ReserveResult::Duplicate);
    EXPECT_EQ(earlier->id, replacement);
    // A plain write of the number names the valid card.
    EXPECT_EQ(cardRegister.Reserve(Card(7), false, rowId, earlier), ReserveResult::Duplicate);
    EXPECT_EQ(earlier->id, replacement);
    // A revoked card is re-issued and keeps its reason.
    ASSERT_TRUE(cardRegister.Revoke(replacement, RevokeReason::Stolen));
    const std::int64_t third = ReissuedOk(cardRegister, Card(7), replacement);
    EXPECT_EQ(Row(cardRegister, replacement).state, RegisterEntry::State::Revoked);
    EXPECT_EQ(Row(cardRegister, replacement).replacedBy, third);
    EXPECT_EQ(Kinds(cardRegister.History(0, Card(7).fields)),
              (std::vector<QString>{"reserved", "verified", "reissued", "verified", "replaced",
                                    "revoked", "reissued", "verified", "replaced"}));
}

// Each thread with its own register (connection), as two stations on one database.
void RacingStations(RegisterDatabases& databases, const RegisterSettings& settings) {
    // The indexes alone refuse a second card with the number, the guard bypassed.
    {
        CCardRegister cardRegister(settings, kVersion);
        ReserveOk(cardRegister, Card(1));
        QSqlQuery raw(databases.Raw(settings));
        const QString insert = QStringLiteral(
            "INSERT INTO cards (format, facility, number, chip, state, time, reissue, layout, "
            "card_key) VALUES ('26', 12, 1, 'ata5577', 'written', '2026-01-01T00:00:00.000Z', "
            "%1, '26', 786433)");
        EXPECT_FALSE(raw.exec(insert.arg(0)));
        // Recognised as the index's refusal, which a racing station reports as a duplicate.
        EXPECT_TRUE(IsUniqueViolation(raw.lastError())) << raw.lastError().text().toStdString();
        EXPECT_TRUE(raw.exec(insert.arg(1))) << raw.lastError().text().toStdString();
        // Nor may two re-issues replace one card.
        const QString reissue = QStringLiteral(
            "INSERT INTO cards (format, facility, number, chip, state, time, reissue, layout, "
            "card_key, replaces) VALUES ('26', 12, 1, 'ata5577', 'reserved', "
            "'2026-01-01T00:00:00.000Z', 1, '26', 786433, 1)");
        EXPECT_TRUE(raw.exec(reissue)) << raw.lastError().text().toStdString();
        EXPECT_FALSE(raw.exec(reissue));
        EXPECT_TRUE(IsUniqueViolation(raw.lastError())) << raw.lastError().text().toStdString();
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
        const auto result = cardRegister.ReserveNextFree(card, false, 10, 16, rowId);
        EXPECT_NE(result, ReserveResult::Failed) << cardRegister.LastError().toStdString();
        if (result == ReserveResult::Reserved) {
            EXPECT_EQ(card.customer, QString::number(static_cast<long long>(card.fields.number)));
        }
        return result == ReserveResult::Reserved ? card.fields.number : -1;
    };
    // Every state holds its number: reserved (12), revoked (13), unverified (15) and a
    // replaced card with its re-issue (16).
    ReserveOk(cardRegister, Card(12));
    ASSERT_TRUE(cardRegister.Revoke(WrittenOk(cardRegister, Card(13)), RevokeReason::Lost));
    ASSERT_TRUE(cardRegister.HoldUnverified(ReserveOk(cardRegister, Card(15)), QString()));
    ReissuedOk(cardRegister, Card(16), WrittenOk(cardRegister, Card(16)));
    std::int64_t rows[3] = {};
    EXPECT_EQ(next(rows[0]), 10);
    EXPECT_EQ(next(rows[1]), 11);
    // A released number is filled again before the series goes on.
    ASSERT_TRUE(cardRegister.Release(rows[1]));
    EXPECT_EQ(next(rows[1]), 11);
    EXPECT_EQ(next(rows[2]), 14);
    CardRecord card = Card(0);
    std::int64_t rowId = 0;
    EXPECT_EQ(cardRegister.ReserveNextFree(card, false, 10, 16, rowId), ReserveResult::Exhausted);
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
        // Cards dated back: no path of the program may do that, so the test lifts the rules.
        QStringList dated;
        for (int i = 0; i < 4; ++i) {
            dated << QStringLiteral("UPDATE cards SET time = '%1' WHERE id = %2")
                         .arg(QString::fromLatin1(times[i]))
                         .arg(ids[i]);
        }
        QSqlDatabase raw = databases.Raw(settings);
        QString error;
        ASSERT_TRUE(registerfill::RunBehindTheRules(raw, dated, error)) << error.toStdString();
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
    RegisterFilter firstPage;
    firstPage.limit = 2;
    RegisterFilter nextPage = firstPage;
    nextPage.after = RegisterFilter::Position{registertest::Row(cardRegister, ids[1]).time, ids[1]};
    RegisterFilter pageOfDates = byDates;
    pageOfDates.limit = 1;
    const Row table[] = {
        {"everything", {}, {2, 1, 0, 3}},
        {"number", byNumber, {1}},
        {"chip id part in any case", byUid, {0, 3}},
        {"dates inclusive", byDates, {1, 0}},
        {"dates and chip id", combined, {1, 0}},
        {"a wildcard is a character", wildcard, {}},
        {"first page", firstPage, {2, 1}},
        {"the page after a row", nextPage, {0, 3}},
        {"a page of a filter", pageOfDates, {1}},
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
    {"one card under two names", SameCardUnderTwoNames},
    {"re-issue", Reissue},
    {"racing stations", RacingStations},
    {"next free number", NextFreeNumber},
    {"list filter", ListFilter},
    {"card life", CardLife},
    {"lookups and history", LookupsAndHistory},
    {"migration from version 1", MigrationFromVersion1},
    {"holder list and save", HolderListAndSave},
    {"holder import", HolderImport},
    {"holder cards and exports", HolderCardsAndExports},
    {"racing for one holder", RacingForOneHolder},
    {"holders who left", HoldersWhoLeft},
    {"migration from version 2", MigrationFromVersion2},
    {"rules the database holds", DatabaseRules},
    {"confirm replaces in one transaction", ConfirmReplacesInOneTransaction},
    {"migration from version 3", MigrationFromVersion3},
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
