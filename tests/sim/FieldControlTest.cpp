#include <gtest/gtest.h>

#include <functional>

#include "ControlProtocol.h"
#include "TransponderFactory.h"

namespace vsim {
namespace {

bool IsOk(const std::string& response) {
    return response.rfind("OK", 0) == 0;
}

TEST(FieldControl, CommandsReachTheFieldTheFaultsAndTheTiming) {
    struct Case {
        const char* line;
        std::function<bool(const ReaderEngine&)> holds;
    };
    auto placed = [](int chipType, std::optional<uint64_t> word) {
        return [=](const ReaderEngine& e) {
            const auto s = e.FieldSnapshot();
            return s && s->chipType == chipType && s->cardWord == word;
        };
    };
    const Case cases[] = {
        {"place 9 card 2006020002", placed(9, 0x2006020002)},
        {"place ata5577", placed(9, std::nullopt)},
        {"place Q5 blank", placed(3, std::nullopt)},
        {"place m2 card 0x2006020002", placed(11, 0x2006020002)},
        {"place sic7888 card 2006020002", placed(12, 0x2006020002)},
        {"place tl008 config 60107060",
         [](const ReaderEngine& e) {
             return e.FieldSnapshot()->chipType == 17 &&
                    e.FieldSnapshot()->BlockValue(0) == 0x60107060;
         }},
        {"place 21 blank", placed(21, std::nullopt)},
        {"place ata5577 password 2006020002",
         [](const ReaderEngine& e) {
             const auto s = e.FieldSnapshot();
             return s->chipType == 9 && s->cardWord == 0x2006020002 &&
                    s->BlockValue(0) == 0x60107070;
         }},
        // "blank" lays a factory-fresh chip, as the panel does; "zero" an all-zero one.
        {"place ata5577 blank",
         [](const ReaderEngine& e) { return e.FieldSnapshot()->BlockValue(0) == 0x000880E8; }},
        {"place ata5577 zero",
         [](const ReaderEngine& e) {
             return e.FieldSnapshot()->chipType == 9 && e.FieldSnapshot()->BlockValue(0) == 0;
         }},
        {"place manchester 0102",
         [](const ReaderEngine& e) {
             return e.FieldSnapshot()->rawCoding == 0 &&
                    e.FieldSnapshot()->rawData == std::vector<uint8_t>{1, 2};
         }},
        {"place biphase aabb",
         [](const ReaderEngine& e) { return e.FieldSnapshot()->rawCoding == 1; }},
        {"fail c3 2 5",
         [](const ReaderEngine& e) { return e.GetCommandFaults().FailsLeft(0xC3) == 2; }},
        {"timeout 0xC0 1",
         [](const ReaderEngine& e) { return e.GetCommandFaults().TimeOutsLeft(0xC0) == 1; }},
        {"reply c7 0102030405",
         [](const ReaderEngine& e) { return e.GetCommandFaults().ReplyPlanned(0xC7); }},
        {"reply c1 -",
         [](const ReaderEngine& e) { return e.GetCommandFaults().ReplyPlanned(0xC1); }},
        {"timing realistic", [](const ReaderEngine& e) { return e.RealisticTiming(); }},
    };
    for (const Case& c : cases) {
        ReaderEngine engine;
        ControlProtocol control(engine);
        EXPECT_TRUE(IsOk(control.Execute(c.line))) << c.line;
        EXPECT_TRUE(c.holds(engine)) << c.line;
    }
}

TEST(FieldControl, DescribesRemovesAndRenamesWhatLiesOnTheField) {
    ReaderEngine engine;
    ControlProtocol control(engine);
    EXPECT_EQ(control.Execute("field"), "OK empty");
    EXPECT_EQ(control.Execute("id 0102030405060708"), "ERR the field is empty");
    ASSERT_TRUE(IsOk(control.Execute("place 9 card 2006020002")));
    ASSERT_EQ(control.Execute("id 0102030405060708"), "OK id 0102030405060708");
    engine.SetReceiveMode(2);
    // Block 1 written again with its own value and locked.
    const std::vector<uint8_t> lock =
        BuildFrame({Framing::Stx, 1, 0xC3, {9, 0x81, 0x55, 0x59, 0x55, 0x1D}});
    ASSERT_EQ(engine.OnBytes(lock.data(), lock.size(), 0),
              BuildFrame({Framing::Stx, 1, status::kOk, {}}));
    EXPECT_EQ(control.Execute("field"),
              "OK ATA5577 type 9 id 0102030405060708 card 02006020002 formats 26 memory 60107060 "
              "1D555955* 55695559 55555559 00000000 00000000 00000000 00000000 00000000 "
              "00000000 00000000 00000000");
    EXPECT_EQ(control.Execute("remove"), "OK field empty");
    EXPECT_EQ(control.Execute("field"), "OK empty");
    EXPECT_TRUE(IsOk(control.Execute("place manchester 0a0b")));
    EXPECT_EQ(control.Execute("field"), "OK Manchester card data 0A0B");
}

TEST(FieldControl, MalformedLinesAnswerErrAndChangeNothing) {
    ReaderEngine engine;
    ControlProtocol control(engine);
    for (const char* line : {"place",
                             "place 5",
                             "place 9 card",
                             "place 9 card xyz",
                             "place 9 card 123456789012",
                             "place 9 config 123456789",
                             "place 9 blank extra",
                             "place 9 bogus 1",
                             "place 3 password",
                             "place 9 password xyz",
                             "weak on",
                             "weak maybe",
                             "place manchester",
                             "place manchester 0",
                             "place biphase 1 2",
                             "remove 1",
                             "field x",
                             "fail c3 2",
                             "fail 1c3 2 5",
                             "fail c3 x 5",
                             "fail c3 2 256",
                             "timeout c3",
                             "timeout zz 1",
                             "reply c7",
                             "reply c7 012",
                             "reply zz 01",
                             "timing fast",
                             "id 0102"}) {
        EXPECT_EQ(control.Execute(line).rfind("ERR ", 0), 0u) << line;
    }
    EXPECT_FALSE(engine.FieldSnapshot().has_value());
    EXPECT_FALSE(engine.RealisticTiming());
    EXPECT_EQ(engine.GetCommandFaults().FailsLeft(0xC3), 0u);
}

}  // namespace
}  // namespace vsim
