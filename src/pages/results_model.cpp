#include "pages/results_model.h"

#include "platform/codepage.h"
#include "scan/scan_progress.h"
#include "ui/page_request.h"
#include "ui/report_model.h"

#include <algorithm>
#include <cstdio>
#include <unordered_set>

namespace tw {
namespace {

struct SectionText {
    const char* section;
    const char* description;
};

// Spelling and double blanks as the program has always shown them.
constexpr SectionText kDescriptions[] = {
    {"Complete Registry Scan", "These are invalid references located throughout your entire registry."},
    {"Program ID Section",
     "Errors in this section refer to invalid entries in your ProgramID Section. These may cause errors when "
     "attempting to run certain applications."},
    {"Add/Remove Program Section",
     "Errors in this section refer to invalid entiries in your Add/Remove program Section in the registry."},
    {"Application Paths",
     "Errors in this section refer to paths to applications within your computer. These may cause errors when you "
     "attempt to access certain applications."},
    {"Windows Fonts",
     "Errors in this section refer to invalid fonts in your computer. These may cause errors of displaying some "
     "text information."},
    {"Shared Program Files",
     "Errors in this section refer to Shared  DLLs within your registry. These may cause errors when attempting to "
     "access certain application, as well as sporadic errors and system interruptions."},
    {"Windows Help Files", "Errors in this section refer to your Help Files.."},
    {"Startup Programs", "Errors in this section refer to your Startup Programs Section."},
    {"System Services",
     "Errors in this section refer to errors in virtual device drivers. These may cause sporadic errors and system "
     "interruptions."},
    {"Vxd Drivers Section",
     "Errors in this section refer to errors in device drivers. These may cause sporadic errors and system "
     "interruptions."},
    {"File Associations",
     "Errors in this section refer to missing file associations. These may cause errors when you attempt to  "
     "access programs associated with certain types of files."},
    {"Sound Section", "Errors in this section refer to System Files of your system."},
    {"Registry Integrity", "Errors in this section refer to Registry Integrity."},
    {"Windows Shortcuts",
     "Errors in this section refer to Windows Shortcuts that are not pointing to valid file locations."},
};

std::string Numbered(const char* format, std::size_t n)
{
    char text[64];
    std::snprintf(text, sizeof text, format, static_cast<int>(n));
    return text;
}

}  // namespace

std::string PreviewText(const ResultsRow& row)
{
    if (row.reason.empty())
        return row.description;
    return row.description + "\nReason: " + row.reason;
}

std::string CsvField(std::string_view text)
{
    // A spreadsheet takes a field that begins so as a formula, even quoted: registry data
    // such as "@%SystemRoot%\system32\shell32.dll,-21787" would show as an error, and crafted
    // data would run. An apostrophe before it makes it text, which spreadsheets do not show.
    const bool formulaLike = !text.empty() && std::string_view("=+-@\t\r").find(text.front()) != std::string_view::npos;
    if (!formulaLike && text.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(text);
    std::string field = formulaLike ? "\"'" : "\"";
    for (char c : text) {
        if (c == '"')
            field += '"';
        field += c;
    }
    return field + "\"";
}

namespace {

void AppendCsvRow(std::string& csv, std::initializer_list<std::string_view> fields)
{
    bool first = true;
    for (std::string_view field : fields) {
        if (!first)
            csv += ',';
        first = false;
        // The process code page is UTF-8 on current Windows; an older one's text is widened.
        csv += CsvField(Utf16ToUtf8(AnsiToUtf16(field)));
    }
    csv += "\r\n";
}

const char* TickedText(std::uint8_t excluded)
{
    return excluded == 0 ? "yes" : "no";
}

}  // namespace

std::string FindingsCsv(const ProblemList& problems, const std::vector<BrokenShortcut>& shortcuts)
{
    std::string csv = "\xEF\xBB\xBF";
    AppendCsvRow(csv, {"Section", "Key", "Value", "Data", "Reason", "Ticked"});
    for (int group = 0; group < kSectionCount; ++group) {
        for (const auto& p : problems) {
            if (!p || ResultsGroupOf(p->section) != group)
                continue;
            const std::string name = p->value ? p->value->name : std::string();
            const std::string text = p->value ? p->value->text : std::string();
            AppendCsvRow(csv, {p->section, p->keyPath, name, text, p->reason, TickedText(p->excluded)});
        }
    }
    for (const BrokenShortcut& s : shortcuts)
        AppendCsvRow(csv, {kShortcutsSection, s.path, "", "", s.reason, TickedText(s.excluded)});
    return csv;
}

std::string ReportNotSavedText(const std::string& path, const std::string& systemText)
{
    return std::string(kReportNotSaved) + " " + path + ".\n\n" + systemText;
}

std::string SectionDescription(const std::string& sectionText)
{
    for (const SectionText& s : kDescriptions)
        if (sectionText == s.section)
            return s.description;
    return {};
}

ResultsModel::ResultsModel(ProblemList& problems, std::vector<BrokenShortcut>& shortcuts, ScanPageCommands& page,
                           ScanCoverage coverage)
    : problems_(problems), shortcuts_(shortcuts), page_(page), coverage_(std::move(coverage))
{
}

ScanCoverage CoverageFromRows(const std::vector<std::array<std::string, 3>>& rows, bool complete)
{
    ScanCoverage coverage;
    coverage.complete = complete;
    for (const auto& row : rows) {
        std::string label = row[kColumnSectionName];
        while (!label.empty() && label.back() == ' ')
            label.pop_back();  // "Complete Registry Scan " carries a blank
        coverage.sections.push_back({label, row[kColumnStatus] == "Finished", row[kColumnProblems]});
    }
    return coverage;
}

namespace {

std::string JoinLabels(const std::vector<std::string>& labels)
{
    std::string text;
    for (const std::string& label : labels)
        text += (text.empty() ? "" : ", ") + label;
    return text;
}

}  // namespace

std::string ResultsModel::RowTip(int row) const
{
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size())
        return "";
    return PreviewText(rows_[static_cast<std::size_t>(row)]);
}

std::string NeverReportQuestion(std::size_t count)
{
    if (count == 1)
        return "Never report this problem again?";
    return "Never report these " + std::to_string(count) + " problems again?";
}

std::string IgnoreListNotWrittenText(long status)
{
    return "The ignore list could not be written (error " + std::to_string(status) +
           "): HKEY_CURRENT_USER\\" + kIgnoredKeyPath + ".";
}

std::string ResultsModel::TitleLine() const
{
    const std::string ignored = coverage_.ignored > 0 ? IgnoredCountText(coverage_.ignored) : "";
    if (coverage_.complete)
        return ignored;
    std::size_t finished = 0;
    for (const SectionCoverage& s : coverage_.sections)
        finished += s.finished ? 1 : 0;
    return "Scanning aborted: " + std::to_string(finished) + " of " + std::to_string(coverage_.sections.size()) +
           " sections finished" + (ignored.empty() ? "" : ". " + ignored);
}

std::string ResultsModel::EmptyText() const
{
    if (coverage_.complete)
        return ReportModel::kEmptyText;
    std::vector<std::string> finished, unfinished;
    for (const SectionCoverage& s : coverage_.sections)
        (s.finished ? finished : unfinished).push_back(s.label);
    std::string text = "Scanning aborted before the scan was finished. ";
    if (finished.empty())
        text += "No section was scanned to its end, and no problems were found before the abort.";
    else
        text += "No problems were found in the sections scanned: " + JoinLabels(finished) + ".";
    if (!unfinished.empty())
        text += " Not scanned to the end: " + JoinLabels(unfinished) + ".";
    return text;
}

void ResultsModel::Open(ResultsView& view)
{
    view_ = &view;
    BuildOverview();
    for (ResultsRow& row : rows_)
        row.ticked = true;
    Show();
    view.ShowRepairButton(!rows_.empty());
    view.ShowIgnoreButton(!rows_.empty());
}

void ResultsModel::Show()
{
    if (view_)
        view_->ShowRows(rows_);
}

void ResultsModel::AddSectionRow(const std::string& text, std::size_t count, bool ticked)
{
    ResultsRow row;
    row.cells[1] = {text, kResultsBlack};
    row.cells[2] = {Numbered("%i Problems Found", count), kResultsRed};
    row.cells[3] = {"Use Double-Click for view Details...", kResultsNoColour};
    row.previewHeight = kSectionRowPreview;
    row.ticked = ticked;
    row.description = "Error Description: " + SectionDescription(text);
    rows_.push_back(std::move(row));
}

void ResultsModel::BuildOverview()
{
    rows_.clear();
    for (Group& g : groups_) {
        g.text.clear();
        g.problems.clear();
    }
    for (const auto& problem : problems_) {
        if (!problem)
            continue;
        int group = ResultsGroupOf(problem->section);
        if (group == -1)
            continue;  // shown nowhere, its flag left as it is
        groups_[static_cast<std::size_t>(group)].text = problem->section;
        groups_[static_cast<std::size_t>(group)].problems.push_back(problem.get());
    }
    for (const Group& g : groups_) {
        if (g.text.empty())
            continue;
        bool anyIncluded = false;
        for (const ProblemRecord* p : g.problems)
            anyIncluded = anyIncluded || p->excluded == 0;
        AddSectionRow(g.text, g.problems.size(), anyIncluded);
    }
    if (!shortcuts_.empty()) {
        bool anyIncluded = false;
        for (const BrokenShortcut& s : shortcuts_)
            anyIncluded = anyIncluded || s.excluded == 0;
        AddSectionRow(kShortcutsSection, shortcuts_.size(), anyIncluded);
    }
}

bool ResultsModel::IsShortcutsRow(int row) const
{
    return row >= 0 && static_cast<std::size_t>(row) < rows_.size() &&
           rows_[static_cast<std::size_t>(row)].cells[1].text == kShortcutsSection;
}

int ResultsModel::GroupOfOverviewRow(int row) const
{
    if (IsShortcutsRow(row))
        return -1;
    int seen = 0;
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        if (groups_[g].text.empty())
            continue;
        if (seen++ == row)
            return static_cast<int>(g);
    }
    return -1;
}

