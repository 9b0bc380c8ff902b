#pragma once

#include <cstdint>
#include <string>

// The copies a saved result list could not hold: a path or a name key with a line break or
// byte 26 would spell lines of its own, and a line longer than 1 MiB is refused on reading.
struct TLeftOutCopies {
    int64_t Count = 0;
    std::string FirstPath; // the full path of the first copy left out, as its bytes
};

// What the user is told about copies left out, the path shown with escapes; "" for none.
std::string LeftOutCopiesMessage(const TLeftOutCopies& leftOut);
