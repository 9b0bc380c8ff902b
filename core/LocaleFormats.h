#pragma once

#include <string>

// The number, date and time formats of the user's locale as the C library holds them after
// setlocale(LC_ALL, ""). Every text the program shows or writes takes them from here.
struct TLocaleFormats {
    std::string ThousandSeparator; // may be empty
    std::string DecimalSeparator = ".";
    std::string ShortDate = "%m/%d/%y"; // strftime format
    std::string LongTime = "%H:%M:%S";  // strftime format

    // The formats of the current C locale (nl_langinfo).
    static TLocaleFormats Current();
};
