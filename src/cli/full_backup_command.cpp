// tarnwick-cli full-backup create | restore NAME: the full registry backup of
// HKEY_LOCAL_MACHINE\SOFTWARE, HKEY_LOCAL_MACHINE\HARDWARE and HKEY_CURRENT_USER\SOFTWARE,
// and its restore, run as the program runs them (on this thread, to the end).
#include "backup/backup_catalogue.h"
#include "backup/full_backup.h"
#include "cli/commands.h"
#include "cli/console_progress.h"
#include "platform/program_info.h"

namespace tw::cli {

namespace {

// The completion message the window shows, and on the error stream which file failed.
int Report(Context& context, const FullBackupJob& job, const char* what)
{
    for (const std::string& path : job.failedFiles())
        context.err << "tarnwick-cli: " << path << " " << what << "\n";
    if (job.skippedKeys() != 0)
        context.err << "tarnwick-cli: " << job.skippedKeys() << " keys that cannot be read were left out\n";
    const OverwriteUndo undo = job.undo();
    if (!undo.message.empty())
        (undo.saved ? context.out : context.err) << undo.message << "\n";
    context.out << FullBackupCompletionText(job.plan().mode, job.succeeded()) << "\n";
    return job.succeeded() ? kExitOk : kExitFailed;
}

}  // namespace

int RunFullBackup(Context& context, const Arguments& arguments)
{
    if (arguments.empty())
        return UsageError(context, "full-backup needs create or restore");
    std::string folder = ProgramFolder(context.system);
    std::unique_ptr<FullBackupSteps> steps = MakeSnapshotSteps(context.system);
    if (arguments[0] == "create" && arguments.size() == 1) {
        PruneOrphanFullBackups(context.system, folder);
        FullBackupPlan plan = PrepareFullBackup(context.system, folder, context.system.GetLocalTime());
        ProgressLine line(context.err, context.errIsConsole);
        CountingProgressRegistry counting(context.registry, line, "Saving the registry");
        FullBackupJob job(context.errIsConsole ? static_cast<Registry&>(counting) : context.registry, context.system,
                          *steps, plan);
        job.RunHere();
        line.Clear();
        if (!plan.prepared)
            context.err << "tarnwick-cli: cannot create " << plan.catalogueFile << " or the folder "
                        << plan.backupFolder << "\n";
        context.out << plan.name << "\n";
        return Report(context, job, "was not written in full");
    }
    if (arguments[0] == "restore" && arguments.size() == 2) {
        const std::string& name = arguments[1];
        if (!IsPlainFileName(name) || !IsFullBackupName(name) ||
            !PathExists(context.system, JoinPath(RegistryBackupsPath(folder), name))) {
            context.err << "tarnwick-cli: no full backup named '" << name << "' (see: tarnwick-cli backups --full)\n";
            return kExitFailed;
        }
        ProgressLine line(context.err, context.errIsConsole);
        CountingProgressRegistry counting(context.registry, line, "Restoring the registry");
        FullBackupJob job(context.errIsConsole ? static_cast<Registry&>(counting) : context.registry, context.system,
                          *steps, PlanFullRestore(folder, name));
        job.RunHere();
        line.Clear();
        return Report(context, job, "is missing, unreadable, or stopped at a key that could not be made");
    }
    return UsageError(context, "full-backup create | full-backup restore NAME");
}

}  // namespace tw::cli
