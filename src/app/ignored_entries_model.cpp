#include "app/ignored_entries_model.h"

namespace tw {

std::string IgnoreListProblemText(const char* what, long status)
{
    return std::string("The ignore list could not be ") + what + " (error " + std::to_string(status) +
           "): HKEY_CURRENT_USER\\" + kIgnoredKeyPath + ".";
}

IgnoredEntriesModel::IgnoredEntriesModel(Registry& registry) : list_(registry) {}

void IgnoredEntriesModel::Open(IgnoredEntriesView& view)
{
    view_ = &view;
    long status = list_.Load();
    Show();
    if (status != kSuccess)
        view.ShowMessage(IgnoreListProblemText("read", status));
}

void IgnoredEntriesModel::Show()
{
    rows_.clear();
    for (const IgnoredEntry& entry : list_.entries()) {
        std::string value = !entry.valueName ? std::string(kIgnoredWholeKey)
                            : entry.valueName->empty() ? std::string(kDefaultValueName)
                                                       : *entry.valueName;
        rows_.push_back({entry.keyPath, value});
    }
    if (!view_)
        return;
    view_->ShowRows(rows_);
    view_->EnableRemove(!rows_.empty());
}

void IgnoredEntriesModel::OnRemove(int row)
{
    if (row < 0 || static_cast<std::size_t>(row) >= list_.entries().size()) {
        view_->ShowMessage(kIgnoredNothingSelected);
        return;
    }
    const IgnoredEntry entry = list_.entries()[static_cast<std::size_t>(row)];
    long status = kSuccess;
    if (list_.Remove(entry, &status) == IgnoreResult::Failed) {
        view_->ShowMessage(IgnoreListProblemText("written", status));
        return;
    }
    Show();
}

bool IgnoredEntriesModel::OnCommand(int id, int selectedRow)
{
    switch (id) {
    case kIgnoredRemove:
        OnRemove(selectedRow);
        return true;
    case kIgnoredClose:
        view_->Close();
        return true;
    default:
        return false;
    }
}

}  // namespace tw
