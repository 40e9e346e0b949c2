#include "managers/file_version_record.h"

#include "managers/version_block.h"

#include <cstdio>

namespace tw {

namespace {

std::uint32_t Dword(const std::vector<std::uint8_t>& bytes, std::size_t offset)
{
    return static_cast<std::uint32_t>(bytes[offset]) | (static_cast<std::uint32_t>(bytes[offset + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[offset + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[offset + 3]) << 24);
}

bool HasFolder(std::string_view path)
{
    return path.find_first_of("\\/:") != std::string_view::npos;
}

// The loader's rule: a name whose last component has no dot gets ".dll".
bool HasExtension(std::string_view name)
{
    return name.find('.') != std::string_view::npos;
}

std::vector<std::string> SplitPathList(std::string_view list)
{
    std::vector<std::string> folders;
    std::size_t pos = 0;
    while (pos <= list.size()) {
        std::size_t end = list.find(';', pos);
        if (end == std::string_view::npos)
            end = list.size();
        std::string_view folder = list.substr(pos, end - pos);
        while (!folder.empty() && (folder.front() == ' ' || folder.front() == '\t'))
            folder.remove_prefix(1);
        while (!folder.empty() && (folder.back() == ' ' || folder.back() == '\t'))
            folder.remove_suffix(1);
        if (folder.size() >= 2 && folder.front() == '"' && folder.back() == '"')
            folder = folder.substr(1, folder.size() - 2);
        if (!folder.empty())
            folders.emplace_back(folder);
        pos = end + 1;
    }
    return folders;
}

}  // namespace

std::string FileTypeName(std::uint32_t fileType, std::uint32_t fileSubtype)
{
    switch (fileType) {
    case 0: return "Unknown type";
    case 1: return "Application";
    case 2: return "Dynamic link library";
    case 3: {
        static const char* const drivers[] = {"Unknown driver",  "Printer driver",  "Keyboard driver",
                                              "Language driver", "Display driver",  "Mouse driver",
                                              "Network driver",  "System driver",   "Installable driver",
                                              "Sound driver"};
        return fileSubtype < std::size(drivers) ? drivers[fileSubtype] : "";
    }
    case 4: {
        static const char* const fonts[] = {"Unknown font", "Raster font", "Vector font", "Truetype font"};
        return fileSubtype < std::size(fonts) ? fonts[fileSubtype] : "";
    }
    case 5: return "Virtual device";
    case 7: return "Static link library";
    default: return "";
    }
}

std::string OperatingSystemName(std::uint32_t targetSystem)
{
    switch (targetSystem) {
    case 0: return "Unknown OS";
    case 0x10000: return "MS-DOS";
    case 0x10001: return "16-bit windows running on MS-DOS";
    case 0x10004: return "Win32 API running on MS-DOS";
    case 0x20000: return "16-bit OS/2";
    case 0x20002: return "16-bit Presentation manager running on 16-bit OS/2";
    case 0x30000: return "32-bit OS/2";
    case 0x40000: return "Windows NT";
    case 0x40004: return "Win32 API on Windows NT";
    default: return "";
    }
}

std::string FormatFileVersion(std::uint32_t high, std::uint32_t low)
{
    char buffer[48];
    std::snprintf(buffer, sizeof buffer, "%d.%d.%d.%d", static_cast<int>(high >> 16), static_cast<int>(high & 0xFFFF),
                  static_cast<int>(low >> 16), static_cast<int>(low & 0xFFFF));
    return buffer;
}

bool ResolveVersionFilePath(System& system, std::string_view path, std::string* fullPath)
{
    if (path.empty())
        return false;
    if (HasFolder(path)) {
        *fullPath = std::string(path);
        return true;
    }
    std::string name(path);
    if (!HasExtension(name))
        name += ".dll";
    std::vector<std::string> folders = {system.SystemDirectory(), system.WindowsDirectory()};
    std::string pathList;
    if (system.FindEnvironmentVariable("PATH", &pathList))
        for (std::string& folder : SplitPathList(pathList))
            folders.push_back(std::move(folder));
    for (const std::string& folder : folders) {
        if (folder.empty())
            continue;
        std::string candidate = folder;
        if (candidate.back() != '\\' && candidate.back() != '/')
            candidate += '\\';
        candidate += name;
        std::uint32_t attributes = system.FileAttributes(candidate);
        if (attributes != kInvalidFileAttributes && !(attributes & kFileAttributeDirectory)) {
            *fullPath = std::move(candidate);
            return true;
        }
    }
    return false;
}

void FileVersionRecord::setPath(std::string_view path)
{
    if (path == filePath_)
        return;
    filePath_ = std::string(path);
    loaded_ = false;
    attempted_ = false;
}

bool FileVersionRecord::isAvailable()
{
    if (loaded_ || attempted_)
        return loaded_;
    attempted_ = true;
    loaded_ = Load();
    return loaded_;
}

void FileVersionRecord::Clear()
{
    // One file's details must never show under another file's name.
    resolvedPath_.clear();
    companyName_.clear();
    fileDescription_.clear();
    fileVersion_.clear();
    internalName_.clear();
    originalFileName_.clear();
    productName_.clear();
    productVersion_.clear();
    formattedFileVersion_.clear();
    operatingSystem_.clear();
    fileType_.clear();
    language_ = 0;
    codePage_ = 0;
    fixed_ = FixedFileInfo{};
    block_.clear();
    loaded_ = false;
}

bool FileVersionRecord::Load()
{
    Clear();
    std::string full;
    if (!ResolveVersionFilePath(system_, filePath_, &full))
        return false;
    std::vector<std::uint8_t> block;
    if (!system_.GetFileVersionBlock(full, &block) || block.empty())
        return false;
    if (!LoadFromBlock(std::move(block)))
        return false;
    resolvedPath_ = std::move(full);
    return true;
}

bool FileVersionRecord::LoadFromBlock(std::vector<std::uint8_t> block)
{
    Clear();
    block_ = std::move(block);
    VersionBlock reader(block_, system_);
    std::vector<std::uint8_t> fixed;
    if (!reader.QueryBinary("\\", &fixed) || fixed.size() < kFixedFileInfoSize) {
        block_.clear();
        return false;
    }
    std::uint32_t* fields[] = {&fixed_.signature,         &fixed_.structureVersion, &fixed_.fileVersionHigh,
                               &fixed_.fileVersionLow,    &fixed_.productVersionHigh, &fixed_.productVersionLow,
                               &fixed_.flagsMask,         &fixed_.flags,            &fixed_.targetSystem,
                               &fixed_.fileType,          &fixed_.fileSubtype,      &fixed_.fileDateHigh,
                               &fixed_.fileDateLow};
    for (std::size_t i = 0; i < std::size(fields); ++i)
        *fields[i] = Dword(fixed, i * 4);

    std::vector<std::uint8_t> translation;
    if (reader.QueryBinary("\\VarFileInfo\\Translation", &translation) && translation.size() >= 4) {
        language_ = static_cast<std::uint16_t>(translation[0] | (translation[1] << 8));
        codePage_ = static_cast<std::uint16_t>(translation[2] | (translation[3] << 8));
    }
    char table[32];
    std::snprintf(table, sizeof table, "\\StringFileInfo\\%04x%04x\\", language_, codePage_);
    struct {
        const char* name;
        std::string* field;
    } strings[] = {
        {"CompanyName", &companyName_},   {"FileDescription", &fileDescription_},
        {"FileVersion", &fileVersion_},   {"InternalName", &internalName_},
        {"OriginalFileName", &originalFileName_}, {"ProductName", &productName_},
        {"ProductVersion", &productVersion_},
    };
    for (const auto& s : strings)
        reader.QueryText(std::string(table) + s.name, s.field);

    formattedFileVersion_ = FormatFileVersion(fixed_.fileVersionHigh, fixed_.fileVersionLow);
    fileType_ = FileTypeName(fixed_.fileType, fixed_.fileSubtype);
    operatingSystem_ = OperatingSystemName(fixed_.targetSystem);
    loaded_ = true;
    return true;
}

}  // namespace tw
