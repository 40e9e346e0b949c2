#include "support/reg_file.h"

#include "platform/codepage.h"
#include "platform/key_handle.h"
#include "registry/key_path.h"

#include <cstdio>
#include <cstdint>
#include <memory>
#include <optional>

namespace tw::test {
namespace {

// The lines of the file, continuation lines ("...,\" then "  ...") joined.
std::vector<std::string> LogicalLines(std::string_view text)
{
    std::vector<std::string> lines;
    std::string current;
    bool continued = false;
    std::size_t at = 0;
    while (at <= text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line(text.substr(at, end - at));
        at = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (continued) {
            std::size_t first = line.find_first_not_of(' ');
            line = first == std::string::npos ? std::string() : line.substr(first);
        }
        current += line;
        continued = !current.empty() && current.back() == '\\' && current.find('=') != std::string::npos &&
                    current.front() != '[';
        if (continued) {
            current.pop_back();
            continue;
        }
        lines.push_back(std::move(current));
        current.clear();
        if (end == text.size())
            break;
    }
    return lines;
}

// A quoted text from `*at` (on its opening quote), with \\ and \" taken as one character.
std::optional<std::string> Quoted(const std::string& line, std::size_t* at)
{
    if (*at >= line.size() || line[*at] != '"')
        return std::nullopt;
    std::string out;
    for (std::size_t i = *at + 1; i < line.size(); ++i) {
        if (line[i] == '\\' && i + 1 < line.size()) {
            out.push_back(line[++i]);
        } else if (line[i] == '"') {
            *at = i + 1;
            return out;
        } else {
            out.push_back(line[i]);
        }
    }
    return std::nullopt;
}

std::optional<std::vector<std::uint8_t>> HexBytes(std::string_view list)
{
    std::vector<std::uint8_t> bytes;
    std::size_t at = 0;
    while (at < list.size()) {
        std::size_t comma = list.find(',', at);
        std::string_view item = list.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at);
        if (item.size() != 2)
            return std::nullopt;
        unsigned value = 0;
        for (char c : item) {
            value <<= 4;
            if (c >= '0' && c <= '9') value |= unsigned(c - '0');
            else if (c >= 'a' && c <= 'f') value |= unsigned(c - 'a' + 10);
            else if (c >= 'A' && c <= 'F') value |= unsigned(c - 'A' + 10);
            else return std::nullopt;
        }
        bytes.push_back(static_cast<std::uint8_t>(value));
        if (comma == std::string_view::npos)
            break;
        at = comma + 1;
    }
    return bytes;
}

}  // namespace

RegImport ImportRegText(Registry& registry, std::string_view text,
                        const std::vector<std::pair<std::string, std::string>>& renames)
{
    RegImport result;
    KeyHandle key(registry);
    for (const std::string& line : LogicalLines(text)) {
        if (!result.error.empty())
            break;
        if (line.empty() || line.rfind("Windows Registry Editor", 0) == 0 || line[0] == ';')
            continue;
        if (line[0] == '[') {
            if (line.size() < 3 || line.back() != ']' || line[1] == '-') {
                result.error = line;
                continue;
            }
            std::string path = line.substr(1, line.size() - 2);
            for (const auto& [from, to] : renames)
                if (path.rfind(from, 0) == 0)
                    path = to + path.substr(from.size());
            std::string subkey = path;
            std::optional<HKey> root = RootKeyFromName(SplitRootFromPath(subkey));
            if (!root || registry.CreateKey(*root, subkey.c_str(), key.Put()) != kSuccess)
                result.error = line;
            else
                ++result.keys;
            continue;
        }
        std::size_t at = 0;
        std::string name;
        if (line[0] == '@') {
            at = 1;
        } else if (std::optional<std::string> quoted = Quoted(line, &at)) {
            name = *quoted;
        } else {
            result.error = line;
            continue;
        }
        if (!key || at >= line.size() || line[at] != '=') {
            result.error = line;
            continue;
        }
        const std::string data = line.substr(at + 1);
        std::uint32_t type = kRegSz;
        std::vector<std::uint8_t> bytes;
        if (!data.empty() && data[0] == '"') {
            std::size_t from = 0;
            std::optional<std::string> quoted = Quoted(data, &from);
            if (!quoted) {
                result.error = line;
                continue;
            }
            bytes.assign(quoted->begin(), quoted->end());
            bytes.push_back(0);
        } else if (data.rfind("dword:", 0) == 0 && data.size() == 14) {
            const std::uint32_t value = static_cast<std::uint32_t>(std::stoul(data.substr(6), nullptr, 16));
            type = kRegDword;
            for (int i = 0; i < 4; ++i)
                bytes.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
        } else {
            std::size_t colon = data.find(':');
            std::string kind = data.substr(0, colon);
            if (colon == std::string::npos || (kind != "hex" && kind.rfind("hex(", 0) != 0)) {
                result.error = line;
                continue;
            }
            type = kind == "hex" ? kRegBinary : static_cast<std::uint32_t>(std::stoul(kind.substr(4), nullptr, 16));
            std::optional<std::vector<std::uint8_t>> hex = HexBytes(std::string_view(data).substr(colon + 1));
            if (!hex) {
                result.error = line;
                continue;
            }
            bytes = std::move(*hex);
            if (type == kRegSz || type == kRegExpandSz || type == kRegMultiSz) {
                std::u16string wide;
                for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
                    wide.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
                const std::string ansi = Utf16ToAnsi(wide);
                bytes.assign(ansi.begin(), ansi.end());
            }
        }
        if (registry.SetValueEx(key.get(), name.c_str(), 0, type, bytes.data(), static_cast<std::uint32_t>(bytes.size())) !=
            kSuccess)
            result.error = line;
        else
            ++result.values;
    }
    return result;
}

std::string ReadXzFile(const std::string& path)
{
#ifdef _WIN32
    (void)path;
    return {};
#else
    std::string command = "xz -dc '" + path + "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string out;
    if (!pipe)
        return out;
    char buffer[65536];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0;)
        out.append(buffer, n);
    return out;
#endif
}

}  // namespace tw::test
