// What the scan tests share: a scratch machine (memory registry, C: on a scratch folder,
// the activity log open) with short ways to seed values and files, run one section, and
// read back the problems and the log messages; and shortcut files built byte by byte.
#pragma once

#include "platform/memory/memory_registry.h"
#include "scan/scan_engine.h"
#include "support/registry_fixture.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace tw::test {

struct ScanMachine {
    ScratchMachine machine;
    MemorySystem& system = machine.system;
    TempDir& dir = machine.dir;
    MemoryRegistry registry;
    ActivityLog log{machine.system};
    ProgressTable progress;
    ScanEngine engine{registry, machine.system, log};

    ScanMachine()
    {
        log.Open();
        engine.SetProgress(&progress);
        engine.SetStopPollInterval(std::chrono::microseconds(0));
    }

    // A REG_SZ value; a null name sets the key's unnamed value.
    void Text(HKey root, const std::string& path, const char* name, const std::string& text)
    {
        SetValue(registry, root, path, name, kRegSz, Str(text));
    }
    // A REG_EXPAND_SZ value, as installers write commands with variables.
    void Expand(HKey root, const std::string& path, const char* name, const std::string& text)
    {
        SetValue(registry, root, path, name, kRegExpandSz, Str(text));
    }
    void Key(HKey root, const std::string& path) { CreateKey(registry, root, path); }
    // The folders of 64-bit Windows as a 64-bit program sees them.
    void SixtyFourBitWindows()
    {
        system.SetWow64SystemDir("C:\\WINDOWS\\SysWOW64");
        system.SetEnvironment("ProgramFiles(x86)", "C:\\Program Files (x86)");
    }
    void File(const std::string& windowsPath) { dir.WriteFile(windowsPath, "x"); }

    // Gives every key below the three roots the security of many system keys: read only.
    void RefuseWriteAccessEverywhere()
    {
        for (HKey root : {kLocalMachine, kCurrentUser, kUsers})
            RefuseWriteAccessBelow(root, "");
    }

    CompletedSectionList Run(ScanSection section)
    {
        CompletedSectionList completed;
        engine.RunSection(section, completed);
        return completed;
    }

    void RefuseWriteAccessBelow(HKey root, const std::string& path)
    {
        KeyHandle key(registry);
        ASSERT_EQ(kSuccess, registry.OpenKeyEx(root, path.c_str(), 0, kKeyRead, key.Put())) << path;
        std::vector<std::string> children;
        for (std::uint32_t i = 0;; ++i) {
            char name[256];
            std::uint32_t length = sizeof name;
            if (registry.EnumKeyEx(key.get(), i, name, &length, nullptr, nullptr, nullptr, nullptr) != kSuccess)
                break;
            children.emplace_back(name, length);
        }
        for (const std::string& child : children) {
            const std::string childPath = path.empty() ? child : path + "\\" + child;
            RefuseWriteAccessBelow(root, childPath);
            RefuseWriteAccess(registry, root, childPath);
        }
    }

    // "keyPath | value name | value text | description" per problem, in order.
    std::vector<std::string> Found() const
    {
        std::vector<std::string> found;
        for (const auto& p : engine.problems())
            found.push_back(p->keyPath + " | " + (p->value ? p->value->name + " | " + p->value->text : "-") +
                            " | " + p->description);
        return found;
    }

    // The reason of each problem, in order.
    std::vector<std::string> Reasons() const
    {
        std::vector<std::string> reasons;
        for (const auto& p : engine.problems())
            reasons.push_back(p->reason);
        return reasons;
    }

    // The messages written to the activity log, without their time stamps.
    std::vector<std::string> LogMessages() const
    {
        std::vector<std::string> messages;
        std::string text = dir.ReadFile(log.path());
        std::size_t at = 0;
        while (at < text.size()) {
            std::size_t end = text.find("\r\n", at);
            if (end == std::string::npos)
                end = text.size();
            std::string line = text.substr(at, end - at);
            std::size_t tab = line.find('\t');
            if (tab != std::string::npos)
                messages.push_back(line.substr(tab + 1));
            at = end + 2;
        }
        return messages;
    }
};

