#pragma once

#include <QLocale>

#include "app/system_locale.h"
#include "recording/recording_names.h"

namespace skorva {

// The month abbreviations and AM/PM designators of a locale.
LocaleNames localeNames(const QLocale& locale);

}  // namespace skorva
