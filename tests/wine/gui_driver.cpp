#include "gui_driver.h"

#include "../../resources/resource.h"
#include "ui/report_ctrl.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <commctrl.h>

#include <fstream>
#include <thread>
#include <vector>

namespace tw::test::gui {

std::string TestFolder()
{
    std::vector<char> path(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            std::string module(path.data(), length);
            return module.substr(0, module.rfind('\\'));
        }
        path.resize(path.size() * 2);
    }
}

bool WaitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout,
             std::chrono::milliseconds poll)
{
    auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(poll);
    }
    return true;
}

void WaitUntilIdle(HWND window, std::chrono::milliseconds timeout)
{
    DWORD processId = 0;
    DWORD thread = GetWindowThreadProcessId(window, &processId);
    if (thread == 0)
        return;
    if (thread == GetCurrentThreadId()) {
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        return;
    }
    auto milliseconds = static_cast<UINT>(timeout.count());
    // A message sent is handled before anything posted: the round trip proves the thread is
    // pumping; the idle wait, that what was posted before it is done as well.
    DWORD_PTR answer = 0;
    SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, milliseconds, &answer);
    if (processId == GetCurrentProcessId()) {
        RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
        return;
    }
    if (HANDLE process = OpenProcess(SYNCHRONIZE | PROCESS_QUERY_INFORMATION, FALSE, processId)) {
        WaitForInputIdle(process, milliseconds);
        CloseHandle(process);
    }
}

std::string WindowText(HWND window)
{
    int length = GetWindowTextLengthA(window);
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    text.resize(static_cast<std::size_t>(GetWindowTextA(window, text.data(), length + 1)));
    return text;
}

std::string ControlText(HWND control)
{
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutA(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 5000, &length))
        return {};
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    SendMessageTimeoutA(control, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG, 5000,
                        &copied);
    text.resize(copied);
    return text;
}

namespace {

struct Search {
    DWORD processId;
    const std::string* title;
    const char* className;
    bool visibleOnly;
    HWND found;
};

BOOL CALLBACK Visit(HWND window, LPARAM data)
{
    auto* search = reinterpret_cast<Search*>(data);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || (search->visibleOnly && !IsWindowVisible(window)))
        return TRUE;
    char className[64] = {};
    GetClassNameA(window, className, sizeof className);
    if (search->className && std::string(className) != search->className)
        return TRUE;
    if (WindowText(window) != *search->title)
        return TRUE;
    search->found = window;
    return FALSE;
}

}  // namespace

HWND FindProcessWindow(DWORD processId, const std::string& title, const char* className, bool visibleOnly)
{
    Search search{processId, &title, className, visibleOnly, nullptr};
    EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

TarnwickRun::TarnwickRun()
{
    std::string folder = TestFolder();
    std::string command = "\"" + folder + "\\Tarnwick.exe\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    GetLocalTime(&startTime_);
    if (CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup,
                       &info)) {
        CloseHandle(info.hThread);
        process_ = info.hProcess;
        processId_ = info.dwProcessId;
    }
}

TarnwickRun::~TarnwickRun()
{
    if (!process_)
        return;
    if (WaitForSingleObject(process_, 0) == WAIT_TIMEOUT) {
        // Left running by a failed test: ask politely, then insist.
        if (HWND main = FindProcessWindow(processId_, "Tarnwick Version 2.6", "#32770", false))
            PostMessageA(main, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_, 5000) == WAIT_TIMEOUT) {
            TerminateProcess(process_, 1);
            WaitForSingleObject(process_, 5000);
        }
    }
    CloseHandle(process_);
}

HWND TarnwickRun::WaitForWindow(const std::string& title, const char* className, std::chrono::milliseconds timeout)
{
    HWND found = nullptr;
    WaitFor([&] { return (found = FindProcessWindow(processId_, title, className)) != nullptr; }, timeout);
    return found;
}

HWND TarnwickRun::WaitForMainWindow()
{
    return WaitForWindow("Tarnwick Version 2.6");
}

