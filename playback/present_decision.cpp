#include "playback/present_decision.h"

namespace {
constexpr double kEarlyTolerance = 0.002;
constexpr double kLongestFreeze = 0.25;
}  // namespace

PresentStep DecidePresent(const PresentFacts& facts) {
    if (facts.firstAfterSeek) return PresentStep::Show;
    if (facts.delay > kEarlyTolerance) return PresentStep::Wait;
    if (facts.delay < -facts.lateLimit && facts.laterWaiting && facts.sinceShown < kLongestFreeze)
        return PresentStep::Drop;
    return PresentStep::Show;
}
