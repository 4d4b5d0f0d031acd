// The HID link and HID reader ports on simulated HID devices that carry their reports to the
// virtual reader's engine.
#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <memory>
#include <optional>
#include <thread>

#include "ChipFixture.h"
#include "CloseWhileWaiting.h"
#include "ReaderEngine.h"
#include "SimReader.h"
#include "transport/HidLink.h"
#include "vellf.h"

using namespace testsupport;
using vellf::CHidLink;
using Report = std::vector<uint8_t>;

namespace {

constexpr uint8_t kControl = 0x82;

// One simulated HID reader: what was written to it, what it will answer.
struct FakeHidReader {
    vellf::HidAttributes ids{0x2B7E, 0x0A3C};
    std::optional<std::string> serialNumber;
    size_t inputLength = 9;
    size_t outputLength = 9;
    bool lengthsKnown = true;
    bool writesFail = false;
    bool readsFail = false;
    bool noAccess = false;  // a node this process may not open
    vsim::ReaderEngine* engine = nullptr;
    std::vector<Report> written;
    std::deque<Report> input;

    // Reader bytes as input reports of the reader's length: 0, L, payload, zero padding.
    void QueueBytes(const std::vector<uint8_t>& bytes) {
        const size_t chunk = inputLength - 2;
        for (size_t pos = 0; pos < bytes.size(); pos += chunk) {
            const size_t n = std::min(chunk, bytes.size() - pos);
            Report report = {0x00, static_cast<uint8_t>(n)};
            report.insert(report.end(), bytes.begin() + static_cast<long>(pos),
                          bytes.begin() + static_cast<long>(pos + n));
            report.resize(inputLength, 0);
            input.push_back(report);
        }
    }
    std::vector<Report> DataReports() const {
        std::vector<Report> data;
        for (const Report& report : written) {
            if (report.size() > 1 && report[1] != kControl) data.push_back(report);
        }
        return data;
    }
    std::vector<int> ControlCodes() const {
        std::vector<int> codes;
        for (const Report& report : written) {
            if (report.size() > 3 && report[1] == kControl && report[2] == 0x10) {
                codes.push_back(report[3]);
            }
        }
        return codes;
    }
};

class FakeHidDevice : public vellf::CHidDevice {
  public:
    explicit FakeHidDevice(std::shared_ptr<FakeHidReader> reader) : m_reader(std::move(reader)) {}

    bool CanTransfer() const override { return !m_reader->noAccess; }
    bool GetAttributes(vellf::HidAttributes& attributes) override {
        attributes = m_reader->ids;
        return true;
    }
    bool GetSerialNumber(std::string& serialNumber) override {
        if (!m_reader->serialNumber) return false;
        serialNumber = *m_reader->serialNumber;
        return true;
    }
    bool GetReportLengths(size_t& input, size_t& output) override {
        input = m_reader->inputLength;
        output = m_reader->outputLength;
        return m_reader->lengthsKnown;
    }
    bool WriteReport(const uint8_t* report, size_t size, int) override {
        if (m_reader->writesFail) return false;
        m_reader->written.emplace_back(report, report + size);
        if (size > 2 && report[1] != kControl && m_reader->engine != nullptr) {
            const size_t n = std::min<size_t>(report[1], size - 2);
            m_reader->QueueBytes(m_reader->engine->OnBytes(report + 2, n, 0));
        }
        return true;
    }
    int ReadReport(uint8_t* report, size_t size, int waitMs) override {
        if (m_reader->readsFail) return -1;
        if (m_reader->input.empty()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(waitMs));
            return 0;
        }
        const Report next = m_reader->input.front();
        m_reader->input.pop_front();
        const size_t got = std::min(size, next.size());
        std::copy(next.begin(), next.begin() + static_cast<long>(got), report);
        return static_cast<int>(got);
    }

  private:
    std::shared_ptr<FakeHidReader> m_reader;
};

