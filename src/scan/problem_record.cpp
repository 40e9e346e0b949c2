#include "scan/problem_record.h"

namespace tw {

void ProblemRecord::SetKeyPath(ActivityLog& log, std::string text)
{
    keyPath = std::move(text);
    log.Write("FOUND ERROR KEY: " + keyPath);
}

void ProblemRecord::SetSection(ActivityLog& log, std::string text)
{
    section = std::move(text);
    log.Write("Error Key Type: " + section);
}

void ProblemRecord::SetDeleteType(ActivityLog& log, std::string text)
{
    deleteType = std::move(text);
    log.Write("Error Delete Key Type: " + deleteType);
}

void ProblemRecord::SetDescription(ActivityLog& log, std::string text)
{
    description = std::move(text);
    log.Write("Error Description: " + description);
}

void ProblemRecord::SetReason(ActivityLog& log, std::string text)
{
    reason = std::move(text);
    log.Write("Error Reason: " + reason);
}

void ProblemRecord::SetValue(ActivityLog& log, std::unique_ptr<ValueEntry> entry)
{
    value = std::move(entry);
    if (value)
        log.Write("Error Key Value Name: " + value->name + ", Error Value: " + value->text);
}

}  // namespace tw
