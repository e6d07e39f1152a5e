// The Linux build's picture loader: photograph files through libjpeg-turbo (JPEG, at the
// decoder's smallest scale that covers the control) or Qt's image readers (everything else, and
// the JPEGs libjpeg-turbo declines), with the declared-size check before any decoder runs.
#pragma once

#include <string>

#include "forms/form.h"

namespace quildor::qt {

// Loads the picture file at `path` (the first frame) for a stretched control of width x height
// pixels, as Platform::LoadPicture promises: a picture larger than that either way comes back
// scaled smoothly to exactly that size, a smaller one at its own. The decoded image is a QImage
// (see ImageOf). Throws forms::RunTimeError naming the file when it is no regular file, not a
// picture, too large a picture, cut short or damaged.
forms::Picture LoadPictureFile(const std::string& path, int width, int height);

}  // namespace quildor::qt
