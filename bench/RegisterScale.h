// The register's cost against its size: the same operations on a register of a thousand and
// of a million cards (filled in one statement), with the ratio of their medians.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <vector>

#include "station/register/CardRegister.h"

namespace bench {

// A register of each size to measure: settings of an empty register, made on demand.
struct ScaleTarget {
    const char* name;
    std::function<bool(std::int64_t rows, station::RegisterSettings& settings)> fresh;
};

// Prints, per target and size, the medians of a next-free series card (reserve + confirm),
// a duplicate lookup, find by number, the list's first page, the register window's first page
// (through the register's thread of calls) and a count of every row, then the ratios of the
// largest size to the smallest. False when a register could not be made or used.
bool RunScale(const std::vector<ScaleTarget>& targets, const std::vector<std::int64_t>& sizes,
              int cards);

// Fills a register of each target with rows cards through the import: an SQLite register at
// sourceFile made by the plain fill, read (ReadImportRegisterFile) and imported. Prints the
// rows per second of both steps. False when a register could not be made or the import failed.
bool RunImportFill(const std::vector<ScaleTarget>& targets, const QString& sourceFile,
                   std::int64_t rows);

}  // namespace bench
