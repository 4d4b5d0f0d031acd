// A virtual reader's announcement file, as the interface choice reads it from the runtime
// folder before it lists the reader.
#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "AnnouncedReaders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const ReaderAnnouncementText announced = ParseReaderAnnouncement(text);
    // One entry per line of the file: a line break never reaches a list entry.
    if (announced.line.contains('\n') || announced.name.contains('\n')) std::abort();
    (void)(announced.line + QStringLiteral(" [") + announced.name + QStringLiteral("]"));
    return 0;
}
