// Card reads: raw reads in the three codings and the reader-side decoding.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "TransponderExchange.h"
#include "TransponderFactory.h"
#include "cards/CardFormat.h"

namespace vsim {
namespace {

using namespace vsim::testing;

constexpr uint8_t kReadCard = 0xC5, kRaw = 0xC7;
constexpr uint64_t kWord = 0x2006020002;  // format 26, facility 1, number 1
const Bytes kFskBytes = {0x02, 0x00, 0x60, 0x20, 0x00, 0x2F};

TEST(RawRead, AnswersOnlyForACardOfTheAskedCoding) {
    struct Case {
        const char* name;
        std::function<std::unique_ptr<Transponder>()> make;  // nullptr: empty field
        Bytes request;
        Answer answer;
    };
    const auto fskCard = [] { return MakeCardChip(9, kWord); };
    const auto manchester = [] { return MakeManchesterCard({0x11, 0x22, 0x33}); };
    const auto biphase = [] { return MakeBiphaseCard({0xA0, 0xB0}); };
    const auto empty = [] { return std::unique_ptr<Transponder>(); };
    const Case cases[] = {
        {"FSK card, 6 bytes", fskCard, {4, 6}, Ok(kFskBytes)},
        {"FSK card, 3 bytes", fskCard, {4, 3}, Ok({0x02, 0x00, 0x60})},
        {"FSK card, 8 bytes", fskCard, {4, 8}, Ok(Concat(kFskBytes, {0, 0}))},
        {"FSK card, Manchester", fskCard, {0, 8}, Failed(status::kNoCardData)},
        {"FSK card, Biphase", fskCard, {1, 16}, Failed(status::kNoCardData)},
        {"Manchester card",
         manchester,
         {0, 8},
         Ok({0x11, 0x22, 0x33, 0x11, 0x22, 0x33, 0x11, 0x22})},
        {"Manchester card, FSK", manchester, {4, 6}, Failed(status::kNoCardData)},
        {"Manchester card, Biphase", manchester, {1, 16}, Failed(status::kNoCardData)},
        {"Biphase card", biphase, {1, 3}, Ok({0xA0, 0xB0, 0xA0})},
        {"Biphase card, Manchester", biphase, {0, 8}, Failed(status::kNoCardData)},
        {"empty field, FSK", empty, {4, 6}, Failed(status::kNoCardData)},
        {"empty field, Manchester", empty, {0, 8}, Failed(status::kNoCardData)},
        {"empty field, Biphase", empty, {1, 16}, Failed(status::kNoCardData)},
        {"blank chip", [] { return MakeBlankChip(9); }, {4, 6}, Failed(status::kNoCardData)},
        {"unknown coding", fskCard, {2, 6}, Failed(status::kBadParameter)},
        {"no length", fskCard, {4, 0}, Failed(status::kBadParameter)},
        {"short request", fskCard, {4}, Failed(status::kBadLength)},
    };
    for (const Case& c : cases) {
        ReaderEngine engine;
        engine.PlaceTransponder(c.make());
        EXPECT_EQ(Exchange(engine, kRaw, c.request), c.answer) << c.name;
    }
}

TEST(RawRead, ChipDataCountOnlyUnderTheFskConfiguration) {
    // Card chips whose configuration is then changed to one that sends no FSK card data.
    struct Case {
        int chipType;
        std::function<void(ReaderEngine&)> reconfigure;
    };
    const Case cases[] = {
        {9,
         [](ReaderEngine& e) {
             Exchange(e, 0xC3, {9, 0, 0xE8, 0x80, 0x08, 0x00});
         }},
        {3,
         [](ReaderEngine& e) {
             Exchange(e, 0xC3, {3, 0, 0x50, 0x80, 0x01, 0x60});
         }},
        {11,
         [](ReaderEngine& e) {
             Exchange(e, 0xC3, {11, 16, 0x06});
         }},
        {12,
         [](ReaderEngine& e) {
             Exchange(e, 0xC1, Concat({12}, Exchange(e, 0xC0, {12, 0}).data));
             Exchange(e, 0xC3, {12, 1, 0x24, 0x35, 0x00, 0x00});
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chipType);
        ReaderEngine engine;
        engine.PlaceTransponder(MakeCardChip(c.chipType, kWord));
        EXPECT_EQ(Exchange(engine, kRaw, {4, 6}), Ok(kFskBytes));
        c.reconfigure(engine);
        EXPECT_EQ(Exchange(engine, kRaw, {4, 6}), Failed(status::kNoCardData));
        EXPECT_EQ(engine.FieldSnapshot()->cardWord, std::nullopt);
    }
}

TEST(ReaderSideDecoding, OnlyReadersWithTheCapabilityKnowTheCommand) {
    struct Case {
        const char* version;
        bool decodes;
    };
    const Case cases[] = {
        {"243c", true},  {"244z", true},      {"245c", true}, {"243b", false}, {"2430", false},
        {"053A", true},  {"0540", true},      {"5430", true}, {"2930", true},  {"5550", true},
        {"5650", true},  {"5730", true},      {"5750", true}, {"2530", false}, {"0550", false},
        {"5560", false}, {"VEL-TEXT", false}, {"243", false}, {"24Xc", false},
    };
    for (const Case& c : cases) {
        ReaderEngine engine;
        engine.SetVersion(c.version);
        engine.PlaceTransponder(MakeCardChip(9, kWord));
        EXPECT_EQ(Exchange(engine, kReadCard, {0, 0x21}),
                  c.decodes ? Ok({0x01, 0x01, 0x00}) : Failed(status::kUnknownCommand))
            << c.version;
    }
}

TEST(ReaderSideDecoding, RepliesTheFieldsLittleEndianOrNoCardData) {
    struct Case {
        uint64_t word;  // on an ATA5577
        uint8_t code;
        Answer answer;
    };
    const Case cases[] = {
        {vellf::EncodeCardWord(26, 0xA5, 0x1234, 0), 0x21, Ok({0xA5, 0x34, 0x12})},
        {vellf::EncodeCardWord(34, 0xBEEF, 0x1234, 0), 0x22, Ok({0xEF, 0xBE, 0x34, 0x12})},
        {vellf::EncodeCardWord(35, 0xABC, 0xF1234, 0), 0x23, Ok({0xBC, 0x0A, 0x34, 0x12, 0x0F})},
        {vellf::EncodeCardWord(36, 0x12, 0x3456, 0x2AB), 0x24, Ok({0x12, 0x56, 0x34, 0xAB, 0x02})},
        {vellf::EncodeCardWord(37, 0xCAFE, 0x7FFFF, 0), 0x25, Ok({0xFE, 0xCA, 0xFF, 0xFF, 0x07})},
        {kWord, 0x25, Failed(status::kNoCardData)},         // a 26-bit card read as 37
        {kWord ^ 0x10, 0x21, Failed(status::kNoCardData)},  // parity error
        {kWord, 0x26, Failed(status::kBadParameter)},
    };
    for (const Case& c : cases) {
        ReaderEngine engine;
        engine.PlaceTransponder(MakeCardChip(9, c.word));
        EXPECT_EQ(Exchange(engine, kReadCard, {0, c.code}), c.answer)
            << std::hex << c.word << " " << int{c.code};
    }
    ReaderEngine engine;
    EXPECT_EQ(Exchange(engine, kReadCard, {0, 0x21}), Failed(status::kNoCardData));
    engine.PlaceTransponder(MakeManchesterCard({1, 2, 3}));
    EXPECT_EQ(Exchange(engine, kReadCard, {0, 0x21}), Failed(status::kNoCardData));
}

}  // namespace
}  // namespace vsim
