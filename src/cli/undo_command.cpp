// tarnwick-cli undo: restores the last repair's backup whole, as "Undo last repair" does:
// what the repair removed is written back (not what it kept), and values that hold other
// data now are first saved into a backup of their own. Like `backup restore`, it asks
// nothing. Exit status 1, with the reason, when no repair is recorded, the last one is
// undone already, or the restore did not write everything back.
#include "backup/backup_catalogue.h"
#include "backup/repair_undo.h"
#include "cli/commands.h"
#include "log/activity_log.h"
#include "platform/program_info.h"

namespace tw::cli {

int RunUndo(Context& context, const Arguments& arguments)
{
    if (!arguments.empty())
        return UsageError(context, "undo takes no arguments");
    ActivityLog log(context.system);
    log.Open();
    const UndoOutcome outcome = UndoLastRepair(context.registry, context.system, log, ProgramFolder(context.system));
    const bool undone = outcome.status == UndoOutcome::Status::Undone;
    if (undone)
        context.out << "Backup: " << JoinPath(RegistryBackupsPath(ProgramFolder(context.system)), outcome.backupName)
                    << "\n";
    for (const std::string& path : outcome.restore.notWritten)
        context.err << "tarnwick-cli: cannot write " << path << "\n";
    for (const std::string& m : outcome.messages)
        (undone ? context.out : context.err) << m << "\n";
    return undone ? kExitOk : kExitFailed;
}

}  // namespace tw::cli
