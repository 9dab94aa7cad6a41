// Open Folder with 300 full-HD JPEG files: the main window's whole load (decode
// on all cores, thumbnails, strip) against djpeg decoding the same files one
// after another. Target: the load takes at most 0.6 x the djpeg run.
#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdlib>
#include <string>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include "strip/folder_pictures.h"
#include "app/main_frame.h"
#include "bench_folder.h"
#include "strip/view/thumb_strip.h"
#include "widgets/prompts.h"

namespace {

constexpr int kPictures = 300;

const BenchFolder& Pictures() {
    static BenchFolder folder("reelcap-folder-bench");
    static bool made = [] {
        const std::string command =
            "ffmpeg -hide_banner -loglevel error -y -f lavfi -i testsrc2=size=1920x1080:rate=25 -frames:v " +
            std::to_string(kPictures) + " -q:v 3 '" + folder.File("pic%03d.jpg") + "'";
        return std::system(command.c_str()) == 0;
    }();
    (void)made;
    return folder;
}

// Messages would stop the run; none is expected.
class SilentPrompts : public Prompts {
public:
    int Message(QWidget*, const std::string&, const std::string&, Buttons, Icon) override { return kOk; }
};

void BM_LoadFolder(benchmark::State& state) {
    const std::string folder = Pictures().Path().string();
    SilentPrompts prompts;
    Prompts::Install(&prompts);
    for (auto _ : state) {
        state.PauseTiming();
        auto frame = std::make_unique<CMainFrame>();
        frame->show();
        QCoreApplication::processEvents();
        state.ResumeTiming();
        frame->LoadFolder(folder);
        QCoreApplication::processEvents();
        state.PauseTiming();
        if (frame->Strip().FrameCount() != kPictures) state.SkipWithError("not every picture loaded");
        frame.reset();
        state.ResumeTiming();
    }
    Prompts::Install(nullptr);
}

// The decoding part alone (all cores, with thumbnails), for finding where
// the time of the whole load goes.
void BM_DecodeOnly(benchmark::State& state) {
    const std::string folder = Pictures().Path().string();
    const FolderListing listing = ListJpegFiles(folder);
    for (auto _ : state) {
        PictureLoadOptions options;
        options.thumbWidth = int(state.range(0));
        options.thumbHeight = int(state.range(0)) * 3 / 4;
        auto pictures = LoadPictures(folder, listing.names, options);
        benchmark::DoNotOptimize(pictures.data());
    }
}

void BM_DjpegOneAfterAnother(benchmark::State& state) {
    const BenchFolder& folder = Pictures();
    for (auto _ : state) {
        for (int i = 1; i <= kPictures; ++i) {
            char name[32];
            std::snprintf(name, sizeof name, "pic%03d.jpg", i);
            const std::string path = folder.File(name);
            // posix_spawn does not copy this (large) process as fork would.
            char* argv[] = {const_cast<char*>("djpeg"), const_cast<char*>("-outfile"),
                            const_cast<char*>("/dev/null"), const_cast<char*>(path.c_str()), nullptr};
            pid_t child = -1;
            if (posix_spawnp(&child, "djpeg", nullptr, nullptr, argv, environ) != 0) {
                state.SkipWithError("djpeg cannot be started");
                return;
            }
            int status = 0;
            waitpid(child, &status, 0);
            if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) state.SkipWithError("djpeg failed");
        }
    }
}

}  // namespace

BENCHMARK(BM_LoadFolder)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
BENCHMARK(BM_DecodeOnly)->Arg(0)->Arg(118)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_DjpegOneAfterAnother)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);
