// The full backup's steps on the program's snapshot files: one "registry" element holding
// the branch per file, written with the snapshot writer and merged back with the reader.
#include "backup/full_backup.h"
#include "snapshot/snapshot_reader.h"
#include "snapshot/snapshot_writer.h"
#include "snapshot/xml_reader.h"
#include "snapshot/xml_writer.h"

namespace tw {

namespace {

class SnapshotSteps final : public FullBackupSteps {
public:
    explicit SnapshotSteps(System& system) : system_(system) {}

    bool WriteBranchFile(Registry& registry, const std::string& path, const std::string& branch) override
    {
        XmlWriter writer(system_);
        writer.SetFileName(path);
        XmlElement root("registry");
        bool ok = root.WriteStartTag(writer, +1, true, true);
        ok = WriteBranchSnapshot(writer, registry, system_, branch) && ok;
        ok = root.WriteEndTag(writer, -1, true, true) && ok;
        return writer.Close() && ok;
    }

    bool RestoreFile(Registry& registry, const std::string& path) override
    {
        XmlReader reader(system_);
        RestoreTarget target{registry, system_, {}};
        return RestoreSnapshotFile(reader, path, target);
    }

private:
    System& system_;
};

}  // namespace

std::unique_ptr<FullBackupSteps> MakeSnapshotSteps(System& system)
{
    return std::make_unique<SnapshotSteps>(system);
}

}  // namespace tw
