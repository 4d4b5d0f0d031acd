// The main window's log files and its collected error list.
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>

#include "ChipTypes.h"
#include "MessageBox.h"
#include "OrvexFSKDlg.h"
#include "PrivateFolder.h"
#include "ProgramInfo.h"
#include "Settings.h"
#include "StringTable.h"
#include "dialogs/ShowErrorLog.h"
#include "ui_OrvexFSKDlg.h"

namespace {

constexpr int kStrLogFailed = 133;
constexpr int kStrNotLogged = 11115;
constexpr int kStrChooseReadLog = 122;
constexpr int kStrChooseWriteLog = 123;

QString ChooseLogFile(QWidget* owner, int titleId, const QString& current) {
    QFileDialog dialog(owner, LoadString(titleId), current,
                       QStringLiteral("Log Files (*.txt);;All Files (*)"));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix("txt");
    dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
    dialog.selectFile(current);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return QFileInfo(dialog.selectedFiles().first()).absoluteFilePath();
}

}  // namespace

QString COrvexFSKDlg::DefaultLogPath(const QString& fileName) {
    // Beside the program when the user may write there, as an installer copy in the home
    // folder does; else in the application's data folder. Never among installed programs,
    // which a station started as root could write.
    const QString programDir = GetProgramDirectory();
    if (QFileInfo(programDir).isWritable() && !IsSystemFolder(programDir))
        return QDir(programDir).filePath(fileName);
    const QString dataDir = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    MakePrivateFolder(dataDir);
    return QDir(dataDir).filePath(fileName);
}

void COrvexFSKDlg::ReportLogFailure() {
    ShowMessage(LoadString(kStrLogFailed), MessageIcon::Error);
}

QString COrvexFSKDlg::NotLoggedEntry(const station::CardRecord& card, const QDateTime& when) {
    // The card itself, readable, so that the operator can record it by hand.
    QString text = CardText(card.format, card.fields.facility, card.customer) + ", " +
                   ChipName(card.chipType).trimmed();
    if (!card.uid.isEmpty()) text += ' ' + card.uid;
    text += ", " + when.toString("dd.MM.yyyy HH:mm:ss");
    return LoadString(kStrNotLogged).arg(text);
}

void COrvexFSKDlg::ShowErrorLog() {
    if (m_strErrorLog.isEmpty()) return;
    // Entries added while the list is open (by a run's tick) stay for the next showing.
    CShowErrorLog view(this);
    view.m_strLog = m_strErrorLog;
    m_strErrorLog.clear();
    view.exec();
}

void COrvexFSKDlg::OnChooseReadLog() {
    const QString path = ChooseLogFile(this, kStrChooseReadLog, m_strReadLogFile);
    if (path.isEmpty()) return;
    m_strReadLogFile = path;
    PutSettingString("Protokoll", "ReadLogFileName", path);
    m_ui->readLogPath->setText(path);
}

void COrvexFSKDlg::OnChooseWriteLog() {
    const QString path = ChooseLogFile(this, kStrChooseWriteLog, m_strWriteLogFile);
    if (path.isEmpty()) return;
    m_strWriteLogFile = path;
    PutSettingString("Protokoll", "WriteLogFileName", path);
    m_ui->writeLogPath->setText(path);
}
