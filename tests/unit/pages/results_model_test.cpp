// The results viewer without its window: which rows each view shows with which texts, how
// ticks become excluded flags (and only those), and how the viewer ends.
#include "pages/results_model.h"

#include "platform/codepage.h"
#include "ui/page_request.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tw::test {
namespace {

struct FakeView : ResultsView {
    std::vector<ResultsRow> shown;
    bool repairShown = false;
    int ended = 0, ancestorsClosed = 0, minimised = 0, help = 0, backupOpened = 0;
    int backupAnswer = 0;
    void ShowRows(const std::vector<ResultsRow>& rows) override { shown = rows; }
    void SetTicked(int row, bool ticked) override { shown.at(static_cast<std::size_t>(row)).ticked = ticked; }
    void ShowRepairButton(bool show) override { repairShown = show; }
    void EndViewer() override { ++ended; }
    void CloseAncestors() override { ++ancestorsClosed; }
    void Minimize() override { ++minimised; }
    void OpenHelpPage() override { ++help; }
    int OpenBackupManager() override
    {
        ++backupOpened;
        return backupAnswer;
    }
    std::vector<std::string> questions, messages;
    bool answerYes = true;
    bool ignoreShown = false;
    bool Confirm(const std::string& question) override
    {
        questions.push_back(question);
        return answerYes;
    }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowIgnoreButton(bool show) override { ignoreShown = show; }
    // The report: the path the Save As dialog gives (none: cancelled), what was written, and
    // the failure the file system answers with.
    std::string reportPath;
    std::string writeFailure;
    std::vector<std::pair<std::string, std::string>> written;
    std::vector<std::string> errors;
    int asked = 0;
    bool AskReportPath(std::string* path) override
    {
        ++asked;
        *path = reportPath;
        return !reportPath.empty();
    }
    std::string WriteReportFile(const std::string& path, const std::string& bytes) override
    {
        if (writeFailure.empty())
            written.emplace_back(path, bytes);
        return writeFailure;
    }
    void ShowReportError(const std::string& text) override { errors.push_back(text); }
};

struct FakePage : ScanPageCommands {
    std::vector<std::string> calls;
    std::vector<std::uint8_t> excludedAtRepair;
    ProblemList* problems = nullptr;
    void Repair() override
    {
        calls.push_back("repair");
        for (const auto& p : *problems)
            excludedAtRepair.push_back(p->excluded);
    }
    void StopOrClose() override { calls.push_back("stop-or-close"); }
    std::vector<IgnoredEntry> ignored;
    long ignoreStatus = kSuccess;
    long Ignore(const std::vector<IgnoredEntry>& entries) override
    {
        calls.push_back("ignore");
        if (ignoreStatus == kSuccess)
            ignored.insert(ignored.end(), entries.begin(), entries.end());
        return ignoreStatus;
    }
};

class Results : public ::testing::Test {
protected:
    void Add(const std::string& section, const std::string& key, const std::string& name = "",
             const std::string& text = "")
    {
        auto p = std::make_unique<ProblemRecord>();
        p->section = section;
        p->keyPath = key;
        p->value = std::make_unique<ValueEntry>(ValueEntry{name, text, kRegSz});
        problems.push_back(std::move(p));
    }
    void AddWithReason(const std::string& section, const std::string& key, const std::string& name,
                       const std::string& text, const std::string& reason)
    {
        Add(section, key, name, text);
        problems.back()->reason = reason;
    }
    void Open()
    {
        page.problems = &problems;
        model = std::make_unique<ResultsModel>(problems, shortcuts, page);
        model->Open(view);
    }
    std::vector<std::string> Column(int column) const
    {
        std::vector<std::string> texts;
        for (const ResultsRow& r : view.shown)
            texts.push_back(r.cells[static_cast<std::size_t>(column)].text);
        return texts;
    }
    std::vector<bool> Ticks() const
    {
        std::vector<bool> ticks;
        for (const ResultsRow& r : view.shown)
            ticks.push_back(r.ticked);
        return ticks;
    }
    std::vector<int> Excluded() const
    {
        std::vector<int> flags;
        for (const auto& p : problems)
            flags.push_back(p ? p->excluded : -1);
        return flags;
    }

