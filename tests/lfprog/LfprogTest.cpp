// lfprog against the virtual reader over a pseudo-terminal: every format written and read
// back, locking, values refused before anything is sent, the exit codes, a series fed chip
// by chip with its log and JSON lines, and Ctrl-C in the middle of a series.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <unistd.h>

#include <QRegularExpression>

#include "LfprogFixture.h"
#include "cards/CardFormat.h"

using namespace lfprogtest;
using namespace std::chrono_literals;

TEST_F(Lfprog, WritesAndReadsBackEveryFormatAtItsLargestValues) {
    struct Case {
        const char* format;
        int code;  // the SDK's format code the card carries
        std::vector<std::string> fields;
        uint32_t a, b, c;  // the card word's fields
        long long number;
    };
    // The largest values catch a number cut or split at the wrong bit.
    const Case cases[] = {
        {"26", 26, {"--facility", "255"}, 255, 65535, 0, 65535},
        {"26-huge", 26, {}, 0xFF, 0xFFFF, 0, 16777215},
        {"34", 34, {"--facility", "65535"}, 65535, 65535, 0, 65535},
        {"34-nc", 134, {"--facility", "65535"}, 65535, 65535, 0, 65535},
        {"35", 35, {"--facility", "4095"}, 4095, 1048575, 0, 1048575},
        {"36", 36, {"--facility", "255", "--extra", "1023"}, 255, 65535, 1023, 65535},
        {"37", 37, {"--facility", "65535"}, 65535, 524287, 0, 524287},
        {"37-huge", 37, {}, 0xFFFF, 0x7FFFF, 0, 34359738367},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        PlaceFresh();
        // 26 Huge at its largest is the card 26 writes at its largest (37 likewise), which the
        // register refuses as a duplicate; the encoding is what counts here.
        std::vector<std::string> args = {
            "write",      "--format", c.format, "--number", std::to_string(c.number),
            "--register", "off"};
        args.insert(args.end(), c.fields.begin(), c.fields.end());
        const Result written = Run(args);
        ASSERT_EQ(written.exit, 0) << written.out << written.err;
        const QJsonObject report = Json(written.out);
        EXPECT_TRUE(report["verified"].toBool());
        EXPECT_EQ(CardOnField(), vellf::EncodeCardWord(c.code, c.a, c.b, c.c));

        const Result read = Run({"read", "--format", c.format});
        ASSERT_EQ(read.exit, 0) << read.out << read.err;
        const QJsonObject card = Json(read.out);
        EXPECT_EQ(card["number"].toInteger(), c.number);
        EXPECT_EQ(card["format"].toString().toStdString(), c.format);
        if (!c.fields.empty()) {
            EXPECT_EQ(card["facility"].toInteger(), c.a);
        }
        if (c.code == 36) {
            EXPECT_EQ(card["extra"].toInteger(), 1023);
        }
        EXPECT_FALSE(card["uid"].toString().isEmpty());
    }
}

TEST_F(Lfprog, LockLocksTheChipAndASecondWriteFails) {
    PlaceFresh();
    const Result locked = Run({"write", "--number", "42", "--lock"});
    ASSERT_EQ(locked.exit, 0) << locked.out << locked.err;
    EXPECT_TRUE(Json(locked.out)["locked"].toBool());
    const auto field = Engine().FieldSnapshot();
    ASSERT_TRUE(field);
    for (size_t block = 0; block < 4; ++block) EXPECT_TRUE(field->locked.at(block)) << block;

    // Asked to write over the card the register holds on it, the locked chip refuses.
    const Result again = Run({"write", "--number", "43", "--overwrite"});
    EXPECT_EQ(again.exit, kExitFailure);
    const QJsonObject error = Json(Lines(again.out).back());
    EXPECT_TRUE(error.contains("error"));
    EXPECT_GT(error["sdk_error"].toInt(), 0);
    EXPECT_EQ(CardOnField(), vellf::EncodeCardWord(26, 0, 42, 0));
}

