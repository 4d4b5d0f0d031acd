// The register's holders on every database: the list and its filters, saving, importing a
// personnel list, cards issued to a holder, the exports for the access-control system, two
// stations reserving for one person, and a version-2 register brought up to the holders.
#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <thread>

#include "RegisterCases.h"
#include "station/register/Holders.h"

using namespace station;

namespace registertest {

namespace {

Holder SavedHolder(CCardRegister& cardRegister, const QString& number, const QString& name,
                   const QString& department) {
    Holder holder;
    holder.personnelNumber = number;
    holder.name = name;
    holder.department = department;
    EXPECT_TRUE(cardRegister.SaveHolder(holder)) << cardRegister.LastError().toStdString();
    EXPECT_NE(holder.id, 0);
    return holder;
}

CardRecord CardFor(std::int64_t number, std::int64_t holder, bool mustBeWithoutCard = false) {
    CardRecord card = Card(number);
    card.holder = holder;
    card.holderMustBeWithoutCard = mustBeWithoutCard;
    return card;
}

std::vector<QString> Numbers(const std::optional<std::vector<Holder>>& holders) {
    std::vector<QString> numbers;
    for (const Holder& holder : holders.value_or(std::vector<Holder>{}))
        numbers.push_back(holder.personnelNumber);
    return numbers;
}

std::vector<int> Lines(const std::vector<HolderImportRow>& rows) {
    std::vector<int> lines;
    for (const HolderImportRow& row : rows) lines.push_back(row.line);
    return lines;
}

QString Csv(CCardRegister& cardRegister, bool valid) {
    QString text;
    QTextStream out(&text);
    const bool written =
        valid ? cardRegister.WriteValidCardsCsv(out, {}) : cardRegister.WriteBlockListCsv(out, {});
    EXPECT_TRUE(written) << cardRegister.LastError().toStdString();
    out.flush();
    return text;
}

}  // namespace

void HolderListAndSave(RegisterDatabases&, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    const Holder ann = SavedHolder(cardRegister, " 1001 ", "Ann Weber", "Lab");
    const Holder bob = SavedHolder(cardRegister, "1002", "Bob Kranz", "Office");
    Holder eve = SavedHolder(cardRegister, "A_17", "Eve 100% Lang", "Lab");
    SavedHolder(cardRegister, "1004", "Max Ott", "");

    // Another holder's personnel number is refused, on adding and on changing, naming no one.
    Holder twin;
    twin.personnelNumber = "1001";
    EXPECT_FALSE(cardRegister.SaveHolder(twin));
    EXPECT_EQ(twin.id, 0);
    EXPECT_TRUE(cardRegister.LastError().contains("another holder"))
        << cardRegister.LastError().toStdString();
    EXPECT_FALSE(cardRegister.LastError().contains("1001"));
    Holder renumbered = bob;
    renumbered.personnelNumber = "1001";
    EXPECT_FALSE(cardRegister.SaveHolder(renumbered));
    Holder blank;
    blank.personnelNumber = "  ";
    EXPECT_FALSE(cardRegister.SaveHolder(blank));
    // The refusals left the register usable and the holders as they were.
    std::optional<Holder> found;
    ASSERT_TRUE(cardRegister.FindHolder(QStringLiteral("1001"), found));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->id, ann.id);
    EXPECT_EQ(found->personnelNumber, "1001");
    ASSERT_TRUE(cardRegister.FindHolder(bob.id, found));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->personnelNumber, "1002");
    ASSERT_TRUE(cardRegister.FindHolder(QStringLiteral("9999"), found));
    EXPECT_FALSE(found);

    // Eve leaves; Bob gets a card, Ann one that is only reserved.
    eve.leftSince = QDateTime::currentDateTimeUtc();
    ASSERT_TRUE(cardRegister.SaveHolder(eve)) << cardRegister.LastError().toStdString();
    const std::int64_t bobsCard = WrittenOk(cardRegister, CardFor(50, bob.id));
    ReserveOk(cardRegister, CardFor(51, ann.id));

    struct Case {
        const char* name;
        HolderFilter filter;
        std::vector<QString> expected;
    };
    HolderFilter text;
    text.text = "KRANZ";
    HolderFilter number;
    number.text = "100";
    HolderFilter wildcard;  // a LIKE wildcard is a character
    wildcard.text = "_";
    wildcard.includeLeft = true;
    HolderFilter lab;
    lab.department = "Lab";
    lab.includeLeft = true;
    HolderFilter without;
    without.withoutValidCard = true;
    HolderFilter left;
    left.includeLeft = true;
    left.limit = 3;
    const Case cases[] = {
        {"everyone still here", {}, {"1001", "1002", "1004"}},
        {"name in any case", text, {"1002"}},
        {"part of a personnel number", number, {"1001", "1002", "1004"}},
        {"a wildcard is a character", wildcard, {"A_17"}},
        {"department, left ones too", lab, {"1001", "A_17"}},
        {"without a card (a reserved one counts)", without, {"1004"}},
        {"a page with the left ones", left, {"1001", "1002", "A_17"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto holders = cardRegister.Holders(c.filter);
        ASSERT_TRUE(holders) << cardRegister.LastError().toStdString();
        EXPECT_EQ(Numbers(holders), c.expected);
    }
    // The list names each holder's valid card, not a reserved one.
    const auto holders = cardRegister.Holders({});
    ASSERT_TRUE(holders && holders->size() == 3u);
    EXPECT_FALSE((*holders)[0].validCard);
    ASSERT_TRUE((*holders)[1].validCard);
    EXPECT_EQ((*holders)[1].validCard->id, bobsCard);
    EXPECT_EQ((*holders)[1].validCard->holder, bob.id);
    EXPECT_EQ((*holders)[1].name, "Bob Kranz");
    ASSERT_TRUE(cardRegister.FindHolder(QStringLiteral("A_17"), found) && found);
    EXPECT_TRUE(found->leftSince.isValid());
    EXPECT_EQ(cardRegister.Departments(), QStringList({"Lab", "Office"}));
}

void HolderImport(RegisterDatabases& databases, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    Holder kept = SavedHolder(cardRegister, "1", "Ann", "Lab");
    kept.notes = "badge office note";
    ASSERT_TRUE(cardRegister.SaveHolder(kept));
    SavedHolder(cardRegister, "2", "Bob", "Lab");
    SavedHolder(cardRegister, "3", "Cid", "Lab");
    const std::vector<HolderImportRow> rows = {
        {2, "1", "Ann", "Lab", ""},                // unchanged: an empty notes cell keeps the notes
        {3, " 2 ", "Bob", "Office", ""},           // changed department
        {4, "5", "=HYPERLINK(\"x\")", "", "new"},  // added
    };
    auto count = [&] {
        HolderFilter all;
        all.includeLeft = true;
        return cardRegister.Holders(all).value_or(std::vector<Holder>{}).size();
    };

    // A rehearsal plans everything and stores nothing.
    HolderImportPlan plan;
    ASSERT_TRUE(cardRegister.ImportHolders(rows, true, true, plan))
        << cardRegister.LastError().toStdString();
    EXPECT_EQ(Lines(plan.unchanged), std::vector<int>{2});
    EXPECT_EQ(Lines(plan.changed), std::vector<int>{3});
    EXPECT_EQ(Lines(plan.added), std::vector<int>{4});
    ASSERT_EQ(plan.left.size(), 1u);
    EXPECT_EQ(plan.left[0].personnelNumber, "3");
    EXPECT_EQ(count(), 3u);

    // One refused line refuses the whole import.
    std::vector<HolderImportRow> bad = rows;
    bad.push_back({5, "5", "Twice", "", ""});
    bad.push_back({6, "", "Nobody", "", ""});
    EXPECT_FALSE(cardRegister.ImportHolders(bad, true, false, plan));
    ASSERT_EQ(plan.refused.size(), 2u);
    EXPECT_EQ(plan.refused[0].first, 5);
    EXPECT_TRUE(plan.refused[0].second.contains("line 4")) << plan.refused[0].second.toStdString();
    EXPECT_EQ(plan.refused[1].first, 6);
    EXPECT_TRUE(cardRegister.LastError().contains("nothing was stored"));
    EXPECT_EQ(count(), 3u);

    ASSERT_TRUE(cardRegister.ImportHolders(rows, true, false, plan))
        << cardRegister.LastError().toStdString();
    EXPECT_EQ(count(), 4u);
    std::optional<Holder> holder;
    ASSERT_TRUE(cardRegister.FindHolder(QStringLiteral("1"), holder) && holder);
    EXPECT_EQ(holder->notes, "badge office note");
    ASSERT_TRUE(cardRegister.FindHolder(QStringLiteral("2"), holder) && holder);
    EXPECT_EQ(holder->department, "Office");
    ASSERT_TRUE(cardRegister.FindHolder(QStringLiteral("3"), holder) && holder);
    EXPECT_TRUE(holder->leftSince.isValid());
    EXPECT_EQ(Numbers(cardRegister.Holders({})), (std::vector<QString>{"1", "2", "5"}));

    // The same list again changes nothing, and the rows stay as they are.
    QSqlQuery raw(databases.Raw(settings));
    const QString snapshot =
        "SELECT id, personnel_number, name, department, notes, left_since, "
        "changed FROM holders ORDER BY id";
    auto table = [&] {
        QStringList lines;
        EXPECT_TRUE(raw.exec(snapshot)) << raw.lastError().text().toStdString();
        while (raw.next()) {
            QStringList cells;
            for (int i = 0; i < 7; ++i) cells << raw.value(i).toString();
            lines << cells.join('|');
        }
        return lines;
    };
    const QStringList before = table();
    ASSERT_TRUE(cardRegister.ImportHolders(rows, true, false, plan));
    EXPECT_EQ(plan.unchanged.size(), 3u);
    EXPECT_TRUE(plan.added.empty() && plan.changed.empty() && plan.left.empty());
    EXPECT_EQ(table(), before);
    // A holder who left and is on the list again comes back.
    ASSERT_TRUE(cardRegister.ImportHolders({{2, "3", "Cid", "Lab", ""}}, false, false, plan));
    EXPECT_EQ(Lines(plan.changed), std::vector<int>{2});
    ASSERT_TRUE(cardRegister.FindHolder(QStringLiteral("3"), holder) && holder);
    EXPECT_FALSE(holder->leftSince.isValid());
}

void HolderCardsAndExports(RegisterDatabases&, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    const Holder ann = SavedHolder(cardRegister, "1001", "Ann; Weber", "Lab");
    const Holder bob = SavedHolder(cardRegister, "1002", "=SUM(A1)", "Office");
    const std::int64_t annsFirst = WrittenOk(cardRegister, CardFor(10, ann.id));
    const std::int64_t nobodys = WrittenOk(cardRegister, Card(11));
    const std::int64_t bobsCard = WrittenOk(cardRegister, CardFor(12, bob.id));
    ASSERT_TRUE(cardRegister.Revoke(bobsCard, RevokeReason::Stolen));

    // The link is in the history by the holder's row, never the person's data.
    const auto events = cardRegister.History(annsFirst);
    EXPECT_EQ(Kinds(events), (std::vector<QString>{"reserved", "issued to", "verified"}));
    ASSERT_TRUE(events && events->size() == 3u);
    EXPECT_EQ((*events)[1].reason, QStringLiteral("holder %1").arg(ann.id));

    // A series over people refuses a holder with a card; a single card for them goes.
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    EXPECT_EQ(cardRegister.Reserve(CardFor(20, ann.id, true), false, rowId, earlier),
              ReserveResult::HolderHasCard);
    CardRecord next = CardFor(0, ann.id, true);
    EXPECT_EQ(cardRegister.ReserveNextFree(next, false, 100, 200, rowId),
              ReserveResult::HolderHasCard);
    EXPECT_EQ(cardRegister.Reserve(CardFor(21, 999999), false, rowId, earlier),
              ReserveResult::Failed);
    EXPECT_TRUE(cardRegister.LastError().contains("999999"));

    // Ann loses her card: revoked, and a new one from the next free numbers.
    ASSERT_TRUE(cardRegister.Revoke(annsFirst, RevokeReason::Lost));
    next = CardFor(0, ann.id, true);
    ASSERT_EQ(cardRegister.ReserveNextFree(next, false, 100, 200, rowId), ReserveResult::Reserved)
        << cardRegister.LastError().toStdString();
    ASSERT_TRUE(cardRegister.Confirm(rowId, true, QString()));
    const auto cards = cardRegister.HolderCards(ann.id);
    ASSERT_TRUE(cards);
    EXPECT_EQ(Ids(*cards), (std::vector<std::int64_t>{rowId, annsFirst}));

    // Stolen card 12 is re-issued onto a new chip: its number is valid again, not blocked.
    const std::int64_t bobsNew = ReissuedOk(cardRegister, CardFor(12, bob.id), bobsCard);
    const QString since = Row(cardRegister, rowId).time.toString(Qt::ISODate);
    const QString bobSince = Row(cardRegister, bobsNew).time.toString(Qt::ISODate);
    const QString valid = Csv(cardRegister, true);
    const QString eleven = Row(cardRegister, nobodys).time.toString(Qt::ISODate);
    EXPECT_EQ(valid.toStdString(),
              ("personnel_number,name,department,format,facility,number,valid_since\r\n"
               ",,,26,12,11," +
               eleven +
               "\r\n"
               "1002,\"'=SUM(A1)\",Office,26,12,12," +
               bobSince +
               "\r\n"
               "1001,Ann; Weber,Lab,26,12,100," +
               since + "\r\n")
                  .toStdString());
    const QString blocked = Csv(cardRegister, false);
    EXPECT_TRUE(blocked.startsWith("format,facility,number,revoked_since,reason\r\n26,12,10,"))
        << blocked.toStdString();
    EXPECT_TRUE(blocked.endsWith(",lost\r\n")) << blocked.toStdString();
    EXPECT_EQ(blocked.count("\r\n"), 2);
    // The separator a German spreadsheet splits at quotes the name that holds it.
    QString semicolon;
    QTextStream out(&semicolon);
    ASSERT_TRUE(cardRegister.WriteValidCardsCsv(out, {QLatin1Char(';'), false}));
    out.flush();
    EXPECT_TRUE(semicolon.contains("1001;\"Ann; Weber\";Lab")) << semicolon.toStdString();
}

// People who left: the import that marks them lists their valid cards, which leave the
// access-control export for the block list until revoked; no path issues them a card; a
// holder's second valid card shows in the list; leading zeros a spreadsheet dropped are shown.
void HoldersWhoLeft(RegisterDatabases&, const RegisterSettings& settings) {
    CCardRegister cardRegister(settings, kVersion);
    const Holder ann = SavedHolder(cardRegister, "00815", "Ann", "Lab");
    const Holder bob = SavedHolder(cardRegister, "1002", "Bob", "Lab");
    const std::int64_t annsCard = WrittenOk(cardRegister, CardFor(10, ann.id));
    const std::int64_t annsSecond = WrittenOk(cardRegister, CardFor(11, ann.id));
    WrittenOk(cardRegister, CardFor(12, bob.id));
    HolderFilter every;
    every.everyValidCard = true;
    const auto listed = cardRegister.Holders(every);
    ASSERT_TRUE(listed && listed->size() == 2u);
    EXPECT_EQ(Ids(listed->at(0).validCards), (std::vector<std::int64_t>{annsSecond, annsCard}));

    // The list lost Ann's leading zeros: "815" is added (it may be someone else), and shown.
    HolderImportPlan plan;
    ASSERT_TRUE(cardRegister.ImportHolders({{2, "815", "Ann", "Lab", ""}, {3, "1002", "Bob", "Lab", ""}},
                                           true, false, plan))
        << cardRegister.LastError().toStdString();
    ASSERT_EQ(plan.leadingZeros.size(), 1u);
    EXPECT_EQ(plan.leadingZeros[0].line, 2);
    EXPECT_EQ(plan.leadingZeros[0].stored, "00815");
    ASSERT_EQ(plan.left.size(), 1u);
    EXPECT_EQ(plan.left[0].personnelNumber, "00815");
    EXPECT_EQ(Ids(plan.left[0].validCards), (std::vector<std::int64_t>{annsSecond, annsCard}));

    const QString valid = Csv(cardRegister, true);
    EXPECT_EQ(valid.count("\r\n"), 2) << valid.toStdString();
    EXPECT_TRUE(valid.contains("1002,Bob,Lab,26,12,12,")) << valid.toStdString();
    QString blocked = Csv(cardRegister, false);
    EXPECT_EQ(blocked.count(",holder left\r\n"), 2) << blocked.toStdString();
    EXPECT_TRUE(blocked.contains("\r\n26,12,10,")) << blocked.toStdString();
    ASSERT_TRUE(cardRegister.Revoke(annsCard, RevokeReason::Returned));
    blocked = Csv(cardRegister, false);
    EXPECT_EQ(blocked.count(",holder left\r\n"), 1) << blocked.toStdString();
    EXPECT_TRUE(blocked.contains(",returned\r\n")) << blocked.toStdString();

    // No card for Ann: not a single one, not from a series, not as a re-issue.
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    EXPECT_EQ(cardRegister.Reserve(CardFor(20, ann.id), false, rowId, earlier),
              ReserveResult::Failed);
    EXPECT_TRUE(cardRegister.LastError().contains("has left")) << cardRegister.LastError().toStdString();
    CardRecord next = CardFor(0, ann.id, true);
    EXPECT_EQ(cardRegister.ReserveNextFree(next, false, 100, 200, rowId), ReserveResult::Failed);
    EXPECT_EQ(cardRegister.ReserveReissue(CardFor(10, ann.id), false, annsCard, "lost", rowId,
                                          earlier),
              ReserveResult::Failed);
    EXPECT_EQ(Ids(*cardRegister.HolderCards(ann.id)), (std::vector<std::int64_t>{annsSecond, annsCard}));
}

// Two stations (each its own register object on its own thread) run a series over the same
// people: no one gets two cards, every holder exactly one.
void RacingForOneHolder(RegisterDatabases&, const RegisterSettings& settings) {
    constexpr int kHolders = 12;
    std::vector<std::int64_t> holders;
    {
        CCardRegister cardRegister(settings, kVersion);
        for (int i = 0; i < kHolders; ++i)
            holders.push_back(SavedHolder(cardRegister, QString::number(i), "P", "").id);
    }
    int won[2] = {0, 0};
    int refused[2] = {0, 0};
    int others[2] = {0, 0};
    auto station = [&](int index) {
        CCardRegister cardRegister(settings, kVersion);
        for (std::int64_t holder : holders) {
            CardRecord card = CardFor(0, holder, true);
            std::int64_t rowId = 0;
            const auto result = cardRegister.ReserveNextFree(card, false, 1, 1000, rowId);
            if (result == ReserveResult::Reserved) {
                ++won[index];
            } else if (result == ReserveResult::HolderHasCard) {
                ++refused[index];
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
    EXPECT_EQ(won[0] + won[1], kHolders);
    EXPECT_EQ(refused[0] + refused[1], kHolders);
    CCardRegister check(settings, kVersion);
    for (std::int64_t holder : holders) {
        const auto cards = check.HolderCards(holder);
        ASSERT_TRUE(cards);
        EXPECT_EQ(cards->size(), 1u) << "holder row " << holder;
    }
}

// A register of version 2 as the earlier program made it, with a written card.
void MigrationFromVersion2(RegisterDatabases& databases, const RegisterSettings& settings) {
    const bool sqlite = settings.kind == RegisterSettings::Kind::SQLite;
    if (sqlite) QDir().mkpath(QFileInfo(settings.file).absolutePath());
    const QString id = sqlite ? "id INTEGER PRIMARY KEY AUTOINCREMENT" : "id BIGSERIAL PRIMARY KEY";
    {
        QSqlQuery raw(databases.Raw(settings));
        const QString statements[] = {
            "CREATE TABLE register_info (key TEXT PRIMARY KEY, value TEXT NOT NULL)",
            QStringLiteral(
                "CREATE TABLE cards (%1, format TEXT NOT NULL, facility INTEGER NOT NULL, "
                "number BIGINT NOT NULL, extra INTEGER NOT NULL DEFAULT 0, chip TEXT NOT NULL, "
                "chip_id TEXT NOT NULL DEFAULT '', locked INTEGER NOT NULL DEFAULT 0, verified "
                "INTEGER NOT NULL DEFAULT 0, reissue INTEGER NOT NULL DEFAULT 0, state TEXT NOT "
                "NULL, time TEXT NOT NULL, station TEXT NOT NULL DEFAULT '', operator TEXT NOT "
                "NULL DEFAULT '', program_version TEXT NOT NULL DEFAULT '', layout TEXT NOT NULL "
                "DEFAULT '', card_key BIGINT NOT NULL DEFAULT 0, reason TEXT NOT NULL DEFAULT '', "
                "replaces BIGINT NOT NULL DEFAULT 0, replaced_by BIGINT NOT NULL DEFAULT 0)")
                .arg(id),
            "CREATE UNIQUE INDEX cards_issued ON cards (layout, card_key) WHERE reissue = 0",
            QStringLiteral("CREATE TABLE card_events (%1, card_id BIGINT NOT NULL, layout TEXT "
                           "NOT NULL, card_key BIGINT NOT NULL, kind TEXT NOT NULL, time TEXT NOT "
                           "NULL, station TEXT NOT NULL DEFAULT '', operator TEXT NOT NULL "
                           "DEFAULT '', reason TEXT NOT NULL DEFAULT '', chip_id TEXT NOT NULL "
                           "DEFAULT '')")
                .arg(id),
            "INSERT INTO register_info (key, value) VALUES ('schema_version', '2')",
            "INSERT INTO cards (format, facility, number, chip, chip_id, verified, state, time, "
            "layout, card_key) VALUES ('26', 12, 4711, 'ata5577', 'A1', 1, 'written', "
            "'2025-05-05T10:00:00.000Z', '26', 791143)",
            "INSERT INTO card_events (card_id, layout, card_key, kind, time) VALUES "
            "(1, '26', 791143, 'verified', '2025-05-05T10:00:00.000Z')",
        };
        for (const QString& statement : statements)
            ASSERT_TRUE(raw.exec(statement)) << raw.lastError().text().toStdString();
    }
    CCardRegister cardRegister(settings, kVersion);
    ASSERT_TRUE(cardRegister.Open()) << cardRegister.LastError().toStdString();
    const std::vector<RegisterEntry> rows = All(cardRegister);
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].fields.number, 4711);
    EXPECT_EQ(rows[0].holder, 0);
    EXPECT_EQ(Kinds(cardRegister.History(rows[0].id)), std::vector<QString>{"verified"});
    // The card still holds its number, and a card goes to a holder.
    std::int64_t rowId = 0;
    std::optional<RegisterEntry> earlier;
    EXPECT_EQ(cardRegister.Reserve(Card(4711), false, rowId, earlier), ReserveResult::Duplicate);
    const Holder ann = SavedHolder(cardRegister, "1", "Ann", "");
    WrittenOk(cardRegister, CardFor(4712, ann.id));
    HolderFilter without;
    without.withoutValidCard = true;
    EXPECT_TRUE(Numbers(cardRegister.Holders(without)).empty());
    QSqlQuery raw(databases.Raw(settings));
    ASSERT_TRUE(raw.exec("SELECT value FROM register_info WHERE key = 'schema_version'"));
    ASSERT_TRUE(raw.next());
    EXPECT_EQ(raw.value(0).toString(), QStringLiteral("4"));
}

}  // namespace registertest
