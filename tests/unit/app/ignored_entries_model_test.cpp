// The "Ignored entries" window without its window: the rows it shows from the registry and
// what "Take off the list" leaves there.
#include "app/ignored_entries_model.h"

#include "support/registry_fixture.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

struct FakeView : IgnoredEntriesView {
    std::vector<IgnoredRow> rows;
    bool removeEnabled = false;
    std::vector<std::string> messages;
    int closed = 0;
    void ShowRows(const std::vector<IgnoredRow>& r) override { rows = r; }
    void EnableRemove(bool enable) override { removeEnabled = enable; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void Close() override { ++closed; }
};

void Seed(Registry& registry)
{
    IgnoreList list(registry);
    list.Load();
    list.Add({"HKEY_LOCAL_MACHINE\\SOFTWARE\\Программа\\Run", std::string("a\\b")});
    list.Add({"HKEY_CLASSES_ROOT\\.zzz", std::string("")});
    list.Add({"HKEY_CLASSES_ROOT\\CLSID\\{ABC}", std::nullopt});
}

TEST(IgnoredEntries, ShowsEveryEntryWithItsKeyPathAndValueName)
{
    MemoryRegistry registry;
    Seed(registry);
    IgnoredEntriesModel model(registry);
    FakeView view;
    model.Open(view);
    EXPECT_EQ((std::vector<IgnoredRow>{{"HKEY_LOCAL_MACHINE\\SOFTWARE\\Программа\\Run", "a\\b"},
                                       {"HKEY_CLASSES_ROOT\\.zzz", "(Default)"},
                                       {"HKEY_CLASSES_ROOT\\CLSID\\{ABC}", "(the key itself)"}}),
              view.rows);
    EXPECT_TRUE(view.removeEnabled);
    EXPECT_TRUE(view.messages.empty());
}

TEST(IgnoredEntries, TakeOffTheListRemovesTheSelectedEntryFromTheRegistry)
{
    MemoryRegistry registry;
    Seed(registry);
    IgnoredEntriesModel model(registry);
    FakeView view;
    model.Open(view);
    EXPECT_TRUE(model.OnCommand(kIgnoredRemove, 1));
    ASSERT_EQ(2u, view.rows.size());
    EXPECT_EQ("HKEY_CLASSES_ROOT\\CLSID\\{ABC}", view.rows[1][0]);
    IgnoreList fresh(registry);
    fresh.Load();
    EXPECT_FALSE(fresh.Contains({"HKEY_CLASSES_ROOT\\.zzz", std::string("")}));
    EXPECT_EQ(2u, fresh.entries().size());

    model.OnCommand(kIgnoredRemove, 0);
    model.OnCommand(kIgnoredRemove, 0);
    EXPECT_TRUE(view.rows.empty());
    EXPECT_FALSE(view.removeEnabled);
    model.OnCommand(kIgnoredRemove, -1);
    EXPECT_EQ((std::vector<std::string>{kIgnoredNothingSelected}), view.messages);
    EXPECT_TRUE(model.OnCommand(kIgnoredClose, -1));
    EXPECT_EQ(1, view.closed);
    EXPECT_EQ(0u, registry.OpenHandleCount());
}

TEST(IgnoredEntries, AListThatCannotBeChangedIsTold)
{
    MemoryRegistry registry;
    Seed(registry);
    IgnoredEntriesModel model(registry);
    FakeView view;
    model.Open(view);
    registry.InjectFault(RegOp::DeleteKey, 1, kErrorAccessDenied);
    model.OnCommand(kIgnoredRemove, 0);
    EXPECT_EQ(3u, view.rows.size());
    EXPECT_EQ((std::vector<std::string>{
                  "The ignore list could not be written (error 5): HKEY_CURRENT_USER\\Software\\Tarnwick\\Ignored."}),
              view.messages);
}

}  // namespace
}  // namespace tw::test
