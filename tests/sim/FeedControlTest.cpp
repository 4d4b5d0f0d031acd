#include <gtest/gtest.h>

#include "ControlProtocol.h"
#include "FeederSupport.h"

namespace vsim {
namespace {

using namespace std::chrono_literals;

TEST(FeedControl, StartsReportsAndStopsAFeed) {
    ReaderEngine engine;
    ControlProtocol control(engine);
    EXPECT_EQ(control.Execute("feed"), "OK feed idle chip 9 count 1 pause 0 fed 0 written 0");
    EXPECT_EQ(control.Execute("feed tl008 3 5000"),
              "OK feed waiting chip 17 count 3 pause 5000 fed 1 written 0");
    ASSERT_TRUE(engine.FieldSnapshot().has_value());
    EXPECT_EQ(engine.FieldSnapshot()->chipType, chip::kTl008);
    EXPECT_TRUE(control.Feeder().Running());

    const testing::CardWrite write =
        testing::StationWrite(chip::kTl008, vellf::EncodeCardWord(vellf::kCardFormat26, 1, 2, 0));
    testing::SendWrites(engine, chip::kTl008, write.data);
    testing::SendWrites(engine, chip::kTl008, {write.configuration});
    ASSERT_TRUE(testing::WaitFor([&] { return control.Feeder().GetProgress().written == 1; }));
    EXPECT_EQ(control.Execute("feed"),
              "OK feed pausing chip 17 count 3 pause 5000 fed 1 written 1");
    EXPECT_EQ(control.Execute("feed off"),
              "OK feed stopped chip 17 count 3 pause 5000 fed 1 written 1");
    EXPECT_FALSE(control.Feeder().Running());
}

TEST(FeedControl, MalformedLinesAnswerErrAndChangeNothing) {
    for (const char* line :
         {"feed ata5577", "feed ata5577 1", "feed ata5577 1 0 0", "feed on", "feed bogus 1 0",
          "feed manchester 1 0", "feed 0 1 0", "feed 9 0 0", "feed 9 1000001 0", "feed 9 -1 0",
          "feed 9 1 600001", "feed 9 1 0x10", "feed 9 x 0", "feed OFF"}) {
        ReaderEngine engine;
        ControlProtocol control(engine);
        EXPECT_EQ(control.Execute(line).rfind("ERR ", 0), 0u) << line;
        EXPECT_FALSE(engine.FieldSnapshot().has_value()) << line;
        EXPECT_FALSE(control.Feeder().Running()) << line;
    }
}

}  // namespace
}  // namespace vsim
