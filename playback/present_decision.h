#pragma once
// What the presenter does with the picture at the head of the queue: wait for
// its time, skip it to catch up, or show it. Kept free of threads and clocks
// so the rule can be checked on its own.

enum class PresentStep { Wait, Drop, Show };

struct PresentFacts {
    double delay = 0.0;           // picture time minus the clock, seconds
    bool firstAfterSeek = false;  // the first picture since a seek or the start
    bool laterWaiting = false;    // another picture of the same seek queued behind it
    double sinceShown = 0.0;      // seconds since a picture was last shown
    double lateLimit = 0.1;       // how late a picture may be and still be shown
};

// The first picture after a seek is shown at once. A picture more than 2 ms
// early waits. A picture later than the limit is skipped, but only for a later
// picture already waiting (the movie's last picture is always shown) and never
// for a quarter second in a row (a machine too slow for the movie still sees
// it move).
PresentStep DecidePresent(const PresentFacts& facts);
