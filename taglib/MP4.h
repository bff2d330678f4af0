#pragma once

#include "AudioFormat.h"

namespace sonavex {

class CMP4 : public CAudioFormat {
 public:
  void Clear() override {}
  bool Read(TagFile& file) override { return false; }
  // The seven generic fields as this format's tags hold them.
  GenericStrings GetGenericStrings() { return {}; }
  // Stores the seven generic fields into the tags (memory only).
  void SetGenericStrings(const GenericStrings& g) {}
  bool SaveChangesToFile(const WString& path) { return false; }
};

}  // namespace sonavex
