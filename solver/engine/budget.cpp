// The default memory budget: half of the physical memory.
#include "solver/engine/budget.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

namespace kvarlo::engine {

uint64_t defaultMemoryBudget() {
#if defined(_WIN32)
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (GlobalMemoryStatusEx(&status)) {
        return status.ullTotalPhys / 2;
    }
#else
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0) {
        return static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize) / 2;
    }
#endif
    return uint64_t{1} << 30;  // a modest guess when the system does not say
}

}  // namespace kvarlo::engine
