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
                       "Error Key Type: File Associations", "Error Delete Key Type: KEY",
                       "Error Reason: The extension names no program, and nothing else is registered for it."}),
              s.LogMessages());
}

TEST_F(FileAssociations, EachRuleSaysWhyTheAssociationLeadsNowhere)
{
    s.Key(kClassesRoot, ".abc");
    s.Text(kClassesRoot, ".def", nullptr, "deffile");
    s.Text(kClassesRoot, ".ghi", nullptr, "ghifile");
    s.Expand(kClassesRoot, "ghifile\\shell\\open\\command", nullptr, "\"%SystemRoot%\\gone.exe\" \"%1\"");
    s.Run(ScanSection::FileAssociations);
    EXPECT_EQ((Strings{"The extension names no program, and nothing else is registered for it.",
                       "The program identifier deffile named here is not registered.",
                       "The command that opens these files names C:\\WINDOWS\\gone.exe, which does not exist."}),
              s.Reasons());
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

TEST_F(FileAssociations, OpenCommandsAreTestedWithTheirVariablesExpanded)
{
    s.SixtyFourBitWindows();
    s.File("C:\\Program Files (x86)\\Player\\player.exe");
    s.File("C:\\Program Files\\Viewer\\viewer.dll");
    auto association = [&](const std::string& extension, const std::string& command) {
        const std::string programId = extension.substr(1) + "file";
        s.Text(kClassesRoot, extension, nullptr, programId);
        s.Expand(kClassesRoot, programId + "\\shell\\open\\command", nullptr, command);
    };
    association(".mp4", "\"%ProgramFiles(x86)%\\Player\\player.exe\" /Open \"%L\"");
    association(".jpg", "rundll32.exe \"%ProgramFiles%\\Viewer\\viewer.dll\", Entry %1");
    association(".mkv", "\"%ProgramFiles(x86)%\\Player\\gone.exe\" /Open \"%L\"");
    association(".png", "rundll32.exe \"%ProgramFiles%\\Viewer\\gone.dll\", Entry %1");
    s.Run(ScanSection::FileAssociations);
    EXPECT_EQ((Strings{
                  "HKEY_CLASSES_ROOT\\.mkv | (Default) | \"%ProgramFiles(x86)%\\Player\\gone.exe\" /Open \"%L\" | mkvfile",
                  "HKEY_CLASSES_ROOT\\.png | (Default) | rundll32.exe \"%ProgramFiles%\\Viewer\\gone.dll\", Entry %1 | pngfile",
              }),
              s.Found());
    EXPECT_EQ(kRegExpandSz, s.engine.problems()[0]->value->type);
}

TEST_F(FileAssociations, ExtensionKeysThatWindowsReadsWithoutAProgramIdAreSound)
{
    s.Key(kClassesRoot, ".abc\\OpenWithProgids");
    s.Key(kClassesRoot, ".def\\OpenWithList\\app.exe");
    s.Text(kClassesRoot, ".ghi", "Content Type", "audio/x-ghi");
    s.Text(kClassesRoot, ".jkl", "PerceivedType", "audio");  // read by nobody without the others
    s.Key(kClassesRoot, ".jkl\\Other");
    s.Run(ScanSection::FileAssociations);
    EXPECT_EQ(Strings{"HKEY_CLASSES_ROOT\\.jkl | (Default) | (value not set) | (value not set)"}, s.Found());
}

TEST_F(FileAssociations, ExtensionKeysThatRefuseWriteAccessAreStillExamined)
{
    s.Text(kClassesRoot, ".abc", nullptr, "abcfile");
    s.Text(kClassesRoot, kCommand, nullptr, "\"C:\\Apps\\gone.exe\" \"%1\"");
    s.Key(kClassesRoot, ".def");
    for (const std::string& key : {std::string(".abc"), std::string(".def"), std::string("abcfile"), kCommand})
        RefuseWriteAccess(s.registry, kClassesRoot, key);
    s.Run(ScanSection::FileAssociations);
    EXPECT_EQ((Strings{"HKEY_CLASSES_ROOT\\.abc | (Default) | \"C:\\Apps\\gone.exe\" \"%1\" | abcfile",
                       "HKEY_CLASSES_ROOT\\.def | (Default) | (value not set) | (value not set)"}),
              s.Found());
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
    auto stop = s.system.MakeEvent(StopEventName(s.system), true, false, &existed);
    stop->Set();
    auto completed = s.Run(ScanSection::FileAssociations);
    EXPECT_TRUE(completed.empty());
    EXPECT_TRUE(s.engine.problems().empty());
}

}  // namespace
}  // namespace tw::test
