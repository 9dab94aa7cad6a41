#include "base/memory_budget.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <sys/resource.h>

#include "base/cgroup_memory.h"

namespace {

// A "Key:   123 kB" line of a /proc file, in bytes; 0 when absent.
uint64_t ReadKilobytes(const char* file, const char* key) {
    std::unique_ptr<FILE, int (*)(FILE*)> stream(std::fopen(file, "r"), &std::fclose);
    if (!stream) return 0;
    char line[256];
    const size_t keyLength = std::strlen(key);
    while (std::fgets(line, sizeof line, stream.get())) {
        if (std::strncmp(line, key, keyLength) == 0) return std::strtoull(line + keyLength, nullptr, 10) * 1024;
    }
    return 0;
}

}  // namespace

uint64_t AvailableMemory() {
    uint64_t budget = ReadKilobytes("/proc/meminfo", "MemAvailable:");
    if (budget == 0) budget = UINT64_MAX;
    auto leftUnder = [&](int resource, const char* usedKey) {
        rlimit limit{};
        if (::getrlimit(resource, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY) return;
        const uint64_t used = ReadKilobytes("/proc/self/status", usedKey);
        budget = std::min<uint64_t>(budget, limit.rlim_cur > used ? limit.rlim_cur - used : 0);
    };
    leftUnder(RLIMIT_AS, "VmSize:");
    leftUnder(RLIMIT_DATA, "VmData:");
    // In a container the group's limit is usually far below the machine's
    // free memory, and going over it is a kill, not a failed allocation.
    budget = std::min(budget, CgroupAvailable(ReadCgroupMemory()));
    if (budget == UINT64_MAX) return 0;
    return std::max<uint64_t>(budget, 1);  // 0 would read as "unknown"
}
