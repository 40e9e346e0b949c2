#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace tw::test {
namespace fs = std::filesystem;

TempDir::TempDir()
{
    std::random_device seed;
    std::mt19937_64 random(seed());
    for (int attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        fs::path candidate = fs::temp_directory_path() / ("tarnwick-test-" + std::to_string(random()));
        std::error_code ec;
        if (fs::create_directory(candidate, ec))
            path_ = candidate.generic_string();
    }
    EXPECT_FALSE(path_.empty()) << "cannot make a scratch directory";
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
    auto when = std::chrono::file_clock::from_sys(std::chrono::sys_seconds{std::chrono::seconds{secondsSince1970}});
    std::error_code ec;
    fs::last_write_time(Host(windowsPath), when, ec);
    EXPECT_FALSE(ec) << windowsPath;
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
