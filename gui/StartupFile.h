#pragma once

#include <string>

class TfrmTwinseek;

// The file the program is started with ("twinseek FILE", as the desktop opens a result list or
// configuration file with it): its arguments after the toolkit took its own.
struct TStartupArguments {
    std::string File; // as given; empty when none
    // Lines about arguments that were not understood, for standard error ("twinseek: ...");
    // the window starts all the same.
    std::string Complaint;
};
TStartupArguments ParseStartupArguments(int argc, const char* const* argv);

// How a file of the command line is opened: a result list file is known by its first line; a
// file that does not start with it and is named "*.twc" is a configuration file; any other is
// opened as a result list, which tells why it is not one.
enum class TStartupFileKind { ResultList, Config };
TStartupFileKind StartupFileKind(const std::string& fileName);

// Opens the file in the window: a result list as File > Open shows it; a configuration file as
// Options > Open config takes it, and it becomes the window's configuration file. A file that
// cannot be used is reported as there. Errors are thrown, for the caller's error report.
void OpenStartupFile(TfrmTwinseek& window, const std::string& fileName);
