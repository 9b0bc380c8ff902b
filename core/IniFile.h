#pragma once

#include "FileError.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The largest INI file read; a bigger one is refused like one that cannot be read.
inline constexpr size_t MaxIniFileSize = size_t(16) << 20;

// An INI text held in memory: sections of lines. Reading is tolerant (CR LF, CR or LF line ends,
// comments, lines before the first section dropped); section and key names are found without
// regard to letter case, the first of equal names winning; a value is everything after the first
// "=" of its line. Writing gives "[section]", its lines and an empty line per section, CR LF.
class TIniFile {
  public:
    TIniFile() = default;
    explicit TIniFile(std::string_view text);

    // Reads a file; a file that does not exist reads as empty. Throws EFileError
    // ("Cannot open file %s") when it exists but cannot be read, is not a regular file or is
    // larger than MaxIniFileSize.
    static TIniFile Load(const std::string& fileName);
    // Replaces the file with Text(). Throws EFileError ("Cannot create file %s") on failure, and
    // ("A configuration value holds a line break; the file %s was not saved.") without writing
    // anything when a value holds CR or LF, which would add lines of its own.
    void Save(const std::string& fileName) const;

    // Whether a read of the key would find a line (in the first section of that name).
    bool HasKey(std::string_view section, std::string_view key) const;
    std::string ReadString(std::string_view section, std::string_view key,
                           const std::string& defaultValue) const;
    // Decimal, hexadecimal after "0x"/"0X" (when longer than two characters) or after "$".
    int32_t ReadInteger(std::string_view section, std::string_view key, int32_t defaultValue) const;
    bool ReadBool(std::string_view section, std::string_view key, bool defaultValue) const;

    // Replaces the first line of the key in the first section of that name, or appends it to
    // that section; a missing section is added after the others.
    void WriteString(std::string_view section, std::string_view key, const std::string& value);
    void WriteInteger(std::string_view section, std::string_view key, int32_t value);
    void WriteBool(std::string_view section, std::string_view key, bool value);

    std::string Text() const;

    // The integer rules on their own: nullopt-like false when the text is no integer.
    static bool ParseInteger(std::string_view text, int32_t& value);

  private:
    struct TSection {
        std::string Name;
        std::vector<std::string> Lines;
    };

    const TSection* FindSection(std::string_view name) const;
    const std::string* FindLine(const TSection& section, std::string_view key) const;

    std::vector<TSection> FSections;
};
