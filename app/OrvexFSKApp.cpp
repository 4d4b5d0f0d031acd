#include "OrvexFSKApp.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSet>

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

// The openers still running: one that hands the file to a viewer in its own place runs as
// long as the viewer and must outlive the window (never be killed with it). Kept reachable,
// and each is removed once it has ended and been waited for.
QSet<QProcess*>& RunningOpeners() {
    static auto* openers = new QSet<QProcess*>;
    return *openers;
}

// Opens the file with the desktop's opener, a child whose end is read, so none is left
// defunct. The opener ends with a failure at once when no program takes PDF files (or the
// file is gone); that, or an opener that cannot start, is told as a missing viewer. The
// desktop's own URL service is not asked: it reports success as soon as it has started the
// opener, whatever the opener then says.
int OpenWithDesktop(const QString& path) {
    auto* opener = new QProcess;
    RunningOpeners().insert(opener);
    const auto ended = [opener](bool failed) {
        RunningOpeners().remove(opener);
        opener->deleteLater();
        if (failed) ShowMessage(LoadString(kMsgNoPdfViewer));
    };
    QObject::connect(opener, &QProcess::finished, opener,
                     [ended](int code, QProcess::ExitStatus status) {
                         ended(status != QProcess::NormalExit || code != 0);
                     });
    QObject::connect(opener, &QProcess::errorOccurred, opener,
                     [ended](QProcess::ProcessError error) {
                         if (error == QProcess::FailedToStart) ended(true);
                     });
    opener->setProcessChannelMode(QProcess::ForwardedChannels);
    opener->start(QStringLiteral("xdg-open"), {path});
    // The answer comes when the opener ends; the failure message is its own.
    return kOpenSucceeded;
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
