#pragma once

#include <string>

// The settings file remembers the last configuration file between runs. It lies in the current
// working directory under this bare name.
inline constexpr const char* SettingsFileName = "Twinseek.ini";

// "Filename" in section "Options", or "" when the file or the key is missing. Throws EFileError
// when the file exists but cannot be read.
std::string ReadSettingsConfigFileName(const std::string& settingsFile = SettingsFileName);

// Writes "Filename" (also when empty), keeping the file's other sections and keys. Throws
// EFileError when the file cannot be read or written, or, writing nothing, when the name holds
// a line break.
void WriteSettingsConfigFileName(const std::string& configFileName,
                                 const std::string& settingsFile = SettingsFileName);
