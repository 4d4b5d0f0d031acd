#include "discovery/ModelTable.h"

#include "VersionReply.h"

namespace vellf {

const std::vector<ReaderModel>& ModelTable() {
    // Families share the high eight bits of the code; a code ending in 0 is the family
    // without a specific model.
    static const std::vector<ReaderModel> table = {
        {"Vel Basic", 0x001},         {"Vel Basic", 0x002},         {"Vel Basic", 0x003},
        {"Vel Basic II", 0x010},      {"Vel Basic II", 0x011},      {"Vel Desk 1", 0x021},
        {"Vel Desk 2", 0x022},        {"Vel Desk 3", 0x023},        {"Vel Desk 4", 0x024},
        {"Vel Desk 5", 0x025},        {"Vel Desk 9", 0x029},        {"Vel Desk+ 1", 0x031},
        {"Vel Desk+ 9", 0x039},       {"Vel Compact 1", 0x041},     {"Vel Compact 4", 0x044},
        {"Vel Compact 5", 0x045},     {"Vel Compact 9", 0x049},     {"Vel OEM none", 0x050},
        {"Vel OEM 1", 0x051},         {"Vel OEM 2", 0x052},         {"Vel OEM 3", 0x053},
        {"Vel OEM 4", 0x054},         {"Vel OEM 5", 0x055},         {"Vel Desk USB 1", 0x061},
        {"Vel Desk USB 4", 0x064},    {"Vel Desk USB 5", 0x065},    {"Vel Desk USB 9", 0x069},
        {"Vel Wall 1", 0x071},        {"Vel Kiosk 1", 0x081},       {"Vel Module 9", 0x109},
        {"Vel Panel 1", 0x211},       {"Vel Panel 4", 0x214},       {"Vel Panel 5", 0x215},
        {"Vel Panel 9", 0x219},       {"Vel Panel+ 1", 0x231},      {"Vel Writer none", 0x240},
        {"Vel Writer 1", 0x241},      {"Vel Writer 2", 0x242},      {"Vel Writer 3", 0x243},
        {"Vel Writer 4", 0x244},      {"Vel Writer 5", 0x245},      {"Vel ProWriter none", 0x250},
        {"Vel ProWriter 1", 0x251},   {"Vel ProWriter 2", 0x252},   {"Vel ProWriter 3", 0x253},
        {"Vel ProWriter 4", 0x254},   {"Vel ProWriter 5", 0x255},   {"Vel Hub 2", 0x522},
        {"Vel Hub II 2", 0x532},      {"Vel Handheld 1", 0x271},    {"Vel Handheld 3", 0x273},
        {"Vel Station 4", 0x284},     {"Vel LAN none", 0x290},      {"Vel LAN 1", 0x291},
        {"Vel LAN 3", 0x293},         {"Vel LAN 4", 0x294},         {"Vel USBWriter 1", 0x541},
        {"Vel USBWriter 2", 0x542},   {"Vel USBWriter 3", 0x543},   {"Vel USBWriter 4", 0x544},
        {"Vel USBWriter 5", 0x545},   {"Vel HIDWriter none", 0x550}, {"Vel HIDWriter 1", 0x551},
        {"Vel HIDWriter 2", 0x552},   {"Vel HIDWriter 3", 0x553},   {"Vel HIDWriter 4", 0x554},
        {"Vel HIDWriter 5", 0x555},   {"Vel NetWriter none", 0x560}, {"Vel NetWriter 1", 0x561},
        {"Vel NetWriter 2/3", 0x562}, {"Vel NetWriter 2/3", 0x563}, {"Vel NetWriter 4/5", 0x564},
        {"Vel NetWriter 4/5", 0x565}, {"Vel Mini none", 0x570},     {"Vel Mini 1", 0x571},
        {"Vel Mini 2", 0x572},        {"Vel Mini 3", 0x573},
    };
    return table;
}

std::string ModelNameFromReply(const std::vector<uint8_t>& reply) {
    if (reply.size() < 3) return "---";
    const int code = LeadingHexValue(reply.data(), 3);
    for (const ReaderModel& model : ModelTable()) {
        if (model.modelCode == code) return model.modelName;
    }
    return "VEL-#" + std::string(reply.begin(), reply.begin() + 3);
}

}  // namespace vellf
