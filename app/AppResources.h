// The station's images, built into the program from res/app.qrc and looked up by their
// resource ids.
#pragma once

#include <QIcon>
#include <QPixmap>

inline constexpr int IDR_MAINFRAME = 128;  // program icon
inline constexpr int IDB_LOGO = 129;
inline constexpr int IDB_LAMP_YELLOW = 142;
inline constexpr int IDB_LAMP_GREEN = 143;
inline constexpr int IDB_LAMP_OFF = 144;
inline constexpr int IDB_LAMP_RED = 145;

// The bitmap of id (a lamp or the logo); a null pixmap for an unknown id.
QPixmap LoadAppBitmap(int id);

// The program icon.
QIcon LoadAppIcon();
