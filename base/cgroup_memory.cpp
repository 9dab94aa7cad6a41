#include "base/cgroup_memory.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <vector>

namespace {

struct Mount {
    std::string root;   // the part of the hierarchy this mount shows
    std::string point;  // where it is mounted
};

std::string Joined(const std::string& root, const std::string& path) {
    if (root.empty() || root == "/") return path;
    return (root.back() == '/' ? root.substr(0, root.size() - 1) : root) + path;
}

// The first line of a small file; false when it cannot be read.
bool ReadLine(const std::string& file, std::string& line) {
    std::ifstream in(file);
    return in && std::getline(in, line);
}

// A number of bytes; false for "max", an empty or a non-numeric file. cgroup
// v1 writes a huge page-aligned number for "no limit", which is left as it is:
// it is above anything the machine has.
bool ReadBytes(const std::string& file, uint64_t& bytes) {
    std::string line;
    if (!ReadLine(file, line) || line.empty() || line[0] < '0' || line[0] > '9') return false;
    char* end = nullptr;
    bytes = std::strtoull(line.c_str(), &end, 10);
    return end != line.c_str();
}

// A "key value" line of memory.stat; 0 when absent.
uint64_t StatValue(const std::string& file, const std::string& key) {
    std::ifstream in(file);
    std::string name;
    uint64_t value = 0;
    while (in >> name >> value) {
        if (name == key) return value;
    }
    return 0;
}

// mountinfo escapes blanks in paths as octal (\040).
std::string Unescaped(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 3 < text.size() && std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
            out += char(std::strtol(text.substr(i + 1, 3).c_str(), nullptr, 8));
            i += 3;
        } else {
            out += text[i];
        }
    }
    return out;
}

// The memory controller's mount: cgroup2 (v2), or cgroup with the "memory"
// option (v1).
bool FindMount(const std::string& root, bool v2, Mount& mount) {
    std::ifstream in(Joined(root, "/proc/self/mountinfo"));
    std::string line;
    while (std::getline(in, line)) {
        // id parent major:minor root point options [optional...] - type source super-options
        std::istringstream fields(line);
        std::string id, parent, device, mountRoot, point, options, word;
        if (!(fields >> id >> parent >> device >> mountRoot >> point >> options)) continue;
        while (fields >> word && word != "-") {
        }
        std::string type, source, super;
        if (!(fields >> type >> source >> super)) continue;
        const bool match = v2 ? type == "cgroup2"
                              : type == "cgroup" && ("," + super + ",").find(",memory,") != std::string::npos;
        if (!match) continue;
        mount = {Unescaped(mountRoot), Unescaped(point)};
        return true;
    }
    return false;
}

// The group's folder: its path in the hierarchy, seen through the mount.
std::string GroupFolder(const std::string& root, const Mount& mount, std::string group) {
    // Inside a cgroup namespace the mount shows the group's own part of the
    // hierarchy; the path from /proc/self/cgroup then starts with that part.
    if (mount.root != "/" && group.compare(0, mount.root.size(), mount.root) == 0)
        group = group.substr(mount.root.size());
    else if (mount.root != "/")
        group = "/";  // a group outside what the mount shows: only the mount's own top is readable
    std::string folder = Joined(root, mount.point);
    if (group != "/" && !group.empty()) folder += group;
    return folder;
}

// What one level of the hierarchy holds: its limit (0 for none) and its
// usage less the file cache the kernel drops before it kills anything. Both
// file lists count: clean pages of either are given back under pressure, and
// a group that has read a few large movies holds mostly cache.
CgroupMemory ReadLevel(const std::string& folder, bool v2) {
    CgroupMemory level;
    if (!ReadBytes(folder + (v2 ? "/memory.max" : "/memory.limit_in_bytes"), level.limit)) level.limit = 0;
    if (level.limit == 0) return level;
    uint64_t usage = 0;
    ReadBytes(folder + (v2 ? "/memory.current" : "/memory.usage_in_bytes"), usage);
    const std::string stat = folder + "/memory.stat";
    const uint64_t cache = v2 ? StatValue(stat, "inactive_file") + StatValue(stat, "active_file")
                              : StatValue(stat, "total_inactive_file") + StatValue(stat, "total_active_file");
    level.usage = usage > cache ? usage - cache : 0;
    return level;
}

// The level from `folder` up to `top`, the mount point, with the least room
// left: a limit on a parent binds its children, and what the children beside
// this one hold (a pod's other containers) counts against it.
CgroupMemory ReadGroup(std::string folder, const std::string& top, bool v2) {
    CgroupMemory tightest;
    for (;;) {
        const CgroupMemory level = ReadLevel(folder, v2);
        if (level.limit > 0 && (tightest.limit == 0 || CgroupAvailable(level) < CgroupAvailable(tightest)))
            tightest = level;
        if (folder.size() <= top.size()) break;
        const size_t slash = folder.find_last_of('/');
        if (slash == std::string::npos || slash < top.size()) break;
        folder.resize(slash);
    }
    return tightest;
}

}  // namespace

CgroupMemory ReadCgroupMemory(const std::string& root) {
    // Lines are "id:controllers:path": "0::/path" for v2, "N:memory:/path"
    // (among others) for v1. A v1 memory line wins: on a hybrid system the
    // v2 hierarchy holds no memory controller.
    std::ifstream in(Joined(root, "/proc/self/cgroup"));
    std::string line;
    std::string v1Path;
    std::string v2Path;
    bool haveV1 = false;
    bool haveV2 = false;
    while (std::getline(in, line)) {
        const size_t first = line.find(':');
        const size_t second = first == std::string::npos ? first : line.find(':', first + 1);
        if (second == std::string::npos) continue;
        const std::string controllers = line.substr(first + 1, second - first - 1);
        const std::string path = line.substr(second + 1);
        if (controllers.empty() && line.compare(0, first, "0") == 0) {
            v2Path = path;
            haveV2 = true;
        } else if (("," + controllers + ",").find(",memory,") != std::string::npos) {
            v1Path = path;
            haveV1 = true;
        }
    }
    Mount mount;
    if (haveV1 && FindMount(root, false, mount)) {
        return ReadGroup(GroupFolder(root, mount, v1Path), Joined(root, mount.point), false);
    }
    if (haveV2 && FindMount(root, true, mount)) {
        return ReadGroup(GroupFolder(root, mount, v2Path), Joined(root, mount.point), true);
    }
    return {};
}

uint64_t CgroupAvailable(const CgroupMemory& memory) {
    if (memory.limit == 0) return UINT64_MAX;
    return memory.limit > memory.usage ? memory.limit - memory.usage : 0;
}
