#include "scan_test_support.h"

namespace tw::test {
namespace {

using Strings = std::vector<std::string>;

TEST(RegistryWalk, ValuesThatNameMissingLocalPathsAreReported)
{
    ScanMachine s;
    s.File("C:\\Apps\\there.exe");
    const std::string key = "SOFTWARE\\Vendor";
    struct Value {
        const char* name;
        const char* text;
    };
    for (const Value& v : std::vector<Value>{
             {"a_missing", "C:\\Apps\\gone.exe"},
             {"b_quoted", "\"C:\\Apps\\gone2.exe\""},
             {"c_args_dir_there", "C:\\Apps\\there.exe -x"},       // cut back to C:\Apps, which exists
             {"d_args_dir_gone", "C:\\Gone\\prog.exe -x"},         // cut back to C:\Gone
             {"e_resource", "C:\\Icons\\lib.dll,3"},               // cut back to C:\Icons
             {"f_relative", "Apps\\gone.exe"},
             {"g_network", "\\\\server\\share\\gone.exe"},
             {"h_url", "http://host/a\\b.exe"},
             {"i_trailing", "C:\\Trail\\x"},                        // a backslash and one character go
             {"j_there", "C:\\Apps\\there.exe"},
             {"l_shell", "::{59031a47-3f72-44a7-89c5-5595fe6b30ee}\\{18989B1D-99B5-455B-841C-AB7C74E4DDFC}"},
             {"k_dword", ""},
         })
        s.Text(kLocalMachine, key, v.name, v.text);
    s.Run(ScanSection::CompleteRegistryScan);
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor | a_missing | C:\\Apps\\gone.exe | C:\\Apps\\gone.exe",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor | b_quoted | \"C:\\Apps\\gone2.exe\" | C:\\Apps\\gone2.exe",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor | d_args_dir_gone | C:\\Gone\\prog.exe -x | C:\\Gone",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor | e_resource | C:\\Icons\\lib.dll,3 | C:\\Icons",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor | i_trailing | C:\\Trail\\x | C:\\Trail",
              }),
              s.Found());
    EXPECT_EQ("Complete Registry Scan", s.engine.problems()[0]->section);
    EXPECT_EQ("VAL", s.engine.problems()[0]->deleteType);
    EXPECT_EQ(5, s.engine.walkProblemCount);
    auto order = SetterOrderIn(s.LogMessages());
    EXPECT_EQ((Strings{"value", "key", "description", "section", "delete"}), Strings(order.begin(), order.begin() + 5));
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor[l_shell]", s.progress.Status());
}

TEST(RegistryWalk, IntermediateKeyNamesAreLowerCaseAndTheHoldingKeyKeepsItsCase)
{
    ScanMachine s;
    s.Text(kLocalMachine, "SOFTWARE\\Vendor\\Product\\Version\\Settings", "Path", "C:\\Gone\\a.exe");
    s.Text(kCurrentUser, "SOFTWARE\\UserVendor\\Cfg", "Last", "D:\\Nowhere\\b.doc");
    auto completed = s.Run(ScanSection::CompleteRegistryScan);
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\vendor\\product\\version\\Settings | Path | C:\\Gone\\a.exe | C:\\Gone\\a.exe",
                  "HKEY_CURRENT_USER\\SOFTWARE\\uservendor\\Cfg | Last | D:\\Nowhere\\b.doc | D:\\Nowhere\\b.doc",
              }),
              s.Found());
    EXPECT_EQ(1u, completed.size());
}

TEST(RegistryWalk, WindowsKeysAreNotEnteredButTheirOwnValuesAreExamined)
{
    ScanMachine s;
    s.Text(kLocalMachine, "SOFTWARE\\Microsoft\\Windows", "Own", "C:\\Gone\\own.exe");
    s.Text(kLocalMachine, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion", "Below", "C:\\Gone\\below.exe");
    s.Text(kLocalMachine, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion", "Below", "C:\\Gone\\nt.exe");
    s.Text(kCurrentUser, "SOFTWARE\\Microsoft\\Windows\\Shell", "Below", "C:\\Gone\\user.exe");
    s.Text(kLocalMachine, "SOFTWARE\\Microsoft\\WindowsMore\\X", "Below", "C:\\Gone\\more.exe");
    s.Text(kLocalMachine, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion", "Below", "C:\\Gone\\wow.exe");
    s.Text(kLocalMachine, "SOFTWARE", "Root", "C:\\Gone\\root.exe");  // a branch root's values are not examined
    s.Run(ScanSection::CompleteRegistryScan);
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\microsoft\\Windows | Own | C:\\Gone\\own.exe | C:\\Gone\\own.exe",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\microsoft\\windowsmore\\X | Below | C:\\Gone\\more.exe | C:\\Gone\\more.exe",
              }),
              s.Found());
}

TEST(ProgramIds, TypeLibrariesWithMissingFilesAreReportedAsKeys)
{
    ScanMachine s;
    s.File("C:\\Libs\\here.tlb");
    const std::string lib = "TypeLib\\{00000000-0000-0000-0000-00000000ABCD}\\1.0\\0";
    s.Text(kClassesRoot, lib + "\\win32", nullptr, "C:\\Libs\\gone.tlb");
    s.Text(kClassesRoot, "TypeLib\\{00000000-0000-0000-0000-00000000EEEE}\\1.0\\0\\win32", nullptr, "C:\\Libs\\here.tlb");
    auto completed = s.Run(ScanSection::ProgramId);
    EXPECT_EQ(Strings{"HKEY_CLASSES_ROOT\\TypeLib\\{00000000-0000-0000-0000-00000000abcd}\\1.0\\0\\win32 | (Default) | "
                      "C:\\Libs\\gone.tlb | C:\\Libs\\gone.tlb"},
              s.Found());
    EXPECT_EQ("Program ID Section", s.engine.problems()[0]->section);
    EXPECT_EQ("KEY", s.engine.problems()[0]->deleteType);
    EXPECT_EQ(1u, completed.size());
}

TEST(RegistryWalk, SignalledStopEventEndsTheWalkPromptlyAndStillCountsAsRun)
{
    ScanMachine s;
    for (int i = 0; i < 200; ++i)
        s.Text(kLocalMachine, "SOFTWARE\\Big\\K" + std::to_string(i), "P", "C:\\Gone\\" + std::to_string(i) + ".exe");
    auto stop = s.system.MakeEvent(kStopEventName, true, false, nullptr);
    stop->Set();
    auto completed = s.Run(ScanSection::CompleteRegistryScan);
    EXPECT_TRUE(s.engine.problems().empty());
    EXPECT_EQ(1u, completed.size());
}

}  // namespace
}  // namespace tw::test
