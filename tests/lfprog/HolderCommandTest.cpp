// lfprog's cards for people against the virtual reader: series --holders-without-card, issue
// and lost --holder on an SQLite register, with the register read back in-process; and two
// lfprog processes running a series over the same holders of one PostgreSQL register at once.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <algorithm>
#include <map>
#include <memory>
#include <set>

#include "LfprogFixture.h"
#include "PgServer.h"
#include "station/register/CardRegister.h"
#include "station/register/Holders.h"

using namespace lfprogtest;
using namespace std::chrono_literals;
using station::CCardRegister;
using station::Holder;
using station::RegisterEntry;
using station::RegisterSettings;

namespace {

class LfprogHolders : public Lfprog {
  protected:
    // Qt SQL loads its drivers only with an application object.
    static void SetUpTestSuite() {
        if (QCoreApplication::instance() == nullptr) s_app = new QCoreApplication(s_argc, s_argv);
    }
    static void TearDownTestSuite() {
        delete s_app;
        s_app = nullptr;
    }

    // Holders P1 Anna, P2 Bert, ... in list order; their row ids in m_ids.
    void AddHolders(CCardRegister& cardRegister, int count) {
        static const char* const kNames[] = {"Anna", "Bert", "Carl", "Dora", "Emil",
                                             "Fritz", "Gina", "Hugo", "Ida", "Jan"};
        for (int i = 0; i < count; ++i) {
            Holder holder;
            holder.personnelNumber = QStringLiteral("P%1").arg(i + 1);
            holder.name = QString::fromLatin1(kNames[i % 10]);
            holder.department = i % 2 == 0 ? QStringLiteral("Sales") : QStringLiteral("Workshop");
            ASSERT_TRUE(cardRegister.SaveHolder(holder)) << cardRegister.LastError().toStdString();
            m_ids.push_back(holder.id);
        }
    }
    static std::vector<RegisterEntry> Rows(CCardRegister& cardRegister) {
        auto rows = cardRegister.List(station::RegisterFilter{});
        EXPECT_TRUE(rows.has_value()) << cardRegister.LastError().toStdString();
        return rows.value_or(std::vector<RegisterEntry>{});
    }
    // A refusal ends up in logs: it names the holder by the personnel number typed, not by name.
    static void ExpectRefusalNamesOnly(const char* personnelNumber, const char* name,
                                       const Result& result) {
        const std::string said = result.out + result.err;
        EXPECT_NE(said.find(personnelNumber), std::string::npos) << said;
        EXPECT_EQ(said.find(name), std::string::npos) << said;
    }
    static std::vector<QJsonObject> Events(const std::string& out, const char* event) {
        std::vector<QJsonObject> found;
        for (const QJsonObject& line : JsonLines(out))
            if (line["event"] == event) found.push_back(line);
        return found;
    }

    std::vector<std::int64_t> m_ids;

  private:
    static inline int s_argc = 1;
    static inline char s_name[] = "lfprog_tests";
    static inline char* s_argv[] = {s_name, nullptr};
    static inline QCoreApplication* s_app = nullptr;
};

class LfprogHoldersSqlite : public LfprogHolders {
  protected:
    void SetUp() override {
        LfprogHolders::SetUp();
        m_file = ScratchPath("register.sqlite");
        RegisterSettings settings;
        settings.file = QString::fromStdString(m_file);
        m_register = std::make_unique<CCardRegister>(settings, QStringLiteral("test"));
        AddHolders(*m_register, 3);
    }
    Result Run(std::vector<std::string> args) {
        args.insert(args.end(), {"--register", m_file, "--from", "100"});
        return Lfprog::Run(args);
    }

    std::string m_file;
    std::unique_ptr<CCardRegister> m_register;
};

}  // namespace

