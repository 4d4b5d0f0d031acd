// lfprog doctor: what stands between the user and the reader, one check per line with its
// verdict and, for a problem, the command or setting that mends it.
#include <cstdlib>

#include "Commands.h"
#include "RegisterChoice.h"
#include "StationPort.h"
#include "station/doctor/Doctor.h"

namespace {

constexpr int kDefaultTimeoutMs = 300;

void PrintLine(const COutput& out, const station::DoctorLine& line) {
    CJson object;
    object.Add("check", line.check)
        .Add("verdict", station::VerdictWord(line.verdict))
        .Add("subject", line.subject)
        .Add("finding", line.finding);
    if (!line.fix.empty()) object.Add("fix", line.fix);
    std::string verdict = station::VerdictWord(line.verdict);
    verdict.resize(12, ' ');
    std::string check = line.check;
    check.resize(16, ' ');
    std::string text = verdict + check + line.subject + ": " + line.finding;
    if (!line.fix.empty()) text += "\n" + std::string(28, ' ') + "fix: " + line.fix;
    out.Print(object, text);
}

}  // namespace

int RunDoctor(CommandContext& context) {
    const CCommandLine& line = context.line;
    const COutput& out = context.out;
    station::DoctorRequest request;
    const StationPort stored = StoredStationPort();
    const char* variable = std::getenv("LFPROG_PORT");
    const std::string given = line.Value("port").value_or(variable != nullptr ? variable : "");
    request.port = given.empty() ? stored.name : given;
    request.checkLine = !given.empty();
    request.baud = stored.baud;
    if (const auto text = line.Value("baud")) {
        long long baud = 0;
        if (!ParseInteger(*text, 1, 4000000, baud))
            return out.Fail(kExitUsage, "--baud takes a rate in bits per second");
        request.baud = static_cast<int>(baud);
    }
    long long timeout = kDefaultTimeoutMs;
    if (const auto text = line.Value("timeout"); text && !ParseInteger(*text, 0, 600000, timeout))
        return out.Fail(kExitUsage, "--timeout takes milliseconds from 0 to 600000");
    request.timeoutMs = static_cast<int>(timeout);
    request.lan = line.Has("lan");
    station::RegisterSettings settings;
    if (const int status = ChooseRegister(line, out, settings)) return status;
    request.cardRegister = settings;

    const station::DoctorLines lines = station::RunDoctor(request);
    int problems = 0;
    for (const station::DoctorLine& found : lines) {
        PrintLine(out, found);
        if (found.verdict == station::Verdict::Problem) ++problems;
    }
    if (!out.Json())
        out.Note(problems == 0 ? "no problem found"
                               : std::to_string(problems) + (problems == 1 ? " problem" : " problems") +
                                     " found");
    return problems == 0 ? kExitSuccess : kExitFailure;
}
