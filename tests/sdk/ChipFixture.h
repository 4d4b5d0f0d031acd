// A virtual reader with a transponder on its field, opened through the SDK.
#pragma once

#include <gtest/gtest.h>

#include "FreshChip.h"
#include "SimReader.h"
#include "TransponderFactory.h"
#include "vellf.h"

namespace testsupport {

// Chips as they come new from the maker, in a configuration the reader can read.
inline std::unique_ptr<vsim::Transponder> FreshChip(int chipType) {
    return vsim::MakeFreshChip(chipType);
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
