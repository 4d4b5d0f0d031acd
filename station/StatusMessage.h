// What a run reports to the operator. The window shows each as a text of its string table,
// the command line in words of its own.
#pragma once

namespace station {

enum class StatusMessage {
    None,
    ReadError,  // shown with the SDK's error code
    NoFskData,
    NoTransponder,
    WriteDone,
    WriteProtected,
    ReadTimeout,
    Manchester,
    Biphase,
    VerifyMismatch,    // the card read back holds other fields than were written
    VerifyReadFailed,  // the card could not be read back after writing
};

}  // namespace station
