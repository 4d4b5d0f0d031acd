// The card numbers of the station's formats: how a number is split into the SDK's fields and
// joined again, and each format's range, at its largest value and one past it.
#include <gtest/gtest.h>

#include "station/CardFormatTable.h"
#include "station/CardNumbers.h"

using namespace station;

TEST(CardNumbers, HugeFormatsSplitAndJoinTheNumberAtTheirFieldBorders) {
    struct Case {
        int format;
        std::int64_t number;
        int first, second;
    };
    const Case cases[] = {
        {1, 16777215, 0xFF, 0xFFFF},
        {1, 0x123456, 0x12, 0x3456},
        {7, 34359738367, 0xFFFF, 0x7FFFF},
        {7, 524288, 1, 0},
        // Above 2^31 the number must stay 64 bits wide on its way through.
        {7, 2147483648LL + 5, 0x1000, 5},
    };
    for (const Case& c : cases) {
        const SdkFields values = SplitCardFields(c.format, CardFields{99, c.number, 0});
        EXPECT_EQ(values.first, c.first) << c.number;
        EXPECT_EQ(values.second, c.second) << c.number;
        const CardFields joined = JoinSdkFields(c.format, values, CardFields{99, 0, 3});
        EXPECT_EQ(joined, (CardFields{0, c.number, 3})) << c.number;
    }
    // The standard formats pass facility, number and (36 bit) the extra field as they are.
    const SdkFields values36 = SplitCardFields(5, CardFields{12, 4711, 1023});
    EXPECT_EQ(values36.first, 12);
    EXPECT_EQ(values36.second, 4711);
    EXPECT_EQ(values36.extra, 1023);
    EXPECT_EQ(JoinSdkFields(5, values36), (CardFields{12, 4711, 1023}));
}

TEST(CardNumbers, EveryFormatTakesItsLargestValuesAndRefusesOneMore) {
    using Field = FieldOutOfRange::Field;
    for (int format = 0; format < kCardFormatCount; ++format) {
        const CardFormatInfo& info = kCardFormats[format];
        SCOPED_TRACE(info.commandName);
        const CardFields largest{info.maxFacility, info.maxCustomer, info.maxFixed};
        EXPECT_FALSE(CheckCardFields(format, largest));

        CardFields number = largest;
        ++number.number;
        const auto refused = CheckCardFields(format, number);
        ASSERT_TRUE(refused);
        EXPECT_EQ(refused->field, Field::Number);
        EXPECT_EQ(refused->largest, info.maxCustomer);

        CardFields negative = largest;
        negative.number = -1;
        EXPECT_TRUE(CheckCardFields(format, negative));

        CardFields facility = largest;
        ++facility.facility;
        EXPECT_EQ(CheckCardFields(format, facility).has_value(), FormatHasFacility(format));
        CardFields fixed = largest;
        ++fixed.fixed;
        EXPECT_EQ(CheckCardFields(format, fixed).has_value(), FormatHasFixedField(format));
    }
    EXPECT_TRUE(CheckCardFields(8, CardFields{}));
}

TEST(CardNumbers, CommandLineNamesOfFormats) {
    EXPECT_EQ(FormatOfCommandName("26"), 0);
    EXPECT_EQ(FormatOfCommandName("37-HUGE"), 7);
    EXPECT_EQ(FormatOfCommandName("34-nc"), 3);
    EXPECT_EQ(FormatOfCommandName("26 "), -1);
    EXPECT_EQ(FormatOfCommandName(""), -1);
}
