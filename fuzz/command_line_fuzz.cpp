// The command-line parser: any words as arguments (split at NUL bytes, bytes
// as given, UTF-8 or not). Every outcome is a run, a text to print, or a usage
// message that says what was wrong; a run holds settings the sheet accepts.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/command_line.h"
#include "sheet/sheet_layout.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    std::vector<std::string> args{"reelcap-sheet"};
    std::string word;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == 0) {
            args.push_back(word);
            word.clear();
        } else {
            word.push_back(char(data[i]));
        }
    }
    if (!word.empty()) args.push_back(word);

    // A folder that does not exist: no options.lyt is found unless named.
    const ParseOutcome outcome = ParseCommandLine(args, "/nonexistent/reelcap-fuzz");
    if (outcome.kind != ParseOutcome::Run && outcome.text.empty()) std::abort();
    if (outcome.kind == ParseOutcome::Run) {
        const CliSettings& s = outcome.settings;
        if (s.frames < 1 || s.jobs < 1) std::abort();
        if (!CheckSheetInput({}, s.options)) std::abort();
    }
    return 0;
}
