// lfprog list: the serial lines and USB readers, and the network readers when asked.
#include <vector>

#include "Commands.h"
#include "vellf.h"

namespace {

constexpr int kListBufferSize = 64 * 1024;
constexpr int kFlagFtdiWithoutLibrary = LF_USB_FLAG_D2XX_READER_UNDRIVEN;
constexpr int kFlagCdcWithoutDriver = LF_USB_FLAG_VIRTUAL_COM_READER_UNDRIVEN;

std::vector<std::string> TextList(int (*list)(char*, int)) {
    std::vector<char> buffer(kListBufferSize);
    const int used = list(buffer.data(), static_cast<int>(buffer.size()));
    std::vector<std::string> entries;
    for (int at = 0; at < used && buffer[static_cast<size_t>(at)] != '\0';) {
        std::string entry(&buffer[static_cast<size_t>(at)]);
        at += static_cast<int>(entry.size()) + 1;
        entries.push_back(std::move(entry));
    }
    return entries;
}

// A serial entry "/dev/ttyACM0 [Qor Virtual COM]": the line and the bracketed description.
void PrintSerial(const COutput& out, const std::string& entry) {
    std::string port = entry;
    std::string description;
    if (const size_t open = entry.find(" ["); open != std::string::npos && entry.back() == ']') {
        port = entry.substr(0, open);
        description = entry.substr(open + 2, entry.size() - open - 3);
    }
    CJson object;
    object.Add("kind", "serial").Add("port", port);
    if (!description.empty()) object.Add("description", description);
    out.Print(object, "serial  " + port + (description.empty() ? "" : "  " + description));
}

void Print(const COutput& out, const char* kind, const std::string& port) {
    out.Print(CJson().Add("kind", kind).Add("port", port), std::string(kind) + "     " + port);
}

}  // namespace

int RunList(CommandContext& context) {
    const COutput& out = context.out;
    for (const std::string& entry : TextList(LfListComPorts)) PrintSerial(out, entry);
    for (const std::string& entry : TextList(LfListUsbReaders)) Print(out, "usb", entry);
    const int flags = LfGetUsbDeviceFlags();
    if ((flags & kFlagCdcWithoutDriver) != 0)
        out.Note(LfIsUsbDriverInstalled() != 0
                     ? "a USB reader is plugged in but no driver serves it"
                     : "a USB reader is plugged in but the kernel's CDC-ACM driver is missing");
    if ((flags & kFlagFtdiWithoutLibrary) != 0)
        out.Note("a USB reader needs FTDI's D2XX library (libftd2xx.so), which cannot be loaded");
    // The network search broadcasts on every adapter, so it runs only when asked for.
    if (context.line.Has("lan")) {
        for (const std::string& entry : TextList(LfFindLanReaders)) Print(out, "lan", entry);
    }
    return kExitSuccess;
}
