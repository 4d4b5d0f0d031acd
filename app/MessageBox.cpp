#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include "StringTable.h"

namespace {

constexpr int kAppTitleId = 57344;

QMessageBox::StandardButton Run(QMessageBox::Icon icon, const QString& text,
                                QMessageBox::StandardButtons buttons) {
    QMessageBox box(icon, LoadString(kAppTitleId), text, buttons, QApplication::activeWindow());
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

void ShowMessage(const QString& text, MessageIcon icon) {
    const QMessageBox::Icon shown = icon == MessageIcon::Information ? QMessageBox::Information
                                    : icon == MessageIcon::Error     ? QMessageBox::Critical
                                                                     : QMessageBox::Warning;
    Run(shown, text, QMessageBox::Ok);
}

bool AskYesNo(const QString& text) {
    return Run(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}
