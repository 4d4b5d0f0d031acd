// Importing cards: the register's CSV export as people's spreadsheets leave it, and another
// station's SQLite register with its history into a PostgreSQL register. A card held already
// is listed and never doubled, a second import changes nothing, a bad line imports nothing.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QSqlQuery>
#include <QTextStream>
#include <functional>

#include "RegisterCases.h"
#include "RegisterDatabases.h"
#include "station/register/Holders.h"
#include "station/register/RegisterImport.h"

using namespace station;
using namespace registertest;

namespace {

const QByteArray kHeader =
    "id,format,facility,number,extra,chip,chip_id,locked,verified,reissue,state,time,station,"
    "operator,program_version,reason,replaces,replaced_by\r\n";

// A written 26-bit card's line with the given cells in place of station and operator.
QByteArray Line(int id, int number, const QByteArray& station = "desk",
                const QByteArray& operatorName = "anna") {
    return QByteArray::number(id) + ",26,12," + QByteArray::number(number) +
           ",0,ata5577,AB01,0,1,0,written,2025-03-04T05:06:07Z," + station + "," + operatorName +
           ",1.0,,,\r\n";
}

// A re-issue of row replaces: number's second row, in state.
QByteArray Reissue(int id, int number, int replaces, const QByteArray& state = "written") {
    return QByteArray::number(id) + ",26,12," + QByteArray::number(number) +
           ",0,ata5577,AB02,0,1,1," + state + ",2025-03-05T05:06:07Z,desk,anna,1.0,broken," +
           QByteArray::number(replaces) + ",\r\n";
}

// The same with the holder's personnel number, the column the export ends with today.
QByteArray WithHolder(const QByteArray& line, const QByteArray& personnelNumber) {
    return line.chopped(2) + "," + personnelNumber + "\r\n";
}
const QByteArray kHolderHeader = WithHolder(kHeader, "personnel_number");

std::optional<RegisterEntry> Stored(CCardRegister& cardRegister, std::int64_t number) {
    for (const RegisterEntry& entry : All(cardRegister))
        if (entry.fields.number == number) return entry;
    return std::nullopt;
}

QByteArray Sha(const QString& file) {
    QFile in(file);
    EXPECT_TRUE(in.open(QIODevice::ReadOnly));
    return QCryptographicHash::hash(in.readAll(), QCryptographicHash::Sha256);
}

TEST(RegisterImport, CsvCases) {
    struct Case {
        const char* name;
        QByteArray file;
        int problemLine;  // the line reported; 0: the file reads
        int added;
        std::function<void(CCardRegister&)> check;
    };
    const std::vector<Case> cases = {
        {"quotes, separators and a line break in a cell, CRLF",
         kHeader + Line(1, 100, "\"desk, \"\"A\"\"\nfloor 2\""), 0, 1,
         [](CCardRegister& r) {
             EXPECT_EQ(Stored(r, 100)->station, QStringLiteral("desk, \"A\"\nfloor 2"));
         }},
        {"semicolons after a byte-order mark, UTF-8 text",
         "\xEF\xBB\xBF" + QByteArray(kHeader).replace(',', ';') +
             Line(1, 101, "B\xC3\xBCro").replace(',', ';'),
         0, 1,
         [](CCardRegister& r) {
             const RegisterEntry entry = *Stored(r, 101);
             EXPECT_EQ(entry.station, QStringLiteral("Büro"));
             EXPECT_EQ(entry.time, QDateTime(QDate(2025, 3, 4), QTime(5, 6, 7), Qt::UTC));
             EXPECT_EQ(entry.state, RegisterEntry::State::Written);
             EXPECT_TRUE(entry.verified);
             EXPECT_EQ(entry.uid, QStringLiteral("AB01"));
         }},
        {"formula cells read back as written",
         kHeader + Line(1, 102, "'-desk", "\"'=HYPERLINK(\"\"x\"\")\""), 0, 1,
         [](CCardRegister& r) {
             EXPECT_EQ(Stored(r, 102)->station, QStringLiteral("-desk"));
             EXPECT_EQ(Stored(r, 102)->operatorName, QStringLiteral("=HYPERLINK(\"x\")"));
         }},
        {"a newer program's format and chip kept as text",
         kHeader + Line(1, 103).replace(",26,", ",48-corp,").replace("ata5577", "x9"), 0, 1,
         [](CCardRegister& r) {
             const RegisterEntry entry = *Stored(r, 103);
             EXPECT_EQ(entry.format, -1);
             EXPECT_EQ(entry.formatText, QStringLiteral("48-corp"));
             EXPECT_EQ(entry.chipText, QStringLiteral("x9"));
         }},
        {"a card held already is listed, the others go in", kHeader + Line(1, 500) + Line(2, 104),
         0, 1, [](CCardRegister& r) { EXPECT_TRUE(Stored(r, 104)); }},
        {"a number that does not read", kHeader + Line(1, 105) + Line(2, 106).replace("106", "1x6"),
         3, 0, nullptr},
        {"a line short of fields", kHeader + Line(1, 105) + "2,26,12,106\r\n", 3, 0, nullptr},
        {"a number outside its format", kHeader + Line(1, 70000), 2, 0, nullptr},
        {"an unknown state", kHeader + Line(1, 105).replace("written", "lost"), 2, 0, nullptr},
        {"a card issued twice in the file", kHeader + Line(1, 105) + Line(2, 105), 3, 0, nullptr},
        {"a quote never closed", kHeader + Line(1, 105) + Line(2, 106, "\"desk"), 3, 0, nullptr},
        {"a column no export has", "id,colour\r\n1,red\r\n", 1, 0, nullptr},
        // One key, one live card: a re-issue beside a valid first card, whatever reissue says.
        {"a re-issue written while the card it replaces is valid",
         kHeader + Line(1, 105) + Reissue(2, 105, 1), 3, 0, nullptr},
        {"an unverified re-issue beside a reserved one",
         kHeader + Line(1, 105).replace("written", "revoked") + Reissue(2, 105, 1, "reserved") +
             Reissue(3, 105, 2, "unverified"),
         4, 0, nullptr},
        {"a re-issue of a row of another number",
         kHeader + Line(1, 105).replace("written", "replaced") + Reissue(2, 106, 1), 3, 0,
         nullptr},
        {"a replaced card and its re-issue go in linked",
         kHeader + Line(1, 109) + Line(2, 105).replace("written", "replaced") +
             Reissue(3, 105, 2),
         0, 3,
         [](CCardRegister& r) {
             const auto rows = r.FindCard(0, Card(105).fields);
             ASSERT_TRUE(rows && rows->size() == 2u);
             EXPECT_EQ(rows->at(0).replaces, rows->at(1).id);
         }},
        {"a holder by personnel number: added, linked, and in the history",
         kHolderHeader + WithHolder(Line(1, 107), "") + WithHolder(Line(2, 108), "0815"), 0, 2,
         [](CCardRegister& r) {
             std::optional<Holder> holder;
             ASSERT_TRUE(r.FindHolder(QStringLiteral("0815"), holder) && holder);
             EXPECT_EQ(Stored(r, 108)->holder, holder->id);
             EXPECT_EQ(Stored(r, 107)->holder, 0);
             const auto history = r.History(Stored(r, 108)->id);
             EXPECT_EQ(Kinds(history), (std::vector<QString>{"verified", "issued to"}));
             EXPECT_EQ(history->back().reason, QStringLiteral("holder %1").arg(holder->id));
         }},
    };
    RegisterDatabases databases(RegisterSettings::Kind::SQLite);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CCardRegister cardRegister(databases.Fresh(), kVersion);
        WrittenOk(cardRegister, Card(500));
        ImportSource source;
        std::vector<ImportProblem> problems;
        const bool read = ReadImportCsv(c.file, source, problems);
        if (c.problemLine != 0) {
            EXPECT_FALSE(read);
            ASSERT_FALSE(problems.empty());
            EXPECT_EQ(problems.front().line, c.problemLine) << problems.front().text.toStdString();
            EXPECT_TRUE(source.rows.empty());
            continue;
        }
        ASSERT_TRUE(read) << problems.front().text.toStdString();
        ImportReport report;
        ASSERT_TRUE(cardRegister.Import(source, report)) << cardRegister.LastError().toStdString();
        EXPECT_EQ(report.added, c.added);
        EXPECT_EQ(All(cardRegister).size(), 1u + c.added);
        EXPECT_EQ(report.alreadyThere.size(), source.rows.size() - c.added);
        for (const ImportRow& row : report.alreadyThere) EXPECT_EQ(row.line, 2);
        if (c.check) c.check(cardRegister);
        // Each row begins its history with its state, as imported (the oldest row).
        const auto history = cardRegister.History(All(cardRegister).back().id);
        ASSERT_TRUE(history && history->size() == 1u);
        EXPECT_EQ(history->front().kind, QStringLiteral("verified"));
    }
}

