// JPEG files for CDibImage, through libjpeg's 6b interface (library version 62).
//
// The library reports a fatal error by calling error_exit, which must not
// return; its standard handler ends the process. Ours jumps back to the
// operation with the library's own text, so a bad file or a full disk becomes
// a failure the caller can show. Every span of library calls runs inside
// RunGuarded and owns nothing with a destructor: the objects that need
// cleaning up (file, codec object, row buffer) live outside it.

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include <sys/stat.h>

#include <jpeglib.h>
#include <jerror.h>

#include "base/staged_file.h"
#include "image/dib_image.h"
#include "base/memory_budget.h"
#include "base/read_file.h"

namespace {

// A progressive file may have any number of scans, each one a full pass over
// the coefficients; a crafted file with thousands of them would keep the
// decoder busy for minutes. Real files have about ten.
constexpr int kMaxScans = 500;

// What the decoder needs beside the coefficients and the picture: row
// buffers of a few block rows per component, and the library's own tables.
uint64_t WorkingBytes(const jpeg_decompress_struct& info) {
    return uint64_t(info.image_width) * uint64_t(std::max(info.num_components, 1)) * 64 + (8u << 20);
}

// A file with more than one scan (every progressive file, and a baseline one
// that stores its components apart) is decoded in two passes: the library
// first gathers the coefficients of the whole image, 2 bytes for each of the
// 64 of every block of every component, then makes the rows. A tiny file may
// claim an enormous size; this buffer, not the picture, is then most of what
// the load costs.
uint64_t CoefficientBytes(const jpeg_decompress_struct& info) {
    if (!info.progressive_mode && info.comps_in_scan >= info.num_components) return 0;
    uint64_t bytes = 0;
    for (int c = 0; c < info.num_components; ++c) {
        const jpeg_component_info& comp = info.comp_info[c];
        const uint64_t h = uint64_t(std::max(comp.h_samp_factor, 1));
        const uint64_t v = uint64_t(std::max(comp.v_samp_factor, 1));
        const uint64_t across = (uint64_t(comp.width_in_blocks) + h - 1) / h * h;
        const uint64_t down = (uint64_t(comp.height_in_blocks) + v - 1) / v * v;
        bytes += across * down * DCTSIZE2 * sizeof(JCOEF);
    }
    return bytes;
}

// Every block of every component costs at least one bit in the first scan
// (its DC difference), so a file smaller than this cannot hold the picture it
// claims; real photographs take a hundred times as much. Without this bound a
// few hundred bytes that claim a huge picture would have it allocated and
// made from filler, for many seconds.
uint64_t LeastBytesFor(const jpeg_decompress_struct& info) {
    uint64_t blocks = 0;
    for (int c = 0; c < info.num_components; ++c)
        blocks += uint64_t(info.comp_info[c].width_in_blocks) * uint64_t(info.comp_info[c].height_in_blocks);
    return blocks / 8;
}

uint64_t FileBytes(FILE* file) {
    struct stat status {};
    return ::fstat(::fileno(file), &status) == 0 ? uint64_t(status.st_size) : UINT64_MAX;
}

// How much one load may allocate: three quarters of the memory this process
// can still take; UINT64_MAX when nothing can be learnt.
uint64_t LoadBudget() {
    const uint64_t available = AvailableMemory();
    return available > 0 ? available / 4 * 3 : UINT64_MAX;
}

std::string Megabytes(uint64_t bytes) { return std::to_string((bytes + (1u << 19)) >> 20) + " MB"; }

struct JpegErrors {
    jpeg_error_mgr manager;  // first: the library knows only this part
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    char warning[JMSG_LENGTH_MAX];
    // The data ran out: from here on the library decodes filler it made up.
    bool dataEnded;
};
static_assert(std::is_standard_layout_v<JpegErrors>);

JpegErrors& ErrorsOf(j_common_ptr info) { return *reinterpret_cast<JpegErrors*>(info->err); }

[[noreturn]] void JumpBackOnError(j_common_ptr info) {
    JpegErrors& errors = ErrorsOf(info);
    (*info->err->format_message)(info, errors.message);
    // A message table without this code still names the failing library.
    if (errors.message[0] == '\0')
        std::snprintf(errors.message, sizeof errors.message, "JPEG library error %d", info->err->msg_code);
    std::longjmp(errors.jump, 1);
}

// Corrupt but decodable data only warns and decoding goes on. Nothing is
// printed; the first warning is kept so the caller can mention it, and the
// end of the data is noted whichever warning came first (the library's own
// handler passes on only the first).
void KeepFirstWarning(j_common_ptr info, int level) {
    if (level >= 0) return;  // trace messages
    JpegErrors& errors = ErrorsOf(info);
    // A marker met inside the image data ends it as well, unless restart
    // markers let the decoder pick the data up again further on.
    const int code = info->err->msg_code;
    const bool restarts = info->is_decompressor && reinterpret_cast<j_decompress_ptr>(info)->restart_interval > 0;
    if (code == JWRN_JPEG_EOF || (code == JWRN_HIT_MARKER && !restarts)) errors.dataEnded = true;
    if (errors.warning[0] == '\0') (*info->err->format_message)(info, errors.warning);
    ++info->err->num_warnings;
}

void LimitScans(j_common_ptr info) {
    if (!info->is_decompressor) return;
    const auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
    if (decompress->input_scan_number <= kMaxScans) return;
    JpegErrors& errors = ErrorsOf(info);
    std::snprintf(errors.message, sizeof errors.message, "more than %d scans in a progressive file", kMaxScans);
    std::longjmp(errors.jump, 1);
}

jpeg_error_mgr* InstallErrors(JpegErrors& errors) {
    jpeg_std_error(&errors.manager);
    errors.manager.error_exit = JumpBackOnError;
    errors.manager.emit_message = KeepFirstWarning;
    errors.message[0] = '\0';
    errors.warning[0] = '\0';
    errors.dataEnded = false;
    return &errors.manager;
}

// Runs a span of library calls; false when the library raised a fatal error,
// whose text is then in errors.message. The jump target lives only while the
// body runs, and the body must not own objects with destructors.
template <class Body>
bool RunGuarded(JpegErrors& errors, Body&& body) {
    if (setjmp(errors.jump) != 0) return false;
    body();
    return true;
}

// Codec objects, destroyed on every path. Destroying an object that was never
// created (all zero) is a no-op in the library.
struct Compressor {
    Compressor() {
        std::memset(&info, 0, sizeof info);
        info.err = InstallErrors(errors);
    }
    ~Compressor() { jpeg_destroy_compress(&info); }
    Compressor(const Compressor&) = delete;
    Compressor& operator=(const Compressor&) = delete;

