#pragma once

#include "AudioFormat.h"

namespace sonavex {

class CMonkey : public CAudioFormat {
 public:
  void Clear() override {}
  bool Read(TagFile& file) override { return false; }
};

}  // namespace sonavex
