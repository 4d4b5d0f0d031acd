// The card register lfprog writes through and reads: the one the station's settings name (the
// section "Register" of its INI file), so that lfprog and the station share one register, or
// the one --register names: "off", an SQLite file, or postgresql://[user@]host[:port]/name.
#pragma once

#include <memory>
#include <optional>

#include "CommandLine.h"
#include "Output.h"
#include "station/register/CardRegister.h"

// The register's settings from --register, else from the station's settings; --next-free
// asks for the register's next free number. kExitSuccess or the reported usage error.
int ChooseRegister(const CCommandLine& line, const COutput& out,
                   station::RegisterSettings& settings);

// Opens the register the settings name: nullptr (and kExitSuccess) when it is switched off;
// kExitRegister, reported, when it cannot be opened.
int OpenRegister(const station::RegisterSettings& settings, const COutput& out,
                 std::unique_ptr<station::CCardRegister>& cardRegister);

// Where the register is, in words: "SQLite file /path" or "PostgreSQL user@host:port/name".
std::string DescribeRegister(const station::RegisterSettings& settings);
