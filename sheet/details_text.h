#pragma once
// Texts drawn on a contact sheet: the details block made from its template,
// and the DrawText-style flags that place the block and the tile labels.
#include <cstdint>
#include <string>
#include <string_view>

#include "sheet/movie_details.h"
#include "settings/sheet_options.h"

// Every non-overlapping occurrence of `from`, left to right, replaced by `to`.
// Text inserted by the replacement is not searched again in the same pass.
std::string ReplaceAll(std::string text, std::string_view from, std::string_view to);

// The template with "[FILE_SIZE]", "[FILE_NAME]", "[WIDTH]", "[HEIGHT]" and
// "[DURATION]" replaced in that order; later passes also act on text inserted
// by earlier ones. The result has no length limit.
std::string SubstituteDetails(std::string_view detailsTemplate, const MovieDetails& details);

// DT_EXPANDTABS plus the alignment of the block's corner; unknown positions
// are drawn like TopLeft.
uint32_t DetailsFormatFlags(int32_t position);
// DT_WORD_ELLIPSIS | DT_SINGLELINE plus the alignment of the label's corner.
uint32_t LabelFormatFlags(int32_t position);
