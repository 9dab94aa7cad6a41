#include "capture/player_details.h"

#include <cstdint>
#include <filesystem>
#include <system_error>

#include "video/movie_player.h"

MovieDetails DetailsOfMovieFile(const std::string& path, int32_t width, int32_t height, double duration) {
    std::error_code ec;
    const uintmax_t size = std::filesystem::file_size(std::filesystem::u8path(path), ec);
    return MakeMovieDetails(path, ec ? 0 : uint64_t(size), width, height, duration);
}

MovieDetails DetailsOfOpenedMovie(const CMoviePlayer& player, const std::string& path) {
    int32_t width = 0;
    int32_t height = 0;
    player.GetNativeVideoSize(&width, &height);
    return DetailsOfMovieFile(path, width, height, player.GetDuration());
}
