#include "ConfigFile.h"

#include "IniFile.h"

namespace {
constexpr const char* Section = "Options";
}

void LoadConfigFile(const std::string& fileName, TOptionRec& options) {
    const TIniFile ini = TIniFile::Load(fileName);
    if (ini.ReadInteger(Section, "Version", 0) != ConfigFileVersion)
        return;
    options.CompareMode = ini.ReadInteger(Section, "CompareMode", 0);
    options.CaseSensitive = ini.ReadBool(Section, "CaseSensitive", false);
    options.IgnoreChar = ini.ReadString(Section, "IgnoreChar", "");
    options.ScanPath = ini.ReadString(Section, "ScanPath", ConfigDefaultScanPath);
    options.ExcludePath = ini.ReadString(Section, "ExcludePath", "");
    options.FileTypes = ini.ReadString(Section, "FileTypes", "");
}

void SaveConfigFile(const std::string& fileName, TOptionRec options) {
    TIniFile ini = TIniFile::Load(fileName);
    ini.WriteInteger(Section, "Version", ConfigFileVersion);
    ini.WriteInteger(Section, "CompareMode", options.CompareMode);
    ini.WriteBool(Section, "CaseSensitive", options.CaseSensitive);
    ini.WriteString(Section, "IgnoreChar", options.IgnoreChar);
    ini.WriteString(Section, "ScanPath", options.ScanPath);
    ini.WriteString(Section, "ExcludePath", options.ExcludePath);
    ini.WriteString(Section, "FileTypes", options.FileTypes);
    ini.Save(fileName);
}
