// lfprog selftest against the virtual reader: every chip type the station writes passes with
// its formats written and read back, the chip is never locked, and nothing is written without
// the operator's yes.
#include <QJsonArray>

#include "LfprogFixture.h"
#include "station/ChipTypeTable.h"

namespace lfprogtest {
namespace {

TEST_F(Lfprog, SelftestPassesOnEveryChipTypeAndNeverLocksIt) {
    for (const station::ChipTypeInfo& chip : station::kChipTypes) {
        SCOPED_TRACE(chip.commandName);
        PlaceFresh(chip.code);
        // Some blocks are locked from the factory (the SIC7888's identification).
        const std::vector<bool> lockedBefore = Engine().FieldSnapshot()->locked;
        const Result result = Run({"selftest", "--chip", chip.commandName, "--yes"});
        EXPECT_EQ(result.exit, 0) << result.out << result.err;
        const QJsonObject report = Json(Lines(result.out).at(0));
        EXPECT_EQ(report.value("selftest").toString(), "passed") << result.out;
        EXPECT_EQ(report.value("port").toString().toStdString(), m_port);
        EXPECT_FALSE(report.value("model").toString().isEmpty());
        QStringList steps;
        int formatsWritten = 0;
        for (const QJsonValue value : report.value("steps").toArray()) {
            const QJsonObject step = value.toObject();
            steps << step.value("step").toString();
            EXPECT_NE(step.value("result").toString(), "failed") << result.out;
            if (step.value("step").toString().startsWith("format") &&
                step.value("result").toString() == "passed")
                ++formatsWritten;
        }
        EXPECT_EQ(steps.mid(0, 2), (QStringList{"field", "chip"})) << result.out;
        EXPECT_EQ(steps.last(), "lock");
        EXPECT_GE(formatsWritten, 1) << result.out;
        const auto field = Engine().FieldSnapshot();
        ASSERT_TRUE(field.has_value());
        EXPECT_EQ(field->locked, lockedBefore) << "the self-test locked a block";
        EXPECT_TRUE(field->cardWord.has_value()) << "the chip keeps the last test card";
    }
}

TEST_F(Lfprog, SelftestWritesNothingWithoutTheOperatorsYesAndNeedsAChip) {
    PlaceFresh();
    const auto before = Engine().FieldSnapshot();
    const Result refused = Run({"selftest"});  // standard input is no terminal here
    EXPECT_EQ(refused.exit, kExitUsage);
    EXPECT_NE(refused.out.find("--yes"), std::string::npos) << refused.out;
    EXPECT_EQ(Engine().FieldSnapshot()->memory, before->memory);

    Engine().RemoveTransponder();
    const Result empty = RunLfprog({"selftest", "--port", m_port, "--yes"});
    EXPECT_EQ(empty.exit, kExitNoCard) << empty.out << empty.err;
    EXPECT_NE(empty.out.find("failed   chip"), std::string::npos) << empty.out;
    EXPECT_NE(empty.out.find("self-test FAILED"), std::string::npos) << empty.out;
}

}  // namespace
}  // namespace lfprogtest
