// For 125 kHz cards the register's facility codes and numbers are the credential itself:
// whoever reads the file can clone any badge. Its folder is therefore made for the owner
// alone and its file created 0600 (SQLite gives its -wal, -shm and -journal files the
// database's mode); a register that other accounts can reach is named with the fix.
#pragma once

#include <QString>

namespace station {

// Makes folder and its missing parents with mode 0700; existing folders keep their mode.
// False with error when it cannot.
bool MakePrivateFolder(const QString& folder, QString& error);
// Creates file empty with mode 0600 unless it exists. False with error when it cannot.
bool CreatePrivateFile(const QString& file, QString& error);
// A warning naming what of the register file, its companions and (when the user owns it)
// its folder other accounts may read or change, with the chmod command that fixes it;
// empty when all is private.
QString ExposedRegisterWarning(const QString& file);

}  // namespace station
