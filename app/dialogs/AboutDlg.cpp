#include "AboutDlg.h"

#include <QCheckBox>
#include <QColor>
#include <QProgressBar>
#include <QPushButton>
#include <algorithm>

#include "AppResources.h"
#include "MakerAddresses.h"
#include "ProgramInfo.h"
#include "Settings.h"
#include "StringTable.h"
#include "WindowMessage.h"
#include "ui_AboutDlg.h"
#include "update/UpdateCheck.h"
#include "vellf.h"

namespace {

constexpr int kStrNewVersion = 600;
constexpr int kStrIsCurrent = 601;
constexpr int kStrNoConnection = 602;
constexpr int kStrNoFile = 603;
constexpr int kStrStarting = 604;
constexpr int kStrNoServer = 11301;
constexpr int kStrAppTitle = 57344;
// The progress bar's resolution.
constexpr int kProgressSteps = 1000;

const QColor kGrey(128, 128, 128);
const QColor kRed(255, 0, 0);
const QColor kOfferRed(192, 0, 0);

}  // namespace

CAboutDlg::CAboutDlg(QWidget* parent) : QDialog(parent), m_ui(std::make_unique<Ui::CAboutDlg>()) {
    m_ui->setupUi(this);
    connect(m_ui->m_buttonOk, &QPushButton::clicked, this, &QDialog::accept);

    m_ui->m_title->setText(m_ui->m_title->text() + " " + GetProgramVersion() + " (" +
                           GetProgramDate() + ")");
    m_ui->m_sdkVersion->setText(QString::asprintf("SDK Version %.02f", LfGetSdkVersion() / 100.0));

    m_ui->m_logo->SetBitmap(LoadAppBitmap(IDB_LOGO));
    m_ui->m_logo->SetTransparent(true);

    for (CLabel* link : {m_ui->m_mailLink, m_ui->m_webLink}) {
        link->SetTextColor(QColor(0, 0, 255)).SetLinkCursor(QCursor(Qt::PointingHandCursor));
        QFont font = link->LogFont();
        font.setUnderline(true);
        link->SetLogFont(font);
    }
    m_ui->m_mailLink->SetText(QString::fromLatin1(kMakerMailLink));
    m_ui->m_webLink->SetText(QString::fromLatin1(kMakerWebLink));

    m_ui->m_autoUpdateCheck->setChecked(GetSettingInt("Version", "Update", 1) != 0);

    CLabel* line = m_ui->m_updateLine;
    QFont italic = font();
    italic.setItalic(true);
    line->SetLink(false);
    line->SetLogFont(italic).SetTextColor(kGrey).SetText(line->text());
    connect(line, &CLabel::clicked, this, &CAboutDlg::OnUpdateLineClicked);

    // Also when the automatic check is off: opening this dialog is asking for it.
    if (CUpdateCheck* check = CUpdateCheck::Current()) {
        check->StartUpdateCheck(this, CUpdateCheck::kNotifyId);
        connect(check, &CUpdateCheck::InstallerProgress, this, &CAboutDlg::OnInstallerProgress);
        connect(check, &CUpdateCheck::InstallerDownloaded, this,
                &CAboutDlg::OnInstallerDownloaded);
        connect(m_ui->m_buttonCancelDownload, &QPushButton::clicked, check,
                &CUpdateCheck::CancelInstallerDownload);
    }
}

CAboutDlg::~CAboutDlg() {
    if (CUpdateCheck* check = CUpdateCheck::Current()) check->ClearNotifyTarget(this);
}

void CAboutDlg::done(int result) {
    PutSettingInt("Version", "Update", m_ui->m_autoUpdateCheck->isChecked() ? 1 : 0);
    // A download that ends after the dialog has closed must not report to it.
    if (CUpdateCheck* check = CUpdateCheck::Current()) {
        check->ClearNotifyTarget(this);
        // Nobody would start an installer that arrives after the dialog has gone.
        if (!m_strOffer.isEmpty()) check->CancelInstallerDownload();
    }
    m_strOffer.clear();
    QDialog::done(result);
}