// The prefixes of the five log lines of one problem, in the order they were written.
inline std::vector<std::string> SetterOrderIn(const std::vector<std::string>& messages)
{
    std::vector<std::string> order;
    for (const std::string& m : messages) {
        if (m.rfind("FOUND ERROR KEY: ", 0) == 0) order.push_back("key");
        else if (m.rfind("Error Key Type: ", 0) == 0) order.push_back("section");
        else if (m.rfind("Error Delete Key Type: ", 0) == 0) order.push_back("delete");
        else if (m.rfind("Error Key Value Name: ", 0) == 0) order.push_back("value");
        else if (m.rfind("Error Description: ", 0) == 0) order.push_back("description");
    }
    return order;
}

// A shell link file as the shell writes one: header, optionally an item list, and a link
// info block with a local base path (when `localPath` is not empty) or a network share.
inline std::vector<std::uint8_t> LinkFileBytes(const std::string& localPath, bool withItemList = true,
                                               const std::string& networkShare = "")
{
    std::vector<std::uint8_t> b(0x4C, 0);
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
    };
    auto append32 = [&](std::vector<std::uint8_t>& to, std::uint32_t v) {
        for (int i = 0; i < 4; ++i)
            to.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
    };
    put32(0, 0x4C);
    const std::uint8_t clsid[16] = {0x01, 0x14, 0x02, 0, 0, 0, 0, 0, 0xC0, 0, 0, 0, 0, 0, 0, 0x46};
    std::copy(clsid, clsid + 16, b.begin() + 4);
    std::uint32_t flags = (withItemList ? 0x01u : 0u) | ((localPath.empty() && networkShare.empty()) ? 0u : 0x02u);
    put32(0x14, flags);
    put32(0x3C, 1);  // show normally
    if (withItemList) {
        // An item list of 4 bytes: one item that holds only its size, then the terminator.
        b.insert(b.end(), {4, 0, 2, 0, 0, 0});
    }
    if (!(flags & 0x02u))
        return b;
    std::vector<std::uint8_t> info;
    const std::uint32_t headerSize = 0x1C;
    if (!localPath.empty()) {
        std::vector<std::uint8_t> volume = {0x11, 0, 0, 0, 3, 0, 0, 0, 0x78, 0x56, 0x34, 0x12, 0x10, 0, 0, 0, 0};
        std::uint32_t volumeAt = headerSize;
        std::uint32_t baseAt = volumeAt + static_cast<std::uint32_t>(volume.size());
        std::uint32_t suffixAt = baseAt + static_cast<std::uint32_t>(localPath.size()) + 1;
        std::uint32_t size = suffixAt + 1;
        append32(info, size);
        append32(info, headerSize);
        append32(info, 1);  // volume id and local base path
        append32(info, volumeAt);
        append32(info, baseAt);
        append32(info, 0);
        append32(info, suffixAt);
        info.insert(info.end(), volume.begin(), volume.end());
        info.insert(info.end(), localPath.begin(), localPath.end());
        info.push_back(0);
        info.push_back(0);  // empty common path suffix
    } else {
        std::vector<std::uint8_t> net;
        append32(net, 0);  // size, filled below
        append32(net, 0x02);
        append32(net, 0x14);
        append32(net, 0);
        append32(net, 0x20000);
        net.insert(net.end(), networkShare.begin(), networkShare.end());
        net.push_back(0);
        std::uint32_t netSize = static_cast<std::uint32_t>(net.size());
        for (int i = 0; i < 4; ++i)
            net[i] = static_cast<std::uint8_t>(netSize >> (8 * i));
        std::uint32_t netAt = headerSize;
        std::uint32_t suffixAt = netAt + netSize;
        append32(info, suffixAt + 1);
        append32(info, headerSize);
        append32(info, 2);  // common network relative link
        append32(info, 0);
        append32(info, 0);
        append32(info, netAt);
        append32(info, suffixAt);
        info.insert(info.end(), net.begin(), net.end());
        info.push_back(0);
    }
    b.insert(b.end(), info.begin(), info.end());
    b.insert(b.end(), {0, 0, 0, 0});  // no extra data
    return b;
}

inline std::string AsText(const std::vector<std::uint8_t>& bytes)
{
    return std::string(bytes.begin(), bytes.end());
}

}  // namespace tw::test
