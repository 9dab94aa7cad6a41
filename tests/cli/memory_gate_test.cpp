// Movies run side by side share one memory budget: one that does not fit
// beside the others waits for them, one that does not fit alone goes ahead to
// be refused by its own check.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "cli/memory_gate.h"

using namespace std::chrono_literals;

TEST(MemoryGate, WaitsForRunningMoviesOnlyWhileOthersHoldMemory) {
    std::atomic<uint64_t> available{1000};
    MemoryGate gate([&] { return available.load(); });

    MemoryGate::Hold first = gate.Enter(600, nullptr);
    ASSERT_TRUE(first.Entered());
    EXPECT_EQ(first.Available(), 1000u);

    std::atomic<bool> entered{false};
    uint64_t secondAvailable = 0;
    std::thread second([&] {
        MemoryGate::Hold hold = gate.Enter(600, nullptr);
        secondAvailable = hold.Available();
        entered = true;
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(entered) << "600 more do not fit beside 600 held of 1000";
    first = MemoryGate::Hold();  // the first movie ends
    second.join();
    EXPECT_TRUE(entered);
    EXPECT_EQ(secondAvailable, 1000u);

    // Alone, a movie too big for everything is let through: its own check
    // refuses it with the sizes, it does not wait for ever.
    MemoryGate::Hold big = gate.Enter(5000, nullptr);
    EXPECT_TRUE(big.Entered());
    EXPECT_EQ(big.Available(), 1000u);
}
