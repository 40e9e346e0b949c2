// The parts of the hyperlink control that are rules rather than window handling: its
// colour by state, the browser command used when the shell cannot open an address, and
// the texts of its error message. Tested without a window.
#pragma once

#include "registry/value_text.h"

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace tw {

enum HyperLinkFlags : unsigned {
    kLinkUnderline = 0x01,
    kLinkHoverColour = 0x02,
    kLinkSizeToText = 0x04,
    kLinkFollowOnButtonDown = 0x08,
    kLinkFocusOnClick = 0x10,
    kLinkNoHandCursor = 0x20,
    kLinkNoActiveColour = 0x40,
    kLinkDefaultFlags = kLinkUnderline | kLinkSizeToText | kLinkFocusOnClick,
};

struct LinkColour {
    std::uint8_t red, green, blue;
    bool operator==(const LinkColour&) const = default;
};

inline LinkColour LinkColourFor(unsigned flags, bool hovering, bool active, bool visited)
{
    if (hovering && (flags & kLinkHoverColour))
        return {255, 0, 0};
    if (active && !(flags & kLinkNoActiveColour))
        return {0, 128, 128};
    if (visited)
        return {128, 0, 128};
    return {0, 0, 255};
}

// The command that starts the browser on `address`, from the browser's open command as
// the registry gives it: cut at the quoted placeholder "%1" (or a bare %1), then a space
// and the address, quoted when it holds a blank.
inline std::string BrowserCommand(std::string_view openCommand, std::string_view address)
{
    std::string command(openCommand);
    std::size_t at = command.find("\"%1\"");
    if (at == std::string::npos)
        at = command.find("%1");
    if (at != std::string::npos)
        command.erase(at);
    command += ' ';
    // An address with blanks (a help file in "Program Files") stays one argument.
    bool quote = address.find(' ') != std::string_view::npos && address.front() != '"';
    if (quote)
        command += '"';
    command += address;
    if (quote)
        command += '"';
    return command;
}

// The browser command for `address` when the shell cannot open it: the open command of the
// class of ".htm" documents (HKEY_CLASSES_ROOT), cut as BrowserCommand does; nothing when
// either key cannot be read.
inline std::optional<std::string> BrowserFallbackCommand(Registry& registry, std::string_view address)
{
    std::optional<std::string> documentClass = ReadDefaultText(registry, kClassesRoot, ".htm");
    if (!documentClass)
        return std::nullopt;
    std::optional<std::string> openCommand =
        ReadDefaultText(registry, kClassesRoot, (*documentClass + "\\shell\\open\\command").c_str());
    if (!openCommand)
        return std::nullopt;
    return BrowserCommand(*openCommand, address);
}

inline std::string LinkErrorText(int code)
{
    const char* reason = nullptr;
    switch (code) {
    case 0: reason = "The operating system is out\nof memory or resources."; break;
    case 2: reason = "The specified file was not found."; break;
    case 3: reason = "The specified path was not found."; break;
    case 5: reason = "The operating system denied\naccess to the specified file."; break;
    case 8: reason = "There was not enough memory to complete the operation."; break;
    case 11: reason = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image)."; break;
    case 26: reason = "A sharing violation occurred. "; break;
    case 27: reason = "The filename association is\nincomplete or invalid."; break;
    case 28: reason = "The DDE transaction could not\nbe completed because the request timed out."; break;
    case 29: reason = "The DDE transaction failed."; break;
    case 30:
        reason = "The DDE transaction could not\nbe completed because other DDE transactions\nwere being processed.";
        break;
    case 31: reason = "There is no application associated\nwith the given filename extension."; break;
    case 32: reason = "The specified dynamic-link library was not found."; break;
    default: break;
    }
    std::string text = "Can't open link:\n\n";
    if (reason) {
        text += reason;
    } else {
        char unknown[48];
        std::snprintf(unknown, sizeof unknown, "Unknown Error (%d) occurred.", code);
        text += unknown;
    }
    return text;
}

}  // namespace tw
