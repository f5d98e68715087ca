#include "app/app_icons.h"

// Resources of a static library are registered by hand; the linker would drop their initialiser.
static void registerAppResources() {
    Q_INIT_RESOURCE(resources);
}

namespace skorva {
namespace {

void ensureResources() {
    static const bool registered = (registerAppResources(), true);
    (void)registered;
}

}  // namespace

QIcon appIcon() {
    ensureResources();
    return QIcon(QStringLiteral(":/skorva.xpm"));
}

QIcon disketteIcon() {
    ensureResources();
    return QIcon(QStringLiteral(":/diskette.xpm"));
}

}  // namespace skorva
