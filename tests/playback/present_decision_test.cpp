#include <gtest/gtest.h>

#include "playback/present_decision.h"

namespace {

PresentFacts Late(double delay, bool laterWaiting, double sinceShown) {
    PresentFacts facts;
    facts.delay = delay;
    facts.laterWaiting = laterWaiting;
    facts.sinceShown = sinceShown;
    facts.lateLimit = 0.1;
    return facts;
}

TEST(PresentDecision, WaitsShowsAndDropsByLatenessAndWhatFollows) {
    EXPECT_EQ(DecidePresent(Late(0.010, true, 0.0)), PresentStep::Wait);
    EXPECT_EQ(DecidePresent(Late(0.001, true, 0.0)), PresentStep::Show);   // within 2 ms
    EXPECT_EQ(DecidePresent(Late(-0.05, true, 0.0)), PresentStep::Show);   // late, within the limit
    EXPECT_EQ(DecidePresent(Late(-0.20, true, 0.1)), PresentStep::Drop);
    // The last picture of the movie is shown however late it is.
    EXPECT_EQ(DecidePresent(Late(-0.20, false, 0.1)), PresentStep::Show);
    // A quarter second without a new picture: the next one is shown, late or not.
    EXPECT_EQ(DecidePresent(Late(-0.20, true, 0.30)), PresentStep::Show);
    // The first picture after a seek neither waits nor is dropped.
    PresentFacts first = Late(5.0, true, 10.0);
    first.firstAfterSeek = true;
    EXPECT_EQ(DecidePresent(first), PresentStep::Show);
    first.delay = -5.0;
    EXPECT_EQ(DecidePresent(first), PresentStep::Show);
}

}  // namespace