void ResultsModel::SetSectionExcluded(int row, std::uint8_t excluded)
{
    if (IsShortcutsRow(row)) {
        for (BrokenShortcut& s : shortcuts_)
            s.excluded = excluded;
        return;
    }
    int group = GroupOfOverviewRow(row);
    if (group == -1)
        return;
    for (ProblemRecord* p : groups_[static_cast<std::size_t>(group)].problems)
        p->excluded = excluded;
}

void ResultsModel::CopyTicksToFlags()
{
    if (detailView_) {
        if (shortcutView_ || currentGroup_ == -1) {
            for (std::size_t i = 0; i < rows_.size() && i < shortcuts_.size(); ++i)
                shortcuts_[i].excluded = rows_[i].ticked ? 0 : 1;
            return;
        }
        auto& problems = groups_[static_cast<std::size_t>(currentGroup_)].problems;
        for (std::size_t i = 0; i < rows_.size() && i < problems.size(); ++i)
            problems[i]->excluded = rows_[i].ticked ? 0 : 1;
        return;
    }
    // Ticked section rows change nothing: problems unticked one by one stay unticked.
    for (std::size_t r = 0; r < rows_.size(); ++r)
        if (!rows_[r].ticked)
            SetSectionExcluded(static_cast<int>(r), 1);
}

