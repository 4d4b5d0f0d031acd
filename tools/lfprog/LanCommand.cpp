// lfprog lan config / lan ping: a network reader's settings, read or changed, and whether it
// answers.
#include <array>

#include "Commands.h"
#include "vellf.h"

namespace {

// The SDK's out buffers of the network settings hold 32 bytes each.
constexpr size_t kLanTextSize = 32;

struct LanSettings {
    std::array<char, kLanTextSize> name{};
    std::array<char, kLanTextSize> address{};
    std::array<char, kLanTextSize> mask{};
    std::array<char, kLanTextSize> gateway{};
};

bool ReadSettings(const std::string& device, LanSettings& settings) {
    return LfGetLanConfig(device.c_str(), settings.name.data(), settings.address.data(),
                          settings.mask.data(), settings.gateway.data()) == 0;
}

void PrintSettings(const COutput& out, const std::string& device, const LanSettings& settings) {
    const std::string name = settings.name.data();
    const std::string address = settings.address.data();
    const std::string mask = settings.mask.data();
    const std::string gateway = settings.gateway.data();
    CJson object;
    object.Add("device", device).Add("name", name).Add("address", address);
    object.Add("mask", mask).Add("gateway", gateway);
    out.Print(object, "name:    " + name + "\naddress: " + (address.empty() ? "DHCP" : address) +
                          "\nmask:    " + mask + "\ngateway: " + gateway);
}

// The device's name without its brackets and port ("[HALLE-1]-10001" gives HALLE-1).
std::string PlainName(const std::string& nameText) {
    const size_t open = nameText.find('[');
    const size_t close = nameText.find(']');
    if (open == std::string::npos || close == std::string::npos || close < open) return {};
    return nameText.substr(open + 1, close - open - 1);
}

}  // namespace

int RunLanConfig(CommandContext& context) {
    const COutput& out = context.out;
    if (context.operands.size() != 1)
        return out.Fail(kExitUsage, "lan config takes the device's address");
    const std::string device = context.operands[0];
    LanSettings current;
    if (!ReadSettings(device, current))
        return out.Fail(kExitNoReader, device + ": the network module does not answer");
    const CCommandLine& line = context.line;
    if (!line.Has("address") && !line.Has("mask") && !line.Has("gateway") && !line.Has("name")) {
        PrintSettings(out, device, current);
        return kExitSuccess;
    }

    // What is not given stays as it is; a DHCP module keeps DHCP unless an address is given.
    std::string address = line.Value("address").value_or(current.address.data());
    if (address.empty()) address = "0.0.0.0";
    const std::string name = line.Value("name").value_or(PlainName(current.name.data()));
    if (name.find_first_of("[]") != std::string::npos || name.size() > 16)
        return out.Fail(kExitUsage, "--name takes up to 16 characters without brackets");
    const std::string newAddress = (name.empty() ? "" : "[" + name + "]") + address;
    const std::string mask = line.Value("mask").value_or("");
    const std::string gateway = line.Value("gateway").value_or(current.gateway.data());
    const int result =
        LfSetLanConfig(device.c_str(), newAddress.c_str(), mask.c_str(), gateway.c_str());
    if (result != 0)
        return out.Fail(
            result == -1 ? kExitFailure : kExitNoReader,
            device + ": the new settings were not taken (result " + std::to_string(result) + ")");
    // Read back from where the module now is.
    const std::string now = address == "0.0.0.0" ? device : address;
    LanSettings changed;
    if (!ReadSettings(now, changed))
        return out.Fail(kExitFailure, now + ": the module does not answer after the change");
    PrintSettings(out, now, changed);
    return kExitSuccess;
}

int RunLanPing(CommandContext& context) {
    const COutput& out = context.out;
    if (context.operands.size() != 1)
        return out.Fail(kExitUsage, "lan ping takes the device's address");
    const std::string& device = context.operands[0];
    if (LfPingLanReader(device.c_str()) != 1)
        return out.Fail(kExitNoReader, device + ": no answer");
    out.Print(CJson().Add("device", device).Add("answers", true), device + " answers");
    return kExitSuccess;
}
