// reelcap-sheet over lists, as a library-sized run uses it: lists from a
// file or standard input, shards, resuming, the JSON Lines report, signals
// in the middle of a list, and GNU parallel spreading one list over two jobs.
#include <gtest/gtest.h>
#include <signal.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

#include "support/sheet_program.h"
#include "support/test_paths.h"

namespace fs = std::filesystem;

namespace {

using Ran = SheetRun;

Ran Sheet(const std::vector<std::string>& args, const std::string& input = {}) { return RunSheetProgram(args, input); }

std::string Clip(const std::string& name) { return (TestDataDir() / name).string(); }

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every line of a report as a JSON object; a line that is not one fails the test.
std::vector<QJsonObject> ReportLines(const std::string& text) {
    std::vector<QJsonObject> objects;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << line;
        EXPECT_TRUE(doc.isObject()) << line;
        objects.push_back(doc.object());
    }
    EXPECT_TRUE(text.empty() || text.back() == '\n') << "a torn last line: " << text;
    return objects;
}

std::map<std::string, std::string> StatusByInput(const std::vector<QJsonObject>& lines) {
    std::map<std::string, std::string> status;
    for (const QJsonObject& line : lines)
        status[line["input"].toString().toStdString()] = line["status"].toString().toStdString();
    return status;
}

}  // namespace

// Paths that do not exist fail in their own shard only, which is enough to
// see how a list is split without making any sheet.
TEST(ListRun, ShardsSplitAnyOrderOfAListIntoDisjointParts) {
    ScratchDir dir;
    std::vector<std::string> names;
    std::string list;
    std::string reversed;
    for (int i = 0; i < 40; ++i) names.push_back((dir.path() / ("movie" + std::to_string(i) + ".mp4")).string());
    for (const std::string& name : names) list += name + "\n";
    for (auto it = names.rbegin(); it != names.rend(); ++it) reversed += *it + "\n";
    WriteFile(dir / "list", list);
    WriteFile(dir / "reversed", reversed);

    std::multiset<std::string> all;
    for (int k = 1; k <= 3; ++k) {
        const std::string shard = std::to_string(k) + "/3";
        const Ran run = Sheet({"--shard", shard, "--files-from", dir / "list", "--report", "-"});
        const auto status = StatusByInput(ReportLines(run.out));
        EXPECT_LT(status.size(), names.size()) << shard;
        for (const auto& [input, state] : status) all.insert(input);
        const Ran again = Sheet({"--shard", shard, "--files-from", dir / "reversed", "--report", "-"});
        EXPECT_EQ(StatusByInput(ReportLines(again.out)), status) << shard << " splits a reordered list otherwise";
    }
    EXPECT_EQ(all, std::multiset<std::string>(names.begin(), names.end()));

    // Two movies of one name writing into one -O folder, wherever the shards
    // put them: the one listed first makes the sheet, the other fails, once.
    // A folder without movies is told by one shard, not by every one.
    fs::create_directories(dir / "x");
    fs::create_directories(dir / "y");
    fs::create_directories(dir / "empty");
    fs::copy_file(Clip("noaudio.mp4"), dir / "x/same.mp4");
    fs::copy_file(Clip("noaudio.mp4"), dir / "y/same.mp4");
    WriteFile(dir / "twins", dir / "x/same.mp4" + "\n" + dir / "y/same.mp4" + "\n" + dir / "empty" + "\n");
    std::multiset<std::string> outcomes;
    for (int k = 1; k <= 3; ++k) {
        const Ran run = Sheet({"-n", "1", "-O", dir / "out", "--shard", std::to_string(k) + "/3", "--files-from",
                               dir / "twins", "--report", "-"});
        for (const auto& [input, state] : StatusByInput(ReportLines(run.out))) outcomes.insert(input + " " + state);
    }
    EXPECT_EQ(outcomes, (std::multiset<std::string>{dir / "x/same.mp4" + " ok", dir / "y/same.mp4" + " failed",
                                                     dir / "empty" + " failed"}));

    // -o for two movies is bad usage in every shard, as without shards.
    for (const char* shard : {"1/2", "2/2"})
        EXPECT_EQ(Sheet({"--shard", shard, "-o", dir / "one.jpg", dir / "x/same.mp4", dir / "y/same.mp4"}).code, 2);

    for (const char* bad : {"0/3", "4/3", "a/b", "3", "1/0", "-1/3", "1/3x"}) {
        const Ran run = Sheet({"--shard", bad, "--files-from", dir / "list"});
        EXPECT_EQ(run.code, 2) << bad;
        EXPECT_NE(run.err.find("--shard"), std::string::npos) << run.err;
    }
}

