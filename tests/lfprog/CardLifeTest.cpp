// lfprog and a card's life in the register: a chip written but its row not confirmed is a
// failure with the register's exit code, and a next-free series that runs out of numbers says
// so with its own; a chip that carries a valid card is not written over unasked; a re-issue
// keeps its reason and never takes a number only reserved; and the register commands that
// find, revoke, resolve and trace a card, and tell where the register is.
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include "LfprogFixture.h"
#include "cards/CardFormat.h"

using namespace lfprogtest;
using namespace std::chrono_literals;

namespace {

std::string RegisterFile(const QTemporaryDir& dir) {
    return dir.filePath("data/Qor Applikationen/Orvex-FSK/register.sqlite").toStdString();
}

// Runs one statement on the register file beside lfprog, as a database administrator would.
void Execute(const std::string& file, const QString& statement) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "guard-test");
        db.setDatabaseName(QString::fromStdString(file));
        ASSERT_TRUE(db.open());
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(statement)) << query.lastError().text().toStdString();
    }
    QSqlDatabase::removeDatabase("guard-test");
}

// A register that takes reservations but refuses every confirmation.
const QString kRefuseConfirm = QStringLiteral(
    "CREATE TRIGGER refuse_confirm BEFORE UPDATE OF state ON cards WHEN NEW.state = 'written' "
    "BEGIN SELECT RAISE(ABORT, 'confirmation refused'); END");

QJsonObject RowOf(long long number) {
    const Result listed =
        RunLfprog({"register", "list", "--number", std::to_string(number), "--json"});
    EXPECT_EQ(listed.exit, 0) << listed.err;
    const std::vector<QJsonObject> rows = JsonLines(listed.out);
    EXPECT_EQ(rows.size(), 1u) << listed.out;
    return rows.empty() ? QJsonObject() : rows[0];
}

// A series' end line; notes may follow it.
QJsonObject EndOf(const std::string& text) {
    for (const QJsonObject& object : JsonLines(text)) {
        if (object["event"].toString() == "end") return object;
    }
    ADD_FAILURE() << "no end line in " << text;
    return {};
}

bool AnyLineContains(const std::string& text, const QString& part) {
    for (const QJsonObject& object : JsonLines(text)) {
        for (const QString& key : {QStringLiteral("error"), QStringLiteral("note")}) {
            if (object[key].toString().contains(part)) return true;
        }
    }
    return false;
}

}  // namespace

TEST_F(Lfprog, AWrittenCardTheRegisterCannotConfirmFailsAndANextFreeSeriesSaysWhenItRunsOut) {
    PlaceFresh();
    ASSERT_EQ(Run({"write", "--number", "1"}).exit, 0);
    Execute(RegisterFile(m_dir), kRefuseConfirm);

    // A single write: the chip carries the card, lfprog reports the register's failure.
    PlaceFresh();
    const Result single = Run({"write", "--number", "2"});
    EXPECT_EQ(single.exit, kExitRegister) << single.out << single.err;
    const QString error = Json(Lines(single.out).back())["error"].toString();
    EXPECT_TRUE(error.contains("not confirmed")) << single.out;
    EXPECT_TRUE(error.contains("confirmation refused")) << single.out;
    EXPECT_EQ(CardOnField(), vellf::EncodeCardWord(26, 0, 2, 0));
    EXPECT_EQ(RowOf(2)["state"].toString(), "reserved");

    // A series: the first card is written but not confirmed, so the series ends there with
    // the card named.
    vsim::CardFeeder feeder(Engine());
    ASSERT_TRUE(feeder.Start({9, 3, 20ms}));
    const Result series = Run({"series", "--from", "5", "--count", "3", "--cycle", "20"});
    feeder.Stop();
    EXPECT_EQ(series.exit, kExitRegister) << series.out << series.err;
    const QJsonObject end = EndOf(series.out);
    EXPECT_EQ(end["reason"].toString(), "register failed") << series.out;
    EXPECT_EQ(end["written"].toInteger(), 1);
    EXPECT_EQ(end["next"].toInteger(), 6);
    EXPECT_TRUE(AnyLineContains(series.out, "written but not confirmed")) << series.out;
    EXPECT_EQ(RowOf(5)["state"].toString(), "reserved");

    // Number 5 stays held: a next-free series up to 5 writes 4 and then has no number left.
    Execute(RegisterFile(m_dir), "DROP TRIGGER refuse_confirm");
    ASSERT_TRUE(feeder.Start({9, 2, 20ms}));
    const Result shortSeries =
        Run({"series", "--from", "4", "--to", "5", "--next-free", "--cycle", "20"});
    feeder.Stop();
    EXPECT_EQ(shortSeries.exit, kExitNoFreeNumber) << shortSeries.out << shortSeries.err;
    const QJsonObject shortEnd = EndOf(shortSeries.out);
    EXPECT_EQ(shortEnd["reason"].toString(), "no free number");
    EXPECT_EQ(shortEnd["written"].toInteger(), 1);
    EXPECT_TRUE(shortEnd["error"].toString().contains("1 of 2 cards written")) << shortSeries.out;
}

