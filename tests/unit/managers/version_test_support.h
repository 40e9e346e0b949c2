// Building version blocks and finding the fixture library, for the version tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tw::test {

// One node of a VS_VERSIONINFO tree in the 32-bit layout.
struct VersionNode {
    std::string key;
    std::vector<std::uint8_t> value;  // raw bytes (binary) or ASCII text (text)
    bool text = false;
    std::vector<VersionNode> children;
};

VersionNode TextNode(const std::string& key, const std::string& text);
VersionNode BinaryNode(const std::string& key, std::vector<std::uint8_t> value);
VersionNode ParentNode(const std::string& key, std::vector<VersionNode> children);
// A complete block: fixed information with the given fields, string table
// "<language><codepage>" with `strings`, and a translation entry unless `translation` is
// false.
struct BlockSpec {
    std::uint32_t fileVersionHigh = 0x00010002;
    std::uint32_t fileVersionLow = 0x00030004;
    std::uint32_t targetSystem = 0x40004;
    std::uint32_t fileType = 1;
    std::uint32_t fileSubtype = 0;
    std::uint16_t language = 0x0409;
    std::uint16_t codePage = 1252;
    bool translation = true;
    std::vector<std::pair<std::string, std::string>> strings;
};
std::vector<std::uint8_t> EncodeVersionNode(const VersionNode& node);
std::vector<std::uint8_t> BuildVersionBlock(const BlockSpec& shape);

// The folder holding version_fixture.dll (built from tests/fixtures), as a host path.
std::string FixtureFolder();
std::vector<std::uint8_t> ReadHostFile(const std::string& path);

}  // namespace tw::test
