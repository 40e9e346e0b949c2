#include "backup/repair.h"

#include "backup/backup_catalogue.h"
#include "platform/program_info.h"
#include "scan/scan_section.h"
#include "snapshot/snapshot_writer.h"
#include "snapshot/xml_writer.h"

#include <algorithm>

namespace tw {

RepairBackupResult WriteRepairBackup(Registry& registry, System& system, ActivityLog& log,
                                     std::string_view programFolder, ProblemList& problems)
{
    std::vector<RepairBackupItem> items;
    items.reserve(problems.size());
    for (const std::unique_ptr<ProblemRecord>& p : problems) {
        RepairBackupItem item{p->keyPath, p->deleteType, ""};
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
    return WriteRepairBackupItems(registry, system, log, programFolder, items);
}

RepairOutcome Repair(ScanEngine& engine, CShortcut& shortcuts, std::string_view programFolder)
{
    RepairOutcome outcome;
    ProblemList& problems = engine.problems();
    problems.erase(std::remove(problems.begin(), problems.end(), nullptr), problems.end());

    Registry& registry = engine.registry();
    System& system = engine.system();
    ActivityLog& log = engine.log();
    outcome.backup = WriteRepairBackup(registry, system, log, programFolder, problems);
    if (outcome.backup.status == RepairBackupResult::Status::Failed) {
        outcome.backupFailed = true;
        return outcome;
    }

    std::unique_ptr<Event> stop = system.MakeEvent(kStopEventName, true, false, nullptr);
    if (stop && stop->IsSignalled()) {
        outcome.stoppedAfterBackup = true;
        return outcome;
    }

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
        auto record = [&](const RepairBackupItem& item) {
            const ValueEntry* single = item.deleteType == "KEY" ? nullptr : values[std::size_t(&item - items.data())];
            WriteBranchSnapshot(journal, registry, system, item.keyPath, single);
            journal.Flush();
        };
        outcome.counts = DeleteSavedItems(registry, system, log, items, excluded, outcome.backup, record);
        root.WriteEndTag(journal, -1, true, true);
        journal.Close();
        if (!outcome.journalPath.empty())
            system.RemoveFile(outcome.journalPath);
    }

    if (stop && stop->IsSignalled()) {
        outcome.stoppedAfterDeletion = true;
        return outcome;
    }
    shortcuts.DeleteBrokenShortcuts();
    outcome.counts.shortcuts = shortcuts.deletedCount;
    // Tested once more, as the scan window does; there is nothing left to skip.
    if (stop)
        stop->IsSignalled();
    return outcome;
}

}  // namespace tw
