// The cgroup reader on fake /proc and /sys folders laid out as the kernel
// lays them out: cgroup v2 and v1, in and out of a cgroup namespace.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "image/cgroup_memory.h"
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

TEST(CgroupMemory, V2LimitUsageAndReclaimableCache) {
    ScratchDir root;
    Put(root, "/proc/self/cgroup", "0::/system.slice/job.scope\n");
    Put(root, "/proc/self/mountinfo", kV2Mounts);
    Put(root, "/sys/fs/cgroup/system.slice/job.scope/memory.max", "3221225472\n");
    Put(root, "/sys/fs/cgroup/system.slice/job.scope/memory.current", "1073741824\n");
    Put(root, "/sys/fs/cgroup/system.slice/job.scope/memory.stat", "anon 900\nfile 500\ninactive_file 1024\n");
    const CgroupMemory memory = ReadCgroupMemory(root.path().string());
    EXPECT_EQ(memory.limit, 3221225472u);
    EXPECT_EQ(memory.usage, 1073741824u - 1024u);
    EXPECT_EQ(CgroupAvailable(memory), 3221225472u - memory.usage);
}

// A limit set on a parent slice binds its children; "max" on the group
// itself does not lift it.
TEST(CgroupMemory, V2SmallestLimitOnTheWayUp) {
    ScratchDir root;
    Put(root, "/proc/self/cgroup", "0::/kubepods/pod1/ctr\n");
    Put(root, "/proc/self/mountinfo", kV2Mounts);
    Put(root, "/sys/fs/cgroup/memory.max", "max\n");  // the root has none
    Put(root, "/sys/fs/cgroup/kubepods/memory.max", "max\n");
    Put(root, "/sys/fs/cgroup/kubepods/pod1/memory.max", "2000000\n");
    Put(root, "/sys/fs/cgroup/kubepods/pod1/ctr/memory.max", "max\n");
    Put(root, "/sys/fs/cgroup/kubepods/pod1/ctr/memory.current", "2500000\n");
    const CgroupMemory memory = ReadCgroupMemory(root.path().string());
    EXPECT_EQ(memory.limit, 2000000u);
    EXPECT_EQ(CgroupAvailable(memory), 0u) << "over the limit is nothing left, not a wrapped number";
}

// Inside a container with its own cgroup namespace, /proc/self/cgroup says
// "/" and the mount shows only the container's group.
TEST(CgroupMemory, V2InsideANamespace) {
    ScratchDir root;
    Put(root, "/proc/self/cgroup", "0::/\n");
    Put(root, "/proc/self/mountinfo",
        "500 400 0:26 / /sys/fs/cgroup ro,nosuid - cgroup2 cgroup rw,nsdelegate\n");
    Put(root, "/sys/fs/cgroup/memory.max", "536870912\n");
    Put(root, "/sys/fs/cgroup/memory.current", "100\n");
    EXPECT_EQ(ReadCgroupMemory(root.path().string()).limit, 536870912u);
}

TEST(CgroupMemory, V1MemoryControllerAmongOthers) {
    ScratchDir root;
    Put(root, "/proc/self/cgroup",
        "5:cpu,cpuacct:/docker/abc\n4:memory:/docker/abc\n1:name=systemd:/docker/abc\n0::/\n");
    Put(root, "/proc/self/mountinfo", kV1Mounts);
    Put(root, "/sys/fs/cgroup/memory/docker/abc/memory.limit_in_bytes", "1073741824\n");
    Put(root, "/sys/fs/cgroup/memory/docker/abc/memory.usage_in_bytes", "600000000\n");
    Put(root, "/sys/fs/cgroup/memory/docker/abc/memory.stat", "cache 10\ntotal_inactive_file 100000000\n");
    // The v1 "no limit" (a huge number) on the root is not the smallest.
    Put(root, "/sys/fs/cgroup/memory/memory.limit_in_bytes", "9223372036854771712\n");
    const CgroupMemory memory = ReadCgroupMemory(root.path().string());
    EXPECT_EQ(memory.limit, 1073741824u);
    EXPECT_EQ(memory.usage, 500000000u);
}

// No cgroup files: no limit, never a made-up one.
TEST(CgroupMemory, NothingToReadIsNoLimit) {
    ScratchDir empty;
    EXPECT_EQ(ReadCgroupMemory(empty.path().string()).limit, 0u);
    EXPECT_EQ(CgroupAvailable(ReadCgroupMemory(empty.path().string())), UINT64_MAX);
}
