// Reply paths that a well-behaved reader never takes: replies of the wrong length, the
// receive-mode search from a stored mode and on a second chip, and the exits of the
// configuration loop. The virtual reader answers with chosen data or fails on request.
#include <gtest/gtest.h>

#include <atomic>

#include "ChipFixture.h"
#include "VelRwPort.h"

using namespace testsupport;

namespace {

constexpr uint8_t kLogin = 0xC1;
constexpr uint8_t kReadBlocks = 0xC2;
constexpr uint8_t kWriteBlocks = 0xC3;
constexpr uint8_t kReadFields = 0xC5;
constexpr uint8_t kReadRaw = 0xC7;
constexpr uint8_t kReceiveMode = 0xFC;
constexpr int kAta5577 = LF_CHIP_ATA5577;
constexpr int kSic7888 = LF_CHIP_SIC7888;

class ReplyPaths : public ChipTest {
  protected:
    std::vector<int> ModesSent() const {
        std::vector<int> modes;
        for (const auto& data : Sent(kReceiveMode)) modes.push_back(data.at(0));
        return modes;
    }
    // Plans a fault for the configuration block: it takes effect once the three data blocks
    // of a T55xx write are on the chip.
    void AfterDataBlocks(std::function<void(vsim::ReaderEngine&)> fault) {
        auto writes = std::make_shared<std::atomic<int>>(0);
        vsim::ReaderEngine& engine = reader->Engine();
        m_observer = engine.AddFieldObserver([writes, fault, &engine] {
            if (++*writes == 3) fault(engine);
        });
    }
    void TearDown() override {
        if (m_observer != 0) reader->Engine().RemoveFieldObserver(m_observer);
        ChipTest::TearDown();
    }
    int m_observer = 0;
};

// A reply of the wrong length is a failure, never a card made of what happened to arrive.
TEST_F(ReplyPaths, RepliesOfTheWrongLength) {
    struct Case {
        const char* what;
        const char* version;
        uint8_t command;
        std::vector<uint8_t> reply;
        int error;  // -1: the reply has no code of its own, the last error stays
    };
    const Case cases[] = {
        {"fields decoded by the reader, one byte short", "243c", kReadFields, {0x01, 0x02}, -1},
        {"fields decoded by the reader, one byte long", "243c", kReadFields, {1, 2, 3, 4}, -1},
        {"raw FSK data, five bytes", "2434", kReadRaw, {1, 2, 3, 4, 5}, 9},
        {"raw FSK data, seven bytes", "2434", kReadRaw, {1, 2, 3, 4, 5, 6, 7}, 9},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Open(c.version);
        Place(vsim::MakeCardChip(kAta5577, 0x2006020002));
        PortOf(handle)->SetLastError(0);
        reader->Engine().ReplyToCommand(c.command, c.reply);
        int facility = -1, number = -1;
        EXPECT_EQ(LfReadWiegand26(handle, &facility, &number), -1);
        EXPECT_EQ(facility, -1);
        EXPECT_EQ(number, -1);
        EXPECT_EQ(LfGetLastError(handle), c.error == -1 ? 0 : c.error);
        // The next read gets the real card.
        EXPECT_EQ(LfReadWiegand26(handle, &facility, &number), 0);
        EXPECT_EQ(number, 1);
        LfClosePort(handle);
        handle = 0;
    }
}

// Each framing checks its own checksum on a port that already uses it: a broken one is
// error 14, not a fall-back to the other framing.
TEST_F(ReplyPaths, EachFramingChecksItsOwnChecksum) {
    for (const bool crc : {false, true}) {
        SCOPED_TRACE(crc ? "CRC framing" : "STX/BCC framing");
        reader = StartReader("243c");
        reader->Engine().SetCrcOnly(crc);
        handle = LfOpenPort(reader->Path().c_str(), 115200, 0, 300);
        ASSERT_GT(handle, 0);
        EXPECT_EQ(PortOf(handle)->m_crcFraming, crc ? 1 : 0);
        reader->Engine().SetBadChecksum(true);
        unsigned char reply[8];
        EXPECT_EQ(LfGetVersion(handle, reply, sizeof reply, nullptr, 0), -1);
        EXPECT_EQ(LfGetLastError(handle), 14);
        reader->Engine().SetBadChecksum(false);
        EXPECT_EQ(LfGetVersion(handle, reply, sizeof reply, nullptr, 0), 4);
        LfClosePort(handle);
        handle = 0;
    }
}

// A login reply that cannot hold the chip's configuration stops a SIC7888 write before any
// block is written.
TEST_F(ReplyPaths, ALoginReplyTooShortForTheConfiguration) {
    Open();
    Place(FreshChip(kSic7888));
    reader->Engine().ReplyToCommand(kLogin, {0x24, 0x34});
    EXPECT_EQ(LfWriteWiegand26(handle, kSic7888, 1, 1, 0), -1);
    EXPECT_EQ(LfGetLastError(handle), 9);
    EXPECT_TRUE(Sent(kWriteBlocks).empty());
    EXPECT_EQ(LfWriteWiegand26(handle, kSic7888, 1, 1, 0), 0) << LfGetLastError(handle);
}

// The search starts in the mode the port last set, counts it as tried, and records the mode
// it finds, so that the next chip on the same connection is searched from where the reader is.
TEST_F(ReplyPaths, TheReceiveModeSearchStartsFromTheStoredMode) {
    Open();
    ASSERT_EQ(LfSetReceiveMode(handle, 7), 0);
    reader->Engine().ClearRequests();
    // No chip reads in any mode: every other mode is tried once, the stored one never again.
    EXPECT_EQ(LfWriteWiegand26(handle, kAta5577, 1, 1, 0), -1);
    EXPECT_EQ(ModesSent(), (std::vector<int>{5, 6, 128, 129, 130, 133, 134, 0, 1, 2}));

    // A fresh chip reads in mode 5; a written one is read back in mode 2. The second chip's
    // search starts from mode 2, where the first write left the reader.
    const std::vector<int> expected[] = {{5, 2}, {7, 5, 2}};
    for (int chip = 1; chip <= 2; ++chip) {
        SCOPED_TRACE("fresh chip " + std::to_string(chip));
        Place(FreshChip(kAta5577));
        reader->Engine().ClearRequests();
        ASSERT_EQ(LfWriteWiegand26(handle, kAta5577, 1, 100 + chip, 0), 0)
            << LfGetLastError(handle);
        EXPECT_EQ(ModesSent(), expected[chip - 1]);
        EXPECT_EQ(PortOf(handle)->m_receiveMode, reader->Engine().ReceiveMode());
        int facility = -1, number = -1;
        ASSERT_EQ(LfReadWiegand26(handle, &facility, &number), 0);
        EXPECT_EQ(number, 100 + chip);
    }
}

// The configuration block: six failed rounds fail; a timeout ends the loop at once; a reader
// without the extended command set cannot confirm the block and takes the write as done.
TEST_F(ReplyPaths, TheExitsOfTheConfigurationLoop) {
    struct Case {
        const char* what;
        const char* version;
        bool timeout;
        int result;
        int error;
        size_t configurationWrites;
        size_t readBacks;
    };
    const Case cases[] = {
        // The read-backs find the chip's old configuration, which mode 2 cannot read (4).
        {"six failed rounds", "243c", false, -1, 0x04, 6, 6},
        {"a timeout", "243c", true, -1, 7, 1, 0},
        {"no extended command set", "0217", false, 0, 0x03, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Open(c.version);
        // A configuration that reads in mode 0, the only mode a reader without receive-mode
        // commands has.
        Place(vsim::MakeConfiguredChip(kAta5577, 0x00148060));
        AfterDataBlocks([timeout = c.timeout](vsim::ReaderEngine& engine) {
            if (timeout) {
                engine.TimeOutCommand(kWriteBlocks, 1);
            } else {
                engine.FailCommand(kWriteBlocks, 6, 0x03);
            }
        });
        EXPECT_EQ(LfWriteWiegand26(handle, kAta5577, 1, 1, 0), c.result);
        EXPECT_EQ(LfGetLastError(handle), c.error);
        // What followed the three data blocks: configuration writes and block 0 read-backs.
        size_t dataBlocks = 0, configurationWrites = 0, readBacks = 0;
        for (const auto& logged : reader->Engine().Requests()) {
            const vsim::Request& request = logged.request;
            if (request.command == kWriteBlocks) {
                (dataBlocks < 3 ? dataBlocks : configurationWrites) += 1;
            } else if (dataBlocks == 3 && request.command == kReadBlocks) {
                readBacks += request.data.at(1) == 0;
            }
        }
        EXPECT_EQ(dataBlocks, 3u);
        EXPECT_EQ(configurationWrites, c.configurationWrites);
        EXPECT_EQ(readBacks, c.readBacks);
        reader->Engine().RemoveFieldObserver(m_observer);
        m_observer = 0;
        LfClosePort(handle);
        handle = 0;
    }
}

}  // namespace
