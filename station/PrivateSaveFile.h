// Exports of the register name people and carry the numbers that clone their badges: a new
// export is readable by its owner alone, as the register itself is. An existing file keeps the
// mode its owner gave it (a folder shared with the access-control system on purpose).
#pragma once

#include <QSaveFile>

namespace station {

// Opens file for writing; a file that does not exist yet is written with mode 0600.
bool OpenPrivateSaveFile(QSaveFile& file);

}  // namespace station
