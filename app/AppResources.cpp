#include "AppResources.h"

// The resources live in a static library: register them before the first use, since the
// linker would otherwise leave their initialiser out.
static void RegisterAppResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(app);
        return true;
    }();
    (void)registered;
}

QPixmap LoadAppBitmap(int id) {
    RegisterAppResources();
    switch (id) {
        case IDB_LOGO:
            return QPixmap(QStringLiteral(":/images/logo.png"));
        case IDB_LAMP_YELLOW:
            return QPixmap(QStringLiteral(":/images/lamp_yellow.png"));
        case IDB_LAMP_GREEN:
            return QPixmap(QStringLiteral(":/images/lamp_green.png"));
        case IDB_LAMP_OFF:
            return QPixmap(QStringLiteral(":/images/lamp_off.png"));
        case IDB_LAMP_RED:
            return QPixmap(QStringLiteral(":/images/lamp_red.png"));
        default:
            return {};
    }
}

QIcon LoadAppIcon() {
    RegisterAppResources();
    return QIcon(QStringLiteral(":/images/orvex-fsk-programmer.png"));
}
