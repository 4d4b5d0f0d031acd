// The device access rules the packages install: every line is well-formed udev syntax, and
// the rules give the seat's user every reader of the SDK's USB id table (and nothing else),
// with the modem manager told to leave the serial readers alone.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "discovery/UsbIds.h"

using vellf::UsbId;

namespace {

struct Assignment {
    std::string key;  // "SUBSYSTEM", "ATTRS{idVendor}", ...
    std::string op;   // "==", "!=", "=", "+=", ":="
    std::string value;
};

struct Rule {
    int line = 0;
    std::vector<Assignment> items;

    std::string Match(const std::string& key) const {
        for (const Assignment& item : items)
            if (item.key == key && item.op == "==") return item.value;
        return {};
    }
    bool Has(const std::string& key, const std::string& op, const std::string& value) const {
        for (const Assignment& item : items)
            if (item.key == key && item.op == op && item.value == value) return true;
        return false;
    }
};

// Which operators a key takes: matches compare, assignments set. A key outside these lists
// is a typing error that udev would only log.
bool KnownKey(const Assignment& item) {
    const bool isMatch = item.op == "==" || item.op == "!=";
    std::string name = item.key;
    std::string attribute;
    if (const size_t brace = name.find('{'); brace != std::string::npos) {
        if (name.back() != '}' || brace + 2 >= name.size()) return false;
        attribute = name.substr(brace + 1, name.size() - brace - 2);
        name.resize(brace);
        for (const char c : attribute)
            if (!std::isalnum(static_cast<unsigned char>(c)) && c != '_') return false;
        const std::set<std::string> withAttribute =
            isMatch ? std::set<std::string>{"ATTR", "ATTRS", "ENV"} : std::set<std::string>{"ENV"};
        return withAttribute.count(name) != 0;
    }
    const std::set<std::string> plain =
        isMatch ? std::set<std::string>{"ACTION", "SUBSYSTEM", "KERNEL", "DRIVER"}
                : std::set<std::string>{"TAG", "GOTO", "LABEL", "MODE", "GROUP"};
    return plain.count(name) != 0;
}

// Reads one KEY OP "VALUE" at pos, skipping blanks around it; false when the text there is
// not one.
bool ReadItem(const std::string& text, size_t& pos, Assignment& item) {
    auto skipBlanks = [&] {
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t')) ++pos;
    };
    skipBlanks();
    const size_t keyStart = pos;
    while (pos < text.size() && (std::isupper(static_cast<unsigned char>(text[pos])) ||
                                 text[pos] == '_'))
        ++pos;
    if (pos < text.size() && text[pos] == '{') {
        const size_t close = text.find('}', pos);
        if (close == std::string::npos) return false;
        pos = close + 1;
    }
    item.key = text.substr(keyStart, pos - keyStart);
    if (item.key.empty()) return false;
    skipBlanks();
    for (const char* op : {"==", "!=", "+=", ":=", "="}) {
        if (text.compare(pos, std::strlen(op), op) == 0) {
            item.op = op;
            pos += std::strlen(op);
            break;
        }
    }
    if (item.op.empty()) return false;
    skipBlanks();
    if (pos >= text.size() || text[pos] != '"') return false;
    const size_t close = text.find('"', pos + 1);
    if (close == std::string::npos) return false;
    item.value = text.substr(pos + 1, close - pos - 1);
    pos = close + 1;
    skipBlanks();
    return true;
}

// Parses a rules text; a line that is not a comment, blank, or a list of KEY OP "VALUE"
// separated by commas is reported in errors.
std::vector<Rule> ParseRules(std::istream& in, std::vector<std::string>& errors) {
    std::vector<Rule> rules;
    std::string text;
    for (int number = 1; std::getline(in, text); ++number) {
        const size_t first = text.find_first_not_of(" \t");
        if (first == std::string::npos || text[first] == '#') continue;
        Rule rule{number, {}};
        size_t pos = 0;
        bool ok = true;
        for (;;) {
            Assignment item;
            if (!ReadItem(text, pos, item) || !KnownKey(item)) {
                ok = false;
                break;
            }
            rule.items.push_back(item);
            if (pos == text.size()) break;
            if (text[pos] != ',') {
                ok = false;
                break;
            }
            ++pos;
        }
        if (!ok) errors.push_back("line " + std::to_string(number) + ": " + text);
        rules.push_back(rule);
    }
    return rules;
}

std::string Hex4(uint16_t value) {
    char text[5];
    std::snprintf(text, sizeof text, "%04x", value);
    return text;
}

// The id a rule names, by the ATTR or ATTRS keys it matches; false when it names none.
bool RuleId(const Rule& rule, std::string& vendor, std::string& product) {
    for (const char* prefix : {"ATTRS", "ATTR"}) {
        vendor = rule.Match(std::string(prefix) + "{idVendor}");
        product = rule.Match(std::string(prefix) + "{idProduct}");
        if (!vendor.empty() || !product.empty()) return true;
    }
    return false;
}

std::vector<UsbId> HidReaderIds() {
    std::vector<UsbId> ids;
    for (const vellf::UsbProductRange& range : vellf::kHidReaders)
        for (unsigned p = range.firstProduct; p <= range.lastProduct; ++p)
            ids.push_back(UsbId{range.vendor, static_cast<uint16_t>(p)});
    return ids;
}

class UdevRulesTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::ifstream in(ORVEX_UDEV_RULES);
        ASSERT_TRUE(in) << "cannot read " << ORVEX_UDEV_RULES;
        std::vector<std::string> errors;
        rules_ = ParseRules(in, errors);
        for (const std::string& error : errors) ADD_FAILURE() << "not udev syntax: " << error;
    }

    // The rules of one subsystem that name this id.
    std::vector<const Rule*> RulesFor(const std::string& subsystem, UsbId id) const {
        std::vector<const Rule*> found;
        for (const Rule& rule : rules_) {
            std::string vendor, product;
            if (rule.Match("SUBSYSTEM") == subsystem && RuleId(rule, vendor, product) &&
                vendor == Hex4(id.vendor) && product == Hex4(id.product))
                found.push_back(&rule);
        }
        return found;
    }

    std::vector<Rule> rules_;
};

