#include "station/register/HolderImport.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace station {

namespace {

// A personnel number of digits without its leading zeros; empty for any other number.
QString WithoutLeadingZeros(const QString& number) {
    if (number.isEmpty() ||
        !std::all_of(number.begin(), number.end(), [](QChar c) { return c.isDigit(); }))
        return QString();
    qsizetype first = 0;
    while (first + 1 < number.size() && number[first] == u'0') ++first;
    return number.mid(first);
}

HolderImportRow Trimmed(const HolderImportRow& row) {
    return {row.line, row.personnelNumber.trimmed(), row.name.trimmed(), row.department.trimmed(),
            row.notes.trimmed()};
}

}  // namespace

HolderImportPlan PlanHolderImport(const std::vector<HolderImportRow>& rows,
                                  const std::vector<Holder>& stored, bool markMissingLeft,
                                  HolderImportChanges& changes) {
    HolderImportPlan plan;
    changes = {};
    QHash<QString, const Holder*> byNumber;
    QHash<QString, const Holder*> byDigits;
    for (const Holder& holder : stored) {
        byNumber.insert(holder.personnelNumber, &holder);
        if (const QString digits = WithoutLeadingZeros(holder.personnelNumber); !digits.isEmpty())
            byDigits.insert(digits, &holder);
    }
    QHash<QString, int> firstLine;
    for (const HolderImportRow& given : rows) {
        const HolderImportRow row = Trimmed(given);
        if (row.personnelNumber.isEmpty()) {
            plan.refused.emplace_back(row.line, QStringLiteral("no personnel number"));
            continue;
        }
        if (const auto earlier = firstLine.constFind(row.personnelNumber);
            earlier != firstLine.constEnd()) {
            plan.refused.emplace_back(
                row.line, QStringLiteral("the personnel number of line %1 again").arg(*earlier));
            continue;
        }
        firstLine.insert(row.personnelNumber, row.line);
        const Holder* holder = byNumber.value(row.personnelNumber);
        if (!holder) {
            if (const Holder* alike = byDigits.value(WithoutLeadingZeros(row.personnelNumber)))
                plan.leadingZeros.push_back({row.line, row.personnelNumber, alike->personnelNumber});
            Holder added;
            added.personnelNumber = row.personnelNumber;
            added.name = row.name;
            added.department = row.department;
            added.notes = row.notes;
            changes.added.push_back(added);
            plan.added.push_back(row);
            continue;
        }
        Holder now = *holder;
        now.name = row.name;
        now.department = row.department;
        if (!row.notes.isEmpty()) now.notes = row.notes;
        now.leftSince = QDateTime();
        if (now.name == holder->name && now.department == holder->department &&
            now.notes == holder->notes && !holder->leftSince.isValid()) {
            plan.unchanged.push_back(row);
        } else {
            changes.changed.push_back(now);
            plan.changed.push_back(row);
        }
    }
    if (markMissingLeft) {
        const QDateTime now = QDateTime::currentDateTimeUtc();
        for (const Holder& holder : stored) {
            if (holder.leftSince.isValid() || firstLine.contains(holder.personnelNumber)) continue;
            Holder left = holder;
            left.leftSince = now;
            changes.changed.push_back(left);
            plan.left.push_back(left);
        }
    }
    return plan;
}

}  // namespace station
