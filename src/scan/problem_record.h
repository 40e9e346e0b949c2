// One finding of a scan. Each setter stores its field and writes one line to the activity
// log, so the log holds every problem in the order its scanner filled it in. The problem
// list owns the records in the order they were found; the completed-section list has one
// entry per section scanner that ran.
#pragma once

#include "log/activity_log.h"
#include "registry/value_text.h"
#include "scan/scan_section.h"

#include <memory>
#include <string>
#include <vector>

namespace tw {

class ProblemRecord {
public:
    ProblemRecord() = default;
    virtual ~ProblemRecord() = default;
    ProblemRecord(const ProblemRecord&) = delete;
    ProblemRecord& operator=(const ProblemRecord&) = delete;

    // "FOUND ERROR KEY: <path>"
    void SetKeyPath(ActivityLog& log, std::string keyPath);
    // "Error Key Type: <section>"
    void SetSection(ActivityLog& log, std::string section);
    // "Error Delete Key Type: <KEY|VAL>"
    void SetDeleteType(ActivityLog& log, std::string deleteType);
    // "Error Description: <description>"
    void SetDescription(ActivityLog& log, std::string description);
    // "Error Key Value Name: <name>, Error Value: <text>"; the record owns the entry.
    void SetValue(ActivityLog& log, std::unique_ptr<ValueEntry> value);
    // "Error Reason: <reason>": why the scanner judged the entry broken, in plain words
    // ("The file C:\x.exe does not exist."), one text for each rule of each scanner.
    void SetReason(ActivityLog& log, std::string reason);

    std::string section;
    std::string keyPath;
    std::unique_ptr<ValueEntry> value;
    std::string deleteType;
    std::string description;
    std::string reason;
    std::uint8_t excluded = 0;
};

using ProblemList = std::vector<std::unique_ptr<ProblemRecord>>;

// A section scanner that ran (finished, stopped part-way, or found its key missing).
struct CompletedSection {
    ScanSection section;
};
using CompletedSectionList = std::vector<CompletedSection>;

}  // namespace tw
