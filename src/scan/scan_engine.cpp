#include "scan/scan_engine.h"

#include "registry/key_path.h"
#include "scan/scanners.h"

namespace tw {

ScanEngine::ScanEngine(Registry& registry, System& system, ActivityLog& log)
    : registry_(registry),
      system_(system),
      log_(log),
      windows9x_(DeletionStyleFromVersion(system.GetVersion()) == DeletionStyle::Windows9x),
      ignoreList_(registry),
      stop_(system.MakeEvent(StopEventName(system), true, false, nullptr))
{
}

void ScanEngine::AddProblem(std::unique_ptr<ProblemRecord> record)
{
    problems_.push_back(std::move(record));
}

bool ScanEngine::LeaveOut(std::string_view keyPath, std::string_view deleteType, std::string_view valueName)
{
    if (ignoreList_.empty() || !ignoreList_.Contains(EntryOfFinding(keyPath, deleteType, valueName)))
        return false;
    ++ignoredCount_;
    std::string line = "IGNORED: " + std::string(keyPath);
    if (deleteType != "KEY")
        line += ", " + std::string(valueName);
    log_.Write(line);
    return true;
}

void ScanEngine::AddSectionRow(std::string_view label)
{
    int row = rowCount_++;
    if (!progress_)
        return;
    progress_->AddRow();
    progress_->SetCell(row, kColumnStatus, "Scanning");
    progress_->SetCell(row, kColumnSectionName, label);
    progress_->SetCell(row, kColumnProblems, "0");
}

void ScanEngine::ShowSectionCount(int count)
{
    if (progress_)
        progress_->SetCell(currentRow_, kColumnProblems, std::to_string(count));
}

void ScanEngine::MarkSectionFinished()
{
    if (progress_)
        progress_->SetCell(currentRow_, kColumnStatus, "Finished");
    ++currentRow_;
}

void ScanEngine::ShowStatus(std::string_view text)
{
    if (progress_)
        progress_->SetStatus(text);
}

bool ScanEngine::StopSignalledNow()
{
    lastPoll_ = std::chrono::steady_clock::now();
    stopSeen_ = stop_ && stop_->IsSignalled();
    return stopSeen_;
}

bool ScanEngine::StopRequested()
{
    if (stopSeen_)
        return true;
    if (pollInterval_.count() > 0 && std::chrono::steady_clock::now() - lastPoll_ < pollInterval_)
        return false;
    return StopSignalledNow();
}

void ScanEngine::RunSection(ScanSection section, CompletedSectionList& completed)
{
    switch (section) {
    case ScanSection::CompleteRegistryScan: ScanCompleteRegistry(*this, completed); break;
    case ScanSection::ProgramId: ScanProgramIds(*this, completed); break;
    case ScanSection::FileAssociations: ScanFileAssociations(*this, completed); break;
    case ScanSection::SharedProgramFiles: ScanSharedProgramFiles(*this, completed); break;
    case ScanSection::VxdDrivers: ScanVxdDrivers(*this, completed); break;
    case ScanSection::HelpFiles: ScanHelpFiles(*this, completed); break;
    case ScanSection::ApplicationPaths: ScanApplicationPaths(*this, completed); break;
    case ScanSection::Fonts: ScanFonts(*this, completed); break;
    case ScanSection::SystemServices: ScanSystemServices(*this, completed); break;
    case ScanSection::StartupPrograms: ScanStartupPrograms(*this, completed); break;
    case ScanSection::Sounds: ScanSounds(*this, completed); break;
    case ScanSection::RegistryIntegrity: ScanRegistryIntegrity(*this, completed); break;
    case ScanSection::AddRemovePrograms: ScanAddRemovePrograms(*this, completed); break;
    case ScanSection::Shortcuts: break;  // the shortcut scanner runs after the registry sections
    }
}

void ScanEngine::RunRequestedSections(CompletedSectionList& completed, ScanRequest& request)
{
    completed.clear();
    problems_.clear();
    ignoredCount_ = 0;
    if (long status = ignoreList_.Load(); status != kSuccess)
        log_.Write("The ignore list could not be read (error " + std::to_string(status) + "): every finding is listed");
    rowCount_ = 0;
    if (stop_)
        stop_->Reset();
    stopSeen_ = false;
    lastPoll_ = {};
    for (ScanSection section : SectionsInRunOrder())
        if (request[section] != 0)
            AddSectionRow(SectionInfoOf(section).progressLabel);
    currentRow_ = 0;
    for (ScanSection section : SectionsInRunOrder()) {
        if (section == ScanSection::Shortcuts || request[section] == 0)
            continue;
        // After an abort, the section cut short and those that never ran keep "Scanning".
        if (StopSignalledNow())
            return;
        request[section] = kSectionRunning;
        RunSection(section, completed);
        if (StopSignalledNow())
            return;
        request[section] = kSectionDone;
        MarkSectionFinished();
    }
}

}  // namespace tw
