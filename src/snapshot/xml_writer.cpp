#include "snapshot/xml_writer.h"

#include <cstring>

namespace tw {
namespace {

void AppendBlanks(std::string& line, int count)
{
    if (count > 0)
        line.append(static_cast<std::size_t>(count), ' ');
}

}  // namespace

XmlWriter::~XmlWriter()
{
    Close();
}

bool XmlWriter::SetFileName(std::string_view path)
{
    if (!file_)
        fileName_.assign(path);
    return true;
}

char* XmlWriter::RoomAfterFlush(std::size_t bytes, std::size_t* free)
{
    // The file is created, the declaration goes out or the buffer is full.
    if (!file_) {
        file_ = system_.OpenFile(fileName_, FileMode::Write);
        if (!file_)
            return nullptr;
        declared_ = false;
        failed_ = false;
        used_ = 0;
        if (!buffer_)
            buffer_ = std::make_unique<char[]>(kCapacity);
    }
    if (failed_ || bytes > kRoomLimit)
        return nullptr;
    if (!declared_) {
        declared_ = true;
        XmlElement declaration("xml");
        declaration.SetAttribute("version", "1.0");
        declaration.SetAttribute("encoding", "UTF-8");
        // Built here rather than through WriteDeclaration: that would reuse LineBuffer(),
        // which may hold the very text being written.
        const std::string line = declaration.DeclarationLine(0);  // first in an empty buffer
        std::memcpy(buffer_.get() + used_, line.data(), line.size());
        used_ += line.size();
    }
    if (used_ + bytes > kCapacity && !FlushBuffer())
        return nullptr;
    *free = kCapacity - used_;
    return buffer_.get() + used_;
}

bool XmlWriter::Write(std::string_view text)
{
    // In pieces of what Room hands out at once; an empty text still creates the file.
    do {
        const std::size_t piece = text.size() < kRoomLimit ? text.size() : kRoomLimit;
        std::size_t free = 0;
        char* out = Room(piece, &free);
        if (!out)
            return false;
        if (piece != 0)
            std::memcpy(out, text.data(), piece);
        if (!Commit(out + piece))
            return false;
        text.remove_prefix(piece);
    } while (!text.empty());
    return true;
}

bool XmlWriter::FlushBuffer()
{
    if (!file_ || failed_)
        return !failed_;
    if (used_ != 0 && !file_->Write(buffer_.get(), used_))
        failed_ = true;
    used_ = 0;
    return !failed_;
}

bool XmlWriter::Flush()
{
    // Out of this process too (a file of the memory platform keeps a buffer of its own).
    if (!FlushBuffer())
        return false;
    if (file_ && !file_->Flush())
        failed_ = true;
    return !failed_;
}

bool XmlWriter::Close()
{
    bool ok = true;
    if (file_) {
        ok = FlushBuffer();
        if (!file_->Close())
            ok = false;
        file_.reset();
    }
    used_ = 0;
    declared_ = false;
    failed_ = false;
    indent_ = 0;
    return ok;
}

void XmlElement::SetAttribute(std::string_view name, std::string_view value)
{
    for (std::size_t i = 0; i < count_; ++i) {
        if (names_[i] == name) {
            values_[i].assign(value);
            return;
        }
    }
    if (count_ == names_.size()) {
        names_.emplace_back();
        values_.emplace_back();
    }
    if (names_[count_] != name)  // an element reused line after line has it already
        names_[count_].assign(name);
    values_[count_].assign(value);
    ++count_;
}

void XmlElement::AppendTag(std::string& line, int indent, bool indentOn) const
{
    // The line is sized once and filled: the snapshot writer builds one for every key and
    // every value of a branch.
    const std::size_t blanks = indentOn && indent > 0 ? static_cast<std::size_t>(indent) : 0;
    std::size_t length = blanks + 1 + name_.size();
    for (std::size_t i = 0; i < count_; ++i)
        length += names_[i].size() + values_[i].size() + 4;  // ' ', '=', two quotes
    std::size_t at = line.size();
    line.resize(at + length);
    char* out = line.data() + at;
    auto put = [&out](const std::string& text) {
        std::memcpy(out, text.data(), text.size());
        out += text.size();
    };
    std::memset(out, ' ', blanks);
    out += blanks;
    *out++ = '<';
    put(name_);
    for (std::size_t i = 0; i < count_; ++i) {
        *out++ = ' ';
        put(names_[i]);
        *out++ = '=';
        *out++ = '"';
        put(values_[i]);
        *out++ = '"';
    }
}

bool XmlElement::WriteStartTag(XmlWriter& writer, int delta, bool indent, bool newline) const
{
    writer.SetIndent(writer.Indent() + delta);
    std::string& line = writer.LineBuffer();
    line.clear();
    AppendTag(line, writer.Indent(), indent);
    line += newline ? ">\r\n" : ">";
    return writer.Write(line);
}

bool XmlElement::WriteEmptyTag(XmlWriter& writer, int delta, bool indent, bool newline) const
{
    writer.SetIndent(writer.Indent() + delta);
    std::string& line = writer.LineBuffer();
    line.clear();
    AppendTag(line, writer.Indent(), indent);
    line += newline ? "/>\r\n" : "/>";
    bool ok = writer.Write(line);
    writer.SetIndent(writer.Indent() - delta);
    return ok;
}

bool XmlElement::WriteEndTag(XmlWriter& writer, int delta, bool indent, bool newline) const
{
    std::string& line = writer.LineBuffer();
    line.clear();
    if (indent)
        AppendBlanks(line, writer.Indent());
    line += "</";
    line += name_;
    line += newline ? ">\r\n" : ">";
    bool ok = writer.Write(line);
    writer.SetIndent(writer.Indent() + delta);
    return ok;
}

std::string XmlElement::DeclarationLine(int indent) const
{
    std::string line;
    AppendBlanks(line, indent);
    line += "<?";
    line += name_;
    for (std::size_t i = 0; i < count_; ++i) {
        line += ' ';
        line += names_[i];
        line += "=\"";
        line += values_[i];
        line += '"';
    }
    line += "?>\r\n";
    return line;
}

bool XmlElement::WriteDeclaration(XmlWriter& writer) const
{
    return writer.Write(DeclarationLine(writer.Indent()));
}

}  // namespace tw
