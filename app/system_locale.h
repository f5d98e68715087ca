#pragma once
// The month abbreviations and AM/PM designators of the user's locale, as the system's own settings give
// them: through Qt on Linux, through the Win32 locale calls on Windows.

#include "recording/recording_names.h"

namespace skorva {

LocaleNames systemLocaleNames();

}  // namespace skorva