int TarnwickRun::WaitForExit(std::chrono::milliseconds timeout)
{
    if (!process_ || WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) != WAIT_OBJECT_0)
        return -1;
    DWORD code = 0;
    GetExitCodeProcess(process_, &code);
    return static_cast<int>(code);
}

HWND Control(HWND dialog, int id)
{
    return GetDlgItem(dialog, id);
}

bool Visible(HWND dialog, int id)
{
    HWND control = Control(dialog, id);
    return control && IsWindowVisible(control);
}

void Click(HWND dialog, int id)
{
    PostMessageA(Control(dialog, id), BM_CLICK, 0, 0);
}

bool Checked(HWND dialog, int id)
{
    return SendMessageA(Control(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

std::string MessageBoxText(HWND box)
{
    // The message box's text is its static control 0xFFFF.
    HWND text = GetDlgItem(box, 0xFFFF);
    return text ? WindowText(text) : std::string();
}

void PressOk(HWND box)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, IDOK)));
}

void PressButton(HWND box, int id)
{
    PostMessageA(box, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(box, id)));
}

int ComboCount(HWND combo)
{
    return static_cast<int>(SendMessageA(combo, CB_GETCOUNT, 0, 0));
}

std::string ComboText(HWND combo, int index)
{
    // Across processes the system carries CB_GETLBTEXT's text in the control's own (wide)
    // form: ask for that and convert it.
    LRESULT length = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR)
        return {};
    std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
    LRESULT got = SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(wide.data()));
    if (got == CB_ERR || got > length)
        return {};
    wide.resize(static_cast<std::size_t>(got));
    int size = WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
    if (size > 0)
        WideCharToMultiByte(CP_ACP, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr, nullptr);
    return text;
}

int ComboSelection(HWND combo)
{
    return static_cast<int>(SendMessageA(combo, CB_GETCURSEL, 0, 0));
}

void SelectComboItem(HWND combo, int index)
{
    SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

namespace {

// A block of memory in the process that owns a window, freed with the object.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, std::size_t size) : size_(size)
    {
        DWORD processId = 0;
        GetWindowThreadProcessId(window, &processId);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId);
        if (process_)
            address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer()
    {
        if (address_)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_)
            CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool ok() const { return address_ != nullptr; }
    char* address() const { return static_cast<char*>(address_); }
    bool Write(std::size_t offset, const void* data, std::size_t length)
    {
        SIZE_T written = 0;
        return offset + length <= size_ &&
               WriteProcessMemory(process_, address() + offset, data, length, &written) && written == length;
    }
    bool Read(std::size_t offset, void* data, std::size_t length)
    {
        SIZE_T read = 0;
        return offset + length <= size_ && ReadProcessMemory(process_, address() + offset, data, length, &read) &&
               read == length;
    }

private:
    std::size_t size_;
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

bool SetRemoteItemState(HWND list, int row, UINT mask, UINT state)
{
    RemoteBuffer buffer(list, sizeof(LVITEMA));
    LVITEMA item{};
    item.stateMask = mask;
    item.state = state;
    if (!buffer.ok() || !buffer.Write(0, &item, sizeof item))
        return false;
    return SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(buffer.address())) !=
           0;
}

}  // namespace

int ListRowCount(HWND list)
{
    return static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
}

std::string ListText(HWND list, int row, int column)
{
    constexpr std::size_t kTextSize = 4096;
    RemoteBuffer buffer(list, sizeof(LVITEMA) + kTextSize);
    if (!buffer.ok())
        return {};
    LVITEMA item{};
    item.iSubItem = column;
    item.pszText = buffer.address() + sizeof(LVITEMA);
    item.cchTextMax = static_cast<int>(kTextSize);
    if (!buffer.Write(0, &item, sizeof item))
        return {};
    auto length = static_cast<std::size_t>(
        SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(buffer.address())));
    if (length >= kTextSize)
        length = kTextSize - 1;
    std::string text(length, '\0');
    if (length > 0 && !buffer.Read(sizeof(LVITEMA), text.data(), length))
        return {};
    return text;
}

bool ListChecked(HWND list, int row)
{
    auto state =
        static_cast<UINT>(SendMessageA(list, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_STATEIMAGEMASK));
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}

