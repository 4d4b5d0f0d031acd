// One finding of the doctor: what stands between the user and the reader, or that nothing
// does. The command line prints the lines and the interface dialog lists the same ones.
#pragma once

#include <string>
#include <vector>

namespace station {

enum class Verdict { Ok, Problem, CannotTell };

struct DoctorLine {
    std::string check;    // which check: "reader", "access", "modem-manager", ...
    Verdict verdict = Verdict::Ok;
    std::string subject;  // what was looked at: "/dev/ttyACM0", "card register"
    std::string finding;  // what was found, in a sentence
    std::string fix;      // for a problem: the one command or setting that mends it
};

using DoctorLines = std::vector<DoctorLine>;

// "ok", "problem", "cannot tell": the words lfprog prints and its JSON carries.
const char* VerdictWord(Verdict verdict);

bool HasProblem(const DoctorLines& lines);

}  // namespace station
