#include "app/DeviceSet.h"

#include "engine/Engine.h"

#include <vector>

namespace djvp {

std::optional<std::vector<std::string>>& DeviceNamesOverride() {
  static std::optional<std::vector<std::string>> names;
  return names;
}

std::vector<std::string> OutputDeviceNames() {
  if (DeviceNamesOverride()) return *DeviceNamesOverride();
  std::vector<std::string> names;
  for (int i = 1;; ++i) {
    const char* name = engine::DeviceName(i);
    if (!name) break;
    names.emplace_back(name);
  }
  return names;
}

std::optional<std::vector<int>>& SystemOrderOverride() {
  static std::optional<std::vector<int>> order;
  return order;
}

int DeviceInSystemOrder(int n) {
  if (!SystemOrderOverride()) return engine::DeviceInSystemOrder(n);
  const std::vector<int>& order = *SystemOrderOverride();
  return n >= 1 && static_cast<size_t>(n) <= order.size() ? order[static_cast<size_t>(n - 1)] : 0;
}

std::optional<DeviceSet::Ops>& DeviceOpsOverride() {
  static std::optional<DeviceSet::Ops> ops;
  return ops;
}

DeviceSet::DeviceSet() {
  if (DeviceOpsOverride()) {
    ops_ = *DeviceOpsOverride();
    return;
  }
  ops_.init = [](int device, uint32_t flags) { return engine::DeviceInit(device, 44100, flags, nullptr); };
  ops_.free = [](int device) {
    if (engine::DeviceSelect(device)) engine::DeviceFree();
  };
}

int DeviceSet::DeviceOf(Output output) const {
  const auto it = use_.find(output);
  return it == use_.end() ? 0 : it->second;
}

bool DeviceSet::InUse(int device) const {
  for (const auto& [output, d] : use_)
    if (d == device) return true;
  return false;
}

bool DeviceSet::Use(Output output, int device, uint32_t flags, bool songsPlaying) {
  use_[output] = device;
  bool ok = true;
  const auto it = open_.find(device);
  if (it == open_.end()) {
    ok = ops_.init && ops_.init(device, flags);
    if (ok) open_[device] = flags;
  } else if ((it->second & flags) != flags && !songsPlaying) {
    // Open again with the speaker assignment the output asks for.
    if (ops_.free) ops_.free(device);
    open_.erase(it);
    ok = ops_.init && ops_.init(device, flags);
    if (ok) open_[device] = flags;
  }
  CloseUnused(songsPlaying);
  return ok;
}

void DeviceSet::Drop(Output output, bool songsPlaying) {
  use_.erase(output);
  CloseUnused(songsPlaying);
}

void DeviceSet::CloseUnused(bool songsPlaying) {
  if (songsPlaying) return;
  std::vector<int> unused;
  for (const auto& [device, flags] : open_)
    if (!InUse(device)) unused.push_back(device);
  for (int device : unused) {
    if (ops_.free) ops_.free(device);
    open_.erase(device);
  }
}

void DeviceSet::CloseListed(int count) {
  for (int device = 1; device <= count; ++device)
    if (ops_.free) ops_.free(device);
  open_.clear();
  use_.clear();
}

void DeviceSet::CloseAll() {
  for (const auto& [device, flags] : open_)
    if (ops_.free) ops_.free(device);
  open_.clear();
  use_.clear();
}

}  // namespace djvp
