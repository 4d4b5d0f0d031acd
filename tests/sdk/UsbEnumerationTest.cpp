// Serial port and USB device enumeration on fixture sysfs trees, the driver check, the
// article-number filter and the packing of text lists.
#include <gtest/gtest.h>
#include <sys/utsname.h>

#include <algorithm>
#include <string>
#include <vector>

#include "TextList.h"
#include "discovery/ArticleNumbers.h"
#include "fixtures-usb/SysfsTree.h"
#include "transport/D2xxPort.h"
#include "vellf.h"

using testsupport::SysfsTree;

namespace {

using Entries = std::vector<std::string>;

// Unpacks a text list; checks that it is closed and that the result counts every byte.
Entries Unpack(const char* buffer, int used) {
    Entries entries;
    int pos = 0;
    while (pos < used && buffer[pos] != '\0') {
        entries.emplace_back(buffer + pos);
        pos += static_cast<int>(entries.back().size()) + 1;
    }
    EXPECT_EQ(pos + 1, used) << "the list is closed by one zero byte, counted in the result";
    return entries;
}

Entries ComPorts() {
    char buffer[2500];
    return Unpack(buffer, LfListComPorts(buffer, sizeof buffer));
}

}  // namespace

TEST(UsbEnumeration, ListsSerialPortsTaggedAndSorted) {
    SysfsTree tree;
    tree.AcmTty("ttyACM0", "1-1", "2b7e", "0a3d", "Qor Virtual COM");
    tree.AcmTty("ttyACM10", "1-2", "2b7e", "0a3d", "USB CDC Device");   // tagged by its ids
    tree.AcmTty("ttyACM2", "1-3", "1d6b", "0104", "mz-4 Virtual COM");  // any case
    tree.AcmTty("ttyACM3", "1-4", "1d6b", "0104", "Modem");
    tree.UsbSerialTty("ttyUSB0", "1-5", "0403", "6001", "FT232R USB UART");
    tree.UsbSerialTty("ttyUSB1", "1-6", "2b7e", "0a3d", "");  // no product string at all
    tree.Uart("ttyS0", 4);
    tree.Uart("ttyS1", 0);  // no UART found at that address
    tree.Uart("ttyS10", 4);
    tree.Uart("ttyS2", 4);
    tree.VirtualTty("tty0");
    tree.VirtualTty("ptmx");
    // A parallel port is no serial line, whatever its node is called.
    tree.Link("sys/class/printer/lp0", "sys/devices/platform/parport0/printer/lp0");
    tree.File("dev/lp0", "");

    EXPECT_EQ(ComPorts(), (Entries{
                              "/dev/ttyACM0 [Qor Virtual COM]",
                              "/dev/ttyACM2 [mz-4 Virtual COM]",
                              "/dev/ttyACM3",
                              "/dev/ttyACM10 [Qor Virtual COM]",
                              "/dev/ttyS0",
                              "/dev/ttyS2",
                              "/dev/ttyS10",
                              "/dev/ttyUSB0",
                              "/dev/ttyUSB1 [Qor Virtual COM]",
                          }));
}

TEST(UsbEnumeration, ProbesTheLinesOnlyWhenSysfsCannotBeRead) {
    SysfsTree tree;
    for (const char* name : {"ttyS1", "ttyS0", "ttyUSB3", "ttyACM0", "ttyS10", "lp0", "ttySX"}) {
        tree.File(std::string("dev/") + name, "");
    }
    EXPECT_EQ(ComPorts(),
              (Entries{"/dev/ttyACM0", "/dev/ttyS0", "/dev/ttyS1", "/dev/ttyS10", "/dev/ttyUSB3"}));

    // A readable tty class without lines is an answer: no probing then.
    tree.Dir("sys/class/tty");
    EXPECT_EQ(ComPorts(), Entries{});
}

TEST(UsbEnumeration, FlagsTheMakersDevicesWithoutDriver) {
    struct Case {
        const char* what;
        bool cdc;
        const char* cdcDriver;  // on the second interface; "" = none bound
        bool ftdi;
        const char* ftdiDriver;
        bool d2xxLibrary;  // the D2XX library can be loaded
        int flags;
    };
    // An FTDI reader never has a kernel driver: it lacks one only without the D2XX library.
    const Case cases[] = {
        {"CDC reader without driver", true, "", false, "", true, 2},
        {"CDC reader with driver", true, "cdc_acm", false, "", true, 0},
        {"FTDI reader, D2XX library there", false, "", true, "", true, 0},
        {"FTDI reader, no D2XX library", false, "", true, "", false, 1},
        {"FTDI reader claimed by a program", false, "", true, "usbfs", false, 0},
        {"both without driver", true, "", true, "", false, 3},
        {"both, D2XX library there", true, "", true, "", true, 2},
        {"nothing of the maker's", false, "", false, "", false, 0},
    };
    for (const Case& c : cases) {
        SysfsTree tree;
        tree.UsbDevice("usb1", "1d6b", "0002", "xHCI Host Controller");
        tree.UsbDevice("1-9", "046d", "c077", "USB Optical Mouse");
        if (c.cdc) {
            const std::string dir = tree.UsbDevice("1-1", "2b7e", "0a3d", "USB CDC Device");
            tree.UsbInterface(dir, "1-1", "1.0", "");
            tree.UsbInterface(dir, "1-1", "1.1", c.cdcDriver);
        }
        if (c.ftdi) {
            const std::string dir = tree.UsbDevice("1-2", "0403", "c6f1", "Reader");
            tree.UsbInterface(dir, "1-2", "1.0", c.ftdiDriver);
        }
        vellf::SetD2xxLibraryPath(c.d2xxLibrary ? FAKE_FTD2XX_LIBRARY : "/nonexistent/libftd2xx.so");
        EXPECT_EQ(LfGetUsbDeviceFlags(), c.flags) << c.what;
    }
    vellf::SetD2xxLibraryPath("");
    SysfsTree empty;
    EXPECT_EQ(LfGetUsbDeviceFlags(), 0);
}

