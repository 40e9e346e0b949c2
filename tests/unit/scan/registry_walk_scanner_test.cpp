#include "scan_test_support.h"
#include "scan/scanners.h"
#include "support/counting_registry.h"

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

// Shapes met on real systems: a list of folders, one of them a placeholder, and a recent
// folder with a suffix. A list is judged by its full paths, reported only when none is
// there; a text holding a character no path may hold is never judged whole.
TEST(RegistryWalk, ListsAreJudgedByTheirPathsAndTextsThatAreNoPathAreLeftAlone)
{
    ScanMachine s;
    s.File("C:\\ProgramData\\Vendor\\templates\\keep");
    s.File("C:\\Users\\User\\Desktop\\Sketches\\keep");
    const std::string key = "SOFTWARE\\Vendor\\Paths";
    struct Value {
        const char* name;
        const char* text;
    };
    for (const Value& v : std::vector<Value>{
             {"a_list_there", "C:\\ProgramData\\Vendor\\templates\\;<LANGFOLDER>\\Tutorial"},
             {"b_list_gone", "C:\\ProgramData\\Gone\\templates\\;<LANGFOLDER>\\Tutorial"},
             {"c_list_one_there", "C:\\Gone\\a.dll;C:\\ProgramData\\Vendor\\templates"},
             {"d_list_all_gone", "C:\\Gone\\a.dll; C:\\Gone\\bin"},
             {"e_list_no_path", "<LANGFOLDER>\\Tutorial;Templates\\x"},
             {"f_recent_there", "C:\\Users\\User\\Desktop\\Sketches|0"},
             {"g_recent_gone", "C:\\Users\\User\\Desktop\\Gone|0"},
             {"h_wildcard", "C:\\Gone\\*.tmp"},
         })
        s.Text(kLocalMachine, key, v.name, v.text);
    s.Run(ScanSection::CompleteRegistryScan);
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\vendor\\Paths | b_list_gone | "
                  "C:\\ProgramData\\Gone\\templates\\;<LANGFOLDER>\\Tutorial | C:\\ProgramData\\Gone\\templates",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\vendor\\Paths | d_list_all_gone | C:\\Gone\\a.dll; C:\\Gone\\bin | "
                  "C:\\Gone\\a.dll;C:\\Gone\\bin",
              }),
              s.Found());
}

// A missing path is named: the walk cannot tell a file from a folder, and a list says that
// none of its paths is there.
TEST(RegistryWalkReasons, OnePathOrAListOfThemSaysWhatIsMissing)
{
    ScanMachine s;
    s.Text(kLocalMachine, "SOFTWARE\\Vendor", "a_one", "C:\\Apps\\gone.exe");
    s.Text(kLocalMachine, "SOFTWARE\\Vendor", "b_list", "C:\\Gone\\a.dll;C:\\Gone\\bin");
    s.Run(ScanSection::CompleteRegistryScan);
    EXPECT_EQ((Strings{"The file or folder C:\\Apps\\gone.exe does not exist.",
                       "None of the paths listed exists: C:\\Gone\\a.dll;C:\\Gone\\bin."}),
              s.Reasons());

    ScanMachine ids;
    ids.Text(kClassesRoot, "TypeLib\\{00000000-0000-0000-0000-000000000001}\\1.0\\0\\win32", nullptr,
             "C:\\Apps\\gone.tlb");
    ids.Run(ScanSection::ProgramId);
    EXPECT_EQ(Strings{"The file or folder C:\\Apps\\gone.tlb does not exist."}, ids.Reasons());
}

