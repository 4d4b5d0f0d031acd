// lfprog info: the reader's model, version reply and serial number, and the SDK's version.
#include <array>
#include <cstdio>

#include "Commands.h"
#include "Reader.h"
#include "vellf.h"

namespace {

std::string SdkVersionText() {
    const int version = LfGetSdkVersion();
    char text[16];
    std::snprintf(text, sizeof text, "%d.%02d", version / 100, version % 100);
    return text;
}

std::string HexText(const unsigned char* bytes, int count) {
    std::string text;
    char pair[4];
    for (int i = 0; i < count; ++i) {
        std::snprintf(pair, sizeof pair, "%02X", bytes[i]);
        text += pair;
    }
    return text;
}

}  // namespace

int RunInfo(CommandContext& context) {
    CReader reader;
    if (const int status = reader.Open(context.line, context.out)) return status;
    std::array<unsigned char, 32> serial{};
    const int serialCount =
        LfGetSerialNumber(reader.Handle(), serial.data(), static_cast<int>(serial.size()));
    const std::string serialText = serialCount > 0 ? HexText(serial.data(), serialCount) : "";

    CJson object;
    object.Add("port", reader.Port()).Add("model", reader.Model()).Add("version", reader.Version());
    if (serialCount > 0)
        object.Add("serial", serialText);
    else
        object.AddNull("serial");
    object.Add("sdk", SdkVersionText());
    std::string text = "port:    " + reader.Port() + "\nmodel:   " + reader.Model() +
                       "\nversion: " + reader.Version();
    if (serialCount > 0) text += "\nserial:  " + serialText;
    text += "\nsdk:     " + SdkVersionText();
    context.out.Print(object, text);
    return kExitSuccess;
}
