#include "cli/report.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

// Length of the valid UTF-8 sequence at `at`, 0 when the byte there does not
// begin one (overlong forms, surrogates and values above U+10FFFF are invalid).
size_t Utf8Length(const std::string& s, size_t at) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(at);
    size_t length = 0;
    unsigned low = 0x80;
    unsigned high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;
        if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;
    } else {
        return 0;
    }
    if (at + length > s.size()) return 0;
    for (size_t i = 1; i < length; ++i) {
        const unsigned c = byte(at + i);
        const unsigned lo = i == 1 ? low : 0x80;
        const unsigned hi = i == 1 ? high : 0xBF;
        if (c < lo || c > hi) return 0;
    }
    return length;
}

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

const char* StatusName(MovieReport::Status status) {
    switch (status) {
        case MovieReport::Ok: return "ok";
        case MovieReport::Failed: return "failed";
        case MovieReport::Skipped: return "skipped";
    }
    return "failed";
}

}  // namespace

std::string JsonString(const std::string& bytes) {
    std::string out = "\"";
    char escape[8];
    for (size_t i = 0; i < bytes.size();) {
        const unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c < 0x80) {
            if (c == '"' || c == '\\') {
                out += '\\';
                out += char(c);
            } else if (c < 0x20 || c == 0x7F) {
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            } else {
                out += char(c);
            }
            ++i;
            continue;
        }
        if (const size_t length = Utf8Length(bytes, i)) {
            out.append(bytes, i, length);
            i += length;
            continue;
        }
        std::snprintf(escape, sizeof escape, "\\udc%02x", c);
        out += escape;
        ++i;
    }
    return out + "\"";
}

std::string JsonLine(const MovieReport& report) {
    std::string line = "{\"input\":" + JsonString(report.input) + ",\"status\":\"" + StatusName(report.status) +
                       "\",\"outputs\":[";
    for (size_t i = 0; i < report.outputs.size(); ++i) line += (i ? "," : "") + JsonString(report.outputs[i]);
    line += "]";
    if (report.status == MovieReport::Failed) line += ",\"error\":" + JsonString(report.error);
    if (report.duration >= 0 && std::isfinite(report.duration)) line += ",\"duration\":" + Number(report.duration);
    if (report.shots >= 0) line += ",\"shots\":" + std::to_string(report.shots);
    line += ",\"frames\":" + std::to_string(report.frames) + ",\"seconds\":" + Number(report.seconds) + "}\n";
    return line;
}

JsonLinesReport::~JsonLinesReport() {
    if (m_ownsFd && m_fd >= 0) ::close(m_fd);
}

OpResult JsonLinesReport::Open(const std::string& path) {
    m_path = path;
    if (path == "-") {
        m_fd = STDOUT_FILENO;
        return OpResult::Success();
    }
    m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (m_fd < 0) return OpResult::Failure("--report: cannot write \"" + path + "\": " + std::strerror(errno));
    m_ownsFd = true;
    return OpResult::Success();
}

void JsonLinesReport::Write(const MovieReport& report) {
    if (m_fd < 0) return;
    const std::string line = JsonLine(report);
    std::lock_guard lock(m_mutex);
    // A signal only sets a flag, so write() is cut short only by a full disk
    // or a closed pipe; what is left of the line is written on.
    size_t done = 0;
    while (done < line.size()) {
        const ssize_t wrote = ::write(m_fd, line.data() + done, line.size() - done);
        if (wrote < 0 && errno == EINTR) continue;
        if (wrote <= 0) {
            if (m_error.empty())
                m_error = "--report: cannot write \"" + m_path + "\": " + std::strerror(wrote < 0 ? errno : EIO);
            return;
        }
        done += size_t(wrote);
    }
}

std::string JsonLinesReport::LastError() const {
    std::lock_guard lock(m_mutex);
    return m_error;
}
