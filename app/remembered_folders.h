#pragma once
// The folder each file dialog opens in: the one last used for its kind of
// file, kept between runs in the user's settings.
#include <string>

enum class FolderKind {
    Movies,    // Open File, and any movie opened by drop or start argument
    Pictures,  // Open Folder
    Sheets,    // Save File
    Frames,    // Save Multiple
};

// The remembered folder (UTF-8), or "" when none is known or it is gone:
// the dialog then opens where it would without memory.
std::string StartFolder(FolderKind kind);

// Remembers the folder holding `file`.
void RememberFileFolder(FolderKind kind, const std::string& file);
// Remembers `folder` itself.
void RememberFolder(FolderKind kind, const std::string& folder);
