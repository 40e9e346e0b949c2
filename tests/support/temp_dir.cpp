#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include <utime.h>

namespace tw::test {
namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "tarnwick-test-XXXXXX").string();
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    char* made = mkdtemp(buffer.data());
    if (made)
        path_ = made;
    EXPECT_TRUE(made) << "cannot make a scratch directory";
}

TempDir::~TempDir()
{
    std::error_code ec;
    if (!path_.empty()) {
        // Read-only files are removable on the host; make sure nothing blocks the clean-up.
        for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::recursive_directory_iterator();
             it.increment(ec))
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(path_, ec);
    }
}

std::string TempDir::Host(const std::string& windowsPath) const
{
    std::string rest = windowsPath.size() >= 2 && windowsPath[1] == ':' ? windowsPath.substr(2) : windowsPath;
    std::replace(rest.begin(), rest.end(), '\\', '/');
    return path_ + rest;
}

void TempDir::WriteFile(const std::string& windowsPath, const std::string& bytes) const
{
    fs::path p = Host(windowsPath);
    fs::create_directories(p.parent_path());
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

std::string TempDir::ReadFile(const std::string& windowsPath) const
{
    std::ifstream in(Host(windowsPath), std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

bool TempDir::Exists(const std::string& windowsPath) const
{
    std::error_code ec;
    return fs::exists(Host(windowsPath), ec);
}

void TempDir::SetFileTime(const std::string& windowsPath, std::int64_t secondsSince1970) const
{
    struct utimbuf times {};
    times.actime = static_cast<time_t>(secondsSince1970);
    times.modtime = static_cast<time_t>(secondsSince1970);
    EXPECT_EQ(0, utime(Host(windowsPath).c_str(), &times)) << windowsPath;
}

std::vector<std::string> TempDir::List(const std::string& windowsFolder) const
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(Host(windowsFolder), ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

ScratchMachine::ScratchMachine()
{
    system.MapDrive('C', dir.path());
    fs::create_directories(dir.Host("C:\\Program Files\\Tarnwick"));
    fs::create_directories(dir.Host("C:\\WINDOWS\\system32"));
}

}  // namespace tw::test
