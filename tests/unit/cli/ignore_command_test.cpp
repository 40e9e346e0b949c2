// tarnwick-cli ignore: what list, add and remove print, what they leave in the registry, and
// their exit statuses for a bad path, a missing entry and an entry added twice.
#include "cli/cli.h"
#include "unit/cli/cli_run.h"
#include "scan/ignore_list.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tw::test {
namespace {

class IgnoreCommand : public ::testing::Test {
protected:
    using Result = CliResult;
    Result Run(cli::Arguments args) { return RunCli(registry, machine.system, std::move(args)); }
    std::vector<IgnoredEntry> Listed()
    {
        IgnoreList list(registry);
        list.Load();
        return list.entries();
    }
    MemoryRegistry registry;
    ScratchMachine machine;
};

TEST_F(IgnoreCommand, AddListAndRemoveKeysAndValuesOfAnyName)
{
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Программа\\Run";
    EXPECT_EQ(0, Run({"ignore", "add", key, "a\\b"}).status);
    EXPECT_EQ(0, Run({"ignore", "add", key, ""}).status);
    Result added = Run({"ignore", "add", "HKEY_CLASSES_ROOT\\.zzz"});
    EXPECT_EQ(0, added.status);
    EXPECT_EQ("added HKEY_CLASSES_ROOT\\.zzz\n", added.out);
    ASSERT_EQ(3u, Listed().size());
    EXPECT_EQ(std::optional<std::string>(""), Listed()[1].valueName);
    EXPECT_EQ(std::nullopt, Listed()[2].valueName);

    Result list = Run({"ignore", "list"});
    EXPECT_EQ(0, list.status);
    EXPECT_EQ(key + "\ta\\b\n" + key + "\t\nHKEY_CLASSES_ROOT\\.zzz\n", list.out);
    Result json = Run({"ignore", "list", "--json"});
    EXPECT_EQ("{\"keyPath\":\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Программа\\\\Run\",\"deleteType\":\"VAL\","
              "\"valueName\":\"a\\\\b\"}\n"
              "{\"keyPath\":\"HKEY_LOCAL_MACHINE\\\\SOFTWARE\\\\Программа\\\\Run\",\"deleteType\":\"VAL\","
              "\"valueName\":\"\"}\n"
              "{\"keyPath\":\"HKEY_CLASSES_ROOT\\\\.zzz\",\"deleteType\":\"KEY\"}\n",
              json.out);

    Result removed = Run({"ignore", "remove", "hkey_local_machine\\software\\программа\\run", "A\\B"});
    EXPECT_EQ(0, removed.status) << removed.err;
    EXPECT_EQ("removed hkey_local_machine\\software\\программа\\run\tA\\B\n", removed.out);
    EXPECT_EQ(2u, Listed().size());
}

TEST_F(IgnoreCommand, AnEntryAddedTwiceIsListedOnce)
{
    EXPECT_EQ(0, Run({"ignore", "add", "HKEY_CLASSES_ROOT\\.zzz", "n"}).status);
    Result again = Run({"ignore", "add", "HKEY_CLASSES_ROOT\\.ZZZ", "N"});
    EXPECT_EQ(0, again.status);
    EXPECT_EQ("already listed HKEY_CLASSES_ROOT\\.ZZZ\tN\n", again.out);
    EXPECT_EQ(1u, Listed().size());
}

TEST_F(IgnoreCommand, AMissingEntryOrABadPathFailsWithAMessage)
{
    EXPECT_EQ(0, Run({"ignore", "add", "HKEY_CLASSES_ROOT\\.zzz", "n"}).status);
    Result missing = Run({"ignore", "remove", "HKEY_CLASSES_ROOT\\.zzz"});  // the key, not its value
    EXPECT_EQ(cli::kExitFailed, missing.status);
    EXPECT_EQ("tarnwick-cli: not on the ignore list: HKEY_CLASSES_ROOT\\.zzz\n", missing.err);
    EXPECT_EQ(1u, Listed().size());

    for (const char* bad : {"NOWHERE\\Key", "HKEY_CLASSES_ROOT", "HKEY_CLASSES_ROOT\\", ".zzz"}) {
        Result r = Run({"ignore", "add", bad});
        EXPECT_EQ(cli::kExitUsage, r.status) << bad;
        EXPECT_NE(std::string::npos, r.err.find("is not a full key path")) << r.err;
    }
    EXPECT_EQ(cli::kExitUsage, Run({"ignore"}).status);
    EXPECT_EQ(cli::kExitUsage, Run({"ignore", "forget", "HKEY_CLASSES_ROOT\\.zzz"}).status);
    EXPECT_EQ(cli::kExitUsage, Run({"ignore", "add", "HKEY_CLASSES_ROOT\\.zzz", "a", "b"}).status);
    EXPECT_EQ(cli::kExitUsage, Run({"ignore", "add", "HKEY_CLASSES_ROOT\\.zzz", "--json"}).status);
    EXPECT_EQ(1u, Listed().size());
}

TEST_F(IgnoreCommand, AListThatCannotBeWrittenIsTold)
{
    registry.InjectFault(RegOp::CreateKeyEx, 1, kErrorAccessDenied);
    Result r = Run({"ignore", "add", "HKEY_CLASSES_ROOT\\.zzz"});
    EXPECT_EQ(cli::kExitFailed, r.status);
    EXPECT_EQ("tarnwick-cli: the ignore list cannot be written (error 5): HKEY_CURRENT_USER\\Software\\Tarnwick\\Ignored\n",
              r.err);
    EXPECT_TRUE(Listed().empty());
}

}  // namespace
}  // namespace tw::test
