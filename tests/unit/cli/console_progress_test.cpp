// The progress line of the command line: what a console shows (the line rewritten in place,
// cut to its width, drawn at most ten times a second, blanked at the end) and that nothing at
// all is written when standard error is no console.
#include "cli/console_progress.h"

#include "platform/memory/memory_registry.h"
#include "support/registry_fixture.h"

#include <gtest/gtest.h>

#include <sstream>

namespace tw::test {
namespace {

using namespace std::chrono_literals;

struct FakeClock {
    std::chrono::steady_clock::time_point now{};
    cli::ProgressLine::Clock Get()
    {
        return [this] { return now; };
    }
};

TEST(ProgressLine, TextIsRewrittenInPlaceAndAShorterTextBlanksWhatTheLongerLeft)
{
    std::ostringstream console;
    FakeClock clock;
    cli::ProgressLine line(console, true, clock.Get());
    line.ShowNow("Scanning Fonts: 10");
    line.ShowNow("Done: 2");
    EXPECT_EQ("\rScanning Fonts: 10\rDone: 2" + std::string(11, ' ') + "\rDone: 2", console.str());
    line.Clear();
    EXPECT_EQ("\rScanning Fonts: 10\rDone: 2" + std::string(11, ' ') + "\rDone: 2\r       \r", console.str());
}

TEST(ProgressLine, ItIsDrawnAtMostTenTimesASecond)
{
    std::ostringstream console;
    FakeClock clock;
    cli::ProgressLine line(console, true, clock.Get());
    line.Show("a");
    clock.now += 50ms;
    line.Show("b");  // too soon
    clock.now += 50ms;
    line.Show("c");
    EXPECT_EQ("\ra\rc", console.str());
}

TEST(ProgressLine, ARowOfItsOwnGoesAboveTheLine)
{
    std::ostringstream console;
    FakeClock clock;
    cli::ProgressLine line(console, true, clock.Get());
    line.ShowNow("walking");
    line.Print("Windows Fonts\t1\tFinished");
    line.Show("next");  // at once after a row, however soon
    EXPECT_EQ("\rwalking\r       \rWindows Fonts\t1\tFinished\n\rnext", console.str());
}

TEST(ProgressLine, NothingIsWrittenWhenStandardErrorIsNoConsole)
{
    std::ostringstream redirected;
    {
        cli::ProgressLine line(redirected, false);
        line.ShowNow("a");
        line.Show("b");
        line.Print("row");
        line.Clear();
    }
    EXPECT_EQ("", redirected.str());
}

TEST(ProgressLine, LongTextsKeepTheirStartAndEndAndNeverSplitACharacter)
{
    EXPECT_EQ("short", cli::FitToWidth("short", 10));
    EXPECT_EQ("abc...xyz", cli::FitToWidth("abcdefghijklmnopqrstuvwxyz", 9));
    // Cyrillic letters are two bytes each: counted and cut as one character.
    EXPECT_EQ("Жёл...ЭЮЯ", cli::FitToWidth("ЖёлтыйЭЮЯ" "ЖёлтыйЭЮЯ", 9));
    // A line break would move the cursor off the line.
    EXPECT_EQ("a b c", cli::FitToWidth("a\nb\tc", 10));
    // Chinese characters take two columns each: nine columns hold three and the dots.
    EXPECT_EQ("中...件", cli::FitToWidth("中文文件夹名称的文件", 9));
    EXPECT_EQ("中文文", cli::FitToWidth("中文文", 6));
}

// A shorter line after a line of wide characters blanks every column the longer one took.
TEST(ProgressLine, AShorterLineBlanksEveryColumnOfAWideOne)
{
    std::ostringstream err;
    cli::ProgressLine line(err, true, [] { return std::chrono::steady_clock::time_point{}; }, 80);
    line.ShowNow("文件文件");  // eight columns
    line.ShowNow("ab");
    line.Clear();
    EXPECT_EQ("\r文件文件\rab      \rab\r  \r", err.str());
}

TEST(ScanProgressLine, TheLineNamesTheSectionTheEntriesExaminedAndTheProblems)
{
    std::ostringstream console;
    FakeClock clock;
    cli::ProgressLine line(console, true, clock.Get(), 200);
    cli::ScanProgressLine progress(line);
    progress.AddRow();
    progress.SetCell(0, kColumnStatus, "Scanning");
    progress.SetCell(0, kColumnSectionName, "Windows Fonts");
    progress.SetCell(0, kColumnProblems, "0");
    clock.now += 1s;
    progress.SetStatus("SOFTWARE\\Fonts[Arial]");
    clock.now += 1s;
    progress.SetCell(0, kColumnProblems, "1");
    clock.now += 1s;
    progress.SetStatus("SOFTWARE\\Fonts[Gone]");
    progress.SetCell(0, kColumnStatus, "Finished");
    const std::string shown = console.str();
    EXPECT_NE(std::string::npos, shown.find("\rScanning Windows Fonts: 0 entries examined, 0 problems"));
    EXPECT_NE(std::string::npos,
              shown.find("\rScanning Windows Fonts: 1 entries examined, 0 problems - SOFTWARE\\Fonts[Arial]"));
    EXPECT_NE(std::string::npos,
              shown.find("\rScanning Windows Fonts: 2 entries examined, 1 problems - SOFTWARE\\Fonts[Gone]"));
    EXPECT_NE(std::string::npos, shown.find("Windows Fonts\t1\tFinished\n"));
    // The table a window would read is kept as well.
    EXPECT_EQ("Finished", progress.Rows()[0][kColumnStatus]);
}

TEST(CountingProgressRegistry, KeysValuesAndDeletionsAreCountedAndShownOnceItHasAName)
{
    MemoryRegistry memory;
    std::ostringstream console;
    FakeClock clock;
    cli::ProgressLine line(console, true, clock.Get(), 200);
    cli::CountingProgressRegistry counting(memory, line, "");
    SetValue(counting, kCurrentUser, "Software\\A", "x", kRegSz, Str("1"));
    EXPECT_EQ("", console.str());  // no name yet: the scan's own line stays
    counting.SetWhat("Restoring a.xml");
    clock.now += 1s;
    SetValue(counting, kCurrentUser, "Software\\B", "y", kRegSz, Str("2"));
    clock.now += 1s;
    KeyHandle key(counting);
    ASSERT_EQ(kSuccess, counting.OpenKeyEx(kCurrentUser, "Software\\B", 0, kKeyAllAccess, key.Put()));
    clock.now += 1s;
    EXPECT_EQ(kSuccess, counting.DeleteValue(key.get(), "y"));
    EXPECT_EQ(2u, counting.written());
    EXPECT_EQ(1u, counting.deleted());
    EXPECT_NE(std::string::npos, console.str().find("items deleted")) << console.str();
    EXPECT_NE(std::string::npos, console.str().find("\rRestoring a.xml: ")) << console.str();
    // What the registry answers is passed on unchanged, failures included.
    EXPECT_EQ(kErrorFileNotFound, counting.DeleteValue(key.get(), "none"));
    EXPECT_EQ(1u, counting.deleted());
}

}  // namespace
}  // namespace tw::test
