// Control command for the card feeder: "feed CHIP COUNT PAUSE-MS" starts a feed, "feed off"
// ends it, a bare "feed" reports its progress.
#pragma once

#include "CardFeeder.h"
#include "ControlProtocol.h"

namespace vsim {

void AddFeedCommands(ControlProtocol& control, CardFeeder& feeder);

// The progress as the feed command reports it, e.g. "feed waiting chip 9 count 100 pause 500
// fed 3 written 2".
std::string DescribeFeed(const CardFeeder::Progress& progress);

}  // namespace vsim
