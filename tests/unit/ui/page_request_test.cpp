#include "ui/page_request.h"

#include <gtest/gtest.h>

namespace tw::test {
namespace {

using Step = PageDialogProtocol::Step;

TEST(PageDialogProtocol, HeaderButtonsCloseWithTheirPageRequest)
{
    const std::pair<int, int> cases[] = {
        {1049, kRequestMainPage}, {1056, kRequestAdvancedOptions}, {1017, kRequestSettingsPage}};
    for (const auto& [button, request] : cases) {
        PageDialogProtocol page;
        EXPECT_EQ(Step::Close, page.OnButton(button));
        EXPECT_EQ(request, page.pageRequest());
        EXPECT_FALSE(page.DestructionEndsApplication());
    }
}

TEST(PageDialogProtocol, OtherButtonsDoNotClose)
{
    PageDialogProtocol page;
    EXPECT_EQ(Step::Minimize, page.OnButton(1055));
    EXPECT_EQ(Step::OpenHelpPage, page.OnButton(1046));
    EXPECT_EQ(Step::OpenBackupManager, page.OnButton(1016));
    EXPECT_EQ(Step::None, page.OnButton(1234));
    EXPECT_EQ(kNoPageRequest, page.pageRequest());
    // Ended any other way now, it takes the application with it.
    EXPECT_TRUE(page.DestructionEndsApplication());
}

TEST(PageDialogProtocol, TheExitButtonEndsTheApplicationOnlyOnce)
{
    PageDialogProtocol page;
    EXPECT_EQ(Step::Exit, page.OnButton(1028));
    EXPECT_FALSE(page.DestructionEndsApplication());  // the exit already closed the main window
    EXPECT_EQ(kNoPageRequest, page.pageRequest());
}

TEST(PageDialogProtocol, WindowsWithOtherExitAndHelpIds)
{
    PageDialogProtocol page(1030, 1047);
    EXPECT_EQ(Step::OpenHelpPage, page.OnButton(1047));
    EXPECT_EQ(Step::None, page.OnButton(1046));
    EXPECT_EQ(Step::Exit, page.OnButton(1030));
}

TEST(PageDialogProtocol, TheBackupManagersRequestIsTakenOver)
{
    PageDialogProtocol page;
    EXPECT_EQ(Step::None, page.FinishBackupManager(kNoPageRequest));  // closed without one: stay
    EXPECT_TRUE(page.DestructionEndsApplication());
    EXPECT_EQ(Step::Close, page.FinishBackupManager(kRequestMainPage));
    EXPECT_EQ(kRequestMainPage, page.pageRequest());
    EXPECT_FALSE(page.DestructionEndsApplication());
}

TEST(PageDialogProtocol, TheOwnCloseButtonLeavesNoRequest)
{
    PageDialogProtocol page;
    EXPECT_EQ(Step::Close, page.CloseByOwnButton());
    EXPECT_EQ(kNoPageRequest, page.pageRequest());
    EXPECT_FALSE(page.DestructionEndsApplication());
}

}  // namespace
}  // namespace tw::test
