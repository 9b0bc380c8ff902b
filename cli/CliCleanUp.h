#pragma once

#include "ResultRow.h"

#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace CLI {
class App;
}

// The clean-up the command line was asked for: which copy to keep, which folders to spare, and
// whether to move to the trash, delete, or only show the plan.
struct TCliCleanUp {
    std::string Keep;   // "newest", "oldest", "first" or "shortest-path"
    std::string KeepIn; // keep the first copy below this folder instead
    std::vector<std::string> Protect;
    bool Trash = false;
    bool Delete = false;
    bool NoVerify = false;
    bool DryRun = false;

    // Adds --keep, --keep-in, --protect, --trash, --delete, --no-verify and --dry-run.
    void AddOptions(CLI::App& app);
    // Whether any of them was given.
    bool Requested() const;
    // Why the combination cannot be used ("" when it can).
    std::string UsageError() const;
    // Plans and runs the clean-up over the rows, which then describe the result after it. The plan
    // (what a dry run would remove) goes to `plan`; problems go to `warn`. Returns the exit status:
    // 0, or 1 when a removal failed, a file had changed or a folder cannot be used.
    int Run(std::vector<TResultRow>& rows, std::ostream& plan,
            const std::function<void(const std::string&)>& warn) const;
};
