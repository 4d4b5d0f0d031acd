// Where the station's windows open: the main window where the operator left it, and never
// partly off the screen (the lamp strip widens the window while a series runs).
#pragma once

class QWidget;

// Moves the window to the position stored by StoreWindowPosition, when that position still
// lies on one of the screens; otherwise leaves it where the window system puts it.
void RestoreWindowPosition(QWidget* window);
void StoreWindowPosition(const QWidget* window);

// Moves the window so that all of it lies on the available area of its screen, as far as its
// size allows (a window larger than the screen keeps its top left corner on the screen).
void KeepOnScreen(QWidget* window);
