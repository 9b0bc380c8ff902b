#include "CliCleanUp.h"

#include "ActionLog.h"
#include "CleanUp.h"

#include <CLI/CLI.hpp>

void TCliCleanUp::AddOptions(CLI::App& app) {
    app.add_option("--keep", Keep,
                   "Clean up: keep one copy of every name, the newest, oldest, first or the one "
                   "with the shortest path; the others go")
        ->option_text("RULE")
        ->check(CLI::IsMember({"newest", "oldest", "first", "shortest-path"}));
    app.add_option("--keep-in", KeepIn,
                   "Clean up: keep the first copy below DIR instead (names without one are left "
                   "alone)")
        ->option_text("DIR");
    app.add_option("--protect", Protect,
                   "Never remove a copy below DIR (the folder itself, whatever path leads to it); "
                   "may be given more than once")
        ->option_text("DIR")
        ->allow_extra_args(false);
    app.add_flag("--trash", Trash, "Move the copies that go to the desktop trash");
    app.add_flag("--delete", Delete, "Delete the copies that go for good");
    app.add_flag("--no-verify", NoVerify,
                 "Remove copies without comparing their bytes with the kept copy's");
    app.add_flag("--dry-run", DryRun, "Only print what would be removed");
}

bool TCliCleanUp::Requested() const {
    return !Keep.empty() || !KeepIn.empty() || !Protect.empty() || Trash || Delete || NoVerify ||
           DryRun;
}

std::string TCliCleanUp::UsageError() const {
    if (!Requested())
        return {};
    if (Keep.empty() == KeepIn.empty())
        return "a clean-up needs one of --keep and --keep-in";
    if (Trash && Delete)
        return "--trash and --delete exclude each other";
    return {};
}

int TCliCleanUp::Run(std::vector<TResultRow>& rows, std::ostream& plan,
                     const std::function<void(const std::string&)>& warn) const {
    const TFolderSet protect(Protect);
    const TFolderSet keepIn(KeepIn.empty() ? std::vector<std::string>{}
                                           : std::vector<std::string>{KeepIn});
    // A folder that should spare or keep copies but cannot be found would spare nothing.
    if (!protect.Missing().empty() || !keepIn.Missing().empty()) {
        for (const std::string& missing : protect.Missing())
            warn("cannot use --protect " + missing);
        for (const std::string& missing : keepIn.Missing())
            warn("cannot use --keep-in " + missing);
        return 1;
    }
    TKeepRule rule = TKeepRule::FirstBelow;
    if (KeepIn.empty())
        KeepRuleFromName(Keep, rule);
    const TCleanUpPlan planned = PlanCleanUp(rows, rule, keepIn, protect);

    TCleanUpMethod how;
    how.Method = Trash ? TRemovalMethod::Trash : TRemovalMethod::Delete;
    how.Verify = !NoVerify;
    how.DryRun = DryRun || (!Trash && !Delete);
    std::unique_ptr<TActionLog> log;
    if (!how.DryRun) {
        // Nothing is removed without its line in the log.
        log = std::make_unique<TActionLog>();
        if (!log->Usable()) {
            warn(log->ErrorText());
            return 1;
        }
    }
    const std::atomic<bool> stop{false};
    const TCleanUpSummary summary = RunCleanUp(rows, planned, how, log.get(), stop);
    if (how.DryRun) {
        for (const TCleanUpStep& step : summary.Removed) {
            const TFileGroup& group = *rows[static_cast<size_t>(step.Row)].Group;
            plan << "remove\t" << TActionLog::Field(group.Path(step.Copy)) << '\t'
                 << TActionLog::Field(group.Path(step.Kept)) << '\n';
        }
        plan.flush();
    }
    for (const std::string& problem : summary.Problems)
        warn(problem);
    if (!how.DryRun)
        ApplyRemovals(rows, summary.Removed);
    // A copy that changed, failed, or was removed without its line in the log is a problem.
    return summary.Problems.empty() ? 0 : 1;
}
