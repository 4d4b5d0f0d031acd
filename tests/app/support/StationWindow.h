// Opening the main window as the start-up loop does, and finding its controls by id.
#pragma once

#include <QComboBox>
#include <QTest>
#include <memory>

#include "ControlId.h"
#include "OrvexFSKDlg.h"

namespace apptest {

template <typename T>
T* Find(COrvexFSKDlg& dlg, int id) {
    T* control = ControlById<T>(&dlg, id);
    if (control == nullptr) qFatal("control %d missing", id);
    return control;
}

// Constructed, initialised (connected to the stored reader) and shown.
inline std::unique_ptr<COrvexFSKDlg> OpenStationWindow() {
    auto dlg = std::make_unique<COrvexFSKDlg>();
    dlg->OnInitDialog();
    dlg->show();
    return dlg;
}

// Picks a card format as the operator does in the format box.
inline void SelectFormat(COrvexFSKDlg& dlg, int index) {
    auto* box = Find<QComboBox>(dlg, 1008);
    box->setCurrentIndex(index);
    Q_EMIT box->activated(index);
}

}  // namespace apptest
