#pragma once

#include <QIcon>

namespace skorva {

// The application's icon (32 x 32) and the diskette on the folder button (16 x 16).
QIcon appIcon();
QIcon disketteIcon();

}  // namespace skorva
