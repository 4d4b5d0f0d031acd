#include "MessageBox.h"

#include <QApplication>
#include <QMessageBox>

#include "StringTable.h"

namespace {

constexpr int kAppTitleId = 57344;

QMessageBox::StandardButton Run(QMessageBox::Icon icon, const QString& text,
                                QMessageBox::StandardButtons buttons,
                                const QString& caption = LoadString(kAppTitleId),
                                QMessageBox::StandardButton defaultButton = QMessageBox::NoButton) {
    QMessageBox box(icon, caption, text, buttons, QApplication::activeWindow());
    if (defaultButton != QMessageBox::NoButton) box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

}  // namespace

void ShowMessage(const QString& text, MessageIcon icon) {
    const QMessageBox::Icon shown = icon == MessageIcon::Information ? QMessageBox::Information
                                    : icon == MessageIcon::Error     ? QMessageBox::Critical
                                                                     : QMessageBox::Warning;
    Run(shown, text, QMessageBox::Ok);
}

bool AskYesNo(const QString& text, bool defaultYes) {
    return Run(QMessageBox::Question, text, QMessageBox::Yes | QMessageBox::No,
               LoadString(kAppTitleId),
               defaultYes ? QMessageBox::Yes : QMessageBox::No) == QMessageBox::Yes;
}

bool AskRetryCancel(const QString& text, const QString& caption) {
    return Run(QMessageBox::Warning, text, QMessageBox::Retry | QMessageBox::Cancel, caption) ==
           QMessageBox::Retry;
}
