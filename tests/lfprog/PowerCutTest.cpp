// A power cut in the middle of a series: lfprog killed (SIGKILL, nothing of it runs on) at
// several moments of a series on an SQLite register, each time started again, the later runs
// taking the register's next free number from the same start. Afterwards the register and
// the write log agree on every card and no number is on two chips.
#include <signal.h>

#include <QRegularExpression>
#include <set>

#include "ChipRecorder.h"
#include "LfprogFixture.h"
#include "cards/CardFormat.h"

using namespace lfprogtest;
using namespace std::chrono_literals;

namespace {

constexpr int kFacility = 3;

struct LoggedCard {
    long long number;
    QString uid;
};

// The write log: "    N<TAB>dd.MM.yyyy HH:mm:ss<TAB>26 Bit,3,NUMBER,not Locked ATA5577<TAB>UID".
std::vector<LoggedCard> LoggedCards(const std::string& text) {
    static const QRegularExpression layout(
        "^ *\\d+\\t[\\d. :]+\\t26 Bit,3,(\\d+),not Locked ATA5577\\t([0-9A-F]+)\\r$");
    std::vector<LoggedCard> cards;
    for (const std::string& line : Lines(text)) {
        const QRegularExpressionMatch match = layout.match(QString::fromStdString(line));
        EXPECT_TRUE(match.hasMatch()) << "a cut or foreign log line: " << line;
        if (match.hasMatch()) cards.push_back({match.captured(1).toLongLong(), match.captured(2)});
    }
    return cards;
}

}  // namespace

