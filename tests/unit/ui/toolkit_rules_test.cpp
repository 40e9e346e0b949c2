#include "platform/memory/memory_registry.h"
#include "ui/hyperlink_rules.h"
#include "ui/mask_region.h"

#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tw::test {
namespace {

std::vector<RunRect> Runs(const std::vector<std::string>& rows)  // '.' white, '#' black
{
    return MaskRuns(static_cast<int>(rows[0].size()), static_cast<int>(rows.size()),
                    [&](int x, int y) { return rows[static_cast<std::size_t>(y)][static_cast<std::size_t>(x)] == '.'; });
}

TEST(MaskRuns, EveryRunOfNonWhitePixelsIsOneRectangle)
{
    EXPECT_EQ((std::vector<RunRect>{{1, 0, 3, 1}, {4, 0, 5, 1}, {0, 2, 2, 3}}), Runs({".##.#.", "......", "##...."}));
}

TEST(MaskRuns, ARowEndingInBlackKeepsItsLastPixel)
{
    EXPECT_EQ((std::vector<RunRect>{{2, 0, 4, 1}, {0, 1, 4, 2}}), Runs({"..##", "####"}));
}

TEST(MaskRuns, AnAllWhiteMaskGivesNoRegionAndLargeMasksGrowTheBuffer)
{
    EXPECT_TRUE(Runs({"....", "...."}).empty());
    std::vector<std::string> stripes(100, "#.#.#.#.#.");
    EXPECT_EQ(500u, Runs(stripes).size());
}

TEST(HyperLink, ColourFollowsStateInOrderOfPrecedence)
{
    EXPECT_EQ((LinkColour{255, 0, 0}), LinkColourFor(kLinkHoverColour, true, true, true));
    EXPECT_EQ((LinkColour{0, 128, 128}), LinkColourFor(kLinkDefaultFlags, true, true, true));  // no hover flag
    EXPECT_EQ((LinkColour{128, 0, 128}), LinkColourFor(kLinkNoActiveColour, false, true, true));
    EXPECT_EQ((LinkColour{0, 0, 255}), LinkColourFor(kLinkDefaultFlags, false, false, false));
}

TEST(HyperLink, BrowserCommandIsCutAtThePlaceholder)
{
    const char* address = "C:\\tw\\help.html";
    EXPECT_EQ("\"C:\\browser.exe\" -nohome  C:\\tw\\help.html",
              BrowserCommand("\"C:\\browser.exe\" -nohome \"%1\"", address));
    EXPECT_EQ("C:\\browser.exe  C:\\tw\\help.html", BrowserCommand("C:\\browser.exe %1", address));
    EXPECT_EQ("C:\\browser.exe C:\\tw\\help.html", BrowserCommand("C:\\browser.exe", address));
    // Cut unquoted, a path with blanks would reach the browser as two arguments.
    EXPECT_EQ("\"C:\\browser.exe\"  \"C:\\Program Files\\Tarnwick\\Tarnwick Help.html\"",
              BrowserCommand("\"C:\\browser.exe\" \"%1\"", "C:\\Program Files\\Tarnwick\\Tarnwick Help.html"));
}

TEST(HyperLink, TheFallbackReadsTheBrowserCommandOfHtmlDocumentsWhateverItsLength)
{
    MemoryRegistry registry;
    const char* address = "C:\\tw\\help.html";
    EXPECT_EQ(std::nullopt, BrowserFallbackCommand(registry, address));  // no ".htm" class
    SetValue(registry, kClassesRoot, ".htm", "", kRegSz, Str("htmlfile"));
    EXPECT_EQ(std::nullopt, BrowserFallbackCommand(registry, address));  // a class without a command
    // Longer than the 260 bytes a fixed buffer would hold: read whole, not cut or dropped.
    std::string browser = "\"C:\\" + std::string(300, 'b') + ".exe\"";
    SetValue(registry, kClassesRoot, "htmlfile\\shell\\open\\command", "", kRegSz, Str(browser + " \"%1\""));
    EXPECT_EQ(browser + "  C:\\tw\\help.html", BrowserFallbackCommand(registry, address));
}

TEST(HyperLink, ErrorTexts)
{
    EXPECT_EQ("Can't open link:\n\nThe specified file was not found.", LinkErrorText(2));
    EXPECT_EQ("Can't open link:\n\nA sharing violation occurred. ", LinkErrorText(26));
    EXPECT_EQ("Can't open link:\n\nThere is no application associated\nwith the given filename extension.",
              LinkErrorText(31));
    EXPECT_EQ("Can't open link:\n\nUnknown Error (77) occurred.", LinkErrorText(77));
}

}  // namespace
}  // namespace tw::test