// Lists from standard input, newline and NUL separated; blank entries are
// nothing, a missing movie is that movie's failure only.
TEST(ListRun, ListsFromStandardInputWithNewlinesOrNuls) {
    ScratchDir dir;
    const std::string movie = dir / "a.mp4";
    fs::copy_file(Clip("noaudio.mp4"), movie);
    // A name with a newline in it can only come through a NUL-separated list.
    const std::string odd = dir / "line\nbreak.mp4";
    fs::copy_file(Clip("noaudio.mp4"), odd);
    const std::string missing = dir / "missing.mp4";

    Ran run = Sheet({"-n", "2", "--files-from", "-", "--report", "-"}, "\n" + movie + "\n  \n" + missing + "\r\n");
    EXPECT_EQ(run.code, 1) << run.err;
    auto status = StatusByInput(ReportLines(run.out));
    EXPECT_EQ(status.size(), 2u);
    EXPECT_EQ(status[movie], "ok");
    EXPECT_EQ(status[missing], "failed");
    EXPECT_TRUE(fs::exists(movie + ".jpg"));
    EXPECT_NE(run.err.find(missing + ": no such file"), std::string::npos) << run.err;

    run = Sheet({"-y", "-n", "2", "-0", "--files-from", "-", "--report", "-"}, odd + std::string(1, '\0') + '\0' + movie);
    EXPECT_EQ(run.code, 0) << run.err;
    status = StatusByInput(ReportLines(run.out));
    EXPECT_EQ(status[odd], "ok");
    EXPECT_EQ(status[movie], "ok");
    EXPECT_TRUE(fs::exists(odd + ".jpg"));

    EXPECT_EQ(Sheet({"--null", movie}).code, 2) << "--null without a list";
    EXPECT_EQ(Sheet({"--files-from", dir / "no-list"}).code, 2);
    // An empty list is an empty run, not bad usage.
    EXPECT_EQ(Sheet({"--files-from", "-"}, "").code, 0);
}

// Every status gives a line of valid JSON with its keys; a name that is not
// UTF-8 too, with its bytes recoverable.
TEST(ListRun, ReportHoldsOneValidObjectPerMovie) {
    ScratchDir dir;
    const std::string good = dir / "good.mp4";
    fs::copy_file(Clip("noaudio.mp4"), good);
    const std::string odd = dir.path().string() + "/caf\xe9 \"q\"\t.mp4";  // Latin-1 é, a quote, a tab
    fs::copy_file(Clip("noaudio.mp4"), odd);
    const std::string noVideo = dir / "sound.m4a";
    fs::copy_file(Clip("audioonly.m4a"), noVideo);
    // The list and the report are named by bytes that are not UTF-8 either.
    const std::string list = dir.path().string() + "/list\xff";
    const std::string report = dir.path().string() + "/r\xfe.jsonl";
    WriteFile(list, good + "\n" + odd + "\n" + noVideo + "\n");

    Ran run = Sheet({"-n", "3", "--frames-dir", dir / "f", "--files-from", list, "--report=" + report});
    EXPECT_EQ(run.code, 1) << run.err;
    const std::string text = FileBytes(report);
    EXPECT_NE(text.find("caf\\udce9 \\\"q\\\"\\u0009.mp4"), std::string::npos) << text;
    std::map<std::string, QJsonObject> byInput;
    for (const QJsonObject& line : ReportLines(text)) byInput[line["input"].toString().toStdString()] = line;
    ASSERT_EQ(byInput.size(), 3u) << text;
    ASSERT_TRUE(byInput.count(good) && byInput.count(noVideo)) << text;
    const QJsonObject ok = byInput[good];
    EXPECT_EQ(ok["status"].toString(), "ok");
    EXPECT_EQ(ok["frames"].toInt(), 3);
    EXPECT_NEAR(ok["duration"].toDouble(), 2.0, 0.1);
    EXPECT_GT(ok["seconds"].toDouble(), 0.0);
    // The sheet and the frames at 0.5, 1 and 1.5 s, two of which share a
    // name: each file is listed once.
    std::set<std::string> outputs;
    for (const QJsonValue& path : ok["outputs"].toArray()) {
        EXPECT_TRUE(fs::exists(path.toString().toStdString())) << text;
        outputs.insert(path.toString().toStdString());
    }
    EXPECT_EQ(ok["outputs"].toArray().size(), 3) << text;
    EXPECT_EQ(outputs.size(), 3u) << text;
    EXPECT_FALSE(ok.contains("error"));
    const QJsonObject failed = byInput[noVideo];
    EXPECT_EQ(failed["status"].toString(), "failed");
    // The error is the stderr line.
    const std::string error = failed["error"].toString().toStdString();
    EXPECT_NE(run.err.find(error + "\n"), std::string::npos) << error << " / " << run.err;
    EXPECT_TRUE(failed["outputs"].toArray().isEmpty());

    run = Sheet({"--skip-existing", "-n", "3", "--files-from", list, "--report", "-"});
    const auto status = StatusByInput(ReportLines(run.out));
    EXPECT_EQ(status.at(good), "skipped");
    EXPECT_EQ(status.at(noVideo), "failed");
}

