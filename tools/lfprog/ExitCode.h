// lfprog's exit codes, as its help and manual page list them.
#pragma once

enum ExitCode : int {
    kExitSuccess = 0,
    kExitFailure = 1,       // the reader or the card refused or failed
    kExitUsage = 2,         // bad command line, or a value out of its range
    kExitNoReader = 3,      // no reader could be opened, or it does not answer
    kExitNoCard = 4,        // no transponder on the reader
    kExitDuplicate = 5,     // the card register holds the number already
    kExitRegister = 6,      // the card register cannot be opened or cannot record
    kExitBlankChip = 7,     // a chip answers but holds no card in the format asked
    kExitNoFreeNumber = 8,  // a next-free series found no free number before its end
};
