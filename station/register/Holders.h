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
    // Filled by Holders()/FindHolder(): the holder's newest valid card (written or
    // unverified), if any; validCards holds it too, and with HolderFilter::everyValidCard
    // every valid card, newest first (a second card is one more).
    std::optional<RegisterEntry> validCard;
    std::vector<RegisterEntry> validCards;
};

struct HolderFilter {
    QString text;                   // part of name or personnel number, any case; empty: all
    QString department;             // exact; empty: all
    bool withoutValidCard = false;  // only holders with no written/unverified/reserved card
    bool includeLeft = false;
    bool everyValidCard = false;  // fill each holder's validCards whole
    int limit = 0;                // 0: all
};

// One line of a holder list as an import read it (line = its first line number in the file).
struct HolderImportRow {
    int line = 0;
    QString personnelNumber, name, department, notes;
};

// What an import does or would do; refused lines carry their line number and the reason.
struct HolderImportPlan {
    std::vector<HolderImportRow> added, changed, unchanged;
    // Marked as left (only when asked), each with its valid cards (validCards): they leave
    // the valid-card export for the block list.
    std::vector<Holder> left;
    std::vector<std::pair<int, QString>> refused;  // line, reason
    // A new personnel number that names a stored holder but for leading zeros ("815" and
    // "00815", as a spreadsheet drops them): added as written, since the two may be two
    // people, but shown, so that nobody is added twice and marked as left by mistake.
    struct LeadingZeros {
        int line = 0;
        QString given, stored;
    };
    std::vector<LeadingZeros> leadingZeros;
};

}  // namespace station