// A finished movie is skipped from the files' times alone: a movie spoilt
// after its sheet was written is not opened. A movie newer than its sheet is
// not skipped.
TEST(ListRun, SkipExistingNeverOpensAFinishedMovie) {
    ScratchDir dir;
    const std::string a = dir / "a.mp4";
    const std::string b = dir / "b.mp4";
    fs::copy_file(Clip("noaudio.mp4"), a);
    fs::copy_file(Clip("noaudio.mp4"), b);
    Ran run = Sheet({"-n", "2", "-O", dir / "out", "--skip-existing", a, b});
    ASSERT_EQ(run.code, 0) << run.err;
    const std::string sheetA = dir / "out/a.mp4.jpg";
    const auto sheetTime = fs::last_write_time(sheetA);

    const auto movieTime = fs::last_write_time(a);
    WriteFile(a, "not a movie any more");
    fs::last_write_time(a, movieTime);
    run = Sheet({"-n", "2", "-O", dir / "out", "--skip-existing", "--report", "-", a, b});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_TRUE(run.err.empty()) << run.err;
    auto status = StatusByInput(ReportLines(run.out));
    EXPECT_EQ(status[a], "skipped");
    EXPECT_EQ(status[b], "skipped");
    EXPECT_EQ(fs::last_write_time(sheetA), sheetTime);

    // Newer than its sheet: made again, and here it fails as the spoilt file it
    // is, not because its old sheet is in the way; the old sheet stays.
    fs::last_write_time(a, sheetTime + std::chrono::seconds(5));
    run = Sheet({"-n", "2", "-O", dir / "out", "--skip-existing", "--report", "-", a, b});
    EXPECT_EQ(run.code, 1);
    status = StatusByInput(ReportLines(run.out));
    EXPECT_EQ(status[a], "failed");
    EXPECT_EQ(status[b], "skipped");
    EXPECT_EQ(run.err.find("exists"), std::string::npos) << run.err;
    EXPECT_EQ(fs::last_write_time(sheetA), sheetTime);
    // A movie replaced by a newer one: its sheet is made again over the old one.
    fs::copy_file(Clip("noaudio.mp4"), a, fs::copy_options::overwrite_existing);
    fs::last_write_time(a, sheetTime + std::chrono::seconds(5));
    run = Sheet({"-n", "2", "-O", dir / "out", "--skip-existing", "--report", "-", a, b});
    EXPECT_EQ(run.code, 0) << run.err;
    EXPECT_EQ(StatusByInput(ReportLines(run.out))[a], "ok");
    EXPECT_GT(fs::last_write_time(sheetA), sheetTime);

    // A movie of the same name from another folder writes to a's sheet: it
    // fails as taken, also when that sheet is up to date for a.
    fs::create_directories(dir / "other");
    const std::string twin = dir / "other/a.mp4";
    fs::copy_file(Clip("noaudio.mp4"), twin);
    fs::last_write_time(twin, sheetTime - std::chrono::seconds(5));
    run = Sheet({"-n", "2", "-O", dir / "out", "--skip-existing", "--report", "-", a, twin});
    EXPECT_EQ(run.code, 1);
    EXPECT_EQ(StatusByInput(ReportLines(run.out))[twin], "failed");

    EXPECT_EQ(Sheet({"-y", "--skip-existing", b}).code, 2);
}