// Puts simulated readers in the place of the machine's HID devices while it lives.
class FakeHidSource : public vellf::CHidDeviceSource {
  public:
    std::unique_ptr<vellf::CHidDevice> OpenByIndex(int index, int& error) override {
        if (index >= static_cast<int>(readers.size())) {
            error = kNoMoreItems;
            return nullptr;
        }
        error = 0;
        return std::make_unique<FakeHidDevice>(readers[static_cast<size_t>(index)]);
    }
    std::shared_ptr<FakeHidReader> Add(std::optional<std::string> serialNumber,
                                       vellf::HidAttributes ids = {0x2B7E, 0x0A3C}) {
        auto reader = std::make_shared<FakeHidReader>();
        reader->serialNumber = std::move(serialNumber);
        reader->ids = ids;
        readers.push_back(reader);
        return reader;
    }

    std::vector<std::shared_ptr<FakeHidReader>> readers;
};

class HidFixture : public ::testing::Test {
  protected:
    HidFixture() : source(std::make_shared<FakeHidSource>()) { vellf::SetHidDeviceSource(source); }
    ~HidFixture() override { vellf::SetHidDeviceSource(nullptr); }

    std::shared_ptr<FakeHidSource> source;
};

Report Payload(size_t count, uint8_t first) {
    Report bytes;
    for (size_t i = 0; i < count; ++i) bytes.push_back(static_cast<uint8_t>(first + i));
    return bytes;
}

}  // namespace

using HidLink = HidFixture;

TEST_F(HidLink, SplitsAFrameIntoDataReports) {
    auto reader = source->Add("48260042");
    CHidLink link;
    ASSERT_TRUE(link.OpenByName("48260042 HID"));
    EXPECT_EQ(link.Number(), 10001);
    const Report frame = Payload(25, 1);
    ASSERT_TRUE(link.WriteData(frame.data(), frame.size()));
    const std::vector<Report> reports = reader->DataReports();
    ASSERT_EQ(reports.size(), 4u);
    Report carried;
    std::vector<int> lengths;
    for (const Report& report : reports) {
        ASSERT_EQ(report.size(), 9u);
        EXPECT_EQ(report[0], 0x00);
        lengths.push_back(report[1]);
        carried.insert(carried.end(), report.begin() + 2, report.begin() + 2 + report[1]);
    }
    EXPECT_EQ(lengths, (std::vector<int>{7, 7, 7, 4}));
    EXPECT_EQ(carried, frame);
    EXPECT_EQ(reports.back(), (Report{0, 4, 22, 23, 24, 25, 0, 0, 0}));  // zero padding

    link.CloseLink();
    EXPECT_EQ(link.Number(), 0);
    EXPECT_FALSE(link.WriteData(frame.data(), frame.size()));
    EXPECT_FALSE(link.SendControl(0));
}

TEST_F(HidLink, DeliversWhatAnInputReportHolds) {
    auto reader = source->Add("48260042");
    reader->inputLength = 65;
    CHidLink link;
    ASSERT_TRUE(link.OpenByName("48260042 HID"));
    EXPECT_EQ(link.InputReportLength(), 65u);

    Report full = {0, 20};
    const Report twenty = Payload(20, 1);
    full.insert(full.end(), twenty.begin(), twenty.end());
    full.resize(65, 0);
    Report overlong = {0, 250};  // promises more than the 63 bytes a report has room for
    const Report room = Payload(63, 100);
    overlong.insert(overlong.end(), room.begin(), room.end());
    Report shortReport = {0, 3, 1, 2, 3};

    uint8_t buffer[100];
    // A 10-byte read (the drain) drops the rest of the report, not leaving it for later.
    reader->input = {full, full};
    EXPECT_EQ(link.ReadData(buffer, 10), 10u);
    EXPECT_EQ(Report(buffer, buffer + 10), Payload(10, 1));
    EXPECT_EQ(link.ReadData(buffer, 100), 20u);
    EXPECT_EQ(Report(buffer, buffer + 20), twenty);
    EXPECT_EQ(link.ReadData(buffer, 100), 0u);

    reader->input = {overlong};
    EXPECT_EQ(link.ReadData(buffer, 100), 63u);
    EXPECT_EQ(Report(buffer, buffer + 63), room);

    reader->input = {shortReport, full};
    EXPECT_EQ(link.ReadData(buffer, 100), 0u);  // shorter than the input report length
    EXPECT_EQ(link.ReadData(buffer, 100), 20u);
}

