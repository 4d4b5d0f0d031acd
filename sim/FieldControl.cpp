#include "FieldControl.h"

#include <memory>
#include <utility>

#include "FreshChip.h"
#include "TransponderFactory.h"

namespace vsim {

namespace {

constexpr char kPlaceUsage[] =
    "usage: place CHIP [blank|zero|card WORD-HEX|config HEX] (CHIP: 3 9 11 12 13 17 21 q5 "
    "ata5577 m2 sic7888 tl008), place ata5577 password [WORD-HEX] or place manchester|biphase "
    "HEX";

std::string Ok(const std::string& text) {
    return "OK " + text;
}
std::string Err(const std::string& reason) {
    return "ERR " + reason;
}

// The transponder a place command describes, or nullptr for a malformed command.
std::unique_ptr<Transponder> Parse(const std::vector<std::string>& args) {
    if (args[0] == "manchester" || args[0] == "biphase") {
        std::vector<uint8_t> bytes;
        if (args.size() != 2 || !ControlProtocol::ParseHex(args[1], bytes)) return nullptr;
        return args[0] == "manchester" ? MakeManchesterCard(std::move(bytes))
                                       : MakeBiphaseCard(std::move(bytes));
    }
    const std::optional<int> chipType = ChipTypeOfName(args[0]);
    if (!chipType) return nullptr;
    // "blank" is a chip as it leaves the factory, the same as the panel lays; an all-zero
    // chip, which no station can program, is asked for by name.
    if (args.size() == 1 || (args.size() == 2 && args[1] == "blank")) {
        return MakeFreshChip(*chipType);
    }
    if (args.size() == 2 && args[1] == "zero") return MakeBlankChip(*chipType);
    uint64_t value = 0;
    if (args[1] == "password") {
        if (args.size() == 3 && !ControlProtocol::ParseHexNumber(args[2], 11, value))
            return nullptr;
        return MakePasswordChip(*chipType, value);
    }
    if (args.size() != 3) return nullptr;
    if (args[1] == "card" && ControlProtocol::ParseHexNumber(args[2], 11, value)) {
        return MakeCardChip(*chipType, value);
    }
    if (args[1] == "config" && ControlProtocol::ParseHexNumber(args[2], 8, value)) {
        return MakeConfiguredChip(*chipType, static_cast<uint32_t>(value));
    }
    return nullptr;
}

}  // namespace

void AddFieldCommands(ControlProtocol& control, ReaderEngine& engine) {
    control.Add({"place", "CHIP [blank|zero|card WORD|config HEX]", 1,
                 [&engine](const std::vector<std::string>& args) {
                     std::unique_ptr<Transponder> transponder = Parse(args);
                     if (!transponder) return Err(kPlaceUsage);
                     engine.PlaceTransponder(std::move(transponder));
                     return Ok("placed " + Describe(engine.FieldSnapshot()));
                 },
                 3});
    control.Add({"weak", "on|off", 1, [&engine](const std::vector<std::string>& args) {
                     bool on = false;
                     if (!ControlProtocol::ParseOnOff(args[0], on))
                         return Err("usage: weak on|off");
                     if (!engine.SetTransponderWeak(on)) return Err("the field is empty");
                     return Ok(std::string("weak ") + (on ? "on" : "off"));
                 }});
    control.Add({"remove", "", 0, [&engine](const std::vector<std::string>&) {
                     engine.RemoveTransponder();
                     return Ok("field empty");
                 }});
    control.Add({"field", "", 0, [&engine](const std::vector<std::string>&) {
                     return Ok(Describe(engine.FieldSnapshot()));
                 }});
    control.Add({"id", "HEX", 1, [&engine](const std::vector<std::string>& args) {
                     std::vector<uint8_t> bytes;
                     if (!ControlProtocol::ParseHex(args[0], bytes) || bytes.size() != 8) {
                         return Err("usage: id HEX (8 bytes, as the chip sends them)");
                     }
                     ChipId id;
                     std::copy(bytes.begin(), bytes.end(), id.begin());
                     if (!engine.SetTransponderId(id)) return Err("the field is empty");
                     return Ok("id " + args[0]);
                 }});
}

}  // namespace vsim
