// The scan against the real registry and file system under Wine: a registry and a drive
// seeded with one broken and one sound entry for every section, and shortcut files made by
// the shell's own link object. The scan must report exactly the broken ones. Everything
// seeded carries "twscan" or lies in C:\tarnwick-scan-test, so what the prefix itself holds
// is told apart (and printed, for a look at what a fresh system gives).
#include "platform/win32/win32_handle.h"
#include "platform/win32/win32_registry.h"
#include "platform/win32/win32_system.h"
#include "registry/key_path.h"
#include "scan/scan_driver.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include <algorithm>
#include <iostream>
#include <sstream>

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

// The real registry and system, and short ways to seed and unseed them.
class UnderWine : public ::testing::Test {
protected:
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

    Win32Registry r;
    Win32System system;
};

class ScanUnderWine : public UnderWine {
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

    // The folders Windows gives the variables.
    const std::string profile = system.ExpandEnvironment("%USERPROFILE%");
    const std::string allUsers = system.ExpandEnvironment("%ALLUSERSPROFILE%");
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
            profile + "\\TwScanGone",
        "Registry Integrity | HKEY_LOCAL_MACHINE\\" + kFolders + " | TwScanCommon | %ALLUSERSPROFILE%\\TwScanGone | VAL | " +
            allUsers + "\\TwScanGone",
        "Add/Remove Program Section | HKEY_LOCAL_MACHINE\\" + kUninstall + "\\twscangone | UninstallString | \"" + D +
            "\\uninst.exe\" /S | VAL | " + D + "\\uninst.exe",
        "Windows Shortcuts | " + D + "\\links\\gone.lnk",
    };
    // The complete scan walks the classes too (HKEY_CLASSES_ROOT lies below HKLM\SOFTWARE),
    // so it meets the broken type library there, once, however many links lead to it.
    expected.push_back("Complete Registry Scan | HKEY_LOCAL_MACHINE\\SOFTWARE\\classes\\typelib\\"
                       "{7e57ab1e-0000-4000-8000-00000000c0de}\\1.0\\0\\win32 | (Default) | " +
                       D + "\\gone.tlb | VAL | " + D + "\\gone.tlb");
    std::sort(expected.begin(), expected.end());
    std::sort(ours.begin(), ours.end());
    EXPECT_EQ(expected, ours);
    EXPECT_EQ(14u, progress.Rows().size());
    EXPECT_TRUE(progress.Completed());
}

// The places current Windows keeps a section's entries besides the machine's 64-bit keys,
// written through the real registry: the user's own keys and the 32-bit view. Each holds
// one broken and one sound entry of its section's kind; the scan reports each broken one
// against its own key and no sound one. Everything seeded carries "twplace"; a key the test
// had to make is removed again with what it holds.
const std::string kPlaceDir = "C:\\twplace-test";
const std::string kCvUser = "Software\\Microsoft\\Windows\\Currentversion";
const std::string kCvWow = "Software\\Wow6432Node\\Microsoft\\Windows\\Currentversion";
const std::string kCVWow = "SOFTWARE\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion";

struct SectionPlace {
    ScanSection section;
    HKey root;
    std::string key;         // as the section's findings spell it
    std::string sharedWith = {};  // the 64-bit key a link makes it, where 64-bit Windows shares one
};