TEST_F(LfprogHoldersSqlite, SeriesGivesEveryHolderACardAndTheLogNamesNobody) {
    vsim::CardFeeder feeder(Engine());
    ASSERT_TRUE(feeder.Start({9, 3, 5ms}));
    const std::string log = ScratchPath("write.log");
    const Result result =
        Run({"series", "--holders-without-card", "--cycle", "10", "--log", log});
    ASSERT_EQ(result.exit, 0) << result.out << result.err;
    std::vector<QString> names;
    for (const QJsonObject& card : Events(result.out, "card"))
        names.push_back(card["name"].toString());
    EXPECT_EQ(names, (std::vector<QString>{"Anna", "Bert", "Carl"}));
    const auto end = Events(result.out, "end");
    ASSERT_EQ(end.size(), 1u);
    EXPECT_EQ(end[0]["reason"].toString(), "every holder served");

    std::map<std::int64_t, std::int64_t> holderOf;
    for (const RegisterEntry& row : Rows(*m_register)) holderOf[row.fields.number] = row.holder;
    EXPECT_EQ(holderOf, (std::map<std::int64_t, std::int64_t>{
                            {100, m_ids[0]}, {101, m_ids[1]}, {102, m_ids[2]}}));
    // Personal data stays in the register.
    const std::string written = ReadFile(log);
    EXPECT_FALSE(written.empty());
    for (const char* personal : {"Anna", "Bert", "Carl", "P1", "P2", "P3"})
        EXPECT_EQ(written.find(personal), std::string::npos) << personal;

    // Nobody is left: a second series writes nothing and ends at once.
    const Result again = Run({"series", "--holders-without-card", "--cycle", "10"});
    EXPECT_EQ(again.exit, 0) << again.out << again.err;
    EXPECT_TRUE(Events(again.out, "card").empty());
}

TEST_F(LfprogHoldersSqlite, IssueRefusesASecondCardUnlessAskedAndLostReplacesTheCard) {
    PlaceFresh();
    Result result = Run({"issue", "--holder", "P2", "--facility", "12"});
    ASSERT_EQ(result.exit, 0) << result.out << result.err;
    EXPECT_EQ(Json(result.out)["number"].toInteger(), 100);
    EXPECT_EQ(Json(result.out)["personnel_number"].toString(), "P2");

    PlaceFresh();
    result = Run({"issue", "--holder", "P2"});
    EXPECT_EQ(result.exit, kExitDuplicate) << result.out << result.err;
    ExpectRefusalNamesOnly("P2", "Bert", result);
    result = Run({"issue", "--holder", "P2", "--replace", "broken"});
    ASSERT_EQ(result.exit, 0) << result.out << result.err;
    EXPECT_EQ(Json(result.out)["number"].toInteger(), 101);
    PlaceFresh();
    result = Run({"issue", "--holder", "P2", "--second"});
    ASSERT_EQ(result.exit, 0) << result.out << result.err;
    EXPECT_EQ(Json(result.out)["number"].toInteger(), 102);

    // Lost: with two valid cards the operator must say which; with one, it is revoked and
    // the replacement gets the next free number.
    PlaceFresh();
    result = Run({"lost", "--holder", "P1"});
    EXPECT_EQ(result.exit, kExitFailure) << "P1 has no card: " << result.out;
    ExpectRefusalNamesOnly("P1", "Anna", result);
    result = Run({"lost", "--holder", "P2"});
    EXPECT_EQ(result.exit, kExitUsage) << result.out << result.err;
    ExpectRefusalNamesOnly("P2", "Bert", result);
    const Result returned = RunLfprog({"register", "revoke", "102", "--reason", "returned",
                                       "--register", m_file, "--json"});
    ASSERT_EQ(returned.exit, 0) << returned.out << returned.err;
    result = Run({"lost", "--holder", "P2"});
    ASSERT_EQ(result.exit, 0) << result.out << result.err;
    const auto lines = JsonLines(result.out);
    ASSERT_EQ(lines.size(), 2u) << result.out;
    EXPECT_EQ(lines[0]["number"].toInteger(), 101);
    EXPECT_EQ(lines[1]["number"].toInteger(), 103);

    std::map<std::int64_t, std::pair<RegisterEntry::State, QString>> stateOf;
    for (const RegisterEntry& row : Rows(*m_register)) {
        EXPECT_EQ(row.holder, m_ids[1]);
        stateOf[row.fields.number] = {row.state, row.reason};
        // The replacement's reason is in the replaced card's history.
        if (row.fields.number != 100) continue;
        const auto events = m_register->History(row.id);
        ASSERT_TRUE(events.has_value());
        EXPECT_TRUE(std::any_of(events->begin(), events->end(), [](const auto& event) {
            return event.kind == "replaced" && event.reason == "broken";
        }));
    }
    using State = RegisterEntry::State;
    EXPECT_EQ(stateOf, (std::map<std::int64_t, std::pair<State, QString>>{
                           {100, {State::Replaced, ""}},
                           {101, {State::Revoked, "lost"}},
                           {102, {State::Revoked, "returned"}},
                           {103, {State::Written, ""}}}));

    // The access-control system's lists agree: Bert's new card valid, the other two blocked.
    const auto exported = [&](const char* which) {
        const Result result =
            RunLfprog({"register", "export", "-", which, "--register", m_file});
        EXPECT_EQ(result.exit, 0) << result.out << result.err;
        std::vector<std::string> rows = Lines(result.out);
        if (!rows.empty()) rows.erase(rows.begin());  // the header
        return rows;
    };
    const auto valid = exported("--valid");
    ASSERT_EQ(valid.size(), 1u);
    for (const char* part : {"P2", "Bert", "103"})
        EXPECT_NE(valid[0].find(part), std::string::npos) << valid[0];
    const auto blocked = exported("--blocked");
    ASSERT_EQ(blocked.size(), 2u);
    const std::string blockedText = blocked[0] + "\n" + blocked[1];
    for (const char* part : {",101,", "lost", ",102,", "returned"})
        EXPECT_NE(blockedText.find(part), std::string::npos) << blockedText;
}

