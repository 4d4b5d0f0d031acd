#include "chips/CardReader.h"

#include <vector>

#include "VersionReply.h"
#include "cards/CardFormat.h"
#include "chips/ReaderCommands.h"

namespace vellf {

namespace {

constexpr uint8_t kRawFsk = 4;
constexpr uint8_t kRawFskLength = 6;

// Where the reader puts the fields of a format it decodes itself (little-endian).
struct ReaderLayout {
    int formatCode;
    uint8_t readerCode;
    size_t replyLength;
    size_t aOffset, aSize, bOffset, bSize, cOffset, cSize;
};

constexpr ReaderLayout kReaderLayouts[] = {
    {26, 0x21, 3, 0, 1, 1, 2, 0, 0},
    {34, 0x22, 4, 0, 2, 2, 2, 0, 0},
    {35, 0x23, 5, 0, 2, 2, 3, 0, 0},
    {36, 0x24, 5, 0, 1, 1, 2, 3, 2},
    {37, 0x25, 5, 0, 2, 2, 3, 0, 0},
};

const ReaderLayout* ReaderLayoutFor(int formatCode) {
    for (const ReaderLayout& layout : kReaderLayouts) {
        if (layout.formatCode == formatCode) return &layout;
    }
    return nullptr;
}

int LittleEndianField(const std::vector<uint8_t>& data, size_t offset, size_t size) {
    uint32_t value = 0;
    for (size_t i = 0; i < size; ++i) value |= static_cast<uint32_t>(data[offset + i]) << (8 * i);
    return static_cast<int>(value);
}

void Store(int* out, int value) {
    if (out) *out = value;
}

bool ReadDecodedByReader(CVel_RW_Port& port, const ReaderLayout& layout, int* fieldA,
                         int* fieldB, int* fieldC) {
    std::vector<uint8_t> reply;
    if (!port.Exchange(cmd::kReadCardFields, {0, layout.readerCode}, &reply)) return false;
    if (reply.size() != layout.replyLength) return false;  // no code of its own for this
    Store(fieldA, LittleEndianField(reply, layout.aOffset, layout.aSize));
    Store(fieldB, LittleEndianField(reply, layout.bOffset, layout.bSize));
    Store(fieldC, LittleEndianField(reply, layout.cOffset, layout.cSize));
    return true;
}

bool ReadDecodedByHost(CVel_RW_Port& port, int formatCode, int* fieldA, int* fieldB,
                       int* fieldC) {
    std::vector<uint8_t> reply;
    if (!port.Exchange(cmd::kReadRaw, {kRawFsk, kRawFskLength}, &reply)) return false;
    if (reply.size() != kRawFskLength) {
        port.SetLastError(err::kNotPossible);
        return false;
    }
    const DecodedCard card = DecodeCardWord(formatCode, CardWordFromRaw(reply.data()));
    if (card.status == kErrWrongFormat || card.status == kErrInvalidParameter) {
        port.SetLastError(card.status);
        return false;
    }
    Store(fieldA, static_cast<int>(card.fieldA));
    Store(fieldB, static_cast<int>(card.fieldB));
    Store(fieldC, static_cast<int>(card.fieldC));
    if (card.status != kCardOk) {
        port.SetLastError(card.status);
        return false;
    }
    return true;
}

}  // namespace

bool ReadCard(CVel_RW_Port& port, int formatCode, int* fieldA, int* fieldB, int* fieldC) {
    if (!(port.m_capabilities & caps::kExtendedCommands)) {
        port.SetLastError(err::kNeedsExtendedCommands);
        return false;
    }
    const ReaderLayout* layout = ReaderLayoutFor(formatCode);
    if (layout && (port.m_capabilities & caps::kReaderDecoding)) {
        return ReadDecodedByReader(port, *layout, fieldA, fieldB, fieldC);
    }
    return ReadDecodedByHost(port, formatCode, fieldA, fieldB, fieldC);
}

}  // namespace vellf
