// The full backup's steps on the program's snapshot files: one "registry" element holding
// the branch per file, written with the snapshot writer and merged back with the reader.
#include "backup/full_backup.h"
#include "log/activity_log.h"
#include "platform/program_info.h"
#include "snapshot/snapshot_reader.h"
#include "snapshot/snapshot_writer.h"
#include "snapshot/xml_reader.h"
#include "snapshot/xml_writer.h"

namespace tw {

namespace {

class SnapshotSteps final : public FullBackupSteps {
public:
    SnapshotSteps(System& system, ActivityLog* log) : system_(system), log_(log) {}

    bool WriteBranchFile(Registry& registry, const std::string& path, const std::string& branch,
                         std::size_t* skippedKeys) override
    {
        // A key that cannot be read leaves a gap in the backup: it is put on record.
        SkippedKeyReport onSkipped = [&](const std::string& keyPath) {
            ++*skippedKeys;
            if (log_)
                log_->Write("Full backup: key left out, it cannot be read: " + keyPath);
        };
        XmlWriter writer(system_);
        writer.SetFileName(path);
        XmlElement root("registry");
        root.WriteStartTag(writer, +1, true, true);
        // Whether the branch itself could be read is the skip report's business; whether
        // the file holds what was read is the writer's.
        WriteBranchSnapshot(writer, registry, system_, branch, nullptr, &onSkipped);
        root.WriteEndTag(writer, -1, true, true);
        bool written = !writer.Failed();
        return writer.Close() && written;
    }

    bool RestoreFile(Registry& registry, const std::string& path) override
    {
        XmlReader reader(system_);
        RestoreTarget target{registry, system_, {}};
        RestoreReport report;
        bool keysRestored = RestoreSnapshotFile(reader, path, target, &report);
        // A missing file, or one that stops at a parse error, restores nothing or only part;
        // so does one whose values the registry refused (without the rights to write them).
        return keysRestored && report.fileOpened && reader.Error().empty() && report.valuesFailed == 0;
    }

    OverwriteUndo SaveWhatRestoreOverwrites(Registry& registry, const std::vector<std::string>& paths) override
    {
        ActivityLog unopened(system_);
        return SaveWhatSnapshotsOverwrite(registry, system_, log_ ? *log_ : unopened, ProgramFolder(system_), paths);
    }

private:
    System& system_;
    ActivityLog* log_;
};

}  // namespace

std::unique_ptr<FullBackupSteps> MakeSnapshotSteps(System& system, ActivityLog* log)
{
    return std::make_unique<SnapshotSteps>(system, log);
}

}  // namespace tw
