// HID devices through hidraw: report lengths from report descriptors, reports over a node
// that keeps report boundaries, and the readers found in fixture sysfs trees.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "fixtures-usb/SysfsTree.h"
#include "transport/HidLink.h"
#include "transport/HidReportDescriptor.h"
#include "transport/HidrawDevice.h"
#include "vellf.h"

using testsupport::SysfsTree;
using Bytes = std::vector<uint8_t>;

namespace {

// Vendor-defined input and output reports of the given sizes, without report IDs.
Bytes VendorDescriptor(uint8_t inputSize, uint8_t outputSize) {
    // clang-format off
    return {0x06, 0x00, 0xFF,        // usage page (vendor)
            0x09, 0x01,              // usage
            0xA1, 0x01,              // collection (application)
            0x15, 0x00,              // logical minimum 0
            0x26, 0xFF, 0x00,        // logical maximum 255
            0x75, 0x08,              // report size 8 bits
            0x95, inputSize,         // report count
            0x09, 0x01, 0x81, 0x02,  // input (data, variable, absolute)
            0x95, outputSize,        // report count
            0x09, 0x02, 0x91, 0x02,  // output
            0xC0};                   // end collection
    // clang-format on
}

std::string StringOf(const Bytes& bytes) {
    return std::string(bytes.begin(), bytes.end());
}

void AddHidraw(const SysfsTree& tree, const std::string& name, const std::string& hidId,
               const std::string& unique, const Bytes& descriptor, bool node = true) {
    const std::string device =
        "sys/devices/pci0000:00/0000:00:14.0/usb1/1-1/1-1:1.0/0003:" + name + "/";
    tree.File(device + "uevent", "DRIVER=hid-generic\nHID_ID=" + hidId +
                                     "\nHID_NAME=Reader\nHID_PHYS=usb-0000:00:14.0-1/input0\n"
                                     "HID_UNIQ=" +
                                     unique + "\nMODALIAS=hid:b0003\n");
    if (!descriptor.empty()) tree.File(device + "report_descriptor", StringOf(descriptor));
    tree.File(device + "hidraw/" + name + "/dev", "240:0\n");
    tree.Link(device + "hidraw/" + name + "/device", device);
    tree.Link("sys/class/hidraw/" + name, device + "hidraw/" + name);
    if (node) tree.File("dev/" + name, "");
}

}  // namespace

TEST(HidrawDescriptor, TakesTheLongestReportOfEachDirection) {
    struct Case {
        const char* what;
        Bytes descriptor;
        bool parsed;
        size_t input;
        size_t output;
        bool numbered;
    };
    // clang-format off
    Bytes numbered = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01,  // vendor collection
                      0x75, 0x08,                                // report size 8 bits
                      0x85, 0x01, 0x95, 0x20, 0x81, 0x02,        // report 1: 32 bytes in
                      0x85, 0x02, 0x95, 0x10, 0x81, 0x02,        // report 2: 16 bytes in
                      0x95, 0x3F, 0x91, 0x02,                    // report 2: 63 bytes out
                      0xC0};
    // clang-format on
    Bytes bits = {0x75, 0x01, 0x95, 0x05, 0x81, 0x02,  // 5 bits
                  0x75, 0x03, 0x95, 0x01, 0x81, 0x03,  // 3 bits padding
                  0x75, 0x08, 0x95, 0x02, 0x81, 0x02,  // 2 bytes
                  0xA4, 0x75, 0x10, 0x91, 0x02, 0xB4,  // push, 2 x 16 bits out, pop
                  0x91, 0x02};                         // 2 x 8 bits out
    Bytes longItem = VendorDescriptor(8, 8);
    longItem.insert(longItem.begin(), {0xFE, 0x02, 0x10, 0xAA, 0xBB});
    const Case cases[] = {
        {"8-byte reports", VendorDescriptor(8, 8), true, 9, 9, false},
        {"64-byte reports", VendorDescriptor(64, 64), true, 65, 65, false},
        {"numbered reports", numbered, true, 33, 64, true},
        {"fields of bits, push and pop", bits, true, 4, 7, false},
        {"long item skipped", longItem, true, 9, 9, false},
        {"no output report", Bytes{0x75, 0x08, 0x95, 0x08, 0x81, 0x02}, true, 9, 0, false},
        {"truncated item", Bytes{0x75, 0x08, 0x96, 0x08}, false, 0, 0, false},
        {"truncated long item", Bytes{0xFE, 0x09, 0x10, 0x00}, false, 0, 0, false},
        {"pop without push", Bytes{0xB4}, false, 0, 0, false},
    };
    for (const Case& c : cases) {
        vellf::HidReportLengths lengths;
        EXPECT_EQ(vellf::ParseReportDescriptor(c.descriptor.data(), c.descriptor.size(), lengths),
                  c.parsed)
            << c.what;
        if (!c.parsed) continue;
        EXPECT_EQ(lengths.input, c.input) << c.what;
        EXPECT_EQ(lengths.output, c.output) << c.what;
        EXPECT_EQ(lengths.numberedReports, c.numbered) << c.what;
    }
}

