// The section scanners, one source file each. Every scanner appends its findings to the
// engine's problem list, shows its count in the current progress row, and (except the
// registry integrity check) appends its entry to the completed-section list when it ends.
#pragma once

#include "platform/registry.h"
#include "scan/problem_record.h"

#include <string>

namespace tw {

class ScanEngine;

void ScanCompleteRegistry(ScanEngine& engine, CompletedSectionList& completed);   // registry_walk_scanner.cpp
void ScanProgramIds(ScanEngine& engine, CompletedSectionList& completed);         // registry_walk_scanner.cpp
void ScanFileAssociations(ScanEngine& engine, CompletedSectionList& completed);   // file_association_scanner.cpp
void ScanSharedProgramFiles(ScanEngine& engine, CompletedSectionList& completed); // shared_files_scanner.cpp
void ScanVxdDrivers(ScanEngine& engine, CompletedSectionList& completed);         // vxd_drivers_scanner.cpp
void ScanHelpFiles(ScanEngine& engine, CompletedSectionList& completed);          // help_files_scanner.cpp
void ScanApplicationPaths(ScanEngine& engine, CompletedSectionList& completed);   // app_paths_scanner.cpp
void ScanFonts(ScanEngine& engine, CompletedSectionList& completed);              // fonts_scanner.cpp
void ScanSystemServices(ScanEngine& engine, CompletedSectionList& completed);     // services_scanner.cpp
void ScanStartupPrograms(ScanEngine& engine, CompletedSectionList& completed);    // startup_scanner.cpp
void ScanSounds(ScanEngine& engine, CompletedSectionList& completed);             // sounds_scanner.cpp
void ScanRegistryIntegrity(ScanEngine& engine, CompletedSectionList& completed);  // registry_integrity_scanner.cpp
void ScanAddRemovePrograms(ScanEngine& engine, CompletedSectionList& completed);  // uninstall_scanner.cpp

// The registry walk of one branch as the two walk sections do it (`section` gives the
// problem texts and the delete type), for callers that time it on a branch of their own.
void WalkRegistryBranch(ScanEngine& engine, ScanSection section, HKey parent, const char* subkey,
                        const std::string& fullPath);

}  // namespace tw
