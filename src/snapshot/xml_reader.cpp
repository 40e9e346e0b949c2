#include "snapshot/xml_reader.h"

#include <cstdio>
#include <cstring>

namespace tw {
namespace {

constexpr std::size_t kChunkSize = 64 * 1024;

bool IsBlank(char c)
{
    return c == ' ' || c == '\r' || c == '\n';
}

}  // namespace

XmlReader::~XmlReader()
{
    Close();
}

bool XmlReader::SetFileName(std::string_view path)
{
    if (!file_)
        fileName_.assign(path);
    return true;
}

void XmlReader::Close()
{
    file_.reset();
    stopped_ = false;
    chunkStart_ = chunkEnd_ = 0;
    endOfFile_ = false;
}

// Lines as a text-mode read gives them: split at LF, a CR right before the LF dropped with
// it (a lone CR stays in the line), the last line returned even without a line end.
bool XmlReader::ReadLine()
{
    line_.clear();
    bool any = false;
    for (;;) {
        if (chunkStart_ < chunkEnd_) {
            const char* begin = chunk_.data() + chunkStart_;
            const void* lf = std::memchr(begin, '\n', chunkEnd_ - chunkStart_);
            if (lf) {
                std::size_t length = static_cast<std::size_t>(static_cast<const char*>(lf) - begin);
                line_.append(begin, length);
                chunkStart_ += length + 1;
                if (!line_.empty() && line_.back() == '\r')
                    line_.pop_back();
                return true;
            }
            line_.append(begin, chunkEnd_ - chunkStart_);
            chunkStart_ = chunkEnd_;
            any = true;
        }
        if (endOfFile_)
            return any;
        if (chunk_.size() < kChunkSize)
            chunk_.resize(kChunkSize);
        chunkStart_ = 0;
        chunkEnd_ = file_->Read(chunk_.data(), chunk_.size());
        if (chunkEnd_ == 0)
            endOfFile_ = true;
    }
}

bool XmlReader::ReadNext()
{
    if (!file_) {
        file_ = system_.OpenFile(fileName_, FileMode::Read);
        if (!file_)
            return false;
        stopped_ = false;
        chunkStart_ = chunkEnd_ = 0;
        endOfFile_ = false;
        position_ = kNoPosition;
        lineNumber_ = 0;
        inComment_ = inCData_ = inTag_ = afterEquals_ = inText_ = false;
        valueBegun_ = nameBeforeEquals_ = false;
        valueQuote_ = 0;
        token_ = XmlToken::None;
        error_.clear();
        elementName_.clear();
        text_.clear();
        attributeName_.clear();
        attributeValue_.clear();
        declarationName_.clear();
    }
    if (stopped_)
        return false;
    if (position_ == kNoPosition) {
        if (!ReadLine())
            return false;
        ++lineNumber_;
        position_ = 0;
    }
    if (const char* failure = Step()) {
        char head[48];
        std::snprintf(head, sizeof head, "Parse error in line %d : (", lineNumber_);
        error_ = head;
        error_ += failure;
        error_ += ')';
        stopped_ = true;
        return false;
    }
    return true;
}

const char* XmlReader::Step()
{
    const bool tagAtStart = inTag_;
    token_ = XmlToken::None;
    const std::size_t size = line_.size();

    if (size == 0 && afterEquals_ && valueBegun_)
        attributeValue_ += "\r\n";  // an empty line inside a value
    if (position_ >= size) {
        position_ = kNoPosition;
        return nullptr;
    }
    if (tagAtStart && !afterEquals_) {
        while (position_ < size && IsBlank(line_[position_]))
            ++position_;
        if (position_ >= size) {
            position_ = kNoPosition;
            return nullptr;
        }
    }
    if (inComment_) {
        EndOfSection("-->", XmlToken::Comment);
        return nullptr;
    }
    if (inCData_) {
        EndOfSection("]]>", XmlToken::CData);
        return nullptr;
    }
    if (afterEquals_) {
        ReadAttributeValue();
        return nullptr;
    }
    if (inText_) {
        ReadText();
        return nullptr;
    }

    const char c = line_[position_];
    switch (c) {
    case '<':
        return ReadTagStart(tagAtStart);
    case '?':  // the '?' of "?>"
        ++position_;
        return nullptr;
    case '/': {  // the end of an empty-element tag: the element ends, its name stays
        std::size_t end = position_ + 1;
        while (end < size && !IsBlank(line_[end]) && line_[end] != '>')
            ++end;
        position_ = end;
        token_ = XmlToken::EndElement;
        return nullptr;
    }
    case '>':
        afterEquals_ = false;
        inTag_ = false;
        inText_ = true;
        nameBeforeEquals_ = false;
        text_.clear();
        ++position_;
        return nullptr;
    default:
        break;
    }
    if (!tagAtStart)
        return "Syntax error";
    if (c == '=') {
        if (!nameBeforeEquals_)
            return "Missing attribute name before '='";
        nameBeforeEquals_ = false;
        afterEquals_ = true;
        valueBegun_ = false;
        ++position_;
        return nullptr;
    }
    std::size_t end = position_;
    while (end < size && !IsBlank(line_[end]) && line_[end] != '=' && line_[end] != '>')
        ++end;
    if (end == position_)
        return "Missing attribute name before '='";
    attributeName_.assign(line_, position_, end - position_);
    attributeValue_.clear();
    nameBeforeEquals_ = true;
    position_ = end;
    return nullptr;
}

// The rest of a comment or CDATA section: its end on this line, or the whole line.
void XmlReader::EndOfSection(std::string_view closing, XmlToken token)
{
    std::size_t found = line_.find(closing, position_);
    if (found == std::string::npos) {
        token_ = token;
        position_ = line_.size();
        return;
    }
    position_ = found + closing.size();
    inComment_ = inCData_ = afterEquals_ = inTag_ = false;
    inText_ = true;
    text_.clear();
}

void XmlReader::ReadAttributeValue()
{
    const std::size_t size = line_.size();
    if (!valueBegun_) {
        while (position_ < size && IsBlank(line_[position_]))
            ++position_;
        if (position_ >= size)
            return;  // the value starts on a later line
        const char open = line_[position_++];
        valueBegun_ = true;
        if (open == '"' || open == '\'') {
            valueQuote_ = open;
        } else {
            // Not a quote: a lenient unquoted value, which keeps its first character.
            valueQuote_ = 0;
            attributeValue_ += open;
        }
        // A line end right after the opening quote belongs to the value like any other:
        // a text that begins with a line break keeps it.
        if (position_ >= size)
            attributeValue_ += "\r\n";
        return;
    }
    std::size_t stop = valueQuote_ ? line_.find(valueQuote_, position_) : line_.find_first_of("\"'>\r\n", position_);
    if (stop == std::string::npos) {
        attributeValue_.append(line_, position_, std::string::npos);
        attributeValue_ += "\r\n";  // the value goes on in the next line
        position_ = size;
        return;
    }
    attributeValue_.append(line_, position_, stop - position_);
    afterEquals_ = false;
    valueBegun_ = false;
    token_ = XmlToken::Attribute;
    // An unquoted value that ended at '>' leaves the '>' to end the tag.
    position_ = (!valueQuote_ && line_[stop] == '>') ? stop : stop + 1;
}

void XmlReader::ReadText()
{
    const std::size_t size = line_.size();
    std::size_t stop = position_;
    while (stop < size) {
        char c = line_[stop];
        if (c == '<' || c == '\r' || c == '\n')
            break;
        ++stop;
    }
    text_.assign(line_, position_, stop - position_);
    token_ = text_.empty() ? XmlToken::None : XmlToken::Text;
    if (stop < size && line_[stop] == '<') {
        inText_ = false;
        position_ = stop;
    } else if (stop < size) {
        position_ = stop + 1;  // a stray CR inside the line: step over it, or text never ends
    } else {
        position_ = stop;
    }
}

const char* XmlReader::ReadTagStart(bool tagAtStart)
{
    if (tagAtStart)
        return "Bad '<' symbol";
    inTag_ = true;
    inCData_ = inComment_ = inText_ = afterEquals_ = false;
    nameBeforeEquals_ = false;
    const std::size_t size = line_.size();
    std::size_t s = position_ + 1;
    while (s < size && IsBlank(line_[s]))
        ++s;
    if (s >= size)
        return "'<' symbol not allowed at the end of a line";
    if (size - s >= 3 && line_.compare(s, 3, "!--") == 0) {
        token_ = XmlToken::Comment;
        inComment_ = true;
        position_ = s + 3;
        return nullptr;
    }
    if (size - s >= 8 && line_.compare(s, 8, "![CDATA[") == 0) {
        token_ = XmlToken::CData;
        inCData_ = true;
        position_ = s + 8;
        return nullptr;
    }
    std::size_t end = line_[s] == '/' ? s + 1 : s;
    while (end < size && !IsBlank(line_[end]) && line_[end] != '>' && line_[end] != '/')
        ++end;
    if (end == s)
        return "Empty element name";
    const char first = line_[s];
    if (first == '?' || first == '!') {
        token_ = XmlToken::Declaration;
        declarationName_.assign(line_, s, end - s);
        elementName_.clear();
    } else if (first == '/') {
        token_ = XmlToken::EndElement;
        elementName_.assign(line_, s + 1, end - s - 1);
    } else {
        token_ = XmlToken::StartElement;
        elementName_.assign(line_, s, end - s);
    }
    position_ = end;
    return nullptr;
}

}  // namespace tw
