#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

#include "VersionReply.h"
#include "discovery/ModelTable.h"

using namespace vellf;

namespace {
std::vector<uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }
}  // namespace

TEST(VersionReply, EvaluatesTypeDigitAndCapabilities) {
    struct Case {
        const char* reply;
        int type;
        int digit;
        uint16_t caps;
    };
    const Case cases[] = {
        {"2430", 0x243, 0, 0x01F3},      {"243c", 0x243, 38, 0x07F3},
        {"2434", 0x243, 4, 0x03F3},      {"053Z", 0x053, 35, 0x07F3},
        {"0535", 0x053, 5, 0x07F3},      {"0575", 0x057, 5, 0x0303},
        {"2414", 0x241, 4, 0x0303},      {"0011", 0x001, 1, 0x0010},
        {"0296", 0x029, 6, 0x0001},      {"029D", 0x029, 13, 0x0033},
        {"069E", 0x069, 14, 0x0073},     {"0627", 0x062, 7, 0x0003},
        {"2199", 0x219, 9, 0x0033},      {"2530", 0x253, 0, 0x01F3},
        {"2573", 0x257, 3, 0x0303},      {"5530", 0x553, 0, 0x07F3},
        {"VEL-TEXT1", 0x242, 3, 0x0103}, {"24", 0, 0, 0},
        {"24?!", 0x024, 255, 0x0003},     {"FFF0", 0xFFF, 0, 0},
    };
    for (const Case& c : cases) {
        const VersionInfo info = EvaluateVersionReply(Text(c.reply));
        EXPECT_EQ(info.deviceType, c.type) << c.reply;
        EXPECT_EQ(info.firmwareDigit, c.digit) << c.reply;
        EXPECT_EQ(info.capabilities, c.caps) << c.reply;
    }
}

TEST(ModelTable, HasTheListedCodesAndNameRules) {
    const auto& table = ModelTable();
    ASSERT_EQ(table.size(), 77u);
    EXPECT_EQ(table.front().modelCode, 0x001);
    EXPECT_EQ(table[47].modelCode, 0x522);  // 522 and 532 stand before 271
    EXPECT_EQ(table.back().modelCode, 0x573);
    const std::set<int> familiesWithoutModel = {0x050, 0x240, 0x250, 0x290, 0x550, 0x560, 0x570};
    const std::set<std::set<int>> sharedNames = {
        {0x001, 0x002, 0x003}, {0x010, 0x011}, {0x562, 0x563}, {0x564, 0x565}};
    std::map<std::string, std::set<int>> codesByName;
    for (const ReaderModel& model : table) {
        const std::string name = model.modelName;
        EXPECT_LE(name.size(), 18u) << name;
        const bool endsInNone = name.size() > 5 && name.substr(name.size() - 5) == " none";
        EXPECT_EQ(endsInNone, familiesWithoutModel.count(model.modelCode) == 1) << name;
        codesByName[name].insert(model.modelCode);
    }
    for (const auto& [name, codes] : codesByName) {
        if (codes.size() > 1) {
            EXPECT_EQ(sharedNames.count(codes), 1u) << name;
        }
    }
    EXPECT_EQ(codesByName.size(), 77u - 2 - 1 - 1 - 1);
}

TEST(ModelTable, NamesReplies) {
    const std::string name241 = ModelTable()[36].modelName;
    ASSERT_EQ(ModelTable()[36].modelCode, 0x241);
    EXPECT_EQ(ModelNameFromReply(Text("24")), "---");
    EXPECT_EQ(ModelNameFromReply(Text("2410")), name241);
    EXPECT_EQ(ModelNameFromReply(Text("562")), ModelNameFromReply(Text("5631")));
    EXPECT_EQ(ModelNameFromReply(Text("9Z1")), "VEL-#9Z1");
    EXPECT_EQ(ModelNameFromReply(Text("03A0")), "VEL-#03A");
    EXPECT_EQ(ModelNameFromReply(Text("3A 0")), "VEL-#3A ");
    EXPECT_EQ(ModelNameFromReply(Text("2F7")), "VEL-#2F7");
}
