#include "app/window_system.h"

#include <QByteArray>
#include <QtGlobal>

namespace skorva {

void prepareWindowSystem() {
    if (!qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM")) {
        qputenv("QT_XCB_NO_MITSHM", QByteArray("1"));
    }
}

}  // namespace skorva
