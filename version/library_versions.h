#pragma once
// The program's version and the versions of the libraries it found at run
// time (FFmpeg's, Qt's, the JPEG library's): one block of lines that About,
// `reelcap --version` and `reelcap-sheet --version` all show, so that a bug
// report names what was really loaded, not what the build saw.
#include <string>
#include <vector>

// The program's version, from the build's project version: "0.1".
std::string ProgramVersion();

// "Reelcap 0.1", then one line per library.
std::vector<std::string> LibraryVersionLines();

// The same lines, each ended by "\n".
std::string LibraryVersionText();
