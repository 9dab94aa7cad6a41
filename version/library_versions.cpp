#include "version/library_versions.h"

#include <dlfcn.h>

#include <QtGlobal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavfilter/avfilter.h>
#include <libavformat/avformat.h>
#include <libavutil/avutil.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include <jpeglib.h>

#ifndef REELCAP_VERSION
#define REELCAP_VERSION "unknown"
#endif

namespace {

std::string Dotted(unsigned version) {
    return std::to_string(AV_VERSION_MAJOR(version)) + "." + std::to_string(AV_VERSION_MINOR(version)) + "." +
           std::to_string(AV_VERSION_MICRO(version));
}

// The JPEG library exports no version function: its release is only written
// in the library file itself, as "libjpeg-turbo version X (build Y)". The file
// is the one the dynamic loader mapped for jpeg_std_error.
std::string JpegVersion() {
    const std::string fallback = "JPEG library version " + std::to_string(JPEG_LIB_VERSION) + " (release unknown)";
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&jpeg_std_error), &info) == 0 || !info.dli_fname) return fallback;
    std::ifstream file(info.dli_fname, std::ios::binary);
    if (!file) return fallback;
    // A library is a few hundred kilobytes; a statically linked program is
    // bigger, but the marker is looked for in the first 64 MB only, read a
    // megabyte at a time. Each piece keeps the end of the one before, so a
    // text cut at a piece's edge is still found whole.
    static const char kMarker[] = "libjpeg-turbo version ";
    constexpr size_t kPiece = size_t(1) << 20;
    constexpr size_t kKept = 128;
    constexpr size_t kMaxBytes = size_t(64) << 20;
    std::string bytes;
    std::string text;
    for (size_t read = 0; read < kMaxBytes && file;) {
        const size_t kept = bytes.size();
        bytes.resize(kept + kPiece);
        file.read(bytes.data() + kept, std::streamsize(kPiece));
        bytes.resize(kept + size_t(file.gcount()));
        read += size_t(file.gcount());
        const size_t at = bytes.find(kMarker);
        const size_t end = at == std::string::npos ? at : bytes.find('\0', at);
        if (at != std::string::npos && (end != std::string::npos || !file)) {
            text = bytes.substr(at, (end == std::string::npos ? bytes.size() : end) - at);
            break;
        }
        // A marker found near the end waits for the rest of its text.
        const size_t keepFrom = at != std::string::npos ? at : (bytes.size() > kKept ? bytes.size() - kKept : 0);
        bytes.erase(0, keepFrom);
    }
    if (text.empty()) return fallback;
    // "libjpeg-turbo version 2.1.5 (build ...)" reads as "libjpeg-turbo 2.1.5 (build ...)".
    text.replace(0, std::strlen(kMarker), "libjpeg-turbo ");
    if (text.size() > 80) text.resize(80);
    return text;
}

}  // namespace

std::string ProgramVersion() { return REELCAP_VERSION; }

std::vector<std::string> LibraryVersionLines() {
    std::vector<std::string> lines;
    lines.push_back(std::string("Reelcap ") + REELCAP_VERSION);
    lines.push_back(std::string("FFmpeg ") + av_version_info() + ": libavformat " + Dotted(avformat_version()) +
                    ", libavcodec " + Dotted(avcodec_version()) + ", libavutil " + Dotted(avutil_version()) +
                    ", libavfilter " + Dotted(avfilter_version()) + ", libswscale " + Dotted(swscale_version()) +
                    ", libswresample " + Dotted(swresample_version()));
    lines.push_back(std::string("Qt ") + qVersion());
    lines.push_back(JpegVersion());
    return lines;
}

std::string LibraryVersionText() {
    std::string text;
    for (const std::string& line : LibraryVersionLines()) text += line + "\n";
    return text;
}