const std::vector<SectionPlace> kSectionPlaces = {
    {ScanSection::StartupPrograms, kCurrentUser, kCvUser + "\\Run"},
    {ScanSection::StartupPrograms, kLocalMachine, kCvUser + "\\RunOnce"},
    {ScanSection::StartupPrograms, kCurrentUser, kCvUser + "\\RunOnce"},
    {ScanSection::StartupPrograms, kLocalMachine, kCvWow + "\\Run"},
    {ScanSection::StartupPrograms, kLocalMachine, kCvWow + "\\RunOnce"},
    {ScanSection::AddRemovePrograms, kCurrentUser, kCvUser + "\\Uninstall"},
    {ScanSection::AddRemovePrograms, kLocalMachine, kCvWow + "\\Uninstall"},
    {ScanSection::ApplicationPaths, kCurrentUser, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"},
    // Windows shows the machine's App Paths in both views through a link, and so does Wine:
    // what the 32-bit view holds is the 64-bit key's, examined once, under its name.
    {ScanSection::ApplicationPaths, kLocalMachine, kCVWow + "\\App Paths",
     "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths"},
    {ScanSection::SharedProgramFiles, kLocalMachine, kCVWow + "\\SharedDLLs"},
    {ScanSection::Fonts, kCurrentUser, "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts"},
    {ScanSection::HelpFiles, kLocalMachine, "SOFTWARE\\Wow6432Node\\Microsoft\\Windows"},
};

class ScanPlacesUnderWine : public UnderWine {
protected:
    void SetUp() override
    {
        systemFolder = system.SystemDirectory();
        systemFolder32 = system.Wow64SystemDirectory();
        TearDown();
        ASSERT_FALSE(systemFolder32.empty()) << "the places of a 64-bit system need a 64-bit prefix";
        CreateDirectoryA(kPlaceDir.c_str(), nullptr);
        for (const char* file : {"there.exe", "there.dll", "there.ttf", "twplacethere.hlp"})
            Touch(kPlaceDir + "\\" + file);
        Touch(systemFolder32 + "\\twplace32.dll");
    }

    void TearDown() override
    {
        for (const SectionPlace& p : kSectionPlaces) {
            DeleteValues(p.root, p.key,
                         {"TwPlaceGone", "TwPlaceThere", "TwPlace Gone (TrueType)", "TwPlace There (TrueType)",
                          kPlaceDir + "\\gone.dll", kPlaceDir + "\\there.dll", systemFolder + "\\twplace32.dll"});
            DeleteValues(p.root, p.key + "\\Help", {"twplacegone.hlp", "twplacethere.hlp"});
            for (const char* name : {"TwPlaceGone", "TwPlaceThere", "TwPlaceGone.exe", "TwPlaceThere.exe"})
                WipeKey(r, p.root, p.key + "\\" + name);
        }
        for (const auto& [root, key] : made)
            WipeKey(r, root, key);
        made.clear();
        RemoveTree(kPlaceDir);
        if (!systemFolder32.empty())
            DeleteFileA((systemFolder32 + "\\twplace32.dll").c_str());
    }

    // Notes the first key of root\path that does not exist yet: the test made it.
    void NoteMade(HKey root, const std::string& path)
    {
        for (std::size_t end = path.find('\\'); ; end = path.find('\\', end + 1)) {
            const std::string upTo = path.substr(0, end);
            if (!KeyExists(r, root, upTo)) {
                made.emplace_back(root, upTo);
                return;
            }
            if (end == std::string::npos)
                return;
        }
    }

    // Seeds one place; the finding its broken entry gives.
    std::string Seed(const SectionPlace& p)
    {
        NoteMade(p.root, p.key);
        const std::string at = RootNameFromKey(p.root) + "\\" + (p.sharedWith.empty() ? p.key : p.sharedWith);
        const std::string& D = kPlaceDir;
        switch (p.section) {
        case ScanSection::StartupPrograms:
            Sz(p.root, p.key, "TwPlaceGone", D + "\\gonerun.exe /s");
            Sz(p.root, p.key, "TwPlaceThere", "\"" + D + "\\there.exe\" -x");
            return "Startup Programs | " + at + " | TwPlaceGone | " + D + "\\gonerun.exe";
        case ScanSection::AddRemovePrograms:
            Sz(p.root, p.key + "\\TwPlaceGone", "UninstallString", "\"" + D + "\\uninst.exe\" /S");
            Sz(p.root, p.key + "\\TwPlaceThere", "UninstallString", "\"" + D + "\\there.exe\" /S");
            return "Add/Remove Program Section | " + at + "\\twplacegone | UninstallString | " + D + "\\uninst.exe";
        case ScanSection::ApplicationPaths:
            Sz(p.root, p.key + "\\TwPlaceGone.exe", nullptr, D + "\\gone.exe");
            Sz(p.root, p.key + "\\TwPlaceThere.exe", nullptr, D + "\\there.exe");
            return "Application Paths | " + at + "\\twplacegone.exe | (Default) | " + D + "\\gone.exe";
        case ScanSection::SharedProgramFiles:
            // A 32-bit program's file in the system folder lies in the 32-bit one.
            for (const std::string& name : {D + "\\gone.dll", D + "\\there.dll", systemFolder + "\\twplace32.dll"})
                SetValue(r, p.root, p.key, name.c_str(), kRegDword, B({1, 0, 0, 0}));
            return "Shared Program Files | " + at + " | " + D + "\\gone.dll | " + D + "\\gone.dll";
        case ScanSection::Fonts:
            Sz(p.root, p.key, "TwPlace Gone (TrueType)", D + "\\gone.ttf");
            Sz(p.root, p.key, "TwPlace There (TrueType)", D + "\\there.ttf");
            return "Windows Fonts | " + at + " | TwPlace Gone (TrueType) | " + D + "\\gone.ttf";
        default:
            NoteMade(p.root, p.key + "\\Help");
            Sz(p.root, p.key + "\\Help", "twplacegone.hlp", D);
            Sz(p.root, p.key + "\\Help", "twplacethere.hlp", D + "\\");
            return "Windows Help Files | " + at + "\\help | twplacegone.hlp | " + D + "\\twplacegone.hlp";
        }
    }

    std::vector<std::pair<HKey, std::string>> made;
    std::string systemFolder, systemFolder32;
};

TEST_F(ScanPlacesUnderWine, EachBrokenEntryIsReportedAgainstItsOwnKey)
{
    Strings expected;
    for (const SectionPlace& p : kSectionPlaces) {
        if (!p.sharedWith.empty()) {
            KeyHandle link(r);
            ASSERT_EQ(kSuccess, r.OpenKeyEx(p.root, p.key.c_str(), kRegOptionOpenLink, kKeyRead, link.Put())) << p.key;
            std::uint32_t type = 0, size = 0;
            EXPECT_EQ(kSuccess, r.QueryValueEx(link.get(), "SymbolicLinkValue", nullptr, &type, nullptr, &size)) << p.key;
            EXPECT_EQ(kRegLink, type) << p.key;
        }
        expected.push_back(Seed(p));
    }
    ActivityLog log(system);
    log.Open();
    ScanDriver driver(r, system, log);
    ProgressTable progress;
    ScanRequest request = ScanRequest::None();
    for (ScanSection section : {ScanSection::StartupPrograms, ScanSection::AddRemovePrograms,
                                ScanSection::ApplicationPaths, ScanSection::SharedProgramFiles, ScanSection::Fonts,
                                ScanSection::HelpFiles})
        request[section] = kSectionRequested;
    ASSERT_TRUE(driver.Start(request, &progress));
    driver.Wait();

    Strings ours;
    for (const auto& p : driver.engine().problems()) {
        std::string line = p->section + " | " + p->keyPath + " | " + (p->value ? p->value->name : "-") + " | " +
                           p->description;
        std::string lower = line;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
        if (lower.find("twplace") != std::string::npos)
            ours.push_back(line);
        else
            std::cout << "[ prefix   ] " << line << "\n";
    }
    std::sort(expected.begin(), expected.end());
    std::sort(ours.begin(), ours.end());
    EXPECT_EQ(expected, ours);
    // One progress row per section, however many places it read.
    EXPECT_EQ(6u, progress.Rows().size());
    EXPECT_TRUE(progress.Completed());
}

// tarnwick-cli scan --json on a system seeded with live entries of the shapes a current
// 64-bit Windows registry holds, and with broken entries of the same shapes: every broken
// one is printed with its exact texts, none of the live ones is. Open commands with
// variables, extension keys that only Windows and browsers read, quoted programs with
// arguments, installer sources on an absent drive, 32-bit registrations naming the system
// folder, a key reached through a link, profile folders, and keys that refuse write access.
// Everything seeded carries "twshape"; the command line runs as a separate process, as a
// user runs it.
const std::string kShapes = "C:\\twshape-test";
const std::string kLibSound = "TypeLib\\{7E57AB1E-5A9E-4000-8000-0000000032B1}";
const std::string kLibGone = "TypeLib\\{7E57AB1E-5A9E-4000-8000-0000000032B2}";
const std::string kClsid = "SOFTWARE\\Classes\\Wow6432Node\\CLSID\\{7E57AB1E-5A9E-4000-8000-00000000C15D}";
// A 64-bit program names the 32-bit program folder by its own variable.
#ifdef _WIN64
const std::string kProgramFiles32 = "%ProgramFiles(x86)%";
#else
const std::string kProgramFiles32 = "%ProgramFiles%";
#endif

std::string Json(const std::string& text)
{
    std::string out = "\"";
    for (char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + "\"";
}

// One line of tarnwick-cli scan --json.
std::string Finding(const std::string& section, const std::string& keyPath, const std::string& valueName,
                    const std::string& valueText, int valueType, const std::string& deleteType,
                    const std::string& description, const std::string& reason)
{
    return "{\"section\":" + Json(section) + ",\"keyPath\":" + Json(keyPath) + ",\"valueName\":" + Json(valueName) +
           ",\"valueText\":" + Json(valueText) + ",\"valueType\":" + std::to_string(valueType) +
           ",\"deleteType\":" + Json(deleteType) + ",\"description\":" + Json(description) +
           ",\"reason\":" + Json(reason) + "}";
}

// Runs a program that lies beside this one, and gives its exit code and standard output.
bool RunBeside(const std::string& program, const std::string& arguments, DWORD* exitCode, std::string* out)
{
    char self[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, self, MAX_PATH);
    if (n == 0 || n >= MAX_PATH)
        return false;
    std::string directory(self, n);
    directory.resize(directory.rfind('\\'));
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0))
        return false;
    UniqueWin32Handle reader(readEnd), writer(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    // The progress lines on standard error go nowhere: nobody reads them here.
    HANDLE discard = CreateFileA("NUL", GENERIC_WRITE, FILE_SHARE_WRITE, &inherit, OPEN_EXISTING, 0, nullptr);
    UniqueWin32Handle nul(discard == INVALID_HANDLE_VALUE ? nullptr : discard);
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = writeEnd;
    startup.hStdError = nul.get();
    std::string commandLine = "\"" + directory + "\\" + program + "\" " + arguments;
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                        directory.c_str(), &startup, &process))
        return false;
    UniqueWin32Handle processHandle(process.hProcess), thread(process.hThread);
    writer.reset();  // the pipe ends when the child's end closes
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr) && got > 0)
        out->append(buffer, got);
    WaitForSingleObject(process.hProcess, INFINITE);
    return GetExitCodeProcess(process.hProcess, exitCode) != 0;
}

