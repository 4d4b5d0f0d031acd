// The English language file: a Qt translation file that turns every German text of the
// string table and the dialogs into English once it is installed. Freeing it brings the
// built-in German texts back.
#pragma once

#include <QString>
#include <QStringList>
#include <memory>

class QTranslator;

class CLanguageResources {
  public:
    static constexpr const char* kFileName = "Orvex-FSKProgrammerEng.qm";
    // Qt's own texts (standard buttons, context menus, file dialogs) for the built-in German.
    static constexpr const char* kQtGermanTexts = "qtbase_de";

    CLanguageResources();
    ~CLanguageResources();
    CLanguageResources(const CLanguageResources&) = delete;
    CLanguageResources& operator=(const CLanguageResources&) = delete;

    // Loads the language file and makes it the source of all texts, replacing one loaded
    // before. A file that cannot be loaded leaves the current texts as they are.
    bool Load();
    // Back to the built-in German texts.
    void Free();
    // Qt's own German texts, from Qt's translation folder; false when they are not installed.
    bool LoadQtGerman();
    void FreeQtGerman();
    bool IsLoaded() const { return m_translator != nullptr; }

    // Where the language file is looked for, in order: the program directory, then the
    // installed share directory; or only the file set by SetFileOverride.
    static QStringList Candidates();
    // Tests point the search at one file; an empty path restores the normal search.
    static void SetFileOverride(const QString& path);

  private:
    std::unique_ptr<QTranslator> m_translator;
    std::unique_ptr<QTranslator> m_qtGerman;
};
