#include "DisplayText.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>

namespace {

void AppendEscape(std::string& out, const char* format, unsigned value) {
    char escape[16];
    std::snprintf(escape, sizeof escape, format, value);
    out += escape;
}

// The length of the valid UTF-8 sequence at the start of text and its code point, or 0 when the
// first byte does not begin one (a stray continuation byte, an overlong form, a surrogate or a
// value beyond U+10FFFF).
size_t DecodeUtf8(std::string_view text, uint32_t& codePoint) {
    const auto lead = static_cast<unsigned char>(text[0]);
    size_t length = 0;
    uint32_t minimum = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        codePoint = lead & 0x1Fu;
        minimum = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        codePoint = lead & 0x0Fu;
        minimum = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        codePoint = lead & 0x07u;
        minimum = 0x10000;
    } else {
        return 0;
    }
    if (text.size() < length)
        return 0;
    for (size_t i = 1; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if ((byte & 0xC0u) != 0x80u)
            return 0;
        codePoint = (codePoint << 6) | (byte & 0x3Fu);
    }
    if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF))
        return 0;
    return length;
}

bool ReordersOrBreaksLine(uint32_t codePoint) {
    return codePoint == 0x061C || codePoint == 0x200E || codePoint == 0x200F ||
           (codePoint >= 0x202A && codePoint <= 0x202E) ||
           (codePoint >= 0x2066 && codePoint <= 0x2069) || codePoint == 0x2028 ||
           codePoint == 0x2029;
}

} // namespace

void AppendDisplayText(std::string& out, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto byte = static_cast<unsigned char>(bytes[0]);
        if (byte < 0x80) {
            if (byte == '\t')
                out += "\\t";
            else if (byte == '\r')
                out += "\\r";
            else if (byte == '\n')
                out += "\\n";
            else if (byte < 0x20 || byte == 0x7F)
                AppendEscape(out, "\\x%02X", byte);
            else
                out += static_cast<char>(byte);
            bytes.remove_prefix(1);
            continue;
        }
        uint32_t codePoint = 0;
        const size_t length = DecodeUtf8(bytes, codePoint);
        if (length == 0) {
            AppendEscape(out, "\\x%02X", byte);
            bytes.remove_prefix(1);
            continue;
        }
        if (codePoint <= 0x9F)
            AppendEscape(out, "\\x%02X", codePoint); // a C1 control
        else if (ReordersOrBreaksLine(codePoint))
            AppendEscape(out, "\\u%04X", codePoint);
        else
            out.append(bytes.substr(0, length));
        bytes.remove_prefix(length);
    }
}

std::string DisplayText(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    AppendDisplayText(out, bytes);
    return out;
}

void AppendReportText(std::string& out, std::string_view bytes) {
    // A loop of its own: find_first_of looks each byte up in the set with a call of its own.
    if (std::none_of(bytes.begin(), bytes.end(), [](char c) { return c == '\r' || c == '\n'; })) {
        out += bytes;
        return;
    }
    for (const char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else
            out += c;
    }
}
