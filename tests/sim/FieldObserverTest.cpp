#include <gtest/gtest.h>

#include <atomic>

#include "ReaderEngine.h"
#include "TransponderCommands.h"
#include "TransponderExchange.h"
#include "TransponderFactory.h"

namespace vsim {
namespace {

using testing::BlockBytes;
using testing::Bytes;
using testing::Concat;
using testing::Exchange;

TEST(FieldObserver, HearsPlacingRemovingAndAcceptedWritesOnly) {
    ReaderEngine engine;
    std::atomic<int> calls{0};
    const int id = engine.AddFieldObserver([&] {
        // Observers may read the engine.
        engine.FieldSnapshot();
        ++calls;
    });

    engine.PlaceTransponder(MakeBlankChip(chip::kAta5577));
    EXPECT_EQ(calls, 1);
    const Bytes write = Concat({chip::kAta5577, 1}, BlockBytes(0x12345678));
    EXPECT_EQ(Exchange(engine, command::kWriteBlocks, write).status, status::kOk);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(engine.FieldWriteCount(), 1u);

    // Refused writes and reads change nothing on the field.
    EXPECT_NE(Exchange(engine, command::kWriteBlocks, Concat({chip::kQ5, 1}, BlockBytes(1))).status,
              status::kOk);
    EXPECT_NE(Exchange(engine, command::kWriteBlocks, {chip::kAta5577, 40, 1, 2, 3, 4}).status,
              status::kOk);
    Exchange(engine, command::kReadChipId, {chip::kAta5577, 0});
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(engine.FieldWriteCount(), 1u);

    EXPECT_TRUE(engine.SetTransponderId(ChipId{1, 2, 3, 4, 5, 6, 7, 8}));
    engine.RemoveTransponder();
    EXPECT_EQ(calls, 4);

    engine.RemoveFieldObserver(id);
    engine.PlaceTransponder(MakeBlankChip(chip::kAta5577));
    EXPECT_EQ(calls, 4);
}

}  // namespace
}  // namespace vsim
