// lfprog selftest: a short check of a reader with a chip the operator laid on it and agreed
// to have written over, as a report a service technician can attach to a ticket.
#include <unistd.h>

#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <cstdio>
#include <iostream>

#include "CardOptions.h"
#include "Commands.h"
#include "Reader.h"
#include "station/ChipTypeTable.h"
#include "station/doctor/SelfTest.h"

namespace {

// The operator's yes, asked on the terminal; false without a terminal or for anything else.
bool OperatorAgrees(const std::string& chip) {
    if (isatty(STDIN_FILENO) == 0) return false;
    std::fprintf(stderr,
                 "The self-test writes test cards over the %s on the reader (it never locks "
                 "it). Go on? [y/N] ",
                 chip.c_str());
    std::fflush(stderr);
    std::string answer;
    std::getline(std::cin, answer);
    return answer == "y" || answer == "Y" || answer == "yes";
}

QString Text(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

int RunSelftest(CommandContext& context) {
    const COutput& out = context.out;
    CardChoice choice;
    if (const int status = ParseFormatAndChip(context.line, out, choice)) return status;
    const std::string chip = station::ChipName(choice.chipType).trimmed().toStdString();
    if (!context.line.Has("yes") && !OperatorAgrees(chip))
        return out.Fail(kExitUsage,
                        "the self-test writes over the chip on the reader: lay one that may be "
                        "overwritten and confirm with --yes");
    CReader reader;
    if (const int status = reader.Open(context.line, out)) return status;

    const station::SelfTestReport report = station::RunSelfTest(reader.Handle(), choice.chipType);
    const int sdk = LfGetSdkVersion();
    char sdkText[16];
    std::snprintf(sdkText, sizeof sdkText, "%d.%02d", sdk / 100, sdk % 100);
    const bool noChip = !report.steps.empty() && report.steps.front().step == "chip" &&
                        report.steps.front().result == station::StepResult::Failed &&
                        report.steps.size() == 1;
    if (out.Json()) {
        QJsonArray steps;
        for (const station::SelfTestStep& step : report.steps) {
            steps.append(QJsonObject{{"step", Text(step.step)},
                                     {"result", station::StepResultWord(step.result)},
                                     {"detail", Text(step.detail)}});
        }
        const QJsonObject object{
            {"selftest", report.Passed() ? "passed" : "failed"},
            {"time", QDateTime::currentDateTimeUtc().toString(Qt::ISODate)},
            {"port", Text(reader.Port())},
            {"model", Text(reader.Model())},
            {"version", Text(reader.Version())},
            {"chip", Text(chip)},
            {"lfprog", LFPROG_VERSION},
            {"sdk", sdkText},
            {"steps", steps}};
        std::fputs((QJsonDocument(object).toJson(QJsonDocument::Compact) + "\n").constData(),
                   stdout);
        std::fflush(stdout);
    } else {
        std::string text = "self-test of " + reader.Port() + ": " + reader.Model() + ", version " +
                           reader.Version() + ", chip " + chip + "\n";
        for (const station::SelfTestStep& step : report.steps) {
            std::string result = station::StepResultWord(step.result);
            result.resize(9, ' ');
            std::string name = step.step;
            name.resize(16, ' ');
            text += result + name + step.detail + "\n";
        }
        text += report.Passed() ? "self-test passed" : "self-test FAILED";
        out.Print(CJson(), text);
    }
    if (report.Passed()) return kExitSuccess;
    return noChip ? kExitNoCard : kExitFailure;
}