TEST(RegistryWalk, IntermediateKeyNamesAreLowerCaseAndTheHoldingKeyKeepsItsCase)
{
    ScanMachine s;
    s.Text(kLocalMachine, "SOFTWARE\\Vendor\\Product\\Version\\Settings", "Path", "C:\\Gone\\a.exe");
    s.Text(kCurrentUser, "SOFTWARE\\UserVendor\\Cfg", "Last", "C:\\Nowhere\\b.doc");
    auto completed = s.Run(ScanSection::CompleteRegistryScan);
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\vendor\\product\\version\\Settings | Path | C:\\Gone\\a.exe | C:\\Gone\\a.exe",
                  "HKEY_CURRENT_USER\\SOFTWARE\\uservendor\\Cfg | Last | C:\\Nowhere\\b.doc | C:\\Nowhere\\b.doc",
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

TEST(RegistryWalk, OnlyPathsOnPresentFixedDrivesAreJudged)
{
    ScanMachine s;
    TempDir removable, optical, network;
    s.system.MapDrive('E', removable.path(), kDriveRemovable);
    s.system.MapDrive('F', optical.path(), kDriveCdRom);
    s.system.MapDrive('G', network.path(), kDriveRemote);
    const std::string key = "SOFTWARE\\Vendor\\Install";
    s.Text(kLocalMachine, key, "Absent", "D:\\Setup\\setup.exe");
    s.Text(kLocalMachine, key, "Removable", "E:\\Setup\\setup.exe");
    s.Text(kLocalMachine, key, "Optical", "f:\\Setup\\setup.exe");
    s.Text(kLocalMachine, key, "Network", "G:\\Setup\\setup.exe");
    s.Text(kLocalMachine, key, "Fixed", "C:\\Setup\\setup.exe");
    s.Run(ScanSection::CompleteRegistryScan);
    EXPECT_EQ(Strings{"HKEY_LOCAL_MACHINE\\SOFTWARE\\vendor\\Install | Fixed | C:\\Setup\\setup.exe | C:\\Setup\\setup.exe"},
              s.Found());
}

TEST(RegistryWalk, ThirtyTwoBitRegistrationsNameThe32BitSystemFolder)
{
    ScanMachine s;
    s.SixtyFourBitWindows();
    s.File("C:\\WINDOWS\\SysWOW64\\only32.dll");
    const std::string lib = "TypeLib\\{00000000-0000-0000-0000-00000000ABCD}\\1.0\\0";
    s.Text(kClassesRoot, lib + "\\win32", nullptr, "C:\\WINDOWS\\system32\\only32.dll");
    s.Text(kClassesRoot, lib + "\\win64", nullptr, "C:\\WINDOWS\\system32\\only32.dll");
    s.Text(kClassesRoot, "TypeLib\\{00000000-0000-0000-0000-00000000EEEE}\\2.0\\9\\win32", nullptr,
           "C:\\WINDOWS\\system32\\gone.tlb");
    s.Run(ScanSection::ProgramId);
    EXPECT_EQ((Strings{
                  "HKEY_CLASSES_ROOT\\TypeLib\\{00000000-0000-0000-0000-00000000abcd}\\1.0\\0\\win64 | (Default) | "
                  "C:\\WINDOWS\\system32\\only32.dll | C:\\WINDOWS\\system32\\only32.dll",
                  "HKEY_CLASSES_ROOT\\TypeLib\\{00000000-0000-0000-0000-00000000eeee}\\2.0\\9\\win32 | (Default) | "
                  "C:\\WINDOWS\\system32\\gone.tlb | C:\\WINDOWS\\SysWOW64\\gone.tlb",
              }),
              s.Found());

    ScanMachine walk;
    walk.SixtyFourBitWindows();
    walk.File("C:\\WINDOWS\\SysWOW64\\only32.dll");
    walk.File("C:\\WINDOWS\\system32\\only64.dll");
    walk.Text(kLocalMachine, "SOFTWARE\\Wow6432Node\\Vendor", "Sound", "C:\\WINDOWS\\system32\\only32.dll");
    walk.Text(kLocalMachine, "SOFTWARE\\Wow6432Node\\Vendor", "Broken", "C:\\Windows\\System32\\only64.dll");
    walk.Text(kLocalMachine, "SOFTWARE\\Vendor", "Sound", "C:\\WINDOWS\\system32\\only64.dll");
    walk.Text(kLocalMachine, "SOFTWARE\\Vendor", "Broken", "C:\\WINDOWS\\system32\\only32.dll");
    walk.Run(ScanSection::CompleteRegistryScan);
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\Vendor | Broken | C:\\WINDOWS\\system32\\only32.dll | "
                  "C:\\WINDOWS\\system32\\only32.dll",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\wow6432node\\Vendor | Broken | C:\\Windows\\System32\\only64.dll | "
                  "C:\\WINDOWS\\SysWOW64\\only64.dll",
              }),
              walk.Found());
}

TEST(RegistryWalk, OnThirtyTwoBitWindowsTheSystemFolderIsTheOnlyOne)
{
    ScanMachine s;
    s.File("C:\\WINDOWS\\system32\\lib.dll");
    s.Text(kClassesRoot, "TypeLib\\{00000000-0000-0000-0000-00000000ABCD}\\1.0\\0\\win32", nullptr,
           "C:\\WINDOWS\\system32\\lib.dll");
    s.Run(ScanSection::ProgramId);
    EXPECT_EQ(Strings{}, s.Found());
}