TEST_F(LfprogHoldersSqlite, LostCardIsRevokedOnlyWithAChipAndAFailedReplacementSaysSo) {
    PlaceFresh();
    ASSERT_EQ(Run({"issue", "--holder", "P3", "--facility", "12"}).exit, 0);
    // No chip: the lost card stays valid, nothing half done.
    Engine().RemoveTransponder();
    Result result = Run({"lost", "--holder", "P3"});
    EXPECT_EQ(result.exit, kExitNoCard) << result.out << result.err;
    EXPECT_NE(result.out.find("stays valid, nothing revoked"), std::string::npos) << result.out;
    ASSERT_EQ(Rows(*m_register).size(), 1u);
    EXPECT_EQ(Rows(*m_register)[0].state, RegisterEntry::State::Written);

    // A chip that keeps its old data: revoked, and the command says the replacement failed.
    auto weak = vsim::MakeFreshChip(9);
    weak->SetWeak(true);
    Engine().PlaceTransponder(std::move(weak));
    result = Run({"lost", "--holder", "P3"});
    EXPECT_NE(result.exit, 0) << result.out << result.err;
    EXPECT_NE((result.out + result.err).find("stays revoked"), std::string::npos)
        << result.out << result.err;
    const auto rows = Rows(*m_register);
    const auto lost = std::find_if(rows.begin(), rows.end(),
                                   [](const RegisterEntry& row) { return row.fields.number == 100; });
    ASSERT_NE(lost, rows.end());
    EXPECT_EQ(lost->state, RegisterEntry::State::Revoked);
    EXPECT_EQ(lost->reason, "lost");
    // The replacement that did not verify is held as unverified, for the operator to resolve.
    const auto replacement = std::find_if(rows.begin(), rows.end(), [](const RegisterEntry& row) {
        return row.fields.number == 101;
    });
    ASSERT_NE(replacement, rows.end());
    EXPECT_EQ(replacement->state, RegisterEntry::State::Unverified);
}

