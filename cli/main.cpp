#include "CliListener.h"
#include "IoError.h"
#include "LocaleFormats.h"
#include "OptionRec.h"
#include "ScanThread.h"
#include "TextReport.h"

#include <CLI/CLI.hpp>
#include <clocale>
#include <cstdio>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace {

constexpr int ExitUsage = 2;
constexpr int ExitFailure = 1;

// "0".."3" or any other integer (which scans as name only), or a mode's name.
std::optional<int32_t> ParseCompareMode(const std::string& text) {
    if (text == "name-size-time")
        return cmNameSizeTime;
    if (text == "name-size")
        return cmNameSize;
    if (text == "name-time")
        return cmNameTime;
    if (text == "name")
        return cmNameOnly;
    try {
        size_t used = 0;
        const long value = std::stol(text, &used, 10);
        if (used != text.size() || value < INT32_MIN || value > INT32_MAX)
            return std::nullopt;
        return static_cast<int32_t>(value);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

int UsageError(const CLI::App& app, const std::string& message) {
    std::cerr << "twinseek-cli: " << message << "\n\n" << app.help();
    return ExitUsage;
}

int Run(int argc, char** argv) {
    CLI::App app{"Finds files whose names occur more than once in the scanned directories and "
                 "writes a text report of them.",
                 "twinseek-cli"};
    TOptionRec options = DefaultOptions();
    std::string compareText = "0";
    std::string reportFile = "-";
    app.add_option("--scan", options.ScanPath,
                   "Directories to scan, as a list text (entries separated by \";\", quoted with "
                   "\"\" when they hold blanks); default " + std::string(DefaultScanPath));
    app.add_option("--exclude", options.ExcludePath,
                   "Directories not to enter, as a list text (full paths without a trailing /)");
    app.add_option("--types", options.FileTypes,
                   "File masks to collect, as a list text (\"*\" and \"?\"); default *.*");
    app.add_option("--compare", compareText,
                   "What else must agree besides the name: 0 or name-size-time (default), 1 or "
                   "name-size, 2 or name-time, 3 or name");
    app.add_flag("--case-sensitive", options.CaseSensitive,
                 "Compare names exactly as found (no folding, no ignored characters)");
    app.add_option("--ignore", options.IgnoreChar,
                   "Strings removed from names before comparing, as a list text (only when not "
                   "case-sensitive)");
    app.add_option("--report", reportFile, "Write the text report to FILE (\"-\": standard output)")
        ->option_text("FILE");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::ParseError& error) {
        return UsageError(app, error.what());
    }
    const std::optional<int32_t> compareMode = ParseCompareMode(compareText);
    if (!compareMode)
        return UsageError(app, "--compare: not a compare mode: " + compareText);
    options.CompareMode = *compareMode;

    const TLocaleFormats formats = TLocaleFormats::Current();
    TFileInfoList resultList;
    TCliListener listener(resultList, isatty(STDERR_FILENO) ? stderr : nullptr, formats);
    {
        TScanThread scanThread(listener, resultList);
        listener.Start();
        scanThread.StartScan(options);
        listener.WaitDone();
    }

    try {
        if (reportFile == "-") {
            TTextFileWriter out = TTextFileWriter::ForDescriptor(STDOUT_FILENO);
            WriteTextReport(out, listener.FilesRead(), listener.ElapsedTime(), listener.Rows(),
                            formats);
            out.Close();
        } else {
            SaveTextReport(reportFile, listener.FilesRead(), listener.ElapsedTime(),
                           listener.Rows(), formats);
        }
    } catch (const EInOutError& error) {
        std::cerr << "twinseek-cli: " << (reportFile == "-" ? "standard output" : reportFile)
                  << ": " << error.what() << '\n';
        return ExitFailure;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        std::cerr << "twinseek-cli: " << error.what() << '\n';
        return ExitFailure;
    }
}
