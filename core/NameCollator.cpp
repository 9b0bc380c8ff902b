#include "NameCollator.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <stdexcept>
#include <string>
#include <unicode/ucol.h>
#include <unicode/uloc.h>
#include <unicode/uset.h>
#include <vector>

namespace {

UCollator* OpenUserCollator() {
    const char* locale = uloc_getDefault();
    if (locale == nullptr || std::strstr(locale, "POSIX") != nullptr ||
        std::strcmp(locale, "c") == 0)
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

bool IsAscii(std::string_view text) {
    unsigned char bits = 0;
    for (char c : text)
        bits |= static_cast<unsigned char>(c);
    return bits < 0x80;
}

} // namespace

// Opening the collation and deriving its ASCII table cost milliseconds; every list after the
// first copies what the first one built.
TNameCollator::TNameCollator(TPrototypeTag) : FCollator(OpenUserCollator()) {
    BuildAsciiTable();
}

TNameCollator::TNameCollator() : TNameCollator(Prototype()) {}

const TNameCollator& TNameCollator::Prototype() {
    static const TNameCollator prototype{TPrototypeTag()};
    return prototype;
}

TNameCollator::TNameCollator(const TNameCollator& other) : FHasAsciiTable(other.FHasAsciiTable) {
    UErrorCode status = U_ZERO_ERROR;
    FCollator = ucol_clone(other.FCollator, &status);
    if (U_FAILURE(status))
        throw std::runtime_error(std::string("Cannot copy the collation: ") + u_errorName(status));
    std::copy(std::begin(other.FRank), std::end(other.FRank), std::begin(FRank));
}

TNameCollator::~TNameCollator() {
    ucol_close(FCollator);
}

int TNameCollator::Compare(std::string_view a, std::string_view b) const {
    if (FHasAsciiTable && IsAscii(a) && IsAscii(b))
        return CompareKnownAscii(a, b);
    UErrorCode status = U_ZERO_ERROR;
    const UCollationResult result =
        ucol_strcollUTF8(FCollator, a.data(), static_cast<int32_t>(a.size()), b.data(),
                         static_cast<int32_t>(b.size()), &status);
    if (U_FAILURE(status))
        return a.compare(b);
    return static_cast<int>(result);
}

void TNameCollator::BuildAsciiTable() {
    UErrorCode status = U_ZERO_ERROR;
    USet* contractions = uset_openEmpty();
    USet* expansions = uset_openEmpty();
    ucol_getContractionsAndExpansions(FCollator, contractions, expansions, false, &status);
    bool usable = U_SUCCESS(status);
    // A contraction such as "ch" or an ASCII character that expands breaks the per-character view.
    for (int32_t i = 0; usable && i < uset_getItemCount(contractions); ++i) {
        UChar32 start = 0;
        UChar32 end = 0;
        UChar text[64];
        UErrorCode itemStatus = U_ZERO_ERROR;
        const int32_t length = uset_getItem(contractions, i, &start, &end, text, 64, &itemStatus);
        if (length > 0) {
            bool ascii = true;
            for (int32_t c = 0; c < length; ++c)
                ascii = ascii && text[c] < 0x80;
            usable = !ascii;
        }
    }
    for (UChar32 c = 0; usable && c < 0x80; ++c)
        usable = !uset_contains(expansions, c);
    uset_close(contractions);
    uset_close(expansions);
    if (!usable)
        return;

    UCollator* primary = ucol_clone(FCollator, &status);
    if (U_FAILURE(status))
        return;
    ucol_setStrength(primary, UCOL_PRIMARY);
    auto compare = [](UCollator* collator, const char* a, int32_t na, const char* b, int32_t nb) {
        UErrorCode error = U_ZERO_ERROR;
        return static_cast<int>(ucol_strcollUTF8(collator, a, na, b, nb, &error));
    };

    // Ignorable characters get rank 0; the others are ranked by sorting them, equal ones alike.
    std::vector<char> characters;
    for (int c = 0; c < 0x80; ++c) {
        const char ch = static_cast<char>(c);
        const bool ignorable = compare(FCollator, &ch, 1, "", 0) == 0;
        if (ignorable != (compare(primary, &ch, 1, "", 0) == 0))
            usable = false;
        if (!ignorable)
            characters.push_back(ch);
    }
    std::stable_sort(characters.begin(), characters.end(),
                     [&](char a, char b) { return compare(FCollator, &a, 1, &b, 1) < 0; });
    int rank = 0;
    for (size_t i = 0; usable && i < characters.size(); ++i) {
        const bool equal =
            i > 0 && compare(FCollator, &characters[i - 1], 1, &characters[i], 1) == 0;
        // Characters that differ must differ in their primary weight: the per-character view
        // cannot tell a primary difference later in a text from a secondary one earlier.
        if (i > 0 && !equal && compare(primary, &characters[i - 1], 1, &characters[i], 1) == 0)
            usable = false;
        if (!equal)
            ++rank;
        FRank[static_cast<unsigned char>(characters[i])] = static_cast<uint8_t>(rank);
    }
    ucol_close(primary);
    FHasAsciiTable = usable && rank < 256;
}

bool TNameCollator::AsciiPrefix(std::string_view text, TAsciiPrefix& prefix) const {
    if (!FHasAsciiTable || !IsAscii(text))
        return false;
    prefix = TAsciiPrefix();
    int taken = 0;
    for (size_t i = 0; i < text.size() && taken < 16; ++i) {
        const uint8_t rank = FRank[static_cast<unsigned char>(text[i])];
        if (rank == 0)
            continue;
        uint64_t& word = taken < 8 ? prefix.High : prefix.Low;
        word |= static_cast<uint64_t>(rank) << (56 - 8 * (taken % 8));
        ++taken;
    }
    return true;
}

int TNameCollator::CompareKnownAscii(std::string_view a, std::string_view b) const {
    size_t i = 0;
    size_t j = 0;
    for (;;) {
        while (i < a.size() && FRank[static_cast<unsigned char>(a[i])] == 0)
            ++i;
        while (j < b.size() && FRank[static_cast<unsigned char>(b[j])] == 0)
            ++j;
        if (i == a.size() || j == b.size())
            return (i == a.size() ? 0 : 1) - (j == b.size() ? 0 : 1);
        const int difference =
            FRank[static_cast<unsigned char>(a[i])] - FRank[static_cast<unsigned char>(b[j])];
        if (difference != 0)
            return difference < 0 ? -1 : 1;
        ++i;
        ++j;
    }
}
