#pragma once
// The flags for runs over long lists and many machines: --files-from,
// --null, --shard, --skip-existing, --report. Kept apart from the sheet's
// own flags; every job reads them the same way.
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <string>
#include <vector>

#include "cli/command_line.h"

class ListFlags {
public:
    ListFlags();
    void AddTo(QCommandLineParser& parser) const;
    // Fills the settings' list fields; a usage message when a value is bad,
    // else empty. `overwriting` is whether -y was given; `args` are the
    // program's arguments, where file names are found as the bytes typed.
    std::string Read(const QCommandLineParser& parser, const std::vector<std::string>& args, bool overwriting,
                     CliSettings& settings) const;

private:
    QCommandLineOption m_filesFrom;
    QCommandLineOption m_null;
    QCommandLineOption m_shard;
    QCommandLineOption m_skipExisting;
    QCommandLineOption m_report;
};
