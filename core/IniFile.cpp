#include "IniFile.h"

#include "AsciiCase.h"
#include "TextFileWriter.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (FoldAscii(a[i]) != FoldAscii(b[i]))
            return false;
    return true;
}

// The name part of a key line: the text before its first "=", or nothing without one.
bool KeyOf(const std::string& line, std::string_view& key) {
    const auto equals = line.find('=');
    if (equals == std::string::npos)
        return false;
    key = std::string_view(line).substr(0, equals);
    return true;
}

bool ParseDigits(std::string_view digits, int base, int64_t& value) {
    if (digits.empty())
        return false;
    value = 0;
    for (char c : digits) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (base == 16 && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (base == 16 && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            return false;
        value = value * base + digit;
        if (value > 0xffffffffll)
            return false;
    }
    return true;
}

// Calls visit with each line of the text that counts: neither empty nor a comment. A line ends
// at CR LF, at a lone CR or at a lone LF.
template <typename TVisit> void ForEachLine(std::string_view text, TVisit visit) {
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        size_t next = end + 1;
        if (end == std::string_view::npos)
            end = next = text.size();
        else if (text[end] == '\r' && next < text.size() && text[next] == '\n')
            ++next;
        const std::string_view line = text.substr(start, end - start);
        start = next;
        if (!line.empty() && line.front() != ';')
            visit(line);
    }
}

bool IsSectionLine(std::string_view line) {
    return line.size() >= 2 && line.front() == '[' && line.back() == ']';
}

} // namespace

TIniFile::TIniFile(std::string_view text) {
    text = text.substr(0, text.find('\0'));
    // The lines are counted first, so that every vector is made once at its size: grown step by
    // step, a text of short lines would need three times the room its lines take.
    std::vector<size_t> lineCounts;
    ForEachLine(text, [&](std::string_view line) {
        if (IsSectionLine(line))
            lineCounts.push_back(0);
        else if (!lineCounts.empty())
            ++lineCounts.back();
    });
    FSections.reserve(lineCounts.size());
    TSection* current = nullptr;
    ForEachLine(text, [&](std::string_view line) {
        if (IsSectionLine(line)) {
            FSections.push_back({std::string(line.substr(1, line.size() - 2)), {}});
            current = &FSections.back();
            current->Lines.reserve(lineCounts[FSections.size() - 1]);
        } else if (current != nullptr) {
            current->Lines.emplace_back(line);
        }
    });
}

TIniFile TIniFile::Load(const std::string& fileName) {
    // Opening does not wait for a pipe's writer; only a regular file of bounded size is read,
    // since a pipe or a device may never end.
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR)
            return TIniFile();
        throw EFileError("Cannot open file " + fileName);
    }
    std::string text;
    struct stat info {};
    bool readable = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                    static_cast<uint64_t>(info.st_size) <= MaxIniFileSize;
    if (readable)
        text.reserve(static_cast<size_t>(info.st_size));
    char buffer[65536];
    while (readable) {
        const ssize_t count = ::read(fd, buffer, sizeof buffer);
        if (count < 0 && errno == EINTR)
            continue;
        // A file that grew past the limit while being read is refused as well.
        readable = count >= 0 && text.size() + static_cast<size_t>(count) <= MaxIniFileSize;
        if (!readable || count == 0)
            break;
        text.append(buffer, static_cast<size_t>(count));
    }
    ::close(fd);
    if (!readable)
        throw EFileError("Cannot open file " + fileName);
    return TIniFile(text);
}

void TIniFile::Save(const std::string& fileName) const {
    for (const TSection& section : FSections)
        for (const std::string& line : section.Lines)
            if (line.find_first_of("\r\n") != std::string::npos)
                throw EFileError("A configuration value holds a line break; the file " + fileName +
                                 " was not saved.");
    try {
        TTextFileWriter out(fileName);
        out.Write(Text());
        out.Close();
    } catch (const std::exception&) {
        throw EFileError("Cannot create file " + fileName);
    }
}

std::string TIniFile::Text() const {
    std::string text;
    for (const TSection& section : FSections) {
        text += '[' + section.Name + "]\r\n";
        for (const std::string& line : section.Lines)
            text += line + "\r\n";
        text += "\r\n";
    }
    return text;
}

const TIniFile::TSection* TIniFile::FindSection(std::string_view name) const {
    for (const TSection& section : FSections)
        if (SameName(section.Name, name))
            return &section;
    return nullptr;
}

const std::string* TIniFile::FindLine(const TSection& section, std::string_view key) const {
    for (const std::string& line : section.Lines) {
        std::string_view name;
        if (KeyOf(line, name) && SameName(name, key))
            return &line;
    }
    return nullptr;
}

bool TIniFile::HasKey(std::string_view section, std::string_view key) const {
    const TSection* found = FindSection(section);
    return found != nullptr && FindLine(*found, key) != nullptr;
}

std::string TIniFile::ReadString(std::string_view section, std::string_view key,
                                 const std::string& defaultValue) const {
    const TSection* found = FindSection(section);
    const std::string* line = found != nullptr ? FindLine(*found, key) : nullptr;
    if (line == nullptr)
        return defaultValue;
    return line->substr(line->find('=') + 1);
}

bool TIniFile::ParseInteger(std::string_view text, int32_t& value) {
    int64_t magnitude = 0;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        if (!ParseDigits(text.substr(2), 16, magnitude))
            return false;
        value = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
        return true;
    }
    if (!text.empty() && text[0] == '$') {
        if (!ParseDigits(text.substr(1), 16, magnitude))
            return false;
        value = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
        return true;
    }
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    if (!ParseDigits(text, 10, magnitude))
        return false;
    const int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue < INT32_MIN || signedValue > INT32_MAX)
        return false;
    value = static_cast<int32_t>(signedValue);
    return true;
}

int32_t TIniFile::ReadInteger(std::string_view section, std::string_view key,
                              int32_t defaultValue) const {
    int32_t value = 0;
    return ParseInteger(ReadString(section, key, ""), value) ? value : defaultValue;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view key, bool defaultValue) const {
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view key,
                           const std::string& value) {
    TSection* target = const_cast<TSection*>(FindSection(section));
    if (target == nullptr) {
        FSections.push_back({std::string(section), {}});
        target = &FSections.back();
    }
    std::string line = std::string(key) + "=" + value;
    auto* existing = const_cast<std::string*>(FindLine(*target, key));
    if (existing != nullptr)
        *existing = std::move(line);
    else
        target->Lines.push_back(std::move(line));
}

void TIniFile::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
    WriteString(section, key, std::to_string(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
    WriteString(section, key, value ? "1" : "0");
}