TEST_F(Lfprog, AChipThatCarriesAValidCardIsWrittenOverOnlyWhenAskedAndTheEarlierCardIsReplaced) {
    // "Once" pressed twice on one chip: the second number does not land on it unasked.
    PlaceFresh();
    const Result first = Run({"write", "--facility", "3", "--number", "10"});
    ASSERT_EQ(first.exit, 0) << first.out << first.err;
    const QString uid = Json(first.out)["uid"].toString();
    const Result again = Run({"write", "--facility", "3", "--number", "11"});
    EXPECT_EQ(again.exit, kExitDuplicate) << again.out << again.err;
    const QString refusal = Json(Lines(again.out).back())["error"].toString();
    EXPECT_TRUE(refusal.contains("number 10")) << again.out;
    EXPECT_TRUE(refusal.contains("--overwrite")) << again.out;
    EXPECT_EQ(CardOnField(), vellf::EncodeCardWord(26, 3, 10, 0));
    EXPECT_EQ(RunLfprog({"register", "find", "11", "--json"}).exit, kExitFailure);

    const Result over = Run({"write", "--facility", "3", "--number", "11", "--overwrite"});
    ASSERT_EQ(over.exit, 0) << over.out << over.err;
    EXPECT_EQ(CardOnField(), vellf::EncodeCardWord(26, 3, 11, 0));
    const QJsonObject earlier = RowOf(10);
    EXPECT_EQ(earlier["state"].toString(), "replaced");
    EXPECT_EQ(RowOf(11)["uid"].toString(), uid);
    EXPECT_EQ(RowOf(11)["state"].toString(), "written");
    const Result history = RunLfprog({"register", "history", "10", "--json"});
    ASSERT_EQ(history.exit, 0) << history.out << history.err;
    const std::vector<QJsonObject> events = JsonLines(history.out);
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back()["event"].toString(), "replaced") << history.out;
}

TEST_F(Lfprog, ASeriesRefusesAChipThatCarriesAValidCardAndWaitsForAnother) {
    PlaceFresh();
    ASSERT_EQ(Run({"write", "--number", "20"}).exit, 0);
    LfprogProcess series(
        {"series", "--port", m_port, "--json", "--from", "21", "--count", "1", "--cycle", "20"});
    // A note may come first.
    std::optional<QJsonObject> failed;
    while (!failed) {
        const auto line = series.ReadLine(30s);
        ASSERT_TRUE(line) << "no refusal";
        const QJsonObject event = Json(*line);
        ASSERT_NE(event["event"].toString(), "end") << *line;
        if (event["event"] == "failed") failed = event;
    }
    EXPECT_TRUE((*failed)["error"].toString().contains("number 20"))
        << (*failed)["error"].toString().toStdString();
    EXPECT_EQ(CardOnField(), vellf::EncodeCardWord(26, 0, 20, 0));

    // The next chip is written, and the series ends at its count.
    vsim::CardFeeder feeder(Engine());
    ASSERT_TRUE(feeder.Start({9, 1, 20ms}));
    const Result end = series.Finish();
    EXPECT_EQ(end.exit, 0) << end.out << end.err;
    EXPECT_EQ(EndOf(end.out)["written"].toInteger(), 1);
    EXPECT_EQ(RowOf(20)["state"].toString(), "written");
    EXPECT_EQ(RowOf(21)["state"].toString(), "written");
}

