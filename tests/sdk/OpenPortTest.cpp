// Opening reader ports over real pseudo-terminals: names, handshake, framing fallback,
// version evaluation and handles.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#include "SimReader.h"
#include "vellf.h"

using namespace testsupport;
using vsim::Framing;

TEST(OpenPort, OpensAndNamesTheReader) {
    auto reader = StartReader("243c");
    const int handle = LfOpenPort(reader->Path().c_str(), 115200, 0, 500);
    ASSERT_EQ(handle, 1);
    unsigned char reply[16];
    char model[32];
    ASSERT_EQ(LfGetVersion(handle, reply, sizeof reply, model, sizeof model), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 4), "243c");
    EXPECT_STREQ(model, "Vel Writer 3");
    const auto requests = reader->Engine().Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front().request.raw, Bytes({0x02, 0x01, 0xF0, 0x00, 0xF1}));
    EXPECT_EQ(requests.front().lineBaud, 115200);
    EXPECT_EQ(LfClosePort(handle), 0);
    EXPECT_EQ(LfGetLastError(handle), 6);
}

TEST(OpenPort, TakesTheDeviceAddressFromTheName) {
    TempDir dir;
    auto reader = StartReader("243c", dir.Path() + "/reader:");
    // Nothing follows the colon: the name goes to the line unchanged, address 1.
    int handle = LfOpenPort((dir.Path() + "/reader:").c_str(), 9600, 0, 500);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(reader->Engine().Requests().back().request.address, 1);
    EXPECT_EQ(reader->Engine().Requests().back().lineBaud, 9600);
    LfClosePort(handle);

    handle = LfOpenPort((reader->Path() + ":5").c_str(), 9600, 0, 500);
    ASSERT_GT(handle, 0);
    EXPECT_EQ(reader->Engine().Requests().back().request.address, 5);
    LfClosePort(handle);
}

TEST(OpenPort, FallsBackToCrcFramingAfterTwoStxAttempts) {
    auto reader = StartReader("243c");
    reader->Engine().SetCrcOnly(true);
    const int handle = LfOpenPort(reader->Path().c_str(), 115200, 0, 500);
    ASSERT_GT(handle, 0);
    std::vector<Framing> framings;
    for (const auto& logged : reader->Engine().Requests()) framings.push_back(logged.request.framing);
    EXPECT_EQ(framings, (std::vector<Framing>{Framing::Stx, Framing::Stx, Framing::Crc}));
    EXPECT_EQ(reader->Engine().Requests().back().request.raw,
              Bytes({0x01, 0xF0, 0x00, 0x64, 0x00}));
    EXPECT_EQ(PortOf(handle)->m_crcFraming, 1);
    EXPECT_EQ(PortOf(handle)->m_timeoutMs, 500u);  // the handshake limit is lifted again
    LfClosePort(handle);

    reader->Engine().ClearRequests();
    EXPECT_EQ(LfOpenPort(reader->Path().c_str(), 115200, 0x40, 500), -15);
    EXPECT_EQ(reader->Engine().RequestCount(), 2u);
}

TEST(OpenPort, ReportsWhatCannotBeOpened) {
    auto reader = StartReader("243c");
    reader->Engine().SetSilent(true);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LfOpenPort(reader->Path().c_str(), 115200, 0, 2000), -15);
    // Three version requests, each limited to 300 ms while the handshake runs.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1800));
    EXPECT_EQ(LfOpenPort(reader->Path().c_str(), 115200, 0, -1), -5);
    EXPECT_EQ(LfOpenPort("/dev/no-such-reader", 115200, 0, 500), -1);
    EXPECT_EQ(LfOpenPort("ABC123", 115200, 0, 500), -1);  // a D2XX serial number, no library
    EXPECT_EQ(LfOpenPort("127.0.0.1-1", 115200, 0, 500), -1);  // nothing listens there
    EXPECT_EQ(LfOpenPort("4826-0001 HID", 115200, 0, 500), -1);
    EXPECT_EQ(LfOpenPort(nullptr, 115200, 0, 500), -1);
    EXPECT_EQ(PortOf(1), nullptr);  // a failed open leaves no port behind
}

TEST(OpenPort, AnswersOnlyAtTheLinesBaudRate) {
    auto reader = StartReader("243c");
    reader->Engine().SetBaudOnly(9600);
    EXPECT_EQ(LfOpenPort(reader->Path().c_str(), 115200, 0, 100), -15);
    const int handle = LfOpenPort(reader->Path().c_str(), 9600, 0, 100);
    EXPECT_GT(handle, 0);
    LfClosePort(handle);
}

TEST(OpenPort, HandsOutTheSmallestFreeHandle) {
    auto first = StartReader();
    auto second = StartReader();
    auto third = StartReader();
    const int a = LfOpenPort(first->Path().c_str(), 115200, 0, 500);
    const int b = LfOpenPort(second->Path().c_str(), 115200, 0, 500);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 2);
    // The line is exclusive while open.
    EXPECT_EQ(LfOpenPort(first->Path().c_str(), 115200, 0, 500), -1);
    EXPECT_EQ(LfClosePort(a), 0);
    EXPECT_EQ(LfClosePort(a), -1);
    const int c = LfOpenPort(third->Path().c_str(), 115200, 0, 500);
    EXPECT_EQ(c, 1);
    LfClosePort(b);
    LfClosePort(c);
}

TEST(OpenPort, EvaluatesTheVersionReply) {
    struct Case {
        const char* version;
        int type;
        int digit;
        uint16_t caps;
    };
    const Case cases[] = {
        {"2430", 0x243, 0, 0x01F3},
        {"243c", 0x243, 38, 0x07F3},
        {"053Z", 0x053, 35, 0x07F3},
        {"VEL-TEXT1", 0x242, 3, 0x0103},
    };
    auto reader = StartReader();
    for (const Case& c : cases) {
        reader->Engine().SetVersion(c.version);
        const int handle = LfOpenPort(reader->Path().c_str(), 115200, 0, 500);
        ASSERT_GT(handle, 0) << c.version;
        auto port = PortOf(handle);
        EXPECT_EQ(port->m_deviceType, c.type) << c.version;
        EXPECT_EQ(port->m_firmwareDigit, c.digit) << c.version;
        EXPECT_EQ(port->m_capabilities, c.caps) << c.version;
        LfClosePort(handle);
    }
}

TEST(OpenPort, CountResultsNeedRoomForTheReply) {
    auto reader = StartReader("243c");
    const int handle = LfOpenPort(reader->Path().c_str(), 115200, 0, 500);
    ASSERT_GT(handle, 0);
    unsigned char reply[4];
    EXPECT_EQ(LfGetVersion(handle, reply, 3, nullptr, 0), -1);
    EXPECT_EQ(LfGetLastError(handle), 8);
    // A model buffer without room for the text and its zero is left alone.
    char model[12];
    std::memset(model, 'x', sizeof model);
    EXPECT_EQ(LfGetVersion(handle, reply, 4, model, 12), 4);
    EXPECT_EQ(model[0], 'x');
    EXPECT_EQ(LfGetVersion(handle, reply, 4, model, 0), 4);
    LfClosePort(handle);
}

TEST(OpenPort, UnknownHandles) {
    EXPECT_EQ(LfGetLastError(42), 6);
    EXPECT_EQ(LfClosePort(42), -1);
    EXPECT_EQ(LfSetBackgroundMode(42, 1), -1);
    unsigned char reply[8];
    EXPECT_EQ(LfGetVersion(42, reply, sizeof reply, nullptr, 0), -1);
    EXPECT_EQ(LfGetSdkVersion(), 444);
}
