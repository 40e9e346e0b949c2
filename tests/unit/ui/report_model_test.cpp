// The report list's rules: row records, columns, selection, scrolling, hit testing, keys,
// the wheel.
#include "ui/report_model.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace tw::test {
namespace {

struct RecordingOwner : ReportOwner {
    std::vector<ReportEvent> events;
    std::function<long(const ReportEvent&)> answer;
    long Notify(const ReportEvent& event) override
    {
        events.push_back(event);
        return answer ? answer(event) : 0;
    }
    std::vector<std::pair<int, int>> Calls(std::initializer_list<int> codes) const  // (code, row) of these codes
    {
        std::vector<std::pair<int, int>> calls;
        for (const ReportEvent& e : events)
            for (int code : codes)
                if (e.code == code)
                    calls.emplace_back(e.code, e.row);
        return calls;
    }
};

ReportColumn Col(int width, const std::string& title = "", unsigned format = kColumnText)
{
    ReportColumn c;
    c.width = width;
    c.title = title;
    c.format = format;
    return c;
}

constexpr int kHeader = 24;
constexpr int kRow = 20;
const std::string kUnset = "(-1,-1,-1,-1,-1)|";

// The results list's set-up: four columns of 30, 160, 165 and 225 pixels, shown in order,
// with rows of 20 pixels under a 24-pixel header and ten rows' room.
class ReportModelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        model.SetOwner(&owner);
        for (int i = 0; i < 4; ++i) {
            ASSERT_EQ(i, model.DefineColumn(i, Col(widths[i])));
            ASSERT_EQ(i, model.ShowColumn(i, i));
        }
        model.SetRowHeight(kRow);
        model.SetLayout(kHeader, 580, kHeader + 10 * kRow);
    }
    void AddRows(int count)
    {
        for (int i = 0; i < count; ++i) {
            ReportItem item = TextItem(model.RowCount(), 1, "row " + std::to_string(model.RowCount()));
            model.InsertItem(item);
        }
    }
    // The point in the middle of a row's cell of column 1.
    std::pair<int, int> At(int row)
    {
        ReportRect r = model.CellRect(row, 1);
        return {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void Click(int row, unsigned keys = 0)
    {
        auto [x, y] = At(row);
        model.LeftButtonDown(x, y, keys);
    }

    const int widths[4] = {30, 160, 165, 225};
    RecordingOwner owner;
    ReportModel model;
};

TEST_F(ReportModelTest, ANewRowHoldsOneUnsetRecordPerColumnAndCellsAreWrittenInTheRecordFormat)
{
    ReportItem first;
    first.row = 0;
    ASSERT_EQ(0, model.InsertItem(first));
    EXPECT_EQ(kUnset + kUnset + kUnset + kUnset, model.RowRecords(0));

    model.SetItem(TextItem(0, 1, "Windows Fonts", 0));
    ASSERT_TRUE(model.SetCheck(0, 0, 1));
    model.SetItem(TextItem(0, 2, "3 Problems Found", 1));
    EXPECT_EQ("(-1,-1,1,-1,-1)|(0,-1,-1,-1,13)Windows Fonts|(1,-1,-1,-1,16)3 Problems Found|" + kUnset,
              model.RowRecords(0));
    EXPECT_EQ("Windows Fonts", model.ItemText(0, 1));
    EXPECT_EQ(1, model.GetCheck(0, 0));
    EXPECT_EQ(-1, model.GetCheck(0, 1));

    // An empty text is a text of length 0, not an unset one.
    model.SetItem(TextItem(0, 3, ""));
    ReportCell cell;
    ASSERT_TRUE(model.GetCell(0, 3, &cell));
    EXPECT_TRUE(cell.hasText);
    EXPECT_EQ("(-1,-1,-1,-1,0)|", model.RowRecords(0).substr(model.RowRecords(0).rfind('(')));
}

TEST_F(ReportModelTest, TextsWithSeparatorsAndBracketsKeepTheirNeighbours)
{
    AddRows(1);
    model.SetItem(TextItem(0, 1, "a|b)(c|", 1));
    model.SetItem(TextItem(0, 2, "next"));
    model.SetCheck(0, 3, 0);
    EXPECT_EQ("a|b)(c|", model.ItemText(0, 1));
    EXPECT_EQ("next", model.ItemText(0, 2));
    EXPECT_EQ(0, model.GetCheck(0, 3));
    ReportCell cell;
    ASSERT_TRUE(model.GetCell(0, 1, &cell));
    EXPECT_EQ(1, cell.textColour);
}

TEST_F(ReportModelTest, InsertingAColumnBetweenTwoShiftsEveryRowsRecords)
{
    AddRows(3);
    for (int row = 0; row < 3; ++row) {
        model.SetCheck(row, 0, row % 2);
        model.SetItem(TextItem(row, 2, "second " + std::to_string(row), 1));
        model.SetItem(TextItem(row, 3, "third " + std::to_string(row)));
    }
    ASSERT_EQ(2, model.DefineColumn(2, Col(50, "inserted")));

    ASSERT_EQ(5, model.ColumnCount());
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(row % 2, model.GetCheck(row, 0));
        EXPECT_EQ("row " + std::to_string(row), model.ItemText(row, 1));
        ReportCell inserted;
        ASSERT_TRUE(model.GetCell(row, 2, &inserted));
        EXPECT_FALSE(inserted.hasText);
        EXPECT_EQ(-1, inserted.check);
        ReportCell moved;
        ASSERT_TRUE(model.GetCell(row, 3, &moved));
        EXPECT_EQ("second " + std::to_string(row), moved.text);
        EXPECT_EQ(1, moved.textColour);
        EXPECT_EQ("third " + std::to_string(row), model.ItemText(row, 4));
    }
    // The header still shows the same columns, and rows made later have five records.
    EXPECT_EQ(3, model.ColumnAt(2));
    EXPECT_EQ(-1, model.PositionOf(2));
    EXPECT_EQ(580, model.TotalWidth());
    AddRows(1);
    EXPECT_EQ(kUnset + "(-1,-1,-1,-1,5)row 3|" + kUnset + kUnset + kUnset, model.RowRecords(3));
}

