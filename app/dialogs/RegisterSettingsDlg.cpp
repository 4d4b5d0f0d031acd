#include "RegisterSettingsDlg.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QIntValidator>
#include <algorithm>

#include "MessageBox.h"
#include "RegisterSettingsStore.h"
#include "StringTable.h"
#include "station/register/RegisterTls.h"
#include "ui_RegisterSettingsDlg.h"

namespace {

constexpr int kStrRange = 61714;          // "Geben Sie eine ganze Zahl zwischen %1 und %2 ein."
constexpr int kStrClientDefault = 11450;  // "Vorgabe des Clients"

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
    // The client library's words as they are, since the README and its manual use them; an
    // empty item leaves the choice to the client (PGSSLMODE, else prefer).
    m_ui->sslModeCombo->addItem(LoadString(kStrClientDefault), QString());
    for (const QString& mode : station::SslModes()) m_ui->sslModeCombo->addItem(mode, mode);
    connect(m_ui->sslRootCertBrowseButton, &QPushButton::clicked, this,
            &CRegisterSettingsDlg::OnBrowseRootCert);
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
        m_settings.sslMode = ui.sslModeCombo->currentData().toString();
        m_settings.sslRootCert = ui.sslRootCertEdit->text().trimmed();
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
        ui.sslModeCombo->setCurrentIndex(
            std::max(0, ui.sslModeCombo->findData(m_settings.sslMode)));
        ui.sslRootCertEdit->setText(m_settings.sslRootCert);
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
    for (QWidget* control :
         {static_cast<QWidget*>(ui.hostEdit), static_cast<QWidget*>(ui.portEdit),
          static_cast<QWidget*>(ui.nameEdit), static_cast<QWidget*>(ui.userEdit),
          static_cast<QWidget*>(ui.sslModeCombo), static_cast<QWidget*>(ui.sslRootCertEdit),
          static_cast<QWidget*>(ui.sslRootCertBrowseButton)})
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

void CRegisterSettingsDlg::OnBrowseRootCert() {
    QFileDialog dialog(this, m_ui->labelSslRootCert->text());
    dialog.setObjectName(QStringLiteral("rootCertFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    const QString current = m_ui->sslRootCertEdit->text();
    if (!current.isEmpty()) dialog.setDirectory(QFileInfo(current).absolutePath());
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    m_ui->sslRootCertEdit->setText(
        QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath());
}

void CRegisterSettingsDlg::accept() {
    if (!UpdateData(true)) return;
    StoreRegisterSettings(m_settings);
    QDialog::accept();
}
