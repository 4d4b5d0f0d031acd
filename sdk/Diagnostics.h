// Diagnostic texts of the SDK (failed line operations, the D2XX loader): written to standard
// error only when asked for, so that programs using the SDK show only their own messages.
#pragma once

namespace vellf {

// On when the environment variable VELLF_DEBUG is set to anything but "" or "0" at the first
// diagnostic; tests switch it with the setter.
bool DiagnosticsEnabled();
void SetDiagnosticsEnabled(bool on);

// printf-style; adds nothing (callers end their texts with a newline).
void Diagnostic(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace vellf
