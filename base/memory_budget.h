#pragma once
// How much memory this process can still take: what the system reports as
// available, within the process's own limits and its control group's limit.
// Large loads and long grabs ask before they start, so they fail with a
// message instead of ending the program.
#include <cstdint>

// Bytes; 0 when nothing can be learnt, at least 1 when a limit is known and
// already reached.
uint64_t AvailableMemory();
