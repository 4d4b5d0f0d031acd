#include "RegisterSettingsDlg.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QIntValidator>

#include "MessageBox.h"
#include "RegisterSettingsStore.h"
#include "StringTable.h"
#include "ui_RegisterSettingsDlg.h"

namespace {

constexpr int kStrRange = 61714;  // "Geben Sie eine ganze Zahl zwischen %1 und %2 ein."

}  // namespace

CRegisterSettingsDlg::CRegisterSettingsDlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CRegisterSettingsDlg>()) {
    m_ui->setupUi(this);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    m_ui->defaultFileLabel->setText(station::DefaultRegisterFile());
    m_ui->fileEdit->setPlaceholderText(station::DefaultRegisterFile());
    for (QAbstractButton* choice : {static_cast<QAbstractButton*>(m_ui->enabledCheck),
                                    static_cast<QAbstractButton*>(m_ui->sqliteRadio),
                                    static_cast<QAbstractButton*>(m_ui->postgresRadio)})
        connect(choice, &QAbstractButton::toggled, this, &CRegisterSettingsDlg::EnableControls);
    connect(m_ui->browseButton, &QPushButton::clicked, this, &CRegisterSettingsDlg::OnBrowse);
    connect(m_ui->okButton, &QPushButton::clicked, this, &CRegisterSettingsDlg::accept);
    connect(m_ui->cancelButton, &QPushButton::clicked, this, &CRegisterSettingsDlg::reject);
}

CRegisterSettingsDlg::~CRegisterSettingsDlg() = default;

void CRegisterSettingsDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) {
        m_bInitialised = true;
        m_settings = ReadRegisterSettings();
        UpdateData(false);
    }
    QDialog::showEvent(event);
}

bool CRegisterSettingsDlg::UpdateData(bool save) {
    using Kind = station::RegisterSettings::Kind;
    Ui::CRegisterSettingsDlg& ui = *m_ui;
    if (save) {
        bool ok = false;
        const int port = ui.portEdit->text().trimmed().toInt(&ok);
        if (!ok || port < 1 || port > 65535) {
            ShowMessage(LoadString(kStrRange).arg(1).arg(65535), MessageIcon::Warning);
            ui.portEdit->setFocus();
            ui.portEdit->selectAll();
            return false;
        }
        m_settings.enabled = ui.enabledCheck->isChecked();
        m_settings.kind = ui.postgresRadio->isChecked() ? Kind::PostgreSQL : Kind::SQLite;
        m_settings.file = ui.fileEdit->text().trimmed();
        m_settings.host = ui.hostEdit->text().trimmed();
        m_settings.port = port;
        m_settings.database = ui.nameEdit->text().trimmed();
        m_settings.user = ui.userEdit->text().trimmed();
        m_settings.nextFree = ui.nextFreeCheck->isChecked();
    } else {
        ui.enabledCheck->setChecked(m_settings.enabled);
        ui.sqliteRadio->setChecked(m_settings.kind == Kind::SQLite);
        ui.postgresRadio->setChecked(m_settings.kind == Kind::PostgreSQL);
        ui.fileEdit->setText(m_settings.file);
        ui.hostEdit->setText(m_settings.host);
        ui.portEdit->setText(QString::number(m_settings.port));
        ui.nameEdit->setText(m_settings.database);
        ui.userEdit->setText(m_settings.user);
        ui.nextFreeCheck->setChecked(m_settings.nextFree);
    }
    EnableControls();
    return true;
}

void CRegisterSettingsDlg::EnableControls() {
    Ui::CRegisterSettingsDlg& ui = *m_ui;
    const bool on = ui.enabledCheck->isChecked();
    const bool server = ui.postgresRadio->isChecked();
    ui.groupDatabase->setEnabled(on);
    ui.nextFreeCheck->setEnabled(on);
    for (QWidget* control :
         {static_cast<QWidget*>(ui.fileEdit), static_cast<QWidget*>(ui.browseButton)})
        control->setEnabled(!server);
    for (QWidget* control : {ui.hostEdit, ui.portEdit, ui.nameEdit, ui.userEdit})
        control->setEnabled(server);
}

void CRegisterSettingsDlg::OnBrowse() {
    QFileDialog dialog(this, m_ui->sqliteRadio->text());
    dialog.setObjectName(QStringLiteral("registerFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(QStringLiteral("sqlite"));
    const QString current =
        m_ui->fileEdit->text().isEmpty() ? station::DefaultRegisterFile() : m_ui->fileEdit->text();
    dialog.setDirectory(QFileInfo(current).absolutePath());
    dialog.selectFile(QFileInfo(current).fileName());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    m_ui->fileEdit->setText(QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath());
}

void CRegisterSettingsDlg::accept() {
    if (!UpdateData(true)) return;
    StoreRegisterSettings(m_settings);
    QDialog::accept();
}
