// The application object: fixes where the settings live, asks for the dialog language on
// the very first start, and runs the main window modally in a loop whose end codes decide
// what comes next. Also opens the PDF manual for the help command.
#pragma once

#include <QString>
#include <functional>

#include "LanguageResources.h"

class COrvexFSKApp {
  public:
    // End codes of the main window that the loop acts on; anything else ends the program.
    static constexpr int kEndOk = 1;
    static constexpr int kEndCancel = 2;
    static constexpr int kEndLanguageChanged = 10;

    // Runs one main window modally and returns its end code.
    using WindowRunner = std::function<int()>;
    // Opens the manual and returns a shell-style result: above 32 success; 0 out of
    // resources; 31 no program for PDF files; anything else an unknown error.
    using ManualOpener = std::function<int(const QString& path)>;

    // Runs the whole program and returns the main window's last end code. The runner
    // replaces the real main window in tests.
    int RunApplication();
    int RunApplication(const WindowRunner& runWindow);

    // The manuals in the two dialog languages, looked for in the data directories.
    static constexpr const char* kManualGerman = "Orvex-FSK-Handbuch.pdf";
    static constexpr const char* kManualEnglish = "Orvex-FSK-Manual.pdf";

    // Opens the manual of the dialog language; without it, the first PDF file of the
    // program directory. Without one, or when no program opens it, the operator is told
    // that a PDF viewer is needed.
    static void OpenManual();
    // The manual OpenManual would open, or an empty text.
    static QString FindManual();

    bool IsLanguageLoaded() const { return m_language.IsLoaded(); }

    // Test seams: the language file to load instead of the normal search (empty restores
    // it), and the way the manual is opened (empty restores the desktop's opener).
    static void SetLanguageFileForTests(const QString& path);
    static void SetManualOpenerForTests(ManualOpener opener);

  private:
    void LoadLanguage();

    CLanguageResources m_language;
};
