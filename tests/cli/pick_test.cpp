// reelcap-sheet --pick and --shot-list run as a program on the spliced
// shots clip and on the clip with black stretches.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <sstream>

#include "grabbing/grab_sequence.h"
#include "image/dib_image.h"
#include "support/sheet_program.h"
#include "support/test_paths.h"

namespace fs = std::filesystem;

namespace {

std::string Clip(const std::string& name) { return (TestDataDir() / name).string(); }

std::vector<std::string> FrameFiles(const fs::path& folder) {
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename().string());
    return {names.begin(), names.end()};
}

std::vector<std::vector<double>> CsvRows(const std::string& text, std::string& header) {
    std::istringstream lines(text);
    std::getline(lines, header);
    std::vector<std::vector<double>> rows;
    for (std::string line; std::getline(lines, line);) {
        std::vector<double> row;
        std::istringstream cells(line);
        for (std::string cell; std::getline(cells, cell, ',');) row.push_back(std::stod(cell));
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

TEST(PickTest, ExactIsTheDefaultAndBadChoicesAreUsageErrors) {
    ScratchDir dir;
    const std::string movie = Clip("shots.mp4");
    ASSERT_EQ(RunSheetProgram({"-n", "5", "-o", dir / "plain.jpg", movie}).code, 0);
    ASSERT_EQ(RunSheetProgram({"-n", "5", "--pick", "exact", "-o", dir / "exact.jpg", movie}).code, 0);
    EXPECT_EQ(FileBytes(dir / "plain.jpg"), FileBytes(dir / "exact.jpg"));
    const std::vector<std::vector<std::string>> refused = {
        {"--pick", "sharpest", movie},
        {"--vtt", "--pick", "shots", movie},
        {"--vtt", "--keyframes", "--pick", "best", movie},
        {"--shot-list", dir / "two.csv", movie, Clip("noaudio.mp4")},
        {"--shot-list", "-", "--report", "-", movie},
    };
    for (const auto& args : refused) {
        const SheetRun run = RunSheetProgram(args);
        EXPECT_EQ(run.code, 2) << args[1] << " " << run.err;
        EXPECT_NE(run.err.find("--help"), std::string::npos);
    }
    EXPECT_FALSE(fs::exists(dir / "two.csv"));
}

// Black from 4.60 to 5.16 s and from 6.92 to 8.00 s; three frames 2.4 s apart
// at 2.4, 4.8 and 7.2 s: exact times give two black frames (--skip-blank one,
// its look-ahead is shorter), best none, as there is picture within 0.8 s of
// each; one per shot none either.
TEST(PickTest, BestNeverGivesABlankFrameWherePictureLiesWithinAThirdOfTheStep) {
    ScratchDir dir;
    const std::string movie = Clip("blank_gaps.mp4");
    const SheetRun run =
        RunSheetProgram({"-n", "3", "--pick", "best", "-o", dir / "best.jpg", "--frames-dir", dir / "f", movie});
    ASSERT_EQ(run.code, 0) << run.err;
    const std::vector<std::string> files = FrameFiles(dir.path() / "f" / "blank_gaps.mp4");
    ASSERT_EQ(files.size(), 3u);
    for (const std::string& file : files) {
        CDibImage picture;
        ASSERT_TRUE(picture.LoadJpeg((dir.path() / "f" / "blank_gaps.mp4" / file).string()));
        EXPECT_FALSE(IsNearlyUniform(picture)) << file;
    }
    // The black stretches are shots of their own (cut into and out of), but
    // no shot worth a frame.
    ASSERT_EQ(RunSheetProgram({"-n", "5", "--pick", "shots", "-o", dir / "shots.jpg", "--frames-dir", dir / "s", movie})
                  .code,
              0);
    for (const std::string& file : FrameFiles(dir.path() / "s" / "blank_gaps.mp4")) {
        CDibImage picture;
        ASSERT_TRUE(picture.LoadJpeg((dir.path() / "s" / "blank_gaps.mp4" / file).string()));
        EXPECT_FALSE(IsNearlyUniform(picture)) << file;
    }
}

// One frame per shot, and the shot list: every cut at its frame, each fade or
// dissolve once, the columns agreeing with each other; the report counts them.
TEST(PickTest, ShotsGiveOneFramePerShotAndTheListOfShots) {
    ScratchDir dir;
    const std::string movie = Clip("shots.mp4");
    const SheetRun run = RunSheetProgram({"-n", "6", "--pick", "shots", "--shot-list", "-", "--report",
                                          dir / "report.jsonl", "-o", dir / "shots.jpg", "--frames-dir", dir / "f",
                                          movie});
    ASSERT_EQ(run.code, 0) << run.err;
    std::string header;
    const auto rows = CsvRows(run.out, header);
    EXPECT_EQ(header, "shot,start_frame,start_time,end_frame,end_time,length");
    ASSERT_EQ(rows.size(), 6u) << run.out;
    const double cuts[][2] = {{0, 0}, {50, 50}, {100, 125}, {176, 176}, {225, 250}, {300, 300}};
    for (size_t k = 0; k < rows.size(); ++k) {
        const auto& r = rows[k];
        ASSERT_EQ(r.size(), 6u);
        EXPECT_EQ(r[0], double(k + 1));
        EXPECT_GE(r[1], cuts[k][0]);
        EXPECT_LE(r[1], cuts[k][1]);
        EXPECT_NEAR(r[2], r[1] / 25.0, 0.0005);
        EXPECT_NEAR(r[5], r[4] - r[2], 0.0011);
        if (k + 1 < rows.size()) {
            EXPECT_EQ(r[3], rows[k + 1][1] - 1);
            EXPECT_EQ(r[4], rows[k + 1][2]);
        }
    }
    EXPECT_EQ(rows.back()[3], 349);
    // Six shots, six frames, each labelled inside its own shot.
    const std::vector<std::string> files = FrameFiles(dir.path() / "f" / "shots.mp4");
    EXPECT_EQ(files.size(), 6u);
    const std::string report = FileBytes(dir / "report.jsonl");
    EXPECT_NE(report.find("\"shots\":6"), std::string::npos) << report;
    EXPECT_NE(report.find("\"frames\":6"), std::string::npos) << report;
    // Without --pick shots the list is still written, and the sheet is the exact one.
    ASSERT_EQ(RunSheetProgram({"-n", "6", "--shot-list", dir / "list.csv", "-o", dir / "exact.jpg", movie}).code, 0);
    EXPECT_EQ(FileBytes(dir / "list.csv"), run.out);
}
