// The streaming XML writer of the snapshot files: one line per tag, indented with blanks,
// handed to the file as soon as it is built. It knows nothing of escaping: callers pass
// names and values already escaped (xml_text.h).
//
// The file is created at the first Write (truncating an older one), and the declaration
// line goes out with that first write. Bytes are gathered in a small buffer before they
// reach the file; a write that fails part way makes that Write and every later one return
// false, and Close reports it, so a snapshot on a full disk is never taken for a good one.
#pragma once

#include "platform/system.h"

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class XmlWriter {
public:
    explicit XmlWriter(System& system) : system_(system) {}
    XmlWriter(const XmlWriter&) = delete;
    XmlWriter& operator=(const XmlWriter&) = delete;
    virtual ~XmlWriter();

    // Sets the file to create; ignored while a file is open. Returns true.
    bool SetFileName(std::string_view path);
    // Creates the file if none is open (false, nothing written, when it cannot be: a later
    // call tries again), writes the declaration if it has not gone out yet, then `text`.
    // False once any byte of this file could not be written.
    virtual bool Write(std::string_view text);
    // Writing in place, for a caller that builds much text (a full backup): Room creates the
    // file and writes the declaration as Write does, and gives where the next `bytes` bytes
    // go (at most kRoomLimit), with `*free` set to how many fit there in all; nullptr where
    // Write would return false. Commit then takes the bytes up to `end` as written and gives
    // Write's result. Nothing else may be written between the two.
    static constexpr std::size_t kRoomLimit = 16 * 1024;
    char* Room(std::size_t bytes, std::size_t* free)
    {
        if (declared_ && !failed_ && bytes <= kCapacity - used_) {  // almost always
            *free = kCapacity - used_;
            return buffer_.get() + used_;
        }
        return RoomAfterFlush(bytes, free);
    }
    bool Commit(const char* end)
    {
        used_ = static_cast<std::size_t>(end - buffer_.get());
        return used_ < kBufferSize ? !failed_ : FlushBuffer();
    }
    // Hands the buffered bytes to the file now (the repair journal wants each entry out
    // before the item it records is deleted). False when a write has failed.
    bool Flush();
    // Closes the file if one is open; the writer can then take another file name. False
    // when anything written to the file since it was opened did not reach it.
    bool Close();

    const std::string& FileName() const { return fileName_; }
    bool IsOpen() const { return file_ != nullptr; }
    bool Failed() const { return failed_; }

    // The current indentation in blanks; XmlElement moves it by each tag's delta.
    int Indent() const { return indent_; }
    void SetIndent(int indent) { indent_ = indent; }

    // Scratch space in which XmlElement builds one line (kept to save an allocation a tag).
    std::string& LineBuffer() { return line_; }

private:
    // Bytes gathered before they go to the file: large enough that a snapshot of hundreds of
    // megabytes is written in few calls, small enough that memory stays flat. The buffer
    // goes to the file once this much is in it, and holds room beyond for what Room hands
    // out.
    static constexpr std::size_t kBufferSize = 64 * 1024;
    static constexpr std::size_t kCapacity = kBufferSize + kRoomLimit;

    char* RoomAfterFlush(std::size_t bytes, std::size_t* free);
    bool FlushBuffer();

    System& system_;
    std::unique_ptr<File> file_;
    std::string fileName_;
    std::unique_ptr<char[]> buffer_;  // bytes waiting for the file: used_ of them
    std::size_t used_ = 0;
    std::string line_;
    bool declared_ = false;
    bool failed_ = false;
    int indent_ = 0;
};

// One element about to be written: a name and its attributes in the order first set.
class XmlElement {
public:
    explicit XmlElement(std::string name) : name_(std::move(name)) {}

    // Replaces the value of the attribute with exactly this name (case counts), or appends
    // a new attribute.
    void SetAttribute(std::string_view name, std::string_view value);
    // Removes the attributes (their storage is kept, so an element can be reused line after
    // line without allocating).
    void ClearAttributes() { count_ = 0; }
    std::size_t AttributeCount() const { return count_; }
    const std::string& Name() const { return name_; }
    const std::string& AttributeName(std::size_t i) const { return names_[i]; }
    const std::string& AttributeValue(std::size_t i) const { return values_[i]; }

    // Each builds one line and passes it to the writer in one Write; the result is Write's.
    // Start tag: indent += delta first. Empty tag: the same, with "/>", and indent -= delta
    // after. End tag: indent += delta after (callers pass -1).
    bool WriteStartTag(XmlWriter& writer, int delta, bool indent, bool newline) const;
    bool WriteEmptyTag(XmlWriter& writer, int delta, bool indent, bool newline) const;
    bool WriteEndTag(XmlWriter& writer, int delta, bool indent, bool newline) const;
    // "<?name attributes?>" and CR LF at the writer's indentation.
    bool WriteDeclaration(XmlWriter& writer) const;

    // The declaration line as built for `indent` blanks.
    std::string DeclarationLine(int indent) const;

private:
    void AppendTag(std::string& line, int indent, bool indentOn) const;

    std::string name_;
    std::vector<std::string> names_;
    std::vector<std::string> values_;
    std::size_t count_ = 0;  // attributes in use; slots beyond are spare storage
};

}  // namespace tw
