// What the station knows about itself: its product version and the date of its program
// file, for the window title and the About dialog.
#pragma once

#include <QString>
#include <QStringList>

// The product version ("1.0"), or "1.xx" when the build did not set a usable one.
QString GetProgramVersion();

// The modification date of the running program file as "%Y-%m-%d".
QString GetProgramDate();

// The folder of the running program file.
QString GetProgramDirectory();

// Where the station's data files (language file, manuals) are looked for, in order: the
// program directory, so that a build tree works as it is, then the installed share folder.
QStringList GetDataDirectories();
