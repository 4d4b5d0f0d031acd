#include "CsvSaveDialog.h"

#include <QFileDialog>

#include "Settings.h"
#include "StringTable.h"

namespace {

constexpr int kStrCsvFiles = 11148;
constexpr int kStrCsvSpreadsheet = 11193;
constexpr int kStrCsvComma = 11194;

}  // namespace

std::optional<CsvSaveChoice> ChooseCsvFile(QWidget* parent, const QString& title,
                                           const QString& objectName, const QString& fileName) {
    QFileDialog dialog(parent, title);
    dialog.setObjectName(objectName);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    const QString spreadsheet = LoadString(kStrCsvSpreadsheet);
    const QString comma = LoadString(kStrCsvComma);
    dialog.setNameFilters({spreadsheet, comma, LoadString(kStrCsvFiles)});
    dialog.selectNameFilter(GetSettingInt("Settings", "Sprache", 0) == 0 ? spreadsheet : comma);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    CsvSaveChoice choice;
    choice.path = dialog.selectedFiles().constFirst();
    if (dialog.selectedNameFilter() == spreadsheet) choice.options = {QLatin1Char(';'), true};
    return choice;
}
