// tarnwick-cli repair [SECTION...] [--json]: scans like scan (all fourteen sections when none
// is named), then repairs every finding as the program's repair does: the dated pre-repair
// backup first, then the deletions and the broken shortcut files. Then it scans the same
// sections again and names what the repair left behind (never repairing it: that takes a
// repair of its own, after a look). Prints the backup file, what was removed and the new
// problems (with --json, one object with the same counts and one line per new problem);
// `tarnwick-cli undo` takes the repair back. Exit status 1 when the backup could not be written (nothing is removed),
// the scan or the repair was stopped, or a ticked item was left in place (the registry denied
// access to it, it changed since the scan, or it was not saved whole; each is named).
#include "backup/backup_catalogue.h"
#include "backup/backup_messages.h"
#include "backup/repair.h"
#include "backup/second_look.h"
#include "cli/json.h"
#include "cli/commands.h"
#include "cli/console_progress.h"
#include "log/activity_log.h"
#include "platform/program_info.h"
#include "scan/scan_driver.h"

namespace tw::cli {

int RunRepair(Context& context, const Arguments& arguments)
{
    std::vector<std::string> flags;
    Arguments rest;
    std::string unknown;
    if (!TakeFlags(arguments, {"--json"}, &flags, &rest, &unknown))
        return UsageError(context, "unknown option '" + unknown + "'");
    ScanRequest request = rest.empty() ? ScanRequest::All() : ScanRequest::None();
    for (const std::string& name : rest) {
        auto section = SectionFromName(name);
        if (!section)
            return UsageError(context, "unknown section '" + name + "'");
        request[*section] = kSectionRequested;
    }

    ActivityLog log(context.system);
    log.Open();
    // On a console: the scan's line, then the repair's counts (the registry counts for it).
    ProgressLine line(context.err, context.errIsConsole);
    ScanProgressLine scanLine(line);
    CountingProgressRegistry counting(context.registry, line, "");
    Registry& registry = context.errIsConsole ? static_cast<Registry&>(counting) : context.registry;
    ScanDriver driver(registry, context.system, log);
    if (!driver.Start(request, context.errIsConsole ? &scanLine : nullptr)) {
        context.err << "tarnwick-cli: the scan could not start\n";
        return kExitFailed;
    }
    driver.Wait();
    line.Clear();
    // Findings of a scan that did not finish are not what the user asked to repair.
    if (!driver.Finished()) {
        context.err << "tarnwick-cli: the scan was stopped before it finished, so nothing was repaired\n";
        return kExitFailed;
    }
    std::size_t problems = driver.engine().problems().size();
    std::size_t shortcuts = driver.shortcuts().brokenList.size();
    const FindingSet before = FindingsOf(driver.engine().problems());

    counting.SetWhat("Saving and repairing");
    RepairOutcome outcome = Repair(driver.engine(), driver.shortcuts(), ProgramFolder(context.system));
    line.Clear();
    if (outcome.backupFailed) {
        context.err << "tarnwick-cli: " << backup_text::kBackupNotWritten << "\n";
        context.err << "tarnwick-cli: cannot write "
                    << (outcome.backup.path.empty() ? "a file in " + RegistryBackupsPath(ProgramFolder(context.system))
                                                    : outcome.backup.path)
                    << "\n";
        return kExitFailed;
    }
    const bool stopped = outcome.stoppedAfterBackup || outcome.stoppedAfterDeletion;
    // The second look: what the repair left behind, in the sections it scanned.
    std::size_t newProblems = 0;
    if (!stopped) {
        counting.SetWhat("Looking again");
        newProblems = LookAgainAfterRepair(driver.engine(), request, before);
        line.Clear();
    }
    if (HasFlag(flags, "--json")) {
        JsonObject summary(context.system);
        summary.Number("problems", std::int64_t(problems))
            .Number("brokenShortcuts", std::int64_t(shortcuts))
            .Text("backup", outcome.backup.status == RepairBackupResult::Status::Written ? outcome.backup.path : "")
            .Bool("stopped", stopped)
            .Number("removedKeys", outcome.counts.keys)
            .Number("removedValues", outcome.counts.values)
            .Number("removedShortcuts", outcome.counts.shortcuts)
            .Number("left", outcome.counts.left)
            .Number("newProblems", std::int64_t(newProblems));
        context.out << summary.str() << "\n";
        for (const std::unique_ptr<ProblemRecord>& p : driver.engine().problems())
            context.out << JsonObject(context.system)
                               .Text("newProblem", p->keyPath)
                               .Text("section", p->section)
                               .Text("value", p->value ? p->value->name : "")
                               .str()
                        << "\n";
    } else {
        context.out << "Found: " << problems << " problems, " << shortcuts << " broken shortcuts\n";
        if (outcome.backup.status == RepairBackupResult::Status::Written)
            context.out << "Backup: " << outcome.backup.path << "\n";
        else
            context.out << "Backup: none (no registry item to save)\n";
        if (stopped)
            context.out << "Stopped: the scan's stop event is signalled\n";
        context.out << "Removed: " << outcome.counts.keys << " keys, " << outcome.counts.values << " values, "
                    << outcome.counts.shortcuts << " shortcut files\n";
        if (outcome.counts.left > 0)
            context.out << "Left in place: " << outcome.counts.left << "\n";
        if (!stopped) {
            context.out << "New problems: " << newProblems << "\n";
            for (const std::unique_ptr<ProblemRecord>& p : driver.engine().problems())
                context.out << "New: " << p->section << "\t" << p->keyPath
                            << (p->value ? " [" + p->value->name + "]" : std::string()) << "\n";
        }
    }
    // Without the rights a repair needs, what it could not touch is named, and the repair
    // does not count as done.
    for (const std::string& path : outcome.backup.denied)
        context.err << "tarnwick-cli: access denied: " << path << " (not saved, not repaired)\n";
    for (const std::string& path : outcome.counts.denied)
        context.err << "tarnwick-cli: access denied: " << path << " (left in place)\n";
    if (outcome.counts.left > 0)
        context.err << "tarnwick-cli: " << backup_text::RepairLeftText(outcome.counts.left, log.path()) << "\n";
    return outcome.backup.denied.empty() && outcome.counts.denied.empty() && outcome.counts.left == 0 && !stopped
               ? kExitOk
               : kExitFailed;
}

}  // namespace tw::cli
