// The wildcard file enumeration of the Linux build: a streaming directory read, one enumeration
// at a time. A start reads only a small first block of entries, so that its cost does not grow
// with the folder (a folder of 100,000 photographs starts as fast as one of ten); later reads
// take larger blocks.
#pragma once

#include <string>
#include <vector>

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
  bool Fill();          // reads the next block of entries; false at the end of the folder
  void Close();

  int fd_ = -1;
  std::vector<char> block_;
  std::size_t used_ = 0, pos_ = 0;
  std::string folder_;
  std::string wildcard_;
  bool ended_ = true;
};

}  // namespace quildor::qt
