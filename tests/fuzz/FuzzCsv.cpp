// A CSV file as anyone may hand it in: any bytes, with the encoding and separator detected or
// chosen by the first byte. Records come in line order and every field's text came from the
// input, so the reader can neither loop nor read past the buffer.
#include <QByteArray>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "station/CsvReader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size == 0) return 0;
    station::CsvReadOptions options;
    const uint8_t choice = data[0];
    options.encoding = static_cast<station::CsvEncoding>(choice % 3);
    const char16_t separators[] = {0, u';', u',', u'\t'};
    options.separator = QChar(separators[(choice / 3) % 4]);
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1),
                           static_cast<qsizetype>(size - 1));

    station::CsvTable table;
    station::CsvError error;
    const bool read = station::ReadCsv(bytes, options, table, error);
    if (read != (error.kind == station::CsvError::Kind::None)) std::abort();
    int lastLine = 0;
    qsizetype characters = 0;
    for (const station::CsvRecord& record : table.records) {
        if (record.line <= lastLine || record.fields.isEmpty()) std::abort();
        lastLine = record.line;
        for (const QString& field : record.fields) characters += field.size();
    }
    if (!read && error.line < lastLine) std::abort();
    // Decoding never makes more characters than there were bytes.
    if (characters > bytes.size()) std::abort();
    return 0;
}