TEST_F(ReportModelTest, ColumnDefinitionsAndWidths)
{
    EXPECT_EQ(-1, model.DefineColumn(6, Col(10)));
    EXPECT_EQ(-1, model.DefineColumn(-1, Col(10)));
    ASSERT_EQ(4, model.DefineColumn(4, Col(-5, "default")));
    EXPECT_EQ(ReportModel::kDefaultColumnWidth, model.Column(4)->width);

    ReportColumn bounded = Col(10);
    bounded.minimumWidth = 40;
    bounded.maximumWidth = 90;
    ASSERT_EQ(5, model.DefineColumn(5, bounded));
    EXPECT_EQ(40, model.Column(5)->width);
    EXPECT_EQ(90, model.SetColumnWidth(5, 500));
    EXPECT_EQ(-1, model.SetColumnWidth(9, 10));

    // Shown, a column's width counts in the total, and changes with it.
    EXPECT_EQ(4, model.ShowColumn(5, 99));
    EXPECT_EQ(580 + 90, model.TotalWidth());
    model.SetColumnWidth(5, 60);
    EXPECT_EQ(580 + 60, model.TotalWidth());
}

TEST_F(ReportModelTest, ShowingAColumnThatIsShownAlreadyChangesNothing)
{
    EXPECT_EQ(-1, model.ShowColumn(2, 0));
    EXPECT_EQ(-1, model.ShowColumn(7, 0));
    EXPECT_EQ(4, model.ShownCount());
    EXPECT_EQ(2, model.ColumnAt(2));
    EXPECT_EQ(580, model.TotalWidth());
    // A new column can be shown in front of the others.
    ASSERT_EQ(4, model.DefineColumn(4, Col(40)));
    EXPECT_EQ(0, model.ShowColumn(4, 0));
    EXPECT_EQ(4, model.ColumnAt(0));
    EXPECT_EQ(0, model.ColumnAt(1));
    EXPECT_EQ("Sort by: Name", ReportModel::SortTooltip("Name"));
}

