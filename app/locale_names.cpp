#include "app/locale_names.h"

namespace skorva {

LocaleNames localeNames(const QLocale& locale) {
    LocaleNames names;
    for (int month = 1; month <= 12; ++month) {
        names.shortMonths[static_cast<std::size_t>(month - 1)] =
            locale.monthName(month, QLocale::ShortFormat).toStdString();
    }
    names.am = locale.amText().toStdString();
    names.pm = locale.pmText().toStdString();
    return names;
}

LocaleNames systemLocaleNames() {
    return localeNames(QLocale::system());
}

}  // namespace skorva