TEST_F(Lfprog, KilledSeriesLeaveTheRegisterAndTheLogAgreeingAndNoNumberTwice) {
    ChipRecorder chips(Engine());
    vsim::CardFeeder feeder(Engine());
    ASSERT_TRUE(feeder.Start({9, 1000, 10ms}));
    const std::string log = ScratchPath("series.txt");
    auto series = [&](bool nextFree, const char* count) {
        std::vector<std::string> args = {
            "series",  "--port", m_port,       "--json",
            "--from",  "1000",   "--facility", std::to_string(kFacility),
            "--count", count,    "--log",      log,
            "--cycle", "10"};
        if (nextFree) args.push_back("--next-free");
        return args;
    };
    // The card line comes before the log line and the confirmation, so a kill at once falls
    // between them; later ones fall into the feeder's change of chips and the next chip's
    // detection, reservation and write.
    struct Kill {
        int cards;  // card lines seen before the kill
        std::chrono::milliseconds after;
    };
    const Kill kills[] = {{2, 0ms}, {1, 0ms}, {1, 120ms}, {2, 230ms}, {1, 290ms}};
    // The station comes back once the operator has taken the last written card away: a chip
    // without a card lies on the reader (a fresh one, or one the kill caught half written).
    auto waitForUnwrittenChip = [&] {
        for (int i = 0; i < 250; ++i) {
            const auto field = Engine().FieldSnapshot();
            if (field && !field->cardWord) return true;
            std::this_thread::sleep_for(20ms);
        }
        return false;
    };
    // Cards the runs printed: each is printed before its log line.
    size_t printed = 0;
    auto countCards = [&printed](const std::string& output) {
        for (const std::string& line : Lines(output)) {
            if (Json(line)["event"] == "card") ++printed;
        }
    };
    bool first = true;
    for (const Kill& kill : kills) {
        ASSERT_TRUE(waitForUnwrittenChip());
        LfprogProcess run(series(!first, "100"));
        first = false;
        std::string read;
        for (int cards = 0; cards < kill.cards;) {
            const auto line = run.ReadLine(30s);
            if (!line) {
                const Result stuck = run.Finish(1s);
                FAIL() << "no card line:\n"
                       << read << stuck.out << stuck.err << "feeder "
                       << vsim::CardFeeder::StateName(feeder.GetProgress().state);
            }
            read += *line + "\n";
            const QJsonObject event = Json(*line);
            ASSERT_NE(event["event"].toString(), "end") << *line;
            if (event["event"] == "card") ++cards;
        }
        printed += static_cast<size_t>(kill.cards);
        std::this_thread::sleep_for(kill.after);
        run.Signal(SIGKILL);
        const Result killed = run.Finish();
        EXPECT_EQ(killed.exit, 128 + SIGKILL);
        countCards(killed.out);
    }
    // After the last cut the series goes on and ends by itself.
    ASSERT_TRUE(waitForUnwrittenChip());
    const Result last = RunLfprog(series(true, "3"));
    ASSERT_EQ(last.exit, 0) << last.out << last.err;
    EXPECT_EQ(Json(Lines(last.out).back())["reason"].toString(), "count");
    countCards(last.out);
    feeder.Stop();

    const Result listed = RunLfprog({"register", "list", "--json"});
    ASSERT_EQ(listed.exit, 0) << listed.err;
    std::map<long long, QJsonObject> rowOf;
    int reserved = 0;
    for (const QJsonObject& row : JsonLines(listed.out)) {
        const long long number = row["number"].toInteger();
        EXPECT_FALSE(row["reissue"].toBool());
        EXPECT_TRUE(rowOf.emplace(number, row).second) << "number " << number << " twice";
        if (row["state"] == "reserved") ++reserved;
    }
    // Only a card caught by a kill may be held unconfirmed.
    EXPECT_LE(reserved, static_cast<int>(std::size(kills)));

    // Every logged card is in the register, with its chip.
    const std::vector<LoggedCard> logged = LoggedCards(ReadFile(log));
    // A kill costs at most the log line of the card in hand.
    EXPECT_LE(logged.size(), printed);
    EXPECT_GE(logged.size() + std::size(kills), printed);
    std::set<long long> loggedNumbers;
    for (const LoggedCard& card : logged) {
        EXPECT_TRUE(loggedNumbers.insert(card.number).second) << "logged twice: " << card.number;
        ASSERT_TRUE(rowOf.count(card.number)) << "logged but not registered: " << card.number;
        const QJsonObject& row = rowOf.at(card.number);
        if (row["state"] == "written") {
            EXPECT_EQ(row["uid"].toString(), card.uid) << card.number;
        }
    }
    // Every confirmed card is in the log.
    for (const auto& [number, row] : rowOf) {
        if (row["state"] == "written") {
            EXPECT_TRUE(loggedNumbers.count(number)) << number;
        }
    }
    // What the chips carry: no number on two chips, every number on a chip is held by the
    // register, and a confirmed row names the chip that carries its number.
    std::map<long long, QString> chipOf;
    for (const auto& [uid, word] : chips.Cards()) {
        const vellf::DecodedCard card = vellf::DecodeCardWord(26, word);
        ASSERT_EQ(card.status, vellf::kCardOk) << uid.toStdString();
        EXPECT_EQ(card.fieldA, static_cast<uint32_t>(kFacility));
        const long long number = card.fieldB;
        EXPECT_TRUE(chipOf.emplace(number, uid).second)
            << "number " << number << " on " << chipOf[number].toStdString() << " and "
            << uid.toStdString();
        ASSERT_TRUE(rowOf.count(number)) << "on a chip but not registered: " << number;
        if (rowOf.at(number)["state"] == "written") {
            EXPECT_EQ(rowOf.at(number)["uid"].toString(), uid) << number;
        }
    }
    for (const auto& [number, row] : rowOf) {
        if (row["state"] == "written") {
            EXPECT_TRUE(chipOf.count(number)) << "confirmed but on no chip: " << number;
        }
    }
    if (HasFailure()) {
        std::string chipText;
        for (const auto& [number, uid] : chipOf)
            chipText += std::to_string(number) + " " + uid.toStdString() + "\n";
        ADD_FAILURE() << "register:\n"
                      << listed.out << "log:\n"
                      << ReadFile(log) << "chips:\n"
                      << chipText;
    }
}
