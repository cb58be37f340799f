// The default budget is half of the smallest room any limit leaves, read from sources made up
// here: installed memory, the address-space and data limits less what the process maps, and
// the limits of the process's control group and the groups above it, in either version.
#include <gtest/gtest.h>

#include <map>

#include "solver/engine/memory_limits.h"

namespace kvarlo::engine {
namespace {

constexpr uint64_t MiB = uint64_t{1} << 20;
constexpr uint64_t GiB = uint64_t{1} << 30;

TEST(MemoryLimitsTest, ACgroupLimitIsANumberOrNone) {
    EXPECT_EQ(parseCgroupLimit("1073741824\n"), GiB);
    EXPECT_EQ(parseCgroupLimit("  4096 "), 4096u);
    EXPECT_EQ(parseCgroupLimit("max\n"), std::nullopt);
    // cgroup v1's way of saying none: 2^63 less a page.
    EXPECT_EQ(parseCgroupLimit("9223372036854771712\n"), std::nullopt);
    for (const char* junk : {"", "\n", "-5", "12x", "1 2", "0x10", "99999999999999999999999"}) {
        EXPECT_EQ(parseCgroupLimit(junk), std::nullopt) << junk;
    }
}

struct Case {
    const char* what;
    MemorySources sources;
    std::map<std::string, std::string> files;
    uint64_t budget;
    int32_t threads = 0;
};

MemorySources limits(std::optional<uint64_t> physical, std::optional<uint64_t> addressSpace = {},
                     std::optional<uint64_t> data = {}) {
    MemorySources s;
    s.threadStack = 4 * MiB;
    s.physical = physical;
    s.addressSpaceLimit = addressSpace;
    s.dataLimit = data;
    return s;
}

const std::string status =
    "Name:\tkvarlo-cli\nVmPeak:\t  200000 kB\nVmSize:\t  102400 kB\n"
    "VmData:\t   61440 kB\nThreads:\t1\n";

// Each case's budget, read from its files alone.
template <size_t N>
void expectBudgets(const Case (&cases)[N]) {
    for (const Case& c : cases) {
        MemorySources sources = c.sources;
        const auto files = c.files;
        sources.readFile = [files](const std::string& path) -> std::optional<std::string> {
            const auto it = files.find(path);
            return it == files.end() ? std::nullopt : std::optional(it->second);
        };
        EXPECT_EQ(budgetFrom(sources, c.threads), c.budget) << c.what;
    }
}

TEST(MemoryLimitsTest, TheBudgetIsHalfOfTheSmallestRoomOfTheProcess) {
    const Case cases[] = {
        {"nothing known", limits({}), {}, GiB},
        {"installed memory alone", limits(16 * GiB), {}, 8 * GiB},
        {"the address space less the 100 MiB mapped",
         limits(16 * GiB, 300 * MiB),
         {{"/proc/self/status", status}},
         100 * MiB},
        {"the data limit less the 60 MiB of data",
         limits(16 * GiB, 8 * GiB, 500 * MiB),
         {{"/proc/self/status", status}},
         220 * MiB},
        {"an address-space limit with the mappings unknown",
         limits(16 * GiB, 300 * MiB),
         {},
         150 * MiB},
        {"the address space less the mappings and 8 threads' stacks of 4 MiB",
         limits(16 * GiB, 300 * MiB),
         {{"/proc/self/status", status}},
         (300 - 100 - 32) * MiB / 2,
         8},
        {"the data limit less the data and 8 threads' stacks of 4 MiB",
         limits(16 * GiB, {}, 200 * MiB),
         {{"/proc/self/status", status}},
         (200 - 60 - 32) * MiB / 2,
         8},
        {"more mapped than the limit: the least budget",
         limits(16 * GiB, 64 * MiB),
         {{"/proc/self/status", status}},
         MiB},
    };
    expectBudgets(cases);
    // Without a way to read files: the limits that need none still count.
    EXPECT_EQ(budgetFrom(limits(16 * GiB, 300 * MiB)), 150 * MiB);
}

TEST(MemoryLimitsTest, TheBudgetIsHalfOfTheControlGroupsLimit) {
    const Case cases[] = {
        {"cgroup v2: a group above holds the limit",
         limits(16 * GiB),
         {{"/proc/self/cgroup", "0::/user.slice/app.scope\n"},
          {"/sys/fs/cgroup/user.slice/app.scope/memory.max", "max\n"},
          {"/sys/fs/cgroup/user.slice/memory.max", "2147483648\n"},
          {"/sys/fs/cgroup/memory.max", "4294967296\n"}},
         GiB},
        {"cgroup v2 in a hybrid mount",
         limits(16 * GiB),
         {{"/proc/self/cgroup", "1:name=systemd:/a\n0::/a\n"},
          {"/sys/fs/cgroup/unified/a/memory.max", "1073741824\n"}},
         512 * MiB},
        {"cgroup v1: the group's path is not mounted, the mount's root is the group",
         limits(16 * GiB),
         {{"/proc/self/cgroup", "5:cpu,cpuacct:/x\n4:memory:/process_api/abc\n0::/\n"},
          {"/sys/fs/cgroup/memory/memory.limit_in_bytes", "536870912\n"}},
         256 * MiB},
        {"cgroup v1 without a limit, a damaged v2 file",
         limits(4 * GiB),
         {{"/proc/self/cgroup", "4:memory:/\n0::/\n"},
          {"/sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n"},
          {"/sys/fs/cgroup/memory.max", "lots\n"}},
         2 * GiB},
        {"every source at once: the cgroup is smallest",
         limits(16 * GiB, 8 * GiB, 4 * GiB),
         {{"/proc/self/status", status},
          {"/proc/self/cgroup", "0::/\n"},
          {"/sys/fs/cgroup/memory.max", "805306368\n"}},
         384 * MiB},
    };
    expectBudgets(cases);
}

}  // namespace
}  // namespace kvarlo::engine
