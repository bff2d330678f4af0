#pragma once

#include "TagFile.h"
#include "WString.h"

namespace sonavex {

class CLyricsTag {
 public:
  void Clear() {}
  // Looks for the tag in the open file; true when found.
  bool Read(TagFile& file) { return false; }
  // The seven generic fields as this tag holds them.
  GenericStrings GetGenericStrings() { return {}; }
  // Stores the seven generic fields into the tag (memory only).
  void SetGenericStrings(const GenericStrings& g) {}
  bool SaveChangesToFile(const WString& path) { return false; }
};

}  // namespace sonavex
