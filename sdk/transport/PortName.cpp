#include "transport/PortName.h"

#include <cctype>
#include <cstdio>

namespace vellf {

namespace {

constexpr const char* kWin32Prefix = "\\\\.\\";

bool StartsWith(const std::string& text, const char* prefix) {
    return text.rfind(prefix, 0) == 0;
}

// Position just behind "COM" when the name (after an optional \\.\) is COM followed by a
// digit 1-9; std::string::npos otherwise.
size_t ComDigitsStart(const std::string& name) {
    size_t pos = StartsWith(name, kWin32Prefix) ? 4 : 0;
    if (name.size() < pos + 4) return std::string::npos;
    for (int i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[pos + i])) != "COM"[i]) {
            return std::string::npos;
        }
    }
    char first = name[pos + 3];
    return first >= '1' && first <= '9' ? pos + 3 : std::string::npos;
}

int LeadingNumber(const std::string& text, size_t pos) {
    long value = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        value = value * 10 + (text[pos] - '0');
        if (value > 1000000) break;  // a port number, not an arbitrary digit run
        ++pos;
    }
    return static_cast<int>(value);
}

int TrailingNumber(const std::string& text) {
    size_t pos = text.size();
    while (pos > 0 && std::isdigit(static_cast<unsigned char>(text[pos - 1]))) --pos;
    return LeadingNumber(text, pos);
}

}  // namespace

bool IsSerialLineName(const std::string& name) {
    return (!name.empty() && name[0] == '/') || ComDigitsStart(name) != std::string::npos;
}

bool IsLanName(const std::string& name) {
    if (name.empty()) return false;
    if (name[0] == '[') return true;
    size_t first = name.find('.', 1);
    if (first == std::string::npos) return false;
    size_t second = name.find('.', first + 1);
    if (second == std::string::npos) return false;
    return name.find('.', second + 1) != std::string::npos;
}

bool IsHidName(const std::string& name) { return name.find("HID") != std::string::npos; }

TransportKind ClassifyPortName(const std::string& name) {
    if (IsSerialLineName(name)) return TransportKind::Serial;
    if (IsLanName(name)) return TransportKind::Tcp;
    if (IsHidName(name)) return TransportKind::Hid;
    return TransportKind::D2xx;
}

bool NormalizeComName(std::string& name, int& portNumber) {
    if (!name.empty() && name[0] == '/') {
        // The port list tags lines of known USB readers with their driver's name in
        // brackets ("/dev/ttyACM0 [Qor Virtual COM]"); the device is the path before it.
        const size_t tag = name.rfind(" [");
        if (tag != std::string::npos && name.back() == ']') name.erase(tag);
        portNumber = TrailingNumber(name);
        return true;
    }
    size_t digits = ComDigitsStart(name);
    if (digits != std::string::npos) {
        portNumber = LeadingNumber(name, digits);
        name = "/dev/ttyS" + std::to_string(portNumber - 1);
        return true;
    }
    if (StartsWith(name, kWin32Prefix)) name.erase(0, 4);
    portNumber = LeadingNumber(name, 0);
    return false;
}

LineSettings LineSettingsFromOptions(int options) {
    LineSettings settings;
    switch (options & 0x0F) {
        case 1: settings.parity = 'E'; break;
        case 2: settings.parity = 'O'; break;
        case 3: settings.stopBits = 2; break;
        default: break;
    }
    return settings;
}

std::string LineSettingsText(int baud, const LineSettings& settings) {
    char text[80];
    std::snprintf(text, sizeof text, "baud=%d parity=%c data=%d stop=%d", baud, settings.parity,
                  settings.dataBits, settings.stopBits);
    return text;
}

}  // namespace vellf
