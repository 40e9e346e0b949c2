#include "managers/version_block.h"

#include "platform/codepage.h"

namespace tw {

namespace {

constexpr std::size_t Align4(std::size_t offset)
{
    return (offset + 3) & ~static_cast<std::size_t>(3);
}

}  // namespace

std::uint16_t VersionBlock::Word(std::size_t offset) const
{
    return static_cast<std::uint16_t>(data_[offset] | (data_[offset + 1] << 8));
}

// In the 32-bit layout the third word is the value type (0 or 1) and the key starts after it;
// in the 16-bit layout the key (printable ANSI text) starts at byte 4.
bool VersionBlock::Wide() const
{
    return size_ > 4 && data_[4] < ' ';
}

bool VersionBlock::ReadNode(std::size_t offset, std::size_t limit, Node* node) const
{
    if (offset + 4 > limit)
        return false;
    std::size_t length = Word(offset);
    if (length < 4 || offset + length > limit)
        return false;
    node->start = offset;
    node->end = offset + length;
    std::size_t valueLength = Word(offset + 2);
    std::size_t pos = offset + 4;
    node->key.clear();
    if (Wide()) {
        if (pos + 2 > node->end)
            return false;
        std::uint16_t type = Word(pos);
        pos += 2;
        node->text = type == 1;
        std::u16string key;
        for (;;) {
            if (pos + 2 > node->end)
                return false;
            char16_t c = static_cast<char16_t>(Word(pos));
            pos += 2;
            if (c == 0)
                break;
            key.push_back(c);
        }
        node->key = codec_.Utf16ToAnsi(key);
        // A text value's length counts UTF-16 characters.
        if (node->text)
            valueLength *= 2;
    } else {
        node->text = true;  // the 16-bit layout does not say; texts are what it holds
        for (;;) {
            if (pos >= node->end)
                return false;
            char c = static_cast<char>(data_[pos++]);
            if (c == 0)
                break;
            node->key.push_back(c);
        }
    }
    node->valueStart = Align4(pos);
    if (node->valueStart > node->end)
        node->valueStart = node->end;
    // A value said to be longer than its node ends with the node.
    node->valueSize = valueLength;
    if (node->valueSize > node->end - node->valueStart)
        node->valueSize = node->end - node->valueStart;
    node->childrenStart = Align4(node->valueStart + node->valueSize);
    return true;
}

bool VersionBlock::Find(std::string_view subBlock, Node* node) const
{
    if (!data_ || size_ < 6)
        return false;
    std::size_t limit = size_;
    if (!ReadNode(0, limit, node))
        return false;
    std::size_t pos = 0;
    for (;;) {
        while (pos < subBlock.size() && subBlock[pos] == '\\')
            ++pos;
        if (pos >= subBlock.size())
            return true;
        std::size_t next = subBlock.find('\\', pos);
        if (next == std::string_view::npos)
            next = subBlock.size();
        std::string_view name = subBlock.substr(pos, next - pos);
        pos = next;

        // Children follow one another, each starting on a 4-byte boundary; each is at least
        // 4 bytes long, so the walk always moves forward.
        Node parent = *node;
        bool found = false;
        std::size_t child = parent.childrenStart;
        while (child < parent.end) {
            Node candidate;
            if (!ReadNode(child, parent.end, &candidate))
                return false;
            if (CompareNamesNoCase(candidate.key, name) == 0) {
                *node = candidate;
                found = true;
                break;
            }
            child = Align4(candidate.end);
        }
        if (!found)
            return false;
    }
}

bool VersionBlock::QueryBinary(std::string_view subBlock, std::vector<std::uint8_t>* value) const
{
    Node node;
    if (!Find(subBlock, &node))
        return false;
    if (value)
        value->assign(data_ + node.valueStart, data_ + node.valueStart + node.valueSize);
    return true;
}

bool VersionBlock::QueryText(std::string_view subBlock, std::string* text) const
{
    Node node;
    if (!Find(subBlock, &node))
        return false;
    if (Wide() && node.text) {
        std::u16string wide;
        for (std::size_t i = node.valueStart; i + 2 <= node.valueStart + node.valueSize; i += 2) {
            char16_t c = static_cast<char16_t>(Word(i));
            if (c == 0)
                break;
            wide.push_back(c);
        }
        if (text)
            *text = codec_.Utf16ToAnsi(wide);
    } else {
        std::string bytes;
        for (std::size_t i = node.valueStart; i < node.valueStart + node.valueSize && data_[i] != 0; ++i)
            bytes.push_back(static_cast<char>(data_[i]));
        if (text)
            *text = std::move(bytes);
    }
    return true;
}

}  // namespace tw
