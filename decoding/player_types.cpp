#include "decoding/player_types.h"

#include <cmath>

double SettledMoviePosition(double position, double duration) {
    // A hair added so that decimal times such as 1.495 are not cut to 1.4949999.
    position = std::trunc(position * 1e7 + 1e-6) / 1e7;
    if (position < 0.0) position = 0.0;
    if (duration > 0.0 && position > duration) position = duration;
    return position;
}
