// The IP address search: lists the readers and other devices that answer on the local
// networks, opens the LAN configuration for a listed device, and hands the chosen reader back
// to the interface dialog. Other devices are drawn in red italics and are never handed back.
#pragma once

#include <QDialog>
#include <QSize>
#include <QString>
#include <memory>

namespace Ui {
class CIPAddrSuche;
}

class CIPAddrSuche : public QDialog {
    Q_OBJECT
  public:
    // Control ids.
    static constexpr int IDC_DEVICE_LIST = 1128;
    static constexpr int IDC_CHANGE_ADDRESS = 1;
    static constexpr int IDC_CLOSE = 2;

    // Item data: what kind of device an item is (LanSearchItem::kReader or kOtherDevice).
    static constexpr int kKindRole = Qt::UserRole;
    static constexpr int kListBufferSize = 2500;
    // A reconfigured reader restarts; the list is searched again after this pause.
    static constexpr int kRefreshDelayMs = 300;

    explicit CIPAddrSuche(QWidget* parent = nullptr);
    ~CIPAddrSuche() override;

    // Runs the first search; ends the dialog when nothing was found and the operator does
    // not search again. exec() runs it once the window shows.
    void OnInitDialog();
    int exec() override;

    // Searches the networks and fills the list; false (and the dialog ended) when nothing
    // was found and the operator cancelled.
    bool RefreshList();

    // The chosen reader's address text after the dialog has closed; "" for none.
    QString m_strResult;
    QSize m_minTrackSize;

  public Q_SLOTS:
    void reject() override;

  private:
    void OnSelectionChanged();
    void OnChangeAddress();
    bool HasSelection() const;

    std::unique_ptr<Ui::CIPAddrSuche> m_ui;
};