    JpegErrors errors;
    jpeg_compress_struct info;
};

struct Decompressor {
    Decompressor() {
        std::memset(&info, 0, sizeof info);
        info.err = InstallErrors(errors);
        progress.progress_monitor = LimitScans;
    }
    ~Decompressor() { jpeg_destroy_decompress(&info); }
    Decompressor(const Decompressor&) = delete;
    Decompressor& operator=(const Decompressor&) = delete;

    JpegErrors errors;
    jpeg_progress_mgr progress{};
    jpeg_decompress_struct info;
};

void BgrToRgb(const uint8_t* source, uint8_t* target, int32_t width) {
    for (int32_t x = 0; x < width; ++x, source += 3, target += 3) {
        target[0] = source[2];
        target[1] = source[1];
        target[2] = source[0];
    }
}

// The library's row in the chosen output format to a stored BGR row.
void StoreRow(const uint8_t* source, uint8_t* target, int32_t width, int components, bool invertedCmyk) {
    if (components == 3) {
        BgrToRgb(source, target, width);  // the swap is its own inverse
        return;
    }
    // CMYK: each ink darkens its channel, black darkens all three. Files from
    // Adobe applications (marked by their APP14 segment) store the inks
    // inverted, 255 meaning no ink.
    for (int32_t x = 0; x < width; ++x, source += 4, target += 3) {
        unsigned c = source[0], m = source[1], y = source[2], k = source[3];
        if (!invertedCmyk) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        target[0] = uint8_t((y * k + 127) / 255);
        target[1] = uint8_t((m * k + 127) / 255);
        target[2] = uint8_t((c * k + 127) / 255);
    }
}

std::string Quoted(const std::string& path) { return "\"" + path + "\""; }

}  // namespace

OpResult CDibImage::SaveJpeg(const std::string& path, int quality, bool progressive) const {
    StagedFile output;
    if (OpResult opened = output.Open(path, WriteMode::Replace); !opened) return opened;
    if (OpResult written = WriteJpeg(output, quality, progressive); !written) return written;
    return output.Commit();
}

