// The scan against the real registry and file system under Wine: a registry and a drive
// seeded with one broken and one sound entry for every section, and shortcut files made by
// the shell's own link object. The scan must report exactly the broken ones. Everything
// seeded carries "twscan" or lies in C:\tarnwick-scan-test, so what the prefix itself holds
// is told apart (and printed, for a look at what a fresh system gives).
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "scan/scan_driver.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <iostream>

namespace tw::test {
namespace {

using Strings = std::vector<std::string>;

const std::string D = "C:\\tarnwick-scan-test";
const std::string kTypeLib = "TypeLib\\{7E57AB1E-0000-4000-8000-00000000C0DE}";
const std::string kShared = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string kDrivers = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32";
const std::string kHelp = "SOFTWARE\\Microsoft\\Windows\\Help";
const std::string kAppPaths = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";
const std::string kFonts = "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts";
const std::string kServices = "SYSTEM\\CurrentControlSet\\Services";
const std::string kRun = "Software\\Microsoft\\Windows\\Currentversion\\Run";
const std::string kSounds = "AppEvents\\Schemes\\Apps\\.Default";
const std::string kFolders = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";
const std::string kUninstall = "Software\\Microsoft\\Windows\\Currentversion\\Uninstall";

bool MakeShellLink(const std::string& target, const std::string& linkPath)
{
    CoInitialize(nullptr);
    IShellLinkA* link = nullptr;
    IPersistFile* file = nullptr;
    bool ok = SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                         reinterpret_cast<void**>(&link))) &&
              SUCCEEDED(link->SetPath(target.c_str())) &&
              SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)));
    if (ok) {
        WCHAR wide[MAX_PATH];
        MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
        ok = SUCCEEDED(file->Save(wide, TRUE));
    }
    if (file)
        file->Release();
    if (link)
        link->Release();
    CoUninitialize();
    return ok;
}

void Touch(const std::string& path)
{
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << path;
    CloseHandle(h);
}

