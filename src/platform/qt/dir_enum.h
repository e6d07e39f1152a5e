// The wildcard file enumeration of the Linux build: a streaming directory read through the C
// library, one enumeration at a time. A start reads only the first block of entries (32 KiB), so
// that its cost hardly grows with the folder: a folder of 100,000 photographs starts within a
// fraction of a millisecond of one of ten.
#pragma once

#include <dirent.h>

#include <string>

namespace quildor::qt {

class DirEnumeration {
 public:
  DirEnumeration() = default;
  ~DirEnumeration();
  DirEnumeration(const DirEnumeration&) = delete;
  DirEnumeration& operator=(const DirEnumeration&) = delete;

  // See Platform::DirStart and Platform::DirNext.
  std::string Start(const std::string& pattern);
  std::string Next();

  // True when `name` matches the wildcard `pattern` ('*' any run, '?' one character, letter case
  // ignored; "*.*" and "*" match every name, with or without a dot).
  static bool Matches(const std::string& pattern, const std::string& name);

 private:
  std::string Read();   // the next matching ordinary file, or "" at the end
  void Close();

  DIR* dir_ = nullptr;
  std::string folder_;
  std::string wildcard_;
  bool ended_ = true;
};

}  // namespace quildor::qt
