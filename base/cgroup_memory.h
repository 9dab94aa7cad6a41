#pragma once
// The memory limit of the control group this process runs in (Docker,
// Kubernetes, systemd slices). A container that goes over it is killed by the
// kernel without a word, so the limit counts as much as the machine's free
// memory and the process's rlimits.
#include <cstdint>
#include <string>

// The level on the way from this process's group up to the mount's root
// that has the least room left under its limit.
struct CgroupMemory {
    // Its limit in bytes; 0 when there is none on the way ("max", unlimited,
    // or no cgroup found).
    uint64_t limit = 0;
    // What it holds now, less the file cache the kernel can drop before it
    // kills anything (active_file and inactive_file of memory.stat).
    uint64_t usage = 0;
};

// Reads /proc/self/cgroup and /proc/self/mountinfo under `root`, then the
// files of the group and of the groups above it under the mount point found
// there, also under `root`:
// cgroup v2 memory.max / memory.current, cgroup v1 memory.limit_in_bytes /
// memory.usage_in_bytes. `root` is "/" on a running system; tests give a
// folder laid out the same way.
CgroupMemory ReadCgroupMemory(const std::string& root = "/");

// Bytes the group can still take: limit - usage, 0 when full; UINT64_MAX when
// there is no limit.
uint64_t CgroupAvailable(const CgroupMemory& memory);
