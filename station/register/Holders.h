// The people cards are issued to: a holder list (personnel number, name, department) kept in
// the register beside the cards, so that a badge office sees who carries which card and who
// still has none. Personal data lives only here, never in the write log or the trace.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

#include "station/register/CardRegister.h"

namespace station {

struct Holder {
    std::int64_t id = 0;      // 0: not stored yet
    QString personnelNumber;  // unique, compared as written (trimmed)
    QString name;
    QString department;
    QString notes;
    QDateTime leftSince;  // invalid: still here
    // Filled by Holders()/FindHolder(): the holder's valid card (written or unverified), if any.
    std::optional<RegisterEntry> validCard;
};

struct HolderFilter {
    QString text;                   // part of name or personnel number, any case; empty: all
    QString department;             // exact; empty: all
    bool withoutValidCard = false;  // only holders with no written/unverified/reserved card
    bool includeLeft = false;
    int limit = 0;  // 0: all
};

// One line of a holder list as an import read it (line = its first line number in the file).
struct HolderImportRow {
    int line = 0;
    QString personnelNumber, name, department, notes;
};

// What an import does or would do; refused lines carry their line number and the reason.
struct HolderImportPlan {
    std::vector<HolderImportRow> added, changed, unchanged;
    std::vector<Holder> left;                      // marked as left (only when asked)
    std::vector<std::pair<int, QString>> refused;  // line, reason
};

}  // namespace station
