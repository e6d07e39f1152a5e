// Pictures on Windows: decoded through WIC into 32-bit top-down DIB sections (HBITMAP), owned by
// the picture handle. COM must be initialised on the GUI thread first (Win32Platform does).
#pragma once

#include <windows.h>

#include <cstddef>
#include <string>

#include "forms/form.h"
#include "forms/run_time_error.h"

namespace quildor::win32 {

// Decodes an encoded picture held in memory (the first frame). Throws forms::RunTimeError with
// `name`.
forms::Picture DecodePicture(const void* data, std::size_t size, const std::string& name);

// Decodes the picture file at `path` (the first frame) for a stretched control of width x height:
// where it is larger than that in either direction it is scaled smoothly to exactly that size.
// Only an ordinary file is opened. Throws forms::RunTimeError naming the path.
forms::Picture LoadPictureFile(const std::wstring& path, const std::string& name, int width,
                               int height);

// The HBITMAP a picture handle holds, or nullptr.
HBITMAP BitmapOf(const forms::Picture& p);

}  // namespace quildor::win32
