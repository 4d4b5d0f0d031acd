// Ports, versions, errors and the wait hooks.
#include <cstring>
#include <string>

#include "ApiSupport.h"
#include "discovery/ModelTable.h"
#include "vellf.h"

using namespace vellf;

namespace {

constexpr int kSdkVersion = VELLF_SDK_VERSION;  // the header's: one version everywhere
constexpr uint8_t kCmdVersion = 0xF0;

}  // namespace

extern "C" {

int LfOpenPort(const char* name, int baud, int options, int timeoutMs) {
    return CVel_LF_SDKApp::Instance().OpenPort(name ? name : "", baud, options, timeoutMs);
}

int LfClosePort(int handle) { return CVel_LF_SDKApp::Instance().ClosePort(handle); }

int LfGetLastError(int handle) {
    auto port = FindPort(handle);
    return port ? port->LastError() : err::kUnknownHandle;
}

int LfSetBackgroundMode(int handle, int on) {
    auto port = FindPort(handle);
    if (!port) return -1;
    port->m_background = on != 0 ? 1 : 0;
    return 1;
}

int LfGetSdkVersion(void) { return kSdkVersion; }

int LfGetVersion(int handle, unsigned char* reply, int replySize, char* model, int modelSize) {
    auto port = FindPort(handle);
    if (!port) return -1;
    std::vector<uint8_t> data;
    if (!port->Exchange(kCmdVersion, {}, &data)) return -1;
    const int count = CopyCount(*port, data, reply, replySize);
    if (count < 0) return -1;
    const std::string name = ModelNameFromReply(data);
    // Left out silently when the buffer has no room for the text and its zero.
    if (model != nullptr && modelSize > 0 && static_cast<size_t>(modelSize) > name.size()) {
        std::memcpy(model, name.c_str(), name.size() + 1);
    }
    return count;
}

void LfSetWaitHooks(LfPumpFn pump, LfBusyFn busy, void* context) {
    SetWaitHooks(WaitHooks{pump, busy, context});
}

}  // extern "C"
