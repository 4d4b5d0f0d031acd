#include "TransponderCommands.h"

#include <algorithm>
#include <optional>

#include "ReaderCommands.h"
#include "Transponder.h"
#include "cards/CardFormat.h"

namespace vsim {

namespace {

Reply Status(uint8_t code) {
    return Reply{code, {}};
}

// The transponder a request naming `chipType` reaches: the one on the field, if the field is
// on and the chip is of that type.
Transponder* Reached(DeviceState& state, int chipType) {
    if (state.fieldSwitch == 0) return nullptr;
    Transponder* transponder = state.field.Occupant();
    if (transponder == nullptr || transponder->ChipType() != chipType) return nullptr;
    return transponder;
}

// Card reads take whatever lies on the field.
const Transponder* Sending(const DeviceState& state) {
    return state.fieldSwitch == 0 ? nullptr : state.field.Occupant();
}

Reply ReadChipId(DeviceState& state, const Request& r) {
    if (r.data.size() != 2) return Status(status::kBadLength);
    const Transponder* transponder = Reached(state, r.data[0]);
    return transponder ? transponder->ReadId() : Status(status::kNoTransponder);
}

Reply Login(DeviceState& state, const Request& r) {
    if (r.data.size() < 2) return Status(status::kBadLength);
    Transponder* transponder = Reached(state, r.data[0]);
    if (transponder == nullptr) return Status(status::kNoTransponder);
    return transponder->Login({r.data.begin() + 1, r.data.end()});
}

Reply ReadBlocks(DeviceState& state, const Request& r) {
    if (r.data.size() != 3) return Status(status::kBadLength);
    const Transponder* transponder = Reached(state, r.data[0]);
    if (transponder == nullptr) return Status(status::kNoTransponder);
    return transponder->ReadBlocks(r.data[1], r.data[2], state.receiveMode);
}

Reply WriteBlocks(DeviceState& state, const Request& r) {
    if (r.data.size() < 3) return Status(status::kBadLength);
    Transponder* transponder = Reached(state, r.data[0]);
    if (transponder == nullptr) return Status(status::kNoTransponder);
    if (transponder->Weak()) return Reply{};
    return transponder->WriteBlocks(r.data[1], {r.data.begin() + 2, r.data.end()});
}

Reply ResetTransponder(DeviceState& state, const Request& r) {
    if (r.data.size() != 2) return Status(status::kBadLength);
    if (r.data[1] != 1) return Status(status::kBadParameter);
    if (Transponder* transponder = state.field.Occupant()) transponder->PowerUp();
    return Reply{};
}

Reply SwitchField(DeviceState& state, const Request& r) {
    if (r.data.size() != 1) return Status(status::kBadLength);
    state.fieldSwitch = r.data[0];
    if (Transponder* transponder = state.field.Occupant()) transponder->PowerUp();
    return Reply{};
}

// Reader-side format codes and the byte widths of the fields in their replies.
struct CardLayout {
    uint8_t code;
    int format;
    int widthA, widthB, widthC;
};
constexpr CardLayout kCardLayouts[] = {
    {0x21, vellf::kCardFormat26, 1, 2, 0}, {0x22, vellf::kCardFormat34, 2, 2, 0},
    {0x23, vellf::kCardFormat35, 2, 3, 0}, {0x24, vellf::kCardFormat36, 1, 2, 2},
    {0x25, vellf::kCardFormat37, 2, 3, 0},
};

void AppendLittleEndian(std::vector<uint8_t>& out, uint32_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

Reply ReadCard(DeviceState& state, const Request& r) {
    if (!DecodesCardFormats(state.version)) return Status(status::kUnknownCommand);
    if (r.data.size() != 2) return Status(status::kBadLength);
    const CardLayout* layout = nullptr;
    for (const CardLayout& candidate : kCardLayouts) {
        if (candidate.code == r.data[1]) layout = &candidate;
    }
    if (layout == nullptr) return Status(status::kBadParameter);
    const Transponder* transponder = Sending(state);
    const std::optional<uint64_t> word =
        transponder ? transponder->FskCardWord() : std::optional<uint64_t>{};
    if (!word) return Status(status::kNoCardData);
    const vellf::DecodedCard card = vellf::DecodeCardWord(layout->format, *word);
    if (card.status != vellf::kCardOk) return Status(status::kNoCardData);
    Reply reply;
    AppendLittleEndian(reply.data, card.fieldA, layout->widthA);
    AppendLittleEndian(reply.data, card.fieldB, layout->widthB);
    AppendLittleEndian(reply.data, card.fieldC, layout->widthC);
    return reply;
}

Reply ReadRaw(DeviceState& state, const Request& r) {
    if (r.data.size() != 2) return Status(status::kBadLength);
    const int coding = r.data[0];
    const size_t length = r.data[1];
    if (length == 0) return Status(status::kBadParameter);
    const Transponder* transponder = Sending(state);
    Reply reply;
    if (coding == coding::kFsk) {
        const std::optional<uint64_t> word =
            transponder ? transponder->FskCardWord() : std::optional<uint64_t>{};
        if (!word) return Status(status::kNoCardData);
        // The word behind its four trailing one bits, as 48 bits most significant first; a
        // longer request gets zeros after it.
        const uint64_t bits = *word << 4 | 0xF;
        for (int i = 5; i >= 0; --i) reply.data.push_back(static_cast<uint8_t>(bits >> (8 * i)));
        reply.data.resize(length, 0);
        return reply;
    }
    if (coding != coding::kManchester && coding != coding::kBiphase) {
        return Status(status::kBadParameter);
    }
    const std::vector<uint8_t> data =
        transponder ? transponder->RawData(coding) : std::vector<uint8_t>{};
    if (data.empty()) return Status(status::kNoCardData);
    // The card repeats its frame, so any length can be read.
    for (size_t i = 0; i < length; ++i) reply.data.push_back(data[i % data.size()]);
    return reply;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The firmware digit of a version reply: '0'-'9', 'A'-'Z', 'a'-'z' count 0-61; anything
// else counts as the highest revision.
int FirmwareDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'Z') return c - 'A' + 10;
    if (c >= 'a' && c <= 'z') return c - 'a' + 36;
    return 255;
}

}  // namespace

bool DecodesCardFormats(const std::string& version) {
    if (version.size() != 4) return false;
    int deviceType = 0;
    for (size_t i = 0; i < 3; ++i) {
        const int digit = HexDigit(version[i]);
        if (digit < 0) return false;
        deviceType = deviceType << 4 | digit;
    }
    if (deviceType >= 0x243 && deviceType <= 0x245) return FirmwareDigit(version[3]) >= 38;
    static constexpr int kDecodingTypes[] = {0x053, 0x054, 0x543, 0x544, 0x293, 0x294, 0x553, 0x554,
                                             0x555, 0x563, 0x564, 0x565, 0x573, 0x574, 0x575};
    return std::find(std::begin(kDecodingTypes), std::end(kDecodingTypes), deviceType) !=
           std::end(kDecodingTypes);
}

void AddTransponderCommands(CommandSet& commands) {
    commands.Add(command::kReadChipId, ReadChipId);
    commands.Add(command::kLogin, Login);
    commands.Add(command::kReadBlocks, ReadBlocks);
    commands.Add(command::kWriteBlocks, WriteBlocks);
    commands.Add(command::kResetTransponder, ResetTransponder);
    commands.Add(command::kReadCard, ReadCard);
    commands.Add(command::kReadRaw, ReadRaw);
    commands.Add(command::kFieldSwitch, SwitchField);
}

}  // namespace vsim
