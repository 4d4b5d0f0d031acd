// What a run reports to the operator. The window shows each as a text of its string table,
// the command line in words of its own.
#pragma once

#include <QDateTime>
#include <QString>
#include <cstdint>

#include "station/CardNumbers.h"

namespace station {

enum class StatusMessage {
    None,  // an empty status line
    // Reads.
    ReadError,  // with the SDK's error code
    NoFskData,
    ReadTimeout,
    Manchester,
    Biphase,
    // Reads and writes.
    NoTransponder,
    BlankChip,  // a chip answers, but holds no card in the chosen format
    ReaderSilent,
    // Writes.
    WriteProtected,
    Checksum,
    WrongChip,
    Locked,
    NotWritable,    // a chip answers but no receive mode reads it (password, foreign setup)
    WriteError,     // with the SDK's error code
    ValueTooLarge,  // with the format's largest number
    VerifyMismatch,
    VerifyUnreadable,
    // The card register.
    Duplicate,       // the number was issued before: detail names the chip, when the time
    RegisterFailed,  // the register cannot record the card: detail says why
    NoFreeNumber,    // the register has no free number up to the series' end
    // The chip on the reader carries a valid card of the register (card, cardFormat; detail
    // its identification, when since when); it is not written over unasked.
    ChipCarriesCard,
    // A re-issue of a number another station is still writing (only reserved there): detail
    // names the station, when the reservation's time.
    ReissueInProgress,
    // The settings cannot keep the next number; no chip is written with this one.
    NumberNotStored,
    // The holder has a valid card by now (another station was faster, or it was there before
    // and the operator chose neither a second card nor a replacement); nothing was written.
    // Names nobody: the status line is traced.
    HolderHasCard,
};

struct Status {
    StatusMessage message = StatusMessage::None;
    // The SDK's error code (ReadError, WriteError) or the largest number (ValueTooLarge).
    std::int64_t value = 0;
    // A series write failed: the chip is tried again only after it was taken away.
    bool layAgain = false;
    // The register's messages: the earlier card's chip or the reason, and its time.
    QString detail = QString();
    QDateTime when = QDateTime();
    // ChipCarriesCard: the card on the chip (an index into kCardFormats, -1 unknown).
    int cardFormat = -1;
    CardFields card = CardFields();
};

}  // namespace station
