#include "StartupFile.h"

#include "ConfigFile.h"
#include "Desktop.h"
#include "ResultListFile.h"
#include "frmTwinseek.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() &&
           text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// A relative name from the command line, made absolute: the title and the settings file name
// the file wherever the program is started next.
std::string AbsoluteName(const std::string& fileName) {
    if (fileName.empty() || fileName.front() == '/')
        return fileName;
    std::vector<char> folder(4096);
    while (getcwd(folder.data(), folder.size()) == nullptr) {
        if (errno != ERANGE)
            return fileName;
        folder.resize(folder.size() * 2);
    }
    std::string absolute = folder.data();
    if (absolute.back() != '/')
        absolute += '/';
    return absolute + fileName;
}

} // namespace

TStartupArguments ParseStartupArguments(int argc, const char* const* argv) {
    TStartupArguments arguments;
    std::vector<std::string> ignored;
    bool optionsEnd = false;
    for (int index = 1; index < argc; ++index) {
        const std::string argument = argv[index];
        if (!optionsEnd && argument == "--") {
            optionsEnd = true;
        } else if (!optionsEnd && argument.size() > 1 && argument.front() == '-') {
            arguments.Complaint += "twinseek: unknown option " + argument + "\n";
        } else if (arguments.File.empty() && !argument.empty()) {
            arguments.File = argument;
        } else {
            ignored.push_back(argument);
        }
    }
    for (const std::string& argument : ignored)
        arguments.Complaint += "twinseek: only one file is opened; " + argument + " is left out\n";
    return arguments;
}

TStartupFileKind StartupFileKind(const std::string& fileName) {
    // Only a regular file is looked into: opening a pipe to read it would wait for a writer.
    const int fd = open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd >= 0) {
        struct stat info {};
        const size_t length = std::strlen(ResultListIndicator);
        std::string start(length, '\0');
        const bool isList = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) &&
                            read(fd, start.data(), length) == static_cast<ssize_t>(length) &&
                            start == ResultListIndicator;
        close(fd);
        if (isList)
            return TStartupFileKind::ResultList;
    }
    if (EndsWith(fileName, std::string(".") + ConfigFileExtension))
        return TStartupFileKind::Config;
    return TStartupFileKind::ResultList;
}

void OpenStartupFile(TfrmTwinseek& window, const std::string& fileName) {
    const std::string name = AbsoluteName(fileName);
    if (StartupFileKind(name) == TStartupFileKind::ResultList) {
        window.OpenResultList(DecodedName(name));
        return;
    }
    // A file that cannot be read is refused before anything changes.
    const TLoadedConfig loaded = LoadConfigFile(name);
    // One that is not accepted gives empty options, as in the options dialog.
    window.SetOptions(loaded.Options);
    window.SetConfigFileName(DecodedName(name));
    if (!loaded.Accepted)
        TDesktop::Current().ShowMessage(&window, ShownText(ConfigRefusalText(name)));
}
