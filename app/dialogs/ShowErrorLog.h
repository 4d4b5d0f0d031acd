// Shows a collected error text in a scrollable field; the caller sets m_strLog and runs the
// dialog modally.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

namespace Ui {
class CShowErrorLog;
}

class CShowErrorLog : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDD = 136;
    static constexpr int IDC_LOG = 1023;

    explicit CShowErrorLog(QWidget* parent = nullptr);
    ~CShowErrorLog() override;

    QString m_strLog;

    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    std::unique_ptr<Ui::CShowErrorLog> m_ui;
};
