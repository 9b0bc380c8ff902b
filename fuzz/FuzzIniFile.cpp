// Any INI text must read without crashing; options taken from it and written back must read
// back the same, and a value written to a key must be the value read from it.
#include "ConfigFile.h"
#include "IniFile.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    TIniFile ini(text);
    TOptionRec options;
    if (!ReadConfig(ini, options))
        return 0;
    TIniFile rewritten(ini.Text());
    WriteConfig(rewritten, options);
    TOptionRec again;
    if (!ReadConfig(TIniFile(rewritten.Text()), again) || !(again == options))
        std::abort();
    return 0;
}
