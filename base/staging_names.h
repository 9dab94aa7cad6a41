#pragma once
// The hidden names a file has while it is written (StagedFile) and while the
// file it replaced is kept for putting back (OutputBatch), and the removal of
// such names that a killed run left behind.
#include <string>

// ".NAME<tag><pid>-<count>" beside `target`, unique within this process.
// Tags: ".part" for contents being written, ".old" for a replaced file kept.
std::string StagingNameFor(const std::string& target, const char* tag);

// Removes the staging names of `target` (any tag this program has used,
// ".part", ".old" and ".tmp") whose process is no longer running: what a run
// killed while writing `target` left behind. Only regular files named exactly
// so are removed; names of this process and of running ones are left alone.
// Each folder is read once per process, so writing many files into a large
// folder stays cheap; names that appear in it later are not seen.
void RemoveStaleStaging(const std::string& target);