void ResultsModel::OpenDetail(int row)
{
    CopyTicksToFlags();
    bool shortcuts = IsShortcutsRow(row);
    int group = shortcuts ? -1 : GroupOfOverviewRow(row);
    if (!shortcuts && group == -1)
        return;
    ShowDetail(group);
}

void ResultsModel::ShowDetail(int group)
{
    detailView_ = true;
    rows_.clear();
    if (group != -1) {
        currentGroup_ = group;
        shortcutView_ = false;
        std::size_t n = 0;
        for (ProblemRecord* p : groups_[static_cast<std::size_t>(group)].problems) {
            ResultsRow r;
            r.cells[1] = {Numbered("Error %i Description:", ++n), kResultsBlack};
            r.previewHeight = kProblemRowPreview;
            r.ticked = p->excluded == 0;
            std::string name = p->value ? p->value->name : std::string();
            std::string text = p->value ? p->value->text : std::string();
            r.description = "Key Path: " + p->keyPath + "\nKey Name: " + name + "\nKey Value: " + text;
            r.reason = p->reason;
            if (!r.reason.empty())
                r.previewHeight += kReasonLinePreview;
            rows_.push_back(std::move(r));
        }
    } else {
        shortcutView_ = true;
        std::size_t n = 0;
        for (const BrokenShortcut& s : shortcuts_) {
            ResultsRow r;
            r.cells[1] = {Numbered("Error %i Description:", ++n), kResultsBlack};
            r.previewHeight = kShortcutRowPreview;
            r.ticked = s.excluded == 0;
            r.description = "Shortcut Path: " + s.path;
            r.reason = s.reason;
            if (!r.reason.empty())
                r.previewHeight += kReasonLinePreview;
            rows_.push_back(std::move(r));
        }
    }
    Show();
}

