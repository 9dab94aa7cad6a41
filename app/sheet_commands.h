#pragma once
// The two menu commands built on the options dialog: Options edits the
// settings; Save File edits them in save mode, asks for a file name and
// writes the contact sheet there.
#include <string>
#include <vector>

#include "sheet/movie_details.h"
#include "image/dib_image.h"

class QWidget;

// The options dialog in normal mode on the process's options record.
void RunOptionsCommand(QWidget* parent);

// The options dialog in save mode; after "Save", a JPEG file name (asking
// before replacing a file, ".jpg" added to a name without one); then the
// sheet of `frames` (with their `labels`, in strip order) and the last
// movie's `details`. A sheet that cannot be made or written is reported with
// its reason. The frames are only read. The file dialog opens in
// `startFolder`. Answers the path of the sheet written, "" when none was.
std::string RunSaveFileCommand(QWidget* parent, const std::vector<const CDibImage*>& frames,
                               const std::vector<const char*>& labels, const MovieDetails& details,
                               const std::string& startFolder = {});