void RemoveTree(const std::string& directory)
{
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((directory + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            std::string path = directory + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(directory.c_str());
}

bool Ours(const std::string& text)
{
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
    return lower.find("twscan") != std::string::npos || lower.find("tarnwick-scan-test") != std::string::npos;
}

class ScanUnderWine : public ::testing::Test {
protected:
    void SetUp() override
    {
        TearDown();
        CreateDirectoryA(D.c_str(), nullptr);
        CreateDirectoryA((D + "\\links").c_str(), nullptr);
        for (const char* file : {"there.exe", "there.dll", "twscanthere.hlp", "there.wav", "there.tlb", "gone-target.txt"})
            Touch(D + "\\" + file);
        ASSERT_TRUE(MakeShellLink(D + "\\gone-target.txt", D + "\\links\\gone.lnk"));
        ASSERT_TRUE(MakeShellLink(D + "\\there.exe", D + "\\links\\there.lnk"));
        ASSERT_TRUE(MakeShellLink(D, D + "\\links\\folder.lnk"));
        DeleteFileA((D + "\\gone-target.txt").c_str());
    }

    void TearDown() override
    {
        RemoveTree(D);
        WipeKey(r, kLocalMachine, "SOFTWARE\\TwScanVendor");
        WipeKey(r, kCurrentUser, "SOFTWARE\\TwScanVendor");
        WipeKey(r, kClassesRoot, kTypeLib);
        WipeKey(r, kClassesRoot, "TypeLib\\{7E57AB1E-0000-4000-8000-00000000BEEF}");
        for (const char* key : {".twscan1", ".twscan2", ".twscan3", ".twscan4", ".twscan5", "twscan3file", "twscan4file"})
            WipeKey(r, kClassesRoot, key);
        for (const char* key : {"TwScanGone.exe", "TwScanThere.exe"})
            WipeKey(r, kLocalMachine, kAppPaths + "\\" + key);
        for (const char* key : {"TwScanGone", "TwScanWinDir", "TwScanThere"})
            WipeKey(r, kLocalMachine, kServices + "\\" + key);
        for (const char* key : {"TwScanEvent", "TwScanEvent2"})
            WipeKey(r, kCurrentUser, kSounds + "\\" + key);
        for (const char* key : {"TwScanGone", "TwScanThere"})
            WipeKey(r, kLocalMachine, kUninstall + "\\" + key);
        DeleteValues(kLocalMachine, kShared, {D + "\\gone.dll", D + "\\there.dll", "twscanbare.dll"});
        DeleteValues(kLocalMachine, kDrivers, {"twscan.wave", "twscan.midi"});
        DeleteValues(kLocalMachine, kHelp, {"twscangone.hlp", "twscanthere.hlp"});
        DeleteValues(kLocalMachine, kFonts, {"TwScan Gone (TrueType)", "TwScan There (TrueType)"});
        DeleteValues(kLocalMachine, kRun, {"TwScanGone", "TwScanThere", "TwScanWin"});
        DeleteValues(kCurrentUser, kFolders, {"TwScanFolder", "TwScanDesktop"});
        DeleteValues(kLocalMachine, kFolders, {"TwScanCommon"});
    }

    void DeleteValues(HKey root, const std::string& path, const Strings& names)
    {
        KeyHandle key(r);
        if (r.OpenKeyEx(root, path.c_str(), 0, kKeySetValue, key.Put()) != kSuccess)
            return;
        for (const std::string& name : names)
            r.DeleteValue(key.get(), name.c_str());
    }
    void Sz(HKey root, const std::string& path, const char* name, const std::string& text, std::uint32_t type = kRegSz)
    {
        SetValue(r, root, path, name, type, Str(text));
    }

    void Seed()
    {
        Sz(kLocalMachine, "SOFTWARE\\TwScanVendor\\App", "Gone", D + "\\gone.exe");
        Sz(kLocalMachine, "SOFTWARE\\TwScanVendor\\App", "There", D + "\\there.exe");
        Sz(kCurrentUser, "SOFTWARE\\TwScanVendor", "Recent", D + "\\gone.doc");
        Sz(kClassesRoot, kTypeLib + "\\1.0\\0\\win32", nullptr, D + "\\gone.tlb");
        Sz(kClassesRoot, "TypeLib\\{7E57AB1E-0000-4000-8000-00000000BEEF}\\1.0\\0\\win32", nullptr, D + "\\there.tlb");
        CreateKey(r, kClassesRoot, ".twscan1");
        Sz(kClassesRoot, ".twscan2", nullptr, "twscan2file");
        Sz(kClassesRoot, ".twscan3", nullptr, "twscan3file");
        Sz(kClassesRoot, "twscan3file\\shell\\open\\command", nullptr, "\"" + D + "\\gone.exe\" \"%1\"");
        Sz(kClassesRoot, ".twscan4", nullptr, "twscan4file");
        Sz(kClassesRoot, "twscan4file\\shell\\open\\command", nullptr, "\"" + D + "\\there.exe\" \"%1\"");
        CreateKey(r, kClassesRoot, ".twscan5\\PersistentHandler");
        for (const std::string& name : {D + "\\gone.dll", D + "\\there.dll", std::string("twscanbare.dll")})
            SetValue(r, kLocalMachine, kShared, name.c_str(), kRegDword, B({1, 0, 0, 0}));
        Sz(kLocalMachine, kDrivers, "twscan.wave", "twscangone.drv");
        Sz(kLocalMachine, kDrivers, "twscan.midi", D + "\\full\\gone.drv");
        Sz(kLocalMachine, kHelp, "twscangone.hlp", D);
        Sz(kLocalMachine, kHelp, "twscanthere.hlp", D + "\\");
        Sz(kLocalMachine, kAppPaths + "\\TwScanGone.exe", nullptr, D + "\\gone.exe");
        Sz(kLocalMachine, kAppPaths + "\\TwScanThere.exe", nullptr, D + "\\there.exe");
        Sz(kLocalMachine, kFonts, "TwScan Gone (TrueType)", "twscangone.ttf");
        Sz(kLocalMachine, kFonts, "TwScan There (TrueType)", D + "\\there.exe");
        Sz(kLocalMachine, kServices + "\\TwScanGone", "ImagePath", D + "\\gonesvc.exe -k x", kRegExpandSz);
        Sz(kLocalMachine, kServices + "\\TwScanWinDir", "ImagePath", "winhlp32.exe", kRegExpandSz);
        // The Windows folder itself: a 32-bit build sees another system32 on a 64-bit system.
        Sz(kLocalMachine, kServices + "\\TwScanThere", "ImagePath", "%SystemRoot%\\regedit.exe", kRegExpandSz);
        Sz(kLocalMachine, kRun, "TwScanGone", D + "\\gonerun.exe /s");
        Sz(kLocalMachine, kRun, "TwScanThere", "\"" + D + "\\there.exe\" -x");
        Sz(kLocalMachine, kRun, "TwScanWin", "notepad.exe");
        Sz(kCurrentUser, kSounds + "\\TwScanEvent\\.Current", nullptr, D + "\\gone.wav");
        Sz(kCurrentUser, kSounds + "\\TwScanEvent2\\.Current", nullptr, D + "\\there.wav");
        Sz(kCurrentUser, kFolders, "TwScanFolder", "%USERPROFILE%\\TwScanGone", kRegExpandSz);
        Sz(kCurrentUser, kFolders, "TwScanDesktop", "%USERPROFILE%\\Desktop", kRegExpandSz);
        Sz(kLocalMachine, kFolders, "TwScanCommon", "%ALLUSERSPROFILE%\\TwScanGone", kRegExpandSz);
        Sz(kLocalMachine, kUninstall + "\\TwScanGone", "UninstallString", "\"" + D + "\\uninst.exe\" /S");
        Sz(kLocalMachine, kUninstall + "\\TwScanThere", "UninstallString", "\"" + D + "\\there.exe\" /S");
    }

    Win32Registry r;
    Win32System system;
};

TEST_F(ScanUnderWine, FindsExactlyTheBrokenEntriesOfEverySection)
{
    Seed();
    ActivityLog log(system);
    log.Open();
    ScanDriver driver(r, system, log);
    ProgressTable progress;
    ASSERT_TRUE(driver.Start(ScanRequest::All(), &progress));
    driver.Wait();

    Strings ours, theirs;
    for (const auto& p : driver.engine().problems()) {
        std::string line = p->section + " | " + p->keyPath + " | " + (p->value ? p->value->name : "-") + " | " +
                           (p->value ? p->value->text : "-") + " | " + p->deleteType + " | " + p->description;
        (Ours(line) ? ours : theirs).push_back(line);
    }
    for (const BrokenShortcut& b : driver.shortcuts().brokenList)
        (Ours(b.path) ? ours : theirs).push_back("Windows Shortcuts | " + b.path);
    for (const std::string& line : theirs)
        std::cout << "[ prefix   ] " << line << "\n";

    const std::string users = system.FindEnvironmentVariable("SystemDrive", nullptr) ? "C:\\users" : "";
    const std::string user = system.UserName();
    Strings expected = {
        "Complete Registry Scan | HKEY_LOCAL_MACHINE\\SOFTWARE\\twscanvendor\\App | Gone | " + D + "\\gone.exe | VAL | " + D + "\\gone.exe",
        "Complete Registry Scan | HKEY_CURRENT_USER\\SOFTWARE\\TwScanVendor | Recent | " + D + "\\gone.doc | VAL | " + D + "\\gone.doc",
        "Program ID Section | HKEY_CLASSES_ROOT\\TypeLib\\{7e57ab1e-0000-4000-8000-00000000c0de}\\1.0\\0\\win32 | (Default) | " +
            D + "\\gone.tlb | KEY | " + D + "\\gone.tlb",
        "File Associations | HKEY_CLASSES_ROOT\\.twscan1 | (Default) | (value not set) | KEY | (value not set)",
        "File Associations | HKEY_CLASSES_ROOT\\.twscan2 | (Default) | twscan2file | KEY | twscan2file",
        "File Associations | HKEY_CLASSES_ROOT\\.twscan3 | (Default) | \"" + D + "\\gone.exe\" \"%1\" | KEY | twscan3file",
        "Shared Program Files | HKEY_LOCAL_MACHINE\\" + kShared + " | " + D + "\\gone.dll | 0x00000001 (1) | VAL | " + D + "\\gone.dll",
        "Shared Program Files | HKEY_LOCAL_MACHINE\\" + kShared + " | twscanbare.dll | 0x00000001 (1) | VAL | " +
            system.SystemDirectory() + "\\twscanbare.dll",
        "Vxd Drivers Section | HKEY_LOCAL_MACHINE\\" + kDrivers + " | twscan.wave | twscangone.drv | VAL | " +
            system.SystemDirectory() + "\\twscangone.drv",
        "Windows Help Files | HKEY_LOCAL_MACHINE\\" + kHelp.substr(0, kHelp.size() - 4) + "help | twscangone.hlp | " + D +
            " | VAL | " + D + "\\twscangone.hlp",
        "Application Paths | HKEY_LOCAL_MACHINE\\" + kAppPaths + "\\twscangone.exe | (Default) | " + D + "\\gone.exe | KEY | " +
            D + "\\gone.exe",
        "Windows Fonts | HKEY_LOCAL_MACHINE\\" + kFonts + " | TwScan Gone (TrueType) | twscangone.ttf | VAL | " +
            system.WindowsDirectory() + "\\fonts\\twscangone.ttf",
        "System Services | HKEY_LOCAL_MACHINE\\" + kServices + "\\TwScanGone | ImagePath | " + D + "\\gonesvc.exe -k x | KEY | " +
            D + "\\gonesvc.exe",
        "Startup Programs | HKEY_LOCAL_MACHINE\\" + kRun + " | TwScanGone | " + D + "\\gonerun.exe /s | VAL | " + D +
            "\\gonerun.exe",
        "Sound Section | HKEY_CURRENT_USER\\" + kSounds + "\\TwScanEvent | (Default) | " + D + "\\gone.wav | KEY | " + D +
            "\\gone.wav",
        "Registry Integrity | HKEY_CURRENT_USER\\" + kFolders + " | TwScanFolder | %USERPROFILE%\\TwScanGone | VAL | " +
            users + "\\" + user + "\\TwScanGone",
        "Registry Integrity | HKEY_LOCAL_MACHINE\\" + kFolders + " | TwScanCommon | %ALLUSERSPROFILE%\\TwScanGone | VAL | " +
            users + "\\Public\\TwScanGone",
        "Add/Remove Program Section | HKEY_LOCAL_MACHINE\\" + kUninstall + "\\twscangone | UninstallString | \"" + D +
            "\\uninst.exe\" /S | VAL | " + D + "\\uninst.exe",
        "Windows Shortcuts | " + D + "\\links\\gone.lnk",
    };
    // The complete scan walks the classes too (HKEY_CLASSES_ROOT lies below HKLM\SOFTWARE),
    // so it meets the broken type library there, in every view of the classes it walks.
    Strings walkedTypeLib;
    for (const std::string& line : ours)
        if (line.rfind("Complete Registry Scan | HKEY_LOCAL_MACHINE\\SOFTWARE\\", 0) == 0 &&
            line.find("\\typelib\\{7e57ab1e-0000-4000-8000-00000000c0de}\\1.0\\0\\win32 | (Default) | " + D +
                      "\\gone.tlb | VAL | " + D + "\\gone.tlb") != std::string::npos)
            walkedTypeLib.push_back(line);
    EXPECT_FALSE(walkedTypeLib.empty());
    expected.insert(expected.end(), walkedTypeLib.begin(), walkedTypeLib.end());
    std::sort(expected.begin(), expected.end());
    std::sort(ours.begin(), ours.end());
    EXPECT_EQ(expected, ours);
    EXPECT_EQ(14u, progress.Rows().size());
    EXPECT_TRUE(progress.Completed());
}

}  // namespace
}  // namespace tw::test
