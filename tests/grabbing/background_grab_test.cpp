// Grab All's run on threads of its own: every frame arrives in order on the
// asking thread, and a stop ends it in time even inside a stalled read,
// without waking the asker afterwards.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>

#include "grabbing/background_grab.h"
#include "sheet/movie_details.h"
#include "support/stand_in_reader.h"
#include "support/test_paths.h"

using namespace std::chrono_literals;

namespace {

std::string Clip(const std::string& name) { return (TestDataDir() / name).string(); }

double Seconds(const std::function<void()>& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace

TEST_F(StandInReaders, BackgroundGrabDeliversInOrderAndStopsInTimeInAStalledRead) {
    const std::vector<double> positions = EvenStepPositions(0.0, 100.0, 30);
    std::atomic<int> wakes{0};
    {
        BackgroundGrab grab(Clip("long100.mp4"), positions, [&] { ++wakes; });
        std::vector<std::string> labels;
        ASSERT_TRUE(WaitUntil([&] {
            for (GrabbedFrame& frame : grab.Take()) labels.push_back(frame.image ? frame.label : "none");
            return grab.Finished();
        }, 20s));
        for (GrabbedFrame& frame : grab.Take()) labels.push_back(frame.image ? frame.label : "none");
        EXPECT_TRUE(grab.Result());
        ASSERT_EQ(labels.size(), positions.size());
        for (size_t k = 0; k < labels.size(); ++k) EXPECT_EQ(labels[k], FormatTimeLabel(positions[k])) << k;
        EXPECT_GE(wakes.load(), 1);
    }
    EXPECT_EQ(OpenReaders(), 0);

    for (bool deaf : {false, true}) {
        SCOPED_TRACE(deaf ? "read ignores interrupts" : "read honours interrupts");
        g.deaf = deaf;
        g.stallFrom = g.opened.load();
        g.stall = true;
        std::optional<BackgroundGrab> grab;
        grab.emplace(Clip("long100.mp4"), positions, [&] { ++wakes; });
        ASSERT_TRUE(StalledWithin(10s));
        EXPECT_LT(Seconds([&] { grab->Stop(); grab.reset(); }), 0.5);
        const int wakesAfterStop = wakes.load();
        if (!deaf) EXPECT_TRUE(WaitUntil([] { return OpenReaders() == 0; }, 5s));
        g.stall = false;  // a deaf read returns at last; its thread ends on its own
        EXPECT_TRUE(WaitUntil([] { return OpenReaders() == 0; }, 10s));
        EXPECT_EQ(wakes.load(), wakesAfterStop) << "woke its asker after it was gone";
    }
}
