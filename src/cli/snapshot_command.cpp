// tarnwick-cli snapshot write FILE BRANCH...: one snapshot file holding one branch per
// argument, written as the full backup writes its files.
// tarnwick-cli snapshot restore FILE...: merges snapshot files back into the registry, one
// after the other with one reader, as a full restore does.
#include "backup/backup_restore.h"
#include "cli/commands.h"
#include "cli/console_progress.h"
#include "log/activity_log.h"
#include "platform/program_info.h"
#include "snapshot/snapshot_reader.h"
#include "snapshot/snapshot_writer.h"
#include "snapshot/xml_reader.h"
#include "snapshot/xml_writer.h"

namespace tw::cli {
namespace {

int WriteSnapshot(Context& context, const Arguments& rest)
{
    if (rest.size() < 2)
        return UsageError(context, "snapshot write takes a file and at least one key path");
    const std::string& file = rest[0];
    XmlWriter writer(context.system);
    writer.SetFileName(file);
    XmlElement registry("registry");
    if (!registry.WriteStartTag(writer, +1, true, true)) {
        context.err << "tarnwick-cli: cannot create " << file << "\n";
        return kExitFailed;
    }
    int status = kExitOk;
    ProgressLine line(context.err, context.errIsConsole);
    CountingProgressRegistry counting(context.registry, line, "");
    Registry& source = context.errIsConsole ? static_cast<Registry&>(counting) : context.registry;
    for (std::size_t i = 1; i < rest.size(); ++i) {
        counting.SetWhat("Writing " + rest[i]);
        const bool written = WriteBranchSnapshot(writer, source, context.system, rest[i]);
        line.Clear();
        if (written)
            continue;
        status = kExitFailed;
        if (writer.Failed())
            break;  // reported below, once
        context.err << "tarnwick-cli: cannot write the branch " << rest[i]
                    << " (the key cannot be opened, or a subkey cannot be read)\n";
    }
    registry.WriteEndTag(writer, -1, true, true);
    if (!writer.Close()) {
        context.err << "tarnwick-cli: cannot write " << file << "\n";
        status = kExitFailed;
    }
    return status;
}

int RestoreSnapshot(Context& context, const Arguments& rest)
{
    if (rest.empty())
        return UsageError(context, "snapshot restore takes at least one file");
    // What the files write over is saved first, into a backup the backup manager lists.
    ActivityLog log(context.system);
    log.Open();
    const OverwriteUndo undo =
        SaveWhatSnapshotsOverwrite(context.registry, context.system, log, ProgramFolder(context.system), rest);
    if (!undo.saved) {
        context.err << "tarnwick-cli: " << undo.message << "\n";
        return kExitFailed;
    }
    if (!undo.message.empty())
        context.out << undo.message << "\n";
    XmlReader reader(context.system);
    ProgressLine line(context.err, context.errIsConsole);
    CountingProgressRegistry counting(context.registry, line, "");
    RestoreTarget target{context.errIsConsole ? static_cast<Registry&>(counting) : context.registry, context.system,
                         {}};
    int status = kExitOk;
    for (const std::string& file : rest) {
        RestoreReport report;
        counting.SetWhat("Restoring " + file);
        bool ok = RestoreSnapshotFile(reader, file, target, &report);
        line.Clear();
        if (!report.fileOpened) {
            context.err << "tarnwick-cli: cannot open " << file << "\n";
            status = kExitFailed;
            continue;
        }
        if (!reader.Error().empty()) {
            context.err << "tarnwick-cli: " << file << ": " << reader.Error() << "\n";
            status = kExitFailed;
        }
        if (!ok && !report.malformed.empty()) {
            context.err << "tarnwick-cli: " << file << ": line " << report.failedLine << ": " << report.malformed
                        << "; nothing after it was restored\n";
            status = kExitFailed;
        } else if (!ok) {
            context.err << "tarnwick-cli: " << file << ": line " << report.failedLine << ": cannot open or create "
                        << report.failedKeyPath << " (error " << report.failedStatus << ")\n";
            status = kExitFailed;
        }
        if (report.valuesFailed) {
            context.err << "tarnwick-cli: " << file << ": " << report.valuesFailed << " value(s) could not be written\n";
            status = kExitFailed;
        }
        context.out << file << ": " << report.keys << " keys, " << report.values << " values restored\n";
    }
    return status;
}

}  // namespace

int RunSnapshot(Context& context, const Arguments& arguments)
{
    if (arguments.empty())
        return UsageError(context, "snapshot takes 'write' or 'restore'");
    for (const std::string& a : arguments)
        if (a.size() > 2 && a.compare(0, 2, "--") == 0)
            return UsageError(context, "unknown option '" + a + "'");
    Arguments rest(arguments.begin() + 1, arguments.end());
    if (arguments[0] == "write")
        return WriteSnapshot(context, rest);
    if (arguments[0] == "restore")
        return RestoreSnapshot(context, rest);
    return UsageError(context, "unknown snapshot action '" + arguments[0] + "'");
}

}  // namespace tw::cli
