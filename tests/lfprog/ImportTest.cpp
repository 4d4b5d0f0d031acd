// lfprog register import: a station's register and its export brought into another register,
// the exit status telling a new import from a repeated one, and a bad line importing nothing.
#include <QFile>

#include "LfprogFixture.h"

using namespace lfprogtest;
using namespace std::chrono_literals;

TEST_F(Lfprog, ImportAddsAStationsCardsOnceAndABadLineImportsNothing) {
    const std::string station = ScratchPath("station.sqlite");
    const std::string site = ScratchPath("site.sqlite");
    const std::string csv = ScratchPath("export.csv");
    vsim::CardFeeder feeder(Engine());
    ASSERT_TRUE(feeder.Start({9, 3, 20ms}));
    const Result series = RunLfprog({"series", "--port", m_port, "--from", "100", "--count", "3",
                                     "--cycle", "20", "--register", station});
    ASSERT_EQ(series.exit, 0) << series.out << series.err;
    ASSERT_EQ(
        RunLfprog({"register", "export", csv, "--separator", ";", "--register", station}).exit, 0);

    auto import = [&](const std::string& file) {
        return RunLfprog({"register", "import", file, "--json", "--register", site});
    };
    const Result first = import(csv);
    ASSERT_EQ(first.exit, 0) << first.out << first.err;
    EXPECT_EQ(JsonLines(first.out).back()["imported"].toInteger(), 3);
    // Again, and the station's own register: every card is there already.
    for (const std::string& again : {csv, station}) {
        const Result repeated = import(again);
        EXPECT_EQ(repeated.exit, 5) << repeated.out << repeated.err;
        const std::vector<QJsonObject> lines = JsonLines(repeated.out);
        ASSERT_EQ(lines.size(), 4u) << repeated.out;
        EXPECT_EQ(lines.back()["imported"].toInteger(), 0);
        EXPECT_EQ(lines.back()["already_there"].toInteger(), 3);
    }

    QFile file(QString::fromStdString(csv));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite | QIODevice::Append));
    file.write("9;26;7;1x;0;ata5577;;0;1;0;written;2025-01-01T00:00:00Z;a;b;c;;;\r\n");
    file.close();
    const Result bad = import(csv);
    EXPECT_EQ(bad.exit, 1);
    EXPECT_EQ(JsonLines(bad.out).front()["line"].toInteger(), 5) << bad.out;
    const Result listed = RunLfprog({"register", "list", "--json", "--register", site});
    EXPECT_EQ(JsonLines(listed.out).size(), 3u);
}
