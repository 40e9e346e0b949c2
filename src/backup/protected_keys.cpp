#include "backup/protected_keys.h"

#include <vector>

namespace tw {

namespace {

constexpr const char* kProtectedKeys[] = {
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Fonts",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\Help",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows\\HTML Help",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Drivers32",
    "HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\ProfileList",
    "HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services",
    "HKEY_CLASSES_ROOT\\TypeLib",
    "HKEY_CLASSES_ROOT\\CLSID",
    "HKEY_CLASSES_ROOT\\Interface",
    "HKEY_CLASSES_ROOT\\AppID",
    "HKEY_CURRENT_USER\\AppEvents\\Schemes\\Apps\\.Default",
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run",
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce",
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall",
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths",
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Fonts",
    "HKEY_CURRENT_USER\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
    "HKEY_USERS\\.DEFAULT\\Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders",
};

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return out;
}

std::vector<std::string> Components(std::string_view path)
{
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string_view::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool IsNumberedControlSet(const std::string& part)
{
    if (part.size() != 13 || part.compare(0, 10, "CONTROLSET") != 0)
        return false;
    for (std::size_t i = 10; i < 13; ++i)
        if (part[i] < '0' || part[i] > '9')
            return false;
    return true;
}

}  // namespace

std::string NormalizeKeyPathForGuard(std::string_view fullPath)
{
    std::vector<std::string> parts = Components(Upper(fullPath));
    if (parts.empty())
        return {};
    if (parts[0] == "HKEY_CLASSES_ROOT") {
        parts[0] = "CLASSES";
        parts.insert(parts.begin(), {"HKEY_LOCAL_MACHINE", "SOFTWARE"});
    }
    if (parts[0] == "HKEY_LOCAL_MACHINE" && parts.size() >= 3 && parts[1] == "SOFTWARE" && parts[2] == "WOW6432NODE")
        parts.erase(parts.begin() + 2);
    if (parts[0] == "HKEY_LOCAL_MACHINE" && parts.size() >= 3 && parts[1] == "SYSTEM" && IsNumberedControlSet(parts[2]))
        parts[2] = "CURRENTCONTROLSET";
    std::string out;
    for (const std::string& p : parts)
        out += (out.empty() ? "" : "\\") + p;
    return out;
}

bool IsProtectedKeyPath(std::string_view fullPath)
{
    std::string path = NormalizeKeyPathForGuard(fullPath);
    // A root, or nothing at all.
    if (path.find('\\') == std::string::npos)
        return true;
    for (const char* key : kProtectedKeys) {
        std::string guarded = NormalizeKeyPathForGuard(key);
        if (guarded == path)
            return true;
        if (guarded.size() > path.size() && guarded.compare(0, path.size(), path) == 0 && guarded[path.size()] == '\\')
            return true;
    }
    return false;
}

}  // namespace tw