TEST_F(Lfprog, RefusesValuesOutOfRangeBeforeAnythingIsSent) {
    const std::vector<std::vector<std::string>> cases = {
        {"--format", "26", "--number", "65536"},
        {"--format", "26", "--number", "-1"},
        {"--format", "26", "--facility", "256", "--number", "1"},
        {"--format", "26-huge", "--number", "16777216"},
        {"--format", "26-huge", "--facility", "1", "--number", "1"},
        {"--format", "35", "--facility", "4096", "--number", "1"},
        {"--format", "36", "--extra", "1024", "--number", "1"},
        {"--format", "34", "--extra", "1", "--number", "1"},
        {"--format", "37", "--number", "524288"},
        {"--format", "37-huge", "--number", "34359738368"},
        {"--format", "37-huge", "--number", "99999999999999999999"},
        {"--format", "38", "--number", "1"},
        {"--chip", "em4100", "--number", "1"},
        {"--number", "12abc"},
    };
    PlaceFresh();
    Engine().ClearRequests();
    for (std::vector<std::string> args : cases) {
        args.insert(args.begin(), "write");
        const Result result = Run(args);
        EXPECT_EQ(result.exit, kExitUsage) << args[2] << " " << args.back() << result.out;
        EXPECT_TRUE(Json(result.out).contains("error"));
    }
    EXPECT_EQ(Engine().RequestCount(), 0u);
    EXPECT_FALSE(CardOnField());
}

TEST_F(Lfprog, ExitCodesForNoReaderNoCardAndBadUsage) {
    struct Case {
        std::vector<std::string> args;
        std::map<std::string, std::string> env;
        int exit;
    };
    const std::string port = m_port;
    const Case cases[] = {
        {{"info", "--port", "/dev/lfprog-no-such-line"}, {}, kExitNoReader},
        {{"info"}, {}, kExitUsage},
        {{"info"}, {{"LFPROG_PORT", port}}, 0},
        {{"read", "--port", port}, {}, kExitNoCard},
        {{"write", "--port", port, "--number", "1"}, {}, kExitNoCard},
        {{"frobnicate"}, {}, kExitUsage},
        {{"read", "--port", port, "--colour", "red"}, {}, kExitUsage},
        {{"read", "--port", port, "--number", "1"}, {}, kExitUsage},
        {{"write", "--port", port}, {}, kExitUsage},
        {{"series", "--port", port, "--from", "1"}, {}, kExitUsage},
        {{"series", "--port", port, "--from", "1", "--count", "2", "--to", "3"}, {}, kExitUsage},
        {{"series", "--port", port, "--from", "10", "--to", "9"}, {}, kExitUsage},
        {{"series", "--port", port, "--from", "1", "--count", "0"}, {}, kExitUsage},
        {{"lan", "ping"}, {}, kExitUsage},
        {{"info", "extra-word", "--port", port}, {}, kExitUsage},
    };
    for (const Case& c : cases) {
        const Result result = RunLfprog(c.args, c.env);
        EXPECT_EQ(result.exit, c.exit) << c.args[0] << " " << c.args.back() << "\n"
                                       << result.out << result.err;
    }
    // A blank chip answers, but carries no card.
    Engine().PlaceTransponder(vsim::MakeFreshChip(9));
    EXPECT_EQ(RunLfprog({"read", "--port", port}).exit, kExitBlankChip);
    Engine().RemoveTransponder();
    // A reader that stays silent is no reader.
    Engine().SetSilent(true);
    EXPECT_EQ(RunLfprog({"info", "--port", port, "--timeout", "50"}).exit, kExitNoReader);
}

TEST_F(Lfprog, EveryCommandHasItsHelp) {
    for (const char* command : {"list", "info", "read", "write", "series", "lan config", "lan ping",
                                "register list", "register find", "register export", "register backup",
                                "holders list"}) {
        std::vector<std::string> args;
        std::istringstream words(command);
        for (std::string word; words >> word;) args.push_back(word);
        args.push_back("--help");
        const Result result = RunLfprog(args);
        EXPECT_EQ(result.exit, 0) << command;
        EXPECT_EQ(result.out.rfind(std::string("usage: lfprog ") + command, 0), 0u) << result.out;
        // The synopsis (up to the first empty line) names every option the text describes,
        // and the reader's line options wherever it takes a reader.
        const std::string synopsis = result.out.substr(0, result.out.find("\n\n"));
        std::vector<std::string> options;
        static const QRegularExpression described("^  (--[a-z-]+)", QRegularExpression::MultilineOption);
        for (auto match = described.globalMatch(QString::fromStdString(result.out)); match.hasNext();)
            options.push_back(match.next().captured(1).toStdString());
        if (synopsis.find("--port") != std::string::npos) options.insert(options.end(), {"--baud", "--timeout"});
        for (const std::string& option : options) {
            const QRegularExpression named(QString::fromStdString(option) + "(?![a-z-])");
            EXPECT_TRUE(named.match(QString::fromStdString(synopsis)).hasMatch())
                << command << " synopsis lacks " << option << ":\n" << synopsis;
        }
    }
    const Result overview = RunLfprog({"--help"});
    EXPECT_EQ(overview.exit, 0);
    EXPECT_NE(overview.out.find("Exit codes:"), std::string::npos);
}

