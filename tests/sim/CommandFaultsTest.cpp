#include <gtest/gtest.h>

#include "TransponderExchange.h"
#include "TransponderFactory.h"

namespace vsim {
namespace {

using namespace vsim::testing;

TEST(CommandFaults, FailTheNextRequestsOfACodeWithoutCarryingThemOut) {
    ReaderEngine engine;
    engine.PlaceTransponder(MakeCardChip(9, 0x2006020002));
    engine.SetReceiveMode(2);
    engine.FailCommand(0xC3, 2, 0x42);
    const Bytes write = {9, 4, 1, 2, 3, 4};
    EXPECT_EQ(Exchange(engine, 0xC3, write), Failed(0x42));
    EXPECT_EQ(Exchange(engine, 0xC2, {9, 4, 1}), Ok({0, 0, 0, 0}));  // other codes unaffected
    EXPECT_EQ(Exchange(engine, 0xC3, write), Failed(0x42));
    EXPECT_EQ(engine.FieldSnapshot()->BlockValue(4), 0u);
    EXPECT_EQ(Exchange(engine, 0xC3, write), Ok());
    EXPECT_EQ(engine.FieldSnapshot()->BlockValue(4), 0x04030201u);
}

TEST(CommandFaults, TimeOutsComeFirstAndAreLoggedAsUnanswered) {
    ReaderEngine engine;
    engine.PlaceTransponder(MakeBlankChip(12));
    engine.FailCommand(0xC0, 1, 0x15);
    engine.TimeOutCommand(0xC0, 1);
    EXPECT_EQ(Exchange(engine, 0xC0, {12, 0}), Answer({0xFF, {}}));
    EXPECT_EQ(Exchange(engine, 0xC0, {12, 0}), Failed(0x15));
    EXPECT_EQ(Exchange(engine, 0xC0, {12, 0}).status, status::kOk);
    const auto log = engine.Requests();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_FALSE(log[0].answered);
    EXPECT_TRUE(log[1].answered);
}

TEST(CommandFaults, CountZeroAndBehaveCancel) {
    ReaderEngine engine;
    engine.FailCommand(0xF0, 5, 0x01);
    engine.FailCommand(0xF0, 0, 0x01);
    engine.TimeOutCommand(0xF8, 3);
    engine.FailCommand(0xFC, 3, 0x09);
    engine.ResetMisbehaviour();
    EXPECT_EQ(Exchange(engine, 0xF0, {}).status, status::kOk);
    EXPECT_EQ(Exchange(engine, 0xF8, {}).status, status::kOk);
    EXPECT_EQ(Exchange(engine, 0xFC, {2}).status, status::kOk);
    EXPECT_EQ(engine.GetCommandFaults().FailsLeft(0xFC), 0u);
}

}  // namespace
}  // namespace vsim
