#include "cli/shard.h"

#include <cctype>

namespace {

// Digits only, within 1 ... 1000000.
bool ParseCount(const std::string& text, int& out) {
    if (text.empty() || text.size() > 7) return false;
    int value = 0;
    for (char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
        value = value * 10 + (c - '0');
    }
    if (value < 1 || value > 1000000) return false;
    out = value;
    return true;
}

}  // namespace

bool ParseShard(const std::string& text, Shard& shard) {
    const size_t slash = text.find('/');
    if (slash == std::string::npos) return false;
    Shard parsed;
    if (!ParseCount(text.substr(0, slash), parsed.index) || !ParseCount(text.substr(slash + 1), parsed.count))
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
