// Queries into a version-information block (the VS_VERSIONINFO tree that GetFileVersionInfoA
// returns), as VerQueryValueA answers them: "\" for the fixed file information,
// "\VarFileInfo\Translation" for the translation table, "\StringFileInfo\040904e4\CompanyName"
// for a string. Both layouts are read: the 32-bit one (UTF-16 keys and texts, converted to the
// ANSI code page) and the 16-bit one (ANSI keys and texts). Every length in the block is
// checked against the bytes that are really there; a malformed block only fails the query.
#pragma once

#include "platform/system.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class VersionBlock {
public:
    // The block is viewed, not copied: it must outlive this object. The codec converts the
    // 32-bit layout's UTF-16 keys and texts to the ANSI code page.
    VersionBlock(const std::uint8_t* data, std::size_t size, TextCodec& codec)
        : data_(data), size_(size), codec_(codec) {}
    VersionBlock(const std::vector<std::uint8_t>& block, TextCodec& codec)
        : VersionBlock(block.data(), block.size(), codec) {}

    // The raw value of a node ("\" is the root); names are compared without regard to case.
    bool QueryBinary(std::string_view subBlock, std::vector<std::uint8_t>* value) const;
    // A text value, up to its first NUL, in the ANSI code page.
    bool QueryText(std::string_view subBlock, std::string* text) const;

private:
    struct Node {
        std::size_t start = 0;       // offset of the node's header
        std::size_t end = 0;         // one past its last byte (bounded by the block)
        std::size_t valueStart = 0;
        std::size_t valueSize = 0;   // in bytes, bounded by the node
        std::size_t childrenStart = 0;
        bool text = false;           // the value is text (UTF-16 in the 32-bit layout)
        std::string key;             // ANSI (the 32-bit layout's UTF-16 key, converted)
    };
    bool Wide() const;
    bool ReadNode(std::size_t offset, std::size_t limit, Node* node) const;
    bool Find(std::string_view subBlock, Node* node) const;
    std::uint16_t Word(std::size_t offset) const;

    const std::uint8_t* data_;
    std::size_t size_;
    TextCodec& codec_;
};

}  // namespace tw