TEST(UsbEnumeration, FindsTheVirtualComDriver) {
    utsname system{};
    ASSERT_EQ(uname(&system), 0);
    const std::string modules = std::string("lib/modules/") + system.release + "/";
    struct Case {
        const char* what;
        const char* file;  // below the root; "" = nothing
        const char* content;
        int installed;
    };
    const Case cases[] = {
        {"nothing", "", "", 0},
        {"registered with the USB core", "sys/bus/usb/drivers/cdc_acm/uevent", "", 1},
        {"loaded module", "sys/module/cdc_acm/refcnt", "0\n", 1},
        {"module to load", "modules.dep",
         "kernel/drivers/usb/class/cdc-wdm.ko.xz:\n"
         "kernel/drivers/usb/class/cdc-acm.ko.xz: kernel/drivers/usb/core/usbcore.ko\n",
         1},
        {"built in", "modules.builtin", "kernel/drivers/usb/class/cdc-acm.ko\n", 1},
        {"other class drivers only", "modules.dep", "kernel/drivers/usb/class/cdc-wdm.ko:\n", 0},
    };
    for (const Case& c : cases) {
        SysfsTree tree;
        tree.Dir("sys/bus/usb/drivers/usb");
        const std::string file = c.file;
        if (file.rfind("modules.", 0) == 0) {
            tree.File(modules + file, c.content);
        } else if (!file.empty()) {
            tree.File(file, c.content);
        }
        EXPECT_EQ(LfIsUsbDriverInstalled(), c.installed) << c.what;
    }
}

TEST(UsbEnumeration, ArticleNumbersAreFiveNumbersAndFiveRanges) {
    // Runs of consecutive accepted numbers: five single ones and ranges of 10, 20, 10, 100 and
    // 11 numbers (in some order).
    std::vector<int> runs;
    int run = 0;
    for (int number = 0; number <= 10000; ++number) {
        if (number < 10000 && vellf::IsReaderArticleNumber(number)) {
            ++run;
        } else if (run != 0) {
            runs.push_back(run);
            run = 0;
        }
    }
    std::sort(runs.begin(), runs.end());
    EXPECT_EQ(runs, (std::vector<int>{1, 1, 1, 1, 1, 10, 10, 11, 20, 100}));

    EXPECT_TRUE(vellf::HasReaderArticleNumber("4826-???? HID"));
    EXPECT_TRUE(vellf::HasReaderArticleNumber("48260001"));
    EXPECT_FALSE(vellf::HasReaderArticleNumber("FT4826AB"));
    EXPECT_FALSE(vellf::HasReaderArticleNumber("482"));  // read as 482
    EXPECT_FALSE(vellf::HasReaderArticleNumber(""));
}

TEST(UsbTextList, CopiesEntriesWhileTheyAndTheFinalZeroFit) {
    const Entries ports = {"\\\\.\\COM1", "\\\\.\\COM2"};  // 8 characters each
    struct Case {
        Entries entries;
        int size;
        int used;
        size_t copied;
    };
    const Case cases[] = {
        {ports, 10, 10, 1},
        {ports, 9, 1, 0},
        {ports, 18, 10, 1},
        {ports, 19, 19, 2},
        {{}, 1, 1, 0},
        {ports, 0, 0, 0},
        // The first entry that does not fit ends the list, even if a later one would fit.
        {{"a long entry", "b"}, 6, 1, 0},
    };
    for (const Case& c : cases) {
        std::vector<char> buffer(static_cast<size_t>(c.size) + 1, 'x');
        const int used = vellf::PackTextList(c.entries, buffer.data(), c.size);
        EXPECT_EQ(used, c.used) << c.size;
        EXPECT_EQ(buffer[static_cast<size_t>(c.size)], 'x') << "wrote past the buffer";
        if (used > 0) {
            const Entries copied = Unpack(buffer.data(), used);
            EXPECT_EQ(copied,
                      Entries(c.entries.begin(), c.entries.begin() + static_cast<long>(c.copied)));
        }
    }
    EXPECT_EQ(vellf::PackTextList(ports, nullptr, 100), 0);
}
