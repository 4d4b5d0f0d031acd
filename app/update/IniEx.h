// An INI-style text held in memory as sections of key/value entries, for lookups. The
// document is only read: filled from a text, queried and thrown away. Names are compared
// without regard to case, and a key that occurs twice in a section answers with its last
// value.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

class CIniEx {
  public:
    struct CSection {
        QString m_strSection;
        // One key and one value per entry, in the order of the lines.
        QStringList m_keys;
        QStringList m_values;
    };

    CIniEx() = default;
    virtual ~CIniEx() = default;

    // Adds the sections and entries of text to the document; always true. Lines may end in
    // any run of CR and LF. Entries before the first header go to the unnamed section 0;
    // the n-th header opens section n. A comment (";...") is kept as a key without value.
    bool ParseText(QStringView text);

    // The value of key in the first section named section, or defaultValue.
    QString GetValue(const QString& section, const QString& key,
                     const QString& defaultValue = {}) const;

    // The index of the first section with that name, or -1.
    int FindSection(const QString& name) const;

    const QList<CSection>& Sections() const { return m_sections; }

  private:
    void AddEntry(const QString& key, const QString& value);
    Qt::CaseSensitivity Sensitivity() const {
        return m_bIgnoreCase ? Qt::CaseInsensitive : Qt::CaseSensitive;
    }

    QList<CSection> m_sections;
    int m_nCurrentSection = 0;
    // The name of the section the last header opened; it carries over to a further text.
    QString m_strCurrentSection;
    bool m_bIgnoreCase = true;
};
