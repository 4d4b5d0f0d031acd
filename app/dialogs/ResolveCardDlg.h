// What became of the chip of a card whose write was never confirmed: it is laid on the
// reader and read back, or the number is released deliberately (no chip carries it), or the
// chip was destroyed (the number stays held, the default). The dialog ends with the choice as
// its result.
#pragma once

#include <QDialog>

#include "station/register/CardRegister.h"

class CResolveCardDlg : public QDialog {
    Q_OBJECT
  public:
    enum Choice { kCancel = 0, kReadBack = 10, kRelease = 11, kDestroyed = 12 };

    static constexpr int IDC_QUESTION = 1355;
    static constexpr int IDC_READ_BACK = 1356;
    static constexpr int IDC_RELEASE = 1357;
    static constexpr int IDC_DESTROYED = 1358;
    static constexpr int IDCANCEL = 2;

    explicit CResolveCardDlg(const station::RegisterEntry& card, QWidget* parent = nullptr);
};
