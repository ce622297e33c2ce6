// The program's own icon, shared by every window and the tray.
#include "ui/Icon.h"

#include <QIcon>

// Outside the namespace: the resource's registration function is a global one.
static void RegisterIcons() {
    Q_INIT_RESOURCE(icons);
}

namespace vantle {

QIcon VantleIcon() {
    // The images live in a static library, whose resource registration the linker would
    // otherwise drop.
    static const bool registered = [] {
        RegisterIcons();
        return true;
    }();
    (void)registered;
    QIcon icon;
    for (int size : {16, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/vantle-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace vantle
