// What the register commands share: a register row as lfprog prints it, the register opened
// for reading, and a card number given as an operand.
#pragma once

#include <QDateTime>
#include <cstdint>
#include <memory>
#include <string>

#include "CommandLine.h"
#include "Output.h"
#include "station/register/CardRegister.h"

// A UTC time as ISO 8601.
std::string TimeText(const QDateTime& time);

// One row: a JSON object, or a line of text; role ("valid", "earlier") goes in front of it.
void PrintEntry(const COutput& out, const station::RegisterEntry& entry,
                const char* role = nullptr);

// The register the command line or the station's settings name, opened for reading: an
// SQLite file that does not exist yet is an empty register (cardRegister stays empty) and is
// not made by looking at it. kExitSuccess or the reported error.
int OpenReadableRegister(const CCommandLine& line, const COutput& out,
                         std::unique_ptr<station::CCardRegister>& cardRegister);

// A card number from 0; kExitSuccess or the reported usage error.
int ParseCardNumber(const COutput& out, const std::string& text, std::int64_t& number);
