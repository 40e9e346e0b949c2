// The text operations by which the scanners turn a registry value into a file path, named
// once here; each scanner applies its own sequence of them. Every search is case-sensitive
// unless the scanner lower-cases the text first. Existence is tested with PathExists
// (platform/system.h).
#pragma once

#include "platform/system.h"

#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Removes every double quote.
std::string StripQuotes(std::string_view text);
// Removes the double quotes at the start and at the end; inner ones stay.
std::string TrimQuotes(std::string_view text);
// Cuts before the first "/" when it stands past index 0, then before the first " -" when
// that stands past index 0.
std::string CutAtSwitch(std::string_view text);
class SystemFolderView;
// Expands the first %VAR% reference and replaces every occurrence of it; a text with a
// single "%" stays. The expansion is taken whole, however long it is. In the view of a 32-bit
// program on 64-bit Windows, %ProgramFiles% and %CommonProgramFiles% are the (x86) folders,
// as that program's environment has them.
std::string ExpandFirstVariable(System& system, std::string_view text, const SystemFolderView& view);
std::string ExpandFirstVariable(System& system, std::string_view text);
// The system directory, a backslash, the text.
std::string PrefixSystemDirectory(System& system, std::string_view text);
// The Windows directory, the infix ("\" or "\fonts\"), the text.
std::string PrefixWindowsDirectory(System& system, std::string_view text, std::string_view infix);
// Keeps the text up to its first ".exe", then up to its first ".EXE".
std::string CutAfterExe(std::string_view text);
// What follows the last backslash (the whole text when there is none).
std::string LastComponent(std::string_view text);
// The text between the first double quote and the next one; false when there are not two.
bool FirstQuotedText(std::string_view text, std::string* inner);
// A command line that begins with a double quote names its program between its first two
// quotes; whatever follows the closing quote is arguments. False when the text is not of
// that form.
bool QuotedProgram(std::string_view text, std::string* program);

// A lower-cased copy (code page 1252).
std::string Lowered(std::string_view text);
inline bool Contains(std::string_view text, std::string_view part)
{
    return text.find(part) != std::string_view::npos;
}
inline bool StartsWith(std::string_view text, std::string_view part)
{
    return text.substr(0, part.size()) == part;
}
inline bool EndsWith(std::string_view text, std::string_view part)
{
    return text.size() >= part.size() && text.substr(text.size() - part.size()) == part;
}

// True when `path` is `place` or lies below it (without regard to case).
bool IsWithin(std::string_view path, std::string_view place);

// The system folder as the program an entry belongs to sees it. 64-bit Windows gives a
// 32-bit program a system folder of its own (SysWOW64) under the name of the system folder,
// so a path that a 32-bit registration gives in the system folder is tested there. On
// 32-bit Windows, and for 64-bit entries, paths stay as they are.
class SystemFolderView {
public:
    SystemFolderView() = default;
    // `thirtyTwoBit`: the entry belongs to a 32-bit program.
    SystemFolderView(System& system, bool thirtyTwoBit);
    // The path where that program finds it.
    std::string Seen(std::string path) const;
    // True for a 32-bit program's view on 64-bit Windows.
    bool redirected() const { return !systemDirectory_.empty(); }

private:
    std::string systemDirectory_;  // both empty: nothing is redirected
    std::string redirectedTo_;
};

// True when a bare file name exists where Windows looks for a program: the system
// directory, the Windows directory, then each directory of PATH (as `view` sees them).
bool FoundOnSearchPath(System& system, std::string_view fileName, const SystemFolderView& view = {});

// True when the text holds, past its drive, a character no Windows path may hold
// (| < > * ? "): a suffix such as "|0", a placeholder such as "<LANGFOLDER>".
bool HoldsNonPathCharacter(std::string_view text);
// The full local path a value's text names, cut back to what can be tested: quotes removed,
// a trailing backslash (with one character after it) dropped, a last component whose
// extension is not a dot and three characters (arguments, resource numbers) dropped. False
// when it is no full path on a drive letter (relative, network, URL, shell name) or holds a
// character no path may hold.
bool LocalPathIn(std::string_view text, std::string* path);
// The full local paths a value's text names: its one path, or, for a list separated by
// ";", each element that is a full path. Empty when it names none.
std::vector<std::string> LocalPathsIn(std::string_view text);

}  // namespace tw
