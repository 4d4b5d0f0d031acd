#include "station/doctor/SelfTest.h"

#include <algorithm>
#include <cstdint>

#include "station/CardFormatTable.h"
#include "station/ChipTypeTable.h"
#include "station/Transponder.h"
#include "vellf.h"

namespace station {

namespace {

// LfResetField switches the field off and on for a code outside the T55xx family.
constexpr int kFieldSwitch = LF_CHIP_SIC7888;
// The SDK's words for "this chip or reader cannot do that format".
constexpr int kErrNotPossible = 9;
constexpr int kErrChipUnsupported = 10;
constexpr bool kNeverLock = false;

// A card inside every field's range, different per format so that a read-back of the
// previous format's card is not taken for this one's.
CardFields TestCard(int format) {
    const CardFormatInfo& info = kCardFormats[format];
    CardFields card;
    card.number = std::min<std::int64_t>(info.maxCustomer, 4660 + format);
    card.facility = std::min(info.maxFacility, 17 + format);
    card.fixed = std::min(info.maxFixed, 5);
    return card;
}

std::string FieldsText(const CardFields& card) {
    return "facility " + std::to_string(card.facility) + ", number " +
           std::to_string(card.number) + (card.fixed != 0 ? ", extra " + std::to_string(card.fixed) : "");
}

std::string ErrorText(int code) {
    const char* text = LfGetErrorText(code);
    return text != nullptr && *text != '\0' ? text : "error " + std::to_string(code);
}

}  // namespace

bool SelfTestReport::Passed() const {
    return std::none_of(steps.begin(), steps.end(),
                        [](const SelfTestStep& step) { return step.result == StepResult::Failed; });
}

const char* StepResultWord(StepResult result) {
    switch (result) {
        case StepResult::Passed:
            return "passed";
        case StepResult::Failed:
            return "failed";
        case StepResult::Skipped:
            break;
    }
    return "skipped";
}

SelfTestReport RunSelfTest(int handle, int chipType) {
    SelfTestReport report;
    CardTarget target{handle, 0, chipType};
    const std::string chip = ChipName(chipType).trimmed().toStdString();

    // Detection knows each chip's way of answering (the M2 has no identification and is
    // asked for its configuration byte in its receive modes).
    const auto detect = [&target](QString& uid) {
        std::int64_t lastId = 0;
        return DetectTransponder(target, lastId, uid);
    };
    QString uid;
    const Detection detection = detect(uid);
    if (detection == Detection::None) {
        report.steps.push_back({"chip", StepResult::Failed,
                                "no " + chip + " answers on the reader; lay the chip on it"});
        return report;
    }
    LfResetField(handle, kFieldSwitch);
    QString again;
    const bool back = detect(again) != Detection::None;
    report.steps.push_back({"field", back ? StepResult::Passed : StepResult::Failed,
                            back ? "switched off and on; the chip answers again"
                                 : "switched off and on; the chip no longer answers"});
    if (!back) return report;
    if (detection == Detection::Protected) {
        report.steps.push_back({"chip", StepResult::Failed,
                                "the " + chip + " is write-protected; lay a writable chip"});
        return report;
    }
    report.steps.push_back({"chip", StepResult::Passed,
                            chip + (uid.isEmpty() ? ", no identification (it has none)"
                                                  : ", identification " + uid.toStdString())});

    int written = -1;  // the last format that passed
    for (int format = 0; format < kCardFormatCount; ++format) {
        target.format = format;
        const std::string step = std::string("format ") + kCardFormats[format].commandName;
        const CardFields card = TestCard(format);
        if (!WriteTransponder(target, card, kNeverLock)) {
            const int code = LfGetLastError(handle);
            const bool refused = code == kErrNotPossible || code == kErrChipUnsupported;
            report.steps.push_back({step, refused ? StepResult::Skipped : StepResult::Failed,
                                    (refused ? "the chip does not take this format: "
                                             : "the write failed: ") + ErrorText(code)});
            continue;
        }
        CardFields found;
        int code = 0;
        switch (VerifyTransponder(target, card, found, code)) {
            case VerifyResult::Verified:
                written = format;
                report.steps.push_back({step, StepResult::Passed,
                                        "written and read back: " + FieldsText(card)});
                break;
            case VerifyResult::Mismatch:
                report.steps.push_back({step, StepResult::Failed,
                                        "wrote " + FieldsText(card) + ", read " + FieldsText(found)});
                break;
            case VerifyResult::ReadFailed:
                report.steps.push_back({step, StepResult::Failed,
                                        "written, but the read-back failed: " + ErrorText(code)});
                break;
        }
    }
    if (written < 0) {
        report.steps.push_back({"lock", StepResult::Skipped, "never set; no card was written"});
        return report;
    }
    // The last card written can be written over again: the chip stayed unlocked.
    target.format = written;
    const bool writable = WriteTransponder(target, TestCard(written), kNeverLock);
    report.steps.push_back({"lock", writable ? StepResult::Passed : StepResult::Failed,
                            writable ? "never set; the chip takes a further write"
                                     : "the chip refuses a further write: " +
                                           ErrorText(LfGetLastError(handle))});
    return report;
}

}  // namespace station
