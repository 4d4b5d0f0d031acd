#include "update/IniEx.h"

namespace {

bool IsLineBreak(QChar c) {
    return c == u'\r' || c == u'\n';
}

// Only tabs and line breaks are cut from the end of a line; spaces are part of the key or
// value until the "=" split decides.
QStringView TrimLineEnd(QStringView line) {
    qsizetype end = line.size();
    while (end > 0 && (line[end - 1] == u'\t' || IsLineBreak(line[end - 1]))) --end;
    return line.first(end);
}

QStringView TrimTrailingSpaces(QStringView text) {
    qsizetype end = text.size();
    while (end > 0 && text[end - 1] == u' ') --end;
    return text.first(end);
}

QStringView TrimLeadingSpaces(QStringView text) {
    qsizetype start = 0;
    while (start < text.size() && text[start] == u' ') ++start;
    return text.sliced(start);
}

}  // namespace

bool CIniEx::ParseText(QStringView text) {
    qsizetype pos = 0;
    const qsizetype size = text.size();
    while (pos < size) {
        while (pos < size && IsLineBreak(text[pos])) ++pos;
        if (pos >= size) break;
        qsizetype end = pos;
        while (end < size && !IsLineBreak(text[end])) ++end;
        const QStringView line = TrimLineEnd(text.sliced(pos, end - pos));
        pos = end;

        if (line.size() >= 2 && line.front() == u'[' && line.back() == u']') {
            ++m_nCurrentSection;
            m_strCurrentSection = line.sliced(1, line.size() - 2).toString();
            continue;
        }
        if (!line.isEmpty() && line.front() == u';') {
            AddEntry(line.toString(), QString());
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (equals < 0) {
            AddEntry(TrimTrailingSpaces(line).toString(), QString());
        } else {
            AddEntry(TrimTrailingSpaces(line.first(equals)).toString(),
                     TrimLeadingSpaces(line.sliced(equals + 1)).toString());
        }
    }
    return true;
}

void CIniEx::AddEntry(const QString& key, const QString& value) {
    while (m_sections.size() <= m_nCurrentSection) m_sections.append(CSection{});
    CSection& section = m_sections[m_nCurrentSection];
    section.m_keys.append(key);
    section.m_values.append(value);
    section.m_strSection = m_strCurrentSection;
}

QString CIniEx::GetValue(const QString& section, const QString& key,
                         const QString& defaultValue) const {
    const int index = FindSection(section);
    if (index < 0) return defaultValue;
    const CSection& found = m_sections[index];
    for (qsizetype i = found.m_keys.size() - 1; i >= 0; --i) {
        if (found.m_keys[i].compare(key, Sensitivity()) == 0) return found.m_values[i];
    }
    return defaultValue;
}

int CIniEx::FindSection(const QString& name) const {
    for (qsizetype i = 0; i < m_sections.size(); ++i) {
        if (m_sections[i].m_strSection.compare(name, Sensitivity()) == 0)
            return static_cast<int>(i);
    }
    return -1;
}
