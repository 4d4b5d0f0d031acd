// The named values of the public header are interface: programs built with bare numbers
// must keep working, so every name is pinned to its number here.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "vellf.h"

TEST(PublicConstants, KeepTheirNumbers) {
    struct Case {
        const char* name;
        int value;
        int number;
    };
    const Case cases[] = {
        {"LF_CHIP_Q5", LF_CHIP_Q5, 3},
        {"LF_CHIP_ATA5577", LF_CHIP_ATA5577, 9},
        {"LF_CHIP_ATA5575M2", LF_CHIP_ATA5575M2, 11},
        {"LF_CHIP_SIC7888", LF_CHIP_SIC7888, 12},
        {"LF_CHIP_TL008", LF_CHIP_TL008, 17},
        {"LF_WRITE_NO_LOCK", LF_WRITE_NO_LOCK, 0},
        {"LF_WRITE_LOCK_DATA", LF_WRITE_LOCK_DATA, 1},
        {"LF_WRITE_LOCK_CONFIG", LF_WRITE_LOCK_CONFIG, 2},
        {"LF_WRITE_LOCK", LF_WRITE_LOCK, 3},
        {"LF_OPEN_8N1", LF_OPEN_8N1, 0},
        {"LF_OPEN_8E1", LF_OPEN_8E1, 1},
        {"LF_OPEN_8O1", LF_OPEN_8O1, 2},
        {"LF_OPEN_8N2", LF_OPEN_8N2, 3},
        {"LF_OPEN_LINE_MASK", LF_OPEN_LINE_MASK, 0x0F},
        {"LF_OPEN_NO_CRC_FALLBACK", LF_OPEN_NO_CRC_FALLBACK, 0x40},
        {"LF_OPEN_BACKGROUND", LF_OPEN_BACKGROUND, 0x80},
        {"LF_OPEN_FAILED", LF_OPEN_FAILED, -1},
        {"LF_OPEN_BAD_TIMEOUT", LF_OPEN_BAD_TIMEOUT, -5},
        {"LF_OPEN_NO_ANSWER", LF_OPEN_NO_ANSWER, -15},
        {"LF_OPEN_HID_INIT_FAILED", LF_OPEN_HID_INIT_FAILED, -18},
        {"LF_RECEIVE_MANCHESTER_RF64", LF_RECEIVE_MANCHESTER_RF64, 0},
        {"LF_RECEIVE_BIPHASE_RF32", LF_RECEIVE_BIPHASE_RF32, 1},
        {"LF_RECEIVE_FSK_RF50", LF_RECEIVE_FSK_RF50, 2},
        {"LF_RECEIVE_MANCHESTER_RF32", LF_RECEIVE_MANCHESTER_RF32, 5},
        {"LF_RECEIVE_BIPHASE_RF64", LF_RECEIVE_BIPHASE_RF64, 6},
        {"LF_RECEIVE_FSK_RF64", LF_RECEIVE_FSK_RF64, 7},
        {"LF_RECEIVE_MANCHESTER_RF64_INVERTED", LF_RECEIVE_MANCHESTER_RF64_INVERTED, 128},
        {"LF_RECEIVE_BIPHASE_RF32_INVERTED", LF_RECEIVE_BIPHASE_RF32_INVERTED, 129},
        {"LF_RECEIVE_FSK_RF50_INVERTED", LF_RECEIVE_FSK_RF50_INVERTED, 130},
        {"LF_RECEIVE_MANCHESTER_RF32_INVERTED", LF_RECEIVE_MANCHESTER_RF32_INVERTED, 133},
        {"LF_RECEIVE_BIPHASE_RF64_INVERTED", LF_RECEIVE_BIPHASE_RF64_INVERTED, 134},
        {"LF_RECEIVE_FSK_RF64_INVERTED", LF_RECEIVE_FSK_RF64_INVERTED, 135},
        {"LF_DEVICE_MODE_0", LF_DEVICE_MODE_0, 0},
        {"LF_DEVICE_MODE_1", LF_DEVICE_MODE_1, 1},
        {"LF_DEVICE_MODE_2", LF_DEVICE_MODE_2, 2},
        {"LF_DEVICE_MODE_3", LF_DEVICE_MODE_3, 3},
        {"LF_DEVICE_MODE_128", LF_DEVICE_MODE_128, 128},
        {"LF_DEVICE_MODE_129", LF_DEVICE_MODE_129, 129},
        {"LF_DEVICE_MODE_131", LF_DEVICE_MODE_131, 131},
        {"LF_USB_MODE_HID", LF_USB_MODE_HID, 1},
        {"LF_USB_MODE_VIRTUAL_COM", LF_USB_MODE_VIRTUAL_COM, 2},
        {"LF_CODING_MANCHESTER", LF_CODING_MANCHESTER, 0},
        {"LF_CODING_BIPHASE", LF_CODING_BIPHASE, 1},
        {"LF_USB_FLAG_D2XX_READER_UNDRIVEN", LF_USB_FLAG_D2XX_READER_UNDRIVEN, 1},
        {"LF_USB_FLAG_VIRTUAL_COM_READER_UNDRIVEN", LF_USB_FLAG_VIRTUAL_COM_READER_UNDRIVEN, 2},
        {"LF_ERROR_UNKNOWN_HANDLE", LF_ERROR_UNKNOWN_HANDLE, 6},
        {"LF_ERROR_TIMEOUT", LF_ERROR_TIMEOUT, 7},
        {"LF_ERROR_BUFFER_TOO_SMALL", LF_ERROR_BUFFER_TOO_SMALL, 8},
        {"LF_ERROR_NOT_POSSIBLE", LF_ERROR_NOT_POSSIBLE, 9},
        {"LF_ERROR_CHIP_NOT_SUPPORTED", LF_ERROR_CHIP_NOT_SUPPORTED, 10},
        {"LF_ERROR_BLOCK_OUT_OF_RANGE", LF_ERROR_BLOCK_OUT_OF_RANGE, 12},
        {"LF_ERROR_CHECKSUM", LF_ERROR_CHECKSUM, 14},
        {"LF_ERROR_EMPTY_REPLY", LF_ERROR_EMPTY_REPLY, 16},
        {"LF_ERROR_INVALID_PARAMETER", LF_ERROR_INVALID_PARAMETER, 18},
        {"LF_ERROR_NEEDS_EXTENDED_COMMANDS", LF_ERROR_NEEDS_EXTENDED_COMMANDS, 24},
        {"LF_ERROR_WRONG_FORMAT", LF_ERROR_WRONG_FORMAT, 25},
        {"LF_LAN_TEXT_SIZE", LF_LAN_TEXT_SIZE, 32},
    };
    for (const Case& c : cases) EXPECT_EQ(c.value, c.number) << c.name;
}

