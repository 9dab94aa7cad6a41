#pragma once
// The command-line tool's side of writing a movie's files: whether a name is
// taken, the write mode -y gives, and a failed write told in the tool's words.
// The writing itself, and taking everything back when a movie fails, is
// StagedFile's and OutputBatch's.
#include <string>

#include "base/op_result.h"
#include "base/staged_file.h"

// True when anything stands at `path`, a dangling link included.
bool PathTaken(const std::string& path);
// "\"PATH\" exists (-y replaces it)".
std::string ExistsReason(const std::string& path);
// Replace with -y (or --skip-existing), else never replace.
WriteMode OutputMode(bool overwrite);
// `result` of a write to `file`; a file that appeared in its way is told as
// ExistsReason.
OpResult Told(const StagedFile& file, OpResult result);
