#pragma once
// One thumbnail, start to end: the movie opened for grabbing only, the frame
// chosen and scaled, the PNG written whole under its name or not at all.
#include "base/op_result.h"
#include "thumbnailer/thumbnail_request.h"

OpResult MakeThumbnail(const ThumbnailRequest& request);
