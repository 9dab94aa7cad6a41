#pragma once
// The details record of the movie a player has open, as the window shows it
// and the sheet's details block prints it.
#include <cstdint>
#include <string>

#include "capture/movie_details.h"

class CMoviePlayer;

// File name and size of `path` (size 0 when it cannot be read), with the
// picture size and duration a grabbing source read.
MovieDetails DetailsOfMovieFile(const std::string& path, int32_t width, int32_t height, double duration);

// File name and size of `path` (size 0 when it cannot be read), and the
// player's picture size and duration.
MovieDetails DetailsOfOpenedMovie(const CMoviePlayer& player, const std::string& path);
