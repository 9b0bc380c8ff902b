#include "SettingsFile.h"

#include "IniFile.h"

std::string ReadSettingsConfigFileName(const std::string& settingsFile) {
    return TIniFile::Load(settingsFile).ReadString("Options", "Filename", "");
}

void WriteSettingsConfigFileName(const std::string& configFileName,
                                 const std::string& settingsFile) {
    TIniFile ini = TIniFile::Load(settingsFile);
    ini.WriteString("Options", "Filename", configFileName);
    ini.Save(settingsFile);
}
