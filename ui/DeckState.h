// The decks' playback and mixing state that the main window carries: the
// twelve crossfade transitions, the fade lengths of the curve, the automatic
// next-row switch, the mix points of the song started last and the tempo
// that automatic tempo matching works against.
#pragma once

#include <array>
#include <chrono>
#include <cstdint>

namespace decks {

// The twelve crossfade transitions by slot. Slots 0-5 fade into a deck-1
// player, 6-11 into a deck-2 player.
enum Slot : int {
  k1A_1B = 0,
  k1B_1A = 1,
  k2A_1A = 2,
  k2A_1B = 3,
  k2B_1A = 4,
  k2B_1B = 5,
  k2A_2B = 6,
  k2B_2A = 7,
  k1A_2A = 8,
  k1B_2A = 9,
  k1A_2B = 10,
  k1B_2B = 11,
};
constexpr int kSlots = 12;

struct DeckState {
  // Transition k is armed: its outgoing player fades out towards
  // FadeOutEndMs[k] (a position of the outgoing stream in milliseconds)
  // while its incoming player fades in.
  std::array<bool, kSlots> FadeActive{};
  std::array<int32_t, kSlots> FadeOutEndMs{};
  // Lengths of the fade-out and fade-in in percent of the mix time, taken
  // from the crossfade curve at every accepted start.
  int16_t FadeOutPercent = 0;
  int16_t FadeInPercent = 0;
  // The playback timer's next-row step fired and its transition has not
  // ended; no further automatic start fires meanwhile.
  bool AutomixTransition = false;
  // Mix points of the row started last, in bytes of its stream; 0 = none.
  int64_t StartMixBytes = 0;
  int64_t EndMixBytes = 0;
  // The tempo that automatic tempo matching works against.
  float MasterBPM = 0;
  // Set while a crossfade transition runs; starts are refused meanwhile.
  bool CrossfadeRunning = false;
  // When the window was made, on a clock that never runs backwards: the
  // status bar's elapsed time counts from here.
  std::chrono::steady_clock::time_point Created = std::chrono::steady_clock::now();

  bool AnyTransition() const {
    for (bool on : FadeActive)
      if (on) return true;
    return false;
  }
};

}  // namespace decks