// The export read back: every row, its links renumbered to the new rows; twice changes nothing.
TEST(RegisterImport, ExportReadBackAndImportedTwiceChangesNothing) {
    RegisterDatabases databases(RegisterSettings::Kind::SQLite);
    CCardRegister source(databases.Fresh(), kVersion);
    const std::int64_t first = WrittenOk(source, Card(7), QStringLiteral("E1"));
    ReissuedOk(source, Card(7), first, QStringLiteral("broken"));
    ASSERT_TRUE(source.Revoke(WrittenOk(source, Card(8)), RevokeReason::Stolen));
    ReserveOk(source, Huge26(9));
    QString csv;
    QTextStream out(&csv);
    WriteRegisterCsv(out, All(source), {QLatin1Char(';'), true});
    out.flush();

    CCardRegister target(databases.Fresh(), kVersion);
    WrittenOk(target, Card(1));  // the imported rows get other ids
    ImportSource rows;
    std::vector<ImportProblem> problems;
    ASSERT_TRUE(ReadImportCsv(csv.toUtf8(), rows, problems));
    ImportReport report;
    ASSERT_TRUE(target.Import(rows, report)) << target.LastError().toStdString();
    EXPECT_EQ(report.added, 4);

    auto byNumber = [](CCardRegister& r, std::int64_t number) {
        std::vector<RegisterEntry> found;
        for (const RegisterEntry& e : All(r))
            if (e.fields.number == number) found.push_back(e);
        return found;  // newest first
    };
    for (std::int64_t number : {7, 8, 9}) {
        const auto was = byNumber(source, number);
        const auto now = byNumber(target, number);
        ASSERT_EQ(was.size(), now.size());
        for (std::size_t i = 0; i < was.size(); ++i) {
            EXPECT_EQ(now[i].format, was[i].format);
            EXPECT_EQ(now[i].state, was[i].state);
            EXPECT_EQ(now[i].reason, was[i].reason);
            EXPECT_EQ(now[i].reissue, was[i].reissue);
            EXPECT_EQ(now[i].uid, was[i].uid);
            EXPECT_EQ(now[i].station, was[i].station);
            EXPECT_EQ(now[i].time.toSecsSinceEpoch(), was[i].time.toSecsSinceEpoch());
        }
    }
    const auto seven = byNumber(target, 7);
    EXPECT_EQ(seven[0].replaces, seven[1].id);
    EXPECT_EQ(seven[1].replacedBy, seven[0].id);
    EXPECT_EQ(seven[1].state, RegisterEntry::State::Replaced);

    const std::vector<RegisterEntry> before = All(target);
    ASSERT_TRUE(target.Import(rows, report));
    EXPECT_EQ(report.added, 0);
    EXPECT_EQ(report.alreadyThere.size(), 4u);
    EXPECT_EQ(Ids(All(target)), Ids(before));
}