TEST(UdevRulesParser, RejectsWhatUdevWouldNotRead) {
    const char* bad[] = {
        R"(SUBSYSTEM=="tty", ATTRS{idVendor}=="2b7e" TAG+="uaccess")",  // comma missing
        R"(SUBSYSTEM=="tty", ATTRS{idVendor}==2b7e)",                   // value not quoted
        R"(SUBSYTEM=="tty", TAG+="uaccess")",                            // unknown key
        R"(SUBSYSTEM="tty", TAG+="uaccess")",                            // assignment to a match key
        R"(SUBSYSTEM=="tty", TAG+="uaccess",, )",
    };
    for (const char* line : bad) {
        std::istringstream in(line);
        std::vector<std::string> errors;
        ParseRules(in, errors);
        EXPECT_EQ(errors.size(), 1u) << line;
    }
    std::istringstream good("# comment\n\nSUBSYSTEM==\"hidraw\", ATTRS{idVendor}==\"3d51\", TAG+=\"uaccess\"\n");
    std::vector<std::string> errors;
    EXPECT_EQ(ParseRules(good, errors).size(), 1u);
    EXPECT_TRUE(errors.empty());
}

TEST_F(UdevRulesTest, JumpsOnlyToLabelsThatExist) {
    std::set<std::string> labels;
    for (const Rule& rule : rules_)
        for (const Assignment& item : rule.items)
            if (item.key == "LABEL") labels.insert(item.value);
    for (const Rule& rule : rules_)
        for (const Assignment& item : rule.items)
            if (item.key == "GOTO") {
                EXPECT_TRUE(labels.count(item.value)) << "line " << rule.line << " jumps to "
                                                      << item.value;
            }
}

TEST_F(UdevRulesTest, SeatUserReachesEveryHidReader) {
    for (const UsbId id : HidReaderIds()) {
        const auto found = RulesFor("hidraw", id);
        ASSERT_EQ(found.size(), 1u) << Hex4(id.vendor) << ":" << Hex4(id.product);
        EXPECT_TRUE(found.front()->Has("TAG", "+=", "uaccess"));
    }
}

TEST_F(UdevRulesTest, SerialReadersAreTheUsersAndNotTheModemManagers) {
    // The virtual-COM reader is a serial line; the FTDI-chip reader is its USB device node
    // (D2XX) or, with the kernel driver bound, a serial line.
    const struct {
        UsbId id;
        const char* subsystem;
    } nodes[] = {{vellf::kVirtualComReader, "tty"},
                 {vellf::kFtdiReader, "usb"},
                 {vellf::kFtdiReader, "tty"}};
    for (const auto& node : nodes) {
        const auto found = RulesFor(node.subsystem, node.id);
        ASSERT_EQ(found.size(), 1u) << node.subsystem << " " << Hex4(node.id.vendor);
        EXPECT_TRUE(found.front()->Has("TAG", "+=", "uaccess")) << node.subsystem;
        EXPECT_TRUE(found.front()->Has("ENV{ID_MM_DEVICE_IGNORE}", "=", "1")) << node.subsystem;
    }
    for (const Rule* rule : RulesFor("usb", vellf::kVirtualComReader))
        EXPECT_TRUE(rule->Has("ENV{ID_MM_DEVICE_IGNORE}", "=", "1"));
}

TEST_F(UdevRulesTest, NamesNoDeviceOutsideTheSdkTable) {
    std::vector<UsbId> known = HidReaderIds();
    known.push_back(vellf::kVirtualComReader);
    known.push_back(vellf::kFtdiReader);
    int named = 0;
    for (const Rule& rule : rules_) {
        std::string vendor, product;
        if (!RuleId(rule, vendor, product)) continue;
        ++named;
        bool listed = false;
        for (const UsbId id : known)
            listed |= vendor == Hex4(id.vendor) && product == Hex4(id.product);
        EXPECT_TRUE(listed) << "line " << rule.line << " names " << vendor << ":" << product;
        // A rule that grants access must be narrowed to a device class, or it would open
        // every node of the device.
        if (rule.Has("TAG", "+=", "uaccess")) {
            EXPECT_FALSE(rule.Match("SUBSYSTEM").empty()) << "line " << rule.line;
        }
    }
    EXPECT_GE(named, static_cast<int>(known.size()));
}

}  // namespace