class ScanShapesUnderWine : public UnderWine {
protected:
    void SetUp() override
    {
        TearDown();
        programs = system.ExpandEnvironment("%ProgramFiles%") + "\\TwShape";
        programs32 = system.ExpandEnvironment(kProgramFiles32) + "\\TwShape";
        systemFolder = system.SystemDirectory();
        std::string wow64 = system.Wow64SystemDirectory();
        systemFolder32 = wow64.empty() ? systemFolder : wow64;
        profile = system.ExpandEnvironment("%USERPROFILE%");
        allUsers = system.ExpandEnvironment("%ALLUSERSPROFILE%");
        for (const std::string& folder : {kShapes, programs, programs32, profile + "\\TwShapeDocs", allUsers + "\\TwShapeCommon"})
            CreateDirectoryA(folder.c_str(), nullptr);
        for (const std::string& file : {programs32 + "\\player.exe", programs + "\\viewer.dll", programs + "\\svc.exe",
                                        programs + "\\start.cmd", programs + "\\uninstall.cmd",
                                        systemFolder32 + "\\twshape32.dll"})
            Touch(file);
    }

    void TearDown() override
    {
        for (const std::string& key : LockedKeys())
            if (KeyExists(r, kLocalMachine, key))
                RefuseWriteAccess(r, kLocalMachine, key, false);
        for (const char* key : {".twshapeplay", ".twshapeview", ".twshapegoneplay", ".twshapegoneview", ".twshapeprogids",
                                ".twshapelist", ".twshapetype", ".twshapebare", ".twshapelocked", "twshapeplayfile",
                                "twshapeviewfile", "twshapegoneplayfile", "twshapegoneviewfile"})
            WipeKey(r, kClassesRoot, key);
        for (const std::string& key : {kLibSound, kLibGone})
            WipeKey(r, kClassesRoot, key);
        for (const std::string& key : {std::string("SOFTWARE\\TwShapeVendor"), std::string("SOFTWARE\\Wow6432Node\\TwShapeVendor"),
                                       std::string("SOFTWARE\\TwShapeLocked"), kClsid})
            WipeKey(r, kLocalMachine, key);
        for (const char* key : {"TwShapeSvc", "TwShapeSvcGone"})
            WipeKey(r, kLocalMachine, kServices + "\\" + key);
        for (const char* key : {"TwShapeUninst", "TwShapeUninstGone"})
            WipeKey(r, kLocalMachine, kUninstall + "\\" + key);
        DeleteValues(kLocalMachine, kRun, {"TwShapeStart", "TwShapeStartGone"});
        DeleteValues(kCurrentUser, kFolders, {"TwShapeDocs", "TwShapeGone"});
        DeleteValues(kLocalMachine, kFolders, {"TwShapeCommon", "TwShapeCommonGone"});
        if (!programs.empty()) {
            for (const std::string& folder : {programs, programs32, profile + "\\TwShapeDocs", allUsers + "\\TwShapeCommon"})
                RemoveTree(folder);
        }
        RemoveTree(kShapes);
        if (!systemFolder32.empty())
            DeleteFileA((systemFolder32 + "\\twshape32.dll").c_str());
    }