TEST_F(ReportModelTest, Palette)
{
    std::uint32_t colour = 0;
    EXPECT_FALSE(model.PaletteColour(0, &colour));
    EXPECT_EQ(1, model.SetPaletteColour(1, 0x0000FF));
    EXPECT_TRUE(model.PaletteColour(1, &colour));
    EXPECT_EQ(0x0000FFu, colour);
    EXPECT_FALSE(model.PaletteColour(0, &colour));  // entries below stay unset
    EXPECT_EQ(-1, model.SetPaletteColour(-1, 0));
    EXPECT_EQ(-1, model.SetPaletteColour(ReportModel::kMaxPaletteEntries, 0));
}

TEST_F(ReportModelTest, ItemFieldsKeepTheOwnersStateBitsButNotTheListsOwn)
{
    ReportItem item;
    item.mask = kItemState | kItemOwnerValue | kItemPreview;
    item.row = 0;
    item.state = 12 | kRowSelected | kRowFocused;
    item.ownerValue = 7;
    item.previewHeight = 37;
    ASSERT_EQ(0, model.InsertItem(item));
    EXPECT_EQ(12u, model.RowState(0));
    EXPECT_FALSE(model.IsSelected(0));
    EXPECT_EQ(7, model.OwnerValue(0));
    EXPECT_EQ(37, model.PreviewHeight(0));
    // A cell field on a column that does not exist inserts nothing.
    EXPECT_EQ(-1, model.InsertItem(TextItem(0, 4, "x")));
    EXPECT_FALSE(model.SetItem(TextItem(0, 4, "x")));
    EXPECT_FALSE(model.SetItem(TextItem(1, 0, "x")));
    EXPECT_EQ(1, model.RowCount());
}

TEST_F(ReportModelTest, DeletingRowsTellsTheOwnerOfEachAndMovesFocusAndAnchor)
{
    AddRows(4);
    Click(2);
    ASSERT_EQ(2, model.FocusRow());
    owner.events.clear();
    ASSERT_TRUE(model.DeleteItem(0));
    EXPECT_EQ(1, model.FocusRow());
    EXPECT_EQ(1, model.AnchorRow());
    EXPECT_TRUE(model.IsSelected(1));
    EXPECT_EQ("row 1", model.ItemText(0, 1));
    ASSERT_TRUE(model.DeleteItem(1));
    EXPECT_EQ(-1, model.FocusRow());

    owner.events.clear();
    model.DeleteAllItems();
    EXPECT_EQ(0, model.RowCount());
    EXPECT_EQ((std::vector<std::pair<int, int>>{{kReportRowDeleting, 0}, {kReportRowDeleting, 1}}),
              owner.Calls({kReportRowDeleting}));
    EXPECT_TRUE(model.SelectedRows().empty());
}

TEST_F(ReportModelTest, MouseSelection)
{
    AddRows(8);
    Click(2);
    EXPECT_EQ(std::vector<int>{2}, model.SelectedRows());
    Click(5, kKeyShift);  // from the anchor
    EXPECT_EQ((std::vector<int>{2, 3, 4, 5}), model.SelectedRows());
    Click(0, kKeyShift);  // the anchor stays: the range is replaced
    EXPECT_EQ((std::vector<int>{0, 1, 2}), model.SelectedRows());
    Click(6, kKeyControl);  // toggles and anchors
    EXPECT_EQ((std::vector<int>{0, 1, 2, 6}), model.SelectedRows());
    EXPECT_EQ(6, model.AnchorRow());
    Click(1, kKeyControl);
    EXPECT_EQ((std::vector<int>{0, 2, 6}), model.SelectedRows());
    Click(3, kKeyShift | kKeyControl);  // adds anchor..row and moves the anchor
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3, 6}), model.SelectedRows());
    EXPECT_EQ(3, model.AnchorRow());
    Click(3);
    EXPECT_EQ(std::vector<int>{3}, model.SelectedRows());
    EXPECT_EQ(3, model.FocusRow());

    // Below the last row: a plain click clears the selection, a Ctrl click keeps it.
    ReportRect last = model.RowRect(7);
    model.LeftButtonDown(40, last.bottom + 5, kKeyControl);
    EXPECT_EQ(std::vector<int>{3}, model.SelectedRows());
    model.LeftButtonDown(40, last.bottom + 5, 0);
    EXPECT_TRUE(model.SelectedRows().empty());

    // The right button selects the row alone, but not with Shift or Ctrl.
    Click(1);
    Click(2, kKeyShift);
    auto [x, y] = At(4);
    EXPECT_TRUE(model.RightButtonDown(x, y, kKeyShift));
    EXPECT_EQ((std::vector<int>{1, 2}), model.SelectedRows());
    EXPECT_TRUE(model.RightButtonDown(x, y, 0));
    EXPECT_EQ(std::vector<int>{4}, model.SelectedRows());
}

