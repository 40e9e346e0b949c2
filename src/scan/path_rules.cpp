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
    std::size_t open = text.find('%');
    if (open == std::string_view::npos)
        return std::string(text);
    std::size_t close = text.find('%', open + 1);
    if (close == std::string_view::npos)
        return std::string(text);
    std::string_view span = text.substr(open, close - open + 1);
    std::string expansion = system.ExpandEnvironment(span);
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
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(Cp1252Lower(static_cast<unsigned char>(c)));
    return out;
}

bool FoundOnSearchPath(System& system, std::string_view fileName)
{
    if (fileName.empty())
        return false;
    if (PathExists(system, JoinPath(system.SystemDirectory(), fileName)) ||
        PathExists(system, JoinPath(system.WindowsDirectory(), fileName)))
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
        if (!directory.empty() && PathExists(system, JoinPath(directory, fileName)))
            return true;
        at = end + 1;
    }
    return false;
}

}  // namespace tw