TEST(PublicConstants, VersionMacrosMatchTheLibrary) {
    EXPECT_EQ(LfGetSdkVersion(), VELLF_SDK_VERSION);
    EXPECT_EQ(VELLF_SDK_VERSION, VELLF_VERSION_MAJOR * 100 + VELLF_VERSION_MINOR);
    EXPECT_TRUE(VELLF_RUNTIME_COMPATIBLE(LfGetSdkVersion()));
    EXPECT_TRUE(VELLF_RUNTIME_COMPATIBLE(VELLF_SDK_VERSION + 1));  // a later minor serves
    EXPECT_FALSE(VELLF_RUNTIME_COMPATIBLE(VELLF_SDK_VERSION - 1));  // an older one lacks calls
    EXPECT_FALSE(VELLF_RUNTIME_COMPATIBLE(VELLF_SDK_VERSION + 100));  // another major
    EXPECT_TRUE(VELLF_VERSION_AT_LEAST(444, 4, 44));
    EXPECT_FALSE(VELLF_VERSION_AT_LEAST(444, 4, 45));
    EXPECT_TRUE(VELLF_VERSION_AT_LEAST(500, 4, 99));
}

TEST(PublicConstants, EveryStoredCodeAndOpenResultHasItsOwnText) {
    const int codes[] = {LF_ERROR_UNKNOWN_HANDLE,     LF_ERROR_TIMEOUT,
                         LF_ERROR_BUFFER_TOO_SMALL,   LF_ERROR_NOT_POSSIBLE,
                         LF_ERROR_CHIP_NOT_SUPPORTED, LF_ERROR_BLOCK_OUT_OF_RANGE,
                         LF_ERROR_CHECKSUM,           LF_ERROR_EMPTY_REPLY,
                         LF_ERROR_INVALID_PARAMETER,  LF_ERROR_NEEDS_EXTENDED_COMMANDS,
                         LF_ERROR_WRONG_FORMAT,       LF_OPEN_FAILED,
                         LF_OPEN_BAD_TIMEOUT,         LF_OPEN_NO_ANSWER,
                         LF_OPEN_HID_INIT_FAILED,     0};
    const std::string statusText = LfGetErrorText(0x0B);  // a reader status byte
    const std::string unknownText = LfGetErrorText(1000);
    EXPECT_NE(statusText, unknownText);
    EXPECT_EQ(std::string(LfGetErrorText(-2)), unknownText);
    std::set<std::string> seen;
    for (int code : codes) {
        const char* text = LfGetErrorText(code);
        ASSERT_NE(text, nullptr) << code;
        EXPECT_NE(text, statusText) << code;
        EXPECT_NE(text, unknownText) << code;
        EXPECT_TRUE(seen.insert(text).second) << code << " shares its text";
    }
}