TEST_F(ReportModelTest, SelectionNotificationsComeOnlyForRealChangesAndTheOwnerCanRefuse)
{
    AddRows(3);
    Click(1);
    owner.events.clear();
    Click(1);  // already selected alone: nothing changes
    EXPECT_TRUE(owner.Calls({kReportSelectionChanging, kReportSelectionChanged}).empty());

    Click(2);
    EXPECT_EQ((std::vector<std::pair<int, int>>{{kReportSelectionChanging, 1},
                                                {kReportSelectionChanged, 1},
                                                {kReportSelectionChanging, 2},
                                                {kReportSelectionChanged, 2}}),
              owner.Calls({kReportSelectionChanging, kReportSelectionChanged}));
    const ReportEvent& changed = owner.events.back();
    EXPECT_EQ(kRowSelected, changed.newState & kRowSelected);

    // Row 2 may not lose its selection.
    owner.answer = [](const ReportEvent& e) { return e.code == kReportSelectionChanging && e.row == 2 ? 1L : 0L; };
    Click(0);
    EXPECT_EQ((std::vector<int>{0, 2}), model.SelectedRows());
}

TEST_F(ReportModelTest, AClaimedClickChangesNothingAndTheOwnerSeesWhatWasHit)
{
    AddRows(3);
    model.SetCheck(1, 0, 1);
    owner.answer = [](const ReportEvent& e) { return e.code == kReportLeftButtonDown ? 1L : 0L; };
    ReportRect box = model.CheckBoxRect(1, 0);
    ASSERT_FALSE(box.Empty());
    EXPECT_FALSE(model.LeftButtonDown(box.left + 6, box.top + 6, kKeyShift));
    EXPECT_TRUE(model.SelectedRows().empty());
    ASSERT_EQ(1u, owner.events.size());
    const ReportEvent& e = owner.events[0];
    EXPECT_EQ(kReportLeftButtonDown, e.code);
    EXPECT_EQ(1, e.row);
    EXPECT_EQ(0, e.column);
    EXPECT_EQ(static_cast<unsigned>(kHitCheckBox), e.hitFlags);
    EXPECT_EQ(static_cast<unsigned>(kKeyShift), e.keyFlags);
    // The list never ticks a box itself: that is the owner's answer to the click.
    EXPECT_EQ(1, model.GetCheck(1, 0));
}

TEST_F(ReportModelTest, AnOwnerThatEmptiesTheListWhileToldLeavesItConsistent)
{
    AddRows(5);
    owner.answer = [this](const ReportEvent& e) {
        if (e.code == kReportLeftButtonDown || e.code == kReportDoubleClick)
            model.DeleteAllItems();
        return 0L;
    };
    auto [x, y] = At(4);
    EXPECT_TRUE(model.LeftButtonDown(x, y, kKeyShift));
    EXPECT_EQ(0, model.RowCount());
    EXPECT_TRUE(model.SelectedRows().empty());
    EXPECT_EQ(-1, model.FocusRow());
    AddRows(2);
    EXPECT_TRUE(model.DoubleClick(x, y, 0));
    EXPECT_EQ(0, model.RowCount());
}

