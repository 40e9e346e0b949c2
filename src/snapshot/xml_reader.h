// The pull reader of the snapshot files: reads a file line by line and advances one step per
// ReadNext, reporting at most one token a step. It builds no document tree and keeps only
// the current line and the token being read, so memory follows the longest line or
// attribute value, never the file.
//
// It is lenient: besides what XmlWriter produces it passes over comments and CDATA sections
// and reports declarations ("<?xml ...?>", "<!DOCTYPE ...>") with their attributes. An
// attribute value may run over several lines; each line end inside it reads as CR LF.
// Parse errors stop the reading and leave "Parse error in line N : (message)" in Error().
#pragma once

#include "platform/system.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

enum class XmlToken {
    None = 0,  // the step only consumed characters
    StartElement = 1,
    EndElement = 2,
    Attribute = 3,
    Text = 4,
    Declaration = 5,
    Comment = 6,
    CData = 7,
};

class XmlReader {
public:
    explicit XmlReader(System& system) : system_(system) {}
    XmlReader(const XmlReader&) = delete;
    XmlReader& operator=(const XmlReader&) = delete;
    virtual ~XmlReader();

    // Sets the file to read; ignored while a file is open. Returns true.
    bool SetFileName(std::string_view path);
    // One step. False at the end of the file, when the file cannot be opened, and on a parse
    // error (after which it stays false until Close).
    virtual bool ReadNext();
    // Closes the file; the reader can then take another file name. The error text stays.
    void Close();

    XmlToken Token() const { return token_; }
    // Name of the last start or end tag (empty for a declaration's attributes).
    const std::string& ElementName() const { return elementName_; }
    const std::string& AttributeName() const { return attributeName_; }
    // The value without its quotes, once the token is Attribute.
    const std::string& AttributeValue() const { return attributeValue_; }
    const std::string& Text() const { return text_; }
    // The last declaration's name with its '?' or '!'.
    const std::string& DeclarationName() const { return declarationName_; }
    const std::string& Error() const { return error_; }
    int LineNumber() const { return lineNumber_; }
    const std::string& FileName() const { return fileName_; }
    bool IsOpen() const { return file_ != nullptr; }

private:
    static constexpr std::size_t kNoPosition = static_cast<std::size_t>(-1);

    bool ReadLine();
    // Runs one step; returns the parse error's message, or nullptr.
    const char* Step();
    void EndOfSection(std::string_view closing, XmlToken token);
    void ReadAttributeValue();
    void ReadText();
    const char* ReadTagStart(bool tagAtStart);

    System& system_;
    std::unique_ptr<File> file_;
    std::string fileName_;
    std::string error_;
    bool stopped_ = false;  // a parse error ended the reading

    // Input: bytes read from the file and not yet made into lines.
    std::vector<char> chunk_;
    std::size_t chunkStart_ = 0;
    std::size_t chunkEnd_ = 0;
    bool endOfFile_ = false;

    std::string line_;
    std::size_t position_ = kNoPosition;
    int lineNumber_ = 0;

    XmlToken token_ = XmlToken::None;
    std::string elementName_;
    std::string text_;
    std::string attributeName_;
    std::string attributeValue_;
    std::string declarationName_;

    bool inComment_ = false;
    bool inCData_ = false;
    bool inTag_ = false;
    bool afterEquals_ = false;
    bool inText_ = false;
    // The value after '=' has begun: its opening character (normally a quote) was seen.
    bool valueBegun_ = false;
    char valueQuote_ = 0;  // '"' or '\'' for a quoted value, 0 for an unquoted one
    // An attribute name was read since the tag began and no '=' has taken it yet.
    bool nameBeforeEquals_ = false;
};

}  // namespace tw
