#include "station/register/HolderColumns.h"

#include <utility>

namespace station {

namespace {

// The header's letters and digits in lower case, so "Personal-Nr." and "personal nr" agree.
QString HeaderKey(QStringView header) {
    QString key;
    for (const QChar c : header) {
        if (c.isLetterOrNumber()) key += c.toLower();
    }
    return key;
}

struct HeaderWords {
    HolderField field;
    const char16_t* key;  // as HeaderKey makes it
};

constexpr HeaderWords kHeaderWords[] = {
    {HolderField::PersonnelNumber, u"personalnummer"},
    {HolderField::PersonnelNumber, u"personnelnumber"},
    {HolderField::PersonnelNumber, u"pnr"},
    {HolderField::PersonnelNumber, u"personalnr"},
    {HolderField::PersonnelNumber, u"persnr"},
    {HolderField::PersonnelNumber, u"employeenumber"},
    {HolderField::Name, u"name"},
    {HolderField::Name, u"fullname"},
    {HolderField::FirstName, u"vorname"},
    {HolderField::FirstName, u"firstname"},
    {HolderField::LastName, u"nachname"},
    {HolderField::LastName, u"familienname"},
    {HolderField::LastName, u"lastname"},
    {HolderField::LastName, u"surname"},
    {HolderField::Department, u"abteilung"},
    {HolderField::Department, u"department"},
    {HolderField::Notes, u"bemerkung"},
    {HolderField::Notes, u"bemerkungen"},
    {HolderField::Notes, u"notes"},
    {HolderField::Notes, u"note"},
};

constexpr std::pair<HolderField, const char*> kFieldNames[] = {
    {HolderField::PersonnelNumber, "personnel-number"},
    {HolderField::Name, "name"},
    {HolderField::FirstName, "first-name"},
    {HolderField::LastName, "last-name"},
    {HolderField::Department, "department"},
    {HolderField::Notes, "notes"},
};

int ColumnOf(const QStringList& header, QStringView word) {
    const QStringView trimmed = word.trimmed();
    for (qsizetype i = 0; i < header.size(); ++i) {
        if (header[i].trimmed().compare(trimmed, Qt::CaseInsensitive) == 0)
            return static_cast<int>(i);
    }
    bool number = false;
    const int place = trimmed.toInt(&number);
    return number && place >= 1 && place <= header.size() ? place - 1 : -1;
}

}  // namespace

bool HolderColumnMap::HasName() const {
    return (*this)[HolderField::Name] >= 0 || (*this)[HolderField::FirstName] >= 0 ||
           (*this)[HolderField::LastName] >= 0;
}

std::optional<HolderField> HolderFieldOfHeader(QStringView header) {
    const QString key = HeaderKey(header);
    for (const HeaderWords& words : kHeaderWords) {
        if (key == QStringView(words.key)) return words.field;
    }
    return std::nullopt;
}

HolderColumnMap GuessHolderColumns(const QStringList& header) {
    HolderColumnMap map;
    for (qsizetype i = 0; i < header.size(); ++i) {
        const auto field = HolderFieldOfHeader(header[i]);
        if (field && map[*field] < 0) map[*field] = static_cast<int>(i);
    }
    return map;
}

QString HolderFieldName(HolderField field) {
    for (const auto& [known, name] : kFieldNames) {
        if (known == field) return QString::fromLatin1(name);
    }
    return {};
}

std::optional<HolderColumnAssignmentError> AssignHolderColumn(const QStringList& header,
                                                              QStringView assignment,
                                                              HolderColumnMap& map) {
    using Kind = HolderColumnAssignmentError::Kind;
    // The last '=' divides, so a header that holds one can still be named.
    const qsizetype equals = assignment.lastIndexOf(u'=');
    if (equals < 0) return HolderColumnAssignmentError{Kind::NoEqualsSign, assignment.toString()};
    const QStringView columnWord = assignment.first(equals);
    const QStringView fieldWord = assignment.sliced(equals + 1).trimmed();
    const int column = ColumnOf(header, columnWord);
    if (column < 0) return HolderColumnAssignmentError{Kind::UnknownColumn, columnWord.toString()};

    std::optional<HolderField> field;
    for (const auto& [known, name] : kFieldNames) {
        if (fieldWord.compare(QLatin1StringView(name), Qt::CaseInsensitive) == 0) field = known;
    }
    if (!field) field = HolderFieldOfHeader(fieldWord);
    const bool ignore = fieldWord.compare(QLatin1StringView("ignore"), Qt::CaseInsensitive) == 0;
    if (!field && !ignore)
        return HolderColumnAssignmentError{Kind::UnknownField, fieldWord.toString()};

    for (int& fed : map.columns) {
        if (fed == column) fed = -1;
    }
    if (field) map[*field] = column;
    return std::nullopt;
}

}  // namespace station
