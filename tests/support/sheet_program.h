#pragma once
// Runs the built reelcap-sheet as a user's shell would on a server: no
// display and no platform chosen, optional standard input and working folder.
#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>
#include <cstdio>
#include <functional>
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

// `inChild`, when given, runs in the child before the program starts (a
// resource limit, say); it may only make calls safe after fork.
inline SheetRun RunSheetProgram(const std::vector<std::string>& args, const std::string& input = {},
                                const std::string& folder = {}, const std::function<void()>& inChild = {}) {
    QProcess process;
    process.setProcessEnvironment(HeadlessEnvironment());
    if (inChild) process.setChildProcessModifier(inChild);
    if (!folder.empty()) process.setWorkingDirectory(QString::fromStdString(folder));
    QStringList list;
    bool allText = true;
    for (const std::string& arg : args) {
        list << QString::fromStdString(arg);
        allText = allText && list.back().toStdString() == arg;
    }
    if (allText) {
        process.start(REELCAP_SHEET_PROGRAM, list);
    } else {
        // A QString cannot carry bytes that are not UTF-8: the shell passes
        // them, each argument written out as printf's octal escapes.
        std::string command = std::string("exec '") + REELCAP_SHEET_PROGRAM + "'";
        for (const std::string& arg : args) {
            command += " \"$(printf '";
            for (unsigned char c : arg) {
                char octal[8];
                std::snprintf(octal, sizeof octal, "\\%03o", unsigned(c));
                command += octal;
            }
            command += "')\"";
        }
        process.start("/bin/sh", {"-c", QString::fromStdString(command)});
    }
    process.waitForStarted();
    process.write(input.data(), qint64(input.size()));
    process.closeWriteChannel();
    process.waitForFinished(120000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardOutput().toStdString(), process.readAllStandardError().toStdString()};
}
