// libFuzzer target: the text operations that turn registry text into a file path, applied to
// any text in the orders the scanners apply them. Each must end, never read past its input,
// and keep its word: a cut is a prefix, a last component a suffix without a backslash, a
// quoted program the text between two quotes, a text without "%" expands to itself, the
// paths found in a text are full paths holding no character a path may not hold.
#include "platform/memory/memory_system.h"
#include "scan/path_rules.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

bool IsPrefix(std::string_view part, std::string_view whole) { return whole.substr(0, part.size()) == part; }
bool IsSuffix(std::string_view part, std::string_view whole)
{
    return part.size() <= whole.size() && whole.substr(whole.size() - part.size()) == part;
}
void Check(bool holds)
{
    if (!holds)
        __builtin_trap();
}

tw::MemorySystem& Machine()
{
    static tw::MemorySystem* system = [] {
        auto* s = new tw::MemorySystem;
        s->SetEnvironment("SystemRoot", "C:\\Windows");
        s->SetEnvironment("ProgramFiles", "C:\\Program Files");
        s->SetEnvironment("Empty", "");
        s->SetEnvironment("Loop", "%Loop%%Loop%");
        return s;
    }();
    return *system;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    tw::System& system = Machine();

    const std::string stripped = tw::StripQuotes(text);
    Check(stripped.size() <= text.size() && stripped.find('"') == std::string::npos);
    const std::string trimmed = tw::TrimQuotes(text);
    Check(trimmed.size() <= text.size() && text.find(trimmed) != std::string::npos);
    Check(IsPrefix(tw::CutAtSwitch(text), text));
    Check(IsPrefix(tw::CutAfterExe(text), text));
    const std::string last = tw::LastComponent(text);
    Check(IsSuffix(last, text) && last.find('\\') == std::string::npos);
    Check(tw::Lowered(text).size() == text.size());

    std::string inner;
    if (tw::FirstQuotedText(text, &inner))
        Check(inner.find('"') == std::string::npos && text.find('"' + inner + '"') != std::string::npos);
    std::string program;
    if (tw::QuotedProgram(text, &program))
        Check(program.find('"') == std::string::npos && text.find(program) != std::string::npos);

    const std::string expanded = tw::ExpandFirstVariable(system, text);
    if (text.find('%') == std::string::npos)
        Check(expanded == text);
    Check(IsSuffix(text, tw::PrefixSystemDirectory(system, text)));
    Check(IsSuffix(text, tw::PrefixWindowsDirectory(system, text, "\\fonts\\")));

    // What the registry walk tests of a text: only full paths on a drive letter, none holding
    // a character no path may hold, each no longer than the text it came from.
    for (const std::string& found : tw::LocalPathsIn(text)) {
        Check(found.size() >= 3 && found[1] == ':' && found.find('\\') != std::string::npos);
        Check(!tw::HoldsNonPathCharacter(found) && found.size() <= text.size());
    }

    // The startup scanner's order, on a text the others have already cut.
    std::string path;
    if (!tw::QuotedProgram(text, &path))
        path = tw::CutAtSwitch(tw::StripQuotes(text));
    if (tw::Contains(path, "%"))
        path = tw::ExpandFirstVariable(system, path);
    path = tw::TrimQuotes(tw::CutAfterExe(path));
    (void)tw::LastComponent(path);
    return 0;
}
