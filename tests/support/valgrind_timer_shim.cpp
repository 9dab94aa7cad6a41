// Preloaded into programs run under valgrind only. libhwy, which the decoder
// library pulls in, measures its timer with RDTSCP when it loads, an
// instruction valgrind 3.19 cannot run; this answer stands in for it (the
// timer is only used for benchmarks inside that library).
#include <cstdint>

namespace hwy::platform {
uint64_t TimerResolution() { return 10; }
}  // namespace hwy::platform
