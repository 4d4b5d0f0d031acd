// The CSV export's resident memory against the register's size: "lfprog register export" of a
// register of each size in a child process, whose peak resident set the kernel reports.
#pragma once

#include <QString>
#include <cstdint>
#include <vector>

#include "RegisterScale.h"

namespace bench {

// Prints, per target and size, the export child's peak resident set, then its growth from the
// smallest size to the largest. False when a register could not be made or exported.
bool RunExportMemory(const std::vector<ScaleTarget>& targets,
                     const std::vector<std::int64_t>& sizes, const QString& folder);

}  // namespace bench
