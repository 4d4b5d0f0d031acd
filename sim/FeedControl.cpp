#include "FeedControl.h"

#include <string>

#include "TransponderFactory.h"

namespace vsim {

namespace {

constexpr unsigned long kMaxFeedCount = 1000000;
constexpr unsigned long kMaxFeedPauseMs = 600000;

constexpr char kFeedUsage[] =
    "usage: feed CHIP COUNT PAUSE-MS (CHIP: 3 9 11 12 13 17 21 q5 ata5577 m2 sic7888 tl008; "
    "COUNT 1..1000000; PAUSE-MS 0..600000), feed off, or feed";

}  // namespace

std::string DescribeFeed(const CardFeeder::Progress& progress) {
    return std::string("feed ") + CardFeeder::StateName(progress.state) + " chip " +
           std::to_string(progress.plan.chipType) + " count " +
           std::to_string(progress.plan.count) + " pause " +
           std::to_string(progress.plan.pause.count()) + " fed " + std::to_string(progress.fed) +
           " written " + std::to_string(progress.written);
}

void AddFeedCommands(ControlProtocol& control, CardFeeder& feeder) {
    control.Add({"feed", "[CHIP COUNT PAUSE-MS|off]", 0,
                 [&feeder](const std::vector<std::string>& args) -> std::string {
                     if (args.empty()) return "OK " + DescribeFeed(feeder.GetProgress());
                     if (args.size() == 1 && args[0] == "off") {
                         feeder.Stop();
                         return "OK " + DescribeFeed(feeder.GetProgress());
                     }
                     const std::optional<int> chipType = ChipTypeOfName(args[0]);
                     unsigned long count = 0;
                     unsigned long pause = 0;
                     if (args.size() != 3 || !chipType ||
                         !ControlProtocol::ParseNumber(args[1], kMaxFeedCount, count) ||
                         count == 0 ||
                         !ControlProtocol::ParseNumber(args[2], kMaxFeedPauseMs, pause)) {
                         return std::string("ERR ") + kFeedUsage;
                     }
                     const CardFeeder::Plan plan{*chipType, static_cast<unsigned>(count),
                                                 std::chrono::milliseconds(pause)};
                     if (!feeder.Start(plan)) return std::string("ERR ") + kFeedUsage;
                     return "OK " + DescribeFeed(feeder.GetProgress());
                 },
                 3});
}

}  // namespace vsim
