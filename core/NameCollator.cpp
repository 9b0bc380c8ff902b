#include "NameCollator.h"

#include <cstring>
#include <stdexcept>
#include <string>
#include <unicode/ucol.h>
#include <unicode/uiter.h>
#include <unicode/uloc.h>

namespace {

UCollator* OpenUserCollator() {
    const char* locale = uloc_getDefault();
    if (locale == nullptr || std::strstr(locale, "POSIX") != nullptr || std::strcmp(locale, "c") == 0)
        locale = "";
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(locale, &status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        collator = ucol_open("", &status);
    }
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("Cannot open the collation: ") + u_errorName(status));
    ucol_setStrength(collator, UCOL_SECONDARY);
    return collator;
}

} // namespace

TNameCollator::TNameCollator() : FCollator(OpenUserCollator()) {}

TNameCollator::TNameCollator(const TNameCollator& other) {
    UErrorCode status = U_ZERO_ERROR;
    FCollator = ucol_clone(other.FCollator, &status);
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("Cannot copy the collation: ") + u_errorName(status));
}

TNameCollator::~TNameCollator() { ucol_close(FCollator); }

int TNameCollator::Compare(std::string_view a, std::string_view b) const {
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result =
        ucol_strcollUTF8(FCollator, a.data(), static_cast<int32_t>(a.size()), b.data(),
                         static_cast<int32_t>(b.size()), &status);
    if (U_FAILURE(status))
        return a.compare(b);
    return static_cast<int>(result);
}

uint64_t TNameCollator::KeyPrefix(std::string_view text) const {
    UCharIterator iter;
    uiter_setUTF8(&iter, text.data(), static_cast<int32_t>(text.size()));
    uint32_t state[2] = {0, 0};
    uint8_t part[8] = {0, 0, 0, 0, 0, 0, 0, 0};
    UErrorCode status = U_ZERO_ERROR;
    ucol_nextSortKeyPart(FCollator, &iter, state, part, 8, &status);
    if (U_FAILURE(status))
        return 0;
    uint64_t prefix = 0;
    for (uint8_t byte : part)
        prefix = (prefix << 8) | byte;
    return prefix;
}
