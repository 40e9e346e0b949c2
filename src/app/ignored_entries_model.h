// What the "Ignored entries" window shows and does, without the window: the user's ignore
// list as rows (key path, value name) and the one change it makes, taking the selected entry
// off the list, after which every later scan reports that finding again. Opened from the
// "Settings" page.
#pragma once

#include "platform/registry.h"
#include "scan/ignore_list.h"

#include <array>
#include <string>
#include <vector>

namespace tw {

// Control ids of the window.
enum IgnoredEntriesControl : int {
    kIgnoredEntriesButton = 1111,  // the "Settings" page's button that opens it
    kIgnoredList = 1112,
    kIgnoredRemove = 1113,         // "Take off the list"
    kIgnoredClose = 1114,
    kIgnoredNote = 1115,
};

inline constexpr const char* kIgnoredEntriesTitle = "Ignored entries";
inline constexpr const char* kIgnoredEntriesNote =
    "Every scan leaves these findings out. Select one and click \"Take off the list\" to have it reported again.";
inline constexpr const char* kIgnoredKeyColumn = "Key path";
inline constexpr const char* kIgnoredValueColumn = "Value name";
// The value column of an entry that stands for the key itself.
inline constexpr const char* kIgnoredWholeKey = "(the key itself)";
inline constexpr const char* kIgnoredNothingSelected = "Select the entry to take off the list.";

using IgnoredRow = std::array<std::string, 2>;

class IgnoredEntriesView {
public:
    virtual ~IgnoredEntriesView() = default;
    // The list shows exactly these rows now.
    virtual void ShowRows(const std::vector<IgnoredRow>& rows) = 0;
    virtual void EnableRemove(bool enable) = 0;
    // A message box with an OK button.
    virtual void ShowMessage(const std::string& text) = 0;
    virtual void Close() = 0;
};

class IgnoredEntriesModel {
public:
    explicit IgnoredEntriesModel(Registry& registry);

    // Reads the list and shows it; a list that cannot be read is told, and shows empty.
    void Open(IgnoredEntriesView& view);
    // "Take off the list" with `row` selected (-1 for none).
    void OnRemove(int row);
    // A button; false when it is none of the window's.
    bool OnCommand(int id, int selectedRow);

    const std::vector<IgnoredRow>& rows() const { return rows_; }
    const IgnoreList& list() const { return list_; }

private:
    void Show();

    IgnoreList list_;
    IgnoredEntriesView* view_ = nullptr;
    std::vector<IgnoredRow> rows_;
};

// The text of a failure to read or write the list (status: the registry's).
std::string IgnoreListProblemText(const char* what, long status);

}  // namespace tw
