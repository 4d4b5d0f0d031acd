#include "Diagnostics.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <mutex>

namespace vellf {

namespace {

std::atomic<bool>& Enabled() {
    static std::atomic<bool> enabled{false};
    static std::once_flag fromEnvironment;
    std::call_once(fromEnvironment, [] {
        const char* value = std::getenv("VELLF_DEBUG");
        enabled = value != nullptr && value[0] != '\0' && !(value[0] == '0' && value[1] == '\0');
    });
    return enabled;
}

}  // namespace

bool DiagnosticsEnabled() { return Enabled().load(); }

void SetDiagnosticsEnabled(bool on) { Enabled() = on; }

void Diagnostic(const char* format, ...) {
    if (!DiagnosticsEnabled()) return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

}  // namespace vellf