void ResultsModel::NeverReport()
{
    CopyTicksToFlags();
    if (detailView_ && shortcutView_) {
        view_->ShowMessage(kShortcutsNotIgnoredText);
        return;
    }
    std::vector<ProblemRecord*> chosen;
    if (detailView_) {
        for (ProblemRecord* p : groups_[static_cast<std::size_t>(currentGroup_)].problems)
            if (p->excluded == 0)
                chosen.push_back(p);
    } else {
        for (std::size_t r = 0; r < rows_.size(); ++r) {
            int group = GroupOfOverviewRow(static_cast<int>(r));
            if (!rows_[r].ticked || group == -1)
                continue;  // the shortcuts row among them: files are not listed
            for (ProblemRecord* p : groups_[static_cast<std::size_t>(group)].problems)
                if (p->excluded == 0)
                    chosen.push_back(p);
        }
    }
    if (chosen.empty()) {
        view_->ShowMessage(kNothingToIgnoreText);
        return;
    }
    if (!view_->Confirm(NeverReportQuestion(chosen.size())))
        return;
    std::vector<IgnoredEntry> entries;
    for (const ProblemRecord* p : chosen)
        entries.push_back(EntryOfProblem(*p));
    if (long status = page_.Ignore(entries); status != kSuccess) {
        view_->ShowMessage(IgnoreListNotWrittenText(status));
        return;
    }
    // Off the rows and out of the findings, so that no repair reaches them.
    const std::unordered_set<const ProblemRecord*> gone(chosen.begin(), chosen.end());
    problems_.erase(std::remove_if(problems_.begin(), problems_.end(),
                                   [&](const std::unique_ptr<ProblemRecord>& p) { return gone.count(p.get()) != 0; }),
                    problems_.end());
    ignoredHere_ += chosen.size();
    const int group = detailView_ ? currentGroup_ : -1;
    BuildOverview();
    if (group != -1 && !groups_[static_cast<std::size_t>(group)].problems.empty()) {
        ShowDetail(group);
        return;
    }
    detailView_ = false;
    shortcutView_ = false;
    currentGroup_ = -1;
    Show();
    view_->ShowRepairButton(!rows_.empty());
    view_->ShowIgnoreButton(!rows_.empty());
}

void ResultsModel::ReturnToOverview()
{
    CopyTicksToFlags();
    detailView_ = false;
    shortcutView_ = false;
    currentGroup_ = -1;
    if (view_)
        view_->ShowRepairButton(true);
    BuildOverview();  // the section rows' ticks follow the flags now
    Show();
}

void ResultsModel::OnTickClicked(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size())
        return;
    ResultsRow& r = rows_[static_cast<std::size_t>(row)];
    if (!detailView_ && !r.ticked)
        SetSectionExcluded(row, 0);  // ticking a section takes back every problem of it
    r.ticked = !r.ticked;
    if (view_)
        view_->SetTicked(row, r.ticked);
}

void ResultsModel::OnDoubleClick(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= rows_.size())
        return;
    if (detailView_) {
        ResultsRow& r = rows_[static_cast<std::size_t>(row)];
        r.ticked = !r.ticked;
        if (view_)
            view_->SetTicked(row, r.ticked);
        return;
    }
    OpenDetail(row);
}

void ResultsModel::CloseStep()
{
    if (detailView_ && pageRequest_ == kNoPageRequest) {
        ReturnToOverview();
        return;
    }
    // A page request ends the viewer whatever view it shows.
    if (detailView_)
        CopyTicksToFlags();
    closeOwner_ = true;
    closedInOrder_ = true;
    view_->EndViewer();
}

void ResultsModel::SaveReport()
{
    CopyTicksToFlags();  // the report says what the repair would do now
    std::string path;
    if (!view_->AskReportPath(&path))
        return;
    std::string failure = view_->WriteReportFile(path, FindingsCsv(problems_, shortcuts_));
    if (!failure.empty())
        view_->ShowReportError(ReportNotSavedText(path, failure));
}

void ResultsModel::Exit()
{
    closedInOrder_ = true;
    view_->CloseAncestors();
    view_->EndViewer();
}

bool ResultsModel::OnCommand(int id)
{
    switch (id) {
    case kResultsClose:
        CloseStep();
        return true;
    case kResultsRepair:
        CopyTicksToFlags();
        page_.Repair();
        page_.StopOrClose();
        closedInOrder_ = true;
        view_->EndViewer();
        return true;
    case kResultsIgnore:
        NeverReport();
        return true;
    case kResultsSaveReport:
        SaveReport();
        return true;
    default:
        break;
    }
    // The header: what each button asks for is the page protocol's.
    using Step = PageDialogProtocol::Step;
    PageDialogProtocol header(kResultsExit);
    Step step = header.OnButton(id);
    if (step == Step::OpenBackupManager)
        step = header.FinishBackupManager(view_->OpenBackupManager());
    switch (step) {
    case Step::Close:
        pageRequest_ = header.pageRequest();
        CloseStep();
        return true;
    case Step::OpenHelpPage:
        view_->OpenHelpPage();
        return true;
    case Step::Minimize:
        view_->Minimize();
        return true;
    case Step::Exit:
        Exit();
        return true;
    case Step::OpenBackupManager:
    case Step::None:
        break;
    }
    return id == kHeaderBackupManager;
}

bool ResultsModel::OnDestroy()
{
    if (closedInOrder_ || !view_)
        return false;
    Exit();
    return true;
}

}  // namespace tw