TEST(Hidraw, CarriesOneReportPerReadAndWrite) {
    // A sequenced-packet socket keeps report boundaries as a hidraw node does; the test plays
    // the kernel on the other end.
    SysfsTree tree;
    tree.File("device/uevent", "HID_ID=0003:00002B7E:00000A3C\nHID_UNIQ=48260042\n");
    tree.File("device/report_descriptor", StringOf(VendorDescriptor(8, 8)));
    int ends[2];
    ASSERT_EQ(socketpair(AF_UNIX, SOCK_SEQPACKET, 0, ends), 0);
    vellf::CHidrawDevice device(ends[0], tree.Path("device"));
    const int kernel = ends[1];

    vellf::HidAttributes ids;
    ASSERT_TRUE(device.GetAttributes(ids));
    EXPECT_EQ(ids.vendorId, 0x2B7E);
    EXPECT_EQ(ids.productId, 0x0A3C);
    std::string serialNumber;
    ASSERT_TRUE(device.GetSerialNumber(serialNumber));
    EXPECT_EQ(serialNumber, "48260042");
    size_t input = 0;
    size_t output = 0;
    ASSERT_TRUE(device.GetReportLengths(input, output));
    EXPECT_EQ(input, 9u);
    EXPECT_EQ(output, 9u);

    const Bytes report = {0, 3, 0x02, 0x01, 0xF0, 0, 0, 0, 0};
    ASSERT_TRUE(device.WriteReport(report.data(), report.size(), 50));
    uint8_t packet[64];
    ASSERT_EQ(read(kernel, packet, sizeof packet), 9);
    EXPECT_EQ(Bytes(packet, packet + 9), report);

    // Without report IDs the kernel hands over 8 bytes; the device puts the ID 0 back.
    uint8_t buffer[9];
    EXPECT_EQ(device.ReadReport(buffer, sizeof buffer, 1), 0);
    const Bytes fromReader = {2, 0x02, 0x01, 0, 0, 0, 0, 0};
    ASSERT_EQ(write(kernel, fromReader.data(), fromReader.size()), 8);
    ASSERT_EQ(write(kernel, fromReader.data(), fromReader.size()), 8);
    EXPECT_EQ(device.ReadReport(buffer, sizeof buffer, 1), 9);
    EXPECT_EQ(Bytes(buffer, buffer + 4), (Bytes{0, 2, 0x02, 0x01}));
    EXPECT_EQ(device.ReadReport(buffer, sizeof buffer, 1), 9);  // one report per read

    close(kernel);  // the device is unplugged
    EXPECT_EQ(device.ReadReport(buffer, sizeof buffer, 1), -1);
}

TEST(Hidraw, ListsAndOpensReadersOfTheHidrawClass) {
    SysfsTree tree;
    AddHidraw(tree, "hidraw0", "0003:00002B7E:00000A3C", "48260042", VendorDescriptor(64, 64));
    AddHidraw(tree, "hidraw1", "0003:00002B7E:00000A3D", "48260043", {});  // virtual COM
    AddHidraw(tree, "hidraw2", "0003:00002B7E:00000A40", "", {});
    AddHidraw(tree, "hidraw3", "0003:00003D51:000017A6", "48260044", {}, false);  // no node
    AddHidraw(tree, "hidraw10", "0003:00004E85:00002C19", "", VendorDescriptor(32, 32));
    AddHidraw(tree, "hidraw11", "0003:0000046D:0000C077", "48260045", {});  // a mouse

    std::vector<std::string> names;
    vellf::CHidLink::ListReaders(names);
    EXPECT_EQ(names, (std::vector<std::string>{"48260042 HID", "4826-???? HID"}));
    char buffer[256];
    const int used = LfListUsbReaders(buffer, sizeof buffer);
    EXPECT_EQ(std::string(buffer, static_cast<size_t>(used)), std::string("48260042 HID\0"
                                                                          "4826-???? HID\0\0",
                                                                          28));

    vellf::CHidLink link;
    ASSERT_TRUE(link.OpenByName("48260042 HID"));
    EXPECT_EQ(link.InputReportLength(), 65u);
    EXPECT_EQ(link.OutputReportLength(), 65u);
    // Two readers without a serial number: the first one (hidraw2, no descriptor) opens.
    vellf::CHidLink unnamed;
    ASSERT_TRUE(unnamed.OpenByName("4826-???? HID"));
    EXPECT_EQ(unnamed.InputReportLength(), 9u);
    EXPECT_FALSE(vellf::CHidLink().OpenByName("48260044 HID"));
}

TEST(Hidraw, WithoutTheHidrawClassThereAreNoHidReaders) {
    SysfsTree tree;
    tree.Dir("sys/class/tty");
    tree.File("dev/hidraw0", "");
    std::vector<std::string> names;
    vellf::CHidLink::ListReaders(names);
    EXPECT_TRUE(names.empty());
    EXPECT_EQ(LfOpenPort("4826-???? HID", 19200, 0, 100), -1);
    EXPECT_EQ(LfOpenPort("48260042 HID", 19200, 0, 100), -1);
}