// A station's SQLite register, with its history, moved onto the site's PostgreSQL register
// that series wrote into already: the history comes along, the source stays as it was, and a
// next-free series afterwards never hands out an imported number.
TEST(RegisterImport, SqliteRegisterWithHistoryIntoPostgreSQL) {
    RegisterDatabases files(RegisterSettings::Kind::SQLite);
    const RegisterSettings stationSettings = files.Fresh();
    std::int64_t reissue = 0;
    {
        CCardRegister station(stationSettings, kVersion);
        const std::int64_t first = WrittenOk(station, Card(4), QStringLiteral("C4"));
        reissue = ReissuedOk(station, Card(4), first, QStringLiteral("broken"));
        ASSERT_TRUE(station.Revoke(WrittenOk(station, Card(5)), RevokeReason::Lost));
        // A reservation released before the move: the card's history keeps it.
        const std::int64_t gone = ReserveOk(station, Card(6));
        ASSERT_TRUE(station.Release(gone));
        WrittenOk(station, Card(6));
    }
    const QString file = RegisterFile(stationSettings);
    const QByteArray untouched = Sha(file);

    RegisterDatabases servers(RegisterSettings::Kind::PostgreSQL);
    CCardRegister site(servers.Fresh(), kVersion);
    CardRecord next = Card(0);
    std::int64_t rowId = 0;
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(site.ReserveNextFree(next, false, 1, 100, rowId), ReserveResult::Reserved);
        ASSERT_TRUE(site.Confirm(rowId, true, QString()));
    }

    ImportSource source;
    QString error;
    ASSERT_TRUE(ReadImportRegisterFile(file, source, error)) << error.toStdString();
    ImportReport report;
    ASSERT_TRUE(site.Import(source, report)) << site.LastError().toStdString();
    EXPECT_EQ(report.added, 4);
    EXPECT_TRUE(report.alreadyThere.empty());
    EXPECT_EQ(Sha(file), untouched);

    CCardRegister station(stationSettings, kVersion);
    for (std::int64_t number : {4, 5, 6}) {
        SCOPED_TRACE(number);
        const auto was = station.History(0, Card(number).fields);
        const auto now = site.History(0, Card(number).fields);
        ASSERT_TRUE(was && now);
        ASSERT_EQ(Kinds(now), Kinds(was));
        for (std::size_t i = 0; i < was->size(); ++i) {
            EXPECT_EQ((*now)[i].time, (*was)[i].time);
            EXPECT_EQ((*now)[i].reason, (*was)[i].reason);
            EXPECT_EQ((*now)[i].operatorName, (*was)[i].operatorName);
        }
        // The events point at the new rows (or none, for the released one).
        const auto rows = site.FindCard(0, Card(number).fields);
        ASSERT_TRUE(rows);
        for (const RegisterEvent& event : *now) {
            const bool ownRow = std::any_of(rows->begin(), rows->end(),
                                            [&](const auto& e) { return e.id == event.cardId; });
            EXPECT_TRUE(ownRow || event.cardId == 0) << event.kind.toStdString();
        }
    }
    const auto four = site.FindCard(0, Card(4).fields);
    ASSERT_EQ(four->size(), 2u);
    EXPECT_EQ(four->at(0).replaces, four->at(1).id);
    EXPECT_EQ(four->at(1).replacedBy, four->at(0).id);
    EXPECT_NE(four->at(0).id, reissue);

    ASSERT_EQ(site.ReserveNextFree(next, false, 1, 100, rowId), ReserveResult::Reserved);
    EXPECT_EQ(next.fields.number, 7);

    const auto events = [&] { return site.History(0, Card(4).fields)->size(); };
    const std::size_t eventsBefore = events();
    ASSERT_TRUE(site.Import(source, report));
    EXPECT_EQ(report.added, 0);
    EXPECT_EQ(report.alreadyThere.size(), source.rows.size());
    EXPECT_EQ(events(), eventsBefore);
}

