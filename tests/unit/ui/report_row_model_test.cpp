// The report list's rows: what a cell keeps of the text it is given, and the record text a
// row is handed out as, "(a,b,c,d,n)text|" per cell, read back byte for byte.
#include "ui/report_row_model.h"

#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

namespace tw::test {
namespace {

const std::string kUnset = "(-1,-1,-1,-1,-1)|";

// Four cells per row, as the results list has them.
ReportRowModel FourCells()
{
    ReportRowModel rows;
    for (int i = 0; i < 4; ++i)
        rows.InsertCell(i);
    return rows;
}

ReportItem Cell(int row, int column, const std::string& text, int colour = -1)
{
    return TextItem(row, column, text, colour);
}

// The row's record text read back gives the row's cells, and formatting them the same bytes.
void ExpectRoundTrip(const ReportRowModel& rows, int row)
{
    const std::string records = rows.Records(row);
    std::vector<ReportCell> cells;
    ASSERT_TRUE(ParseReportRecords(records, &cells)) << records;
    ASSERT_EQ(static_cast<std::size_t>(rows.CellCount()), cells.size());
    for (int column = 0; column < rows.CellCount(); ++column)
        EXPECT_EQ(*rows.Cell(row, column), cells[static_cast<std::size_t>(column)]) << records;
    EXPECT_EQ(records, FormatReportRecords(cells));
}

TEST(ReportRowRecords, WhatTheResultsListPutsInComesBackByteForByte)
{
    ScopedProcessCodePage utf8(AnsiCodePage::Utf8);
    ReportRowModel rows = FourCells();
    // An overview row and a detail row as the results viewer fills them, and texts of any
    // script (lengths are bytes of UTF-8), with the record's own punctuation in them.
    const std::vector<std::vector<std::string>> texts = {
        {"Windows Fonts", "3 Problems Found", "Use Double-Click for view Details..."},
        {"HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run", "Иван",
         "C:\\users\\Иван\\AppData\\Roaming\\Ελληνικά\\程序.exe"},
        {"🎉 (2,3)|x|", ")(-1,-1,-1,-1,-1)|", "عربي ✓ 한국어"},
    };
    for (std::size_t r = 0; r < texts.size(); ++r) {
        ReportItem item;
        item.mask = kItemState | kItemOwnerValue | kItemPreview;
        item.row = static_cast<int>(r);
        item.state = 12;
        item.ownerValue = 7;
        item.previewHeight = 37;
        int row = rows.InsertRow(item);
        rows.Apply(Cell(row, 1, texts[r][0], 0));
        rows.Apply(Cell(row, 2, texts[r][1], 1));
        rows.Apply(Cell(row, 3, texts[r][2]));
        ReportItem check;
        check.mask = kItemCheck;
        check.row = row;
        check.check = 1;
        rows.Apply(check);
        ExpectRoundTrip(rows, row);
    }
    EXPECT_EQ("(-1,-1,1,-1,-1)|(0,-1,-1,-1,13)Windows Fonts|(1,-1,-1,-1,16)3 Problems Found|"
              "(-1,-1,-1,-1,36)Use Double-Click for view Details...|",
              rows.Records(0));
    EXPECT_NE(std::string::npos, rows.Records(1).find("|(1,-1,-1,-1,8)Иван|(-1,")) << rows.Records(1);
    EXPECT_NE(std::string::npos, rows.Records(2).find("|(0,-1,-1,-1,13)🎉 (2,3)|x||(1,")) << rows.Records(2);

    // Every attribute at the ends of its range, an empty text beside an unset one.
    ReportItem extremes;
    extremes.mask = kItemCellFields;
    extremes.row = 3;
    extremes.column = 0;
    extremes.text = "";
    extremes.textColour = INT_MIN;
    extremes.backColour = INT_MAX;
    extremes.check = 0;
    extremes.image = 255;
    rows.InsertRow(extremes);
    EXPECT_EQ("(-2147483648,2147483647,0,255,0)|" + kUnset + kUnset + kUnset, rows.Records(3));
    ExpectRoundTrip(rows, 3);
    EXPECT_EQ(kUnset + kUnset + kUnset + kUnset, rows.TemplateRecords());
}

TEST(ReportRowRecords, ACellKeepsItsTextUpToANulAndWithinTheLimitNeverInsideACharacter)
{
    ReportRowModel rows = FourCells();
    rows.InsertRow(ReportItem{});
    rows.Apply(Cell(0, 0, std::string("before\0after", 12)));
    EXPECT_EQ("before", rows.Cell(0, 0)->text);
    rows.Apply(Cell(0, 1, std::string("\0x", 2)));
    EXPECT_TRUE(rows.Cell(0, 1)->hasText);
    EXPECT_EQ("", rows.Cell(0, 1)->text);

    const std::size_t limit = ReportRowModel::kMaxCellText;
    rows.Apply(Cell(0, 2, std::string(limit + 10, 'a')));
    EXPECT_EQ(limit, rows.Cell(0, 2)->text.size());
    {
        // A two-byte character across the limit is left out whole under UTF-8...
        ScopedProcessCodePage utf8(AnsiCodePage::Utf8);
        rows.Apply(Cell(0, 3, std::string(limit - 1, 'a') + "Ж" + "tail"));
        EXPECT_EQ(std::string(limit - 1, 'a'), rows.Cell(0, 3)->text);
        ExpectRoundTrip(rows, 0);
    }
    {
        // ...while under code page 1252 every byte is a character.
        ScopedProcessCodePage cp1252(AnsiCodePage::Windows1252);
        rows.Apply(Cell(0, 3, std::string(limit - 1, 'a') + "\xC6\xD0"));
        EXPECT_EQ(std::string(limit - 1, 'a') + "\xC6", rows.Cell(0, 3)->text);
    }
}

TEST(ReportRowRecords, RecordTextThatIsNotAsWrittenIsRefusedAndChangesNothing)
{
    const std::string nul("(-1,-1,-1,-1,1)\0|", 17);
    const std::string tooLong = "(-1,-1,-1,-1," + std::to_string(ReportRowModel::kMaxCellText + 1) + ")" +
                                std::string(ReportRowModel::kMaxCellText + 1, 'a') + "|";
    const std::vector<std::string> malformed = {
        "(",
        "(-1,-1,-1,-1,-1)",                   // no separator
        "(-1,-1,-1,-1)|",                     // four numbers
        "(-1,-1,-1,-1,-1,-1)|",               // six
        "(-1,-1,-1,-1,5)abc|",                // the text runs past the end
        "(-1,-1,-1,-1,2)abc|",                // no separator where the length ends
        "(-1,-1,-1,-1,4)Иван|",               // a length in characters, not bytes
        "(-1,-1,-1,-1,1)\xD0\x98|",           // a length that ends inside a character
        "(01,-1,-1,-1,-1)|",                  // numbers written another way
        "(-0,-1,-1,-1,-1)|",
        "(+1,-1,-1,-1,-1)|",
        "( 1,-1,-1,-1,-1)|",
        "(2147483648,-1,-1,-1,-1)|",          // out of range
        "(-2147483649,-1,-1,-1,-1)|",
        "(-1,-1,-1,-1,-2)|",                  // a length below -1
        "(-1,-1,-1,-1,-)|",
        "(a,-1,-1,-1,-1)|",
        "x(-1,-1,-1,-1,-1)|",
        "(-1,-1,-1,-1,-1)|x",                 // something after the last record
        "(-1,-1,-1,-1,-1)|(-1,-1,-1,-1,3)ab", // a record cut short after a good one
        nul,
        tooLong,
    };
    const std::vector<ReportCell> before = {ReportCell{1, 2, 3, 4, true, "kept"}};
    for (const std::string& text : malformed) {
        std::vector<ReportCell> cells = before;
        EXPECT_FALSE(ParseReportRecords(text, &cells)) << text;
        EXPECT_EQ(before, cells) << text;
    }
    // The empty text is a row of no cells; the longest text kept reads back.
    std::vector<ReportCell> cells = before;
    ASSERT_TRUE(ParseReportRecords("", &cells));
    EXPECT_TRUE(cells.empty());
    const std::string longest = "(-1,-1,-1,-1," + std::to_string(ReportRowModel::kMaxCellText) + ")" +
                                std::string(ReportRowModel::kMaxCellText, ')') + "|";
    ASSERT_TRUE(ParseReportRecords(longest, &cells));
    EXPECT_EQ(longest, FormatReportRecords(cells));
}

}  // namespace
}  // namespace tw::test
