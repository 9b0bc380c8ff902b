#include "ConfigFile.h"

#include "IniFile.h"

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
