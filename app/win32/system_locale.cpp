// The user's month abbreviations and AM/PM designators from the Win32 locale settings.

#include <windows.h>

#include "app/system_locale.h"
#include "platform/win32/wide_text.h"

namespace skorva {
namespace {

std::string localeText(LCTYPE item) {
    wchar_t text[LOCALE_NAME_MAX_LENGTH] = {};
    const int length = ::GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, item, text, LOCALE_NAME_MAX_LENGTH);
    return length > 1 ? win32::narrow(text, static_cast<std::size_t>(length - 1)) : std::string();
}

}  // namespace

LocaleNames systemLocaleNames() {
    LocaleNames names;
    for (std::size_t month = 0; month < names.shortMonths.size(); ++month) {
        names.shortMonths[month] = localeText(static_cast<LCTYPE>(LOCALE_SABBREVMONTHNAME1 + month));
    }
    names.am = localeText(LOCALE_S1159);
    names.pm = localeText(LOCALE_S2359);
    return names;
}

}  // namespace skorva
