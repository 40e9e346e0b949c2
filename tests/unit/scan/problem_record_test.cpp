#include "scan_test_support.h"

namespace tw::test {
namespace {

TEST(ProblemRecord, ANewRecordIsEmptyAndEachSetterWritesItsLine)
{
    ScanMachine s;
    ProblemRecord record;
    EXPECT_TRUE(record.section.empty() && record.keyPath.empty() && record.deleteType.empty() &&
                record.description.empty() && record.reason.empty());
    EXPECT_EQ(nullptr, record.value);
    EXPECT_EQ(0, record.excluded);
    record.SetKeyPath(s.log, "HKEY_CLASSES_ROOT\\%s");
    record.SetValue(s.log, std::make_unique<ValueEntry>(ValueEntry{"Name", "Text", kRegSz}));
    record.SetReason(s.log, "The file C:\\x.exe does not exist.");
    EXPECT_EQ("The file C:\\x.exe does not exist.", record.reason);
    EXPECT_EQ((std::vector<std::string>{"FOUND ERROR KEY: HKEY_CLASSES_ROOT\\%s",
                                        "Error Key Value Name: Name, Error Value: Text",
                                        "Error Reason: The file C:\\x.exe does not exist."}),
              s.LogMessages());
}

TEST(ScanSections, EveryProblemTextFindsItsResultsGroupAndNearMissesDoNot)
{
    const std::vector<std::pair<ScanSection, int>> groups = {
        {ScanSection::CompleteRegistryScan, 0}, {ScanSection::ProgramId, 1},   {ScanSection::AddRemovePrograms, 2},
        {ScanSection::ApplicationPaths, 3},     {ScanSection::Fonts, 4},       {ScanSection::SharedProgramFiles, 5},
        {ScanSection::HelpFiles, 6},            {ScanSection::StartupPrograms, 7}, {ScanSection::SystemServices, 8},
        {ScanSection::VxdDrivers, 9},           {ScanSection::FileAssociations, 10}, {ScanSection::Sounds, 11},
        {ScanSection::RegistryIntegrity, 12},   {ScanSection::Shortcuts, 13},
    };
    for (const auto& [section, group] : groups)
        EXPECT_EQ(group, ResultsGroupOf(SectionInfoOf(section).problemText)) << SectionInfoOf(section).name;
    for (const char* nearMiss : {"file associations", "Add/Remove Program Section ", "Add Remove Program Section"})
        EXPECT_EQ(-1, ResultsGroupOf(nearMiss)) << nearMiss;
    EXPECT_EQ(ScanSection::Sounds, SectionFromName("SOUNDS"));
    EXPECT_FALSE(SectionFromName("Sound Section").has_value());
}

}  // namespace
}  // namespace tw::test
