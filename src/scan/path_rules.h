// The text operations by which the scanners turn a registry value into a file path, named
// once here; each scanner applies its own sequence of them. Every search is case-sensitive
// unless the scanner lower-cases the text first. Existence is tested with PathExists
// (platform/system.h).
#pragma once

#include "platform/system.h"

#include <string>
#include <string_view>

namespace tw {

// Removes every double quote.
std::string StripQuotes(std::string_view text);
// Removes the double quotes at the start and at the end; inner ones stay.
std::string TrimQuotes(std::string_view text);
// Cuts before the first "/" when it stands past index 0, then before the first " -" when
// that stands past index 0.
std::string CutAtSwitch(std::string_view text);
// Expands the first %VAR% reference and replaces every occurrence of it; a text with a
// single "%" stays. The expansion is taken whole, however long it is.
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

// True when a bare file name exists where Windows looks for a program: the system
// directory, the Windows directory, then each directory of PATH.
bool FoundOnSearchPath(System& system, std::string_view fileName);

}  // namespace tw
