// The thumbnailer run as a file manager's thumbnail factory runs it: the PNG
// and its text chunks on every kind of movie, the chosen frame, failures that
// leave nothing behind, and GNOME's own factory inside its sandbox.
#include <gtest/gtest.h>

#include <QImage>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <filesystem>
#include <fstream>

#include "grabbing/grab_sequence.h"
#include "image/dib_image.h"
#include "support/test_paths.h"

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int code = -1;
    std::string err;
};

// The program with an empty environment but PATH: no HOME, no display.
Outcome Thumbnail(const QStringList& args, const QString& folder) {
    QProcess process;
    QProcessEnvironment env;
    env.insert("PATH", "/usr/bin:/bin");
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder);
    process.start(REELCAP_THUMBNAILER_PROGRAM, args);
    process.waitForFinished(60000);
    return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
            process.readAllStandardError().toStdString()};
}

QString Clip(const char* name) { return QString::fromStdString((TestDataDir() / name).string()); }

bool IsBlank(const QImage& image) {
    CDibImage dib;
    if (!dib.Create(image.width(), image.height())) return true;
    const QImage rgb = image.convertToFormat(QImage::Format_BGR888);
    for (int y = 0; y < rgb.height(); ++y)
        std::memcpy(dib.StoredRow(rgb.height() - 1 - y), rgb.constScanLine(y), size_t(rgb.width()) * 3);
    return IsNearlyUniform(dib);
}

std::vector<std::string> Names(const QString& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.toStdString())) names.push_back(entry.path().filename());
    return names;
}

}  // namespace

TEST(Thumbnailer, PngWithItsChunksOnEveryKindOfMovie) {
    struct Case {
        const char* clip;
        QStringList flags;
        int width, height;
    };
    const Case cases[] = {
        {"h264_aac.mp4", {"-s", "256"}, 256, 192},
        {"h264_aac.mp4", {"-s", "1024"}, 320, 240},          // never enlarged
        {"anamorphic.mp4", {"-s", "256"}, 256, 132},         // 16:11 pixels: 465 x 240 shown
        {"rotated.mp4", {"-s", "128"}, 96, 128},             // turned upright
        {"hdr_smpte2084.mp4", {"-s", "128"}, 128, 96},
        {"vp9.webm", {"-s128", "-t", "1.5"}, 128, 96},
        {"black_open.mp4", {"-s", "200", "-t", "50%"}, 200, 150},
    };
    QTemporaryDir dir;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.clip);
        const QString out = dir.filePath("out.png");
        QFile::remove(out);
        const QString uri = "file://" + Clip(c.clip);
        const Outcome run = Thumbnail(QStringList(c.flags) << uri << out, dir.path());
        ASSERT_EQ(run.code, 0) << run.err;
        EXPECT_EQ(run.err, "");
        QImageReader reader(out, "png");
        const QImage image = reader.read();
        EXPECT_EQ(image.width(), c.width);
        EXPECT_EQ(image.height(), c.height);
        EXPECT_FALSE(IsBlank(image));
        EXPECT_EQ(image.text("Thumb::URI"), uri);
        EXPECT_EQ(image.text("Thumb::Size").toULongLong(), fs::file_size(Clip(c.clip).toStdString()));
        EXPECT_GT(image.text("Thumb::MTime").toLongLong(), 0);
        EXPECT_TRUE(image.text("Thumb::Mimetype").startsWith("video/")) << image.text("Thumb::Mimetype").toStdString();
        EXPECT_FALSE(image.text("Thumb::Movie::Length").isEmpty());
        EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"out.png"});  // nothing else written
    }
}

// The default frame: from 10 % on, never the black title while the first
// third holds pictures.
TEST(Thumbnailer, ChoosesAPictureOverABlackOpening) {
    QTemporaryDir dir;
    const QString out = dir.filePath("t.png");
    ASSERT_EQ(Thumbnail({"-s", "128", Clip("black_open.mp4"), out}, dir.path()).code, 0);
    EXPECT_FALSE(IsBlank(QImage(out)));
    ASSERT_EQ(Thumbnail({"-s", "128", "-t", "1", Clip("black_open.mp4"), out}, dir.path()).code, 0);
    EXPECT_TRUE(IsBlank(QImage(out)));  // a time asked for is taken as it is
}

