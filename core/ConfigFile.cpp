#include "ConfigFile.h"

#include "IniFile.h"

#include <sys/stat.h>

namespace {
constexpr const char* Section = "Options";
}

bool ReadConfig(const TIniFile& ini, TOptionRec& options) {
    if (ini.ReadInteger(Section, "Version", 0) != ConfigFileVersion)
        return false;
    options.CompareMode = ini.ReadInteger(Section, "CompareMode", 0);
    options.CaseSensitive = ini.ReadBool(Section, "CaseSensitive", false);
    options.IgnoreChar = ini.ReadString(Section, "IgnoreChar", "");
    options.ScanPath = ini.ReadString(Section, "ScanPath", ConfigDefaultScanPath);
    options.ExcludePath = ini.ReadString(Section, "ExcludePath", "");
    options.FileTypes = ini.ReadString(Section, "FileTypes", "");
    options.UnicodeNames = ini.ReadBool(Section, "UnicodeNames", false);
    options.IgnoreCopyMarks = ini.ReadBool(Section, "IgnoreCopyMarks", false);
    options.IgnoreExtension = ini.ReadBool(Section, "IgnoreExtension", false);
    options.EqualExtensions = ini.ReadString(Section, "EqualExtensions", "");
    return true;
}

void WriteConfig(TIniFile& ini, const TOptionRec& options) {
    ini.WriteInteger(Section, "Version", ConfigFileVersion);
    ini.WriteInteger(Section, "CompareMode", options.CompareMode);
    ini.WriteBool(Section, "CaseSensitive", options.CaseSensitive);
    ini.WriteString(Section, "IgnoreChar", options.IgnoreChar);
    ini.WriteString(Section, "ScanPath", options.ScanPath);
    ini.WriteString(Section, "ExcludePath", options.ExcludePath);
    ini.WriteString(Section, "FileTypes", options.FileTypes);
    // The newer name rules are written only when they are on or the file already names them, so
    // a file saved with them off is the file that earlier versions wrote.
    auto writeBool = [&ini](const char* key, bool value) {
        if (value || ini.HasKey(Section, key))
            ini.WriteBool(Section, key, value);
    };
    writeBool("UnicodeNames", options.UnicodeNames);
    writeBool("IgnoreCopyMarks", options.IgnoreCopyMarks);
    writeBool("IgnoreExtension", options.IgnoreExtension);
    if (!options.EqualExtensions.empty() || ini.HasKey(Section, "EqualExtensions"))
        ini.WriteString(Section, "EqualExtensions", options.EqualExtensions);
}

std::string ConfigRefusalText(const std::string& fileName) {
    struct stat info {};
    if (stat(fileName.c_str(), &info) != 0)
        return fileName + " does not exist.";
    return fileName + " is not a Twinseek configuration file (version " +
           std::to_string(ConfigFileVersion) + " expected).";
}

TLoadedConfig LoadConfigFile(const std::string& fileName) {
    TLoadedConfig loaded;
    loaded.Accepted = ReadConfig(TIniFile::Load(fileName), loaded.Options);
    return loaded;
}

void SaveConfigFile(const std::string& fileName, TOptionRec options) {
    TIniFile ini = TIniFile::Load(fileName);
    WriteConfig(ini, options);
    ini.Save(fileName);
}
