#include "CliCleanUp.h"
#include "CliScan.h"
#include "ConfigFile.h"
#include "DisplayText.h"
#include "IniFile.h"
#include "IoError.h"
#include "LocaleFormats.h"
#include "OptionRec.h"
#include "ResultListFile.h"
#include "TextReport.h"
#include "Version.h"

#include <CLI/CLI.hpp>
#include <cerrno>
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

// A message for standard error. On a terminal the names in it are shown with C escapes, so that
// a file name cannot move the cursor, clear the screen or turn the line around; a file or a pipe
// gets the bytes as they are.
std::string ForStandardError(const std::string& text) {
    static const bool terminal = isatty(STDERR_FILENO) != 0;
    return terminal ? DisplayText(text) : text;
}

void Warn(const std::string& message) {
    std::cerr << "twinseek-cli: " << ForStandardError(message) << '\n';
}

int Fail(const std::string& message) {
    Warn(message);
    return ExitFailure;
}

int UsageError(const CLI::App& app, const std::string& message) {
    std::cerr << "twinseek-cli: " << ForStandardError(message) << "\n\n" << app.help();
    return ExitUsage;
}

// An empty name names no file: without this check "--report ''" would look like no option.
const CLI::Validator FileName(
    [](std::string& name) { return name.empty() ? std::string("empty file name") : std::string(); },
    "");

std::string RootFailureText(const TRootFailure& failure) {
    const std::string reason =
        failure.ErrorCode == ENOTDIR ? "Not a directory" : IoErrorText(failure.ErrorCode);
    return "cannot scan " + failure.Dir + ": " + reason;
}

// What the command line asks for, before it is turned into options.
struct TArguments {
    std::string ScanPath, ExcludePath, FileTypes, IgnoreChar, Compare;
    bool CaseSensitive = false;
    bool UnicodeNames = false, IgnoreCopyMarks = false, IgnoreExtension = false;
    std::string EqualExtensions;
    std::string Config, SaveConfig, SaveList, LoadList;
    std::string Report = "-";
};

void WriteReport(const std::string& reportFile, const TScanResult& result,
                 const TLocaleFormats& formats) {
    if (reportFile != "-") {
        SaveTextReport(reportFile, result.FilesRead, result.ElapsedTime, result.Rows, formats);
        return;
    }
    TTextFileWriter out = TTextFileWriter::ForDescriptor(STDOUT_FILENO);
    // A terminal shows names with C escapes; a file or a pipe gets the report's own bytes.
    WriteTextReport(out, result.FilesRead, result.ElapsedTime, result.Rows, formats,
                    isatty(STDOUT_FILENO) != 0 ? AppendDisplayText : AppendReportText);
    out.Close();
}

