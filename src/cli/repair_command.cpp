// tarnwick-cli repair [SECTION...]: scans like scan (all fourteen sections when none is
// named), then repairs every finding as the program's repair does: the dated pre-repair
// backup first, then the deletions and the broken shortcut files. Prints the backup file and
// what was removed; exit status 1 when the backup could not be written (nothing is removed),
// the scan or the repair was stopped, or a ticked item was left in place (the registry denied
// access to it, it changed since the scan, or it was not saved whole; each is named).
#include "backup/backup_catalogue.h"
#include "backup/backup_messages.h"
#include "backup/repair.h"
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
    if (!TakeFlags(arguments, {}, &flags, &rest, &unknown))
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
    context.out << "Found: " << problems << " problems, " << shortcuts << " broken shortcuts\n";
    if (outcome.backup.status == RepairBackupResult::Status::Written)
        context.out << "Backup: " << outcome.backup.path << "\n";
    else
        context.out << "Backup: none (no registry item to save)\n";
    if (outcome.stoppedAfterBackup || outcome.stoppedAfterDeletion)
        context.out << "Stopped: the scan's stop event is signalled\n";
    context.out << "Removed: " << outcome.counts.keys << " keys, " << outcome.counts.values << " values, "
                << outcome.counts.shortcuts << " shortcut files\n";
    if (outcome.counts.left > 0)
        context.out << "Left in place: " << outcome.counts.left << "\n";
    // Without the rights a repair needs, what it could not touch is named, and the repair
    // does not count as done.
    for (const std::string& path : outcome.backup.denied)
        context.err << "tarnwick-cli: access denied: " << path << " (not saved, not repaired)\n";
    for (const std::string& path : outcome.counts.denied)
        context.err << "tarnwick-cli: access denied: " << path << " (left in place)\n";
    if (outcome.counts.left > 0)
        context.err << "tarnwick-cli: " << backup_text::RepairLeftText(outcome.counts.left, log.path()) << "\n";
    const bool stopped = outcome.stoppedAfterBackup || outcome.stoppedAfterDeletion;
    return outcome.backup.denied.empty() && outcome.counts.denied.empty() && outcome.counts.left == 0 && !stopped
               ? kExitOk
               : kExitFailed;
}

}  // namespace tw::cli
