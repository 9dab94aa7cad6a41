// reelcap-sheet: contact sheets from the command line, one per movie, made
// with the same grabbing, composing and JPEG writing as the window.
#include <QGuiApplication>
#include <malloc.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "cli/command_line.h"
#include "base/index_pool.h"
#include "base/memory_budget.h"
#include "cli/memory_gate.h"
#include "cli/movie_flow.h"
#include "cli/movie_list.h"
#include "cli/movie_plan.h"
#include "cli/report.h"
#include "cli/sheet_job.h"
#include "cli/vtt_job.h"
#include "sheet/compose_sheet.h"

namespace {

std::atomic<bool> g_stop{false};

void OnSignal(int) { g_stop = true; }

// Qt's own notes (no runtime folder, font fallbacks) are not errors of the
// user's movies; only critical messages reach stderr.
void QtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) std::fputs(ProgramLine(message.toStdString()).c_str(), stderr);
}

// Error lines and, on a terminal, one live progress line on stderr. Error
// lines are written whole and the progress line is drawn again under them.
class Reporter {
public:
    explicit Reporter(bool live) : m_live(live) {}

    void Progress(int ordinal, int total, const std::string& movie, int done, int frames) {
        if (!m_live) return;
        std::lock_guard lock(m_mutex);
        const auto now = std::chrono::steady_clock::now();
        // At most ten redraws a second; the last frame of a movie always shows.
        if (done != frames && now - m_lastDraw < std::chrono::milliseconds(100)) return;
        m_lastDraw = now;
        m_line = "[" + std::to_string(ordinal) + "/" + std::to_string(total) + "] " +
                 std::filesystem::path(movie).filename().string() + "  " + std::to_string(done) + "/" +
                 std::to_string(frames) + " frames";
        std::fprintf(stderr, "\r\033[K%s", m_line.c_str());
        std::fflush(stderr);
    }

    void Failure(const std::string& what, const std::string& why) { FailureText(FailureLine(what, why)); }

    // A failure line as made by FailureLine, so the report's error is the same text.
    void FailureText(const std::string& line) {
        std::lock_guard lock(m_mutex);
        if (m_live && !m_line.empty()) std::fputs("\r\033[K", stderr);
        std::fprintf(stderr, "%s\n", line.c_str());
        if (m_live && !m_line.empty()) std::fputs(m_line.c_str(), stderr);
        std::fflush(stderr);
    }

    void Finish() {
        std::lock_guard lock(m_mutex);
        if (m_live && !m_line.empty()) std::fputs("\r\033[K", stderr);
        m_line.clear();
        std::fflush(stderr);
    }

private:
    const bool m_live;
    std::mutex m_mutex;
    std::string m_line;
    std::chrono::steady_clock::time_point m_lastDraw{};
};

std::string CurrentFolder() {
    std::error_code error;
    const std::filesystem::path folder = std::filesystem::current_path(error);
    return error ? std::string(".") : folder.string();
}

}  // namespace

