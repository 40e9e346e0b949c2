// tarnwick-cli snapshot write / restore over the memory platform.
#include "cli/cli.h"
#include "unit/snapshot/snapshot_test_support.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tw::test {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
};

CliRun RunCli(Registry& registry, System& system, cli::Arguments arguments)
{
    std::ostringstream out, err;
    cli::Context context{registry, system, out, err};
    int status = cli::Run(context, arguments);
    return {status, out.str(), err.str()};
}

TEST(SnapshotCommand, WritesBranchesAndRestoresADeletedOne)
{
    ScratchDrive drive;
    MemoryRegistry r;
    SetValue(r, kCurrentUser, "Software\\Demo", "Count", kRegDword, B({3, 0, 0, 0}));
    SetValue(r, kCurrentUser, "Software\\Demo", nullptr, kRegSz, Str("hello"));
    CreateKey(r, kCurrentUser, "Software\\Demo\\Sub");
    SetValue(r, kLocalMachine, "SOFTWARE\\Other", "x", kRegSz, Str("1"));

    CliRun run = RunCli(r, drive.system(),
                        {"snapshot", "write", "C:\\both.xml", "HKEY_CURRENT_USER\\Software\\Demo",
                         "HKEY_LOCAL_MACHINE\\SOFTWARE\\Other"});
    EXPECT_EQ(cli::kExitOk, run.status) << run.err;
    std::string file = drive.Read("both.xml");
    EXPECT_EQ(0u, file.find("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n <registry>\r\n  <k name=\"HKEY_CURRENT_USER\">"));
    EXPECT_NE(std::string::npos, file.find("  </k>\r\n  <k name=\"HKEY_LOCAL_MACHINE\">\r\n"));

    std::string before = DumpBranch(r, kCurrentUser, "Software\\Demo");
    WipeKey(r, kCurrentUser, "Software\\Demo");
    WipeKey(r, kLocalMachine, "SOFTWARE\\Other");
    run = RunCli(r, drive.system(), {"snapshot", "restore", "C:\\both.xml"});
    EXPECT_EQ(cli::kExitOk, run.status) << run.err;
    EXPECT_EQ("C:\\both.xml: 7 keys, 3 values restored\n", run.out);
    EXPECT_EQ(before, DumpBranch(r, kCurrentUser, "Software\\Demo"));
    EXPECT_TRUE(KeyExists(r, kLocalMachine, "SOFTWARE\\Other"));
}

TEST(SnapshotCommand, ReportsFailuresOnStandardErrorWithTheirStatus)
{
    ScratchDrive drive;
    MemoryRegistry r;
    const struct {
        cli::Arguments arguments;
        int status;
        std::string err;
    } cases[] = {
        {{"snapshot"}, cli::kExitUsage, "snapshot takes 'write' or 'restore'"},
        {{"snapshot", "write", "C:\\x.xml"}, cli::kExitUsage, "at least one key path"},
        {{"snapshot", "restore", "--fast", "C:\\x.xml"}, cli::kExitUsage, "unknown option '--fast'"},
        {{"snapshot", "write", "C:\\x.xml", "HKEY_CURRENT_USER\\Missing"}, cli::kExitFailed,
         "cannot write the branch HKEY_CURRENT_USER\\Missing"},
        {{"snapshot", "write", "C:\\no\\such\\folder.xml", "HKEY_CURRENT_USER"}, cli::kExitFailed,
         "cannot create C:\\no\\such\\folder.xml"},
        {{"snapshot", "restore", "C:\\missing.xml"}, cli::kExitFailed, "cannot open C:\\missing.xml"},
        {{"snapshot", "restore", "C:\\bad.xml"}, cli::kExitFailed,
         "C:\\bad.xml: Parse error in line 2 : (Bad '<' symbol)"},
        {{"snapshot", "restore", "C:\\noroot.xml"}, cli::kExitFailed,
         "C:\\noroot.xml: line 1: cannot open or create HKEY_NOWHERE (error 1)"},
    };
    drive.Put("bad.xml", "<registry>\r\n<k <k>\r\n");
    drive.Put("noroot.xml", "<k name=\"HKEY_NOWHERE\"/>\r\n");
    for (const auto& c : cases) {
        CliRun run = RunCli(r, drive.system(), c.arguments);
        EXPECT_EQ(c.status, run.status) << c.err;
        EXPECT_NE(std::string::npos, run.err.find(c.err)) << run.err;
    }
}

}  // namespace
}  // namespace tw::test
