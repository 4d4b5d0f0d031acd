#include "BeepTimeDlg.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>

#include "MessageBox.h"
#include "Settings.h"
#include "SignalOutput.h"
#include "StringTable.h"
#include "ui_BeepTimeDlg.h"

namespace {

constexpr int IDS_PARSE_UINT = 61713;   // "Geben Sie eine positive ganze Zahl ein."
constexpr int IDS_PARSE_RANGE = 61714;  // "Geben Sie eine ganze Zahl zwischen %1 und %2 ein."

constexpr unsigned int kMaxBeepTime = 1000;
constexpr unsigned int kMinZyklusZeit = 100;
constexpr unsigned int kMaxZyklusZeit = 10000;

const QString kSection = QStringLiteral("Settings");

bool Refuse(QLineEdit* edit, const QString& message) {
    ShowMessage(message, MessageIcon::Warning);
    edit->setFocus();
    edit->selectAll();
    return false;
}

// The edit's text as a number within [min, max]; a refused text is reported and focused.
bool ReadUnsigned(QLineEdit* edit, unsigned int min, unsigned int max, unsigned int& value) {
    const QString text = edit->text().trimmed();
    bool digitsOnly = !text.isEmpty();
    for (const QChar c : text)
        digitsOnly = digitsOnly && c >= QLatin1Char('0') && c <= QLatin1Char('9');
    bool ok = false;
    const uint number = digitsOnly ? text.toUInt(&ok) : 0;
    if (!ok) return Refuse(edit, LoadString(IDS_PARSE_UINT));
    if (number < min || number > max)
        return Refuse(edit, LoadString(IDS_PARSE_RANGE).arg(min).arg(max));
    value = number;
    return true;
}

}  // namespace

CBeepTimeDlg::CBeepTimeDlg(QWidget* parent) : CBeepTimeDlg(DefaultSignalOutput(), parent) {}

CBeepTimeDlg::CBeepTimeDlg(CSignalOutput& output, QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CBeepTimeDlg>()), m_output(output) {
    m_ui->setupUi(this);
    for (QRadioButton* radio : {m_ui->radioNone, m_ui->radioSpeaker, m_ui->radioFile})
        connect(radio, &QRadioButton::clicked, this, [this] { UpdateData(true); });
    connect(m_ui->buttonPlayErfolg, &QPushButton::clicked, this, [this] { OnPlay(true); });
    connect(m_ui->buttonPlayFehler, &QPushButton::clicked, this, [this] { OnPlay(false); });
    connect(m_ui->buttonBrowseErfolg, &QPushButton::clicked, this,
            [this] { OnBrowse(m_ui->editSoundErfolg); });
    connect(m_ui->buttonBrowseFehler, &QPushButton::clicked, this,
            [this] { OnBrowse(m_ui->editSoundFehler); });
    connect(m_ui->buttonOk, &QPushButton::clicked, this, &CBeepTimeDlg::accept);
    connect(m_ui->buttonCancel, &QPushButton::clicked, this, &CBeepTimeDlg::reject);
}

CBeepTimeDlg::~CBeepTimeDlg() = default;

void CBeepTimeDlg::showEvent(QShowEvent* event) {
    if (!m_bInitialised) OnInitDialog();
    QDialog::showEvent(event);
}

void CBeepTimeDlg::OnInitDialog() {
    m_bInitialised = true;
    m_nZyklusZeit = static_cast<unsigned int>(GetSettingInt(kSection, "ZyklusZeit", 250));
    m_nBeepTime = static_cast<unsigned int>(GetSettingInt(kSection, "BeepTime", 150));
    m_nSoundTyp = GetSettingInt(kSection, "SoundTyp", 1);
    m_strSoundNameErfolg = GetSettingString(kSection, "SoundNameErfolg", "");
    m_strSoundNameFehler = GetSettingString(kSection, "SoundNameFehler", "");
    UpdateData(false);
}

bool CBeepTimeDlg::UpdateData(bool save) {
    QRadioButton* const radios[] = {m_ui->radioNone, m_ui->radioSpeaker, m_ui->radioFile};
    if (save) {
        if (!ReadUnsigned(m_ui->editBeepTime, 0, kMaxBeepTime, m_nBeepTime) ||
            !ReadUnsigned(m_ui->editZyklusZeit, kMinZyklusZeit, kMaxZyklusZeit, m_nZyklusZeit))
            return false;
        m_nSoundTyp = -1;
        for (int i = 0; i < 3; ++i) {
            if (radios[i]->isChecked()) m_nSoundTyp = i;
        }
        m_strSoundNameErfolg = m_ui->editSoundErfolg->text();
        m_strSoundNameFehler = m_ui->editSoundFehler->text();
    } else {
        m_ui->editBeepTime->setText(QString::number(m_nBeepTime));
        m_ui->editZyklusZeit->setText(QString::number(m_nZyklusZeit));
        // A stored kind outside the three leaves every radio button unchecked, which the
        // exclusive group only allows while its exclusivity is off.
        for (int i = 0; i < 3; ++i) {
            radios[i]->setAutoExclusive(false);
            radios[i]->setChecked(i == m_nSoundTyp);
            radios[i]->setAutoExclusive(true);
        }
        m_ui->editSoundErfolg->setText(m_strSoundNameErfolg);
        m_ui->editSoundFehler->setText(m_strSoundNameFehler);
    }
    EnableForSoundTyp();
    return true;
}

void CBeepTimeDlg::EnableForSoundTyp() {
    const bool files = m_nSoundTyp == 2;
    for (QWidget* control : {static_cast<QWidget*>(m_ui->editSoundErfolg),
                             static_cast<QWidget*>(m_ui->buttonBrowseErfolg),
                             static_cast<QWidget*>(m_ui->editSoundFehler),
                             static_cast<QWidget*>(m_ui->buttonBrowseFehler)})
        control->setEnabled(files);
    m_ui->editBeepTime->setEnabled(m_nSoundTyp == 1);
}

void CBeepTimeDlg::OnPlay(bool success) {
    if (!UpdateData(true)) return;
    const QString& name = success ? m_strSoundNameErfolg : m_strSoundNameFehler;
    if (!name.isEmpty()) m_output.PlayWaveFile(name, true);
}

void CBeepTimeDlg::OnBrowse(QLineEdit* edit) {
    if (!UpdateData(true)) return;
    QFileDialog dialog(this, tr("Öffnen"));
    dialog.setObjectName(QStringLiteral("soundFileDialog"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(tr("Audiodateien (*.wav)"));
    dialog.setDefaultSuffix(QStringLiteral("wav"));
    const QFileInfo current(edit->text());
    if (!edit->text().isEmpty()) {
        dialog.setDirectory(current.absolutePath());
        dialog.selectFile(current.fileName());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return;
    QString& name = edit == m_ui->editSoundErfolg ? m_strSoundNameErfolg : m_strSoundNameFehler;
    name = QFileInfo(dialog.selectedFiles().constFirst()).absoluteFilePath();
    UpdateData(false);
}

void CBeepTimeDlg::accept() {
    if (!UpdateData(true)) return;
    PutSettingInt(kSection, "ZyklusZeit", static_cast<int>(m_nZyklusZeit));
    PutSettingInt(kSection, "BeepTime", static_cast<int>(m_nBeepTime));
    PutSettingInt(kSection, "SoundTyp", m_nSoundTyp);
    PutSettingString(kSection, "SoundNameErfolg", m_strSoundNameErfolg);
    PutSettingString(kSection, "SoundNameFehler", m_strSoundNameFehler);
    QDialog::accept();
}