TEST_F(Lfprog, ALineHeldByAnotherProgramIsNamedAsSuch) {
    // The station holds its line with a lock, as this test does now.
    const int held = open(m_port.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(held, 0);
    ASSERT_EQ(flock(held, LOCK_EX | LOCK_NB), 0);
    const Result busy = RunLfprog({"info", "--port", m_port});
    EXPECT_EQ(busy.exit, kExitNoReader);
    EXPECT_NE(busy.err.find("in use by another program: process " + std::to_string(getpid())),
              std::string::npos)
        << busy.err;
    close(held);
    EXPECT_EQ(RunLfprog({"info", "--port", m_port}).exit, 0);

    const Result missing = RunLfprog({"info", "--port", m_port + "-gone"});
    EXPECT_EQ(missing.exit, kExitNoReader);
    EXPECT_NE(missing.err.find("no such line"), std::string::npos) << missing.err;
}

TEST_F(Lfprog, ASeriesSaysWhenTheReaderFallsSilentAndWhenItAnswersAgain) {
    LfprogProcess series({"series", "--port", m_port, "--json", "--from", "1", "--count", "1",
                          "--cycle", "20", "--timeout", "100"});
    const auto waiting = series.ReadLine(20s);
    ASSERT_TRUE(waiting);
    EXPECT_TRUE(Json(*waiting).contains("note")) << *waiting;
    // Waiting for chips, it looks for one at every cycle.
    const size_t opened = Engine().RequestCount();
    for (int i = 0; i < 200 && Engine().RequestCount() < opened + 2; ++i)
        std::this_thread::sleep_for(20ms);
    Engine().SetSilent(true);
    const auto silent = series.ReadLine(10s);
    ASSERT_TRUE(silent) << "nothing said while the reader is silent";
    EXPECT_EQ(Json(*silent)["event"].toString(), "reader") << *silent;
    EXPECT_FALSE(Json(*silent)["answering"].toBool(true));
    // Said once, not at every look for a chip.
    EXPECT_FALSE(series.ReadLine(400ms));
    Engine().SetSilent(false);
    const auto back = series.ReadLine(10s);
    ASSERT_TRUE(back);
    EXPECT_EQ(Json(*back)["event"].toString(), "reader");
    EXPECT_TRUE(Json(*back)["answering"].toBool(false));
    PlaceFresh();
    const Result result = series.Finish();
    EXPECT_EQ(result.exit, 0) << result.err;
    int cards = 0;
    for (const QJsonObject& event : JsonLines(result.out))
        if (event["event"] == "card" && event["number"].toInteger() == 1) ++cards;
    EXPECT_EQ(cards, 1) << result.out;
}

TEST_F(Lfprog, AGroupWordAloneListsItsCommandsAndVersionNamesTheProgram) {
    const Result group = RunLfprog({"register"});
    EXPECT_EQ(group.exit, kExitUsage);
    for (const char* command : {"register list", "register find", "register export"})
        EXPECT_NE(group.err.find(command), std::string::npos) << group.err;
    EXPECT_EQ(RunLfprog({"lan", "--help"}).exit, 0);
    const Result version = RunLfprog({"--version"});
    EXPECT_EQ(version.exit, 0);
    EXPECT_EQ(version.out.rfind("lfprog ", 0), 0u) << version.out;
}

TEST_F(Lfprog, ASeriesOfFiveFedChipsWritesFiveNumbersLogsAndPrintsJson) {
    vsim::CardFeeder feeder(Engine());
    ASSERT_TRUE(feeder.Start({9, 5, 20ms}));
    const std::string log = m_dir.filePath("series.txt").toStdString();
    const Result result = Run({"series", "--from", "100", "--facility", "7", "--count", "5",
                               "--log", log, "--cycle", "20"});
    ASSERT_EQ(result.exit, 0) << result.out << result.err;

    std::vector<long long> numbers;
    QJsonObject end;
    for (const std::string& line : Lines(result.out)) {
        const QJsonObject event = Json(line);
        if (event["event"] == "card") {
            numbers.push_back(event["number"].toInteger());
            EXPECT_TRUE(event["verified"].toBool()) << line;
        }
        if (event["event"] == "end") end = event;
    }
    EXPECT_EQ(numbers, (std::vector<long long>{100, 101, 102, 103, 104}));
    EXPECT_EQ(end["reason"].toString(), "count");
    EXPECT_EQ(end["next"].toInteger(), 105);
    EXPECT_EQ(FedAndWritten(feeder, 5), 5u);

    // The station's write-log layout: number, time stamp, format, fields, lock text, chip, id.
    const QRegularExpression layout(
        "^ {5}(\\d)\\t\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d\\t26 Bit,7,(\\d+),not Locked "
        "ATA5577\\t[0-9A-F]+\\r$");
    const std::vector<std::string> lines = Lines(ReadFile(log));
    ASSERT_EQ(lines.size(), 5u);
    for (size_t i = 0; i < lines.size(); ++i) {
        const QRegularExpressionMatch match = layout.match(QString::fromStdString(lines[i]));
        ASSERT_TRUE(match.hasMatch()) << lines[i];
        EXPECT_EQ(match.captured(1).toInt(), static_cast<int>(i) + 1);
        EXPECT_EQ(match.captured(2).toInt(), 100 + static_cast<int>(i));
    }
}

TEST_F(Lfprog, CtrlCEndsASeriesAfterTheCurrentCardAndTellsTheNextNumber) {
    vsim::CardFeeder feeder(Engine());
    ASSERT_TRUE(feeder.Start({9, 50, 150ms}));
    const std::string log = m_dir.filePath("series.txt").toStdString();
    LfprogProcess series({"series", "--port", m_port, "--json", "--from", "500", "--count", "50",
                          "--log", log, "--cycle", "20"});
    int cards = 0;
    while (cards < 2) {
        const auto line = series.ReadLine(20s);
        ASSERT_TRUE(line) << "no second card";
        if (Json(*line)["event"] == "card") ++cards;
    }
    series.Signal(SIGINT);
    const Result result = series.Finish();
    ASSERT_EQ(result.exit, 0) << result.err;

    const QJsonObject end = Json(Lines(result.out).back());
    EXPECT_EQ(end["event"].toString(), "end");
    EXPECT_EQ(end["reason"].toString(), "interrupted");
    const long long written = end["written"].toInteger();
    EXPECT_GE(written, 2);
    EXPECT_LT(written, 50);
    EXPECT_EQ(end["next"].toInteger(), 500 + written);
    // Every card written is logged, and no line is cut.
    const std::string text = ReadFile(log);
    EXPECT_EQ(Lines(text).size(), static_cast<size_t>(written));
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    EXPECT_EQ(FedAndWritten(feeder, static_cast<unsigned>(written)),
              static_cast<unsigned>(written));
}

TEST_F(Lfprog, WatchPrintsEachNewCardOnce) {
    LfprogProcess watch({"read", "--port", m_port, "--json", "--watch", "--cycle", "20"});
    Engine().PlaceTransponder(vsim::MakeCardChip(9, vellf::EncodeCardWord(26, 1, 11, 0)));
    const auto first = watch.ReadLine(10s);
    ASSERT_TRUE(first);
    EXPECT_EQ(Json(*first)["number"].toInteger(), 11);
    // Held on the reader for many cycles, it is not printed again.
    EXPECT_FALSE(watch.ReadLine(300ms));
    Engine().PlaceTransponder(vsim::MakeCardChip(9, vellf::EncodeCardWord(26, 1, 12, 0)));
    const auto second = watch.ReadLine(10s);
    ASSERT_TRUE(second);
    EXPECT_EQ(Json(*second)["number"].toInteger(), 12);
    watch.Signal(SIGINT);
    const Result result = watch.Finish();
    EXPECT_EQ(result.exit, 0);
    EXPECT_TRUE(result.out.empty()) << result.out;
}
