#include "settings/options_store.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "base/staged_file.h"
#include "base/read_file.h"

namespace {

OptionsStore* g_instance = nullptr;

}  // namespace

OptionsStore::OptionsStore(std::string filePath) : m_filePath(std::move(filePath)), m_previousInstance(g_instance) {
    g_instance = this;
    Load();
}

OptionsStore::~OptionsStore() {
    Save();  // unconditionally: in-memory changes since the last save persist
    if (g_instance == this) g_instance = m_previousInstance;
}

std::string OptionsStore::DefaultPath() {
    std::vector<char> buffer(4096);
    while (!::getcwd(buffer.data(), buffer.size())) {
        // Too long for the buffer: try a bigger one. Anything else (the folder
        // was removed): fall back to a name relative to wherever we are.
        if (errno != ERANGE || buffer.size() >= (1u << 20)) return "options.lyt";
        buffer.resize(buffer.size() * 2);
    }
    std::string folder = buffer.data();
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder + "options.lyt";
}

OptionsStore* OptionsStore::Instance() { return g_instance; }

OpResult ReadOptionsFile(const std::string& path, SheetOptions& options) {
    std::string why;
    UniqueFile file = OpenRegularFile(path, false, why);
    if (!file) return OpResult::Failure("cannot open \"" + path + "\": " + why);
    errno = 0;
    uint8_t bytes[kSheetOptionsFileSize];
    const size_t count = std::fread(bytes, 1, sizeof bytes, file.get());
    if (std::ferror(file.get())) {
        return OpResult::Failure(std::string("cannot read \"") + path + "\": " + std::strerror(errno ? errno : EIO));
    }
    options.FromBytes(bytes, count);
    return OpResult::Success();
}

void OptionsStore::Load() {
    // A pipe or folder of that name gives the defaults instead of a hang.
    std::string why;
    UniqueFile file = OpenRegularFile(m_filePath, false, why);
    if (!file) {
        SetDefaults();
        Save();
        return;
    }
    // Only the first record's worth counts; fields a short file does not
    // cover take their defaults.
    uint8_t bytes[kSheetOptionsFileSize];
    const size_t count = std::fread(bytes, 1, sizeof bytes, file.get());
    m_options.FromBytes(bytes, count);
}

bool OptionsStore::Save() const {
    // A torn or half-written options file would be read back as garbage at the
    // next start; write a complete copy and swap it in, or leave the old one.
    // Durable: the settings just saved survive a power cut, folder entry and all.
    StagedFile output;
    if (!output.Open(m_filePath, WriteMode::Replace, true)) return SaveInPlace();
    if (std::fwrite(&m_options, 1, kSheetOptionsFileSize, output.File()) != kSheetOptionsFileSize) return false;
    return bool(output.Commit());
}

// No file can be made beside the options file (a folder the user may not
// write to, no free inode) while the file itself may be written: the record is
// written over the old one (never creating or truncating the file) rather than
// losing the settings.
bool OptionsStore::SaveInPlace() const {
    std::string why;
    UniqueFile file = OpenRegularFile(m_filePath, true, why);
    if (!file) return false;
    const bool written = std::fwrite(&m_options, 1, kSheetOptionsFileSize, file.get()) == kSheetOptionsFileSize &&
                         std::fflush(file.get()) == 0;
    return written && ::fsync(::fileno(file.get())) == 0;
}