// Stations that issued cards to people move onto the site's register, which knows some of
// the people already: the holders come along by personnel number, each card and each "issued
// to" event names the site's row, and a series over people afterwards gives nobody a second
// card. The register's CSV export carries the links too.
TEST(RegisterImport, HoldersComeAlongIntoPostgreSQL) {
    RegisterDatabases files(RegisterSettings::Kind::SQLite);
    const RegisterSettings stationSettings = files.Fresh();
    {
        CCardRegister station(stationSettings, kVersion);
        for (const char* number : {"1001", "1002", "1003"}) {
            Holder holder;
            holder.personnelNumber = number;
            holder.name = QStringLiteral("person %1").arg(number);
            ASSERT_TRUE(station.SaveHolder(holder));
            if (holder.personnelNumber == "1003") continue;  // still without a card
            CardRecord card = Card(holder.personnelNumber.toLongLong() - 1000);
            card.holder = holder.id;
            WrittenOk(station, card);
        }
    }
    RegisterDatabases servers(RegisterSettings::Kind::PostgreSQL);
    CCardRegister site(servers.Fresh(), kVersion);
    Holder known;  // the site's rows are numbered otherwise
    for (const char* number : {"7", "1002"}) {
        known = {};
        known.personnelNumber = number;
        known.name = QStringLiteral("known %1").arg(number);
        ASSERT_TRUE(site.SaveHolder(known));
    }

    ImportSource source;
    QString error;
    ASSERT_TRUE(ReadImportRegisterFile(RegisterFile(stationSettings), source, error))
        << error.toStdString();
    ImportReport report;
    ASSERT_TRUE(site.Import(source, report)) << site.LastError().toStdString();
    EXPECT_EQ(report.added, 2);
    EXPECT_EQ(report.holdersAdded, 2);
    for (std::int64_t number : {1, 2}) {
        SCOPED_TRACE(number);
        std::optional<Holder> holder;
        ASSERT_TRUE(site.FindHolder(QString::number(1000 + number), holder) && holder);
        const auto card = site.FindCard(0, Card(number).fields);
        ASSERT_TRUE(card && card->size() == 1u);
        EXPECT_EQ(card->front().holder, holder->id);
        ASSERT_TRUE(holder->validCard);
        EXPECT_EQ(holder->validCard->id, card->front().id);
        const auto history = site.History(card->front().id);
        ASSERT_TRUE(history);
        const auto issued = std::find_if(history->begin(), history->end(),
                                         [](const auto& e) { return e.kind == "issued to"; });
        ASSERT_NE(issued, history->end());
        EXPECT_EQ(issued->reason, QStringLiteral("holder %1").arg(holder->id));
    }
    std::optional<Holder> stayed;
    ASSERT_TRUE(site.FindHolder(QStringLiteral("1002"), stayed) && stayed);
    EXPECT_EQ(stayed->id, known.id);
    EXPECT_EQ(stayed->name, QStringLiteral("known 1002"));  // the site's data stays

    // A series over everyone without a card: only the two without one, each once.
    HolderFilter without;
    without.withoutValidCard = true;
    const auto waiting = site.Holders(without);
    ASSERT_TRUE(waiting);
    std::vector<QString> numbers;
    for (const Holder& holder : *waiting) numbers.push_back(holder.personnelNumber);
    EXPECT_EQ(numbers, (std::vector<QString>{"7", "1003"}));
    const auto everyone = site.Holders({});
    ASSERT_TRUE(everyone);
    for (const Holder& holder : *everyone) {
        CardRecord next = Card(0);
        next.holder = holder.id;
        next.holderMustBeWithoutCard = true;
        std::int64_t rowId = 0;
        const ReserveResult result = site.ReserveNextFree(next, false, 100, 200, rowId);
        if (holder.validCard) {
            EXPECT_EQ(result, ReserveResult::HolderHasCard) << holder.personnelNumber.toStdString();
        } else {
            ASSERT_EQ(result, ReserveResult::Reserved) << site.LastError().toStdString();
            ASSERT_TRUE(site.Confirm(rowId, true, QString()));
        }
    }
    const auto served = site.Holders({});
    ASSERT_TRUE(served);
    for (const Holder& holder : *served) EXPECT_TRUE(holder.validCard);

    // Again: nothing new, no holder doubled.
    ASSERT_TRUE(site.Import(source, report));
    EXPECT_EQ(report.added, 0);
    EXPECT_EQ(report.holdersAdded, 0);

    // The site's export read into a new register keeps who carries which card.
    QString csv;
    QTextStream out(&csv);
    std::int64_t exported = 0;
    ASSERT_TRUE(site.ExportCsv(out, {}, {}, exported)) << site.LastError().toStdString();
    out.flush();
    CCardRegister moved(files.Fresh(), kVersion);
    ImportSource rows;
    std::vector<ImportProblem> problems;
    ASSERT_TRUE(ReadImportCsv(csv.toUtf8(), rows, problems));
    ASSERT_TRUE(moved.Import(rows, report)) << moved.LastError().toStdString();
    EXPECT_EQ(report.added, exported);
    EXPECT_EQ(report.holdersAdded, 4);
    std::optional<Holder> ann;
    ASSERT_TRUE(moved.FindHolder(QStringLiteral("1001"), ann) && ann && ann->validCard);
    EXPECT_EQ(ann->validCard->fields.number, 1);
}

