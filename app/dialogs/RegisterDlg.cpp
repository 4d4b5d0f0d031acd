#include "RegisterDlg.h"

#include <QFileDialog>
#include <QHeaderView>
#include <QRegularExpressionValidator>
#include <algorithm>

#include "MessageBox.h"
#include "RegisterCsvFile.h"
#include "Settings.h"
#include "StringTable.h"
#include "station/register/CardRegister.h"
#include "ui_RegisterDlg.h"

namespace {

constexpr int kStrCannotWrite = 11127;
constexpr int kStrCannotRead = 11128;
constexpr int kStrExportTitle = 11129;
constexpr int kStrEntries = 11147;
constexpr int kStrCsvFiles = 11148;
constexpr int kStrCsvSpreadsheet = 11193;
constexpr int kStrCsvComma = 11194;

}  // namespace

CRegisterDlg::CRegisterDlg(station::CCardRegister& cardRegister, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CRegisterDlg>()), m_register(cardRegister) {
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    setWindowFlag(Qt::WindowMaximizeButtonHint, true);
    m_ui->numberEdit->setValidator(
        new QRegularExpressionValidator(QRegularExpression("[0-9]{0,18}"), this));
    m_ui->registerTable->setModel(&m_rows);
    m_ui->registerTable->verticalHeader()->setVisible(false);
    m_ui->registerTable->horizontalHeader()->setStretchLastSection(true);
    const QDate today = QDate::currentDate();
    m_ui->fromDate->setDate(today);
    m_ui->toDate->setDate(today);
    EnableDates();
    connect(m_ui->fromCheck, &QCheckBox::toggled, this, &CRegisterDlg::EnableDates);
    connect(m_ui->toCheck, &QCheckBox::toggled, this, &CRegisterDlg::EnableDates);
    connect(m_ui->showButton, &QPushButton::clicked, this, &CRegisterDlg::ShowRows);
    connect(m_ui->numberEdit, &QLineEdit::returnPressed, this, &CRegisterDlg::ShowRows);
    connect(m_ui->uidEdit, &QLineEdit::returnPressed, this, &CRegisterDlg::ShowRows);
    connect(m_ui->exportButton, &QPushButton::clicked, this, &CRegisterDlg::OnExport);
    connect(m_ui->closeButton, &QPushButton::clicked, this, &CRegisterDlg::reject);
}

CRegisterDlg::~CRegisterDlg() = default;

void CRegisterDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        ShowRows();
    }
    QDialog::showEvent(event);
}

void CRegisterDlg::EnableDates() {
    m_ui->fromDate->setEnabled(m_ui->fromCheck->isChecked());
    m_ui->toDate->setEnabled(m_ui->toCheck->isChecked());
}

station::RegisterFilter CRegisterDlg::Filter() const {
    station::RegisterFilter filter;
    const QString number = m_ui->numberEdit->text().trimmed();
    if (!number.isEmpty()) filter.number = number.toLongLong();
    filter.uid = m_ui->uidEdit->text().trimmed();
    // The register keeps UTC dates, the operator means local ones: a day more on each side
    // here, the exact local dates in ShowRows.
    if (m_ui->fromCheck->isChecked()) filter.from = m_ui->fromDate->date().addDays(-1);
    if (m_ui->toCheck->isChecked()) filter.to = m_ui->toDate->date().addDays(1);
    return filter;
}

bool CRegisterDlg::ShowRows() {
    std::optional<std::vector<station::RegisterEntry>> rows = m_register.List(Filter());
    if (!rows) {
        m_rows.SetEntries({});
        m_ui->countLabel->setText(LoadString(kStrEntries).arg(0));
        ShowMessage(LoadString(kStrCannotRead).arg(m_register.LastError()), MessageIcon::Error);
        return false;
    }
    const bool from = m_ui->fromCheck->isChecked();
    const bool to = m_ui->toCheck->isChecked();
    const QDate first = m_ui->fromDate->date();
    const QDate last = m_ui->toDate->date();
    std::erase_if(*rows, [&](const station::RegisterEntry& entry) {
        const QDate day = entry.time.toLocalTime().date();
        return (from && day < first) || (to && day > last);
    });
    m_rows.SetEntries(std::move(*rows));
    m_ui->countLabel->setText(LoadString(kStrEntries).arg(m_rows.rowCount()));
    m_ui->registerTable->resizeColumnsToContents();
    return true;
}

void CRegisterDlg::OnExport() {
    QFileDialog dialog(this, LoadString(kStrExportTitle));
    dialog.setObjectName(QStringLiteral("exportFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // The file type says the layout: ';' with a byte-order mark opens in columns in a German
    // spreadsheet, ',' is what other programs expect. German stations start with the first.
    const QString spreadsheet = LoadString(kStrCsvSpreadsheet);
    const QString comma = LoadString(kStrCsvComma);
    dialog.setNameFilters({spreadsheet, comma, LoadString(kStrCsvFiles)});
    dialog.selectNameFilter(GetSettingInt("Settings", "Sprache", 0) == 0 ? spreadsheet : comma);
    dialog.setDefaultSuffix(QStringLiteral("csv"));
    dialog.selectFile(QStringLiteral("kartenregister.csv"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    station::CsvOptions options;
    if (dialog.selectedNameFilter() == spreadsheet) options = {QLatin1Char(';'), true};
    ExportTo(dialog.selectedFiles().constFirst(), options);
}

bool CRegisterDlg::ExportTo(const QString& path, const station::CsvOptions& options) {
    QString error;
    if (SaveRegisterCsv(path, m_rows.Entries(), error, options)) return true;
    ShowMessage(LoadString(kStrCannotWrite).arg(path, error), MessageIcon::Error);
    return false;
}
