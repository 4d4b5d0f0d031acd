// The save dialog of the station's CSV exports: the file type chooses the layout (';' with a
// byte-order mark for a German spreadsheet, ',' for other programs), German stations start
// with the first.
#pragma once

#include <QString>
#include <optional>

#include "station/register/CardRegister.h"

class QWidget;

struct CsvSaveChoice {
    QString path;
    station::CsvOptions options;
};

// Asks for the file; nullopt when the operator cancels.
std::optional<CsvSaveChoice> ChooseCsvFile(QWidget* parent, const QString& title,
                                           const QString& objectName, const QString& fileName);
