#pragma once
// What the command line asks for, checked before any movie is read.
#include <cstdint>
#include <string>
#include <vector>

#include "cli/shard.h"
#include "frames/frame_pick.h"
#include "settings/sheet_options.h"

struct CliSettings {
    // The layout and style after the options file and the flags.
    SheetOptions options{};
    // Where `options` came from; empty for the built-in defaults.
    std::string optionsFile;
    int frames = 30;
    // Movies and folders as typed (bytes as given, UTF-8 or not).
    std::vector<std::string> inputs;
    bool recursive = false;
    std::string outputFile;  // -o, one movie only
    std::string outputDir;   // -O
    std::string framesDir;   // --frames-dir
    bool overwrite = false;
    int jobs = 1;
    bool quiet = false;
    bool skipBlank = false;
    // --pick: how frames are chosen; --shot-list: the shots found, as CSV
    // ("-" is standard output).
    FramePick pick = FramePick::Exact;
    std::string shotList;

    // Lists, shards, resuming and the report: for runs over many movies and
    // machines (cli/list_flags.cpp).
    std::string filesFrom;  // --files-from; "-" is standard input
    bool nulSeparated = false;
    Shard shard;
    bool skipExisting = false;
    std::string reportFile;  // --report; "-" is standard output

    // --vtt: seek-bar thumbnails for web players (a WebVTT file and its sprite
    // images) instead of a sheet.
    bool vtt = false;
    int64_t vttIntervalMs = 10000;  // --interval, whole milliseconds
    int thumbWidth = 320;           // --thumb-width
    int gridColumns = 10;           // --grid CxR
    int gridRows = 10;
    bool keyframes = false;  // --keyframes
};

struct ParseOutcome {
    enum Kind {
        Run,    // settings hold the work to do
        Done,   // --help or --version: print text on stdout, exit 0
        Usage,  // bad usage: print text on stderr, exit 2
    };
    Kind kind = Run;
    std::string text;
    CliSettings settings;
};

// The tool's name, as its own lines on stderr begin.
extern const char kProgramName[];
// A line of the tool's own on stderr: "reelcap-sheet: TEXT\n".
std::string ProgramLine(const std::string& text);
// A bad-usage message as printed: ProgramLine(message) and a pointer to --help.
std::string UsageText(const std::string& message);

// args are the raw argv strings, the program name first. `currentFolder` is
// where options.lyt is looked for when no --options is given.
ParseOutcome ParseCommandLine(const std::vector<std::string>& args, const std::string& currentFolder);
