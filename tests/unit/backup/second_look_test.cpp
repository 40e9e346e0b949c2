// The second look after a repair: what the repair left behind is found, and only that. The
// scanner that makes such chains is the file associations': an extension may name another
// extension key as its program identifier, and the repair removes that key when its own
// program is gone.
#include "backup/second_look.h"

#include "backup/repair.h"
#include "unit/scan/scan_test_support.h"

namespace tw::test {
namespace {

using Strings = std::vector<std::string>;

class SecondLook : public ::testing::Test {
protected:
    // ".alias" names the extension ".def" as its program; ".def"'s program is gone. ".none"
    // has no program at all.
    void SeedChain()
    {
        s.Text(kClassesRoot, ".alias", nullptr, ".def");
        s.Text(kClassesRoot, ".def", nullptr, "deffile");
        s.Text(kClassesRoot, "deffile\\shell\\open\\command", nullptr, "\"C:\\Apps\\gone.exe\" \"%1\"");
        s.Key(kClassesRoot, ".none");
        s.system.MakeDirectory("C:\\Tarnwick");
        request[ScanSection::FileAssociations] = kSectionRequested;
    }
    void Scan()
    {
        CompletedSectionList completed;
        ScanRequest copy = request;
        s.engine.RunRequestedSections(completed, copy);
    }
    Strings Keys()
    {
        Strings keys;
        for (const auto& p : s.engine.problems())
            keys.push_back(p->keyPath);
        return keys;
    }
    ScanMachine s;
    CShortcut shortcuts{s.system};
    ScanRequest request;
};

TEST_F(SecondLook, AnEntryOrphanedByTheRepairIsFoundAndOnlyIt)
{
    SeedChain();
    Scan();
    ASSERT_EQ((Strings{"HKEY_CLASSES_ROOT\\.def", "HKEY_CLASSES_ROOT\\.none"}), Keys());
    s.engine.problems()[1]->excluded = 1;  // the user keeps ".none"
    const FindingSet before = FindingsOf(s.engine.problems());
    RepairOutcome outcome = Repair(s.engine, shortcuts, "C:\\Tarnwick");
    ASSERT_EQ(1, outcome.counts.keys);
    ASSERT_FALSE(KeyExists(s.registry, kClassesRoot, ".def"));

    const std::size_t rows = s.progress.Rows().size();
    EXPECT_EQ(1u, LookAgainAfterRepair(s.engine, request, before));
    // ".none" is still there but was known before; ".alias" is new.
    EXPECT_EQ(Strings{"HKEY_CLASSES_ROOT\\.alias"}, Keys());
    EXPECT_EQ("File Associations", s.engine.problems()[0]->section);
    // Nothing was repaired by the look, and the progress page was left as the scan left it.
    EXPECT_TRUE(KeyExists(s.registry, kClassesRoot, ".alias"));
    EXPECT_EQ(rows, s.progress.Rows().size());
    EXPECT_EQ(&s.progress, s.engine.progress());
}

TEST_F(SecondLook, ARepairThatOrphansNothingLeavesNoNewProblems)
{
    s.Text(kClassesRoot, ".def", nullptr, "deffile");
    s.Text(kClassesRoot, "deffile\\shell\\open\\command", nullptr, "\"C:\\Apps\\gone.exe\" \"%1\"");
    s.system.MakeDirectory("C:\\Tarnwick");
    request[ScanSection::FileAssociations] = kSectionRequested;
    Scan();
    const FindingSet before = FindingsOf(s.engine.problems());
    Repair(s.engine, shortcuts, "C:\\Tarnwick");
    EXPECT_EQ(0u, LookAgainAfterRepair(s.engine, request, before));
    EXPECT_TRUE(s.engine.problems().empty());
}

// Sections the scan did not run are not looked at: the look is of what was repaired.
TEST_F(SecondLook, OnlyTheSectionsTheScanRanAreLookedAtAgain)
{
    SeedChain();
    s.Text(kLocalMachine, "Software\\Microsoft\\Windows\\Currentversion\\Run", "Gone", "C:\\Gone\\run.exe");
    Scan();
    const FindingSet before = FindingsOf(s.engine.problems());
    Repair(s.engine, shortcuts, "C:\\Tarnwick");
    LookAgainAfterRepair(s.engine, request, before);
    for (const auto& p : s.engine.problems())
        EXPECT_EQ("File Associations", p->section);
}

}  // namespace
}  // namespace tw::test