// A seek-bar thumbnail job counts as done only with its WebVTT file and every
// sprite that file points to.
TEST(ListRun, SkipExistingChecksEverySpriteOfAWebVttFile) {
    ScratchDir dir;
    const std::string movie = dir / "m.mp4";
    fs::copy_file(Clip("noaudio.mp4"), movie);
    const std::vector<std::string> flags = {"--vtt", "--interval", "0.5", "--grid", "2x1", "-O", dir / "out",
                                            "--skip-existing", "--report", "-", movie};
    Ran run = Sheet(flags);
    ASSERT_EQ(run.code, 0) << run.err;
    std::vector<QJsonObject> lines = ReportLines(run.out);
    ASSERT_EQ(lines.size(), 1u);
    const QJsonArray outputs = lines[0]["outputs"].toArray();
    ASSERT_GE(outputs.size(), 3);  // the WebVTT file and at least two sprites
    run = Sheet(flags);
    EXPECT_EQ(StatusByInput(ReportLines(run.out))[movie], "skipped");
    // One sprite gone: the movie is made again, over the WebVTT file and the
    // sprites still there.
    const std::string gone = outputs[0].toString().toStdString() == dir / "out/m.mp4.vtt"
                                 ? outputs[1].toString().toStdString()
                                 : outputs[0].toString().toStdString();
    fs::remove(gone);
    run = Sheet(flags);
    EXPECT_EQ(StatusByInput(ReportLines(run.out))[movie], "ok") << run.err;
    EXPECT_TRUE(fs::exists(gone));
}

// A stop in the middle of a list: exit 130, no partial sheet, and the report
// holds whole lines of the movies that finished.
TEST(ListRun, SignalInTheMiddleOfAListLeavesNoPartialFile) {
    ScratchDir dir;
    std::string list;
    for (int i = 0; i < 40; ++i) {
        const std::string movie = dir / ("m" + std::to_string(i) + ".mp4");
        fs::copy_file(Clip("h264_aac.mp4"), movie);
        list += movie + "\n";
    }
    WriteFile(dir / "list", list);
    for (int signal : {SIGTERM, SIGINT}) {
        const std::string out = dir / ("out" + std::to_string(signal));
        const std::string report = out + ".jsonl";
        QProcess process;
        process.setProcessEnvironment(HeadlessEnvironment());
        process.start(REELCAP_SHEET_PROGRAM, {"-n", "20", "-j", "2", "--files-from", QString::fromStdString(dir / "list"),
                                              "-O", QString::fromStdString(out), "--report",
                                              QString::fromStdString(report)});
        ASSERT_TRUE(process.waitForStarted());
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (ReportLines(FileBytes(report)).size() < 2 && std::chrono::steady_clock::now() < give_up)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        ::kill(pid_t(process.processId()), signal);
        ASSERT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 130) << process.readAllStandardError().toStdString();

        const auto lines = ReportLines(FileBytes(report));
        EXPECT_GE(lines.size(), 2u);
        EXPECT_LT(lines.size(), 40u) << "the run was not stopped";
        size_t sheets = 0;
        for (const auto& entry : fs::directory_iterator(out)) {
            EXPECT_EQ(entry.path().extension(), ".jpg") << entry.path();
            ++sheets;
        }
        EXPECT_EQ(sheets, lines.size()) << "every sheet written is in the report, and no more";
        for (const QJsonObject& line : lines) EXPECT_EQ(line["status"].toString(), "ok");
    }
}

