#include "scan_test_support.h"

namespace tw::test {
namespace {

using Strings = std::vector<std::string>;

class FileAssociations : public ::testing::Test {
protected:
    ScanMachine s;
    const std::string kCommand = "abcfile\\shell\\open\\command";
};

TEST_F(FileAssociations, ExtensionWithoutProgramIdOrHandlerIsReportedAsValueNotSet)
{
    s.Key(kClassesRoot, ".abc");
    auto completed = s.Run(ScanSection::FileAssociations);
    EXPECT_EQ(Strings{"HKEY_CLASSES_ROOT\\.abc | (Default) | (value not set) | (value not set)"}, s.Found());
    EXPECT_EQ("File Associations", s.engine.problems()[0]->section);
    EXPECT_EQ("KEY", s.engine.problems()[0]->deleteType);
    EXPECT_EQ("HKEY_CLASSES_ROOT\\.abc[(Default)]", s.progress.Status());
    EXPECT_EQ(1u, completed.size());
    EXPECT_EQ((Strings{"value", "key", "description", "section", "delete"}), SetterOrderIn(s.LogMessages()));
    EXPECT_EQ((Strings{"Error Key Value Name: (Default), Error Value: (value not set)",
                       "FOUND ERROR KEY: HKEY_CLASSES_ROOT\\.abc", "Error Description: (value not set)",
                       "Error Key Type: File Associations", "Error Delete Key Type: KEY"}),
              s.LogMessages());
}

TEST_F(FileAssociations, AHandlerKeyMakesAnExtensionWithoutProgramIdSound)
{
    s.Key(kClassesRoot, ".abc\\PersistentHandler");
    s.Key(kClassesRoot, ".def\\ShellEx");
    s.Run(ScanSection::FileAssociations);
    EXPECT_EQ(Strings{}, s.Found());
}

TEST_F(FileAssociations, UnregisteredProgramIdIsReportedUnlessAHandlerExists)
{
    s.Text(kClassesRoot, ".abc", nullptr, "abcfile");
    s.Text(kClassesRoot, ".def", nullptr, "deffile");
    s.Key(kClassesRoot, ".def\\ShellEx");
    s.Text(kClassesRoot, ".ghi", nullptr, "ghifile");
    s.Key(kClassesRoot, "ghifile");  // registered, without an open command
    s.Run(ScanSection::FileAssociations);
    EXPECT_EQ(Strings{"HKEY_CLASSES_ROOT\\.abc | (Default) | abcfile | abcfile"}, s.Found());
}

TEST_F(FileAssociations, OpenCommandQuotingAMissingProgramIsReportedWithTheCommandsEntry)
{
    s.File("C:\\Apps\\there.exe");
    s.Text(kClassesRoot, ".abc", nullptr, "abcfile");
    s.Text(kClassesRoot, kCommand, nullptr, "\"C:\\Apps\\gone.exe\" \"%1\"");
    s.Text(kClassesRoot, ".a1", nullptr, "a1file");
    s.Text(kClassesRoot, "a1file\\shell\\open\\command", nullptr, "\"C:\\Apps\\there.exe\" \"%1\"");
    s.Text(kClassesRoot, ".a2", nullptr, "a2file");
    s.Text(kClassesRoot, "a2file\\shell\\open\\command", nullptr, "C:\\Apps\\gone.exe %1");  // no quotes
    s.Text(kClassesRoot, ".a3", nullptr, "a3file");
    s.Text(kClassesRoot, "a3file\\shell\\open\\command", nullptr, "\"gone.exe\" %1");  // no backslash
    s.Run(ScanSection::FileAssociations);
    EXPECT_EQ(Strings{"HKEY_CLASSES_ROOT\\.abc | (Default) | \"C:\\Apps\\gone.exe\" \"%1\" | abcfile"}, s.Found());
}

TEST_F(FileAssociations, KeysNotStartingWithADotAreNotExamined)
{
    s.Key(kClassesRoot, "CLSID");
    s.Key(kClassesRoot, "abcfile");
    s.Text(kClassesRoot, "xyz", nullptr, "nofile");
    s.Run(ScanSection::FileAssociations);
    EXPECT_EQ(Strings{}, s.Found());
}

TEST_F(FileAssociations, SignalledStopEventEndsTheSectionAtOnceWithoutAnEntry)
{
    s.Key(kClassesRoot, ".abc");
    bool existed = false;
    auto stop = s.system.MakeEvent(kStopEventName, true, false, &existed);
    stop->Set();
    auto completed = s.Run(ScanSection::FileAssociations);
    EXPECT_TRUE(completed.empty());
    EXPECT_TRUE(s.engine.problems().empty());
}

}  // namespace
}  // namespace tw::test