int Run(int argc, char** argv) {
    CLI::App app{"Finds files whose names occur more than once in the scanned directories and "
                 "writes a text report of them.",
                 "twinseek-cli"};
    app.set_version_flag("--version", std::string("twinseek-cli ") + TwinseekVersion,
                         "Print the program's version and exit");
    TArguments args;
    app.add_option("--scan", args.ScanPath,
                   "Directories to scan, as a list text (entries separated by \";\", quoted with "
                   "\"\" when they hold blanks); default " +
                       std::string(DefaultScanPath));
    app.add_option("--exclude", args.ExcludePath,
                   "Directories not to enter, as a list text (full paths without a trailing /)");
    app.add_option("--types", args.FileTypes,
                   "File masks to collect, as a list text (\"*\" and \"?\"); default *.*");
    app.add_option("--compare", args.Compare,
                   "What else must agree besides the name: 0 or name-size-time (default), 1 or "
                   "name-size, 2 or name-time, 3 or name");
    app.add_flag("--case-sensitive", args.CaseSensitive,
                 "Compare names exactly as found (no folding, no ignored characters)");
    app.add_option("--ignore", args.IgnoreChar,
                   "Strings removed from names before comparing, as a list text (only when not "
                   "case-sensitive)");
    app.add_flag("--unicode", args.UnicodeNames,
                 "Compare names as Unicode: composed and decomposed forms are one name, and "
                 "without --case-sensitive every letter is folded, not only A to Z");
    app.add_flag(
        "--ignore-copy-marks", args.IgnoreCopyMarks,
        "Leave out the marks of copies: \" (1)\", \" - Copy\", \" copy 2\", \"Copy of \" ...");
    app.add_flag("--ignore-extension", args.IgnoreExtension,
                 "Leave out the extension (from the last \".\" on)");
    app.add_option("--equal-extensions", args.EqualExtensions,
                   "Sets of extensions that count as one, as a list text (jpg=jpeg;tif=tiff)")
        ->option_text("TEXT");
    app.add_option("--config", args.Config,
                   "Take the options from a configuration file (*.twc); the options above "
                   "override what they name")
        ->option_text("FILE")
        ->check(FileName);
    app.add_option("--save-config", args.SaveConfig,
                   "Write the options to a configuration file and stop without scanning")
        ->option_text("FILE")
        ->check(FileName);
    app.add_option("--save-list", args.SaveList,
                   "Also write the result as a result list file (*.twl)")
        ->option_text("FILE")
        ->check(FileName);
    app.add_option("--load-list", args.LoadList,
                   "Instead of scanning, show the result of a result list file")
        ->option_text("FILE")
        ->check(FileName);
    TCliCleanUp cleanUp;
    cleanUp.AddOptions(app);
    app.add_option("--report", args.Report,
                   "Write the text report to FILE (\"-\": standard output)")
        ->option_text("FILE")
        ->check(FileName);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::cout << app.help();
        return 0;
    } catch (const CLI::CallForVersion&) {
        std::cout << app.version() << '\n';
        return 0;
    } catch (const CLI::ParseError& error) {
        return UsageError(app, error.what());
    }
    if (const std::string wrong = cleanUp.UsageError(); !wrong.empty())
        return UsageError(app, wrong);

    // A configuration file that cannot be used stops the program: scanning with options the
    // user did not choose would report a result for nothing.
    TOptionRec options = DefaultOptions();
    if (!args.Config.empty()) {
        try {
            const TLoadedConfig loaded = LoadConfigFile(args.Config);
            if (!loaded.Accepted)
                return Fail(ConfigRefusalText(args.Config));
            options = loaded.Options;
        } catch (const EFileError& error) {
            return Fail(error.what());
        }
    }
    if (app.count("--scan") > 0)
        options.ScanPath = args.ScanPath;
    if (app.count("--exclude") > 0)
        options.ExcludePath = args.ExcludePath;
    if (app.count("--types") > 0)
        options.FileTypes = args.FileTypes;
    if (app.count("--ignore") > 0)
        options.IgnoreChar = args.IgnoreChar;
    if (args.CaseSensitive)
        options.CaseSensitive = true;
    if (args.UnicodeNames)
        options.UnicodeNames = true;
    if (args.IgnoreCopyMarks)
        options.IgnoreCopyMarks = true;
    if (args.IgnoreExtension)
        options.IgnoreExtension = true;
    if (app.count("--equal-extensions") > 0)
        options.EqualExtensions = args.EqualExtensions;
    if (app.count("--compare") > 0) {
        const std::optional<int32_t> compareMode = ParseCompareMode(args.Compare);
        if (!compareMode)
            return UsageError(app, "--compare: not a compare mode: " + args.Compare);
        options.CompareMode = *compareMode;
    }

    if (!args.SaveConfig.empty()) {
        try {
            SaveConfigFile(args.SaveConfig, options);
        } catch (const EFileError& error) {
            return Fail(error.what());
        }
        return 0;
    }

    const TLocaleFormats formats = TLocaleFormats::Current();
    TScanResult result;
    if (!args.LoadList.empty()) {
        try {
            const TLoadOutcome outcome = LoadResultList(args.LoadList, result);
            if (outcome != TLoadOutcome::Loaded)
                return Fail(LoadOutcomeMessage(outcome));
        } catch (const EInOutError& error) {
            return Fail(args.LoadList + ": " + error.what());
        }
    } else {
        result = RunCliScan(options, isatty(STDERR_FILENO) ? stderr : nullptr, formats);
        // A failed scan found nothing: no report and no list stand in for its result.
        if (!result.Failure.empty())
            return Fail(result.Failure);
        for (const TRootFailure& failure : result.RootFailures)
            Warn(RootFailureText(failure));
    }

    // The report and the list describe the result after the clean-up.
    int status = result.RootFailures.empty() ? 0 : ExitFailure;
    if (cleanUp.Requested() &&
        cleanUp.Run(result.Rows, std::cout, [](const std::string& text) { Warn(text); }) != 0)
        status = ExitFailure;

    std::string writing;
    try {
        if (!args.SaveList.empty()) {
            writing = args.SaveList;
            const TLeftOutCopies leftOut = SaveResultList(args.SaveList, options, result.FilesRead,
                                                          result.ElapsedTime, result.Rows);
            if (leftOut.Count > 0)
                Warn("warning: " + LeftOutCopiesMessage(leftOut));
        }
        writing = args.Report == "-" ? "standard output" : args.Report;
        WriteReport(args.Report, result, formats);
    } catch (const EInOutError& error) {
        return Fail(writing + ": " + error.what());
    }
    // The result is left to the system, which takes the whole process back at once: freeing a
    // million records one by one would add a tenth of the time the scan took.
    static const TScanResult* const leftToExit = new TScanResult(std::move(result));
    static_cast<void>(leftToExit);
    return status;
}

} // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    try {
        return Run(argc, argv);
    } catch (const std::exception& error) {
        return Fail(error.what());
    }
}
