#include "LocaleFormats.h"

#include <langinfo.h>

namespace {

std::string LangInfo(nl_item item, const char* fallback) {
    const char* value = nl_langinfo(item);
    return value != nullptr ? std::string(value) : std::string(fallback);
}

} // namespace

TLocaleFormats TLocaleFormats::Current() {
    TLocaleFormats formats;
    formats.ThousandSeparator = LangInfo(THOUSEP, "");
    formats.DecimalSeparator = LangInfo(RADIXCHAR, ".");
    if (formats.DecimalSeparator.empty())
        formats.DecimalSeparator = ".";
    formats.ShortDate = LangInfo(D_FMT, "%m/%d/%y");
    formats.LongTime = LangInfo(T_FMT, "%H:%M:%S");
    if (formats.ShortDate.empty())
        formats.ShortDate = "%m/%d/%y";
    if (formats.LongTime.empty())
        formats.LongTime = "%H:%M:%S";
    return formats;
}
