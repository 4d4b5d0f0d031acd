#include "AboutDlg.h"

#include <QPushButton>

#include "AppResources.h"
#include "MakerAddresses.h"
#include "ProgramInfo.h"
#include "ui_AboutDlg.h"
#include "vellf.h"

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
}

CAboutDlg::~CAboutDlg() = default;
