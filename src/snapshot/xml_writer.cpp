#include "snapshot/xml_writer.h"

#include <cstring>

namespace tw {
namespace {

// Bytes gathered before they go to the file: large enough that a snapshot of hundreds of
// megabytes is written in few calls, small enough that memory stays flat.
constexpr std::size_t kBufferSize = 64 * 1024;

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

std::string* XmlWriter::BeginLine()
{
    if (!file_) {
        file_ = system_.OpenFile(fileName_, FileMode::Write);
        if (!file_)
            return nullptr;
        declared_ = false;
        failed_ = false;
        buffer_.clear();
    }
    if (failed_)
        return nullptr;
    if (!declared_) {
        declared_ = true;
        int saved = indent_;
        indent_ = 0;
        XmlElement declaration("xml");
        declaration.SetAttribute("version", "1.0");
        declaration.SetAttribute("encoding", "UTF-8");
        // Built here rather than through WriteDeclaration: that would reuse LineBuffer(),
        // which may hold the very text being written.
        buffer_ += declaration.DeclarationLine(indent_);
        indent_ = saved;
    }
    return &buffer_;
}

bool XmlWriter::EndLine()
{
    if (buffer_.size() >= kBufferSize)
        return FlushBuffer();
    return !failed_;
}

bool XmlWriter::Write(std::string_view text)
{
    std::string* line = BeginLine();
    if (!line)
        return false;
    line->append(text);
    return EndLine();
}

bool XmlWriter::FlushBuffer()
{
    if (!file_ || failed_)
        return !failed_;
    if (!buffer_.empty() && !file_->Write(buffer_.data(), buffer_.size()))
        failed_ = true;
    buffer_.clear();
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
    buffer_.clear();
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