TEST_F(Lfprog, AReissueRecordsItsReasonAndANumberOnlyReservedElsewhereIsNotReissued) {
    PlaceFresh();
    ASSERT_EQ(Run({"write", "--number", "40"}).exit, 0);
    PlaceFresh();
    const Result reissued = Run({"write", "--number", "40", "--reissue", "--reason", "lost"});
    ASSERT_EQ(reissued.exit, 0) << reissued.out << reissued.err;
    const Result found = RunLfprog({"register", "find", "40", "--json"});
    ASSERT_EQ(found.exit, 0) << found.out << found.err;
    const std::vector<QJsonObject> cards = JsonLines(found.out);
    ASSERT_EQ(cards.size(), 2u) << found.out;
    EXPECT_EQ(cards[0]["role"].toString(), "valid");
    EXPECT_EQ(cards[0]["uid"].toString(), Json(Lines(reissued.out).back())["uid"].toString());
    EXPECT_EQ(cards[1]["role"].toString(), "earlier");
    EXPECT_EQ(cards[1]["state"].toString(), "replaced");
    const Result history = RunLfprog({"register", "history", "40", "--json"});
    bool reasonKept = false;
    for (const QJsonObject& event : JsonLines(history.out))
        reasonKept |= event["event"] == "reissued" && event["reason"] == "lost";
    EXPECT_TRUE(reasonKept) << history.out;

    // A station that reserved 41 and never confirmed it: its number cannot be re-issued.
    Execute(RegisterFile(m_dir), kRefuseConfirm);
    PlaceFresh();
    ASSERT_EQ(Run({"write", "--number", "41"}).exit, kExitRegister);
    Execute(RegisterFile(m_dir), "DROP TRIGGER refuse_confirm");
    const QString station = RowOf(41)["station"].toString();
    PlaceFresh();
    const Result refused = Run({"write", "--number", "41", "--reissue", "--reason", "broken"});
    EXPECT_EQ(refused.exit, kExitDuplicate) << refused.out << refused.err;
    const QString error = Json(Lines(refused.out).back())["error"].toString();
    EXPECT_TRUE(error.contains("only reserved")) << refused.out;
    EXPECT_TRUE(error.contains(station)) << refused.out;
    EXPECT_FALSE(CardOnField());
    EXPECT_EQ(RunLfprog({"write", "--number", "1", "--reason", "lost", "--port", m_port}).exit,
              kExitUsage);
}