// A stop during work that would go on for minutes: the search past a black
// picture steps through hours of one picture, in a sheet with frame files,
// in thumbnails with a sprite already staged, and in two movies at a time.
// The run ends with 130 long before that work would, and leaves only the
// files of the movie that finished. (The bound is generous, no speed claim.)
TEST(ListRun, SignalStopsLongWorkAndLeavesOnlyFinishedFiles) {
    ScratchDir dir;
    const std::string quick = dir / "quick.mp4";
    fs::copy_file(Clip("noaudio.mp4"), quick);
    std::vector<std::string> slow;
    for (const char* name : {"slow.mp4", "slow2.mp4"}) {
        slow.push_back(dir / name);
        fs::copy_file(Clip("sparse10h.mp4"), slow.back());  // black from 3 h to 10 h
    }
    struct Case {
        int signal;
        std::vector<std::string> args;
        int slowMovies;
    };
    const Case cases[] = {
        {SIGINT, {"--skip-blank", "-n", "1", "--frames-dir", "frames"}, 1},
        {SIGTERM, {"--vtt", "--skip-blank", "--grid", "1x1", "--interval", "7200"}, 1},
        {SIGINT, {"--skip-blank", "-n", "2", "-j", "2"}, 2},
    };
    int number = 0;
    for (const Case& c : cases) {
        const fs::path out = dir.path() / ("out" + std::to_string(++number));
        fs::create_directories(out);
        SCOPED_TRACE(out.filename().string());
        QStringList args{"--report", "report.jsonl", "-O", "."};
        for (const std::string& arg : c.args) args << QString::fromStdString(arg);
        args << QString::fromStdString(quick);
        for (int k = 0; k < c.slowMovies; ++k) args << QString::fromStdString(slow[size_t(k)]);
        QProcess process;
        process.setProcessEnvironment(HeadlessEnvironment());
        process.setWorkingDirectory(QString::fromStdString(out.string()));
        process.start(REELCAP_SHEET_PROGRAM, args);
        ASSERT_TRUE(process.waitForStarted());
        // The quick movie first: once it is reported, the long work is under way.
        const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (ReportLines(FileBytes(out / "report.jsonl")).empty() && std::chrono::steady_clock::now() < give_up)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
        ASSERT_EQ(process.state(), QProcess::Running);
        ::kill(pid_t(process.processId()), c.signal);
        ASSERT_TRUE(process.waitForFinished(10000)) << "still at work 10 s after the stop";
        EXPECT_EQ(process.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(process.exitCode(), 130) << process.readAllStandardError().toStdString();

        const auto lines = ReportLines(FileBytes(out / "report.jsonl"));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0]["input"].toString().toStdString(), quick);
        std::set<std::string> reported{"report.jsonl"};
        for (const QJsonValue& file : lines[0]["outputs"].toArray())
            reported.insert(fs::path(file.toString().toStdString()).lexically_normal().string());
        std::set<std::string> found;
        for (const auto& entry : fs::recursive_directory_iterator(out)) {
            if (!entry.is_directory()) found.insert(fs::relative(entry.path(), out).string());
        }
        EXPECT_EQ(found, reported) << "staged, half-written or stray files";
        EXPECT_FALSE(fs::exists(out / "frames" / "slow.mp4"));
    }
}

// GNU parallel runs the shards as two jobs, each with its own report; the
// reports together name every movie once.
TEST(ListRun, GnuParallelOverTwoShards) {
    if (QProcess::execute("sh", {"-c", "command -v parallel >/dev/null"}) != 0)
        GTEST_SKIP() << "GNU parallel is not installed (tools/setup.sh installs it)";
    ScratchDir dir;
    std::string list;
    std::set<std::string> movies;
    for (int i = 0; i < 6; ++i) {
        const std::string movie = dir / ("m" + std::to_string(i) + ".mp4");
        fs::copy_file(Clip("noaudio.mp4"), movie);
        list += movie + "\n";
        movies.insert(movie);
    }
    WriteFile(dir / "list", list);
    QProcess process;
    process.setProcessEnvironment(HeadlessEnvironment());
    process.setWorkingDirectory(QString::fromStdString(dir.path().string()));
    process.start("parallel", {"--will-cite", "-j", "2", "--joblog", "jobs.log", REELCAP_SHEET_PROGRAM, "-n", "2",
                               "-O", "sheets", "--files-from", "list", "--shard", "{}/2", "--report", "report{}.jsonl",
                               ":::", "1", "2"});
    ASSERT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    std::multiset<std::string> reported;
    for (const char* report : {"report1.jsonl", "report2.jsonl"}) {
        for (const QJsonObject& line : ReportLines(FileBytes(dir / report))) {
            reported.insert(line["input"].toString().toStdString());
            EXPECT_EQ(line["status"].toString(), "ok");
        }
    }
    EXPECT_EQ(reported, std::multiset<std::string>(movies.begin(), movies.end()));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir / "sheets"), fs::directory_iterator()), 6);
}