// 64-bit Windows links the shared keys of the 32-bit view to their 64-bit places.
TEST(RegistryWalk, AKeyReachedByTwoPathsIsExaminedOnce)
{
    ScanMachine s;
    s.SixtyFourBitWindows();
    const std::string lib = "SOFTWARE\\Classes\\TypeLib\\{00000000-0000-0000-0000-00000000ABCD}\\1.0\\0\\win64";
    s.Text(kLocalMachine, lib, nullptr, "C:\\Libs\\gone.tlb");
    s.Text(kLocalMachine, "SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{1}\\InprocServer32", nullptr, "C:\\Libs\\gone32.dll");
    CreateLink(s.registry, kLocalMachine, "SOFTWARE\\Classes\\Wow6432Node\\TypeLib",
               "\\REGISTRY\\MACHINE\\Software\\Classes\\TypeLib");
    CreateLink(s.registry, kLocalMachine, "SOFTWARE\\Wow6432Node\\Classes",
               "\\Registry\\Machine\\Software\\Classes\\Wow6432Node");
    // A key outside the walked branches is walked through the first link that leads to it.
    s.Text(kUsers, "S-1-5-21-1000-2000-3000-1001_Classes\\App", "Icon", "C:\\Libs\\user.ico");
    CreateLink(s.registry, kCurrentUser, "SOFTWARE\\Classes",
               "\\REGISTRY\\USER\\S-1-5-21-1000-2000-3000-1001_Classes");
    CreateLink(s.registry, kCurrentUser, "SOFTWARE\\Vendor\\Classes",
               "\\REGISTRY\\USER\\S-1-5-21-1000-2000-3000-1001_Classes\\App");
    s.Run(ScanSection::CompleteRegistryScan);
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\classes\\typelib\\{00000000-0000-0000-0000-00000000abcd}\\1.0\\0\\win64 | "
                  "(Default) | C:\\Libs\\gone.tlb | C:\\Libs\\gone.tlb",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\classes\\wow6432node\\clsid\\{1}\\InprocServer32 | (Default) | "
                  "C:\\Libs\\gone32.dll | C:\\Libs\\gone32.dll",
                  "HKEY_CURRENT_USER\\SOFTWARE\\classes\\App | Icon | C:\\Libs\\user.ico | C:\\Libs\\user.ico",
              }),
              s.Found());
}

TEST(RegistryWalk, KeysThatRefuseWriteAccessAreWalked)
{
    ScanMachine s;
    s.Text(kLocalMachine, "SOFTWARE\\Vendor\\Locked\\Inner", "Path", "C:\\Gone\\inner.exe");
    s.Text(kLocalMachine, "SOFTWARE\\Vendor\\Locked", "Path", "C:\\Gone\\locked.exe");
    s.Text(kClassesRoot, "TypeLib\\{00000000-0000-0000-0000-00000000ABCD}\\1.0\\0\\win32", nullptr, "C:\\Gone\\x.tlb");
    for (const char* key : {"SOFTWARE", "SOFTWARE\\Vendor", "SOFTWARE\\Vendor\\Locked", "SOFTWARE\\Vendor\\Locked\\Inner",
                            "SOFTWARE\\Classes\\TypeLib",
                            "SOFTWARE\\Classes\\TypeLib\\{00000000-0000-0000-0000-00000000ABCD}\\1.0\\0\\win32"})
        RefuseWriteAccess(s.registry, kLocalMachine, key);
    s.Run(ScanSection::CompleteRegistryScan);
    s.Run(ScanSection::ProgramId);
    EXPECT_EQ((Strings{
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\classes\\typelib\\{00000000-0000-0000-0000-00000000abcd}\\1.0\\0\\win32 | "
                  "(Default) | C:\\Gone\\x.tlb | C:\\Gone\\x.tlb",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\vendor\\locked\\Inner | Path | C:\\Gone\\inner.exe | C:\\Gone\\inner.exe",
                  "HKEY_LOCAL_MACHINE\\SOFTWARE\\vendor\\Locked | Path | C:\\Gone\\locked.exe | C:\\Gone\\locked.exe",
                  "HKEY_CLASSES_ROOT\\TypeLib\\{00000000-0000-0000-0000-00000000abcd}\\1.0\\0\\win32 | (Default) | "
                  "C:\\Gone\\x.tlb | C:\\Gone\\x.tlb",
              }),
              s.Found());
}

