// The default memory budget from the system's limits: installed memory, the process's limits,
// its control group's.
#include "solver/engine/memory_limits.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/resource.h>
#include <unistd.h>
#endif

#include <algorithm>
#include <charconv>
#include <fstream>
#include <sstream>
#include <vector>

namespace kvarlo::engine {

namespace {

constexpr uint64_t MiB = uint64_t{1} << 20;
// cgroup v1 writes a number near 2^63 for "no limit"; no machine has memory within sight of it.
constexpr uint64_t noLimitAbove = uint64_t{1} << 60;

std::string_view trimmed(std::string_view s) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    while (!s.empty() && blank(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && blank(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

std::optional<uint64_t> parseNumber(std::string_view s) {
    uint64_t value = 0;
    const auto [end, error] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (s.empty() || error != std::errc() || end != s.data() + s.size()) {
        return std::nullopt;
    }
    return value;
}

std::vector<std::string_view> linesOf(std::string_view text) {
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const size_t end = std::min(text.find('\n'), text.size());
        lines.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return lines;
}

// A "Name:   1234 kB" field of /proc/self/status, in bytes.
std::optional<uint64_t> statusField(std::string_view status, std::string_view name) {
    for (std::string_view line : linesOf(status)) {
        if (line.size() > name.size() && line.substr(0, name.size()) == name &&
            line[name.size()] == ':') {
            std::string_view value = trimmed(line.substr(name.size() + 1));
            if (value.size() < 3 || value.substr(value.size() - 3) != " kB") {
                return std::nullopt;
            }
            const auto kib = parseNumber(trimmed(value.substr(0, value.size() - 3)));
            return kib && *kib < noLimitAbove / 1024 ? std::optional(*kib * 1024) : std::nullopt;
        }
    }
    return std::nullopt;
}

// Whether a comma-separated list of controllers holds the memory controller.
bool namesMemory(std::string_view controllers) {
    for (size_t at = 0; at <= controllers.size();) {
        const size_t comma = std::min(controllers.find(',', at), controllers.size());
        if (controllers.substr(at, comma - at) == "memory") {
            return true;
        }
        at = comma + 1;
    }
    return false;
}

// The group of the process in a hierarchy of /proc/self/cgroup ("ID:CONTROLLERS:/PATH" per
// line): v2's line has ID 0 and no controllers, v1's memory line names "memory" among them.
std::optional<std::string> groupPath(std::string_view cgroups, bool v2) {
    for (std::string_view line : linesOf(cgroups)) {
        const size_t first = line.find(':');
        const size_t second = first == std::string_view::npos ? first : line.find(':', first + 1);
        if (second == std::string_view::npos) {
            continue;
        }
        const std::string_view id = line.substr(0, first);
        const std::string_view controllers = line.substr(first + 1, second - first - 1);
        if (v2 ? (id == "0" && controllers.empty()) : namesMemory(controllers)) {
            return std::string(trimmed(line.substr(second + 1)));
        }
    }
    return std::nullopt;
}

// The smallest limit in `file` of the group at `path` under `mount` and of every group above
// it: a group's memory is held to its ancestors' limits too. Inside a cgroup namespace (or a
// container with the group mounted as the root) the path may not exist below the mount, but
// the mount's own file is still the limit that holds.
std::optional<uint64_t> groupLimit(const MemorySources& sources, const std::string& mount,
                                   std::string path, const std::string& file) {
    std::optional<uint64_t> smallest;
    for (;;) {
        while (!path.empty() && path.back() == '/') {
            path.pop_back();
        }
        if (const auto text = sources.readFile(mount + path + "/" + file)) {
            if (const auto limit = parseCgroupLimit(*text)) {
                smallest = std::min(smallest.value_or(*limit), *limit);
            }
        }
        if (path.empty()) {
            return smallest;
        }
        path.erase(path.rfind('/') == std::string::npos ? 0 : path.rfind('/'));
    }
}

std::optional<uint64_t> cgroupLimit(const MemorySources& sources) {
    const auto cgroups = sources.readFile("/proc/self/cgroup");
    if (!cgroups) {
        return std::nullopt;
    }
    std::optional<uint64_t> smallest;
    auto take = [&](std::optional<uint64_t> limit) {
        if (limit) {
            smallest = std::min(smallest.value_or(*limit), *limit);
        }
    };
    if (const auto path = groupPath(*cgroups, true)) {
        take(groupLimit(sources, "/sys/fs/cgroup", *path, "memory.max"));
        take(groupLimit(sources, "/sys/fs/cgroup/unified", *path, "memory.max"));
    }
    if (const auto path = groupPath(*cgroups, false)) {
        take(groupLimit(sources, "/sys/fs/cgroup/memory", *path, "memory.limit_in_bytes"));
    }
    return smallest;
}

// What a process limit leaves once the process's mappings are counted against it.
std::optional<uint64_t> roomUnder(std::optional<uint64_t> limit, uint64_t used) {
    if (!limit) {
        return std::nullopt;
    }
    return *limit > used ? *limit - used : 0;
}

std::optional<std::string> readWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return std::nullopt;
    }
    std::ostringstream text;
    text << in.rdbuf();
    if (in.bad()) {
        return std::nullopt;
    }
    return text.str();
}

}  // namespace

std::optional<uint64_t> parseCgroupLimit(std::string_view text) {
    const auto value = parseNumber(trimmed(text));
    return value && *value < noLimitAbove ? value : std::nullopt;
}

uint64_t budgetFrom(const MemorySources& sources, int32_t threads) {
    const std::optional<std::string> status =
        sources.readFile ? sources.readFile("/proc/self/status") : std::nullopt;
    const std::string_view statusText = status ? std::string_view(*status) : std::string_view();
    // Stacks are private writable mappings: they count against both process limits.
    const uint64_t stacks = static_cast<uint64_t>(std::max(threads, 0)) * sources.threadStack;
    auto mapped = [&](std::string_view field) {
        return statusField(statusText, field).value_or(0) + stacks;
    };
    const std::optional<uint64_t> rooms[] = {
        sources.physical,
        roomUnder(sources.addressSpaceLimit, mapped("VmSize")),
        roomUnder(sources.dataLimit, mapped("VmData")),
        sources.readFile ? cgroupLimit(sources) : std::nullopt,
    };
    std::optional<uint64_t> smallest;
    for (const auto& room : rooms) {
        if (room) {
            smallest = std::min(smallest.value_or(*room), *room);
        }
    }
    if (!smallest) {
        return uint64_t{1} << 30;  // a modest guess when the system does not say
    }
    return std::max(*smallest / 2, MiB);
}

MemorySources systemMemorySources() {
    MemorySources s;
#if defined(_WIN32)
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof(status);
    if (GlobalMemoryStatusEx(&status)) {
        s.physical = status.ullTotalPhys;
    }
#else
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGE_SIZE);
    if (pages > 0 && pageSize > 0) {
        s.physical = static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize);
    }
    auto finite = [](int resource) -> std::optional<uint64_t> {
        rlimit limit{};
        if (getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) {
            return std::nullopt;
        }
        return static_cast<uint64_t>(limit.rlim_cur);
    };
    s.addressSpaceLimit = finite(RLIMIT_AS);
    s.dataLimit = finite(RLIMIT_DATA);
    // A thread's stack is as large as the main one may grow (8 MiB when that is unlimited).
    s.threadStack = finite(RLIMIT_STACK).value_or(s.threadStack);
#endif
    // Where /proc and the cgroup files do not exist, nothing is read and they say nothing.
    s.readFile = readWholeFile;
    return s;
}

uint64_t defaultMemoryBudget(int32_t threads) {
    return budgetFrom(systemMemorySources(), threads);
}

}  // namespace kvarlo::engine
