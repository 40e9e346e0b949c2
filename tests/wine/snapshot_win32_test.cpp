// Snapshots through the real Windows file calls and the real registry: the demo branch is
// written byte for byte by CreateFile/WriteFile and merged back after its key is deleted.
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "snapshot/snapshot_reader.h"
#include "snapshot/snapshot_writer.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace tw::test {
namespace {

std::string ReadAll(System& system, const std::string& path)
{
    std::string bytes;
    auto file = system.OpenFile(path, FileMode::Read);
    if (!file)
        return "(cannot open)";
    char buffer[4096];
    for (std::size_t got; (got = file->Read(buffer, sizeof buffer)) != 0;)
        bytes.append(buffer, got);
    return bytes;
}

TEST(SnapshotWin32, DemoBranchThroughRealFilesAndRegistry)
{
    Win32Registry registry;
    Win32System system;
    const std::string base = "Software\\TarnwickSnapshotWin32";
    WipeKey(registry, kCurrentUser, base);
    SetValue(registry, kCurrentUser, base + "\\Demo", "Count", kRegDword, B({3, 0, 0, 0}));
    SetValue(registry, kCurrentUser, base + "\\Demo", nullptr, kRegSz, Str("caf\xC3\xA9 & <tea>"));
    CreateKey(registry, kCurrentUser, base + "\\Demo\\Sub");

    char folder[MAX_PATH];
    ASSERT_NE(0u, GetTempPathA(sizeof folder, folder));
    const std::string file = std::string(folder) + "tarnwick_snapshot_win32.xml";
    XmlWriter writer(system);
    writer.SetFileName(file);
    XmlElement root("registry");
    root.WriteStartTag(writer, +1, true, true);
    EXPECT_TRUE(WriteBranchSnapshot(writer, registry, system, "HKEY_CURRENT_USER\\" + base + "\\Demo"));
    root.WriteEndTag(writer, -1, true, true);
    ASSERT_TRUE(writer.Close());
    EXPECT_EQ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"
              " <registry>\r\n"
              "  <k name=\"HKEY_CURRENT_USER\">\r\n"
              "   <k name=\"Software\">\r\n"
              "    <k name=\"TarnwickSnapshotWin32\">\r\n"
              "     <k name=\"Demo\">\r\n"
              "      <v name=\"(Default)\" value=\"caf\xC3\xA9 &amp; &lt;tea>\"/>\r\n"
              "      <v name=\"Count\" value=\"0x00000003 (3)\" type=\"REG_DWORD\"/>\r\n"
              "      <k name=\"Sub\"/>\r\n"
              "     </k>\r\n"
              "    </k>\r\n"
              "   </k>\r\n"
              "  </k>\r\n"
              " </registry>\r\n",
              ReadAll(system, file));

    std::string before = DumpBranch(registry, kCurrentUser, base);
    WipeKey(registry, kCurrentUser, base);
    XmlReader reader(system);
    RestoreReport report;
    EXPECT_TRUE(RestoreSnapshotFile(reader, file, RestoreTarget{registry, system, {}}, &report));
    EXPECT_EQ("", reader.Error());
    EXPECT_EQ(2u, report.values);
    EXPECT_EQ(before, DumpBranch(registry, kCurrentUser, base));
    WipeKey(registry, kCurrentUser, base);
    system.RemoveFile(file);
}

}  // namespace
}  // namespace tw::test
