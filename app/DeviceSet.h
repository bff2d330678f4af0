// Which sound device each output of the program (deck 1, deck 2, the
// headphones) plays on, and which devices are open. A device is opened once,
// however many outputs use it, and stays open while any output uses it;
// choosing a device for one output never closes a device that another output
// or a playing song still needs. A device nothing uses any more is closed
// when no song plays (or at shutdown).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace djvp {

class DeviceSet {
 public:
  enum Output { kDeck1 = 0, kDeck2 = 1, kHeadphones = 2 };

  // The engine's device calls; tests replace them.
  struct Ops {
    std::function<bool(int device, uint32_t flags)> init;
    std::function<void(int device)> free;
  };
  DeviceSet();
  explicit DeviceSet(Ops ops) : ops_(std::move(ops)) {}

  // Makes `device` (1..N) the device of the output, opening it unless it is
  // open with at least `flags`; a device open without the speaker flag that
  // the call asks for is opened again with it when no song plays. False when
  // opening failed (the output still counts as using it, so a later choice
  // tries again). `songsPlaying` tells whether any song plays right now.
  bool Use(Output output, int device, uint32_t flags, bool songsPlaying);
  // The output uses no device any more (the headphones set to "None").
  void Drop(Output output, bool songsPlaying);
  // Closes the open devices that no output uses, unless songs play.
  void CloseUnused(bool songsPlaying);
  // Closes every open device (shutdown).
  void CloseAll();
  // Closes devices 1..count, open or not (shutdown: every listed device).
  void CloseListed(int count);

  bool IsOpen(int device) const { return open_.count(device) != 0; }
  int DeviceOf(Output output) const;
  int OpenCount() const { return static_cast<int>(open_.size()); }

 private:
  bool InUse(int device) const;
  Ops ops_;
  std::map<Output, int> use_;
  std::map<int, uint32_t> open_;  // device -> the flags it was opened with
};

// The names of the output devices 1..N: the engine's (the system's default
// output first), or the list a test sets in DeviceNamesOverride.
std::vector<std::string> OutputDeviceNames();
std::optional<std::vector<std::string>>& DeviceNamesOverride();

// The device number (1..N) now of the device that was number n when the
// devices were listed in the sound system's own order (as settings stored
// them before the default output came first); 0 when there is none. The
// engine's, or the device numbers a test sets in SystemOrderOverride (its
// entry n - 1 for n).
int DeviceInSystemOrder(int n);
std::optional<std::vector<int>>& SystemOrderOverride();

// When set, every DeviceSet made with the default constructor uses these
// calls instead of the engine's (tests).
std::optional<DeviceSet::Ops>& DeviceOpsOverride();

}  // namespace djvp
