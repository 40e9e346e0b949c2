#include "backup/repair.h"

#include "backup/backup_catalogue.h"
#include "backup/repair_backup_file.h"
#include "backup/repair_undo.h"
#include "platform/program_info.h"
#include "scan/path_rules.h"
#include "scan/scan_section.h"
#include "snapshot/snapshot_writer.h"
#include "snapshot/xml_writer.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <set>

namespace tw {

namespace {

// The journal entry of a "KEY" item, written from the item's record in the backup file: what
// the backup saved complete is the key as it stands, so the registry need not be read again.
// The backup file is read a second time, on its own handle, one record ahead of the deletion.
class JournalFromBackup final : public RepairBackupVisitor {
public:
    JournalFromBackup(System& system, const std::string& backupPath)
        : file_(backupPath.empty() ? nullptr : system.OpenFile(backupPath, FileMode::Read))
    {
        if (file_)
            reader_.emplace(*file_);
    }

    // Writes record `number` as the branch at `fullKeyPath`; false, with nothing written,
    // when the file does not give that record.
    bool Write(XmlWriter& journal, TextCodec& codec, const std::string& fullKeyPath, int number)
    {
        if (!reader_ || number < next_)
            return false;
        while (next_ < number) {
            stream_ = nullptr;  // records before it are passed over
            if (reader_->ReadRecord(*this) != RepairBackupReader::Next::Record) {
                reader_.reset();
                return false;
            }
            ++next_;
        }
        ++next_;
        WriteBranchFrom(journal, codec, fullKeyPath, [&](KeySnapshotStream& stream) {
            stream_ = &stream;
            bool read = reader_->ReadRecord(*this) == RepairBackupReader::Next::Record;
            stream_ = nullptr;
            if (!read)
                reader_.reset();
            return read;
        });
        return true;
    }

