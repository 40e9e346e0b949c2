// tarnwick-cli scan [SECTION...] [--json]: runs the named scan sections (all fourteen when
// none is named) on the scan worker exactly as the program does, activity log included.
// Progress (section rows and, now and then, the status line) goes to standard error; the
// findings go to standard output, one per line, each with the reason its scanner gave. On a
// console the status shows on one line rewritten in place (console_progress.h). When the
// user keeps an ignore list, a last line says how many findings on it were left out
// ("N ignored problems were left out.", or {"ignored":N}).
#include "cli/commands.h"
#include "cli/console_progress.h"
#include "cli/json.h"
#include "log/activity_log.h"
#include "scan/scan_driver.h"

#include <chrono>
#include <mutex>

namespace tw::cli {
namespace {

class ConsoleProgress final : public ProgressTable {
public:
    explicit ConsoleProgress(std::ostream& err) : err_(err) {}

    void SetCell(int row, int column, std::string_view text) override
    {
        ProgressTable::SetCell(row, column, text);
        if (column == kColumnStatus && text == "Finished") {
            auto rows = Rows();
            if (static_cast<std::size_t>(row) < rows.size())
                err_ << rows[row][kColumnSectionName] << "\t" << rows[row][kColumnProblems] << "\t" << text
                     << "\n";
        }
    }
    void SetStatus(std::string_view text) override
    {
        ProgressTable::SetStatus(text);
        // The status line changes once per value: show it a few times a second at most.
        auto now = std::chrono::steady_clock::now();
        if (now - shown_ >= std::chrono::milliseconds(500)) {
            shown_ = now;
            err_ << "  " << text << "\n";
        }
    }

private:
    std::ostream& err_;
    std::chrono::steady_clock::time_point shown_{};
};

}  // namespace

int RunScan(Context& context, const Arguments& arguments)
{
    std::vector<std::string> flags;
    Arguments rest;
    std::string unknown;
    if (!TakeFlags(arguments, {"--json"}, &flags, &rest, &unknown))
        return UsageError(context, "unknown option '" + unknown + "'");
    ScanRequest request = rest.empty() ? ScanRequest::All() : ScanRequest::None();
    for (const std::string& name : rest) {
        auto section = SectionFromName(name);
        if (!section)
            return UsageError(context, "unknown section '" + name + "'");
        request[*section] = kSectionRequested;
    }

    ActivityLog log(context.system);
    log.Open();
    ScanDriver driver(context.registry, context.system, log);
    ProgressLine line(context.err, context.errIsConsole);
    ConsoleProgress redirected(context.err);
    ScanProgressLine onConsole(line);
    ScanProgress& progress = context.errIsConsole ? static_cast<ScanProgress&>(onConsole) : redirected;
    if (!driver.Start(request, &progress)) {
        context.err << "tarnwick-cli: the scan could not start\n";
        return kExitFailed;
    }
    driver.Wait();
    line.Clear();

    bool json = HasFlag(flags, "--json");
    for (const auto& record : driver.engine().problems()) {
        const ValueEntry empty{};
        const ValueEntry& value = record->value ? *record->value : empty;
        if (json) {
            context.out << JsonObject(context.system)
                               .Text("section", record->section)
                               .Text("keyPath", record->keyPath)
                               .Text("valueName", value.name)
                               .Text("valueText", value.text)
                               .Number("valueType", value.type)
                               .Text("deleteType", record->deleteType)
                               .Text("description", record->description)
                               .Text("reason", record->reason)
                               .str()
                        << "\n";
        } else {
            context.out << record->section << "\t" << record->keyPath << "\t" << value.name << "\t" << value.text
                        << "\t" << record->deleteType << "\t" << record->description << "\n";
        }
    }
    for (const BrokenShortcut& shortcut : driver.shortcuts().brokenList) {
        if (json)
            context.out << JsonObject(context.system)
                               .Text("section", "Windows Shortcuts")
                               .Text("path", shortcut.path)
                               .Text("reason", shortcut.reason)
                               .str()
                        << "\n";
        else
            context.out << "Windows Shortcuts\t" << shortcut.path << "\n";
    }
    // Whoever keeps an ignore list is told how many findings it held back, even none.
    if (!driver.engine().ignoreList().empty()) {
        const std::size_t ignored = driver.engine().ignoredCount();
        if (json)
            context.out << JsonObject(context.system).Number("ignored", static_cast<std::int64_t>(ignored)).str() << "\n";
        else
            context.out << IgnoredCountText(ignored) << "\n";
    }
    // What a scan that was stopped found is printed, but it is not a scan's result.
    if (!driver.Finished()) {
        context.err << "tarnwick-cli: the scan was stopped before it finished\n";
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace tw::cli