TEST(RegistryWalk, SignalledStopEventEndsTheWalkPromptlyAndStillCountsAsRun)
{
    ScanMachine s;
    for (int i = 0; i < 200; ++i)
        s.Text(kLocalMachine, "SOFTWARE\\Big\\K" + std::to_string(i), "P", "C:\\Gone\\" + std::to_string(i) + ".exe");
    auto stop = s.system.MakeEvent(StopEventName(s.system), true, false, nullptr);
    stop->Set();
    auto completed = s.Run(ScanSection::CompleteRegistryScan);
    EXPECT_TRUE(s.engine.problems().empty());
    EXPECT_EQ(1u, completed.size());
}

}  // namespace
}  // namespace tw::test

namespace tw::test {
namespace {

// Under Wine every registry call is a round trip to the registry server: the walk asks each
// key for its counts once, takes value data from the enumeration and opens each key once,
// and a key with no subkeys is not asked for any.
TEST(RegistryWalk, EachKeyCostsOneOpenOneQueryAndItsEnumeration)
{
    ScanMachine s;
    const std::string branch = "SOFTWARE\\Vendor";
    std::size_t keys = 1, values = 0, inner = 0;
    for (int a = 0; a < 4; ++a) {
        const std::string group = branch + "\\Group " + std::to_string(a);
        ++keys;
        ++inner;
        for (int b = 0; b < 5; ++b) {
            const std::string leaf = group + "\\Leaf " + std::to_string(b);
            s.Text(kLocalMachine, leaf, "Path", "C:\\Gone\\" + std::to_string(a * 5 + b) + ".exe");
            s.Text(kLocalMachine, leaf, nullptr, "plain words");
            SetValue(s.registry, kLocalMachine, leaf, "Flags", kRegDword, B({1, 0, 0, 0}));
            ++keys;
            values += 3;
        }
    }
    CountingRegistry counting(s.registry);
    ScanEngine engine(counting, s.system, s.log);
    WalkRegistryBranch(engine, ScanSection::CompleteRegistryScan, kLocalMachine, branch.c_str(),
                       "HKEY_LOCAL_MACHINE\\" + branch);
    EXPECT_EQ(20u, engine.problems().size());
    EXPECT_EQ(keys, counting.count(CountingRegistry::kOpen));
    EXPECT_EQ(keys, counting.count(CountingRegistry::kQueryInfo));
    EXPECT_EQ(0u, counting.count(CountingRegistry::kQueryValue));
    EXPECT_EQ(values, counting.count(CountingRegistry::kEnumValue));
    // Each key that has subkeys: one call per subkey and the one that ends the list.
    EXPECT_EQ((keys - 1) + (inner + 1), counting.count(CountingRegistry::kEnumKey));
    EXPECT_EQ(0u, s.registry.OpenHandleCount());
}

// A link is told by its "SymbolicLinkValue" among the values the walk lists anyway; the
// other values of a link key are not examined, and the key it leads to is, once.
TEST(RegistryWalk, ALinkKeyIsToldFromItsListedValues)
{
    ScanMachine s;
    s.Text(kUsers, "S-1-5-21-1000-2000-3000-1001_Classes\\App", "Icon", "C:\\Libs\\user.ico");
    CreateLink(s.registry, kCurrentUser, "SOFTWARE\\Vendor\\Classes",
               "\\REGISTRY\\USER\\S-1-5-21-1000-2000-3000-1001_Classes\\App");
    s.Text(kCurrentUser, "SOFTWARE\\Vendor\\Plain", "SymbolicLinkValue", "C:\\Gone\\not a link.exe");
    s.Run(ScanSection::CompleteRegistryScan);
    EXPECT_EQ((Strings{
                  "HKEY_CURRENT_USER\\SOFTWARE\\vendor\\Classes | Icon | C:\\Libs\\user.ico | C:\\Libs\\user.ico",
                  "HKEY_CURRENT_USER\\SOFTWARE\\vendor\\Plain | SymbolicLinkValue | C:\\Gone\\not a link.exe | "
                  "C:\\Gone\\not a link.exe",
              }),
              s.Found());
}

}  // namespace
}  // namespace tw::test
