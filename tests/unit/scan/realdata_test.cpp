// Real registry exports of Windows 10 machines (tests/fixtures/realdata, see its README): data
// nobody here wrote. Every file their entries name existed on their machine, so once those
// files are there, a sound scan reports none of them; with a sample taken away again, it
// reports exactly the entries that name the files taken away. Every path a finding names
// must be one a file could have.
#include "scan_test_support.h"
#include "support/reg_file.h"

#include <algorithm>
#include <filesystem>
#include <set>

namespace tw::test {
namespace {

std::string RealDataText(const char* name)
{
    return ReadXzFile(std::string(TARNWICK_SOURCE_DIR) + "/tests/fixtures/realdata/" + name);
}

// A full path of a local drive with no character that no Windows path may hold.
bool IsFilePath(const std::string& path)
{
    return path.size() > 3 && path[1] == ':' && path[2] == '\\' &&
           path.find_first_of("<>|*?\"", 2) == std::string::npos && path.find(" -") == std::string::npos;
}

class RealData : public ::testing::Test {
protected:
    void SetUp() override
    {
        scan.SixtyFourBitWindows();
        scan.system.SetEnvironment("SystemRoot", "C:\\WINDOWS");
        scan.system.SetEnvironment("windir", "C:\\WINDOWS");
        scan.system.SetEnvironment("SystemDrive", "C:");
        scan.system.SetEnvironment("ProgramFiles", "C:\\Program Files");
        scan.system.SetEnvironment("ProgramData", "C:\\ProgramData");
    }
    // Makes what each path names: a folder where another path lies below it, else a file,
    // under the name Windows gives it (trailing blanks and dots dropped).
    void Make(const std::set<std::string>& paths)
    {
        for (const std::string& path : paths) {
            std::string name = path;
            while (!name.empty() && (name.back() == ' ' || name.back() == '.'))
                name.pop_back();
            auto next = paths.upper_bound(path);
            const bool folder = next != paths.end() && next->rfind(path + "\\", 0) == 0;
            if (folder)
                std::filesystem::create_directories(scan.dir.Host(name));
            else if (!std::filesystem::is_directory(scan.dir.Host(name)))
                scan.File(name);
        }
    }
    static std::string Named(std::string path)
    {
        while (!path.empty() && (path.back() == ' ' || path.back() == '.'))
            path.pop_back();
        return path;
    }
    void Import(const char* file, const std::vector<std::pair<std::string, std::string>>& renames = {})
    {
        const std::string text = RealDataText(file);
        ASSERT_FALSE(text.empty()) << file << ": xz could not read it";
        RegImport imported = ImportRegText(scan.registry, text, renames);
        ASSERT_EQ("", imported.error);
        ASSERT_GT(imported.values, 1000u) << file;
    }
    // The findings of a fresh scan of `section`: description (the path judged) -> findings.
    std::multiset<std::string> Scan(ScanSection section)
    {
        scan.engine.problems().clear();
        scan.Run(section);
        std::multiset<std::string> described;
        for (const auto& p : scan.engine.problems())
            described.insert(p->description);
        return described;
    }
    // Creates every described file, checks that none is reported then, and that taking a
    // sample away again reports exactly the entries naming it.
    void EveryNamedFileThereMeansNoFinding(ScanSection section, std::size_t atLeast)
    {
        const std::multiset<std::string> bare = Scan(section);
        std::set<std::string> paths;
        for (const std::string& d : bare) {
            EXPECT_TRUE(IsFilePath(d)) << "a finding names no file: " << d;
            paths.insert(d);
        }
        ASSERT_GE(bare.size(), atLeast);
        Make(paths);
        EXPECT_EQ(std::multiset<std::string>{}, Scan(section));

        std::multiset<std::string> removed;
        std::size_t i = 0;
        for (const std::string& path : paths) {
            if (i++ % 9 != 0)
                continue;
            std::filesystem::remove(scan.dir.Host(Named(path)));
            removed.insert(bare.lower_bound(path), bare.upper_bound(path));
        }
        EXPECT_EQ(removed, Scan(section));
    }

    ScanMachine scan;
};

TEST_F(RealData, ServicesOfAWindows10MachineNameOnlyFilesAndNoneOnceTheyAreThere)
{
    Import("win10-1709-services.reg.xz");
    EveryNamedFileThereMeansNoFinding(ScanSection::SystemServices, 400);
}

// The per-user classes, where HKEY_CLASSES_ROOT shows them.
TEST_F(RealData, PerUserClassesNameOnlyFilesAndNoneOnceTheyAreThere)
{
    Import("win10-2018-usrclass.reg.xz", {{"HKEY_CURRENT_USER\\Software\\Classes", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Classes"}});
    for (ScanSection section : {ScanSection::ProgramId, ScanSection::FileAssociations}) {
        SCOPED_TRACE(static_cast<int>(section));
        const std::multiset<std::string> bare = Scan(section);
        std::set<std::string> files;
        std::multiset<std::string> others;
        for (const std::string& d : bare) {
            if (d.size() > 2 && d[1] == ':') {
                EXPECT_TRUE(IsFilePath(d)) << "a finding names no file: " << d;
                files.insert(d);
            } else {
                others.insert(d);
            }
        }
        Make(files);
        // What is left names no file: a class or an association the data itself lacks.
        EXPECT_EQ(others, Scan(section));
    }
}

}  // namespace
}  // namespace tw::test