TEST_F(LfprogHoldersSqlite, LostWithSeveralValidCardsRevokesTheOneNumbered) {
    PlaceFresh();
    ASSERT_EQ(Run({"issue", "--holder", "P1", "--facility", "12"}).exit, 0);
    PlaceFresh();
    ASSERT_EQ(Run({"issue", "--holder", "P1", "--second"}).exit, 0);
    PlaceFresh();
    Result result = Run({"lost", "--holder", "P1"});
    EXPECT_EQ(result.exit, kExitUsage) << result.out << result.err;
    EXPECT_NE(result.out.find("--number"), std::string::npos) << result.out;
    result = Run({"lost", "--holder", "P1", "--number", "555"});
    EXPECT_EQ(result.exit, kExitFailure) << result.out << result.err;
    result = Run({"lost", "--holder", "P1", "--number", "100"});
    ASSERT_EQ(result.exit, 0) << result.out << result.err;
    const auto lines = JsonLines(result.out);
    ASSERT_EQ(lines.size(), 2u) << result.out;
    EXPECT_EQ(lines[0]["number"].toInteger(), 100);
    EXPECT_EQ(lines[1]["number"].toInteger(), 102);
    std::map<std::int64_t, RegisterEntry::State> stateOf;
    for (const RegisterEntry& row : Rows(*m_register)) {
        EXPECT_EQ(row.holder, m_ids[0]);
        stateOf[row.fields.number] = row.state;
    }
    using State = RegisterEntry::State;
    EXPECT_EQ(stateOf, (std::map<std::int64_t, State>{
                           {100, State::Revoked}, {101, State::Written}, {102, State::Written}}));
}

// A first card never gets facility 0 by default: the station's settings lend theirs, and the
// command says so; without them it is refused. A later card takes the earlier card's.
TEST_F(LfprogHoldersSqlite, FirstCardTakesTheStationsFacilityOrIsRefused) {
    PlaceFresh();
    Result result = Run({"issue", "--holder", "P1"});
    EXPECT_EQ(result.exit, kExitUsage) << result.out << result.err;
    EXPECT_NE(result.out.find("--facility"), std::string::npos) << result.out;
    EXPECT_EQ(Engine().FieldWriteCount(), 0u);

    const QString folder = qEnvironmentVariable("XDG_CONFIG_HOME") + "/Qor Applikationen";
    ASSERT_TRUE(QDir().mkpath(folder));
    QFile settings(folder + "/Orvex-FSK.ini");
    ASSERT_TRUE(settings.open(QIODevice::WriteOnly));
    settings.write("[Settings]\nFacilityCode=12\n");
    settings.close();
    result = Run({"issue", "--holder", "P1"});
    ASSERT_EQ(result.exit, 0) << result.out << result.err;
    const auto lines = JsonLines(result.out);
    ASSERT_EQ(lines.size(), 2u) << result.out;
    EXPECT_NE(lines[0]["note"].toString().indexOf("facility 12 from the station's settings"), -1)
        << result.out;
    EXPECT_EQ(lines[1]["facility"].toInteger(), 12) << result.out;
    // The holder's next card, after the first was lost, keeps the site's facility code.
    ASSERT_TRUE(settings.remove());
    PlaceFresh();
    ASSERT_EQ(Run({"lost", "--holder", "P1"}).exit, 0);
    ASSERT_EQ(RunLfprog({"register", "revoke", "101", "--reason", "destroyed", "--register",
                         m_file}).exit, 0);
    PlaceFresh();
    result = Run({"issue", "--holder", "P1"});
    ASSERT_EQ(result.exit, 0) << result.out << result.err;
    EXPECT_EQ(Json(result.out)["facility"].toInteger(), 12) << result.out;
}