void SetListChecked(HWND list, int row, bool checked)
{
    SetRemoteItemState(list, row, LVIS_STATEIMAGEMASK, INDEXTOSTATEIMAGEMASK(checked ? 2 : 1));
}

void SelectListRow(HWND list, int row)
{
    SetRemoteItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, row);
}

std::vector<std::uint32_t> ScreenPixels(HWND window)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return {};
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    std::vector<std::uint32_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    SelectObject(memory, old);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    GetDIBits(memory, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

bool SaveScreenshot(HWND window, const std::string& name)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return false;
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    WaitUntilIdle(window);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up, as BMP files store rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 24;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = false;
    if (bitmap) {
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY | CAPTUREBLT);
        GdiFlush();
        SelectObject(memory, old);
        DWORD stride = (static_cast<DWORD>(width) * 3 + 3) & ~3u;
        DWORD imageSize = stride * static_cast<DWORD>(height);
        BITMAPFILEHEADER file{};
        file.bfType = 0x4D42;
        file.bfOffBits = sizeof file + sizeof info.bmiHeader;
        file.bfSize = file.bfOffBits + imageSize;
        info.bmiHeader.biSizeImage = imageSize;
        std::string folder = TestFolder() + "\\screenshots";
        CreateDirectoryA(folder.c_str(), nullptr);
        std::ofstream out(folder + "\\" + name + ".bmp", std::ios::binary);
        out.write(reinterpret_cast<const char*>(&file), sizeof file);
        out.write(reinterpret_cast<const char*>(&info.bmiHeader), sizeof info.bmiHeader);
        out.write(static_cast<const char*>(bits), imageSize);
        ok = static_cast<bool>(out);
        DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return ok;
}

HWND WaitForPage(TarnwickRun& run, int id)
{
    HWND found = nullptr;
    WaitFor([&] {
        HWND w = FindProcessWindow(run.processId(), kPageWindowTitle);
        if (w && GetDlgItem(w, id))
            found = w;
        return found != nullptr;
    }, std::chrono::milliseconds(60000));
    return found;
}

void TickOnly(HWND main, std::initializer_list<int> boxes)
{
    for (int id = IDC_CHK_COMPLETE_REGISTRY; id <= IDC_CHK_SHORTCUTS; ++id) {
        bool want = std::find(boxes.begin(), boxes.end(), id) != boxes.end();
        if (Checked(main, id) != want)
            SendMessageA(Control(main, id), BM_CLICK, 0, 0);
    }
}

HWND OkToResults(TarnwickRun& run)
{
    HWND done = run.WaitForWindow("Tarnwick", "#32770", std::chrono::milliseconds(120000));
    if (!done)
        return nullptr;
    PressOk(done);
    return WaitForPage(run, IDC_RESULTS_LIST);
}

std::vector<ReportRow> ReportRows(HWND list)
{
    std::vector<ReportRow> rows;
    int count = static_cast<int>(SendMessageA(list, CReportCtrl::kRowCountMessage, 0, 0));
    for (int r = 0; r < count; ++r) {
        ReportRow row;
        row.check = static_cast<int>(SendMessageA(list, CReportCtrl::kSelectCellMessage, r, 0));
        SendMessageA(list, CReportCtrl::kSelectCellMessage, r, 1);
        row.text = ControlText(list);
        SendMessageA(list, CReportCtrl::kSelectCellMessage, r, 2);
        row.count = ControlText(list);
        rows.push_back(row);
    }
    return rows;
}

int FindRow(const std::vector<ReportRow>& rows, const std::string& text)
{
    for (std::size_t i = 0; i < rows.size(); ++i)
        if (rows[i].text == text)
            return static_cast<int>(i);
    return -1;
}

void ClickCell(HWND list, int row, int column, bool twice)
{
    LRESULT at = SendMessageA(list, CReportCtrl::kCheckPointMessage, row, column);
    if (at == -1) {
        ADD_FAILURE() << "no check box at row " << row << ", column " << column;
        return;
    }
    PostMessageA(list, twice ? WM_LBUTTONDBLCLK : WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageA(list, WM_LBUTTONUP, 0, at);
}

}  // namespace tw::test::gui
