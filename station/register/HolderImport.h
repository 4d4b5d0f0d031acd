// How a holder list read from a file changes the register's holders: the plan an operator
// sees before anything is stored, and the rows to store once they agree.
#pragma once

#include <vector>

#include "station/register/Holders.h"

namespace station {

struct HolderImportChanges {
    std::vector<Holder> added;    // id 0
    std::vector<Holder> changed;  // stored rows with their new values (a return clears left)
};

// Plans an import of rows over the stored holders. A line without a personnel number, or
// with one an earlier line had, is refused. An empty notes cell keeps the stored notes (the
// badge office's own, which a personnel list does not carry). markMissingLeft: the holders
// still here whom no line names are marked as left (now).
HolderImportPlan PlanHolderImport(const std::vector<HolderImportRow>& rows,
                                  const std::vector<Holder>& stored, bool markMissingLeft,
                                  HolderImportChanges& changes);

}  // namespace station
