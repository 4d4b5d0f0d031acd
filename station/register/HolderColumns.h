// Which column of a personnel department's holder list feeds which field of a holder: found
// by the header's words in German and English, changed by the operator per field.
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <array>
#include <optional>

namespace station {

enum class HolderField { PersonnelNumber, Name, FirstName, LastName, Department, Notes };
inline constexpr int kHolderFieldCount = 6;
inline constexpr std::array<HolderField, kHolderFieldCount> kHolderFields = {
    HolderField::PersonnelNumber, HolderField::Name,       HolderField::FirstName,
    HolderField::LastName,        HolderField::Department, HolderField::Notes};

// The column (from 0) of each field, -1 when no column feeds it.
struct HolderColumnMap {
    std::array<int, kHolderFieldCount> columns = {-1, -1, -1, -1, -1, -1};

    int& operator[](HolderField field) { return columns[static_cast<int>(field)]; }
    int operator[](HolderField field) const { return columns[static_cast<int>(field)]; }
    // The name comes from the name column, or from first and last name joined.
    bool HasName() const;
    bool operator==(const HolderColumnMap&) const = default;
};

// The field a header's words name ("Personalnummer", "Personnel number", "PNR", "Vorname",
// "Last name", ...; case, spaces, dots, hyphens and underscores do not matter), if any.
std::optional<HolderField> HolderFieldOfHeader(QStringView header);

// Each field from the first column whose header names it.
HolderColumnMap GuessHolderColumns(const QStringList& header);

// A field's name on the command line: personnel-number, name, first-name, last-name,
// department, notes.
QString HolderFieldName(HolderField field);

// One assignment COLUMN=FIELD: COLUMN is a header's text (any case) or its number from 1,
// FIELD a field's name (HolderFieldName, or its header words) or "ignore", which takes the
// column from whatever field it fed. The column leaves the field it fed before.
struct HolderColumnAssignmentError {
    enum class Kind { NoEqualsSign, UnknownColumn, UnknownField };
    Kind kind;
    QString word;  // the column or field that is not known
};
std::optional<HolderColumnAssignmentError> AssignHolderColumn(const QStringList& header,
                                                              QStringView assignment,
                                                              HolderColumnMap& map);

}  // namespace station
