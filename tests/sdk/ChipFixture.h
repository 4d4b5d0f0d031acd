// A virtual reader with a transponder on its field, opened through the SDK.
#pragma once

#include <gtest/gtest.h>

#include "SimReader.h"
#include "TransponderFactory.h"
#include "vellf.h"

namespace testsupport {

// Chips as they come new: a T55xx-family chip with a factory configuration that reads in one
// of the receive modes (ATA5577 0x000880E8 in mode 5, Q5 in mode 0, TL008 in mode 5); the
// others blank.
inline std::unique_ptr<vsim::Transponder> FreshChip(int chipType) {
    switch (chipType) {
        case 3: return vsim::MakeConfiguredChip(3, 0x6001F004);
        case 9: case 13: case 21: return vsim::MakeConfiguredChip(chipType, 0x000880E8);
        case 17: return vsim::MakeConfiguredChip(17, 0x00088000);
        default: return vsim::MakeBlankChip(chipType);
    }
}

class ChipTest : public ::testing::Test {
protected:
    void Open(const std::string& version = "243c", int timeoutMs = 300) {
        reader = StartReader(version);
        handle = LfOpenPort(reader->Path().c_str(), 115200, 0, timeoutMs);
        ASSERT_GT(handle, 0);
        reader->Engine().ClearRequests();
    }
    void Place(std::unique_ptr<vsim::Transponder> transponder) {
        reader->Engine().PlaceTransponder(std::move(transponder));
    }
    // The requests of one command since the log was last cleared: their data bytes.
    std::vector<std::vector<uint8_t>> Sent(uint8_t command) const {
        std::vector<std::vector<uint8_t>> out;
        for (const auto& logged : reader->Engine().Requests()) {
            if (logged.request.command == command) out.push_back(logged.request.data);
        }
        return out;
    }
    void TearDown() override {
        if (handle > 0) LfClosePort(handle);
    }
    std::unique_ptr<vsim::VirtualReader> reader;
    int handle = 0;
};

}  // namespace testsupport
