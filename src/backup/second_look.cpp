#include "backup/second_look.h"

#include "scan/path_rules.h"

#include <algorithm>

namespace tw {

namespace {

std::string FindingOf(const ProblemRecord& p)
{
    std::string text = p.section + '\n' + p.keyPath + '\n' + p.deleteType + '\n';
    if (p.value)
        text += p.value->name;
    return Lowered(text);
}

}  // namespace

FindingSet FindingsOf(const ProblemList& problems)
{
    FindingSet findings;
    for (const std::unique_ptr<ProblemRecord>& p : problems)
        if (p)
            findings.insert(FindingOf(*p));
    return findings;
}

std::size_t LookAgainAfterRepair(ScanEngine& engine, const ScanRequest& request, const FindingSet& before)
{
    ScanRequest again = ScanRequest::None();
    for (int i = 0; i < kSectionCount; ++i)
        if (request.flags[std::size_t(i)] != 0 && ScanSection(i) != ScanSection::Shortcuts)
            again.flags[std::size_t(i)] = kSectionRequested;
    ScanProgress* progress = engine.progress();
    engine.SetProgress(nullptr);
    CompletedSectionList completed;
    engine.RunRequestedSections(completed, again);
    engine.SetProgress(progress);
    ProblemList& problems = engine.problems();
    problems.erase(std::remove_if(problems.begin(), problems.end(),
                                  [&](const std::unique_ptr<ProblemRecord>& p) {
                                      return !p || before.count(FindingOf(*p)) != 0;
                                  }),
                   problems.end());
    return problems.size();
}

}  // namespace tw
