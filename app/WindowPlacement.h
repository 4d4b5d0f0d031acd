// Where the station's windows open: the main window where the operator left it, at the first
// start at the left edge of the screen (the virtual reader's panel opens at the right edge),
// and never partly off the screen (the lamp strip widens the window while a series runs).
//
// Positions are the frame's (title bar included), stored and restored as such: a position
// taken from the frame and given back as the inner area's would move the window up by a
// title bar's height at every start.
#pragma once

class QPoint;
class QRect;
class QSize;
class QWidget;

// Moves the window's frame to the position stored by StoreWindowPosition when that position
// still lies on one of the screens, otherwise to the top left corner of the available area
// of the window's screen.
void RestoreWindowPosition(QWidget* window);
void StoreWindowPosition(const QWidget* window);

// Puts the top left corner of the window's frame at point, whether or not the window has been
// shown yet.
void MoveFrameTo(QWidget* window, const QPoint& point);

// Moves the window so that all of it lies on the available area of its screen, as far as its
// size allows (a window larger than the screen keeps its top left corner on the screen).
void KeepOnScreen(QWidget* window);

// Shows window beside the station, whose frame (at the widest it gets, a write series' lamp
// strip included) is station: at its right where the room there takes the window at its least
// width, else at its left, else on the side with more room, narrowed to it. The station's
// lamps, banner and menu button stay in sight; the window is no larger than the screen.
// decoration: what the window system adds around a window (the station's frame tells).
void ShowBeside(QWidget* window, const QRect& station, const QSize& decoration);