int main(int argc, char** argv) {
    // A tool for terminals and servers needs no screen: draw off-screen unless
    // the caller chose a platform, also where a display exists (a forwarded
    // display that is gone would otherwise stop the program).
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // Pictures (several MB each) are allocated and freed by the grab threads
    // all the time; a fixed threshold keeps each in its own mapping, returned
    // to the system when freed, instead of left behind in per-thread heaps.
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
    qInstallMessageHandler(QtMessages);
    // Text drawing needs the font database of a GUI application object.
    QGuiApplication app(argc, argv);

    const std::vector<std::string> args(argv, argv + argc);
    const ParseOutcome parsed = ParseCommandLine(args, CurrentFolder());
    if (parsed.kind == ParseOutcome::Done) {
        std::fputs(parsed.text.c_str(), stdout);
        return 0;
    }
    if (parsed.kind == ParseOutcome::Usage) {
        std::fputs(parsed.text.c_str(), stderr);
        return 2;
    }
    CliSettings settings = parsed.settings;
    if (!settings.filesFrom.empty()) {
        if (OpResult read = ReadMovieList(settings.filesFrom, settings.nulSeparated, settings.inputs); !read) {
            std::fputs(ProgramLine(read.message).c_str(), stderr);
            return 2;
        }
    }

    // A movie that --skip-existing does not skip has outputs that are missing,
    // incomplete or older than the movie: they are made again in place, as -y
    // would (the two flags exclude each other), or a resumed run could never
    // bring them up to date.
    if (settings.skipExisting) settings.overwrite = true;

    const MoviePlan plan = PlanMovies(settings);
    if (!plan.usage.empty()) {
        std::fputs(UsageText(plan.usage).c_str(), stderr);
        return 2;
    }
    if (!settings.outputDir.empty()) {
        std::error_code error;
        std::filesystem::create_directories(settings.outputDir, error);
        if (!std::filesystem::is_directory(settings.outputDir, error)) {
            std::fputs(ProgramLine("--output-dir: cannot make the folder \"" + settings.outputDir + "\"").c_str(),
                       stderr);
            return 2;
        }
    }

    JsonLinesReport report;
    if (!settings.reportFile.empty()) {
        if (OpResult opened = report.Open(settings.reportFile); !opened) {
            std::fputs(ProgramLine(opened.message).c_str(), stderr);
            return 2;
        }
    }

    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    // A report reader that went away is a failed write, told at the end, not
    // the end of the run.
    signal(SIGPIPE, SIG_IGN);

    Reporter reporter(!settings.quiet && ::isatty(STDERR_FILENO));
    bool failed = false;
    for (const auto& [input, why] : plan.failures) {
        reporter.Failure(input, why);
        MovieReport entry;
        entry.input = input;
        entry.status = MovieReport::Failed;
        entry.error = FailureLine(input, why);
        report.Write(entry);
        failed = true;
    }

    // Fonts are looked up once here, not first by several workers at a time.
    MeasureDetailsText("0", settings.options.labelFont, 0);

    const int total = int(plan.jobs.size());
    std::atomic<bool> anyFailed{false};
    MemoryGate gate(AvailableMemory);
    auto makeSheet = [&](size_t index) {
        if (g_stop) return;
        const MovieJob& job = plan.jobs[index];
        const int number = int(index) + 1;
        MovieTask task;
        task.movie = job.movie;
        // A job refused by the plan (its output is another movie's) is never
        // skipped for that other movie's files.
        if (job.failure.empty())
            task.outputs = [&] { return settings.vtt ? VttOutputs(job.sheet) : ExpectedOutputs(job); };
        task.make = [&](MovieFacts& facts) {
            // A thumbnail job tells its cue count once it knows it.
            if (!settings.vtt) reporter.Progress(number, total, job.movie, 0, settings.frames);
            auto onProgress = [&](int done, int frames) {
                reporter.Progress(number, total, job.movie, done, frames);
                return !g_stop.load();
            };
            return settings.vtt ? MakeMovieVtt(job, settings, onProgress, &facts, &gate)
                                : MakeMovieSheet(job, settings, onProgress, &facts, &gate);
        };
        const MovieReport entry = RunMovieTask(task, settings.skipExisting);
        // An interruption is told once, at the end, not for every movie it
        // cut short; those movies did not finish, so they have no report line.
        if (entry.status == MovieReport::Failed && g_stop) {
            anyFailed = true;
            return;
        }
        if (entry.status == MovieReport::Failed) {
            reporter.FailureText(entry.error);
            anyFailed = true;
        }
        report.Write(entry);
    };
    // This thread makes sheets too, so one fewer is started.
    IndexPool pool(size_t(total), unsigned(std::max(1, std::min(settings.jobs, total)) - 1), makeSheet);
    pool.Help();
    pool.Join();
    reporter.Finish();

    if (const std::string error = report.LastError(); !error.empty()) {
        std::fputs(ProgramLine(error).c_str(), stderr);
        failed = true;
    }
    if (g_stop) {
        std::fputs(ProgramLine("interrupted").c_str(), stderr);
        return 130;
    }
    return failed || anyFailed ? 1 : 0;
}
