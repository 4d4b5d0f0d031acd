#include "LanConfig.h"

#include <QElapsedTimer>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QShowEvent>
#include <algorithm>
#include <array>

#include "LanAddressText.h"
#include "MessageBox.h"
#include "StringTable.h"
#include "UiWait.h"
#include "ui_LanConfig.h"
#include "vellf.h"

namespace {

constexpr int IDS_INVALID_IP = 10128;
constexpr int IDS_NOT_SET = 10130;
constexpr int IDS_PARSE_INT = 61712;
constexpr int IDS_PARSE_INT_RANGE = 61714;
constexpr int IDS_MAX_CHARS = 61715;

// Each text LfGetLanConfig hands back fits in 32 bytes.
constexpr size_t kConfigTextSize = 32;
using ConfigText = std::array<char, kConfigTextSize>;

constexpr int kPortMin = 1;
constexpr int kPortMax = 65535;

QString FromConfigText(const ConfigText& text) {
    return QString::fromLatin1(text.data(),
                               static_cast<qsizetype>(qstrnlen(text.data(), text.size())));
}

}  // namespace

CLanConfig::CLanConfig(const QString& device, QWidget* parent)
    : QDialog(parent), m_strDevice(device), m_ui(std::make_unique<Ui::CLanConfig>()) {
    m_ui->setupUi(this);
    const QRegularExpression digits(QStringLiteral("[0-9]*"));
    m_ui->editDhcpPort->setValidator(new QRegularExpressionValidator(digits, this));
    m_ui->editFixedPort->setValidator(new QRegularExpressionValidator(digits, this));
    // Typing stops at 15 characters, but a longer name the reader reports is shown whole
    // (and refused on OK), so the limit is a validator, not a maximum length. The reader
    // keeps one byte per character, so only printable ASCII is typed, and no "]", which
    // would end the bracketed name early.
    m_ui->editDhcpName->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("[\\x20-\\x5C\\x5E-\\x7E]{0,%1}").arg(kMaxDhcpName)),
        this));

    // The busy display takes the place of the buttons; the window keeps its size.
    for (QWidget* widget :
         {static_cast<QWidget*>(m_ui->progressWait), static_cast<QWidget*>(m_ui->buttonOk),
          static_cast<QWidget*>(m_ui->buttonCancel)}) {
        QSizePolicy policy = widget->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        widget->setSizePolicy(policy);
    }
    // Disabled while the dialog waits, the bar still shows how far the wait has come.
    QPalette palette = m_ui->progressWait->palette();
    for (int role = 0; role < QPalette::NColorRoles; ++role) {
        const auto colourRole = static_cast<QPalette::ColorRole>(role);
        palette.setColor(QPalette::Disabled, colourRole,
                         palette.color(QPalette::Active, colourRole));
    }
    m_ui->progressWait->setPalette(palette);
    m_ui->progressWait->hide();

    for (QRadioButton* radio : {m_ui->radioDhcp, m_ui->radioFixed})
        connect(radio, &QRadioButton::clicked, this, [this] { UpdateData(true); });
    connect(m_ui->buttonOk, &QPushButton::clicked, this, &CLanConfig::accept);
    connect(m_ui->buttonCancel, &QPushButton::clicked, this, &CLanConfig::reject);
}

CLanConfig::~CLanConfig() = default;

int CLanConfig::exec() {
    OnInitDialog();
    return QDialog::exec();
}

void CLanConfig::showEvent(QShowEvent* event) {
    if (!event->spontaneous()) OnInitDialog();
    QDialog::showEvent(event);
}

void CLanConfig::OnInitDialog() {
    if (m_bInitialised) return;
    m_bInitialised = true;
    UpdateData(false);
    LoadSettings();
}

void CLanConfig::LoadSettings() {
    const WaitCursor wait;
    ConfigText name{};
    ConfigText address{};
    ConfigText mask{};
    ConfigText gateway{};
    const QByteArray device = m_strDevice.toUtf8();
    if (LfGetLanConfig(device.constData(), name.data(), address.data(), mask.data(),
                       gateway.data()) != 0)
        return;
    const LanSettingsFields fields = ReadLanSettings(FromConfigText(name), FromConfigText(address));
    m_nMode = fields.mode;
    m_strDhcpName = fields.dhcpName;
    m_nPort = fields.port;
    m_ui->editIpAddress->SetAddress(fields.ip);
    m_ui->editSubnetMask->SetAddress(FromConfigText(mask));
    m_ui->editGateway->SetAddress(FromConfigText(gateway));
    UpdateData(false);
}

