#include "UnicodeNames.h"

#include "AsciiCase.h"

#include <unicode/bytestream.h>
#include <unicode/casemap.h>
#include <unicode/normalizer2.h>
#include <unicode/utf8.h>

#include <stdexcept>

namespace {

const icu::Normalizer2& Nfc() {
    static const icu::Normalizer2* const nfc = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* instance = icu::Normalizer2::getNFCInstance(status);
        if (U_FAILURE(status) || instance == nullptr)
            throw std::runtime_error("The Unicode normalization data cannot be loaded");
        return instance;
    }();
    return *nfc;
}

icu::StringPiece Piece(std::string_view text) {
    return {text.data(), static_cast<int32_t>(text.size())};
}

// Replaces `text` by what `transform` writes for it; a failure leaves the text as it was.
template <typename TTransform> void Rewrite(std::string& text, TTransform transform) {
    std::string out;
    out.reserve(text.size() + 8);
    icu::StringByteSink<std::string> sink(&out);
    UErrorCode status = U_ZERO_ERROR;
    transform(Piece(text), sink, status);
    if (U_SUCCESS(status))
        text = std::move(out);
}

bool IsNfc(std::string_view text) {
    UErrorCode status = U_ZERO_ERROR;
    const bool normalized = Nfc().isNormalizedUTF8(Piece(text), status);
    return U_SUCCESS(status) && normalized;
}

void NfcOfValid(std::string& text) {
    if (IsNfc(text))
        return;
    Rewrite(text, [](icu::StringPiece source, icu::ByteSink& sink, UErrorCode& status) {
        Nfc().normalizeUTF8(0, source, sink, nullptr, status);
    });
}

} // namespace

bool IsAscii(std::string_view text) {
    for (const char c : text)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

bool IsValidUtf8(std::string_view text) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
    const auto length = static_cast<int32_t>(text.size());
    if (static_cast<size_t>(length) != text.size())
        return false;
    for (int32_t i = 0; i < length;) {
        if (bytes[i] < 0x80) {
            ++i;
            continue;
        }
        UChar32 c = 0;
        U8_NEXT(bytes, i, length, c);
        if (c < 0)
            return false;
    }
    return true;
}

void ToNfc(std::string& text) {
    if (IsAscii(text) || !IsValidUtf8(text))
        return;
    NfcOfValid(text);
}

void FoldCaseToNfc(std::string& text) {
    // Folding ASCII only turns "A" to "Z" into "a" to "z", and ASCII is always NFC; bytes that
    // are not UTF-8 have no letters beyond those.
    if (IsAscii(text) || !IsValidUtf8(text)) {
        FoldAscii(text);
        return;
    }
    Rewrite(text, [](icu::StringPiece source, icu::ByteSink& sink, UErrorCode& status) {
        icu::CaseMap::utf8Fold(U_FOLD_CASE_DEFAULT, source, sink, nullptr, status);
    });
    NfcOfValid(text);
}
