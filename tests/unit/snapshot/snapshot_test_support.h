// What the snapshot tests share: a scratch folder of each test's own mapped as drive C: of a
// memory system, and the bytes of files in it.
#pragma once

#include "platform/memory/memory_system.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tw::test {

class ScratchDrive {
public:
    ScratchDrive()
    {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string("tarnwick-") + info->test_suite_name() + "-" + info->name();
        for (char& c : name)
            if (c == '/')
                c = '_';
        host_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(host_);
        std::filesystem::create_directories(host_);
        system_.MapDrive('C', host_.string());
    }
    ~ScratchDrive()
    {
        std::error_code ec;
        std::filesystem::remove_all(host_, ec);
    }

    MemorySystem& system() { return system_; }
    const std::filesystem::path& host() const { return host_; }
    std::string HostFile(const std::string& name) const { return (host_ / name).string(); }

    std::string Read(const std::string& name) const
    {
        std::ifstream in(host_ / name, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    void Put(const std::string& name, const std::string& bytes) const
    {
        std::ofstream out(host_ / name, std::ios::binary | std::ios::trunc);
        out << bytes;
    }

private:
    std::filesystem::path host_;
    MemorySystem system_;
};

}  // namespace tw::test