TEST_F(ReportModelTest, HitTesting)
{
    model.SetPreviews(true);
    ReportItem item;
    item.mask = kItemPreview | kItemCheck;
    item.row = 0;
    item.column = 0;
    item.check = 1;
    item.previewHeight = 37;
    model.InsertItem(item);
    item.row = 1;
    item.mask = kItemPreview;
    model.InsertItem(item);

    ReportRect box = model.CheckBoxRect(0, 0);
    EXPECT_EQ((ReportRect{3, kHeader + 3, 16, kHeader + 16}), box);
    ReportHit hit = model.HitTest(box.left, box.top);
    EXPECT_EQ(0, hit.row);
    EXPECT_EQ(0, hit.column);
    EXPECT_EQ(static_cast<unsigned>(kHitCheckBox), hit.flags);
    // Row 1's first cell has no check box: the same spot is just the cell.
    EXPECT_TRUE(model.CheckBoxRect(1, 0).Empty());
    hit = model.HitTest(box.left + 2, box.top + kRow + 37);
    EXPECT_EQ(1, hit.row);
    EXPECT_EQ(static_cast<unsigned>(kHitCell), hit.flags);
    // The preview area under row 0, and the cells by their columns.
    hit = model.HitTest(300, kHeader + kRow + 10);
    EXPECT_EQ(0, hit.row);
    EXPECT_EQ(static_cast<unsigned>(kHitPreview), hit.flags);
    EXPECT_EQ(2, model.HitTest(30 + 160, kHeader + 5).column);
    EXPECT_EQ(1, model.HitTest(30 + 159, kHeader + 5).column);
    EXPECT_EQ(-1, model.HitTest(590, kHeader + 5).column);
    // Under the last row, and on the header: no row.
    hit = model.HitTest(100, kHeader + 2 * (kRow + 37) + 1);
    EXPECT_EQ(-1, hit.row);
    EXPECT_EQ(static_cast<unsigned>(kHitNowhere), hit.flags);
    EXPECT_EQ(-1, model.HitTest(100, 3).row);

    // Scrolled sideways, the columns move left.
    model.SetLayout(kHeader, 300, kHeader + 200);
    ASSERT_TRUE(model.SetScrollX(100));
    EXPECT_EQ(1, model.HitTest(0, kHeader + 5).column);
    EXPECT_EQ(280, model.MaxScrollX());
    model.SetScrollX(1000);
    EXPECT_EQ(280, model.ScrollX());
}

TEST_F(ReportModelTest, OnlyTheRowsInViewAreVisibleWhereverTheListIsScrolled)
{
    AddRows(10000);
    EXPECT_EQ((ReportRowRange{0, 10}), model.VisibleRows());
    EXPECT_EQ(9990, model.MaxTopRow());
    EXPECT_TRUE(model.ScrollTo(5000));
    EXPECT_EQ((ReportRowRange{5000, 5010}), model.VisibleRows());
    EXPECT_EQ(kHeader, model.RowRect(5000).top);
    EXPECT_EQ(5003, model.HitTest(40, kHeader + 3 * kRow + 1).row);
    model.ScrollTo(20000);
    EXPECT_EQ(9990, model.TopRow());
    EXPECT_EQ(9999, model.LastFullyVisibleRow());

    // A view that ends in the middle of a row shows that row too.
    model.SetLayout(kHeader, 580, kHeader + 10 * kRow + 5);
    model.ScrollTo(0);
    EXPECT_EQ((ReportRowRange{0, 11}), model.VisibleRows());
    EXPECT_EQ(9, model.LastFullyVisibleRow());

    // Rows with preview areas take more room: three rows of 20 + 37 in 200 pixels.
    model.SetLayout(kHeader, 580, kHeader + 10 * kRow);
    model.SetPreviews(true);
    ReportItem preview;
    preview.mask = kItemPreview;
    preview.previewHeight = 37;
    for (int row = 0; row < 10000; ++row) {
        preview.row = row;
        model.SetItem(preview);
    }
    EXPECT_EQ((ReportRowRange{0, 4}), model.VisibleRows());
    EXPECT_EQ(2, model.LastFullyVisibleRow());
    EXPECT_EQ(9997, model.MaxTopRow());
    EXPECT_TRUE(model.EnsureVisible(500));
    EXPECT_EQ(498, model.TopRow());
    EXPECT_EQ(500, model.LastFullyVisibleRow());
    EXPECT_TRUE(model.EnsureVisible(10));
    EXPECT_EQ(10, model.TopRow());
}

