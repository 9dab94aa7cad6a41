#include "cli/shard.h"

#include "base/typed_number.h"

bool ParseShard(const std::string& text, Shard& shard) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    Shard parsed;
    // At most a million shards: more runs than any list needs.
    constexpr int kMaxShards = 1000000;
    if (!ParseWholeNumber(text.substr(0, slash), 1, kMaxShards, parsed.index) ||
        !ParseWholeNumber(text.substr(slash + 1), 1, kMaxShards, parsed.count))
        return false;
    if (parsed.index > parsed.count) return false;
    shard = parsed;
    return true;
}

uint64_t PathHash(const std::string& path) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : path) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    return hash;
}

bool InShard(const std::string& path, const Shard& shard) {
    if (shard.count <= 1) return true;
    return int(PathHash(path) % uint64_t(shard.count)) + 1 == shard.index;
}
