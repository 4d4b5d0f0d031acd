#include "OrvexFSKApp.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QUrl>

#include "MessageBox.h"
#include "OrvexFSKDlg.h"
#include "ProgramInfo.h"
#include "Settings.h"
#include "StringTable.h"
#include "dialogs/SprachDlg.h"

namespace {

constexpr int kNotChosen = -1;

constexpr int kMsgOutOfResources = 10000;
constexpr int kMsgNoPdfViewer = 10001;
constexpr int kMsgUnknownError = 10002;

// Shell-style results of opening the manual.
constexpr int kOpenOutOfResources = 0;
constexpr int kOpenNoAssociation = 31;
constexpr int kOpenSucceeded = 33;

// The desktop reports only success or failure; a failure to open a local PDF file almost
// always means that no program is associated with PDF files. Platforms without desktop
// services (offscreen, VNC) still have the desktop's opener to ask.
int OpenWithDesktop(const QString& path) {
    if (QDesktopServices::openUrl(QUrl::fromLocalFile(path))) return kOpenSucceeded;
    return QProcess::startDetached(QStringLiteral("xdg-open"), {path}) ? kOpenSucceeded
                                                                       : kOpenNoAssociation;
}

COrvexFSKApp::ManualOpener& ManualOpenerHook() {
    static COrvexFSKApp::ManualOpener opener;
    return opener;
}

int RunMainWindow() {
    COrvexFSKDlg dlg;
    return dlg.exec();
}

}  // namespace

int COrvexFSKApp::RunApplication() {
    return RunApplication(RunMainWindow);
}

int COrvexFSKApp::RunApplication(const WindowRunner& runWindow) {
    QCoreApplication::setOrganizationName("Qor Applikationen");
    QCoreApplication::setApplicationName("Orvex-FSK");

    if (GetSettingInt("Settings", "Sprache", kNotChosen) == kNotChosen) {
        CSprachDlg languageDlg;
        languageDlg.exec();
    }

    int code = kEndLanguageChanged;
    for (;;) {
        if (code == kEndLanguageChanged) LoadLanguage();
        code = runWindow();
        // Let the closed window's deferred deletions and posted events run before the next.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QCoreApplication::processEvents();
        if (code != kEndOk && code != kEndLanguageChanged) return code;
    }
}

void COrvexFSKApp::LoadLanguage() {
    if (GetSettingInt("Settings", "Sprache", 0) > 0)
        m_language.Load();
    else
        m_language.Free();
    // Qt's own dialogs and buttons speak the station's language: German unless the English
    // file is in use.
    if (m_language.IsLoaded())
        m_language.FreeQtGerman();
    else
        m_language.LoadQtGerman();
}

QString COrvexFSKApp::FindManual() {
    const char* name =
        GetSettingInt("Settings", "Sprache", 0) > 0 ? kManualEnglish : kManualGerman;
    for (const QString& directory : GetDataDirectories()) {
        const QString path = QDir(directory).filePath(QString::fromLatin1(name));
        if (QFileInfo(path).isFile()) return path;
    }
    // A manual of another name put beside the program.
    const QString directory = GetProgramDirectory();
    const QStringList manuals =
        QDir(directory).entryList({QStringLiteral("*.pdf")}, QDir::Files, QDir::Name);
    return manuals.isEmpty() ? QString() : QDir(directory).filePath(manuals.first());
}

void COrvexFSKApp::OpenManual() {
    const QString path = FindManual();
    // A missing manual is told as a missing viewer is: F1 never does nothing.
    if (path.isEmpty()) {
        ShowMessage(LoadString(kMsgNoPdfViewer));
        return;
    }
    const int result = ManualOpenerHook() ? ManualOpenerHook()(path) : OpenWithDesktop(path);
    if (result > 32) return;
    if (result == kOpenOutOfResources)
        ShowMessage(LoadString(kMsgOutOfResources));
    else if (result == kOpenNoAssociation)
        ShowMessage(LoadString(kMsgNoPdfViewer));
    else
        ShowMessage(FormatMessage(LoadString(kMsgUnknownError), result));
}

void COrvexFSKApp::SetLanguageFileForTests(const QString& path) {
    CLanguageResources::SetFileOverride(path);
}

void COrvexFSKApp::SetManualOpenerForTests(ManualOpener opener) {
    ManualOpenerHook() = std::move(opener);
}
