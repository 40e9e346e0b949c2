#include "ui/report_row_model.h"

#include "platform/codepage.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstring>

namespace tw {
namespace {

// The text a cell keeps: up to its first NUL, at most kMaxCellText bytes, and under UTF-8 not
// ending inside a character (the cut goes back to the character's first byte).
std::size_t KeptLength(const std::string& text)
{
    std::size_t length = std::min(strnlen(text.c_str(), text.size()), ReportRowModel::kMaxCellText);
    if (length < text.size() && ProcessCodePage() == AnsiCodePage::Utf8)
        while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80)
            --length;
    return length;
}

void AppendInt(std::string& out, int value)
{
    char digits[16];
    auto result = std::to_chars(digits, digits + sizeof digits, value);
    out.append(digits, result.ptr);
}

// Reads an int written by AppendInt at `pos`, followed by `end`; moves past both.
bool ReadInt(std::string_view s, std::size_t* pos, char end, int* value)
{
    std::size_t i = *pos;
    std::size_t digits = i < s.size() && s[i] == '-' ? i + 1 : i;
    // Only the one way of writing each number: no "+", no leading zero, no "-0".
    if (digits >= s.size() || s[digits] < '0' || s[digits] > '9')
        return false;
    if (s[digits] == '0' && (digits != i || (digits + 1 < s.size() && s[digits + 1] >= '0' && s[digits + 1] <= '9')))
        return false;
    int v = 0;
    auto result = std::from_chars(s.data() + i, s.data() + s.size(), v);
    if (result.ec != std::errc())
        return false;
    std::size_t after = static_cast<std::size_t>(result.ptr - s.data());
    if (after >= s.size() || s[after] != end)
        return false;
    *value = v;
    *pos = after + 1;
    return true;
}

}  // namespace

ReportItem TextItem(int row, int column, const std::string& text, int textColour)
{
    ReportItem item;
    item.mask = kItemText | (textColour >= 0 ? kItemTextColour : 0u);
    item.row = row;
    item.column = column;
    item.text = text;
    item.textColour = textColour;
    return item;
}

std::string FormatReportRecords(const std::vector<ReportCell>& cells)
{
    std::string out;
    std::size_t size = 0;
    for (const ReportCell& cell : cells)
        size += 32 + cell.text.size();
    out.reserve(size);
    for (const ReportCell& cell : cells) {
        out += '(';
        for (int field : {cell.textColour, cell.backColour, cell.check, cell.image}) {
            AppendInt(out, field);
            out += ',';
        }
        AppendInt(out, cell.hasText ? static_cast<int>(cell.text.size()) : -1);
        out += ')';
        if (cell.hasText)
            out += cell.text;
        out += '|';
    }
    return out;
}

bool ParseReportRecords(std::string_view text, std::vector<ReportCell>* cells)
{
    std::vector<ReportCell> read;
    std::size_t pos = 0;
    while (pos < text.size()) {
        if (text[pos] != '(')
            return false;
        ++pos;
        int fields[5];
        for (int f = 0; f < 5; ++f)
            if (!ReadInt(text, &pos, f < 4 ? ',' : ')', &fields[f]))
                return false;
        int length = fields[4];
        if (length < -1 || static_cast<long long>(length) > static_cast<long long>(ReportRowModel::kMaxCellText))
            return false;
        std::size_t n = length < 0 ? 0 : static_cast<std::size_t>(length);
        if (text.size() - pos < n + 1 || text[pos + n] != '|')
            return false;
        ReportCell cell;
        cell.textColour = fields[0];
        cell.backColour = fields[1];
        cell.check = fields[2];
        cell.image = fields[3];
        cell.hasText = length >= 0;
        cell.text.assign(text.substr(pos, n));
        if (cell.text.find('\0') != std::string::npos)  // a cell never keeps one
            return false;
        read.push_back(std::move(cell));
        pos += n + 1;
    }
    *cells = std::move(read);
    return true;
}

// ---- rows

