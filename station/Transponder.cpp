#include "station/Transponder.h"

#include <array>

#include "station/CardFormatTable.h"
#include "station/ChipTypeTable.h"
#include "vellf.h"

namespace station {

namespace {

constexpr int kLockFlags = LF_WRITE_LOCK;
constexpr int kErrNotPossible = LF_ERROR_NOT_POSSIBLE;
constexpr int kErrChipNotSupported = LF_ERROR_CHIP_NOT_SUPPORTED;
constexpr int kErrParity = LF_ERROR_CHECKSUM;
constexpr int kErrInvalidParameter = LF_ERROR_INVALID_PARAMETER;
constexpr int kErrNotFsk = 21;
constexpr int kErrOtherFormat = LF_ERROR_WRONG_FORMAT;

// Reader status bytes a write can end with.
constexpr int kStatusNoTransponder = 0x04;
constexpr int kStatusWriteProtected = 0x05;
constexpr int kStatusAccessDenied = 0x0B;

constexpr int kCodingManchester = LF_CODING_MANCHESTER;
constexpr int kCodingBiphase = LF_CODING_BIPHASE;
constexpr int kReceiveModeIdentify = LF_RECEIVE_FSK_RF50;
constexpr int kM2ConfigByte = 16;
constexpr int kConfigReadsPerMode = 3;

}  // namespace

std::uint64_t ChipIdValue(const unsigned char* bytes) {
    std::uint64_t id = 0;
    for (int i = 7; i >= 0; --i) id = (id << 8) | bytes[i];
    return id;
}

QString ChipIdText(std::uint64_t id) {
    return QString::number(id, 16).toUpper();
}

int ReadFormatFields(const CardTarget& target, SdkFields& values) {
    // The huge formats are read in the standard layouts that carry their numbers.
    const int handle = target.handle;
    switch (target.format) {
        case 0:
        case 1:
            return LfReadWiegand26(handle, &values.first, &values.second);
        case 2:
            return LfReadWiegand34(handle, &values.first, &values.second);
        case 3:
            return LfReadWiegand34NC(handle, &values.first, &values.second);
        case 4:
            return LfReadWiegand35(handle, &values.first, &values.second);
        case 5:
            return LfReadWiegand36(handle, &values.first, &values.second, &values.extra);
        case 6:
        case 7:
            return LfReadWiegand37(handle, &values.first, &values.second);
        default:
            return -1;
    }
}

bool ReadTransponder(const CardTarget& target, CardFields& fields, QString& uid, int& errorCode) {
    SdkFields values;
    if (ReadFormatFields(target, values) != 0) {
        errorCode = LfGetLastError(target.handle);
        return false;
    }
    fields = JoinSdkFields(target.format, values, fields);
    LfSetReceiveMode(target.handle, kReceiveModeIdentify);
    std::array<unsigned char, 8> id{};
    if (LfReadChipId(target.handle, target.chipType, id.data(), static_cast<int>(id.size())) >= 4)
        uid = ChipIdText(ChipIdValue(id.data()));
    LfResetField(target.handle, 0);
    errorCode = 0;
    return true;
}

StatusMessage DescribeReadError(int handle, int code) {
    switch (code) {
        case 0:
            return StatusMessage::None;
        case kErrTimeout:
            return StatusMessage::ReadTimeout;
        case kErrParity:
        case kErrOtherFormat:
            return StatusMessage::NoFskData;
        case kErrNotFsk: {
            std::array<unsigned char, 16> raw{};
            if (LfReadRawData(handle, kCodingManchester, raw.data(), 8) != -1)
                return StatusMessage::Manchester;
            if (LfReadRawData(handle, kCodingBiphase, raw.data(), 16) != -1)
                return StatusMessage::Biphase;
            return StatusMessage::NoTransponder;
        }
        default:
            return StatusMessage::ReadError;
    }
}

bool ChipStillAnswers(const CardTarget& target) {
    if (target.chipType == kChipAta5575M2) {
        unsigned char config = 0;
        return LfReadBlocks(target.handle, kChipAta5575M2, kM2ConfigByte, &config, 1) == 1;
    }
    std::array<unsigned char, 8> buffer{};
    return LfReadChipId(target.handle, target.chipType, buffer.data(),
                        static_cast<int>(buffer.size())) >= 4;
}

bool ChipAnswersWithoutCard(const CardTarget& target) {
    if (target.chipType != kChipAta5575M2) LfSetReceiveMode(target.handle, kReceiveModeIdentify);
    std::int64_t lastId = 0;
    QString uid;
    const bool answers = DetectTransponder(target, lastId, uid) != Detection::None;
    LfResetField(target.handle, 0);
    return answers;
}

StatusMessage DescribeWriteError(const CardTarget& target, int code) {
    switch (code) {
        case kErrTimeout:
            return StatusMessage::ReaderSilent;
        case kErrParity:
            return StatusMessage::Checksum;
        case kErrNotPossible:
        case kErrChipNotSupported:
            return StatusMessage::WrongChip;
        case kStatusWriteProtected:
            return StatusMessage::WriteProtected;
        case kStatusAccessDenied:
            return StatusMessage::Locked;
        case kStatusNoTransponder:
            // The reader found no chip to write; the one just identified may still be there
            // but answer in no receive mode (a password, another system's configuration).
            return ChipStillAnswers(target) ? StatusMessage::NotWritable
                                            : StatusMessage::NoTransponder;
        default:
            return StatusMessage::WriteError;
    }
}

bool WriteMayHaveReachedChip(const CardTarget& target) {
    // The SDK knows whether a block command went out; an unknown handle counts as sent.
    return LfWriteSentBlocks(target.handle) != 0;
}

bool WriteTransponder(const CardTarget& target, const CardFields& fields, bool lock) {
    if (!IsCardFormat(target.format)) return false;
    const SdkFields values = SplitCardFields(target.format, fields);
    const int flags = lock ? kLockFlags : 0;
    const int handle = target.handle;
    const int chip = target.chipType;
    int result = -1;
    switch (target.format) {
        case 0:
        case 1:
            result = LfWriteWiegand26(handle, chip, values.first, values.second, flags);
            break;
        case 2:
            result = LfWriteWiegand34(handle, chip, values.first, values.second, flags);
            break;
        case 3:
            result = LfWriteWiegand34NC(handle, chip, values.first, values.second, flags);
            break;
        case 4:
            result = LfWriteWiegand35(handle, chip, values.first, values.second, flags);
            break;
        case 5:
            result =
                LfWriteWiegand36(handle, chip, values.first, values.second, values.extra, flags);
            break;
        default:
            result = LfWriteWiegand37(handle, chip, values.first, values.second, flags);
            break;
    }
    return result != -1;
}

VerifyResult VerifyTransponder(const CardTarget& target, const CardFields& written,
                               CardFields& found, int& errorCode) {
    SdkFields values;
    if (ReadFormatFields(target, values) != 0) {
        errorCode =
            IsCardFormat(target.format) ? LfGetLastError(target.handle) : kErrInvalidParameter;
        return VerifyResult::ReadFailed;
    }
    errorCode = 0;
    found = JoinSdkFields(target.format, values, written);
    return SameCard(target.format, found, written) ? VerifyResult::Verified
                                                   : VerifyResult::Mismatch;
}

bool ReadFieldsForCheck(const CardTarget& target, std::int64_t& identity) {
    if (!IsCardFormat(target.format)) return false;
    SdkFields values;
    if (ReadFormatFields(target, values) != 0) return false;
    identity = static_cast<std::int64_t>(
        (static_cast<std::uint64_t>(static_cast<std::uint32_t>(values.first)) << 32) |
        static_cast<std::uint32_t>(values.second));
    return true;
}

Detection DetectTransponder(const CardTarget& target, std::int64_t& lastId, QString& uid) {
    const int handle = target.handle;
    if (target.chipType != kChipAta5575M2) {
        std::array<unsigned char, 8> buffer{};
        if (LfReadChipId(handle, target.chipType, buffer.data(), static_cast<int>(buffer.size())) <
            4) {
            uid.clear();
            return Detection::None;
        }
        const auto id = static_cast<std::int64_t>(ChipIdValue(buffer.data()));
        if (id == lastId) return Detection::Same;
        lastId = id;
        uid = ChipIdText(static_cast<std::uint64_t>(id));
        return Detection::New;
    }

    // The M2 chip has no identification; its configuration byte tells the receive mode it
    // answers in and whether it is write-protected.
    unsigned char config = 0;
    auto readConfigIn = [handle, &config](int mode) {
        LfSetReceiveMode(handle, mode);
        for (int attempt = 0; attempt < kConfigReadsPerMode; ++attempt) {
            if (LfReadBlocks(handle, kChipAta5575M2, kM2ConfigByte, &config, 1) == 1) return true;
            // A silent reader is not asked five more times within the same tick.
            if (LfGetLastError(handle) == kErrTimeout) return false;
        }
        return false;
    };
    int mode = 2;
    if (!readConfigIn(mode)) {
        if (LfGetLastError(handle) == kErrTimeout) return Detection::None;
        mode = 1;
        if (!readConfigIn(mode)) return Detection::None;
    }
    if ((config & 0xF0) != 0) return Detection::Protected;
    if (mode == 1) return Detection::New;
    std::int64_t identity = 0;
    if (ReadFieldsForCheck(target, identity) && identity == lastId) return Detection::Same;
    return Detection::New;
}

}  // namespace station