TEST_F(ReportModelTest, Keys)
{
    AddRows(30);
    auto press = [&](unsigned key, unsigned keys = 0) { return model.KeyDown(key, keys); };
    EXPECT_TRUE(press(kVkDown));  // no focus yet: the first row
    EXPECT_EQ(std::vector<int>{0}, model.SelectedRows());
    press(kVkDown);
    press(kVkDown);
    EXPECT_EQ(2, model.FocusRow());
    EXPECT_EQ(std::vector<int>{2}, model.SelectedRows());
    press(kVkDown, kKeyShift);
    press(kVkDown, kKeyShift);
    EXPECT_EQ((std::vector<int>{2, 3, 4}), model.SelectedRows());
    press(kVkUp, kKeyControl);  // the focus moves, the selection stays
    EXPECT_EQ(3, model.FocusRow());
    EXPECT_EQ((std::vector<int>{2, 3, 4}), model.SelectedRows());
    press(kVkSpace, kKeyControl);
    EXPECT_EQ((std::vector<int>{2, 4}), model.SelectedRows());
    press(kVkSpace);
    EXPECT_EQ(std::vector<int>{3}, model.SelectedRows());

    // Page Down goes to the last row in view, then a page further; Page Up likewise; Home
    // and End to the ends. Each key: the focus row and the top row after it.
    const struct {
        unsigned key;
        int focus, top;
    } moves[] = {{kVkPageDown, 9, 0}, {kVkPageDown, 19, 10}, {kVkPageUp, 10, 10}, {kVkPageUp, 0, 0},
                 {kVkEnd, 29, 20},     {kVkDown, 29, 20},     {kVkHome, 0, 0}};
    for (const auto& move : moves) {
        press(move.key);
        EXPECT_EQ(move.focus, model.FocusRow()) << move.key;
        EXPECT_EQ(move.top, model.TopRow()) << move.key;
        EXPECT_EQ(std::vector<int>{move.focus}, model.SelectedRows()) << move.key;
    }

    // Sideways keys scroll, Escape is left to the window, and a claimed key does nothing.
    model.SetLayout(kHeader, 300, kHeader + 200);
    press(kVkRight);
    EXPECT_EQ(ReportModel::kHorizontalLine, model.ScrollX());
    press(kVkLeft);
    EXPECT_EQ(0, model.ScrollX());
    EXPECT_FALSE(press(kVkEscape));
    owner.events.clear();
    owner.answer = [](const ReportEvent& e) { return e.code == kReportKeyDown ? 1L : 0L; };
    EXPECT_TRUE(press(kVkDown));
    EXPECT_EQ(0, model.FocusRow());
    ASSERT_EQ(1u, owner.events.size());
    EXPECT_EQ(static_cast<unsigned>(kVkDown), owner.events[0].key);
    EXPECT_EQ(0, owner.events[0].row);
}

TEST_F(ReportModelTest, TheWheelAsksForLinesOrPagesPerNotch)
{
    AddRows(50);
    ReportWheelScroll s = model.Wheel(120);
    EXPECT_EQ(3, s.count);
    EXPECT_TRUE(s.up);
    EXPECT_FALSE(s.pages);
    s = model.Wheel(-240);
    EXPECT_EQ(6, s.count);
    EXPECT_FALSE(s.up);
    // Fine-grained wheels: partial rotations add up to a notch.
    EXPECT_EQ(0, model.Wheel(-60).count);
    EXPECT_EQ(3, model.Wheel(-60).count);

    model.SetWheelLines(-1);
    s = model.Wheel(120);
    EXPECT_EQ(1, s.count);
    EXPECT_TRUE(s.pages);
    model.SetWheelLines(0);
    EXPECT_EQ(0, model.Wheel(120).count);
    // A huge setting asks for no more requests than there are rows.
    model.SetWheelLines(1000000);
    EXPECT_EQ(50, model.Wheel(-120).count);
}

}  // namespace
}  // namespace tw::test