void ReportRowModel::InsertCell(int index)
{
    index = std::clamp(index, 0, cellCount_);
    for (Row& row : rows_)
        row.cells.insert(row.cells.begin() + index, ReportCell{});
    ++cellCount_;
}

int ReportRowModel::InsertRow(const ReportItem& item)
{
    int at = (item.row < 0 || item.row > RowCount()) ? RowCount() : item.row;
    Row row;
    row.cells.resize(static_cast<std::size_t>(cellCount_));
    ApplyTo(row, item);
    rows_.insert(rows_.begin() + at, std::move(row));
    return at;
}

void ReportRowModel::Apply(const ReportItem& item)
{
    if (ValidRow(item.row))
        ApplyTo(rows_[static_cast<std::size_t>(item.row)], item);
}

void ReportRowModel::ApplyTo(Row& row, const ReportItem& item)
{
    if (item.mask & kItemState) {
        unsigned mask = (item.stateMask ? item.stateMask : ~0u) & ~static_cast<unsigned>(kRowListState);
        row.state = (row.state & ~mask) | (item.state & mask);
    }
    if (item.mask & kItemOwnerValue)
        row.ownerValue = item.ownerValue;
    if (item.mask & kItemPreview)
        row.previewHeight = std::clamp(item.previewHeight, 0, kMaxPreviewHeight);
    if (item.mask & kItemRowTextColour)
        row.textColour = item.rowTextColour;
    if (item.mask & kItemRowBackColour)
        row.backColour = item.rowBackColour;
    if (!(item.mask & kItemCellFields) || item.column < 0 || static_cast<std::size_t>(item.column) >= row.cells.size())
        return;
    ReportCell& cell = row.cells[static_cast<std::size_t>(item.column)];
    if (item.mask & kItemText) {
        cell.hasText = true;
        cell.text.assign(item.text, 0, KeptLength(item.text));
    }
    if (item.mask & kItemTextColour)
        cell.textColour = item.textColour;
    if (item.mask & kItemBackColour)
        cell.backColour = item.backColour;
    if (item.mask & kItemCheck)
        cell.check = item.check;
    if (item.mask & kItemImage)
        cell.image = item.image;
}

void ReportRowModel::Erase(int row)
{
    if (ValidRow(row))
        rows_.erase(rows_.begin() + row);
}

const ReportCell* ReportRowModel::Cell(int row, int column) const
{
    if (!ValidRow(row) || !ValidCell(column))
        return nullptr;
    return &rows_[static_cast<std::size_t>(row)].cells[static_cast<std::size_t>(column)];
}

unsigned ReportRowModel::State(int row) const
{
    return ValidRow(row) ? rows_[static_cast<std::size_t>(row)].state : 0u;
}

void ReportRowModel::SetSelected(int row, bool selected)
{
    if (!ValidRow(row))
        return;
    unsigned& state = rows_[static_cast<std::size_t>(row)].state;
    state = selected ? (state | kRowSelected) : (state & ~static_cast<unsigned>(kRowSelected));
}

std::intptr_t ReportRowModel::OwnerValue(int row) const
{
    return ValidRow(row) ? rows_[static_cast<std::size_t>(row)].ownerValue : 0;
}

int ReportRowModel::PreviewHeight(int row) const
{
    return ValidRow(row) ? rows_[static_cast<std::size_t>(row)].previewHeight : 0;
}

int ReportRowModel::TextColour(int row) const
{
    return ValidRow(row) ? rows_[static_cast<std::size_t>(row)].textColour : -1;
}

int ReportRowModel::BackColour(int row) const
{
    return ValidRow(row) ? rows_[static_cast<std::size_t>(row)].backColour : -1;
}

std::string ReportRowModel::Records(int row) const
{
    return ValidRow(row) ? FormatReportRecords(rows_[static_cast<std::size_t>(row)].cells) : std::string();
}

std::string ReportRowModel::TemplateRecords() const
{
    return FormatReportRecords(std::vector<ReportCell>(static_cast<std::size_t>(cellCount_)));
}

}  // namespace tw
