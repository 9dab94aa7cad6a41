#include "cli/command_line.h"

#include <QCommandLineParser>
#include <QStringList>
#include <cmath>
#include <filesystem>

#include "cli/argument_bytes.h"
#include "base/typed_number.h"
#include "cli/list_flags.h"
#include "settings/options_store.h"
#include "sheet/sheet_layout.h"
#include "sheet/sprite_layout.h"
#include "version/library_versions.h"

namespace {

std::string Usage(const std::string& message) { return UsageText(message); }

std::string Quote(const QString& text) { return "\"" + text.toStdString() + "\""; }

// The --vtt block: its flags are refused without --vtt, and bad values
// before any movie is read.
OpResult ReadVttFlags(const QCommandLineParser& parser, const QCommandLineOption& vtt,
                      const QCommandLineOption& interval, const QCommandLineOption& thumbWidth,
                      const QCommandLineOption& grid, const QCommandLineOption& keyframes, CliSettings& s) {
    s.vtt = parser.isSet(vtt);
    for (const QCommandLineOption* option : {&interval, &thumbWidth, &grid, &keyframes}) {
        if (!s.vtt && parser.isSet(*option))
            return OpResult::Failure("--" + option->names().first().toStdString() + " needs --vtt");
    }
    if (parser.isSet(interval)) {
        bool ok = false;
        const double seconds = parser.value(interval).trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds <= 0.0)
            return OpResult::Failure("--interval: " + Quote(parser.value(interval)) + " is not a number of seconds above 0");
        // Past this no movie has a second cue; the limit keeps the milliseconds in range.
        if (seconds > 1e8)
            return OpResult::Failure("--interval: " + Quote(parser.value(interval)) + " is above 100000000 seconds");
        s.vttIntervalMs = std::llround(seconds * 1000.0);
        if (s.vttIntervalMs < 1)
            return OpResult::Failure("--interval: " + Quote(parser.value(interval)) + " is below a millisecond");
    }
    if (parser.isSet(thumbWidth) && !ParseWholeNumber(parser.value(thumbWidth).toStdString(), 16, 1920, s.thumbWidth))
        return OpResult::Failure("--thumb-width: " + Quote(parser.value(thumbWidth)) +
                                 " is not a number of pixels from 16 to 1920");
    if (parser.isSet(grid) && !ParseSizePair(parser.value(grid).toStdString(), 1, 1000, s.gridColumns, s.gridRows))
        return OpResult::Failure("--grid: " + Quote(parser.value(grid)) +
                                 " is not COLUMNSxROWS with both from 1 to 1000");
    s.keyframes = parser.isSet(keyframes);
    return OpResult::Success();
}

}  // namespace

const char kProgramName[] = "reelcap-sheet";

std::string ProgramLine(const std::string& text) { return std::string(kProgramName) + ": " + text + "\n"; }

std::string UsageText(const std::string& message) {
    return ProgramLine(message) + "Try '" + kProgramName + " --help' for more information.\n";
}

