// What the results viewer shows and does, without the window. One list in two views: the
// overview, a row per section that has problems (in the groups' order, then "Windows
// Shortcuts"), and the detail view of one section's problems or of the broken shortcuts.
// Every row has a tick; the viewer writes the ticks into the excluded flags of the problems
// and shortcuts, and those flags are all it ever changes. The repair is the scan page's.
// A detail row shows, under its key lines, why its scanner judged the entry broken; the
// "Save report..." button writes every finding with its reason and tick to a CSV file that
// any spreadsheet reads (FindingsCsv).
#pragma once

#include "../../resources/resource.h"

#include "scan/problem_record.h"
#include "pages/scan_page_model.h"
#include "scan/shortcut_scanner.h"

#include <array>
#include <string>
#include <vector>

namespace tw {

// Control ids of the results viewer.
enum ResultsControl : int {
    kResultsExit = IDC_EXIT,                       // top right: ends the program
    kResultsClose = IDC_RESULTS_CLOSE,             // bottom: the close step
    kResultsRepair = IDC_RESULTS_REPAIR,
    kResultsList = IDC_RESULTS_LIST,
    kResultsSaveReport = IDC_RESULTS_SAVE_REPORT,  // "Save report...": the findings as a CSV file
    kResultsIgnore = IDC_NEVER_REPORT,             // "Never report again"
};

// Palette entries of the list.
enum ResultsColour : int { kResultsBlack = 0, kResultsRed = 1, kResultsNoColour = -1 };

inline constexpr int kResultsColumns = 4;
inline constexpr int kSectionRowPreview = 37;
inline constexpr int kProblemRowPreview = 55;
inline constexpr int kShortcutRowPreview = 45;
// A row with a reason line has room for one line more.
inline constexpr int kReasonLinePreview = 17;
inline constexpr const char* kReportDefaultName = "Tarnwick report.csv";
inline constexpr const char* kSaveReportTip = "Save the findings as a CSV file";
inline constexpr const char* kReportNotSaved = "The report could not be saved to";
inline constexpr int kResultsRowState = 12;
inline constexpr const char* kShortcutsSection = "Windows Shortcuts";

struct ResultsCell {
    std::string text;
    int colour = kResultsNoColour;  // palette entry
};

struct ResultsRow {
    std::array<ResultsCell, kResultsColumns> cells;  // column 0 holds only the tick
    bool ticked = true;
    int previewHeight = 0;
    std::string description;  // drawn under the row
    std::string reason;       // why the entry is broken; a line of its own under the description
};

// What is drawn under a row and its tooltip shows: the description, then "Reason: " and the
// reason on a line of its own when the row has one.
std::string PreviewText(const ResultsRow& row);

// One field of a CSV file (RFC 4180): quoted, with its quotes doubled, when it holds a comma,
// a quote or a line break; as it is otherwise. A field that begins as a spreadsheet formula
// would ("=", "+", "-", "@", a tab or a carriage return) is quoted with an apostrophe first.
std::string CsvField(std::string_view text);

// The findings as a CSV file in UTF-8 with a byte order mark (so that a spreadsheet reads any
// script), lines ending in CR LF: the header row "Section,Key,Value,Data,Reason,Ticked", then
// one row per problem the viewer shows, in its order (by section, then as found), and one per
// broken shortcut (its file as the key). Ticked is "yes" or "no", as the excluded flags say.
// Texts arrive in the process code page.
std::string FindingsCsv(const ProblemList& problems, const std::vector<BrokenShortcut>& shortcuts);

// The message shown when the report could not be written: the file and the system's text.
std::string ReportNotSavedText(const std::string& path, const std::string& systemText);

// The description of a section's errors, by its section text; empty for any other text.
std::string SectionDescription(const std::string& sectionText);

// How far the scan got, from the rows of its progress page: whether it ran to its end, and
// for each requested section whether it finished and what it found. A viewer opened after
// an abort tells this instead of "No Errors Found.", which only a finished scan may say.
struct SectionCoverage {
    std::string label;  // as the progress row shows it
    bool finished = false;
    std::string problems;  // the row's count
};
struct ScanCoverage {
    bool complete = true;
    std::size_t ignored = 0;  // findings of the ignore list the scan left out
    std::vector<SectionCoverage> sections;
};
ScanCoverage CoverageFromRows(const std::vector<std::array<std::string, 3>>& rows, bool complete);

class ResultsView {
public:
    virtual ~ResultsView() = default;
    // The list shows exactly these rows now.
    virtual void ShowRows(const std::vector<ResultsRow>& rows) = 0;
    virtual void SetTicked(int row, bool ticked) = 0;
    virtual void ShowRepairButton(bool show) = 0;
    // Ends the viewer's modal run with 0.
    virtual void EndViewer() = 0;
    // Asks every ancestor window to close, from the parent up: the program ends.
    virtual void CloseAncestors() = 0;
    virtual void Minimize() = 0;
    virtual void OpenHelpPage() = 0;
    // The backup manager, modally; the page request it ended with.
    virtual int OpenBackupManager() = 0;
    // Asks for the report's file (the Save As dialog, kReportDefaultName offered); false
    // when the user cancelled.
    virtual bool AskReportPath(std::string* path) = 0;
    // Writes the report's bytes to `path`, replacing the file; empty when written, the
    // system's text of the failure otherwise.
    virtual std::string WriteReportFile(const std::string& path, const std::string& bytes) = 0;
    virtual void ShowReportError(const std::string& text) = 0;
    // A Yes/No question; true for Yes.
    virtual bool Confirm(const std::string& question)
    {
        (void)question;
        return false;
    }
    // A message box with an OK button.
    virtual void ShowMessage(const std::string& text) { (void)text; }
    virtual void ShowIgnoreButton(bool show) { (void)show; }
};

// The results viewer's question before findings go on the ignore list.
std::string NeverReportQuestion(std::size_t count);
inline constexpr const char* kNothingToIgnoreText =
    "Tick the problems that are never to be reported again, then click \"Never report again\".";
inline constexpr const char* kShortcutsNotIgnoredText =
    "Broken shortcuts are files, not registry entries: they cannot be put on the ignore list.";
std::string IgnoreListNotWrittenText(long status);

class ResultsModel {
public:
    ResultsModel(ProblemList& problems, std::vector<BrokenShortcut>& shortcuts, ScanPageCommands& page,
                 ScanCoverage coverage = {});