TEST_F(HidLink, ListsReadersOnceAndOpensTheFirstOfAName) {
    auto first = source->Add(std::nullopt);
    source->Add("48260042");
    auto second = source->Add(std::nullopt);
    source->Add("48260099", {0x2B7E, 0x0A3D});  // the virtual COM reader
    source->Add("48260098", {0x2B7E, 0x0A42});
    source->Add("48260011", {0x3D51, 0x17A6});
    source->Add("48260012", {0x4E85, 0x2C19});
    source->Add("48260013", {0x2B7E, 0x0A41});

    std::vector<std::string> names;
    CHidLink::ListReaders(names);
    EXPECT_EQ(names, (std::vector<std::string>{"4826-???? HID", "48260042 HID", "48260011 HID",
                                               "48260012 HID", "48260013 HID"}));

    second->lengthsKnown = false;
    first->outputLength = 17;
    CHidLink link;
    ASSERT_TRUE(link.OpenByName("4826-???? HID"));
    ASSERT_TRUE(link.SendControl(0));
    EXPECT_EQ(first->ControlCodes(), std::vector<int>{0});
    EXPECT_TRUE(second->written.empty());
    EXPECT_EQ(link.OutputReportLength(), 17u);
    EXPECT_EQ(first->written.front().size(), 17u);

    CHidLink unknownLengths;
    first->ids = {0x2B7E, 0x0A3D};  // now only the second one carries the name
    ASSERT_TRUE(unknownLengths.OpenByName("4826-???? HID"));
    EXPECT_EQ(unknownLengths.InputReportLength(), 9u);
    EXPECT_EQ(unknownLengths.OutputReportLength(), 9u);
    EXPECT_EQ(unknownLengths.Number(), 10002);

    EXPECT_FALSE(CHidLink().OpenByName("48260099 HID"));  // the virtual COM reader
    EXPECT_FALSE(CHidLink().OpenByName("48260042 hid"));  // names compare exactly
}

// A reader whose node the user may not open is listed, so the user learns it is there, but
// never opened; a reader of the same name that can be opened is.
TEST_F(HidLink, ListsAReaderWithoutAccessButNeverOpensIt) {
    auto locked = source->Add("48260042");
    locked->noAccess = true;
    std::vector<std::string> names;
    CHidLink::ListReaders(names);
    EXPECT_EQ(names, std::vector<std::string>{"48260042 HID"});
    EXPECT_FALSE(CHidLink().OpenByName("48260042 HID"));
    EXPECT_EQ(LfOpenPort("48260042 HID", 0, 0, 100), -1);
    EXPECT_TRUE(locked->written.empty());

    auto open = source->Add("48260042");
    CHidLink link;
    ASSERT_TRUE(link.OpenByName("48260042 HID"));
    ASSERT_TRUE(link.SendControl(0));
    EXPECT_EQ(open->ControlCodes(), std::vector<int>{0});
    EXPECT_TRUE(locked->written.empty());
}