ParseOutcome ParseCommandLine(const std::vector<std::string>& args, const std::string& currentFolder) {
    ParseOutcome outcome;
    CliSettings& s = outcome.settings;

    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Writes one JPEG contact sheet per movie: N frames at k x duration / (N + 1), k = 1 ... N,\n"
        "each labelled with its time, laid out and styled as the Reelcap window's Save File does.\n"
        "With --vtt, writes instead a WebVTT file of seek-bar thumbnails and its sprite images.\n"
        "Folders are searched for movie files. Exit status: 0 when every movie made its sheet,\n"
        "1 when any failed (one line each on stderr), 2 for bad usage.");
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    const QCommandLineOption help({"h", "help"}, "Show this help and exit.");
    const QCommandLineOption version({"v", "version"}, "Show the version and exit.");
    const QCommandLineOption optionsFile(
        "options", "Layout and style from this options file (default: options.lyt in the current folder "
                   "when there is one, else the built-in settings). It is never written.",
        "FILE");
    const QCommandLineOption frames({"n", "frames"},
                                    "Frames per sheet (default: the options' frame count when it is 1 or more, "
                                    "else 30).", "N");
    const QCommandLineOption columns({"c", "columns"}, "Tile columns (default: from the options, 5 built in).", "N");
    const QCommandLineOption tile("tile", "Tile size in pixels (default: from the options, 148x111 built in).", "WxH");
    const QCommandLineOption gap("gap", "Both gaps in pixels (default: from the options, 10 built in).", "PX");
    const QCommandLineOption quality({"q", "quality"}, "JPEG quality 0-100 (default: from the options, 90 built in).",
                                     "Q");
    const QCommandLineOption progressive("progressive", "Write progressive JPEG (built-in default).");
    const QCommandLineOption baseline("baseline", "Write baseline JPEG.");
    const QCommandLineOption noDetails("no-details", "Leave out the movie details block.");
    const QCommandLineOption noLabels("no-labels", "Leave out the time labels.");
    const QCommandLineOption noShadow("no-shadow", "Leave out the drop shadows.");
    const QCommandLineOption output({"o", "output"},
                                    "Sheet file for a single movie (default: MOVIE.jpg; MOVIE.vtt with --vtt).",
                                    "FILE");
    const QCommandLineOption outputDir({"O", "output-dir"},
                                       "Write MOVIE-NAME.jpg (MOVIE-NAME.vtt and its sprites with --vtt) into this "
                                       "folder (default: beside each movie).",
                                       "DIR");
    const QCommandLineOption framesDir("frames-dir",
                                       "Also write every frame as its own JPEG into DIR/MOVIE-NAME/ (default: off).",
                                       "DIR");
    const QCommandLineOption overwrite({"y", "overwrite"}, "Replace existing output files (default: such a movie "
                                                           "fails with \"exists\").");
    const QCommandLineOption recursive({"r", "recursive"}, "Search folders given as MOVIE recursively (default: "
                                                           "only their own files).");
    const QCommandLineOption jobs({"j", "jobs"}, "Movies made in parallel (default: 1).", "N");
    const QCommandLineOption quiet("quiet", "No progress line (errors are still printed).");
    const QCommandLineOption skipBlank(
        "skip-blank", "When a frame is nearly uniform (black, white or one colour: luma standard deviation "
                      "below 5 of 255), take the first later frame that is not, up to a quarter of the spacing "
                      "between frames, labelled with its own time (default: off).");
    const QCommandLineOption pick(
        "pick", "How frames are chosen: exact (the frame at each time, the default), best (the best frame within "
                "a third of the spacing either side of each time: not blank, not in a fade or dissolve, "
                "sharpest; labelled with its own time), shots (one frame per shot, the sharpest of its middle "
                "half; the N longest shots when there are more, more frames from the longest when fewer).",
        "exact|best|shots");
    const QCommandLineOption shotList("shot-list", "Write the shots found as CSV to FILE (- for standard output): "
                                                   "shot, start frame, start time, end frame, end time, length "
                                                   "in seconds; frames counted from 0.", "FILE");
    // Seek-bar thumbnails.
    const QCommandLineOption vtt("vtt", "Write a WebVTT file MOVIE-NAME.vtt and its sprite images MOVIE-NAME-1.jpg, "
                                        "... (thumbnails for a web player's seek bar) instead of a sheet.");
    const QCommandLineOption interval(
        "interval",
        QStringLiteral("With --vtt: seconds per thumbnail (default: 10). A movie gets at most %1 thumbnails; one "
                       "that would need more fails.").arg(kMaxCues),
        "S");
    const QCommandLineOption thumbWidth("thumb-width", "With --vtt: thumbnail width in pixels, 16-1920 (default: 320; "
                                                       "the height follows the picture).", "PX");
    const QCommandLineOption grid("grid", "With --vtt: tiles per sprite image (default: 10x10).", "CxR");
    const QCommandLineOption keyframes("keyframes", "With --vtt: show the first key frame inside each thumbnail's "
                                                    "interval where there is one (faster).");
    parser.addOptions({vtt, interval, thumbWidth, grid, keyframes});
    parser.addOptions({help, version, optionsFile, frames, columns, tile, gap, quality, progressive, baseline,
                       noDetails, noLabels, noShadow, output, outputDir, framesDir, overwrite, recursive, jobs,
                       quiet, skipBlank, pick, shotList});
    const ListFlags listFlags;
    listFlags.AddTo(parser);
    parser.addPositionalArgument("MOVIE", "Movie files, or folders to search for them.", "MOVIE...");

    QStringList arguments;
    for (const std::string& arg : args) arguments << QString::fromLocal8Bit(arg.c_str());
    if (!parser.parse(arguments)) {
        outcome.kind = ParseOutcome::Usage;
        outcome.text = Usage(parser.errorText().toStdString());
        return outcome;
    }
    if (parser.isSet(help)) {
        outcome.kind = ParseOutcome::Done;
        outcome.text = parser.helpText().toStdString();
        // "Usage: <path as typed>" reads better with the program's own name.
        const std::string typed = "Usage: " + QString::fromLocal8Bit(args.empty() ? "" : args[0].c_str()).toStdString();
        if (outcome.text.rfind(typed, 0) == 0)
            outcome.text.replace(0, typed.size(), std::string("Usage: ") + kProgramName);
        return outcome;
    }
    if (parser.isSet(version)) {
        outcome.kind = ParseOutcome::Done;
        // The same lines as the window program's, for bug reports.
        outcome.text = LibraryVersionText();
        return outcome;
    }
    auto usage = [&](const std::string& message) {
        outcome.kind = ParseOutcome::Usage;
        outcome.text = Usage(message);
        return outcome;
    };

    // The settings first: the file, then each flag over it.
    s.options.SetDefaults();
    const int builtInFrames = s.options.frameCount;
    std::string file;
    if (parser.isSet(optionsFile)) {
        file = ArgumentBytes(args, optionsFile, parser.value(optionsFile));
    } else {
        const std::filesystem::path local = std::filesystem::path(currentFolder) / "options.lyt";
        std::error_code error;
        if (std::filesystem::exists(local, error)) file = local.string();
    }
    if (!file.empty()) {
        if (OpResult read = ReadOptionsFile(file, s.options); !read) return usage("--options: " + read.message);
        s.optionsFile = file;
    }
    // The window stores whatever count was typed into Grab All, 0 and below
    // too; such a count stands for none chosen, as in the built-in settings.
    s.frames = s.options.frameCount >= 1 ? s.options.frameCount : builtInFrames;

    const int kMaxInt = 1 << 30;
    if (parser.isSet(frames) && !ParseWholeNumber(parser.value(frames).toStdString(), 1, kMaxInt, s.frames))
        return usage("--frames: " + Quote(parser.value(frames)) + " is not a number of 1 or more");
    if (parser.isSet(columns) && !ParseWholeNumber(parser.value(columns).toStdString(), 1, kMaxInt, s.options.columns))
        return usage("--columns: " + Quote(parser.value(columns)) + " is not a number of 1 or more");
    if (parser.isSet(tile) && !ParseSizePair(parser.value(tile).toStdString(), 1, kMaxSheetSide,
                                             s.options.tileWidth, s.options.tileHeight))
        return usage("--tile: " + Quote(parser.value(tile)) + " is not WIDTHxHEIGHT with both 1 or more");
    if (parser.isSet(gap)) {
        int g = 0;
        if (!ParseWholeNumber(parser.value(gap).toStdString(), 0, kMaxSheetSide, g))
            return usage("--gap: " + Quote(parser.value(gap)) + " is not a number of pixels, 0 or more");
        s.options.gapWidth = s.options.gapHeight = g;
    }
    if (parser.isSet(quality) && !ParseWholeNumber(parser.value(quality).toStdString(), 0, 100, s.options.jpegQuality))
        return usage("--quality: " + Quote(parser.value(quality)) + " is not a number from 0 to 100");
    if (parser.isSet(progressive) && parser.isSet(baseline))
        return usage("--progressive and --baseline exclude each other");
    if (parser.isSet(progressive)) s.options.progressive = 1;
    if (parser.isSet(baseline)) s.options.progressive = 0;
    if (parser.isSet(noDetails)) s.options.showDetails = 0;
    if (parser.isSet(noLabels)) s.options.showLabels = 0;
    if (parser.isSet(noShadow)) s.options.dropShadow = 0;
    if (parser.isSet(jobs) && !ParseWholeNumber(parser.value(jobs).toStdString(), 1, 256, s.jobs))
        return usage("--jobs: " + Quote(parser.value(jobs)) + " is not a number from 1 to 256");

    // A layout from the options file that cannot make a sheet is refused
    // here too, naming where it came from.
    if (OpResult check = CheckSheetInput({}, s.options); !check) {
        return usage((s.optionsFile.empty() ? std::string("the settings") : "the options file " + s.optionsFile) +
                     " cannot make a sheet: " + check.message);
    }
    // The options file may hold any quality; the encoder takes 0 to 100.
    if (s.options.jpegQuality < 0) s.options.jpegQuality = 0;
    if (s.options.jpegQuality > 100) s.options.jpegQuality = 100;

    s.outputFile = ArgumentBytes(args, output, parser.value(output));
    s.outputDir = ArgumentBytes(args, outputDir, parser.value(outputDir));
    s.framesDir = ArgumentBytes(args, framesDir, parser.value(framesDir));
    if (parser.isSet(output) && s.outputFile.empty()) return usage("--output: the file name is empty");
    if (parser.isSet(outputDir) && s.outputDir.empty()) return usage("--output-dir: the folder name is empty");
    if (parser.isSet(framesDir) && s.framesDir.empty()) return usage("--frames-dir: the folder name is empty");
    if (parser.isSet(output) && parser.isSet(outputDir)) return usage("--output and --output-dir exclude each other");
    s.overwrite = parser.isSet(overwrite);
    s.recursive = parser.isSet(recursive);
    s.quiet = parser.isSet(quiet);
    s.skipBlank = parser.isSet(skipBlank);
    if (std::string bad = listFlags.Read(parser, args, s.overwrite, s); !bad.empty()) return usage(bad);

    if (OpResult thumbs = ReadVttFlags(parser, vtt, interval, thumbWidth, grid, keyframes, s); !thumbs)
        return usage(thumbs.message);
    if (s.vtt && !s.framesDir.empty()) return usage("--frames-dir and --vtt exclude each other");
    if (parser.isSet(pick) && !PickFromName(parser.value(pick).trimmed().toStdString(), s.pick))
        return usage("--pick: " + Quote(parser.value(pick)) + " is not exact, best or shots");
    if (s.vtt && s.pick == FramePick::Shots) return usage("--pick shots and --vtt exclude each other");
    if (s.keyframes && s.pick != FramePick::Exact) return usage("--keyframes and --pick " + std::string(PickName(s.pick)) + " exclude each other");
    s.shotList = ArgumentBytes(args, shotList, parser.value(shotList));
    if (parser.isSet(shotList) && s.shotList.empty()) return usage("--shot-list: the file name is empty");
    if (s.vtt && !s.shotList.empty()) return usage("--shot-list and --vtt exclude each other");
    if (s.shotList == "-" && s.reportFile == "-") return usage("--shot-list and --report cannot both be standard output");

    // Movie names exactly as the bytes were given, also where they are not
    // valid UTF-8: each positional argument is matched back to its argv entry.
    const QStringList positional = parser.positionalArguments();
    size_t next = 1;
    for (const QString& name : positional) {
        while (next < args.size() && QString::fromLocal8Bit(args[next].c_str()) != name) ++next;
        s.inputs.push_back(next < args.size() ? args[next++] : name.toStdString());
    }
    if (s.inputs.empty() && s.filesFrom.empty()) return usage("no MOVIE given");
    return outcome;
}
