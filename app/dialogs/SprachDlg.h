// The language choice on the very first start: German or English, asked in both languages
// because none is chosen yet. The choice is stored; closing the dialog stores nothing.
#pragma once

#include <QDialog>
#include <memory>

namespace Ui {
class CSprachDlg;
}

class CSprachDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDC_GERMAN = 1047;
    static constexpr int IDC_ENGLISH = 1048;

    explicit CSprachDlg(QWidget* parent = nullptr);
    ~CSprachDlg() override;

  private:
    void Choose(int language);

    std::unique_ptr<Ui::CSprachDlg> m_ui;
};
