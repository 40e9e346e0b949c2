// libFuzzer target: the report list's record text ("(a,b,c,d,n)text|" per cell). Whatever
// ParseReportRecords accepts formats back to the same bytes; what it refuses leaves its
// output as it was; and cells made from any text, as a row keeps them, read back the same.
#include "platform/codepage.h"
#include "ui/report_row_model.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string_view input(reinterpret_cast<const char*>(data), size);
    std::vector<tw::ReportCell> cells(1);
    cells[0].text = "unchanged";
    if (tw::ParseReportRecords(input, &cells)) {
        if (tw::FormatReportRecords(cells) != input)
            __builtin_trap();
    } else if (cells.size() != 1 || cells[0].text != "unchanged") {
        __builtin_trap();
    }

    // The input as the texts of a row's cells, split at the first bytes' count.
    for (tw::AnsiCodePage page : {tw::AnsiCodePage::Windows1252, tw::AnsiCodePage::Utf8}) {
        tw::ScopedProcessCodePage scope(page);
        tw::ReportRowModel rows;
        for (int i = 0; i < 3; ++i)
            rows.InsertCell(i);
        rows.InsertRow(tw::ReportItem{});
        std::size_t cut = size ? data[0] % (size + 1) : 0;
        rows.Apply(tw::TextItem(0, 0, std::string(input.substr(0, cut)), size ? data[0] % 3 : -1));
        rows.Apply(tw::TextItem(0, 2, std::string(input.substr(cut))));
        std::vector<tw::ReportCell> read;
        if (!tw::ParseReportRecords(rows.Records(0), &read) || read.size() != 3 ||
            tw::FormatReportRecords(read) != rows.Records(0))
            __builtin_trap();
        for (int column = 0; column < 3; ++column)
            if (!(read[static_cast<std::size_t>(column)] == *rows.Cell(0, column)))
                __builtin_trap();
    }
    return 0;
}
