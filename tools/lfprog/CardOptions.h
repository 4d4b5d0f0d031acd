// The card options that read, write and series share: --format and --chip by their readable
// names, --facility, --extra and the number, each checked against the format's range before
// anything is sent to the reader.
#pragma once

#include <optional>
#include <string>

#include "CommandLine.h"
#include "Output.h"
#include "station/CardNumbers.h"
#include "station/RunCard.h"
#include "station/WriteRun.h"

struct CardChoice {
    int format = 0;    // index into the station's format table
    int chipType = 9;  // SDK chip type code
    station::CardFields fields;
};

// Format and chip (defaults "26" and "ata5577"); kExitSuccess or the reported usage error.
int ParseFormatAndChip(const CCommandLine& line, const COutput& out, CardChoice& choice);

// --facility and --extra, and the number from numberOption, checked against the format;
// kExitSuccess or the reported usage error. A format without a facility code or fixed field
// refuses the option.
int ParseCardFields(const CCommandLine& line, const COutput& out, const char* numberOption,
                    CardChoice& choice);

// "26 facility 12 number 4711" and so on, as lfprog prints a card.
std::string DescribeCard(int format, const station::CardFields& fields);

// The card's members of a JSON line: format, facility, number, extra where the format has them.
class CJson;
void AddCard(CJson& object, int format, const station::CardFields& fields);

// --cycle: how often read --watch and series look for a chip, 250 ms without it;
// kExitSuccess or the reported usage error.
int ParseCycle(const CCommandLine& line, const COutput& out, int& cycleMs);

// The --log option as an absolute path, empty without it.
std::string LogPath(const CCommandLine& line);

// The run card for the reader's handle and the card chosen.
station::RunCard MakeRunCard(int handle, const CardChoice& choice);

// The write options of --lock, --no-verify and --log.
void SetWriteOptions(station::WriteOptions& options, const CCommandLine& line);
