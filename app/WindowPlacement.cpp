#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <climits>

#include "Settings.h"

namespace {

constexpr const char* kSection = "Fenster";
constexpr int kUnset = INT_MIN;

}  // namespace

void RestoreWindowPosition(QWidget* window) {
    const QPoint stored(GetSettingInt(kSection, "X", kUnset), GetSettingInt(kSection, "Y", kUnset));
    // A screen that was unplugged since must not take the window with it.
    if (stored.x() != kUnset && stored.y() != kUnset) {
        for (const QScreen* screen : QGuiApplication::screens()) {
            if (screen->availableGeometry().contains(stored)) {
                MoveFrameTo(window, stored);
                return;
            }
        }
    }
    if (const QScreen* screen = window->screen())
        MoveFrameTo(window, screen->availableGeometry().topLeft());
}

void StoreWindowPosition(const QWidget* window) {
    const QPoint frame = window->frameGeometry().topLeft();
    PutSettingInt(kSection, "X", frame.x());
    PutSettingInt(kSection, "Y", frame.y());
}

void MoveFrameTo(QWidget* window, const QPoint& point) {
    // Before its native window exists, a window's position is taken as its frame's; after,
    // move() places the inner area, so the frame is placed through the native window.
    QWindow* handle = window->windowHandle();
    if (handle != nullptr && window->testAttribute(Qt::WA_WState_Created))
        handle->setFramePosition(point);
    else
        window->move(point);
}

void KeepOnScreen(QWidget* window) {
    const QScreen* screen = window->screen();
    if (screen == nullptr) return;
    const QRect area = screen->availableGeometry();
    const QRect frame = window->frameGeometry();
    QPoint corner = frame.topLeft();
    corner.setX(std::max(area.left(), std::min(corner.x(), area.right() + 1 - frame.width())));
    corner.setY(std::max(area.top(), std::min(corner.y(), area.bottom() + 1 - frame.height())));
    if (corner != frame.topLeft()) window->move(window->pos() + (corner - frame.topLeft()));
}

void ShowBeside(QWidget* window, const QRect& station, const QSize& decoration) {
    const QScreen* screen = QGuiApplication::screenAt(station.center());
    if (screen == nullptr) screen = window->screen();
    if (screen != nullptr) {
        const QRect area = screen->availableGeometry();
        const int rightRoom = area.right() - station.right() - decoration.width();
        const int leftRoom = station.left() - area.left() - decoration.width();
        const int least = window->minimumSizeHint().width();
        const bool right = rightRoom >= least || (leftRoom < least && rightRoom >= leftRoom);
        const int room = std::max(0, right ? rightRoom : leftRoom);
        // Narrower than its layout would like rather than over the station: tables scroll.
        if (room < least) window->setMinimumWidth(room);
        window->resize(std::min(window->width(), room),
                       std::min(window->height(), area.height() - decoration.height()));
        const int x = right ? station.right() + 1 : station.left() - window->width() -
                                                        decoration.width();
        MoveFrameTo(window, QPoint(x, std::max(area.top(), station.top())));
    }
    window->show();
    KeepOnScreen(window);
    window->raise();
    window->activateWindow();
}
