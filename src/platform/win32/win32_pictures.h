// Pictures on Windows: decoded through WIC into 32-bit top-down DIB sections (HBITMAP), owned by
// the picture handle. COM must be initialised on the GUI thread first (Win32Platform does).
#pragma once

#include <windows.h>

#include <string>

#include "forms/form.h"

namespace quildor::win32 {

// Decodes an encoded picture held in memory (the first frame). Throws PlatformError with `name`.
forms::Picture DecodePicture(const void* data, std::size_t size, const std::string& name);

// The HBITMAP a picture handle holds, or nullptr.
HBITMAP BitmapOf(const forms::Picture& p);

}  // namespace quildor::win32
