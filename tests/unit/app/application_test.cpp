#include "app/application.h"

#include "platform/memory/memory_system.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

struct Shell : ApplicationShell {
    std::vector<std::string> steps;
    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        steps.push_back("message " + text + " / " + caption + (icon == MessageIcon::Information ? " / information" : ""));
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

TEST(Application, The32BitBuildOn64BitWindowsSaysWhichBuildToUseAndEnds)
{
    MemorySystem system;
    system.SetWow64(true);
    Application app(system);
    Shell shell;
    EXPECT_FALSE(app.Start(shell));
    EXPECT_TRUE(app.refused());
    EXPECT_EQ(std::vector<std::string>{"message This copy of Tarnwick is for 32-bit Windows. On 64-bit Windows, use "
                                       "the 64-bit Tarnwick. / Tarnwick / information"},
              shell.steps);

    // It held no instance guard: the right build starts afterwards.
    system.SetWow64(false);
    Application next(system);
    Shell nextShell;
    next.Start(nextShell);
    EXPECT_FALSE(next.refused());
    EXPECT_EQ((std::vector<std::string>{"controls", "splash", "main window"}), nextShell.steps);
}

}  // namespace
}  // namespace tw::test
