#include "automation/Server.h"

namespace automation {

std::atomic<int>& LiveObjectCount() {
  static std::atomic<int> count{0};
  return count;
}

}  // namespace automation
