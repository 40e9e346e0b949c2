// What the shipped programs say about themselves: Tarnwick.exe asks for administrator
// rights (a cleaner must be able to delete what it finds and write it back), the command
// line runs as its invoker, and both carry a version block that the program's own version
// reader reads back.
#include "managers/file_version_record.h"
#include "platform/codepage.h"
#include "platform/win32/win32_system.h"

#include "gui_driver.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace tw::test {
namespace {

// The embedded manifest (resource 1 of type RT_MANIFEST) of a program file.
std::string Manifest(const std::string& program)
{
    HMODULE module = LoadLibraryExA(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    if (!module)
        return {};
    std::string text;
    if (HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24))) {
        DWORD size = SizeofResource(module, found);
        HGLOBAL loaded = LoadResource(module, found);
        if (const void* bytes = loaded ? LockResource(loaded) : nullptr)
            text.assign(static_cast<const char*>(bytes), size);
    }
    FreeLibrary(module);
    return text;
}

TEST(ReleaseResources, TheProgramAsksForAdministratorRightsAndTheCommandLineDoesNot)
{
    std::string program = Manifest(gui::TestFolder() + "\\Tarnwick.exe");
    std::string cli = Manifest(gui::TestFolder() + "\\tarnwick-cli.exe");
    EXPECT_NE(std::string::npos, program.find("level=\"requireAdministrator\"")) << program;
    EXPECT_NE(std::string::npos, program.find("Microsoft.Windows.Common-Controls"));
    EXPECT_NE(std::string::npos, cli.find("level=\"asInvoker\"")) << cli;
}

// Every name in any script reaches the core whole only when the ANSI calls speak UTF-8.
TEST(ReleaseResources, BothProgramsAndTheseTestsRunInTheUtf8CodePage)
{
    for (const char* file : {"\\Tarnwick.exe", "\\tarnwick-cli.exe"}) {
        std::string manifest = Manifest(gui::TestFolder() + file);
        EXPECT_NE(std::string::npos, manifest.find(">UTF-8</activeCodePage>")) << file << manifest;
    }
    EXPECT_EQ(65001u, GetACP());
    EXPECT_EQ(AnsiCodePage::Utf8, ProcessCodePage());
}

TEST(ReleaseResources, BothProgramsCarryTheirVersionBlock)
{
    Win32System system;
    const struct {
        const char* file;
        const char* description;
    } programs[] = {{"Tarnwick.exe", "Tarnwick registry cleaner"},
                    {"tarnwick-cli.exe", "Tarnwick registry cleaner, command line"}};
    for (const auto& p : programs) {
        FileVersionRecord record(system);
        record.setPath(gui::TestFolder() + "\\" + p.file);
        ASSERT_TRUE(record.isAvailable()) << p.file;
        EXPECT_EQ(p.description, record.fileDescription());
        EXPECT_EQ(p.file, record.originalFileName());
        EXPECT_EQ("Tarnwick", record.productName());
        EXPECT_EQ("2.6.0.0", record.fileVersion());
        EXPECT_EQ("2.6.0.0", record.productVersion());
        EXPECT_EQ("The Tarnwick developers", record.companyName());
        EXPECT_EQ("2.6.0.0", record.formattedFileVersion());
    }
    // The console program shows the program's icon too.
    HMODULE cli = LoadLibraryExA((gui::TestFolder() + "\\tarnwick-cli.exe").c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(nullptr, cli);
    EXPECT_NE(nullptr, FindResourceA(cli, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14)));  // RT_GROUP_ICON
    FreeLibrary(cli);
}

}  // namespace
}  // namespace tw::test