    // Builds the overview with every row ticked.
    void Open(ResultsView& view);
    // Left button on a row's tick box.
    void OnTickClicked(int row);
    // Double click on a row.
    void OnDoubleClick(int row);
    // A button; false when it is none of the viewer's.
    bool OnCommand(int id);
    // The viewer is being destroyed; ended any way but its own (Escape, say), it ends the
    // program as its exit button does. True when it did.
    bool OnDestroy();

    // What the list says when it has no rows: "No Errors Found." after a finished scan;
    // after an abort, what was scanned and found.
    std::string EmptyText() const;
    // The page's title line: empty after a finished scan, "Scanning aborted: ..." otherwise;
    // when the scan left findings of the ignore list out, it says how many.
    std::string TitleLine() const;

    // The whole text of a row for its tooltip: what its preview shows, of which a long key
    // path or value is cut short there. Empty for no such row.
    std::string RowTip(int row) const;

    const std::vector<ResultsRow>& rows() const { return rows_; }
    bool detailView() const { return detailView_; }
    bool shortcutView() const { return shortcutView_; }
    int currentGroup() const { return currentGroup_; }
    int pageRequest() const { return pageRequest_; }
    bool closeOwner() const { return closeOwner_; }
    // Findings put on the ignore list in this viewer.
    std::size_t ignoredHere() const { return ignoredHere_; }
    // How the viewer ended, for the scan page.
    ResultsOutcome outcome() const { return {pageRequest_, closeOwner_}; }

private:
    struct Group {
        std::string text;
        std::vector<ProblemRecord*> problems;
    };

    void BuildOverview();
    void AddSectionRow(const std::string& text, std::size_t count, bool ticked);
    void OpenDetail(int row);
    void ShowDetail(int group);
    // "Never report again": the ticked problems of the detail view, or of the ticked
    // sections of the overview, go on the ignore list and leave the rows.
    void NeverReport();
    void ReturnToOverview();
    void CopyTicksToFlags();
    void SetSectionExcluded(int row, std::uint8_t excluded);
    // The group an overview row stands for, -1 for the shortcuts row (or none).
    int GroupOfOverviewRow(int row) const;
    bool IsShortcutsRow(int row) const;
    void CloseStep();
    void Exit();
    void SaveReport();
    void Show();

    ProblemList& problems_;
    std::vector<BrokenShortcut>& shortcuts_;
    ScanPageCommands& page_;
    ScanCoverage coverage_;
    ResultsView* view_ = nullptr;
    std::array<Group, kSectionCount> groups_;
    std::vector<ResultsRow> rows_;
    bool detailView_ = false;
    bool shortcutView_ = false;
    int currentGroup_ = -1;
    int pageRequest_ = 0;
    bool closeOwner_ = false;
    bool closedInOrder_ = false;
    std::size_t ignoredHere_ = 0;
};

}  // namespace tw
