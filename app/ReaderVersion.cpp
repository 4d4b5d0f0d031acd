#include "ReaderVersion.h"

#include <algorithm>
#include <array>

namespace {

constexpr std::array<int, 10> kSupportedDeviceTypes = {0x053, 0x054, 0x243, 0x244, 0x253,
                                                       0x254, 0x553, 0x554, 0x563, 0x573};

int HexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'F') return u - 'A' + 10;
    if (u >= 'a' && u <= 'f') return u - 'a' + 10;
    return -1;
}

}  // namespace

bool IsSupportedDevice(const QString& version) {
    if (version.size() < 3) return false;
    int code = 0;
    for (int i = 0; i < 3; ++i) {
        const int digit = HexDigit(version[i]);
        if (digit < 0) break;
        code = code * 16 + digit;
    }
    return std::find(kSupportedDeviceTypes.begin(), kSupportedDeviceTypes.end(), code) !=
           kSupportedDeviceTypes.end();
}

int FirmwareDigitValue(QChar digit) {
    const char16_t u = digit.unicode();
    if (u >= '0' && u <= '9') return u - '0';
    if (u >= 'A' && u <= 'Z') return u - 'A' + 10;
    if (u >= 'a' && u <= 'z') return u - 'a' + 36;
    return 255;
}