OpResult CDibImage::WriteJpeg(StagedFile& output, int quality, bool progressive) const {
    const std::string& path = output.Target();
    const int32_t width = Width();
    const int32_t height = Height();
    if (width <= 0 || height <= 0 || !HasPixels()) {
        return OpResult::Failure("Cannot save " + Quoted(path) + ": the picture is empty (" +
                                 std::to_string(width) + " x " + std::to_string(height) + ")");
    }
    const uint8_t* pixels = Pixels();  // draws pending text into the buffer first
    const size_t stride = size_t(Stride());

    if (!output.File()) return OpResult::Failure("Cannot write " + Quoted(path) + ": the file is not open");

    std::vector<uint8_t> row(size_t(width) * 3);
    Compressor jpeg;
    jpeg_compress_struct& info = jpeg.info;
    const bool encoded = RunGuarded(jpeg.errors, [&] {
        jpeg_create_compress(&info);
        jpeg_stdio_dest(&info, output.File());
        info.image_width = JDIMENSION(width);
        info.image_height = JDIMENSION(height);
        info.input_components = 3;
        info.in_color_space = JCS_RGB;
        jpeg_set_defaults(&info);
        jpeg_set_quality(&info, quality, TRUE);
        if (progressive) jpeg_simple_progression(&info);
        info.density_unit = 1;  // dots per inch
        info.X_density = 96;
        info.Y_density = 96;
        jpeg_start_compress(&info, TRUE);
        // The file starts with the top row, the buffer with the bottom one.
        while (info.next_scanline < info.image_height) {
            const size_t storedRow = size_t(info.image_height - info.next_scanline - 1);
            BgrToRgb(pixels + storedRow * stride, row.data(), width);
            JSAMPROW rows[1] = {row.data()};
            jpeg_write_scanlines(&info, rows, 1);
        }
        jpeg_finish_compress(&info);
    });
    if (!encoded) {
        // A write that fell short is told by its own reason (a full disk, a
        // file size limit), not by the library's guess.
        if (output.Error()) return OpResult::Failure(output.Describe("Cannot write"));
        return OpResult::Failure("Cannot write " + Quoted(path) + ": " + jpeg.errors.message);
    }
    return OpResult::Success();
}

