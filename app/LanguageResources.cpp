#include "LanguageResources.h"

#include <QCoreApplication>
#include <QDir>
#include <QLibraryInfo>
#include <QTranslator>

#include "ProgramInfo.h"

namespace {

QString& FileOverride() {
    static QString path;
    return path;
}

}  // namespace

CLanguageResources::CLanguageResources() = default;

CLanguageResources::~CLanguageResources() {
    Free();
    FreeQtGerman();
}

QStringList CLanguageResources::Candidates() {
    if (!FileOverride().isEmpty()) return {FileOverride()};
    QStringList candidates;
    for (const QString& directory : GetDataDirectories())
        candidates << QDir(directory).filePath(kFileName);
    return candidates;
}

void CLanguageResources::SetFileOverride(const QString& path) {
    FileOverride() = path;
}

bool CLanguageResources::Load() {
    auto translator = std::make_unique<QTranslator>();
    bool loaded = false;
    for (const QString& candidate : Candidates()) {
        if (translator->load(candidate)) {
            loaded = true;
            break;
        }
    }
    if (!loaded) return false;
    // The previous file goes first, so that only one translation is ever installed.
    Free();
    QCoreApplication::installTranslator(translator.get());
    m_translator = std::move(translator);
    return true;
}

void CLanguageResources::Free() {
    if (m_translator == nullptr) return;
    QCoreApplication::removeTranslator(m_translator.get());
    m_translator.reset();
}

bool CLanguageResources::LoadQtGerman() {
    if (m_qtGerman != nullptr) return true;
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(QString::fromLatin1(kQtGermanTexts),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return false;
    QCoreApplication::installTranslator(translator.get());
    m_qtGerman = std::move(translator);
    return true;
}

void CLanguageResources::FreeQtGerman() {
    if (m_qtGerman == nullptr) return;
    QCoreApplication::removeTranslator(m_qtGerman.get());
    m_qtGerman.reset();
}
