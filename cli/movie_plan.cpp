#include "cli/movie_plan.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "decoding/movie_files.h"
#include "cli/shard.h"

namespace fs = std::filesystem;

namespace {

// Movie files of a folder, sorted; false (with `why`) when it cannot be listed.
bool SearchFolder(const fs::path& folder, bool recursive, std::vector<fs::path>& found, std::string& why) {
    std::error_code error;
    const auto options = fs::directory_options::skip_permission_denied;
    auto consider = [&](const fs::directory_entry& entry) {
        std::error_code ignored;
        if (entry.is_regular_file(ignored) && IsMovieFileName(entry.path().filename().string()))
            found.push_back(entry.path());
    };
    if (recursive) {
        fs::recursive_directory_iterator it(folder, options, error);
        for (; !error && it != fs::recursive_directory_iterator(); it.increment(error)) consider(*it);
    } else {
        fs::directory_iterator it(folder, options, error);
        for (; !error && it != fs::directory_iterator(); it.increment(error)) consider(*it);
    }
    if (error) {
        why = "cannot search the folder: " + error.message();
        return false;
    }
    std::sort(found.begin(), found.end());
    return true;
}

// One spelling per file, so that equal outputs and repeated movies are found.
std::string Key(const fs::path& path) {
    std::error_code error;
    fs::path full = fs::weakly_canonical(path, error);
    if (error) full = fs::absolute(path, error).lexically_normal();
    return full.string();
}

}  // namespace

std::vector<std::string> ExpectedOutputs(const MovieJob& job) {
    std::vector<std::string> outputs{job.sheet};
    if (!job.framesFolder.empty()) outputs.push_back(job.framesFolder);
    return outputs;
}

MoviePlan PlanMovies(const CliSettings& settings) {
    MoviePlan plan;
    std::vector<fs::path> movies;
    for (const std::string& input : settings.inputs) {
        std::error_code error;
        if (fs::is_directory(input, error)) {
            std::vector<fs::path> found;
            std::string why;
            // A folder that yields nothing is told by one shard, not by all of them.
            const bool told = InShard(input, settings.shard);
            if (!SearchFolder(input, settings.recursive, found, why)) {
                if (told) plan.failures.emplace_back(input, why);
            } else if (found.empty() && told) {
                plan.failures.emplace_back(input, settings.recursive ? "no movie files in the folder or below it"
                                                                     : "no movie files in the folder (-r searches "
                                                                       "its subfolders)");
            }
            movies.insert(movies.end(), found.begin(), found.end());
        } else {
            movies.emplace_back(input);
        }
    }

    std::set<std::string> seenMovies;
    std::map<std::string, std::string> outputs;  // output key -> movie that writes it
    // Seek-bar thumbnails are named by their WebVTT file; its sprites sit beside it.
    const std::string extension = settings.vtt ? ".vtt" : ".jpg";
    // Repeats and shared outputs are decided over the whole list, before the
    // shard is taken: every shard of one list then agrees which movie makes
    // an output (the first listed) and which one fails for it.
    for (const fs::path& movie : movies) {
        if (!seenMovies.insert(Key(movie)).second) continue;
        MovieJob job;
        job.movie = movie.string();
        const std::string name = movie.filename().string();
        if (!settings.outputFile.empty())
            job.sheet = settings.outputFile;
        else if (!settings.outputDir.empty())
            job.sheet = (fs::path(settings.outputDir) / (name + extension)).string();
        else
            job.sheet = job.movie + extension;
        if (!settings.framesDir.empty()) job.framesFolder = (fs::path(settings.framesDir) / name).string();

        std::error_code error;
        if (!fs::exists(movie, error)) job.failure = "no such file";
        for (const std::string* out : {&job.sheet, &job.framesFolder}) {
            if (out->empty() || !job.failure.empty()) continue;
            auto [it, added] = outputs.emplace(Key(*out), job.movie);
            if (!added) job.failure = "writes to \"" + *out + "\" like " + it->second + ", which comes first";
        }
        if (InShard(job.movie, settings.shard)) plan.jobs.push_back(std::move(job));
    }
    // Counted over the whole list: every shard of it says the same.
    if (!settings.shotList.empty() && seenMovies.size() > 1) {
        plan.usage = "--shot-list takes one movie, but " + std::to_string(seenMovies.size()) + " movies were given";
    }
    if (!settings.outputFile.empty() && seenMovies.size() > 1) {
        plan.usage = "--output names one sheet file, but " + std::to_string(seenMovies.size()) +
                     " movies were given; use --output-dir";
    }
    return plan;
}