    void OnRecord(int, std::uint32_t, const std::string&) override
    {
        if (stream_)
            stream_->BeginKey({});
    }
    void OnValue(int, const std::string& name, std::uint32_t type, const std::string& data) override
    {
        if (stream_)
            stream_->Value(name, type, reinterpret_cast<const std::uint8_t*>(data.data()),
                           static_cast<std::uint32_t>(data.size()));
    }
    void OnSubkeyBegin(int, const std::string& name) override
    {
        if (stream_)
            stream_->BeginKey(name);
    }
    void OnSubkeyEnd() override
    {
        if (stream_)
            stream_->EndKey();
    }
    void OnRecordEnd() override
    {
        if (stream_)
            stream_->EndKey();
    }

private:
    std::unique_ptr<File> file_;
    std::optional<RepairBackupReader> reader_;
    KeySnapshotStream* stream_ = nullptr;
    int next_ = 0;  // the number of the record the reader reads next
};

// Whether a key above `path` is among the folded paths.
bool Above(const std::set<std::string>& keys, const std::string& path)
{
    for (std::size_t slash = path.find('\\'); slash != std::string::npos; slash = path.find('\\', slash + 1))
        if (keys.count(path.substr(0, slash)))
            return true;
    return false;
}

// Whether `path` or a key below it is among the folded paths.
bool TouchedAtOrBelow(const std::set<std::string>& touched, const std::string& path)
{
    if (touched.count(path))
        return true;
    const std::string below = path + "\\";
    auto it = touched.lower_bound(below);
    return it != touched.end() && it->compare(0, below.size(), below) == 0;
}

}  // namespace

RepairBackupResult WriteRepairBackup(Registry& registry, System& system, ActivityLog& log,
                                     std::string_view programFolder, ProblemList& problems,
                                     const std::vector<std::string>& files)
{
    std::vector<RepairBackupItem> items;
    items.reserve(problems.size());
    for (const std::unique_ptr<ProblemRecord>& p : problems) {
        RepairBackupItem item{p->keyPath, p->deleteType, "", p->excluded != 0};
        if (p->deleteType == "VAL") {
            if (p->value && p->value->name == kDefaultValueName)
                p->value->name.clear();
            if (p->value)
                item.valueName = p->value->name;
            else
                item.deleteType.clear();  // no value named: nothing to save, so nothing to delete
        }
        items.push_back(std::move(item));
    }
    return WriteRepairBackupItems(registry, system, log, programFolder, items, files);
}

RepairOutcome Repair(ScanEngine& engine, CShortcut& shortcuts, std::string_view programFolder)
{
    RepairOutcome outcome;
    ProblemList& problems = engine.problems();
    problems.erase(std::remove(problems.begin(), problems.end(), nullptr), problems.end());

    Registry& registry = engine.registry();
    System& system = engine.system();
    ActivityLog& log = engine.log();
    outcome.backup = WriteRepairBackup(registry, system, log, programFolder, problems, shortcuts.FilesToDelete());
    if (outcome.backup.status == RepairBackupResult::Status::Failed) {
        outcome.backupFailed = true;
        return outcome;
    }

    // Held from here until the deletion has read it back: what it deletes is what the file
    // says was saved, and no other program may change the file in between.
    std::unique_ptr<File> held;
    if (outcome.backup.status == RepairBackupResult::Status::Written &&
        !(held = system.OpenFile(outcome.backup.path, FileMode::ReadDenyWrite))) {
        log.Write("Registry backup failed: another program opened " + outcome.backup.path + " for writing");
        outcome.backupFailed = true;
        return outcome;
    }

    std::unique_ptr<Event> stop = system.MakeEvent(StopEventName(system), true, false, nullptr);
    if (stop && stop->IsSignalled()) {
        outcome.stoppedAfterBackup = true;
        return outcome;
    }

    // Recorded before anything goes, so that an undo takes back this repair even when it is
    // cut short; how it ended is recorded after it.
    const bool recorded = outcome.backup.status == RepairBackupResult::Status::Written &&
                          RecordRepairBegun(system, programFolder, outcome.backup.path);
    if (outcome.backup.status == RepairBackupResult::Status::Written && !recorded)
        log.Write("The repair could not be recorded for undo in " + RepairRecordPath(programFolder));

    // The deletion step, each item recorded in the journal just before it goes.
    std::vector<RepairBackupItem> items;
    std::vector<bool> excluded;
    std::vector<const ValueEntry*> values;
    for (const std::unique_ptr<ProblemRecord>& p : problems) {
        items.push_back({p->keyPath, p->deleteType, p->value ? p->value->name : std::string()});
        if (p->deleteType == "VAL" && !p->value)
            items.back().deleteType.clear();
        excluded.push_back(p->excluded != 0);
        values.push_back(p->value.get());
    }
    if (!items.empty()) {
        // The journal takes a name of its own too: a repair started in the same second keeps
        // its own journal, and each removes only the one it made.
        XmlWriter journal(system);
        if (std::unique_ptr<File> reserved = CreateFreeFile(system, RegistryBackupsPath(programFolder),
                                                            RepairJournalName(system.GetLocalTime()),
                                                            &outcome.journalPath)) {
            reserved->Close();
            journal.SetFileName(outcome.journalPath);
        }
        XmlElement root("registry");
        root.WriteStartTag(journal, +1, true, true);
        // A key's record is what the registry holds of it until an item deleted before it
        // touched the key, a key below it or a key above it: then the journal reads the
        // registry, as it does for values.
        JournalFromBackup saved(system, outcome.backup.path);
        std::set<std::string> touched, keys;  // the paths recorded so far, folded to lower case
        auto record = [&](const RepairBackupItem& item) {
            const std::size_t i = std::size_t(&item - items.data());
            const bool key = item.deleteType == "KEY";
            std::string folded = Lowered(item.keyPath);
            if (!key || TouchedAtOrBelow(touched, folded) || Above(keys, folded) ||
                !saved.Write(journal, system, item.keyPath, outcome.backup.records[i]))
                WriteBranchSnapshot(journal, registry, system, item.keyPath, key ? nullptr : values[i]);
            if (key)
                keys.insert(folded);
            touched.insert(std::move(folded));
            journal.Flush();
        };
        outcome.counts = DeleteSavedItems(registry, system, log, items, excluded, outcome.backup, record);
        held.reset();  // read back whole: other programs may open it again
        root.WriteEndTag(journal, -1, true, true);
        journal.Close();
        if (!outcome.journalPath.empty())
            system.RemoveFile(outcome.journalPath);
    }

    // A repair that removed something is the one an undo takes back next.
    auto recordForUndo = [&] {
        if (!recorded)
            return;
        const RepairCounts& c = outcome.counts;
        const bool removed = c.keys + c.values + c.shortcuts > 0;
        if (!(removed ? RecordRepair(system, programFolder, outcome.backup.path)
                      : RecordRepairRemovedNothing(system, programFolder, outcome.backup.path)))
            log.Write("The repair could not be recorded for undo in " + RepairRecordPath(programFolder));
    };

    if (stop && stop->IsSignalled()) {
        outcome.stoppedAfterDeletion = true;
        recordForUndo();
        return outcome;
    }
    shortcuts.SetLog(&log);
    shortcuts.DeleteBrokenShortcuts(outcome.backup.filesSaved);
    outcome.counts.shortcuts = shortcuts.deletedCount;
    recordForUndo();
    // Tested once more, as the scan window does; there is nothing left to skip.
    if (stop)
        stop->IsSignalled();
    return outcome;
}

}  // namespace tw
