#pragma once
// Runs the built reelcap-sheet as a user's shell would on a server: no
// display and no platform chosen, optional standard input and working folder.
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <string>
#include <vector>

struct SheetRun {
    int code = -1;  // exit status; -1 when it crashed or did not end in 2 minutes
    std::string out;
    std::string err;
};

inline QProcessEnvironment HeadlessEnvironment() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) env.remove(name);
    return env;
}

inline SheetRun RunSheetProgram(const std::vector<std::string>& args, const std::string& input = {},
                                const std::string& folder = {}) {
    QProcess process;
    process.setProcessEnvironment(HeadlessEnvironment());
    if (!folder.empty()) process.setWorkingDirectory(QString::fromStdString(folder));
    QStringList list;
    for (const std::string& arg : args) list << QString::fromStdString(arg);
    process.start(REELCAP_SHEET_PROGRAM, list);
    process.waitForStarted();
    process.write(input.data(), qint64(input.size()));
    process.closeWriteChannel();
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}