OpResult CDibImage::LoadJpeg(const std::string& path) {
    Release();  // a failed load leaves the image empty
    std::string why;
    UniqueFile file = OpenRegularFile(path, false, why);
    if (!file) return OpResult::Failure("Cannot open " + Quoted(path) + ": " + why);

    Decompressor jpeg;
    jpeg_decompress_struct& info = jpeg.info;
    auto failure = [&] {
        Release();
        return OpResult::Failure("Cannot read " + Quoted(path) + ": " + jpeg.errors.message);
    };

    if (!RunGuarded(jpeg.errors, [&] {
            jpeg_create_decompress(&info);
            info.progress = &jpeg.progress;
            jpeg_stdio_src(&info, file.get());
            jpeg_read_header(&info, TRUE);
        })) {
        return failure();
    }

    // Grey and colour files are delivered as BGR by the library; four-ink
    // files come as CMYK and are converted here.
    bool invertedCmyk = false;
    switch (info.jpeg_color_space) {
        case JCS_GRAYSCALE:
        case JCS_YCbCr:
        case JCS_RGB:
            // Straight into this image's byte order: no second pass over the rows.
            info.out_color_space = JCS_EXT_BGR;
            break;
        case JCS_CMYK:
        case JCS_YCCK:
            info.out_color_space = JCS_CMYK;
            invertedCmyk = info.saw_Adobe_marker;
            break;
        default:
            break;  // unknown: usable only if it has three components
    }
    // Everything the load will allocate is counted before decoding starts: a
    // multi-scan file makes the library allocate its whole coefficient buffer
    // in jpeg_start_decompress. The library is held to the same budget, so
    // anything this count misses is refused by it rather than taken.
    const std::string size = std::to_string(info.image_width) + " x " + std::to_string(info.image_height);
    auto tooLarge = [&](const std::string& detail) {
        Release();
        return OpResult::Failure("Cannot read " + Quoted(path) + ": the picture is too large (" + size + detail + ")");
    };
    if (!SizeFits(info.image_width, info.image_height)) return tooLarge(", more than 4 GiB of pixels");
    const uint64_t pictureBytes = uint64_t(StrideFor(int32_t(info.image_width))) * info.image_height;
    const uint64_t libraryBytes = CoefficientBytes(info) + WorkingBytes(info);
    const uint64_t budget = LoadBudget();
    if (pictureBytes + libraryBytes > budget) {
        return tooLarge(" needs about " + Megabytes(pictureBytes + libraryBytes) + ", " + Megabytes(budget) +
                        " of memory is available");
    }
    if (FileBytes(file.get()) < LeastBytesFor(info)) {
        Release();
        return OpResult::Failure("Cannot read " + Quoted(path) + ": the file is cut off or damaged (" +
                                 std::to_string(FileBytes(file.get())) + " bytes cannot hold a picture of " + size +
                                 ")");
    }
    if (budget != UINT64_MAX) info.mem->max_memory_to_use = long(std::min<uint64_t>(budget - pictureBytes, LONG_MAX));
    if (!RunGuarded(jpeg.errors, [&] { jpeg_start_decompress(&info); })) {
        const int code = jpeg.errors.manager.msg_code;
        if (code == JERR_NO_BACKING_STORE || code == JERR_OUT_OF_MEMORY) {
            return tooLarge(", more than the " + Megabytes(budget) + " of memory available");
        }
        return failure();
    }

    const int components = info.output_components;
    if (components != 3 && !(components == 4 && info.out_color_space == JCS_CMYK)) {
        return OpResult::Failure("Cannot read " + Quoted(path) + ": unsupported colour format (" +
                                 std::to_string(components) + " components)");
    }
    const int32_t width = int32_t(info.output_width);
    const int32_t height = int32_t(info.output_height);
    if (!Create(width, height)) {
        return OpResult::Failure("Cannot read " + Quoted(path) + ": not enough memory for " +
                                 std::to_string(width) + " x " + std::to_string(height) + " pixels");
    }
    uint8_t* pixels = Pixels();
    const size_t stride = size_t(Stride());
    // A file with one scan is read while its rows are made. When it ends
    // early the rest of the picture would be decoded from filler: a tiny file
    // claiming a huge picture would keep the decoder busy for many seconds.
    // The rows it does not hold are grey instead. (A file with more scans has
    // been read whole by now; its rows are all made from what it holds.)
    jpeg.errors.dataEnded = false;
    JDIMENSION decodedRows = 0;  // set when the file ended before the last row

    if (!RunGuarded(jpeg.errors, [&] {
            // The first row of the file is the top of the picture: the last stored row.
            // Too few rows makes jpeg_finish_decompress fail, never a wrong row.
            if (info.out_color_space == JCS_EXT_BGR) {
                constexpr JDIMENSION kRows = 16;
                JSAMPROW rows[kRows];
                while (info.output_scanline < info.output_height && !jpeg.errors.dataEnded) {
                    const JDIMENSION count = std::min(kRows, info.output_height - info.output_scanline);
                    for (JDIMENSION i = 0; i < count; ++i) {
                        rows[i] = pixels + size_t(info.output_height - 1 - (info.output_scanline + i)) * stride;
                    }
                    if (jpeg_read_scanlines(&info, rows, count) == 0) break;
                }
            } else {
                JSAMPARRAY buffer = (*info.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&info), JPOOL_IMAGE,
                                                              info.output_width * JDIMENSION(components), 1);
                while (info.output_scanline < info.output_height && !jpeg.errors.dataEnded) {
                    if (jpeg_read_scanlines(&info, buffer, 1) != 1) break;
                    const size_t storedRow = size_t(info.output_height - info.output_scanline);
                    StoreRow(buffer[0], pixels + storedRow * stride, width, components, invertedCmyk);
                }
            }
            if (info.output_scanline < info.output_height && jpeg.errors.dataEnded) {
                decodedRows = info.output_scanline;
                jpeg_abort_decompress(&info);
            } else {
                decodedRows = info.output_height;
                jpeg_finish_decompress(&info);
            }
        })) {
        return failure();
    }
    // Stored rows run bottom-up: the rows not decoded are the first ones.
    if (decodedRows < JDIMENSION(height)) std::memset(pixels, 0x80, size_t(height - int32_t(decodedRows)) * stride);

    // Decodable damage (a cut-off file, a bad segment) is not an error: the
    // picture loads and the note says what the library noticed.
    OpResult result = OpResult::Success();
    if (jpeg.errors.warning[0] != '\0') result.message = jpeg.errors.warning;
    return result;
}