TEST_F(HidLink, OpensAReaderPortAndTalksToTheReader) {
    vsim::ReaderEngine engine;
    engine.SetVersion("243c");
    engine.SetSerialNumber({0x44, 0x33, 0x22, 0x11});
    auto reader = source->Add("48260042");
    reader->engine = &engine;

    const int handle = LfOpenPort("48260042 HID", 9600, 0, 500);
    ASSERT_EQ(handle, 10001);
    EXPECT_EQ(reader->ControlCodes(), std::vector<int>{0});
    unsigned char reply[16];
    ASSERT_EQ(LfGetVersion(handle, reply, sizeof reply, nullptr, 0), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 4), "243c");
    ASSERT_EQ(LfGetSerialNumber(handle, reply, sizeof reply), 4);
    EXPECT_EQ(Report(reply, reply + 4), (Report{0x44, 0x33, 0x22, 0x11}));
    EXPECT_EQ(PortOf(handle)->m_capabilities, 0x07F3);

    // A stale reply still waiting in the device is drained before the next request goes out.
    engine.SetVersion("0000");
    reader->QueueBytes(engine.OnBytes(Bytes({0x02, 0x01, 0xF0, 0x00, 0xF1}).data(), 5, 0));
    engine.SetVersion("243c");
    ASSERT_EQ(LfGetVersion(handle, reply, sizeof reply, nullptr, 0), 4);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(reply), 4), "243c");

    EXPECT_EQ(LfClosePort(handle), 0);
    EXPECT_EQ(reader->ControlCodes(), (std::vector<int>{0, 1}));
    EXPECT_EQ(LfGetLastError(handle), 6);
}

TEST_F(HidLink, AnOpenThatCannotDeliverItsControlCodeFails) {
    auto reader = source->Add("48260042");
    reader->writesFail = true;
    EXPECT_EQ(LfOpenPort("48260042 HID", 19200, 0, 200), -18);
    EXPECT_EQ(LfOpenPort("48260043 HID", 19200, 0, 200), -1);

    // The failed open gave its HID number back.
    vsim::ReaderEngine engine;
    reader->writesFail = false;
    reader->engine = &engine;
    const int handle = LfOpenPort("48260042 HID", 19200, 0, 200);
    EXPECT_EQ(handle, 10001);
    LfClosePort(handle);
}

TEST_F(HidLink, ASilentReaderTimesOutAndAFailingOneLosesItsPort) {
    vsim::ReaderEngine engine;
    auto reader = source->Add("48260042");
    reader->engine = &engine;
    const int handle = LfOpenPort("48260042 HID", 19200, 0, 100);
    ASSERT_EQ(handle, 10001);

    engine.SetSilent(true);
    unsigned char reply[16];
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LfGetVersion(handle, reply, sizeof reply, nullptr, 0), -1);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_EQ(LfGetLastError(handle), 7);

    // A read error closes the link on the spot; the port then has no handle any more.
    reader->readsFail = true;
    EXPECT_EQ(LfGetVersion(handle, reply, sizeof reply, nullptr, 0), -1);
    EXPECT_EQ(LfGetLastError(handle), 6);
    EXPECT_EQ(LfClosePort(handle), -1);
}

TEST_F(HidLink, WritesACardAndReadsItBack) {
    vsim::ReaderEngine engine;
    engine.PlaceTransponder(FreshChip(9));
    auto reader = source->Add("48260042");
    reader->engine = &engine;
    const int handle = LfOpenPort("48260042 HID", 19200, 0, 500);
    ASSERT_EQ(handle, 10001);
    ASSERT_EQ(LfWriteWiegand26(handle, 9, 12, 3456, 0), 0) << "error " << LfGetLastError(handle);
    int facility = -1;
    int number = -1;
    ASSERT_EQ(LfReadWiegand26(handle, &facility, &number), 0) << "error " << LfGetLastError(handle);
    EXPECT_EQ(facility, 12);
    EXPECT_EQ(number, 3456);
    EXPECT_EQ(LfClosePort(handle), 0);
}

// One thread waits for a reply while another closes the HID port: no race on the link.
TEST_F(HidLink, APortClosedWhileAnotherThreadWaitsOnIt) {
    vsim::ReaderEngine engine;
    engine.SetVersion("243c");
    auto reader = source->Add("48260042");
    reader->engine = &engine;
    for (int delayMs : {0, 5, 40}) {
        engine.SetSilent(false);
        const int handle = LfOpenPort("48260042 HID", 9600, 0x80, 300);
        ASSERT_EQ(handle, 10001);
        engine.SetSilent(true);
        const CloseWhileWaitingResult result = CloseWhileWaiting(handle, delayMs);
        EXPECT_EQ(result.close, 0);
        EXPECT_EQ(result.wait, -1);
    }
}
