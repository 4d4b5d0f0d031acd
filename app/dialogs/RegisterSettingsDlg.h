// The card register's settings: switched on or off, an SQLite file or a PostgreSQL server
// (host, port, database, user, TLS mode and certificate authority; the password never, the
// server's client library finds it in PGPASSWORD or ~/.pgpass), and whether a series takes its
// numbers from the register. Read from the section "Register" when the dialog opens, stored there
// on OK.
#pragma once

#include <QDialog>
#include <memory>

#include "station/register/CardRegister.h"

namespace Ui {
class CRegisterSettingsDlg;
}

class CRegisterSettingsDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDD = 181;
    static constexpr int IDC_ENABLED = 1321;
    static constexpr int IDC_SQLITE = 1322;
    static constexpr int IDC_FILE = 1323;
    static constexpr int IDC_BROWSE = 1324;
    static constexpr int IDC_DEFAULT_FILE = 1325;
    static constexpr int IDC_POSTGRESQL = 1326;
    static constexpr int IDC_HOST = 1327;
    static constexpr int IDC_PORT = 1328;
    static constexpr int IDC_NAME = 1329;
    static constexpr int IDC_USER = 1330;
    static constexpr int IDC_PASSWORD_NOTE = 1331;
    static constexpr int IDC_NEXT_FREE = 1332;
    static constexpr int IDC_SSL_MODE = 1333;
    static constexpr int IDC_SSL_ROOT_CERT = 1334;
    static constexpr int IDC_SSL_ROOT_CERT_BROWSE = 1335;

    explicit CRegisterSettingsDlg(QWidget* parent = nullptr);
    ~CRegisterSettingsDlg() override;

    // Fields to m_settings (false when a value is refused, which has been reported and has
    // the focus) or m_settings to fields; either way the controls follow the choices.
    bool UpdateData(bool save);

    station::RegisterSettings m_settings;

  public Q_SLOTS:
    void accept() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void EnableControls();
    void OnBrowse();
    void OnBrowseRootCert();

    std::unique_ptr<Ui::CRegisterSettingsDlg> m_ui;
    bool m_bInitialised = false;
};
