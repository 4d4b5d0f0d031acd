// A log file as anyone may have left it: the station counts its lines, in the chunks a read
// returns, and builds the next numbered entry. The first byte chooses where a chunk ends.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "station/LogFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    const char* text = reinterpret_cast<const char*>(data + 1);
    const size_t length = size - 1;
    const size_t split = length == 0 ? 0 : data[0] % (length + 1);
    station::LogLineCount count;
    count.Add(text, split);
    count.Add(text + split, length - split);

    size_t newlines = 0;
    for (size_t i = 0; i < length; ++i) newlines += text[i] == '\n';
    const bool open = length > 0 && text[length - 1] != '\n';
    if (count.endsOpen != open || static_cast<size_t>(count.lines) != newlines + (open ? 1 : 0)) {
        std::abort();
    }
    const QByteArray entry = station::LogEntryBytes(count, QStringLiteral("x\n"));
    char expected[32];
    std::snprintf(expected, sizeof expected, "%s%6d\tx\r\n", open ? "\r\n" : "", count.lines + 1);
    if (entry != QByteArray(expected)) std::abort();
    return 0;
}
