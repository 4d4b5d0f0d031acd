#include "SprachDlg.h"

#include <QPushButton>

#include "Settings.h"
#include "ui_SprachDlg.h"

namespace {

constexpr int kGerman = 0;
constexpr int kEnglish = 1;

}  // namespace

CSprachDlg::CSprachDlg(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CSprachDlg>()) {
    m_ui->setupUi(this);
    connect(m_ui->germanButton, &QPushButton::clicked, this, [this] { Choose(kGerman); });
    connect(m_ui->englishButton, &QPushButton::clicked, this, [this] { Choose(kEnglish); });
}

CSprachDlg::~CSprachDlg() = default;

void CSprachDlg::Choose(int language) {
    PutSettingInt("Settings", "Sprache", language);
    done(Accepted);
}
