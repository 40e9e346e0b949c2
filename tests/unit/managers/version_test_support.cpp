#include "unit/managers/version_test_support.h"

#include <cstdio>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tw::test {

namespace {

void Word(std::vector<std::uint8_t>& out, std::size_t at, std::size_t value)
{
    out[at] = static_cast<std::uint8_t>(value);
    out[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void Pad(std::vector<std::uint8_t>& out)
{
    while (out.size() % 4)
        out.push_back(0);
}

void AppendDword(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<std::uint8_t>(v >> (8 * i)));
}

}  // namespace

VersionNode TextNode(const std::string& key, const std::string& text)
{
    return VersionNode{key, std::vector<std::uint8_t>(text.begin(), text.end()), true, {}};
}

VersionNode BinaryNode(const std::string& key, std::vector<std::uint8_t> value)
{
    return VersionNode{key, std::move(value), false, {}};
}

VersionNode ParentNode(const std::string& key, std::vector<VersionNode> children)
{
    return VersionNode{key, {}, true, std::move(children)};
}

std::vector<std::uint8_t> EncodeVersionNode(const VersionNode& node)
{
    std::vector<std::uint8_t> out(6, 0);
    for (char c : node.key) {
        out.push_back(static_cast<std::uint8_t>(c));
        out.push_back(0);
    }
    out.push_back(0);
    out.push_back(0);
    Pad(out);
    std::size_t valueLength = 0;
    if (node.text && !node.value.empty()) {
        for (std::uint8_t c : node.value) {  // Latin-1 characters become UTF-16 as they are
            out.push_back(c);
            out.push_back(0);
        }
        out.push_back(0);
        out.push_back(0);
        valueLength = node.value.size() + 1;
    } else if (!node.text) {
        out.insert(out.end(), node.value.begin(), node.value.end());
        valueLength = node.value.size();
    }
    for (const VersionNode& child : node.children) {
        Pad(out);
        std::vector<std::uint8_t> bytes = EncodeVersionNode(child);
        out.insert(out.end(), bytes.begin(), bytes.end());
    }
    Word(out, 0, out.size());
    Word(out, 2, valueLength);
    Word(out, 4, node.text ? 1 : 0);
    return out;
}

std::vector<std::uint8_t> BuildVersionBlock(const BlockSpec& shape)
{
    std::vector<std::uint8_t> fixed;
    for (std::uint32_t v : {0xFEEF04BDu, 0x00010000u, shape.fileVersionHigh, shape.fileVersionLow, 0x00020006u, 0u,
                            0x3Fu, 0u, shape.targetSystem, shape.fileType, shape.fileSubtype, 0u, 0u})
        AppendDword(fixed, v);
    char table[16];
    std::snprintf(table, sizeof table, "%04x%04x", shape.language, shape.codePage);
    std::vector<VersionNode> strings;
    for (const auto& [name, value] : shape.strings)
        strings.push_back(TextNode(name, value));
    VersionNode root = BinaryNode("VS_VERSION_INFO", fixed);
    root.children.push_back(ParentNode("StringFileInfo", {ParentNode(table, strings)}));
    if (shape.translation) {
        std::vector<std::uint8_t> translation;
        AppendDword(translation, static_cast<std::uint32_t>(shape.language) | (static_cast<std::uint32_t>(shape.codePage) << 16));
        root.children.push_back(ParentNode("VarFileInfo", {BinaryNode("Translation", translation)}));
    }
    return EncodeVersionNode(root);
}

std::string FixtureFolder()
{
#ifdef TARNWICK_FIXTURE_DIR
    return TARNWICK_FIXTURE_DIR;
#elif defined(_WIN32)
    // The Windows test program finds the library beside itself.
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        DWORD length = GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return ".";
        if (length < buffer.size()) {
            std::string path(buffer.data(), length);
            return path.substr(0, path.find_last_of("\\/"));
        }
        buffer.resize(buffer.size() * 2);
    }
#else
    return ".";
#endif
}

std::vector<std::uint8_t> ReadHostFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tw::test
