#include "WindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <climits>

#include "Settings.h"

namespace {

constexpr const char* kSection = "Fenster";
constexpr int kUnset = INT_MIN;

}  // namespace

void RestoreWindowPosition(QWidget* window) {
    const QPoint stored(GetSettingInt(kSection, "X", kUnset), GetSettingInt(kSection, "Y", kUnset));
    if (stored.x() == kUnset || stored.y() == kUnset) return;
    // A screen that was unplugged since must not take the window with it.
    for (const QScreen* screen : QGuiApplication::screens()) {
        if (screen->availableGeometry().contains(stored)) {
            window->move(stored);
            return;
        }
    }
}

void StoreWindowPosition(const QWidget* window) {
    PutSettingInt(kSection, "X", window->pos().x());
    PutSettingInt(kSection, "Y", window->pos().y());
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
