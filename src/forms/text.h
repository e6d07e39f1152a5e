// Text as characters: the program's strings are UTF-8, and positions, lengths and case
// conversions count characters (code points), not bytes. A byte that is not valid UTF-8 counts as
// one character (U+FFFD) so that any file name can be measured.
#pragma once

#include <string>

namespace quildor::forms {

std::u32string DecodeUtf8(const std::string& s);
std::string EncodeUtf8(const std::u32string& s);

}  // namespace quildor::forms
