// The cgroup reader on fake /proc and /sys folders laid out as the kernel
// lays them out: cgroup v2 and v1, in and out of a cgroup namespace.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "base/cgroup_memory.h"
#include "support/test_paths.h"

namespace fs = std::filesystem;

namespace {

void Put(const ScratchDir& root, const std::string& path, const std::string& text) {
    const fs::path file = root.path() / path.substr(1);
    fs::create_directories(file.parent_path());
    std::ofstream(file) << text;
}

constexpr const char* kV2Mounts =
    "24 30 0:22 / /sys/fs/cgroup rw,nosuid,nodev,noexec,relatime shared:9 - cgroup2 cgroup2 rw,nsdelegate\n"
    "30 1 8:1 / / rw,relatime shared:1 - ext4 /dev/sda1 rw\n";

constexpr const char* kV1Mounts =
    "30 1 8:1 / / rw,relatime - ext4 /dev/sda1 rw\n"
    "35 25 0:30 / /sys/fs/cgroup/cpu,cpuacct rw,nosuid - cgroup cgroup rw,cpu,cpuacct\n"
    "36 25 0:31 / /sys/fs/cgroup/memory rw,nosuid shared:16 - cgroup cgroup rw,memory\n";

}  // namespace

// What a fake root holds and what is read from it; kAny leaves a value unchecked.
constexpr uint64_t kAny = UINT64_MAX - 1;
struct CgroupCase {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;
    uint64_t limit, usage, available;
};

TEST(CgroupMemory, LimitsAndUsageAsTheKernelLaysThemOut) {
    const std::vector<CgroupCase> cases = {
        {"v2: limit, usage less the cache that can be reclaimed",
         {{"/proc/self/cgroup", "0::/system.slice/job.scope\n"},
          {"/proc/self/mountinfo", kV2Mounts},
          {"/sys/fs/cgroup/system.slice/job.scope/memory.max", "3221225472\n"},
          {"/sys/fs/cgroup/system.slice/job.scope/memory.current", "1073741824\n"},
          {"/sys/fs/cgroup/system.slice/job.scope/memory.stat", "anon 900\nfile 500\ninactive_file 1024\nactive_file 2048\n"}},
         3221225472u, 1073741824u - 3072u, 3221225472u - (1073741824u - 3072u)},
        // A limit on a parent slice binds its children; "max" on the group
        // itself does not lift it, and over the limit is nothing left, not a
        // wrapped number.
        {"v2: the smallest limit on the way up",
         {{"/proc/self/cgroup", "0::/kubepods/pod1/ctr\n"},
          {"/proc/self/mountinfo", kV2Mounts},
          {"/sys/fs/cgroup/memory.max", "max\n"},
          {"/sys/fs/cgroup/kubepods/memory.max", "max\n"},
          {"/sys/fs/cgroup/kubepods/pod1/memory.max", "2000000\n"},
          {"/sys/fs/cgroup/kubepods/pod1/memory.current", "2500000\n"},
          {"/sys/fs/cgroup/kubepods/pod1/ctr/memory.max", "max\n"},
          {"/sys/fs/cgroup/kubepods/pod1/ctr/memory.current", "2500000\n"}},
         2000000u, kAny, 0u},
        // The pod's limit is shared with a container beside this one: what
        // that one holds leaves less room than this group's own limit says.
        {"v2: a sibling's use counts at the parent's limit",
         {{"/proc/self/cgroup", "0::/kubepods/pod1/ctr\n"},
          {"/proc/self/mountinfo", kV2Mounts},
          {"/sys/fs/cgroup/kubepods/pod1/memory.max", "1000000\n"},
          {"/sys/fs/cgroup/kubepods/pod1/memory.current", "900000\n"},
          {"/sys/fs/cgroup/kubepods/pod1/ctr/memory.max", "800000\n"},
          {"/sys/fs/cgroup/kubepods/pod1/ctr/memory.current", "100000\n"}},
         1000000u, 900000u, 100000u},
        // With its own cgroup namespace a container sees "/" and only its group.
        {"v2: inside a namespace",
         {{"/proc/self/cgroup", "0::/\n"},
          {"/proc/self/mountinfo", "500 400 0:26 / /sys/fs/cgroup ro,nosuid - cgroup2 cgroup rw,nsdelegate\n"},
          {"/sys/fs/cgroup/memory.max", "536870912\n"},
          {"/sys/fs/cgroup/memory.current", "100\n"}},
         536870912u, kAny, kAny},
        // The v1 "no limit" (a huge number) on the root is not the smallest.
        {"v1: the memory controller among others",
         {{"/proc/self/cgroup", "5:cpu,cpuacct:/docker/abc\n4:memory:/docker/abc\n1:name=systemd:/docker/abc\n0::/\n"},
          {"/proc/self/mountinfo", kV1Mounts},
          {"/sys/fs/cgroup/memory/docker/abc/memory.limit_in_bytes", "1073741824\n"},
          {"/sys/fs/cgroup/memory/docker/abc/memory.usage_in_bytes", "600000000\n"},
          {"/sys/fs/cgroup/memory/docker/abc/memory.stat", "cache 10\ntotal_inactive_file 100000000\ntotal_active_file 50000000\n"},
          {"/sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n"}},
         1073741824u, 450000000u, kAny},
        // No cgroup files: no limit, never a made-up one.
        {"nothing to read", {}, 0u, kAny, UINT64_MAX},
    };
    for (const CgroupCase& c : cases) {
        SCOPED_TRACE(c.what);
        ScratchDir root;
        for (const auto& [path, text] : c.files) Put(root, path, text);
        const CgroupMemory memory = ReadCgroupMemory(root.path().string());
        EXPECT_EQ(memory.limit, c.limit);
        if (c.usage != kAny) EXPECT_EQ(memory.usage, c.usage);
        if (c.available != kAny) EXPECT_EQ(CgroupAvailable(memory), c.available);
    }
}
