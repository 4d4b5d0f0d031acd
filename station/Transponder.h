// One transponder on the reader, through the SDK's C interface: read and decode it in a
// card format, write a card onto it, read it back to verify, and tell whether the chip on
// the field is new, the one seen last, or write-protected.
#pragma once

#include <QString>
#include <cstdint>

#include "station/CardNumbers.h"
#include "station/StatusMessage.h"
#include "vellf.h"

namespace station {

// The SDK's last error when the reader did not answer in time.
inline constexpr int kErrTimeout = LF_ERROR_TIMEOUT;

// The reader and what the operator chose.
struct CardTarget {
    int handle = 0;
    int format = 0;    // index into kCardFormats
    int chipType = 9;  // SDK chip type code
};

// The SDK read of the format's fields; the SDK result (0 or -1), -1 for an unknown format.
int ReadFormatFields(const CardTarget& target, SdkFields& values);

// Reads and decodes the card into fields (the fields the format has not keep their values)
// and, when the chip answers with one, its identification into uid (upper-case hexadecimal).
// On failure returns false and sets errorCode to the handle's last error.
bool ReadTransponder(const CardTarget& target, CardFields& fields, QString& uid, int& errorCode);

// What a failed read shows for the SDK's error code; code 21 (not FSK) probes the card's
// other codings. None for code 0.
StatusMessage DescribeReadError(int handle, int code);

// What a failed write shows for the SDK's error code. The reader's "no transponder" is
// checked against the chip: one that still answers is there but not writable.
StatusMessage DescribeWriteError(const CardTarget& target, int code);
// Whether the target's last failed write may have left blocks on the chip: false only where
// it was refused before its first block command (LfWriteSentBlocks), whichever block failed
// later and whatever the reader answered to it.
bool WriteMayHaveReachedChip(const CardTarget& target);

// Whether a chip of the target's type answers on the field (its identification, or the M2's
// configuration byte).
bool ChipStillAnswers(const CardTarget& target);

// After a read that found no card: whether a chip of the target's type answers all the same
// (a blank chip, or one of another format), so the read can say so instead of "no transponder".
bool ChipAnswersWithoutCard(const CardTarget& target);

// Writes the card in the format's layout, locking the chip when asked. False (and the
// handle's last error says why) when the SDK reports a failure; an unknown format is refused.
bool WriteTransponder(const CardTarget& target, const CardFields& fields, bool lock);

enum class VerifyResult { Verified, Mismatch, ReadFailed };

// Reads the card back in the target's format and compares it with what was written; found
// receives what the card holds, errorCode the SDK error of a failed read.
VerifyResult VerifyTransponder(const CardTarget& target, const CardFields& written,
                               CardFields& found, int& errorCode);

enum class Detection { None = 0, New = 1, Same = 2, Protected = 3 };

// The chip on the field against the identity of the last one (0: none). A chip with an
// identification stores it in lastId and, as text, in uid; the ATA5575 M2 has none, and is
// known by the card fields it carries.
Detection DetectTransponder(const CardTarget& target, std::int64_t& lastId, QString& uid);

// The M2's identity: the format's two fields read back (second low, first high 32 bits).
bool ReadFieldsForCheck(const CardTarget& target, std::int64_t& identity);

// The chip identification bytes (little-endian, missing bytes 0) as a number.
std::uint64_t ChipIdValue(const unsigned char* bytes);

// A chip identification as the station shows it.
QString ChipIdText(std::uint64_t id);

}  // namespace station
