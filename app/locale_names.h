#pragma once

#include <QLocale>

#include "recording/recording_names.h"

namespace skorva {

// The month abbreviations and AM/PM designators of a locale.
LocaleNames localeNames(const QLocale& locale);
// Those of the user's locale.
LocaleNames systemLocaleNames();

}  // namespace skorva
