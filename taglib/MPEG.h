#pragma once

#include "AudioFormat.h"

namespace sonavex {

class CMPEG : public CAudioFormat {
 public:
  void Clear() override {}
  bool Read(TagFile& file) override { return false; }
};

}  // namespace sonavex
