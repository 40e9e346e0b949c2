// Generated registries for the scan benchmark: a branch of a given number of keys with the
// mix a real installation holds (mostly small keys, some very wide ones, some deep chains;
// values that are paths to files that exist, paths to files that do not, folders, and a
// majority of data that is no path at all: words, numbers, identifiers, addresses, binary).
// Deterministic for a given size. Works on any registry, so the same branch is made in the
// memory registry and in Wine's.
#pragma once

#include "bench/support/bench_memory.h"

#include "platform/registry.h"
#include "platform/system.h"

#include <cstddef>
#include <string>

namespace tw::bench {

struct GeneratedBranch {
    std::size_t keys = 0;
    std::size_t values = 0;
    std::size_t missingPaths = 0;   // values naming a file that is not there
    std::size_t existingPaths = 0;  // values naming a file or folder that is there
    std::size_t maxDepth = 0;
};

// The n-th of the files the generated values name.
std::string BenchFilePath(const std::string& fileFolder, int n);

// Makes the files the existing paths point at, below `fileFolder` (a Windows path).
bool MakeBenchFiles(System& system, const std::string& fileFolder);

// Creates root\subkey and `keyCount` keys below it.
GeneratedBranch GenerateScanBranch(Registry& registry, HKey root, const std::string& subkey, std::size_t keyCount,
                                   const std::string& fileFolder);

// Opens every key below root\subkey and enumerates every subkey and value, and nothing
// else: the floor for any walk of the branch. Returns the number of keys.
std::size_t PlainWalk(Registry& registry, HKey root, const std::string& subkey);
// The same without asking any key for its sizes (RegQueryInfoKeyA): names in buffers of
// the registry's maximum, data buffers grown when a value is larger, as reg export does.
std::size_t PlainWalkWithoutQueries(Registry& registry, HKey root, const std::string& subkey);

}  // namespace tw::bench
