#include "station/PrivateSaveFile.h"

#include <QFileInfo>

namespace station {

bool OpenPrivateSaveFile(QSaveFile& file) {
    // QSaveFile gives a new file 0666 less the umask, and an existing one its own mode.
    const bool exists = QFileInfo::exists(file.fileName());
    if (!file.open(QIODevice::WriteOnly)) return false;
    // Before the first byte: the temporary file is what is renamed into place.
    if (!exists && !file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner)) {
        file.cancelWriting();
        return false;
    }
    return true;
}

}  // namespace station