TEST_F(Lfprog, RegisterCommandsRevokeResolveAndTraceACard) {
    // Number 50 under two facility codes: the commands that change a card want to know which.
    for (const char* facility : {"5", "6"}) {
        PlaceFresh();
        ASSERT_EQ(Run({"write", "--facility", facility, "--number", "50"}).exit, 0);
    }
    // Three cards left reserved by a station whose confirmations failed; 60's chip stays on
    // the reader.
    Execute(RegisterFile(m_dir), kRefuseConfirm);
    for (const char* number : {"61", "62", "63", "60"}) {
        PlaceFresh();
        ASSERT_EQ(Run({"write", "--facility", "5", "--number", number}).exit, kExitRegister);
    }
    Execute(RegisterFile(m_dir), "DROP TRIGGER refuse_confirm");
    // 63's write went out and did not check: its chip may carry it.
    Execute(RegisterFile(m_dir), "UPDATE cards SET state = 'unverified' WHERE number = 63");
    const QString chip60 = Json(Run({"read"}).out)["uid"].toString();

    struct Step {
        std::vector<std::string> args;
        int exit;
        long long number;   // the card whose rows are counted afterwards, 0 none
        int rows;           // how many rows it has then
        const char* state;  // the state of the newest of them
    };
    const Step steps[] = {
        {{"revoke", "50", "--reason", "lost"}, kExitUsage, 50, 2, "written"},
        {{"revoke", "50", "--facility", "5", "--reason", "misplaced"}, kExitUsage, 0, 0, ""},
        {{"revoke", "50", "--facility", "5", "--reason", "lost"}, 0, 0, 0, ""},
        {{"revoke", "50", "--facility", "5", "--reason", "stolen"}, kExitFailure, 0, 0, ""},
        {{"revoke", "999", "--reason", "lost"}, kExitFailure, 0, 0, ""},
        {{"resolve", "61"}, kExitUsage, 0, 0, ""},
        {{"resolve", "61", "--release", "--destroyed"}, kExitUsage, 0, 0, ""},
        {{"resolve", "61", "--release"}, 0, 61, 0, ""},
        // An unverified card is released only on the operator's word that its chip was checked.
        {{"resolve", "63", "--release"}, kExitUsage, 63, 1, "unverified"},
        {{"resolve", "63", "--release", "--chip-checked"}, 0, 63, 0, ""},
        // The chip on the reader carries 60, not 62.
        {{"resolve", "62", "--read"}, kExitFailure, 62, 1, "reserved"},
        {{"resolve", "62", "--destroyed"}, 0, 62, 1, "revoked"},
        {{"resolve", "60", "--read"}, 0, 60, 1, "written"},
        {{"resolve", "60", "--release"}, kExitFailure, 60, 1, "written"},
    };
    for (const Step& step : steps) {
        std::vector<std::string> args = {"register"};
        args.insert(args.end(), step.args.begin(), step.args.end());
        SCOPED_TRACE(args[1] + " " + args[2] + " " + args.back());
        if (args[1] == "resolve") args.insert(args.end(), {"--port", m_port});
        args.push_back("--json");
        const Result result = RunLfprog(args);
        EXPECT_EQ(result.exit, step.exit) << result.out << result.err;
        if (step.exit != 0) {
            EXPECT_TRUE(Json(Lines(result.out).back()).contains("error")) << result.out;
        }
        if (step.number == 0) continue;
        const Result listed =
            RunLfprog({"register", "list", "--number", std::to_string(step.number), "--json"});
        const std::vector<QJsonObject> rows = JsonLines(listed.out);
        ASSERT_EQ(rows.size(), static_cast<size_t>(step.rows)) << listed.out;
        if (!rows.empty()) {
            EXPECT_EQ(rows[0]["state"].toString(), step.state);
        }
    }
    EXPECT_EQ(RowOf(60)["uid"].toString(), chip60);
    EXPECT_EQ(CardOnField(), vellf::EncodeCardWord(26, 5, 60, 0));

    const Result history = RunLfprog({"register", "history", "50", "--facility", "5", "--json"});
    ASSERT_EQ(history.exit, 0) << history.err;
    const std::vector<QJsonObject> events = JsonLines(history.out);
    ASSERT_FALSE(events.empty()) << history.out;
    EXPECT_EQ(events.front()["event"].toString(), "reserved");
    EXPECT_EQ(events.back()["event"].toString(), "revoked");
    EXPECT_EQ(events.back()["reason"].toString(), "lost");
}

TEST_F(Lfprog, RegisterWhereNamesTheRegisterInUse) {
    const std::string own = ScratchPath("own.sqlite");
    const QString folder = m_dir.filePath("config/Qor Applikationen");
    ASSERT_TRUE(QDir().mkpath(folder));
    std::ofstream(folder.toStdString() + "/Orvex-FSK.ini")
        << "[Register]\nDatabase=PostgreSQL\nHost=db.example\nName=badges\n";
    const struct {
        std::vector<std::string> args;
        std::string shown;
    } cases[] = {
        {{}, "db.example"},
        {{"--register", own}, own},
        {{"--register", "off"}, "switched off"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"register", "where"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const Result result = RunLfprog(args);
        EXPECT_EQ(result.exit, 0) << result.err;
        EXPECT_NE(result.out.find(c.shown), std::string::npos) << result.out;
    }
    // Nothing was made by asking.
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(own)));
}
