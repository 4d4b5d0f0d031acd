// The question before a card of the register is revoked: it names the card, its chip and
// when it was written, and takes the reason. Cancel is the default, since a revoked number
// is never handed out again.
#pragma once

#include <QDialog>

#include "station/register/CardRegister.h"

class QComboBox;

class CRevokeCardDlg : public QDialog {
    Q_OBJECT
  public:
    static constexpr int IDC_QUESTION = 1350;
    static constexpr int IDC_REASON = 1351;
    static constexpr int IDC_REVOKE = 1352;
    static constexpr int IDCANCEL = 2;

    explicit CRevokeCardDlg(const station::RegisterEntry& card, QWidget* parent = nullptr);

    station::RevokeReason Reason() const;

  private:
    QComboBox* m_reason = nullptr;
};
