#pragma once
// The process-wide options record and its file "options.lyt". Construction
// loads the file (or writes the defaults when there is none); destruction
// writes the record back unconditionally.
#include <string>

#include "base/op_result.h"
#include "settings/sheet_options.h"

// Reads a stored record without creating, writing or owning the file (tools
// that only use the settings). Fields a short file does not cover take their
// defaults; a file that cannot be read leaves `options` as it was and says why.
OpResult ReadOptionsFile(const std::string& path, SheetOptions& options);

class OptionsStore {
public:
    // filePath is fixed for the store's life.
    explicit OptionsStore(std::string filePath);
    ~OptionsStore();
    OptionsStore(const OptionsStore&) = delete;
    OptionsStore& operator=(const OptionsStore&) = delete;

    // "<current directory at the call>/options.lyt".
    static std::string DefaultPath();
    // The one store of the process (the last constructed and still alive), or null.
    static OptionsStore* Instance();

    SheetOptions& Options() { return m_options; }
    const SheetOptions& Options() const { return m_options; }
    const std::string& FilePath() const { return m_filePath; }

    void SetDefaults() { m_options.SetDefaults(); }
    // Reads the file; when it cannot be opened, applies the defaults and writes them.
    void Load();
    // Atomic write (temporary file + rename); false when it could not be written,
    // in which case the old file is left as it was. Where no temporary file can
    // be made but the file itself is writable, the record is written over it.
    bool Save() const;

private:
    bool SaveInPlace() const;

    SheetOptions m_options{};
    std::string m_filePath;
    OptionsStore* m_previousInstance = nullptr;
};
