// What a scan shows while it runs, kept apart from any window: a table of section rows
// (name, problem count, status), a one-line status text, and two events at the end. The
// scan progress dialog, the command line and the tests each implement it. All calls come
// from the scan worker.
#pragma once

#include <array>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

enum ProgressColumn : int {
    kColumnSectionName = 0,  // "Section Name"
    kColumnProblems = 1,     // "Problems"
    kColumnStatus = 2,       // "Status"
};

class ScanProgress {
public:
    virtual ~ScanProgress() = default;
    // Appends an empty row; rows are numbered from 0 in the order added.
    virtual void AddRow() = 0;
    virtual void SetCell(int row, int column, std::string_view text) = 0;
    // The key or value being examined.
    virtual void SetStatus(std::string_view text) = 0;
    // At least one section scanner ran: a repair has something to work on.
    virtual void EnableRepair() = 0;
    // The worker's last act after a scan that was not aborted. A window shows its
    // completion message from here; the worker waits until this returns.
    virtual void ScanCompleted() = 0;
};

// A ScanProgress that keeps the table, for a window to draw on a timer or a test to read.
// Reads and writes are locked, so another thread may take a copy while the scan runs.
class ProgressTable : public ScanProgress {
public:
    using Row = std::array<std::string, 3>;

    void AddRow() override;
    void SetCell(int row, int column, std::string_view text) override;
    void SetStatus(std::string_view text) override;
    void EnableRepair() override;
    void ScanCompleted() override;

    std::vector<Row> Rows() const;
    std::string Status() const;
    bool RepairEnabled() const;
    bool Completed() const;

private:
    mutable std::mutex lock_;
    std::vector<Row> rows_;
    std::string status_;
    bool repairEnabled_ = false;
    bool completed_ = false;
};

}  // namespace tw
