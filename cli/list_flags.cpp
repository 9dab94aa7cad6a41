#include "cli/list_flags.h"

#include "cli/argument_bytes.h"

ListFlags::ListFlags()
    : m_filesFrom("files-from",
                  "Also make the movies listed in FILE, one path per line ('-': standard input). Blank lines "
                  "are left out.",
                  "FILE"),
      m_null({"0", "null"}, "The --files-from list is separated by NUL characters (find -print0)."),
      m_shard("shard",
              "Make only shard K of N (1 <= K <= N): a movie's shard comes from a hash of its path as "
              "listed, so N runs given the same list, in any order, make every movie once.",
              "K/N"),
      m_skipExisting("skip-existing",
                     "Leave out a movie whose outputs all exist and are newer than the movie, without opening "
                     "it; reported as skipped."),
      m_report("report",
               "Write one JSON object per movie into FILE ('-': standard output) as each movie ends: input, "
               "status (ok, failed, skipped), outputs, error, duration, frames, seconds.",
               "FILE") {}

void ListFlags::AddTo(QCommandLineParser& parser) const {
    parser.addOptions({m_filesFrom, m_null, m_shard, m_skipExisting, m_report});
}

std::string ListFlags::Read(const QCommandLineParser& parser, const std::vector<std::string>& args, bool overwriting,
                            CliSettings& s) const {
    if (parser.isSet(m_filesFrom)) {
        s.filesFrom = ArgumentBytes(args, m_filesFrom, parser.value(m_filesFrom));
        if (s.filesFrom.empty()) return "--files-from: the file name is empty";
    }
    s.nulSeparated = parser.isSet(m_null);
    if (s.nulSeparated && s.filesFrom.empty()) return "--null applies to --files-from, which is not given";
    if (parser.isSet(m_shard)) {
        const std::string text = parser.value(m_shard).toStdString();
        if (!ParseShard(text, s.shard)) return "--shard: \"" + text + "\" is not K/N with 1 <= K <= N";
    }
    s.skipExisting = parser.isSet(m_skipExisting);
    if (s.skipExisting && overwriting) return "--skip-existing and --overwrite exclude each other";
    if (parser.isSet(m_report)) {
        s.reportFile = ArgumentBytes(args, m_report, parser.value(m_report));
        if (s.reportFile.empty()) return "--report: the file name is empty";
    }
    return {};
}
