// The LAN configuration dialog: the network settings of one network reader, either an address
// from DHCP under a host name or a fixed address, each with the TCP port, plus subnet mask and
// gateway. It reads the reader's settings when it opens; OK writes the new ones and waits until
// the reader answers under its new address, which the caller then takes from m_strDevice.
#pragma once

#include <QDialog>
#include <QString>
#include <memory>

class QLineEdit;

namespace Ui {
class CLanConfig;
}

class CLanConfig : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDD = 159;

    // Control ids.
    static constexpr int IDC_IP_ADDRESS = 1243;
    static constexpr int IDC_SUBNET_MASK = 1244;
    static constexpr int IDC_GATEWAY = 1245;
    static constexpr int IDC_FIXED_PORT = 1246;
    static constexpr int IDC_DHCP_NAME = 1247;
    static constexpr int IDC_DHCP_PORT = 1248;
    static constexpr int IDC_MODE_DHCP = 1251;
    static constexpr int IDC_MODE_FIXED = 1252;
    static constexpr int IDC_PROGRESS = 1253;

    static constexpr int kMaxDhcpName = 15;
    // How long OK waits for the reader under its new address, and how often it asks.
    static constexpr int kAnswerWaitMs = 25000;
    static constexpr int kPingPeriodMs = 100;

    // device: the reader's address text (a search entry or the open string of a reader).
    explicit CLanConfig(const QString& device, QWidget* parent = nullptr);
    ~CLanConfig() override;

    // Reads the reader's settings into the fields; runs once per display.
    void OnInitDialog();
    int exec() override;

    // Fields to members (save; false when a value is refused, which has been reported and
    // has the focus) or members to fields; then the controls are enabled for the mode.
    bool UpdateData(bool save);
    // Reads the reader's current settings; a reader that does not answer changes nothing.
    void LoadSettings();

    QString m_strDevice;
    int m_nMode = -1;  // 0 DHCP, 1 fixed address, -1 none checked
    QString m_strDhcpName;
    int m_nPort = 0;

  public Q_SLOTS:
    void accept() override;
    void reject() override;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    void EnableForMode();
    void SetBusy(bool busy);
    void WaitForReader(const QString& address);
    bool ReadPort(QLineEdit* edit);
    bool Refuse(QWidget* control, const QString& message);

    std::unique_ptr<Ui::CLanConfig> m_ui;
    bool m_bInitialised = false;
    bool m_bBusy = false;
};
