// lfprog on a card register in a real PostgreSQL server that the test starts: two stations
// (two lfprog processes, each with a virtual reader of its own and chips fed to it) taking
// the register's next free number from one start value at once, and a server that goes away
// in the middle of a series.
#include <signal.h>

#include <set>

#include "ChipRecorder.h"
#include "LfprogFixture.h"
#include "PgServer.h"
#include "cards/CardFormat.h"

using namespace lfprogtest;
using namespace std::chrono_literals;

namespace {

class LfprogPostgres : public Lfprog {
  protected:
    void SetUp() override {
        Lfprog::SetUp();
        ASSERT_TRUE(m_server.Start()) << m_server.Error().toStdString() << "\n"
                                      << m_server.LogTail().toStdString();
        // The password only in a pass file, as the set-up of several stations has it.
        m_env = {{"PGPASSFILE", m_server.WritePassFile().toStdString()}};
        unsetenv("PGPASSWORD");
        m_url = "postgresql://" + m_server.User().toStdString() + "@" +
                m_server.Host().toStdString() + ":" + std::to_string(m_server.Port()) + "/" +
                m_server.Database().toStdString();
    }

    std::vector<QJsonObject> RegisterRows() {
        const Result listed = RunLfprog({"register", "list", "--json", "--register", m_url}, m_env);
        EXPECT_EQ(listed.exit, 0) << listed.out << listed.err;
        return JsonLines(listed.out);
    }

    std::vector<std::string> Series(const std::string& port, const char* count) const {
        return {"series",  "--port", port,      "--json", "--from",     "100", "--facility", "5",
                "--count", count,    "--cycle", "10",     "--register", m_url, "--next-free"};
    }

    pgtest::PgServer m_server;
    std::map<std::string, std::string> m_env;
    std::string m_url;
};

}  // namespace

TEST_F(LfprogPostgres, TwoStationsShareOneSeriesWithoutGapsOrDuplicates) {
    vsim::VirtualReader second;
    ASSERT_TRUE(second.Start());
    ChipRecorder chipsA(Engine());
    ChipRecorder chipsB(second.Engine());
    vsim::CardFeeder feederA(Engine());
    vsim::CardFeeder feederB(second.Engine());
    constexpr unsigned kEach = 12;
    ASSERT_TRUE(feederA.Start({9, kEach, 5ms}));
    ASSERT_TRUE(feederB.Start({9, kEach, 5ms}));

    LfprogProcess stationA(Series(m_port, "12"), m_env);
    LfprogProcess stationB(Series(second.Path(), "12"), m_env);
    const Result a = stationA.Finish(120s);
    const Result b = stationB.Finish(120s);
    ASSERT_EQ(a.exit, 0) << a.out << a.err;
    ASSERT_EQ(b.exit, 0) << b.out << b.err;
    std::vector<long long> writtenA;
    std::vector<long long> writtenB;
    for (const QJsonObject& event : JsonLines(a.out))
        if (event["event"] == "card") writtenA.push_back(event["number"].toInteger());
    for (const QJsonObject& event : JsonLines(b.out))
        if (event["event"] == "card") writtenB.push_back(event["number"].toInteger());
    EXPECT_EQ(writtenA.size(), kEach);
    EXPECT_EQ(writtenB.size(), kEach);
    EXPECT_EQ(FedAndWritten(feederA, kEach), kEach);
    EXPECT_EQ(FedAndWritten(feederB, kEach), kEach);

    // Every number from the start once, none left out, each on the chip its row names.
    std::map<QString, uint64_t> onChips = chipsA.Cards();
    const std::map<QString, uint64_t> onB = chipsB.Cards();
    onChips.insert(onB.begin(), onB.end());
    EXPECT_EQ(onChips.size(), 2 * kEach);
    std::set<long long> numbers;
    for (const QJsonObject& row : RegisterRows()) {
        const long long number = row["number"].toInteger();
        EXPECT_TRUE(numbers.insert(number).second) << "number " << number << " twice";
        EXPECT_EQ(row["state"].toString(), "written") << number;
        EXPECT_FALSE(row["reissue"].toBool());
        const QString uid = row["uid"].toString();
        ASSERT_TRUE(onChips.count(uid)) << "no chip " << uid.toStdString();
        EXPECT_EQ(onChips.at(uid), vellf::EncodeCardWord(26, 5, static_cast<uint32_t>(number), 0))
            << number;
    }
    std::set<long long> expected;
    for (long long n = 100; n < 100 + 2 * static_cast<long long>(kEach); ++n) expected.insert(n);
    EXPECT_EQ(numbers, expected);
    // What the stations printed is what the register holds.
    std::set<long long> both(writtenA.begin(), writtenA.end());
    both.insert(writtenB.begin(), writtenB.end());
    EXPECT_EQ(both, expected);
}

TEST_F(LfprogPostgres, AServerGoneInTheMiddleOfASeriesStopsItBeforeTheNextWrite) {
    ChipRecorder chips(Engine());
    vsim::CardFeeder feeder(Engine());
    ASSERT_TRUE(feeder.Start({9, 50, 5ms}));
    LfprogProcess station(Series(m_port, "50"), m_env);
    for (int cards = 0; cards < 2;) {
        const auto line = station.ReadLine(30s);
        ASSERT_TRUE(line) << "no card line";
        if (Json(*line)["event"] == "card") ++cards;
    }
    ASSERT_TRUE(m_server.Stop()) << m_server.Error().toStdString();
    const Result result = station.Finish(60s);
    EXPECT_EQ(result.exit, kExitRegister) << result.out << result.err;
    // A card written but not confirmed is listed after the end line.
    QJsonObject end;
    for (const QJsonObject& line : JsonLines(result.out)) {
        if (line["event"] == "end") end = line;
    }
    EXPECT_EQ(end["reason"].toString(), "register failed") << result.out;
    EXPECT_FALSE(end["error"].toString().isEmpty());
    feeder.Stop();

    // Back again, the register holds every number that is on a chip.
    ASSERT_TRUE(m_server.Start()) << m_server.Error().toStdString();
    std::map<long long, QJsonObject> rowOf;
    for (const QJsonObject& row : RegisterRows()) rowOf.emplace(row["number"].toInteger(), row);
    EXPECT_GE(rowOf.size(), 2u);
    for (const auto& [uid, word] : chips.Cards()) {
        const vellf::DecodedCard card = vellf::DecodeCardWord(26, word);
        ASSERT_EQ(card.status, vellf::kCardOk);
        ASSERT_TRUE(rowOf.count(card.fieldB)) << "on a chip but not registered: " << card.fieldB;
        if (rowOf.at(card.fieldB)["state"] == "written") {
            EXPECT_EQ(rowOf.at(card.fieldB)["uid"].toString(), uid);
        }
    }
}
