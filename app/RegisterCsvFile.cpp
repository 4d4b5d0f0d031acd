#include "RegisterCsvFile.h"

#include <QSaveFile>
#include <QTextStream>

bool SaveRegisterCsv(const QString& path, const std::vector<station::RegisterEntry>& entries,
                     QString& error, const station::CsvOptions& options) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    QTextStream out(&file);
    out.setEncoding(QStringConverter::Utf8);
    station::WriteRegisterCsv(out, entries, options);
    out.flush();
    // A stream that could not write everything must not replace the file.
    if (out.status() != QTextStream::Ok || file.error() != QFileDevice::NoError) {
        error = file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    return true;
}
