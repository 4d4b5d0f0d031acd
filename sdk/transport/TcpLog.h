// The diagnostic log of the network transport: one line per connection event, written only
// while a log path is set (none by default).
#pragma once

#include <string>

namespace vellf {

// Internal setter: the file that log lines are appended to; empty turns the log off.
void SetSocketLogPath(const std::string& path);

// Appends "[%H:%M:%S] " + host + the formatted text when a path is set.
void SocketLog(const std::string& host, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// The close notification's text for an error code (0 = a clean close).
const char* CloseCodeText(int code);

}  // namespace vellf
