#pragma once

#include "OptionRec.h"

#include <string>

// Configuration files ("*.twc"): one set of search options in section "Options" of an INI text.
// A file is accepted exactly when its "Version" reads as 3.
inline constexpr int32_t ConfigFileVersion = 3;
inline constexpr const char* ConfigFileExtension = "twc";
// What a missing "ScanPath" reads as: the root directory.
inline constexpr const char* ConfigDefaultScanPath = "/";

class TIniFile;

// The options held in an INI text's "Options" section: taken when its version is accepted (the
// result tells), or left untouched.
bool ReadConfig(const TIniFile& ini, TOptionRec& options);
// Sets the seven keys of the "Options" section, and the keys of the newer name rules that
// are on or already in the file.
void WriteConfig(TIniFile& ini, const TOptionRec& options);

// The options of a configuration file, read into a fresh, empty record: every option comes from
// the file when it is accepted, and a file that is not accepted (one that does not exist
// included) gives the empty record, with Accepted false.
struct TLoadedConfig {
    TOptionRec Options;
    bool Accepted = false;
};
// Throws EFileError ("Cannot open file %s") for a file that exists but cannot be read, is not a
// regular file or is larger than 16 MiB.
TLoadedConfig LoadConfigFile(const std::string& fileName);

// Why a configuration file that was not accepted cannot be used: "X does not exist.", or
// "X is not a Twinseek configuration file (version 3 expected).".
std::string ConfigRefusalText(const std::string& fileName);

// Sets the keys in the file's "Options" section (as WriteConfig does), keeping its other sections
// and keys, and writes it back. Throws EFileError ("Cannot open file %s", "Cannot create file %s",
// or, with nothing written, "A configuration value holds a line break; the file %s was not
// saved.").
void SaveConfigFile(const std::string& fileName, TOptionRec options);
