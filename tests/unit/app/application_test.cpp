#include "app/application.h"

#include "platform/memory/memory_system.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

struct Shell : ApplicationShell {
    std::vector<std::string> steps;
    void ShowMessage(const std::string& text, const std::string& caption) override
    {
        steps.push_back("message " + text + " / " + caption);
    }
    void InitialiseControls() override { steps.push_back("controls"); }
    void ShowSplash() override { steps.push_back("splash"); }
    void RunMainWindow() override { steps.push_back("main window"); }
};

TEST(Application, StartsControlsSplashThenTheMainWindow)
{
    MemorySystem system;
    Application app(system);
    Shell shell;
    EXPECT_FALSE(app.Start(shell));
    EXPECT_EQ((std::vector<std::string>{"controls", "splash", "main window"}), shell.steps);
    EXPECT_FALSE(app.refused());
}

TEST(Application, ASecondCopyIsRefusedWithItsMessageAndShowsNoWindow)
{
    MemorySystem system;
    Application first(system);
    Shell firstShell;
    first.Start(firstShell);  // still holds the event

    Application second(system);
    Shell shell;
    EXPECT_FALSE(second.Start(shell));
    EXPECT_TRUE(second.refused());
    EXPECT_EQ(std::vector<std::string>{"message An instance of Tarnwick is already running / Error"}, shell.steps);
}

}  // namespace
}  // namespace tw::test