bool CLanConfig::UpdateData(bool save) {
    bool ok = true;
    if (save) {
        const QString name = m_ui->editDhcpName->text();
        if (name.size() > kMaxDhcpName) {
            ok = Refuse(m_ui->editDhcpName, LoadString(IDS_MAX_CHARS).arg(kMaxDhcpName));
        } else {
            m_strDhcpName = name;
            m_nMode = m_ui->radioDhcp->isChecked() ? 0 : m_ui->radioFixed->isChecked() ? 1 : -1;
            // With no mode chosen, OK treats the reader as one with a fixed address.
            ok = ReadPort(m_nMode == 0 ? m_ui->editDhcpPort : m_ui->editFixedPort);
        }
    } else {
        m_ui->editDhcpName->setText(m_strDhcpName);
        // No radio button is checked until the reader's settings are known, which an
        // exclusive group only allows while its exclusivity is off.
        for (QRadioButton* radio : {m_ui->radioDhcp, m_ui->radioFixed})
            radio->setAutoExclusive(false);
        m_ui->radioDhcp->setChecked(m_nMode == 0);
        m_ui->radioFixed->setChecked(m_nMode == 1);
        for (QRadioButton* radio : {m_ui->radioDhcp, m_ui->radioFixed})
            radio->setAutoExclusive(true);
        m_ui->editDhcpPort->setText(QString::number(m_nPort));
        m_ui->editFixedPort->setText(QString::number(m_nPort));
    }
    EnableForMode();
    return ok;
}

bool CLanConfig::ReadPort(QLineEdit* edit) {
    bool number = false;
    const int port = edit->text().trimmed().toInt(&number);
    if (!number) return Refuse(edit, LoadString(IDS_PARSE_INT));
    m_nPort = port;
    return true;
}

void CLanConfig::EnableForMode() {
    if (m_nMode != 0 && m_nMode != 1) return;
    const bool dhcp = m_nMode == 0;
    m_ui->editDhcpName->setEnabled(dhcp);
    m_ui->editDhcpPort->setEnabled(dhcp);
    m_ui->editIpAddress->setEnabled(!dhcp);
    m_ui->editFixedPort->setEnabled(!dhcp);
}

bool CLanConfig::Refuse(QWidget* control, const QString& message) {
    ShowMessage(message, MessageIcon::Warning);
    control->setFocus();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) edit->selectAll();
    return false;
}

void CLanConfig::accept() {
    if (m_bBusy || !UpdateData(true)) return;

    QString address;
    if (m_nMode != 0) {
        CIpAddressEdit* ip = m_ui->editIpAddress;
        if (!ip->IsComplete() || ip->Address() == QLatin1String("0.0.0.0")) {
            Refuse(ip, LoadString(IDS_INVALID_IP));
            return;
        }
        address = ip->Address();
    } else {
        address = '[' + m_strDhcpName + ']';
    }
    // The reader keeps its port in two bytes, and port 0 would leave it unchanged.
    if (m_nPort < kPortMin || m_nPort > kPortMax) {
        Refuse(m_nMode == 0 ? m_ui->editDhcpPort : m_ui->editFixedPort,
               LoadString(IDS_PARSE_INT_RANGE).arg(kPortMin).arg(kPortMax));
        return;
    }
    address += '-' + QString::number(m_nPort);
    // A half-typed mask or gateway would reach the reader as a different one.
    for (CIpAddressEdit* edit : {m_ui->editSubnetMask, m_ui->editGateway}) {
        if (!edit->IsBlank() && !edit->IsComplete()) {
            Refuse(edit, LoadString(IDS_INVALID_IP));
            return;
        }
    }

    SetBusy(true);
    const QByteArray device = m_strDevice.toUtf8();
    const QByteArray newAddress = address.toUtf8();
    const QByteArray mask = m_ui->editSubnetMask->Address().toUtf8();
    const QByteArray gateway = m_ui->editGateway->Address().toUtf8();
    if (LfSetLanConfig(device.constData(), newAddress.constData(), mask.constData(),
                       gateway.constData()) != 0) {
        SetBusy(false);
        ShowMessage(LoadString(IDS_NOT_SET), MessageIcon::Warning);
        // The fields show what the reader holds now.
        LoadSettings();
        return;
    }
    m_strDevice = address;
    WaitForReader(address);
    SetBusy(false);
    QDialog::accept();
}

void CLanConfig::reject() {
    if (!m_bBusy) QDialog::reject();
}

void CLanConfig::SetBusy(bool busy) {
    m_bBusy = busy;
    setEnabled(!busy);
    m_ui->buttonOk->setVisible(!busy);
    m_ui->buttonCancel->setVisible(!busy);
    m_ui->progressWait->setRange(0, kAnswerWaitMs);
    m_ui->progressWait->setValue(0);
    m_ui->progressWait->setVisible(busy);
    if (busy)
        QApplication::setOverrideCursor(Qt::WaitCursor);
    else
        QApplication::restoreOverrideCursor();
}

void CLanConfig::WaitForReader(const QString& address) {
    // The reader restarts with its new settings; the bar shows the time spent waiting for it.
    const QByteArray text = address.toUtf8();
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        WaitWithEvents(kPingPeriodMs, QEventLoop::ExcludeUserInputEvents);
        m_ui->progressWait->setValue(
            static_cast<int>(std::min<qint64>(clock.elapsed(), kAnswerWaitMs)));
        if (LfPingLanReader(text.constData()) > 0 || clock.elapsed() >= kAnswerWaitMs) return;
    }
}
