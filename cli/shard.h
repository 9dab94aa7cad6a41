#pragma once
// --shard K/N: this run's part of a list shared by N runs (machines, job
// array tasks). A movie's part comes from a hash of its path as listed, not
// from its place in the list, so every run splits any ordering of the same
// list the same way, and the N parts together hold every movie once.
#include <cstdint>
#include <string>

struct Shard {
    int index = 1;  // K, 1 ... count
    int count = 1;  // N; 1 keeps everything
};

// "K/N" with 1 <= K <= N; false for anything else ("0/3", "4/3", "a/b", "3").
bool ParseShard(const std::string& text, Shard& shard);

// FNV-1a, 64 bits: simple, stable across machines and versions.
uint64_t PathHash(const std::string& path);

bool InShard(const std::string& path, const Shard& shard);
