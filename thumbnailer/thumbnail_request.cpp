#include "thumbnailer/thumbnail_request.h"

#include <QFileInfo>
#include <QUrl>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <cstring>

const char* const kThumbnailerUsage = "usage: reelcap-thumbnailer -s SIZE [-t SECONDS|PERCENT%] INPUT OUTPUT";

namespace {

// The largest thumbnail asked for: freedesktop's largest size is 1024.
constexpr int kMaxSize = 4096;

bool ParseNumber(const std::string& text, double& value) {
    if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return false;
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end && *end == '\0' && std::isfinite(value);
}

// A file:// URI as a local path (percent-decoded); any other text is a path.
bool LocalInput(const std::string& text, std::string& path, std::string& uri) {
    if (text.rfind("file:", 0) == 0) {
        const QUrl url(QString::fromUtf8(text.c_str()), QUrl::StrictMode);
        if (!url.isValid() || !url.isLocalFile() || (!url.host().isEmpty() && url.host() != "localhost"))
            return false;
        path = url.toLocalFile().toStdString();
        uri = text;
        return !path.empty();
    }
    if (text.find("://") != std::string::npos) return false;
    path = text;
    uri = QUrl::fromLocalFile(QFileInfo(QString::fromStdString(text)).absoluteFilePath()).toString(QUrl::FullyEncoded).toStdString();
    return !path.empty();
}

}  // namespace

bool ParseThumbnailRequest(int argc, char** argv, ThumbnailRequest& request, std::string& error) {
    request = {};
    std::string sizeText;
    std::string timeText;
    std::string files[2];
    int fileCount = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if ((arg == "-s" || arg == "-t") && i + 1 < argc) {
            (arg == "-s" ? sizeText : timeText) = argv[++i];
        } else if (arg.size() > 2 && (arg.rfind("-s", 0) == 0 || arg.rfind("-t", 0) == 0)) {
            (arg[1] == 's' ? sizeText : timeText) = arg.substr(2);
        } else if (arg.size() > 1 && arg[0] == '-') {
            error = "unknown option " + arg;
            return false;
        } else if (fileCount < 2) {
            files[fileCount++] = arg;
        } else {
            error = "too many files: " + arg;
            return false;
        }
    }
    double size = 0.0;
    if (!ParseNumber(sizeText, size) || size != std::floor(size) || size < 1 || size > kMaxSize) {
        error = sizeText.empty() ? "no size given (-s SIZE)" : "the size must be a whole number from 1 to 4096: " + sizeText;
        return false;
    }
    request.size = int(size);
    if (!timeText.empty()) {
        const bool share = timeText.back() == '%';
        double value = 0.0;
        if (!ParseNumber(share ? timeText.substr(0, timeText.size() - 1) : timeText, value) || value < 0 ||
            (share && value > 100)) {
            error = "the time must be seconds or a percentage from 0% to 100%: " + timeText;
            return false;
        }
        (share ? request.percent : request.seconds) = value;
    }
    if (fileCount < 2) {
        error = "an input and an output file are needed";
        return false;
    }
    if (!LocalInput(files[0], request.input, request.inputUri)) {
        error = "the input is not a local file: " + files[0];
        return false;
    }
    request.output = files[1];
    return true;
}
