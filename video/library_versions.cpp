#include "video/library_versions.h"

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
    // bigger, but the marker is looked for in the first 64 MB only.
    constexpr std::streamsize kMaxBytes = std::streamsize(64) << 20;
    std::string bytes(size_t(kMaxBytes), '\0');
    file.read(bytes.data(), kMaxBytes);
    bytes.resize(size_t(file.gcount()));
    static const char kMarker[] = "libjpeg-turbo version ";
    const size_t at = bytes.find(kMarker);
    if (at == std::string::npos) return fallback;
    const size_t end = bytes.find('\0', at);
    std::string text = bytes.substr(at, (end == std::string::npos ? bytes.size() : end) - at);
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
