#pragma once
// How much memory this process can still take: what the system reports as
// available, within the process's own limits. Large loads and long grabs ask
// before they start, so they fail with a message instead of ending the program.
#include <cstdint>

// Bytes; 0 when nothing can be learnt.
uint64_t AvailableMemory();
