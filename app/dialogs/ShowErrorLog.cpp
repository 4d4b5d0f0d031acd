#include "ShowErrorLog.h"

#include <QPushButton>
#include <QShowEvent>

#include "ui_ShowErrorLog.h"

CShowErrorLog::CShowErrorLog(QWidget* parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::CShowErrorLog>()) {
    m_ui->setupUi(this);
    connect(m_ui->m_buttonClose, &QPushButton::clicked, this, &QDialog::accept);
}

CShowErrorLog::~CShowErrorLog() = default;

void CShowErrorLog::showEvent(QShowEvent* event) {
    // The text is taken when the dialog opens, after the caller has assigned it.
    if (!event->spontaneous()) m_ui->m_editLog->setPlainText(m_strLog);
    QDialog::showEvent(event);
}

void CShowErrorLog::accept() {
    m_strLog = m_ui->m_editLog->toPlainText();
    QDialog::accept();
}
