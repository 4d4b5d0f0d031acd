// A short check of a reader with a chip the operator laid on it and agreed to have written
// over: the field switched off and on, the chip identified, and a test card written and read
// back in every format the chip takes. The chip is never locked: every write asks for no
// lock, and it stays writable afterwards.
#pragma once

#include <string>
#include <vector>

namespace station {

enum class StepResult { Passed, Failed, Skipped };

struct SelfTestStep {
    std::string step;    // "field", "chip", "format 26", "lock"
    StepResult result = StepResult::Passed;
    std::string detail;  // what was done or found
};

struct SelfTestReport {
    std::vector<SelfTestStep> steps;
    bool Passed() const;
};

// "passed", "failed", "skipped".
const char* StepResultWord(StepResult result);

// handle: an open reader; chipType: the SDK's code of the chip laid on it.
SelfTestReport RunSelfTest(int handle, int chipType);

}  // namespace station
