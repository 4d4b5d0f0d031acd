// lfprog's commands. Each runs with the parsed command line and returns the exit code.
#pragma once

#include <string>
#include <vector>

#include "CommandLine.h"
#include "Output.h"
#include "station/register/CardRegister.h"

struct CommandContext {
    const CCommandLine& line;
    const COutput& out;
    std::vector<std::string> operands;  // the words after the command's own
};

int RunList(CommandContext& context);
int RunInfo(CommandContext& context);
int RunDoctor(CommandContext& context);
int RunSelftest(CommandContext& context);
int RunRead(CommandContext& context);
int RunWrite(CommandContext& context);
int RunSeries(CommandContext& context);
int RunLanConfig(CommandContext& context);
int RunLanPing(CommandContext& context);
int RunHoldersImport(CommandContext& context);
int RunRegisterList(CommandContext& context);
int RunRegisterFind(CommandContext& context);
int RunRegisterExport(CommandContext& context);
int RunRegisterBackup(CommandContext& context);
int RunRegisterImport(CommandContext& context);
int RunRegisterWhere(CommandContext& context);
int RunRegisterHistory(CommandContext& context);
int RunRegisterRevoke(CommandContext& context);
int RunRegisterResolve(CommandContext& context);
int RunIssue(CommandContext& context);
int RunLost(CommandContext& context);
int RunHoldersList(CommandContext& context);
// register export --valid|--blocked: the lists for an access-control system.
int RunAccessExport(CommandContext& context, const station::CsvOptions& csv);

struct CommandInfo {
    const char* words;                 // "read", "lan config"
    const char* summary;               // one line for the overview
    const char* help;                  // the command's --help text
    std::vector<const char*> options;  // the options it takes besides the common ones
    int (*run)(CommandContext&);
    bool takesOperands = false;  // a device, a card number, a file
};

const std::vector<CommandInfo>& Commands();

// The overview that "lfprog --help" prints.
std::string OverviewHelp();
