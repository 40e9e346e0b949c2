// The page-dialog protocol on real windows: a page dialog built from a template in memory
// takes a stand-in main window's place, and gives it back as each way of closing says.
#include "ui/skin_dialog.h"

#include "gui_driver.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace tw::test {
namespace {

// A dialog template: a popup with the header buttons, a Close button (1029) and nothing else.
std::vector<WORD> PageTemplate()
{
    const int ids[] = {1049, 1056, 1016, 1017, 1046, 1055, 1028, 1029};
    std::vector<WORD> t;
    auto dword = [&](DWORD v) {
        t.push_back(LOWORD(v));
        t.push_back(HIWORD(v));
    };
    auto align = [&] {
        if (t.size() % 2)
            t.push_back(0);
    };
    dword(WS_POPUP | WS_VISIBLE | DS_SETFONT);
    dword(0);
    t.push_back(static_cast<WORD>(std::size(ids)));
    for (int v : {0, 0, 300, 200})
        t.push_back(static_cast<WORD>(v));
    t.push_back(0);  // no menu
    t.push_back(0);  // default class
    t.push_back(0);  // no title
    t.push_back(8);  // font size and name
    for (wchar_t c : std::wstring(L"MS Shell Dlg"))
        t.push_back(c);
    t.push_back(0);
    int x = 5;
    for (int id : ids) {
        align();
        dword(WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON);
        dword(0);
        for (int v : {x, 5, 30, 14})
            t.push_back(static_cast<WORD>(v));
        t.push_back(static_cast<WORD>(id));
        t.push_back(0xFFFF);
        t.push_back(0x0080);  // button
        t.push_back(0);       // no text
        t.push_back(0);       // no creation data
        x += 35;
    }
    return t;
}

std::atomic<int> closesReceived{0};

LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_CLOSE) {
        ++closesReceived;
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

struct Host : PageHost {
    HWND main = nullptr;
    int backupAnswer = 0;
    int backupOpened = 0;
    int helpOpened = 0;
    HWND MainWindow() override { return main; }
    int OpenBackupManager(BackupManagerMode) override
    {
        ++backupOpened;
        return backupAnswer;
    }
    void OpenHelpPage() override { ++helpOpened; }
};

class TestPage : public PageDialog {
public:
    TestPage(Host& host, const std::vector<WORD>& t) : PageDialog(0, host, 230, RGB(0, 255, 0))
    {
        UseTemplate(reinterpret_cast<const DLGTEMPLATE*>(t.data()));
    }

protected:
    BOOL OnInitDialog() override
    {
        SetUpPage("Test page");
        return TRUE;
    }
    bool OnCommand(int id, int code, HWND control) override
    {
        if (id == 1029) {
            ClosePage();
            return true;
        }
        if (id == IDCANCEL) {
            EndDialog(5);  // ended neither by its own buttons nor by a request
            return true;
        }
        return PageDialog::OnCommand(id, code, control);
    }
};

class PageDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSA wc{};
        wc.lpfnWndProc = MainProc;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.lpszClassName = "TarnwickTestMain";
        RegisterClassA(&wc);
        host.main = CreateWindowExA(0, "TarnwickTestMain", "stand-in main window", WS_POPUP | WS_VISIBLE, 100, 100,
                                    400, 300, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        ASSERT_NE(nullptr, host.main);
        closesReceived = 0;
    }
    void TearDown() override { DestroyWindow(host.main); }

    // Runs the page modally while `act` works it from another thread.
    int Run(const std::function<void(HWND page)>& act)
    {
        std::vector<WORD> t = PageTemplate();
        TestPage page(host, t);
        std::thread driver([&] {
            HWND window = nullptr;
            gui::WaitFor([&] {
                return (window = gui::FindProcessWindow(GetCurrentProcessId(), "Tarnwick version 2.6")) != nullptr;
            });
            if (window)
                act(window);
        });
        page.DoModal();
        driver.join();
        return page.pageRequest();
    }
    RECT MainRect()
    {
        RECT r;
        GetWindowRect(host.main, &r);
        return r;
    }
    Host host;
};

TEST_F(PageDialogTest, TakesTheMainWindowsPlaceAndGivesBackWhereItWasMoved)
{
    RECT seen{}, mainShown{};
    bool mainHidden = false;
    int request = Run([&](HWND page) {
        GetWindowRect(page, &seen);
        mainHidden = !IsWindowVisible(host.main);
        SetWindowPos(page, nullptr, 220, 160, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        gui::Click(page, 1049);
    });
    EXPECT_EQ(100, seen.left);
    EXPECT_EQ(100, seen.top);
    EXPECT_EQ(400, seen.right - seen.left);
    EXPECT_TRUE(mainHidden);
    EXPECT_EQ(kRequestMainPage, request);
    EXPECT_TRUE(IsWindowVisible(host.main));
    mainShown = MainRect();
    EXPECT_EQ(220, mainShown.left);
    EXPECT_EQ(160, mainShown.top);
    EXPECT_EQ(0, closesReceived.load());
}

TEST_F(PageDialogTest, HeaderButtonsLeaveTheirRequests)
{
    const std::pair<int, int> cases[] = {{1056, kRequestAdvancedOptions}, {1017, kRequestSettingsPage}};
    for (const auto& [button, expected] : cases) {
        EXPECT_EQ(expected, Run([&](HWND page) { gui::Click(page, button); })) << button;
        EXPECT_EQ(0, closesReceived.load());
    }
}

TEST_F(PageDialogTest, TheOwnCloseButtonLeavesNoRequestAndTheApplicationRuns)
{
    EXPECT_EQ(kNoPageRequest, Run([](HWND page) { gui::Click(page, 1029); }));
    EXPECT_EQ(0, closesReceived.load());
    EXPECT_TRUE(IsWindowVisible(host.main));
}

TEST_F(PageDialogTest, TheExitButtonClosesTheMainWindowOnce)
{
    EXPECT_EQ(kNoPageRequest, Run([](HWND page) { gui::Click(page, 1028); }));
    EXPECT_EQ(1, closesReceived.load());
}

TEST_F(PageDialogTest, EndedAnyOtherWayItEndsTheApplicationAndStillGivesBackItsPlace)
{
    int request = Run([](HWND page) {
        SetWindowPos(page, nullptr, 240, 170, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        PostMessageA(page, WM_COMMAND, IDCANCEL, 0);
    });
    EXPECT_EQ(kNoPageRequest, request);
    EXPECT_EQ(1, closesReceived.load());
    EXPECT_EQ(240, MainRect().left);
    EXPECT_TRUE(IsWindowVisible(host.main));
}

TEST_F(PageDialogTest, TheBackupManagersRequestIsTakenOverAndHelpGoesToTheMainWindow)
{
    host.backupAnswer = kRequestMainPage;
    int request = Run([&](HWND page) {
        gui::Click(page, 1046);
        gui::Click(page, 1016);
    });
    EXPECT_EQ(1, host.helpOpened);
    EXPECT_EQ(1, host.backupOpened);
    EXPECT_EQ(kRequestMainPage, request);

    // Without a request from the backup manager the page stays until it is closed.
    host.backupAnswer = 0;
    request = Run([&](HWND page) {
        // Sent, not posted: when it returns, the page has handled the click whole.
        SendMessageA(gui::Control(page, 1016), BM_CLICK, 0, 0);
        EXPECT_TRUE(IsWindow(page));
        gui::Click(page, 1029);
    });
    EXPECT_EQ(kNoPageRequest, request);
    EXPECT_EQ(2, host.backupOpened);
}

}  // namespace
}  // namespace tw::test