TEST_F(LfprogHoldersSqlite, WrongHolderOptionsAreRefusedBeforeAnyChipIsWritten) {
    PlaceFresh();
    const struct {
        std::vector<std::string> args;
        int exit;
    } cases[] = {
        {{"issue"}, kExitUsage},
        {{"issue", "--holder", "P9"}, kExitFailure},
        {{"issue", "--holder", "P1", "--second", "--replace", "broken"}, kExitUsage},
        {{"lost"}, kExitUsage},
        {{"series", "--department", "Sales", "--count", "1"}, kExitUsage},
    };
    for (const auto& [args, exit] : cases) {
        const Result result = Run(args);
        EXPECT_EQ(result.exit, exit) << args[0] << " " << result.out << result.err;
    }
    const Result off = Lfprog::Run({"issue", "--holder", "P1", "--from", "1", "--register", "off"});
    EXPECT_EQ(off.exit, kExitUsage) << off.out << off.err;
    EXPECT_EQ(Engine().FieldWriteCount(), 0u);
    EXPECT_TRUE(Rows(*m_register).empty());
}

TEST_F(LfprogHolders, TwoStationsServingTheSameHoldersFromPostgreSqlGiveEachOneCard) {
    pgtest::PgServer server;
    ASSERT_TRUE(server.Start()) << server.Error().toStdString() << server.LogTail().toStdString();
    const std::map<std::string, std::string> env = {
        {"PGPASSFILE", server.WritePassFile().toStdString()}};
    qputenv("PGPASSWORD", server.Password().toUtf8());
    RegisterSettings settings;
    settings.kind = RegisterSettings::Kind::PostgreSQL;
    settings.host = server.Host();
    settings.port = server.Port();
    settings.database = server.Database();
    settings.user = server.User();
    constexpr int kHolders = 8;
    {
        // Closed again before the stations start: only they use the register meanwhile.
        CCardRegister cardRegister(settings, QStringLiteral("test"));
        AddHolders(cardRegister, kHolders);
    }
    const std::string url = "postgresql://" + server.User().toStdString() + "@" +
                            server.Host().toStdString() + ":" + std::to_string(server.Port()) +
                            "/" + server.Database().toStdString();

    vsim::VirtualReader second;
    ASSERT_TRUE(second.Start());
    vsim::CardFeeder feederA(Engine());
    vsim::CardFeeder feederB(second.Engine());
    ASSERT_TRUE(feederA.Start({9, kHolders, 5ms}));
    ASSERT_TRUE(feederB.Start({9, kHolders, 5ms}));
    const auto series = [&](const std::string& port) {
        return std::vector<std::string>{"series", "--holders-without-card", "--port", port,
                                        "--json", "--from", "100", "--cycle", "10",
                                        "--register", url};
    };
    LfprogProcess stationA(series(m_port), env);
    LfprogProcess stationB(series(second.Path()), env);
    const Result a = stationA.Finish(120s);
    const Result b = stationB.Finish(120s);
    ASSERT_EQ(a.exit, 0) << a.out << a.err;
    ASSERT_EQ(b.exit, 0) << b.out << b.err;
    EXPECT_EQ(Events(a.out, "card").size() + Events(b.out, "card").size(),
              static_cast<std::size_t>(kHolders));

    CCardRegister cardRegister(settings, QStringLiteral("test"));
    std::map<std::int64_t, int> cardsOf;
    std::set<std::int64_t> numbers;
    for (const RegisterEntry& row : Rows(cardRegister)) {
        EXPECT_EQ(row.state, RegisterEntry::State::Written) << row.fields.number;
        EXPECT_TRUE(numbers.insert(row.fields.number).second) << row.fields.number;
        ++cardsOf[row.holder];
    }
    EXPECT_EQ(cardsOf.size(), static_cast<std::size_t>(kHolders));
    for (const std::int64_t id : m_ids) EXPECT_EQ(cardsOf[id], 1) << "holder " << id;
}