TEST(Thumbnailer, FailuresLeaveNoOutputAndSayWhyOnOneLine) {
    QTemporaryDir dir;
    { std::ofstream(dir.filePath("junk.mp4").toStdString()) << "not a movie"; }
    struct Case {
        QStringList args;
        int code;
    };
    const QString out = dir.filePath("o.png");
    const Case cases[] = {
        {{"-s", "128", dir.filePath("missing.mp4"), out}, 1},
        {{"-s", "128", dir.filePath("junk.mp4"), out}, 1},
        {{"-s", "128", Clip("audioonly.m4a"), out}, 1},
        {{"-s", "128", "http://example.com/a.mp4", out}, 2},
        {{"-s", "0", Clip("h264_aac.mp4"), out}, 2},
        {{"-s", "128", "-t", "150%", Clip("h264_aac.mp4"), out}, 2},
        {{"-s", "128", Clip("h264_aac.mp4")}, 2},
        {{"-s", "128", Clip("h264_aac.mp4"), dir.filePath("no/such/folder/o.png")}, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const Outcome run = Thumbnail(c.args, dir.path());
        EXPECT_EQ(run.code, c.code);
        EXPECT_EQ(std::count(run.err.begin(), run.err.end(), '\n'), 1) << run.err;
        EXPECT_EQ(Names(dir.path()), std::vector<std::string>{"junk.mp4"});
    }
}

// GNOME's thumbnail factory finds the thumbnailer through its .thumbnailer
// file alone (the data path holds nothing else) and runs it in its sandbox:
// /usr read-only, the movie bound in as /tmp/gnome-desktop-file-to-thumbnail.EXT,
// every namespace unshared. The program is put in /usr/local/bin for the run.
TEST(Thumbnailer, GnomeThumbnailFactoryRunsItInItsSandbox) {
    const QString bwrap = QStandardPaths::findExecutable("bwrap");
    if (bwrap.isEmpty() || !fs::exists("/usr/lib/x86_64-linux-gnu/girepository-1.0/GnomeDesktop-3.0.typelib"))
        GTEST_SKIP() << "bubblewrap or GNOME's thumbnail factory is not installed";
    QTemporaryDir dir;
    const QString bin = QFileInfo(REELCAP_THUMBNAILER_PROGRAM).absolutePath();
    struct Case {
        const char* clip;
        const char* mime;
        int width, height;
    };
    for (const Case& c : {Case{"rotated.mp4", "video/mp4", 192, 256}, Case{"anamorphic.mp4", "video/mp4", 256, 132},
                          Case{"hdr_arib-std-b67.mp4", "video/mp4", 256, 192},
                          Case{"black_open.mp4", "video/mp4", 256, 192}, Case{"vp9.webm", "video/webm", 256, 192}}) {
        SCOPED_TRACE(c.clip);
        const QString out = dir.filePath("factory.png");
        QProcess process;
        QProcessEnvironment env;
        env.insert("PATH", "/usr/local/bin:/usr/bin:/bin");
        env.insert("HOME", dir.path());
        env.insert("XDG_DATA_DIRS", bin + "/share");
        env.insert("GSETTINGS_SCHEMA_DIR", "/usr/share/glib-2.0/schemas");
        // In a sanitized build the leak check at exit needs ptrace, which the
        // factory's seccomp filter forbids; the other tests run the program
        // directly with the leak check on.
        env.insert("ASAN_OPTIONS", "detect_leaks=0");
        process.setProcessEnvironment(env);
        process.start(bwrap, {"--dev-bind", "/", "/", "--bind", bin, "/usr/local/bin", "/usr/bin/python3",
                              REELCAP_FACTORY_SCRIPT, Clip(c.clip), c.mime, out});
        process.waitForFinished(60000);
        ASSERT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
        const QImage image(out);
        EXPECT_EQ(image.width(), c.width);
        EXPECT_EQ(image.height(), c.height);
        EXPECT_FALSE(IsBlank(image));
    }
}