TEST(RegisterImport, RegisterFilesThatAreRefused) {
    RegisterDatabases files(RegisterSettings::Kind::SQLite);
    const RegisterSettings newer = files.Fresh();
    {
        CCardRegister made(newer, kVersion);
        WrittenOk(made, Card(1));
    }
    {
        QSqlDatabase db = files.Raw(newer);
        QSqlQuery query(db);
        ASSERT_TRUE(
            query.exec("UPDATE register_info SET value = '99' WHERE key = 'schema_version'"));
    }
    const QString other = files.Folder().filePath(QStringLiteral("other.sqlite"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "other");
        db.setDatabaseName(other);
        ASSERT_TRUE(db.open());
        QSqlQuery(db).exec("CREATE TABLE recipes (name TEXT)");
        db.close();
    }
    QSqlDatabase::removeDatabase("other");
    const struct {
        QString file;
        const char* words;
    } cases[] = {
        {RegisterFile(newer), "newer program"},
        {other, "no card register"},
        {files.Folder().filePath(QStringLiteral("missing.sqlite")), "does not exist"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.words);
        const QByteArray before = QFile::exists(c.file) ? Sha(c.file) : QByteArray();
        ImportSource source;
        QString error;
        EXPECT_FALSE(ReadImportRegisterFile(c.file, source, error));
        EXPECT_TRUE(error.contains(QLatin1String(c.words))) << error.toStdString();
        if (!before.isEmpty()) {
            EXPECT_EQ(Sha(c.file), before);
        }
    }
}

}  // namespace
