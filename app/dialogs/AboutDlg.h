// The About dialog: program and SDK versions, the logo and the maker's links.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CAboutDlg;
}

class CAboutDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDD = 100;
    static constexpr int IDC_TITLE = 101;
    static constexpr int IDC_LOGO = 102;
    static constexpr int IDC_MAIL = 103;
    static constexpr int IDC_WEB = 104;
    static constexpr int IDC_SDK_VERSION = 105;

    explicit CAboutDlg(QWidget* parent);
    ~CAboutDlg() override;

  private:
    std::unique_ptr<Ui::CAboutDlg> m_ui;
};
