// The help page as the build makes it ("Tarnwick Help.html" beside Tarnwick.exe): one file
// that works offline, every screenshot shown, and the words the program itself shows. The
// texts looked for are taken from the program (its section table, its window models, its
// messages, its resource scripts), so a window or message renamed in the program and not in
// the help fails here. And the page builder (tools/build-help.py): an image it cannot inline
// fails the build instead of leaving a broken page.
#include "app/application.h"
#include "app/ignored_entries_model.h"
#include "app/main_window_model.h"
#include "app/settings_model.h"
#include "app/wow64_refusal.h"
#include "backup/backup_catalogue.h"
#include "backup/backup_messages.h"
#include "backup/repair_undo.h"
#include "managers/add_remove_manager.h"
#include "managers/bho_manager.h"
#include "managers/manager_model.h"
#include "managers/removed_entry_store.h"
#include "managers/startup_manager.h"
#include "platform/memory/memory_registry.h"
#include "platform/memory/memory_system.h"
#include "pages/results_model.h"
#include "pages/scan_page_model.h"
#include "scan/scan_section.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace tw::test {
namespace {

namespace fs = std::filesystem;

const fs::path kSourceDir = TARNWICK_SOURCE_DIR;

std::string ReadWhole(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::string Base64(const std::string& bytes)
{
    static const char* const kAlphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    std::size_t i = 0;
    for (; i + 3 <= bytes.size(); i += 3) {
        unsigned n = (static_cast<unsigned char>(bytes[i]) << 16) | (static_cast<unsigned char>(bytes[i + 1]) << 8) |
                     static_cast<unsigned char>(bytes[i + 2]);
        for (int shift : {18, 12, 6, 0})
            out += kAlphabet[(n >> shift) & 63];
    }
    if (std::size_t rest = bytes.size() - i) {
        unsigned n = static_cast<unsigned char>(bytes[i]) << 16;
        if (rest == 2)
            n |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        out += kAlphabet[(n >> 18) & 63];
        out += kAlphabet[(n >> 12) & 63];
        out += rest == 2 ? kAlphabet[(n >> 6) & 63] : '=';
        out += '=';
    }
    return out;
}

// Blanks, tabs and line breaks as one blank: the page wraps its lines anywhere.
std::string CollapseSpace(const std::string& text)
{
    std::string out;
    for (char c : text) {
        bool space = c == ' ' || c == '\t' || c == '\r' || c == '\n';
        if (space) {
            if (!out.empty() && out.back() != ' ')
                out += ' ';
        } else {
            out += c;
        }
    }
    if (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// What a reader sees of the page: the text without tags (a line break counts as a blank),
// character references decoded, blanks collapsed.
std::string VisibleText(const std::string& page)
{
    static const std::map<std::string, std::string> kEntities = {
        {"amp", "&"},       {"lt", "<"},         {"gt", ">"},         {"quot", "\""},       {"apos", "'"},
        {"nbsp", " "},      {"ldquo", "\u201c"}, {"rdquo", "\u201d"}, {"lsquo", "\u2018"}, {"rsquo", "\u2019"},
        {"middot", "\u00b7"}, {"times", "\u00d7"}, {"minus", "\u2212"}, {"rarr", "\u2192"}, {"hellip", "\u2026"},
    };
    std::string text;
    for (std::size_t i = 0; i < page.size();) {
        if (page[i] == '<') {
            std::size_t end = page.find('>', i);
            if (end == std::string::npos)
                break;
            std::string tag = page.substr(i, end - i + 1);
            if (tag.rfind("<br", 0) == 0)
                text += ' ';
            i = end + 1;
        } else if (page[i] == '&') {
            std::size_t end = page.find(';', i);
            std::string name = end == std::string::npos ? std::string() : page.substr(i + 1, end - i - 1);
            if (!name.empty() && name[0] == '#') {
                unsigned long code = name.size() > 1 && (name[1] == 'x' || name[1] == 'X')
                                         ? std::strtoul(name.c_str() + 2, nullptr, 16)
                                         : std::strtoul(name.c_str() + 1, nullptr, 10);
                text += code < 0x80 ? std::string(1, static_cast<char>(code)) : std::string("?");
                i = end + 1;
            } else if (auto known = kEntities.find(name); known != kEntities.end()) {
                text += known->second;
                i = end + 1;
            } else {
                text += page[i++];
            }
        } else {
            text += page[i++];
        }
    }
    return CollapseSpace(text);
}

// The quoted texts of a resource script's captions, menu items, push buttons, group boxes
// and controls with a text of their own (radio buttons).
std::vector<std::string> ResourceTexts(const fs::path& script)
{
    static const std::regex kText(
        R"re(^\s*(?:CAPTION|MENUITEM|PUSHBUTTON|DEFPUSHBUTTON|GROUPBOX|CONTROL)\s+"([^"]+)")re");
    std::vector<std::string> texts;
    std::istringstream lines(ReadWhole(script));
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_search(line, match, kText))
            texts.push_back(match[1]);
    }
    return texts;
}

// A string constant of a Windows-only header (`name = "text"`), which the native tree
// cannot include.
std::string ConstantOf(const fs::path& header, const std::string& name)
{
    std::regex constant(name + R"re(\s*=\s*"([^"]*)")re");
    std::smatch match;
    std::string text = ReadWhole(header);
    return std::regex_search(text, match, constant) ? std::string(match[1]) : std::string();
}

// The text of a message up to its first placeholder ("Backup file not found: %s." is shown
// with a path in place of %s).
std::string FixedPart(const std::string& message)
{
    return message.substr(0, message.find('%'));
}

// One start tag of the page: its name and attributes, names in lower case. Read by hand:
// the page holds attribute values of a hundred kilobytes (the images), too long for a
// backtracking regular expression.
struct Tag {
    std::string name;
    std::map<std::string, std::string> attributes;
};

std::string Lowered(std::string text)
{
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

std::vector<Tag> StartTags(const std::string& page)
{
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    std::vector<Tag> tags;
    std::size_t i = 0;
    while ((i = page.find('<', i)) != std::string::npos) {
        ++i;
        if (i >= page.size() || !std::isalpha(static_cast<unsigned char>(page[i])))
            continue;  // an end tag, a comment or the doctype
        Tag tag;
        while (i < page.size() && std::isalnum(static_cast<unsigned char>(page[i])))
            tag.name += page[i++];
        tag.name = Lowered(tag.name);
        while (i < page.size() && page[i] != '>') {
            if (isSpace(page[i]) || page[i] == '/') {
                ++i;
                continue;
            }
            std::string name;
            while (i < page.size() && !isSpace(page[i]) && page[i] != '=' && page[i] != '>')
                name += page[i++];
            std::string value;
            if (i < page.size() && page[i] == '=') {
                ++i;
                if (i < page.size() && (page[i] == '"' || page[i] == '\'')) {
                    std::size_t end = page.find(page[i], i + 1);
                    if (end == std::string::npos)
                        end = page.size();
                    value = page.substr(i + 1, end - i - 1);
                    i = end + 1;
                } else {
                    while (i < page.size() && !isSpace(page[i]) && page[i] != '>')
                        value += page[i++];
                }
            }
            tag.attributes[Lowered(name)] = value;
        }
        tags.push_back(std::move(tag));
    }
    return tags;
}

class HelpPage : public ::testing::Test {
protected:
    // Read once: the page is a megabyte of images.
    static void SetUpTestSuite()
    {
        pageText_ = ReadWhole(TARNWICK_HELP_PAGE);
        visibleText_ = VisibleText(pageText_);
    }

    // Every text in `expected` appears in what a reader sees; the missing ones are named.
    static void ExpectMentioned(const std::vector<std::string>& expected, const char* what)
    {
        ASSERT_FALSE(expected.empty()) << what;
        for (const std::string& raw : expected) {
            std::string wanted = CollapseSpace(raw);
            ASSERT_FALSE(wanted.empty()) << what;
            EXPECT_NE(std::string::npos, visibleText_.find(wanted)) << what << " not in the help page: \"" << wanted << "\"";
        }
    }

    // The payloads of the page's images inlined as PNG data: URIs.
    static std::vector<std::string> InlinedImages()
    {
        static const std::string kPrefix = "data:image/png;base64,";
        std::vector<std::string> payloads;
        for (const Tag& tag : StartTags(pageText_)) {
            auto src = tag.attributes.find("src");
            if (tag.name == "img" && src != tag.attributes.end() && src->second.rfind(kPrefix, 0) == 0)
                payloads.push_back(src->second.substr(kPrefix.size()));
        }
        return payloads;
    }

    static inline std::string pageText_;
    static inline std::string visibleText_;
};

TEST_F(HelpPage, IsOneFileThatNeedsNothingElse)
{
    ASSERT_FALSE(pageText_.empty()) << "no help page at " << TARNWICK_HELP_PAGE;
    EXPECT_NE(std::string::npos, pageText_.find("<title>Tarnwick 2.6 help</title>"));

    // Every source of the page is inline: an image, a style sheet, a script or a frame that
    // names a file would be missing once the page is copied beside the program alone.
    std::vector<Tag> tags = StartTags(pageText_);
    std::set<std::string> ids;
    for (const Tag& tag : tags) {
        EXPECT_NE("link", tag.name);
        EXPECT_NE("script", tag.name);
        if (auto id = tag.attributes.find("id"); id != tag.attributes.end())
            ids.insert(id->second);
    }
    std::size_t images = 0;
    for (const Tag& tag : tags) {
        images += tag.name == "img";
        for (const char* attribute : {"src", "href"}) {
            auto target = tag.attributes.find(attribute);
            if (target == tag.attributes.end())
                continue;
            const std::string& value = target->second;
            bool inline_ = value.rfind("data:", 0) == 0 || value.rfind("#", 0) == 0;
            EXPECT_TRUE(inline_) << "<" << tag.name << "> refers to a file: " << value;
            // Links within the page lead somewhere.
            if (value.rfind("#", 0) == 0) {
                EXPECT_TRUE(ids.count(value.substr(1))) << "a link leads nowhere: " << value;
            }
        }
    }
    EXPECT_EQ(std::string::npos, pageText_.find("url(")) << "a style refers to a file";
    EXPECT_EQ(images, InlinedImages().size()) << "an image is not an inline PNG";
}

TEST_F(HelpPage, ShowsEveryScreenshotAndNothingElse)
{
    std::map<std::string, std::string> screenshots;  // payload -> file name
    for (const fs::directory_entry& entry : fs::directory_iterator(kSourceDir / "docs" / "screenshots")) {
        if (entry.path().extension() == ".png")
            screenshots[Base64(ReadWhole(entry.path()))] = entry.path().filename().string();
    }
    ASSERT_GE(screenshots.size(), 19u);

    std::vector<std::string> images = InlinedImages();
    std::set<std::string> shown;
    for (const std::string& payload : images) {
        auto screenshot = screenshots.find(payload);
        // The bytes of one of the screenshots, whole: not a stale or cut copy.
        ASSERT_NE(screenshots.end(), screenshot) << "an image of the page is none of docs/screenshots";
        shown.insert(screenshot->second);
    }

    // Each screenshot has its place: in the help page or in the README's tour.
    std::string readme = ReadWhole(kSourceDir / "README.md");
    for (const auto& [payload, name] : screenshots) {
        bool inReadme = readme.find("(docs/screenshots/" + name + ")") != std::string::npos;
        EXPECT_TRUE(shown.count(name) || inReadme) << name << " is shown nowhere";
    }
}

TEST_F(HelpPage, NamesEveryScanSectionAsTheProgramShowsIt)
{
    std::vector<std::string> names;
    for (ScanSection section : SectionsInPageOrder()) {
        const SectionInfo& info = SectionInfoOf(section);
        names.emplace_back(info.checkBoxLabel);  // main page
        names.emplace_back(info.progressLabel);  // progress list (one ends in a blank)
        names.emplace_back(info.problemText);    // results
    }
    ExpectMentioned(names, "scan section");
}

TEST_F(HelpPage, NamesEveryWindowAndItsButtonsAsTheProgramShowsThem)
{
    std::vector<std::string> titles = {
        MainWindowModel::kTitle,
        MainWindowModel::kSettingsTitle,
        MainWindowModel::kAdvancedTitle,
        MainWindowModel::kScanOnLoadLabel,
        MainWindowModel::kRestoreLatestLabel,
        kScanPageTitleLine,
        kRestoreViewTitle,
        backup_text::kRemoveTitle,
        backup_text::kFullRestoreTitle,
        backup_text::kPickerGroupLabel,
        backup_text::kSelectDatePlaceholder,
        ConstantOf(kSourceDir / "src" / "ui" / "skin_dialog.h", "kWindowTitle"),
        ConstantOf(kSourceDir / "src" / "app" / "splash_dialog.h", "kTitle"),
    };
    // Captions, menu items and button texts of every window made from a template.
    for (const fs::path& script : {kSourceDir / "resources" / "Tarnwick.rc",
                                   kSourceDir / "resources" / "dialogs" / "backup.rc",
                                   kSourceDir / "resources" / "dialogs" / "scan.rc",
                                   kSourceDir / "resources" / "dialogs" / "managers.rc",
                                   kSourceDir / "resources" / "dialogs" / "ignore.rc"}) {
        for (const std::string& text : ResourceTexts(script))
            titles.push_back(text);
    }

    // The managers: each one's title, columns, buttons and details, as its model gives them.
    MemoryRegistry registry;
    MemorySystem system;
    std::vector<std::unique_ptr<ManagerModel>> managers;
    managers.push_back(std::make_unique<StartupManagerModel>(registry, system));
    managers.push_back(std::make_unique<BhoManagerModel>(registry, system));
    managers.push_back(std::make_unique<AddRemoveManagerModel>(registry, system));
    for (const auto& manager : managers) {
        manager->Open();
        titles.push_back(manager->title());
        for (const ManagerColumn& column : manager->columns()) {
            if (std::string(column.title) != "Select")  // the check box column
                titles.emplace_back(column.title);
        }
        for (const ManagerButton& button : manager->buttons())
            titles.emplace_back(button.tooltip);
    }
    titles.emplace_back(kDetailsCaption);
    titles.emplace_back(kSaveReportTip);
    titles.emplace_back(kReportDefaultName);
    for (const char* label : kDetailLabels)
        titles.emplace_back(label);
    // The ignore list's button in the results viewer and its window of the "Settings" page.
    for (const char* text : {"Never report again", kIgnoredEntriesTitle, kIgnoredKeyColumn, kIgnoredValueColumn,
                             kIgnoredWholeKey, "Ignored entries..."})
        titles.emplace_back(text);

    ExpectMentioned(titles, "window text");
}

TEST_F(HelpPage, ExplainsEveryMessage)
{
    ExpectMentioned({Application::kAlreadyRunning, kWow64RefusalText, kScanCompleteText, kScanAbortedText,
                     FixedPart(backup_text::kPleaseSelectDate), FixedPart(backup_text::kFileNotFound),
                     FixedPart(backup_text::kCantCreateKey), backup_text::kRestored, backup_text::kNotRestored,
                     backup_text::kNoBackups, backup_text::kCreatingStatus, backup_text::kRestoringStatus,
                     backup_text::kCreatedDone, backup_text::kRestoredDone, backup_text::kNotCreated,
                     backup_text::kNotRestoredFully, backup_text::kCancelCreateQuestion,
                     backup_text::kCancelRestoreQuestion, backup_text::kWarningCaption,
                     backup_text::kBackupNotWritten, kMoveFailedMessage, backup_text::kCreateCancelled,
                     backup_text::kRestoreCancelled, backup_text::kNoDateChosen,
                     FixedPart(backup_text::RemoveQuestion("%s")), backup_text::kUndoRepairQuestion,
                     backup_text::kNoRepairToUndo, backup_text::kRepairNotUndone,
                     FixedPart(backup_text::AlreadyUndoneText("%s")), FixedPart(backup_text::UndoLastRepairQuestion("%s")),
                     backup_text::UndoneText(5, 0, "").substr(0, 22), backup_text::RepairDoneText(1, 2, 0),
                     backup_text::SecondLookText(1), "Undo last repair",
                     // the ignore list's
                     NeverReportQuestion(2), IgnoredCountText(2), kNothingToIgnoreText, kShortcutsNotIgnoredText,
                     kIgnoredNothingSelected, kReportNotSaved},
                    "message");
}

TEST_F(HelpPage, SaysWhereBackupsLogsAndRemovedEntriesAreKept)
{
    MemoryRegistry registry;
    SettingsModel settings(registry, kSettingsKeyName, "Tarnwick");
    ExpectMentioned({std::string(kRegistryBackupsFolder), std::string(kFullBackupsFolder), "Log", ".twlog",
                     "SOFTWARE", "HARDWARE", "CUSOFTWARE", std::string("HKEY_LOCAL_MACHINE\\") + kMachineOptionsKey,
                     "HKEY_CURRENT_USER\\" + settings.SectionKeyPath(), kStartupStoreKeyPath, kBhoStoreKeyPath,
                     kAddRemoveStoreKeyPath, std::string(kRepairRecordName),
                     std::string("HKEY_CURRENT_USER\\") + kIgnoredKeyPath},
                    "place");
}

// ---- the page builder

class HelpBuilder : public ::testing::Test {
protected:
    // Runs tools/build-help.py on `source`; its exit status.
    int Build(const fs::path& source, const fs::path& output)
    {
        std::string command = std::string("'") + TARNWICK_PYTHON + "' '" +
                              (kSourceDir / "tools" / "build-help.py").string() + "' '" + source.string() + "' '" +
                              output.string() + "' 2>'" + (root_ / "errors.txt").string() + "'";
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    std::string Errors() const { return ReadWhole(root_ / "errors.txt"); }
    void Write(const fs::path& path, const std::string& text)
    {
        fs::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary) << text;
    }

    TempDir dir_;
    fs::path root_ = dir_.path();
};

TEST_F(HelpBuilder, InlinesEachImageAndKeepsTheRestOfThePage)
{
    std::string png = ReadWhole(kSourceDir / "docs" / "screenshots" / "notification-menu.png");
    Write(root_ / "shots" / "a menu.png", png);
    // Either quote, either case, a name with a blank written plainly or as a browser takes
    // it (%20), and an image already inline.
    Write(root_ / "help" / "index.html",
          "<p>before</p>\n<img alt=\"one\" src=\"../shots/a%20menu.png\">\n"
          "<IMG class='x' SRC='../shots/a menu.png' alt='two'>\n<img src=\"data:image/png;base64,AAAA\">\n<p>after</p>\n");
    fs::path output = root_ / "out" / "Tarnwick Help.html";
    fs::create_directories(output.parent_path());
    ASSERT_EQ(0, Build(root_ / "help" / "index.html", output)) << Errors();
    std::string uri = "data:image/png;base64," + Base64(png);
    EXPECT_EQ("<p>before</p>\n<img alt=\"one\" src=\"" + uri + "\">\n<IMG class='x' SRC='" + uri +
                  "' alt='two'>\n<img src=\"data:image/png;base64,AAAA\">\n<p>after</p>\n",
              ReadWhole(output));
    EXPECT_FALSE(fs::exists(output.string() + ".part"));
}

TEST_F(HelpBuilder, AnImageItCannotInlineFailsTheBuildAndLeavesNoPage)
{
    fs::path output = root_ / "Tarnwick Help.html";
    Write(root_ / "ok.png", ReadWhole(kSourceDir / "docs" / "screenshots" / "notification-menu.png"));
    Write(root_ / "notes.png", "not an image");
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"<img src=\"missing.png\">", "missing.png"},
        {"<img src=\"notes.png\">", "notes.png"},
        {"<img src=\"https://example.org/shot.png\">", "example.org"},
    };
    for (const auto& [body, named] : cases) {
        // A page from an earlier build lies there: it must not pass for this one.
        Write(output, "stale");
        Write(root_ / "index.html", "<img src=\"ok.png\">\n" + body + "\n");
        EXPECT_EQ(1, Build(root_ / "index.html", output)) << body;
        EXPECT_FALSE(fs::exists(output)) << body;
        EXPECT_FALSE(fs::exists(output.string() + ".part")) << body;
        EXPECT_NE(std::string::npos, Errors().find(named)) << "the error names the image: " << Errors();
    }
}

}  // namespace
}  // namespace tw::test
