// The register's rows as a CSV file, written whole or not at all: into a temporary file
// beside the target that replaces it only once everything was written.
#pragma once

#include <QString>
#include <vector>

#include "station/register/CardRegister.h"

// False with the system's reason in error; the target is then as it was.
bool SaveRegisterCsv(const QString& path, const std::vector<station::RegisterEntry>& entries,
                     QString& error, const station::CsvOptions& options = {});
