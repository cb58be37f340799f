// The default memory budget: half of the memory the process may really use. Installed memory is
// not the only limit: an address-space or data limit (ulimit -v, ulimit -d) or a control
// group's limit can be far lower, and a search budgeted past them meets refused allocations
// (or the out-of-memory killer) long before its own budget.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace kvarlo::engine {

// Where the limits come from: the system's in a program, made up in tests.
struct MemorySources {
    std::optional<uint64_t> physical;           // installed memory
    std::optional<uint64_t> addressSpaceLimit;  // RLIMIT_AS, when finite
    std::optional<uint64_t> dataLimit;          // RLIMIT_DATA, when finite
    uint64_t threadStack = uint64_t{8} << 20;   // the address space a thread's stack takes
    // The text of a file (/proc/self/status, /proc/self/cgroup, a cgroup's limit); nullopt
    // when it cannot be read.
    std::function<std::optional<std::string>(const std::string& path)> readFile;
};

// Half of the smallest room the sources leave: installed memory; each process limit less what
// the process maps already (VmSize, VmData) and the stacks of the search's `threads`; the
// memory limit of the process's control group and of every group above it (cgroup v2's
// memory.max, v1's memory.limit_in_bytes). The other half is the margin for what the search
// holds outside its budget (the allocator's arenas, a table's old copy while it grows). Never
// below 1 MiB; 1 GiB when no source says anything.
uint64_t budgetFrom(const MemorySources& sources, int32_t threads = 0);

// A cgroup limit file's value: a number of bytes, or nullopt for "max" (none) and for text that
// is neither.
std::optional<uint64_t> parseCgroupLimit(std::string_view text);

// The sources of the running process.
MemorySources systemMemorySources();

// The budget for a search on `threads` threads within the running process's limits.
uint64_t defaultMemoryBudget(int32_t threads);

}  // namespace kvarlo::engine
