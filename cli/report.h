#pragma once
// --report: one JSON object per movie (JSON Lines), written and flushed as
// each movie ends, so the report of a run that was killed still holds every
// movie that finished.
#include <mutex>
#include <string>
#include <vector>

#include "base/op_result.h"

struct MovieReport {
    enum Status { Ok, Failed, Skipped };
    std::string input;  // the movie as listed, bytes as given
    Status status = Ok;
    std::vector<std::string> outputs;  // files written (for a skip: the ones already there)
    std::string error;                 // failures only: the stderr line
    double duration = -1.0;            // seconds of movie; below 0 when not known
    int frames = 0;
    int shots = -1;  // below 0 when shots were not looked for
    double seconds = 0.0;  // time spent on the movie
};

// A JSON string of raw bytes. Valid UTF-8 is kept as it is (control
// characters, quote and backslash escaped); every byte that is not part of
// valid UTF-8 becomes \udcXX (XX its value): the convention of Python's
// "surrogateescape", so os.fsencode(json.loads(...)) gives the bytes back.
std::string JsonString(const std::string& bytes);

// One report line, newline included.
std::string JsonLine(const MovieReport& report);

class JsonLinesReport {
public:
    JsonLinesReport() = default;
    ~JsonLinesReport();
    JsonLinesReport(const JsonLinesReport&) = delete;
    JsonLinesReport& operator=(const JsonLinesReport&) = delete;

    // "-" is standard output; a file is created or emptied.
    OpResult Open(const std::string& path);
    bool IsOpen() const { return m_fd >= 0; }
    // Thread-safe; each line goes out in one piece. A failed write is
    // remembered and told once by LastError().
    void Write(const MovieReport& report);
    std::string LastError() const;

private:
    int m_fd = -1;
    bool m_ownsFd = false;
    std::string m_path;
    mutable std::mutex m_mutex;
    std::string m_error;
};
