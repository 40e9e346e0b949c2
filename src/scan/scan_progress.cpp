#include "scan/scan_progress.h"

namespace tw {

void ProgressTable::AddRow()
{
    std::lock_guard guard(lock_);
    rows_.emplace_back();
}

void ProgressTable::SetCell(int row, int column, std::string_view text)
{
    std::lock_guard guard(lock_);
    if (row >= 0 && static_cast<std::size_t>(row) < rows_.size() && column >= 0 && column < 3)
        rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(column)] = std::string(text);
}

void ProgressTable::SetStatus(std::string_view text)
{
    std::lock_guard guard(lock_);
    status_.assign(text);
}

void ProgressTable::EnableRepair()
{
    std::lock_guard guard(lock_);
    repairEnabled_ = true;
}

void ProgressTable::ScanCompleted()
{
    std::lock_guard guard(lock_);
    completed_ = true;
}

std::vector<ProgressTable::Row> ProgressTable::Rows() const
{
    std::lock_guard guard(lock_);
    return rows_;
}

std::string ProgressTable::Status() const
{
    std::lock_guard guard(lock_);
    return status_;
}

bool ProgressTable::RepairEnabled() const
{
    std::lock_guard guard(lock_);
    return repairEnabled_;
}

bool ProgressTable::Completed() const
{
    std::lock_guard guard(lock_);
    return completed_;
}

}  // namespace tw
