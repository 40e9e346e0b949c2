// tarnwick-cli undo: the last repair taken back whole, once; a message and a failing status
// when there is nothing to undo.
#include "cli/cli.h"
#include "unit/cli/cli_run.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tw::test {
namespace {

class UndoCommand : public ::testing::Test {
protected:
    using Result = CliResult;
    Result Run(cli::Arguments args) { return RunCli(registry, machine.system, std::move(args)); }
    std::string Dump() { return DumpBranch(registry, kLocalMachine, "SOFTWARE"); }
    MemoryRegistry registry;
    ScratchMachine machine;
    const std::string appPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
};

TEST_F(UndoCommand, UndoesTheLastRepairOnceAndSaysWhatItWroteBack)
{
    Result none = Run({"undo"});
    EXPECT_EQ(1, none.status);
    EXPECT_EQ("There is no repair to undo.\n", none.err);

    SetValue(registry, kLocalMachine, appPaths + "\\Gone.exe", nullptr, kRegSz, Str("C:\\Tools\\gone.exe"));
    SetValue(registry, kLocalMachine, appPaths + "\\Gone.exe", "Path", kRegSz, Str("C:\\Tools"));
    const std::string before = Dump();
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
    ASSERT_EQ(0, Run({"repair", "ApplicationPaths"}).status);
    ASSERT_NE(before, Dump());

    Result undo = Run({"undo"});
    EXPECT_EQ(0, undo.status) << undo.err;
    EXPECT_EQ("Backup: C:\\Program Files\\Tarnwick\\Registry Backups\\2005-03-07_14-05-09.reg\n"
              "The repair is undone: 3 items were written back.\n",
              undo.out);
    EXPECT_EQ(before, Dump());

    Result again = Run({"undo"});
    EXPECT_EQ(1, again.status);
    EXPECT_EQ("The last repair (backup 2005-03-07_14-05-09.reg) is already undone.\n", again.err);
    EXPECT_EQ(2, Run({"undo", "now"}).status);
}

// The undo writes over a value set again since the repair only after saving it.
TEST_F(UndoCommand, WhatItWritesOverIsSavedFirstAndNamed)
{
    SetValue(registry, kLocalMachine, appPaths + "\\Gone.exe", nullptr, kRegSz, Str("C:\\Tools\\gone.exe"));
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 5, 9, 0});
    ASSERT_EQ(0, Run({"repair", "ApplicationPaths"}).status);
    SetValue(registry, kLocalMachine, appPaths + "\\Gone.exe", nullptr, kRegSz, Str("C:\\New\\gone.exe"));
    machine.system.SetLocalTime({2005, 3, 1, 7, 14, 6, 0, 0});
    Result undo = Run({"undo"});
    EXPECT_EQ(0, undo.status) << undo.err;
    EXPECT_NE(std::string::npos,
              undo.out.find("1 value holding other data was saved first in the backup 2005-03-07_14-06-00.reg.\n"))
        << undo.out;
    Result restored = Run({"backup", "restore", "2005-03-07_14-06-00.reg"});
    EXPECT_EQ(0, restored.status) << restored.err;
    Bytes data;
    ASSERT_TRUE(GetValue(registry, kLocalMachine, appPaths + "\\Gone.exe", "", nullptr, &data));
    EXPECT_EQ(Str("C:\\New\\gone.exe"), data);
}

}  // namespace
}  // namespace tw::test
