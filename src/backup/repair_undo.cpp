#include "backup/repair_undo.h"

#include "backup/backup_catalogue.h"
#include "backup/backup_messages.h"
#include "platform/program_info.h"

#include <memory>

namespace tw {

namespace {

// A line longer than this is no line the program wrote: it is passed over.
constexpr std::size_t kLongestLine = 4096;

std::string NameOf(std::string_view path)
{
    const std::size_t slash = path.find_last_of('\\');
    return std::string(slash == std::string_view::npos ? path : path.substr(slash + 1));
}

bool AppendLine(System& system, std::string_view programFolder, const std::string& line)
{
    std::unique_ptr<File> file = system.OpenFile(RepairRecordPath(programFolder), FileMode::Append);
    if (!file)
        return false;
    const std::string text = line + "\r\n";
    const bool written = file->Write(text.data(), text.size());
    return file->Close() && written;
}

// The record read so far: the last repair, and while a repair has begun without saying how it
// ended, what was last before it.
struct RecordState {
    LastRepair last;
    LastRepair beforeBegun;
    std::string begun;
};

void TakeLine(std::string_view line, RecordState& state)
{
    LastRepair& last = state.last;
    if (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    const std::size_t tab = line.find('\t');
    if (tab == std::string_view::npos)
        return;
    const std::string_view kind = line.substr(0, tab);
    std::string_view name = line.substr(tab + 1);
    if (kind == "begun") {
        // Until it says otherwise, a repair that began is the last: one cut short while it
        // deleted is what an undo takes back.
        state.beforeBegun = last;
        state.begun = std::string(name);
        last = {std::string(name), false};
    } else if (kind == "nothing") {
        if (name == state.begun)
            last = state.beforeBegun;  // it removed nothing: the one before stays the last
        state.begun.clear();
    } else if (kind == "repair") {
        last.backupName = std::string(name);
        last.undone = false;
        state.begun.clear();
    } else if (kind == "undone") {
        name = name.substr(0, name.find('\t'));
        if (!last.backupName.empty() && name == last.backupName)
            last.undone = true;
    }
}

}  // namespace

std::string RepairRecordPath(std::string_view programFolder)
{
    return JoinPath(RegistryBackupsPath(programFolder), kRepairRecordName);
}

bool RecordRepair(System& system, std::string_view programFolder, std::string_view backupPath)
{
    return AppendLine(system, programFolder, "repair\t" + NameOf(backupPath));
}

bool RecordRepairBegun(System& system, std::string_view programFolder, std::string_view backupPath)
{
    return AppendLine(system, programFolder, "begun\t" + NameOf(backupPath));
}

bool RecordRepairRemovedNothing(System& system, std::string_view programFolder, std::string_view backupPath)
{
    return AppendLine(system, programFolder, "nothing\t" + NameOf(backupPath));
}

LastRepair ReadLastRepair(System& system, std::string_view programFolder)
{
    RecordState state;
    std::unique_ptr<File> file = system.OpenFile(RepairRecordPath(programFolder), FileMode::Read);
    if (!file)
        return state.last;
    // Read in pieces, one line in memory at a time.
    std::string line;
    bool tooLong = false;
    char buffer[4096];
    for (std::size_t got; (got = file->Read(buffer, sizeof buffer)) > 0;) {
        for (std::size_t i = 0; i < got; ++i) {
            if (buffer[i] == '\n') {
                if (!tooLong)
                    TakeLine(line, state);
                line.clear();
                tooLong = false;
            } else if (line.size() < kLongestLine) {
                line += buffer[i];
            } else {
                tooLong = true;
            }
        }
    }
    if (!tooLong)
        TakeLine(line, state);
    return state.last;
}

UndoOutcome UndoRepair(Registry& registry, System& system, ActivityLog& log, std::string_view programFolder,
                       std::string_view backupPath)
{
    UndoOutcome outcome;
    outcome.backupName = NameOf(backupPath);
    // What the repair removed, not the rows it kept where they were.
    std::vector<bool> ticks;
    for (const BackupItem& item : ListRepairBackupItems(system, backupPath).items)
        ticks.push_back(!item.kept);
    log.Write("Undo of the repair whose backup is " + std::string(backupPath));
    outcome.restore =
        RestoreRepairBackupKeepingWhatItOverwrites(registry, system, log, programFolder, backupPath, ticks);
    outcome.items = outcome.restore.keys + outcome.restore.values + outcome.restore.files;
    if (!outcome.restore.restored) {
        outcome.status = UndoOutcome::Status::NotRestored;
        outcome.messages = outcome.restore.messages;
        if (!outcome.messages.empty() && outcome.messages.back() == backup_text::kNotRestored)
            outcome.messages.pop_back();
        outcome.messages.push_back(backup_text::kRepairNotUndone);
        return outcome;
    }
    outcome.status = UndoOutcome::Status::Undone;
    const std::string saved = NameOf(outcome.restore.undoBackupPath);
    if (!AppendLine(system, programFolder, "undone\t" + outcome.backupName + "\t" + saved))
        log.Write("The undo could not be recorded in " + RepairRecordPath(programFolder));
    outcome.messages.push_back(backup_text::UndoneText(outcome.items, outcome.restore.overwritten, saved));
    return outcome;
}

UndoOutcome UndoLastRepair(Registry& registry, System& system, ActivityLog& log, std::string_view programFolder)
{
    const LastRepair last = ReadLastRepair(system, programFolder);
    UndoOutcome outcome;
    outcome.backupName = last.backupName;
    if (last.backupName.empty()) {
        outcome.status = UndoOutcome::Status::NoRepair;
        outcome.messages.push_back(backup_text::kNoRepairToUndo);
        return outcome;
    }
    if (!IsPlainFileName(last.backupName)) {  // not a name the program wrote
        outcome.status = UndoOutcome::Status::NoRepair;
        outcome.messages.push_back(backup_text::kNoRepairToUndo);
        return outcome;
    }
    if (last.undone) {
        outcome.status = UndoOutcome::Status::AlreadyUndone;
        outcome.messages.push_back(backup_text::AlreadyUndoneText(last.backupName));
        return outcome;
    }
    return UndoRepair(registry, system, log, programFolder,
                      JoinPath(RegistryBackupsPath(programFolder), last.backupName));
}

}  // namespace tw