    ProblemList problems;
    std::vector<BrokenShortcut> shortcuts;
    FakePage page;
    FakeView view;
    std::unique_ptr<ResultsModel> model;
};

using Strings = std::vector<std::string>;

TEST_F(Results, TheOverviewHasOneTickedRowPerSectionInGroupOrderThenTheShortcuts)
{
    Add("System Services", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Gone");
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fonts", "Gone", "gone.ttf");
    problems.push_back(nullptr);  // an empty slot is passed over
    Add("Not a section", "HKEY_CURRENT_USER\\X");
    shortcuts = {{"C:\\a.lnk", 0}, {"C:\\b.lnk", 0}};
    Open();
    EXPECT_EQ((Strings{"Windows Fonts", "System Services", "Windows Shortcuts"}), Column(1));
    EXPECT_EQ((Strings{"1 Problems Found", "1 Problems Found", "2 Problems Found"}), Column(2));
    EXPECT_EQ(Strings(3, "Use Double-Click for view Details..."), Column(3));
    EXPECT_EQ(std::vector<bool>(3, true), Ticks());
    EXPECT_TRUE(view.repairShown);
    const ResultsRow& fonts = view.shown[0];
    EXPECT_EQ(kResultsBlack, fonts.cells[1].colour);
    EXPECT_EQ(kResultsRed, fonts.cells[2].colour);
    EXPECT_EQ(kResultsNoColour, fonts.cells[3].colour);
    EXPECT_EQ(kSectionRowPreview, fonts.previewHeight);
    EXPECT_EQ("Error Description: Errors in this section refer to invalid fonts in your computer. These may cause "
              "errors of displaying some text information.",
              fonts.description);
    EXPECT_EQ("Error Description: Errors in this section refer to errors in virtual device drivers. These may "
              "cause sporadic errors and system interruptions.",
              view.shown[1].description);
}

TEST_F(Results, DescriptionsKeepTheirSpellingAndDoubleBlanks)
{
    EXPECT_EQ("Errors in this section refer to Shared  DLLs within your registry. These may cause errors when "
              "attempting to access certain application, as well as sporadic errors and system interruptions.",
              SectionDescription("Shared Program Files"));
    EXPECT_EQ("Errors in this section refer to invalid entiries in your Add/Remove program Section in the registry.",
              SectionDescription("Add/Remove Program Section"));
    EXPECT_EQ("Errors in this section refer to your Help Files..", SectionDescription("Windows Help Files"));
    EXPECT_EQ("", SectionDescription("Complete Registry Scan "));
}

TEST_F(Results, WithNothingFoundTheListIsEmptyAndTheRepairButtonHidden)
{
    Open();
    EXPECT_TRUE(view.shown.empty());
    EXPECT_FALSE(view.repairShown);
}

TEST_F(Results, TheDetailViewNumbersItsRowsAndShowsPathNameAndValue)
{
    Add("Startup Programs", "HKEY_LOCAL_MACHINE\\Run", "", "x");
    Add("Startup Programs", "HKEY_LOCAL_MACHINE\\Run", "Gone", "C:\\gone.exe");
    Add("Startup Programs", "HKEY_CURRENT_USER\\Run", "Other", "C:\\other.exe");
    Open();
    model->OnDoubleClick(0);
    EXPECT_TRUE(model->detailView());
    EXPECT_EQ((Strings{"Error 1 Description:", "Error 2 Description:", "Error 3 Description:"}), Column(1));
    EXPECT_EQ("Key Path: HKEY_LOCAL_MACHINE\\Run\nKey Name: \nKey Value: x", view.shown[0].description);
    EXPECT_EQ("Key Path: HKEY_LOCAL_MACHINE\\Run\nKey Name: Gone\nKey Value: C:\\gone.exe", view.shown[1].description);
    EXPECT_EQ(kProblemRowPreview, view.shown[0].previewHeight);
    EXPECT_EQ(std::vector<bool>(3, true), Ticks());
}

TEST_F(Results, UntickingOneOfSeveralKeepsTheSectionTickedAndOnlyThatProblemIsSkipped)
{
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\F", "A", "a.ttf");
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\F", "B", "b.ttf");
    Add("Sound Section", "HKEY_CURRENT_USER\\S");
    Open();
    model->OnDoubleClick(0);     // Windows Fonts
    model->OnTickClicked(1);     // untick B
    model->OnCommand(kResultsClose);  // back to the overview
    EXPECT_FALSE(model->detailView());
    EXPECT_EQ(0, view.ended);
    EXPECT_EQ((std::vector<bool>{true, true}), Ticks());
    EXPECT_EQ((std::vector<int>{0, 1, 0}), Excluded());
    model->OnCommand(kResultsRepair);
    EXPECT_EQ((std::vector<std::string>{"repair", "stop-or-close"}), page.calls);
    EXPECT_EQ((std::vector<std::uint8_t>{0, 1, 0}), page.excludedAtRepair);
    EXPECT_EQ(1, view.ended);
    EXPECT_FALSE(model->OnDestroy());  // ended in order: the program goes on
}

TEST_F(Results, UntickingTheOnlyProblemLeavesTheSectionUnticked)
{
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\F", "A", "a.ttf");
    Open();
    model->OnDoubleClick(0);
    model->OnDoubleClick(0);  // a double click in the detail view changes the tick
    EXPECT_FALSE(view.shown[0].ticked);
    model->OnCommand(kResultsClose);
    EXPECT_EQ((std::vector<bool>{false}), Ticks());
    EXPECT_EQ((std::vector<int>{1}), Excluded());
}

TEST_F(Results, ASectionUntickedAndTickedAgainTakesBackProblemsUntickedOneByOne)
{
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\F", "A", "a.ttf");
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\F", "B", "b.ttf");
    Open();
    model->OnDoubleClick(0);
    model->OnTickClicked(0);
    model->OnCommand(kResultsClose);
    EXPECT_EQ((std::vector<int>{1, 0}), Excluded());
    model->OnTickClicked(0);  // untick the section: nothing changes until the ticks are copied
    EXPECT_FALSE(view.shown[0].ticked);
    EXPECT_EQ((std::vector<int>{1, 0}), Excluded());
    model->OnTickClicked(0);  // ticking it again by its box includes every problem at once
    EXPECT_TRUE(view.shown[0].ticked);
    EXPECT_EQ((std::vector<int>{0, 0}), Excluded());
    model->OnTickClicked(0);
    model->OnCommand(kResultsRepair);  // an unticked section excludes all its problems
    EXPECT_EQ((std::vector<std::uint8_t>{1, 1}), page.excludedAtRepair);
}

TEST_F(Results, TheShortcutRowOpensTheShortcutList)
{
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\F", "A", "a.ttf");
    shortcuts = {{"C:\\Users\\Desktop\\gone.lnk", 0}, {"C:\\b.lnk", 0}};
    Open();
    model->OnDoubleClick(1);
    EXPECT_TRUE(model->shortcutView());
    EXPECT_EQ((Strings{"Error 1 Description:", "Error 2 Description:"}), Column(1));
    EXPECT_EQ("Shortcut Path: C:\\Users\\Desktop\\gone.lnk", view.shown[0].description);
    EXPECT_EQ(kShortcutRowPreview, view.shown[0].previewHeight);
    model->OnTickClicked(1);
    model->OnCommand(kResultsClose);
    EXPECT_EQ(0, shortcuts[0].excluded);
    EXPECT_EQ(1, shortcuts[1].excluded);
    // Unticking the shortcut row in the overview excludes every shortcut.
    model->OnTickClicked(1);
    model->OnDoubleClick(0);  // a view change copies the ticks
    EXPECT_EQ(1, shortcuts[0].excluded);
}

TEST_F(Results, ADetailRowShowsItsReasonOnALineOfItsOwnUnderTheKeyLines)
{
    AddWithReason("Startup Programs", "HKEY_LOCAL_MACHINE\\Run", "Gone", "C:\\gone.exe /s",
                  "The program C:\\gone.exe started at log-on does not exist.");
    shortcuts = {{"C:\\Users\\Desktop\\gone.lnk", 0, "The shortcut's target C:\\Apps\\gone.exe does not exist."}};
    Open();
    model->OnDoubleClick(0);
    // The key lines stay as they were; the reason is a fourth line, and the row is taller.
    EXPECT_EQ("Key Path: HKEY_LOCAL_MACHINE\\Run\nKey Name: Gone\nKey Value: C:\\gone.exe /s", view.shown[0].description);
    EXPECT_EQ("Key Path: HKEY_LOCAL_MACHINE\\Run\nKey Name: Gone\nKey Value: C:\\gone.exe /s\n"
              "Reason: The program C:\\gone.exe started at log-on does not exist.",
              PreviewText(view.shown[0]));
    EXPECT_EQ(PreviewText(view.shown[0]), model->RowTip(0));
    EXPECT_EQ(kProblemRowPreview + kReasonLinePreview, view.shown[0].previewHeight);
    model->OnCommand(kResultsClose);
    model->OnDoubleClick(1);
    EXPECT_EQ("Shortcut Path: C:\\Users\\Desktop\\gone.lnk\n"
              "Reason: The shortcut's target C:\\Apps\\gone.exe does not exist.",
              PreviewText(view.shown[0]));
    EXPECT_EQ(kShortcutRowPreview + kReasonLinePreview, view.shown[0].previewHeight);
}

TEST(ReportCsv, FieldsAreQuotedOnlyWhenTheyHoldACommaAQuoteOrALineBreak)
{
    EXPECT_EQ("C:\\plain\\path.exe", CsvField("C:\\plain\\path.exe"));
    EXPECT_EQ("", CsvField(""));
    EXPECT_EQ("\"a,b\"", CsvField("a,b"));
    EXPECT_EQ("\"\"\"C:\\x.exe\"\" /s\"", CsvField("\"C:\\x.exe\" /s"));
    EXPECT_EQ("\"two\nlines\"", CsvField("two\nlines"));
    EXPECT_EQ("\"cr\rhere\"", CsvField("cr\rhere"));
    // Registry data that a spreadsheet would take for a formula stays text.
    EXPECT_EQ("\"'@%SystemRoot%\\system32\\shell32.dll,-21787\"", CsvField("@%SystemRoot%\\system32\\shell32.dll,-21787"));
    EXPECT_EQ("\"'=cmd|' /c calc'!A0\"", CsvField("=cmd|' /c calc'!A0"));
    EXPECT_EQ("\"'-x\"", CsvField("-x"));
    EXPECT_EQ("\"'+1\"", CsvField("+1"));
    EXPECT_EQ("a=b", CsvField("a=b"));
}

TEST_F(Results, TheReportHasAHeaderARowPerFindingInTheViewersOrderAndTheTicks)
{
    AddWithReason("System Services", "HKEY_LOCAL_MACHINE\\SYSTEM\\S\\Gone", "ImagePath", "\"C:\\s.exe\" -k a,b",
                  "The service's file C:\\s.exe does not exist.");
    AddWithReason("Windows Fonts", "HKEY_LOCAL_MACHINE\\F", "Гарнитура (TrueType)", "字体.ttf",
                  "The font file C:\\WINDOWS\\fonts\\字体.ttf does not exist.");
    AddWithReason("Windows Fonts", "HKEY_LOCAL_MACHINE\\F", "B", "b.ttf", "The font file b.ttf does not exist.");
    Add("Not a section", "HKEY_CURRENT_USER\\X");  // shown nowhere, reported nowhere
    shortcuts = {{"C:\\Users\\Desktop\\a, b.lnk", 0, "The shortcut's target C:\\x.exe does not exist."}};
    Open();
    model->OnDoubleClick(0);  // Windows Fonts
    model->OnTickClicked(1);  // untick B: the report says so without leaving the view
    view.reportPath = "C:\\Users\\Me\\Documents\\Tarnwick report.csv";
    EXPECT_TRUE(model->OnCommand(kResultsSaveReport));
    ASSERT_EQ(1u, view.written.size());
    EXPECT_EQ(view.reportPath, view.written[0].first);
    EXPECT_EQ("\xEF\xBB\xBF"
              "Section,Key,Value,Data,Reason,Ticked\r\n"
              "Windows Fonts,HKEY_LOCAL_MACHINE\\F,Гарнитура (TrueType),字体.ttf,"
              "The font file C:\\WINDOWS\\fonts\\字体.ttf does not exist.,yes\r\n"
              "Windows Fonts,HKEY_LOCAL_MACHINE\\F,B,b.ttf,The font file b.ttf does not exist.,no\r\n"
              "System Services,HKEY_LOCAL_MACHINE\\SYSTEM\\S\\Gone,ImagePath,\"\"\"C:\\s.exe\"\" -k a,b\","
              "The service's file C:\\s.exe does not exist.,yes\r\n"
              "Windows Shortcuts,\"C:\\Users\\Desktop\\a, b.lnk\",,,The shortcut's target C:\\x.exe does not exist.,yes\r\n",
              view.written[0].second);
    EXPECT_TRUE(model->detailView());  // the report changes nothing on screen
    EXPECT_EQ(0, view.ended);
}

TEST_F(Results, TheReportIsNotWrittenWhenTheSaveDialogIsCancelledAndAFailureIsShownWithTheSystemsText)
{
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\F", "A", "a.ttf");
    Open();
    model->OnCommand(kResultsSaveReport);  // no path: cancelled
    EXPECT_EQ(1, view.asked);
    EXPECT_TRUE(view.written.empty());
    EXPECT_TRUE(view.errors.empty());

    view.reportPath = "Z:\\nowhere\\Tarnwick report.csv";
    view.writeFailure = "The system cannot find the path specified.";
    model->OnCommand(kResultsSaveReport);
    EXPECT_EQ((Strings{"The report could not be saved to Z:\\nowhere\\Tarnwick report.csv.\n\n"
                       "The system cannot find the path specified."}),
              view.errors);
    EXPECT_EQ(0, view.ended);
}

// An older Windows keeps its text in code page 1252: the report is UTF-8 all the same.
TEST_F(Results, TheReportIsUtf8WhateverTheProcessCodePage)
{
    ScopedProcessCodePage windows1252(AnsiCodePage::Windows1252);
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\F", "Caf\xE9", "na\xEFve.ttf");
    EXPECT_EQ("\xEF\xBB\xBFSection,Key,Value,Data,Reason,Ticked\r\n"
              "Windows Fonts,HKEY_LOCAL_MACHINE\\F,Café,naïve.ttf,,yes\r\n",
              FindingsCsv(problems, shortcuts));
}

TEST_F(Results, AnEmptyReportHoldsTheHeaderAlone)
{
    EXPECT_EQ("\xEF\xBB\xBFSection,Key,Value,Data,Reason,Ticked\r\n", FindingsCsv(problems, shortcuts));
}

TEST_F(Results, TheCloseButtonGoesBackFromTheDetailViewThenClosesBothWindows)
{
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\F", "A", "a.ttf");
    Open();
    model->OnDoubleClick(0);
    model->OnCommand(kResultsClose);
    EXPECT_EQ(0, view.ended);
    model->OnCommand(kResultsClose);
    EXPECT_EQ(1, view.ended);
    EXPECT_TRUE(model->closeOwner());
    EXPECT_EQ(0, model->pageRequest());
    EXPECT_TRUE(page.calls.empty());
}

TEST_F(Results, HeaderButtonsLeaveTheirRequestsAndEndTheViewerFromAnyView)
{
    const std::pair<int, int> cases[] = {{1049, 1049}, {1056, 1056}, {1017, 1047}};
    for (auto [button, request] : cases) {
        problems.clear();
        Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\F", "A", "a.ttf");
        view = FakeView{};
        Open();
        model->OnDoubleClick(0);
        model->OnTickClicked(0);
        EXPECT_TRUE(model->OnCommand(button));
        EXPECT_EQ(1, view.ended) << button;
        EXPECT_EQ(request, model->outcome().pageRequest);
        EXPECT_EQ((std::vector<int>{1}), Excluded()) << "the ticks are kept";
    }
}

TEST_F(Results, TheBackupManagersRequestIsTakenOverAndNoRequestKeepsTheViewerOpen)
{
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\F", "A", "a.ttf");
    Open();
    model->OnCommand(kHeaderBackupManager);
    EXPECT_EQ(1, view.backupOpened);
    EXPECT_EQ(0, view.ended);
    view.backupAnswer = kRequestMainPage;
    model->OnCommand(kHeaderBackupManager);
    EXPECT_EQ(1, view.ended);
    EXPECT_EQ(kRequestMainPage, model->pageRequest());
    model->OnCommand(kHeaderHelp);
    model->OnCommand(kHeaderMinimize);
    EXPECT_EQ(1, view.help);
    EXPECT_EQ(1, view.minimised);
}

TEST_F(Results, EscapeOrTheExitButtonEndTheProgram)
{
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\F", "A", "a.ttf");
    Open();
    EXPECT_TRUE(model->OnDestroy());  // ended without its own buttons, as Escape does
    EXPECT_EQ(1, view.ancestorsClosed);

    view = FakeView{};
    Open();
    model->OnCommand(kResultsExit);
    EXPECT_EQ(1, view.ancestorsClosed);
    EXPECT_EQ(1, view.ended);
    EXPECT_FALSE(model->OnDestroy());
    EXPECT_EQ(1, view.ancestorsClosed);
}

TEST_F(Results, AfterAnAbortTheViewerSaysWhatWasScannedAndNeverNoErrorsFound)
{
    using Row = std::array<std::string, 3>;
    std::vector<Row> rows = {{"Help files", "0", "Finished"},
                             {"Applications Path", "0", "Finished"},
                             {"Startup Programs", "0", "Scanning"},
                             {"Windows Shortcuts", "0", "Scanning"}};
    page.problems = &problems;
    ResultsModel aborted(problems, shortcuts, page, CoverageFromRows(rows, false));
    aborted.Open(view);
    EXPECT_TRUE(view.shown.empty());
    EXPECT_EQ("Scanning aborted before the scan was finished. No problems were found in the sections scanned: "
              "Help files, Applications Path. Not scanned to the end: Startup Programs, Windows Shortcuts.",
              aborted.EmptyText());
    EXPECT_EQ("Scanning aborted: 2 of 4 sections finished", aborted.TitleLine());
    EXPECT_EQ(std::string::npos, aborted.EmptyText().find("No Errors Found."));

    // Cut short in the first section (its trailing blank is not shown).
    ResultsModel early(problems, shortcuts, page, CoverageFromRows({{"Complete Registry Scan ", "0", "Scanning"}}, false));
    EXPECT_EQ("Scanning aborted before the scan was finished. No section was scanned to its end, and no problems "
              "were found before the abort. Not scanned to the end: Complete Registry Scan.",
              early.EmptyText());
    EXPECT_EQ("Scanning aborted: 0 of 1 sections finished", early.TitleLine());

    // A scan that ran to its end may say so.
    ResultsModel finished(problems, shortcuts, page, CoverageFromRows(rows, true));
    EXPECT_EQ("No Errors Found.", finished.EmptyText());
    EXPECT_EQ("", finished.TitleLine());
}

TEST_F(Results, ARowsTipHoldsItsWholePathAndValueHoweverLong)
{
    const std::string key = "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\"
                            "a-program-with-a-rather-long-name-that-fills-the-row.exe";
    const std::string value = "C:\\Program Files\\Some Vendor With A Long Name\\Some Product Of Theirs\\"
                              "version 12.3.4567\\bin\\the-missing-file-name.exe";
    Add("Application Paths", key, "(Default)", value);
    Open();
    ASSERT_EQ(1u, view.shown.size());
    EXPECT_EQ(view.shown[0].description, model->RowTip(0));
    model->OnDoubleClick(0);
    ASSERT_EQ(1u, view.shown.size());
    EXPECT_EQ("Key Path: " + key + "\nKey Name: (Default)\nKey Value: " + value, model->RowTip(0));
    EXPECT_EQ("", model->RowTip(1));
    EXPECT_EQ("", model->RowTip(-1));
}

TEST_F(Results, NeverReportAgainTakesTheTickedProblemsOfTheDetailViewAfterOneQuestion)
{
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fonts", "One", "one.ttf");
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fonts", "Two", "two.ttf");
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fonts", "Three", "three.ttf");
    Add("System Services", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Gone");
    problems[3]->deleteType = "KEY";
    Open();
    EXPECT_TRUE(view.ignoreShown);
    model->OnDoubleClick(0);
    model->OnTickClicked(1);  // "Two" stays reported
    EXPECT_TRUE(model->OnCommand(kResultsIgnore));
    EXPECT_EQ((Strings{"Never report these 2 problems again?"}), view.questions);
    ASSERT_EQ(2u, page.ignored.size());
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\SOFTWARE\\Fonts", page.ignored[0].keyPath);
    EXPECT_EQ(std::optional<std::string>("One"), page.ignored[0].valueName);
    EXPECT_EQ(std::optional<std::string>("Three"), page.ignored[1].valueName);
    // Gone from the findings, so no repair reaches them; the detail view shows the rest.
    ASSERT_EQ(2u, problems.size());
    EXPECT_EQ("Two", problems[0]->value->name);
    EXPECT_TRUE(model->detailView());
    ASSERT_EQ(1u, view.shown.size());
    EXPECT_EQ("Key Path: HKEY_LOCAL_MACHINE\\SOFTWARE\\Fonts\nKey Name: Two\nKey Value: two.ttf",
              view.shown[0].description);
    EXPECT_EQ(2u, model->ignoredHere());
    model->OnCommand(kResultsRepair);
    EXPECT_EQ((std::vector<std::uint8_t>{1, 0}), page.excludedAtRepair);
}

TEST_F(Results, NeverReportAgainInTheOverviewTakesTheTickedSections)
{
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fonts", "One", "one.ttf");
    Add("System Services", "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Gone");
    problems[1]->deleteType = "KEY";
    shortcuts = {{"C:\\a.lnk", 0}};
    Open();
    model->OnTickClicked(0);  // fonts unticked; services and the shortcuts ticked
    model->OnCommand(kResultsIgnore);
    EXPECT_EQ((Strings{"Never report this problem again?"}), view.questions);
    ASSERT_EQ(1u, page.ignored.size());
    EXPECT_EQ("HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\Gone", page.ignored[0].keyPath);
    EXPECT_EQ(std::nullopt, page.ignored[0].valueName);  // a key's finding: the key alone
    EXPECT_EQ((Strings{"Windows Fonts", "Windows Shortcuts"}), Column(1));
    EXPECT_EQ(1u, shortcuts.size());

    // Only the shortcuts are ticked now (fonts stayed unticked): files never go on the list.
    EXPECT_EQ((std::vector<bool>{false, true}), Ticks());
    view.questions.clear();
    model->OnCommand(kResultsIgnore);
    EXPECT_TRUE(view.questions.empty());
    EXPECT_EQ((Strings{kNothingToIgnoreText}), view.messages);
}

TEST_F(Results, NeverReportAgainAnsweredNoOrNotWrittenChangesNothing)
{
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fonts", "One", "one.ttf");
    Open();
    view.answerYes = false;
    model->OnCommand(kResultsIgnore);
    EXPECT_EQ(1u, view.questions.size());
    EXPECT_TRUE(page.calls.empty());
    EXPECT_EQ(1u, problems.size());

    view.answerYes = true;
    page.ignoreStatus = kErrorAccessDenied;
    model->OnCommand(kResultsIgnore);
    EXPECT_EQ(1u, problems.size());
    EXPECT_EQ((Strings{"The ignore list could not be written (error 5): HKEY_CURRENT_USER\\Software\\Tarnwick\\Ignored."}),
              view.messages);
    EXPECT_EQ(1u, view.shown.size());
}

TEST_F(Results, TheLastProblemIgnoredLeavesAnEmptyListWithoutRepair)
{
    Add("Windows Fonts", "HKEY_LOCAL_MACHINE\\SOFTWARE\\Fonts", "One", "one.ttf");
    Open();
    model->OnDoubleClick(0);
    model->OnCommand(kResultsIgnore);
    EXPECT_TRUE(problems.empty());
    EXPECT_FALSE(model->detailView());
    EXPECT_TRUE(view.shown.empty());
    EXPECT_FALSE(view.repairShown);
    EXPECT_FALSE(view.ignoreShown);
}

TEST_F(Results, TheTitleLineSaysHowManyIgnoredProblemsWereLeftOut)
{
    ScanCoverage coverage;
    coverage.ignored = 2;
    ResultsModel finished(problems, shortcuts, page, coverage);
    EXPECT_EQ("2 ignored problems were left out.", finished.TitleLine());
    coverage.complete = false;
    coverage.sections = {{"Windows fonts", true, "0"}, {"Windows Services", false, "0"}};
    ResultsModel aborted(problems, shortcuts, page, coverage);
    EXPECT_EQ("Scanning aborted: 1 of 2 sections finished. 2 ignored problems were left out.", aborted.TitleLine());
    EXPECT_EQ("", ResultsModel(problems, shortcuts, page).TitleLine());
}

}  // namespace
}  // namespace tw::test
