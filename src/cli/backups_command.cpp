// tarnwick-cli backups [--full] [--json]: the catalogue of backups, as the backup manager
// lists them. tarnwick-cli backup show|restore|remove: one pre-repair backup's rows, their
// restore (all, or all but the unticked rows) and the removal of a backup by name.
#include "backup/backup_catalogue.h"
#include "backup/backup_messages.h"
#include "backup/backup_restore.h"
#include "cli/commands.h"
#include "cli/json.h"
#include "platform/program_info.h"
#include "registry/value_text.h"

#include <cstdlib>

namespace tw::cli {

namespace {

// A backup named by its file name in "Registry Backups", or by a path.
std::string BackupPath(Context& context, const std::string& argument)
{
    if (IsPlainFileName(argument)) {
        std::string inFolder = JoinPath(RegistryBackupsPath(ProgramFolder(context.system)), argument);
        if (PathExists(context.system, inFolder))
            return inFolder;
    }
    return argument;
}

int Show(Context& context, const Arguments& arguments)
{
    std::vector<std::string> flags;
    Arguments rest;
    std::string unknown;
    if (!TakeFlags(arguments, {"--json"}, &flags, &rest, &unknown))
        return UsageError(context, "unknown option '" + unknown + "'");
    if (rest.size() != 1)
        return UsageError(context, "backup show takes one backup file");
    BackupListing listing = ListRepairBackupItems(context.system, BackupPath(context, rest[0]));
    for (const std::string& m : listing.messages)
        context.err << "tarnwick-cli: " << m << "\n";
    bool json = HasFlag(flags, "--json");
    for (std::size_t row = 0; row < listing.items.size(); ++row) {
        const BackupItem& item = listing.items[row];
        if (json) {
            JsonObject o(context.system);
            o.Number("row", std::int64_t(row)).Text("kind", BackupItemKindText(item.kind)).Text("path", item.path);
            if (item.kept)
                o.Bool("kept", true);
            if (item.kind == BackupItem::Kind::Value)
                o.Text("name", item.name)
                    .Number("type", item.type)
                    .Text("text", FormatValueText(item.type, reinterpret_cast<const std::uint8_t*>(item.data.data()),
                                                  item.data.size(), context.system));
            context.out << o.str() << "\n";
        } else {
            context.out << row << "\t" << BackupItemKindText(item.kind) << "\t" << item.path
                        << (item.kept ? "\tkept" : "") << "\n";
        }
    }
    if (!listing.opened)
        return kExitFailed;
    if (listing.damaged && !listing.rowsLeftOut)
        context.err << "tarnwick-cli: the backup file is damaged; rows after " << listing.items.size()
                    << " cannot be read\n";
    else if (listing.damaged)
        context.err << "tarnwick-cli: the backup file is damaged past the rows listed and left out\n";
    if (!listing.complete)
        return kExitFailed;
    return kExitOk;
}

int Restore(Context& context, const Arguments& arguments)
{
    std::string file;
    std::vector<bool> ticks;
    std::vector<std::size_t> unticked;
    bool withKept = false;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (arguments[i] == "--kept") {
            withKept = true;
        } else if (arguments[i] == "--untick") {
            while (i + 1 < arguments.size() && !arguments[i + 1].empty() &&
                   arguments[i + 1].find_first_not_of("0123456789") == std::string::npos) {
                const std::string& row = arguments[++i];
                if (row.size() > 9)
                    return UsageError(context, "row number too large: " + row);
                unticked.push_back(std::size_t(std::strtoul(row.c_str(), nullptr, 10)));
            }
        } else if (arguments[i].size() > 2 && arguments[i].compare(0, 2, "--") == 0) {
            return UsageError(context, "unknown option '" + arguments[i] + "'");
        } else if (file.empty()) {
            file = arguments[i];
        } else {
            return UsageError(context, "backup restore takes one backup file");
        }
    }
    if (file.empty())
        return UsageError(context, "backup restore takes one backup file");
    // As the backup manager ticks them: what the repair removed, not what it left in place.
    if (!withKept) {
        BackupListing listing = ListRepairBackupItems(context.system, BackupPath(context, file));
        for (const BackupItem& item : listing.items)
            ticks.push_back(!item.kept);
    }
    for (std::size_t row : unticked) {
        if (row >= ticks.size())
            ticks.resize(row + 1, true);
        ticks[row] = false;
    }
    ActivityLog log(context.system);
    log.Open();
    RestoreOutcome outcome = RestoreRepairBackupKeepingWhatItOverwrites(
        context.registry, context.system, log, ProgramFolder(context.system), BackupPath(context, file), ticks);
    for (const std::string& path : outcome.notWritten)
        context.err << "tarnwick-cli: cannot write " << path << "\n";
    for (const std::string& m : outcome.messages)
        (outcome.restored ? context.out : context.err) << m << "\n";
    return outcome.restored ? kExitOk : kExitFailed;
}

int Remove(Context& context, const Arguments& arguments)
{
    if (arguments.size() != 1)
        return UsageError(context, "backup remove takes one backup name");
    if (!IsPlainFileName(arguments[0]))
        return UsageError(context, "a backup is named by its file name in \"Registry Backups\"");
    if (!RemoveBackup(context.system, ProgramFolder(context.system), arguments[0])) {
        context.err << "tarnwick-cli: cannot remove " << arguments[0] << "\n";
        return kExitFailed;
    }
    context.out << "Removed " << arguments[0] << "\n";
    return kExitOk;
}

}  // namespace

int RunBackups(Context& context, const Arguments& arguments)
{
    std::vector<std::string> flags;
    Arguments rest;
    std::string unknown;
    if (!TakeFlags(arguments, {"--full", "--json"}, &flags, &rest, &unknown))
        return UsageError(context, "unknown option '" + unknown + "'");
    if (!rest.empty())
        return UsageError(context, "backups takes no arguments");
    CatalogueKind kind = HasFlag(flags, "--full") ? CatalogueKind::FullBackups : CatalogueKind::RepairBackups;
    std::vector<CatalogueEntry> entries = ListCatalogue(context.system, ProgramFolder(context.system), kind);
    bool json = HasFlag(flags, "--json");
    for (const CatalogueEntry& e : entries) {
        if (json)
            context.out << JsonObject(context.system).Text("name", e.name).Text("path", e.path).Text("date", e.dateText).str()
                        << "\n";
        else
            context.out << e.name << "\t" << e.dateText << "\t" << e.path << "\n";
    }
    if (entries.empty() && !json)
        context.err << backup_text::kNoBackups << "\n";
    return kExitOk;
}

int RunBackup(Context& context, const Arguments& arguments)
{
    if (arguments.empty())
        return UsageError(context, "backup needs show, restore or remove");
    Arguments rest(arguments.begin() + 1, arguments.end());
    if (arguments[0] == "show")
        return Show(context, rest);
    if (arguments[0] == "restore")
        return Restore(context, rest);
    if (arguments[0] == "remove")
        return Remove(context, rest);
    return UsageError(context, "unknown backup action '" + arguments[0] + "'");
}

}  // namespace tw::cli