void CAboutDlg::customEvent(QEvent* event) {
    if (event->type() == CMessageEvent::EventType()) {
        const auto* message = static_cast<CMessageEvent*>(event);
        if (message->Message() == CUpdateCheck::kNotifyId &&
            message->WParam() == CUpdateCheck::kNotifyId && message->LParam() == 0)
            OnUpdateCheckDone();
        return;
    }
    QDialog::customEvent(event);
}

void CAboutDlg::OnUpdateCheckDone() {
    const CUpdateCheck* check = CUpdateCheck::Current();
    if (check == nullptr) return;
    QString version;
    QString build;
    if (!check->HasServer()) {
        // Nothing failed: this build has nowhere to look, so the automatic check is no choice.
        ShowUpdateLine(LoadString(kStrNoServer), kGrey, false);
        m_ui->m_autoUpdateCheck->setEnabled(false);
    } else if (!check->GetRemoteVersion(version, build)) {
        ShowUpdateLine(LoadString(kStrNoConnection), kRed, false);
    } else if (version.isEmpty() || build.isEmpty()) {
        ShowUpdateLine(LoadString(kStrNoFile), kRed, false);
    } else if (check->IsUpdateAvailable()) {
        ShowUpdateLine(LoadString(kStrNewVersion) + LoadString(kStrAppTitle) + " V " + version +
                           " (" + build + ")",
                       kOfferRed, true);
    } else {
        ShowUpdateLine(LoadString(kStrAppTitle) + LoadString(kStrIsCurrent), kGrey, false);
    }
}

void CAboutDlg::ShowUpdateLine(const QString& text, const QColor& colour, bool offer) {
    CLabel* line = m_ui->m_updateLine;
    line->SetText(text).SetTextColor(colour).SetNotify(offer);
    line->SetLinkCursor(offer ? std::optional<QCursor>(Qt::PointingHandCursor) : std::nullopt);
}

void CAboutDlg::OnUpdateLineClicked() {
    CUpdateCheck* check = CUpdateCheck::Current();
    CLabel* line = m_ui->m_updateLine;
    if (check == nullptr || !line->IsNotify()) return;
    const QString offer = line->Label();
    line->SetNotify(false);
    line->SetText(kStrStarting);
    // The download runs on a worker; the dialog stays usable and can cancel it.
    if (!check->StartInstallerDownload()) {
        line->SetText(offer).SetNotify(true);
        return;
    }
    m_strOffer = offer;
    m_ui->m_downloadProgress->setRange(0, 0);
    m_ui->m_downloadRow->show();
}

void CAboutDlg::OnInstallerProgress(qint64 received, qint64 total) {
    if (m_strOffer.isEmpty()) return;
    QProgressBar* bar = m_ui->m_downloadProgress;
    if (total <= 0) {
        bar->setRange(0, 0);  // size unknown: a busy bar
        return;
    }
    bar->setRange(0, kProgressSteps);
    bar->setValue(static_cast<int>(std::min(received, total) * kProgressSteps / total));
}

void CAboutDlg::OnInstallerDownloaded(const QString& path) {
    if (m_strOffer.isEmpty()) return;
    const QString offer = m_strOffer;
    m_strOffer.clear();
    m_ui->m_downloadRow->hide();
    CUpdateCheck* check = CUpdateCheck::Current();
    // The station quits only for an installer that really runs; otherwise the offer stays.
    const bool started = check != nullptr && !path.isEmpty() && check->StartInstaller(path);
    m_ui->m_updateLine->SetText(offer).SetNotify(true);
    if (!started) return;
    if (QWidget* mainWindow = parentWidget())
        QCoreApplication::postEvent(mainWindow, new CCommandEvent(CCommandEvent::ID_APP_EXIT));
    reject();
}
