#include "scan/path_rules.h"

#include "platform/codepage.h"
#include "platform/program_info.h"

namespace tw {

std::string StripQuotes(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text)
        if (c != '"')
            out += c;
    return out;
}

std::string TrimQuotes(std::string_view text)
{
    std::size_t begin = 0, end = text.size();
    while (begin < end && text[begin] == '"')
        ++begin;
    while (end > begin && text[end - 1] == '"')
        --end;
    return std::string(text.substr(begin, end - begin));
}

std::string CutAtSwitch(std::string_view text)
{
    std::size_t slash = text.find('/');
    if (slash != std::string_view::npos && slash > 0)
        text = text.substr(0, slash);
    std::size_t dash = text.find(" -");
    if (dash != std::string_view::npos && dash > 0)
        text = text.substr(0, dash);
    return std::string(text);
}

std::string ExpandFirstVariable(System& system, std::string_view text)
{
    return ExpandFirstVariable(system, text, SystemFolderView());
}

std::string ExpandFirstVariable(System& system, std::string_view text, const SystemFolderView& view)
{
    std::size_t open = text.find('%');
    if (open == std::string_view::npos)
        return std::string(text);
    std::size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos)
        return std::string(text);
    std::string_view span = text.substr(open, close - open + 1);
    std::string expansion;
    const std::string_view name = span.substr(1, span.size() - 2);
    if (view.redirected() &&
        (CompareTextNoCase(name, "ProgramFiles") == 0 || CompareTextNoCase(name, "CommonProgramFiles") == 0)) {
        // What a 32-bit program's environment holds under that name.
        std::string x86;
        if (system.FindEnvironmentVariable(std::string(name) + "(x86)", &x86) && !x86.empty())
            expansion = std::move(x86);
    }
    if (expansion.empty())
        expansion = system.ExpandEnvironment(span);
    std::string out;
    out.reserve(text.size() + expansion.size());
    std::size_t at = 0;
    for (std::size_t hit = text.find(span); hit != std::string_view::npos; hit = text.find(span, at)) {
        out.append(text.substr(at, hit - at));
        out += expansion;
        at = hit + span.size();
    }
    out.append(text.substr(at));
    return out;
}

std::string PrefixSystemDirectory(System& system, std::string_view text)
{
    std::string out = system.SystemDirectory();
    out += '\\';
    out.append(text);
    return out;
}

std::string PrefixWindowsDirectory(System& system, std::string_view text, std::string_view infix)
{
    std::string out = system.WindowsDirectory();
    out.append(infix);
    out.append(text);
    return out;
}

std::string CutAfterExe(std::string_view text)
{
    std::size_t lower = text.find(".exe");
    if (lower != std::string_view::npos)
        text = text.substr(0, lower + 4);
    std::size_t upper = text.find(".EXE");
    if (upper != std::string_view::npos)
        text = text.substr(0, upper + 4);
    return std::string(text);
}

std::string LastComponent(std::string_view text)
{
    std::size_t slash = text.rfind('\\');
    return std::string(slash == std::string_view::npos ? text : text.substr(slash + 1));
}

bool FirstQuotedText(std::string_view text, std::string* inner)
{
    std::size_t open = text.find('"');
    if (open == std::string_view::npos)
        return false;
    std::size_t close = text.find('"', open + 1);
    if (close == std::string_view::npos)
        return false;
    *inner = std::string(text.substr(open + 1, close - open - 1));
    return true;
}

bool QuotedProgram(std::string_view text, std::string* program)
{
    return !text.empty() && text.front() == '"' && FirstQuotedText(text, program);
}

std::string Lowered(std::string_view text)
{
    return LowerText(text);
}

bool IsWithin(std::string_view path, std::string_view place)
{
    return !place.empty() && path.size() >= place.size() &&
           CompareTextNoCase(path.substr(0, place.size()), place) == 0 &&
           (path.size() == place.size() || path[place.size()] == '\\');
}

SystemFolderView::SystemFolderView(System& system, bool thirtyTwoBit)
{
    if (!thirtyTwoBit)
        return;
    redirectedTo_ = system.Wow64SystemDirectory();
    if (!redirectedTo_.empty())
        systemDirectory_ = system.SystemDirectory();
    if (systemDirectory_.empty())
        redirectedTo_.clear();
}

std::string SystemFolderView::Seen(std::string path) const
{
    if (systemDirectory_.empty() || !IsWithin(path, systemDirectory_))
        return path;
    return redirectedTo_ + path.substr(systemDirectory_.size());
}

bool FoundOnSearchPath(System& system, std::string_view fileName, const SystemFolderView& view)
{
    if (fileName.empty())
        return false;
    auto there = [&](const std::string& directory) { return PathExists(system, view.Seen(JoinPath(directory, fileName))); };
    if (there(system.SystemDirectory()) || there(system.WindowsDirectory()))
        return true;
    std::string path;
    if (!system.FindEnvironmentVariable("PATH", &path))
        return false;
    std::size_t at = 0;
    while (at <= path.size()) {
        std::size_t end = path.find(';', at);
        if (end == std::string::npos)
            end = path.size();
        std::string directory = StripQuotes(std::string_view(path).substr(at, end - at));
        if (!directory.empty() && there(directory))
            return true;
        at = end + 1;
    }
    return false;
}

bool HoldsNonPathCharacter(std::string_view text)
{
    // Past a drive ("C:"); a name such as "\\?\C:\..." is no drive path either way.
    return text.size() > 2 && text.find_first_of("|<>*?\"", 2) != std::string_view::npos;
}

namespace {

bool IsDriveLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

}  // namespace

bool LocalPathIn(std::string_view text, std::string* out)
{
    std::string path = StripQuotes(text);
    if (!Contains(path, "\\") || HoldsNonPathCharacter(path))
        return false;
    if (path.size() > 2 && path[path.size() - 2] == '\\')
        path.resize(path.size() - 2);
    if (path.size() > 1 && path.back() == '\\')
        path.pop_back();
    std::string last = LastComponent(path);
    std::size_t dot = last.rfind('.');
    if (dot != std::string::npos && last.size() - dot != 4 && path.size() > last.size() + 1)
        path.resize(path.size() - last.size() - 1);
    std::size_t slash = path.find('\\');
    // A drive letter, not a shell name such as "::{GUID}\{GUID}".
    if (path.size() < 2 || !IsDriveLetter(path[0]) || path[1] != ':' || slash == std::string::npos || slash == 0 ||
        path.find(':', 2) != std::string::npos)
        return false;
    *out = std::move(path);
    return true;
}

std::vector<std::string> LocalPathsIn(std::string_view text)
{
    std::vector<std::string> paths;
    std::string path;
    if (!Contains(text, ";")) {
        if (LocalPathIn(text, &path))
            paths.push_back(std::move(path));
        return paths;
    }
    // A list such as a search path; blanks around an element are no part of it.
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find(';', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view element = text.substr(at, end - at);
        while (!element.empty() && element.front() == ' ')
            element.remove_prefix(1);
        while (!element.empty() && element.back() == ' ')
            element.remove_suffix(1);
        if (LocalPathIn(element, &path))
            paths.push_back(std::move(path));
        at = end + 1;
    }
    return paths;
}

}  // namespace tw
