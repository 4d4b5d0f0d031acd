// Error codes and open results in words, so a program need not copy the table.
#include "vellf.h"

extern "C" {

const char* LfGetErrorText(int code) {
    switch (code) {
        case 0: return "no error";
        case LF_ERROR_UNKNOWN_HANDLE: return "unknown handle";
        case LF_ERROR_TIMEOUT: return "no complete reply from the reader in time";
        case LF_ERROR_BUFFER_TOO_SMALL: return "reply longer than the buffer";
        case LF_ERROR_NOT_POSSIBLE:
            return "not possible with this reader or chip, or a reply of the wrong length";
        case LF_ERROR_CHIP_NOT_SUPPORTED: return "chip type not supported";
        case LF_ERROR_BLOCK_OUT_OF_RANGE: return "block address out of range for the chip type";
        case LF_ERROR_CHECKSUM: return "checksum or parity error";
        case LF_ERROR_EMPTY_REPLY: return "empty reply from the reader";
        case LF_ERROR_INVALID_PARAMETER: return "invalid parameter";
        case LF_ERROR_NEEDS_EXTENDED_COMMANDS:
            return "needs the extended command set, or not defined for this chip type";
        case LF_ERROR_WRONG_FORMAT: return "card not in the requested format";
        case LF_OPEN_FAILED: return "the connection could not be opened";
        case LF_OPEN_BAD_TIMEOUT: return "negative timeout";
        case LF_OPEN_NO_ANSWER: return "the reader does not answer";
        case LF_OPEN_HID_INIT_FAILED: return "the HID link could not be initialised";
        default: break;
    }
    return code > 0 && code < 256 ? "status reported by the reader" : "unknown error";
}

}  // extern "C"