    // Below HKEY_LOCAL_MACHINE: keys that grant reading alone.
    static Strings LockedKeys()
    {
        return {"SOFTWARE\\TwShapeLocked\\Inner", "SOFTWARE\\TwShapeLocked", "SOFTWARE\\Classes\\.twshapelocked",
                kUninstall + "\\TwShapeUninstGone"};
    }
    void Association(const std::string& extension, const std::string& command)
    {
        const std::string programId = extension.substr(1) + "file";
        Sz(kClassesRoot, extension, nullptr, programId);
        Sz(kClassesRoot, programId + "\\shell\\open\\command", nullptr, command, kRegExpandSz);
    }

    std::string programs, programs32, systemFolder, systemFolder32, profile, allUsers;
};

TEST_F(ScanShapesUnderWine, TheCommandLineReportsEveryBrokenShapeAndNoLiveOne)
{
    // Open commands with variables.
    const std::string play = "\"" + kProgramFiles32 + "\\TwShape\\player.exe\" /Open \"%L\"";
    const std::string view = "rundll32.exe \"%ProgramFiles%\\TwShape\\viewer.dll\", Entry %1";
    const std::string gonePlay = "\"" + kProgramFiles32 + "\\TwShape\\goneplayer.exe\" /Open \"%L\"";
    const std::string goneView = "rundll32.exe \"%ProgramFiles%\\TwShape\\goneviewer.dll\", Entry %1";
    Association(".twshapeplay", play);
    Association(".twshapeview", view);
    Association(".twshapegoneplay", gonePlay);
    Association(".twshapegoneview", goneView);
    // Extension keys without a program identifier.
    CreateKey(r, kClassesRoot, ".twshapeprogids\\OpenWithProgids");
    CreateKey(r, kClassesRoot, ".twshapelist\\OpenWithList");
    Sz(kClassesRoot, ".twshapetype", "Content Type", "application/x-twshape");
    Sz(kClassesRoot, ".twshapebare", "PerceivedType", "text");
    // Quoted programs with arguments.
    Sz(kLocalMachine, kServices + "\\TwShapeSvc", "ImagePath", "\"" + programs + "\\svc.exe\" run", kRegExpandSz);
    Sz(kLocalMachine, kServices + "\\TwShapeSvcGone", "ImagePath", "\"" + programs + "\\gonesvc.exe\" run", kRegExpandSz);
    Sz(kLocalMachine, kRun, "TwShapeStart", "\"" + programs + "\\start.cmd\" run");
    Sz(kLocalMachine, kRun, "TwShapeStartGone", "\"" + programs + "\\gonestart.cmd\" run");
    Sz(kLocalMachine, kUninstall + "\\TwShapeUninst", "UninstallString", "\"" + programs + "\\uninstall.cmd\" /quiet");
    Sz(kLocalMachine, kUninstall + "\\TwShapeUninstGone", "UninstallString", "\"" + programs + "\\goneuninstall.cmd\" /quiet");
    // An installer source on an absent drive, and a missing file on the fixed one.
    Sz(kLocalMachine, "SOFTWARE\\TwShapeVendor", "Source", "D:\\Setup\\TwShape\\setup.exe");
    Sz(kLocalMachine, "SOFTWARE\\TwShapeVendor", "Gone", kShapes + "\\gone.exe");
    // 32-bit registrations naming the system folder.
    Sz(kLocalMachine, "SOFTWARE\\Wow6432Node\\TwShapeVendor", "Lib", systemFolder + "\\twshape32.dll");
    Sz(kLocalMachine, "SOFTWARE\\Wow6432Node\\TwShapeVendor", "Gone", systemFolder + "\\twshapegone32.dll");
    Sz(kClassesRoot, kLibSound + "\\1.0\\0\\win32", nullptr, systemFolder + "\\twshape32.dll");
    Sz(kClassesRoot, kLibGone + "\\1.0\\0\\win32", nullptr, systemFolder + "\\twshapegone32.tlb");
    // A key that 64-bit Windows also shows below SOFTWARE\Wow6432Node\Classes.
    Sz(kLocalMachine, kClsid + "\\InprocServer32", nullptr, kShapes + "\\goneclsid.dll");
    // Profile folders.
    Sz(kCurrentUser, kFolders, "TwShapeDocs", "%USERPROFILE%\\TwShapeDocs", kRegExpandSz);
    Sz(kCurrentUser, kFolders, "TwShapeGone", "%USERPROFILE%\\TwShapeGone", kRegExpandSz);
    Sz(kLocalMachine, kFolders, "TwShapeCommon", "%ALLUSERSPROFILE%\\TwShapeCommon", kRegExpandSz);
    Sz(kLocalMachine, kFolders, "TwShapeCommonGone", "%ALLUSERSPROFILE%\\TwShapeCommonGone", kRegExpandSz);
    // Keys that grant reading alone.
    Sz(kLocalMachine, "SOFTWARE\\TwShapeLocked\\Inner", "Gone", kShapes + "\\locked.exe");
    CreateKey(r, kLocalMachine, "SOFTWARE\\Classes\\.twshapelocked");
    for (const std::string& key : LockedKeys())
        RefuseWriteAccess(r, kLocalMachine, key);

    DWORD exitCode = 99;
    std::string out;
    ASSERT_TRUE(RunBeside("tarnwick-cli.exe", "scan --json", &exitCode, &out));
    EXPECT_EQ(0u, exitCode);
    Strings ours;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::string lower = line;
        std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return static_cast<char>(tolower(c)); });
        if (lower.find("twshape") != std::string::npos)
            ours.push_back(line);
    }

    const std::string LM = "HKEY_LOCAL_MACHINE\\";
    auto missing = [](const std::string& path) { return "The file or folder " + path + " does not exist."; };
    const std::string noProgram = "The extension names no program, and nothing else is registered for it.";
    auto opener = [](const std::string& path) {
        return "The command that opens these files names " + path + ", which does not exist.";
    };
    Strings expected = {
        Finding("Complete Registry Scan", LM + "SOFTWARE\\TwShapeVendor", "Gone", kShapes + "\\gone.exe", 1, "VAL", kShapes + "\\gone.exe",
                missing(kShapes + "\\gone.exe")),
        Finding("Complete Registry Scan", LM + "SOFTWARE\\wow6432node\\TwShapeVendor", "Gone",
                systemFolder + "\\twshapegone32.dll", 1, "VAL", systemFolder32 + "\\twshapegone32.dll",
                missing(systemFolder32 + "\\twshapegone32.dll")),
        Finding("Complete Registry Scan", LM + "SOFTWARE\\classes\\typelib\\{7e57ab1e-5a9e-4000-8000-0000000032b2}\\1.0\\0\\win32",
                "(Default)", systemFolder + "\\twshapegone32.tlb", 1, "VAL", systemFolder32 + "\\twshapegone32.tlb",
                missing(systemFolder32 + "\\twshapegone32.tlb")),
        Finding("Complete Registry Scan",
                LM + "SOFTWARE\\classes\\wow6432node\\clsid\\{7e57ab1e-5a9e-4000-8000-00000000c15d}\\InprocServer32",
                "(Default)", kShapes + "\\goneclsid.dll", 1, "VAL", kShapes + "\\goneclsid.dll", missing(kShapes + "\\goneclsid.dll")),
        Finding("Complete Registry Scan", LM + "SOFTWARE\\twshapelocked\\Inner", "Gone", kShapes + "\\locked.exe", 1, "VAL",
                kShapes + "\\locked.exe", missing(kShapes + "\\locked.exe")),
        Finding("Program ID Section", "HKEY_CLASSES_ROOT\\TypeLib\\{7e57ab1e-5a9e-4000-8000-0000000032b2}\\1.0\\0\\win32",
                "(Default)", systemFolder + "\\twshapegone32.tlb", 1, "KEY", systemFolder32 + "\\twshapegone32.tlb",
                missing(systemFolder32 + "\\twshapegone32.tlb")),
        Finding("File Associations", "HKEY_CLASSES_ROOT\\.twshapebare", "(Default)", "(value not set)", 1, "KEY",
                "(value not set)", noProgram),
        Finding("File Associations", "HKEY_CLASSES_ROOT\\.twshapegoneplay", "(Default)", gonePlay, 2, "KEY",
                "twshapegoneplayfile", opener(programs32 + "\\goneplayer.exe")),
        Finding("File Associations", "HKEY_CLASSES_ROOT\\.twshapegoneview", "(Default)", goneView, 2, "KEY",
                "twshapegoneviewfile", opener(programs + "\\goneviewer.dll")),
        Finding("File Associations", "HKEY_CLASSES_ROOT\\.twshapelocked", "(Default)", "(value not set)", 1, "KEY",
                "(value not set)", noProgram),
        Finding("System Services", LM + kServices + "\\TwShapeSvcGone", "ImagePath", "\"" + programs + "\\gonesvc.exe\" run",
                2, "KEY", programs + "\\gonesvc.exe", "The service's file " + programs + "\\gonesvc.exe does not exist."),
        Finding("Startup Programs", LM + kRun, "TwShapeStartGone", "\"" + programs + "\\gonestart.cmd\" run", 1, "VAL",
                programs + "\\gonestart.cmd",
                "The program " + programs + "\\gonestart.cmd started at log-on does not exist."),
        Finding("Registry Integrity", "HKEY_CURRENT_USER\\" + kFolders, "TwShapeGone", "%USERPROFILE%\\TwShapeGone", 2,
                "VAL", profile + "\\TwShapeGone", "The folder " + profile + "\\TwShapeGone does not exist."),
        Finding("Registry Integrity", LM + kFolders, "TwShapeCommonGone", "%ALLUSERSPROFILE%\\TwShapeCommonGone", 2, "VAL",
                allUsers + "\\TwShapeCommonGone", "The folder " + allUsers + "\\TwShapeCommonGone does not exist."),
        Finding("Add/Remove Program Section", LM + kUninstall + "\\twshapeuninstgone", "UninstallString",
                "\"" + programs + "\\goneuninstall.cmd\" /quiet", 1, "VAL", programs + "\\goneuninstall.cmd",
                "The uninstaller " + programs + "\\goneuninstall.cmd does not exist."),
    };
    std::sort(expected.begin(), expected.end());
    std::sort(ours.begin(), ours.end());
    EXPECT_EQ(expected, ours);
    // The profile folders are the ones Windows gives the variables.
    EXPECT_NE(std::string::npos, allUsers.find("ProgramData")) << allUsers;
}

}  // namespace
}  // namespace tw::test
