// The designed range, starting value and steps of the window's sliders and
// spinners that the logic reads: each deck's tempo, sample-rate, pitch and
// effect parameter sliders, equaliser bands, gain and tone spinners, volume,
// headphone volume and position sliders, and the centre panel's crossfader,
// master volume, mix time and automation sliders. The window state gives its
// controls these values and the window's layout builds its widgets from the
// same table, so the window and the logic cannot disagree about a range.
#pragma once

#include "ui/DeckId.h"

#include <array>
#include <cstdint>

namespace djvp::ui {

struct ControlRange {
  int32_t min = 0;
  int32_t max = 0;
  int32_t value = 0;
  // Arrow keys (small) and Page Up/Down or a click beside the handle (large).
  int32_t smallChange = 1;
  int32_t largeChange = 10;
};

// ------------------------------------------------------------------ decks

// A deck's slider k of its 14: 0 tempo (percent), 1 sample rate (Hz), 2
// pitch (semitones), then the effect parameters: 3 reverb level, 4 reverb
// delay, 5 low-pass cut-off, 6 low-pass resonance, 7 big echo dry mix, 8
// big echo wet mix, 9 big echo delay, 10 echo level, 11 echo delay, 12
// flanger speed, 13 flanger wet/dry.
inline constexpr int kDeckSliders = 14;
// A deck's equaliser bands and its spinners (gain, High, Mid, Low).
inline constexpr int kDeckBands = 10;
inline constexpr int kDeckSpinners = 4;

namespace detail {
inline constexpr std::array<ControlRange, kDeckSliders> kDeckSliderRanges = {{
    {-30, 30, 0, 1, 5},
    {4100, 84100, 44100, 1, 5},
    {-30, 30, 0, 1, 5},
    {0, 100, 0, 1, 5},
    {1200, 10000, 1200, 1, 5},
    {200, 5000, 200, 1, 5},
    {2, 10, 2, 1, 5},
    {-200, 200, 0, 1, 5},
    {-200, 200, 0, 1, 5},
    {0, 600, 0, 1, 5},
    {0, 100, 0, 1, 5},
    {1200, 30000, 1200, 1, 5},
    {0, 900, 0, 1, 5},
    {0, 100, 0, 1, 5},
}};
}  // namespace detail

// Deck 2's reverb delay reaches further (30000) than deck 1's; deck 1's big
// echo wet mix and delay and its flanger sliders move by one also on a page
// step. Any k outside 0..13 gives an empty range.
constexpr ControlRange DeckSliderRange(DeckId deck, int k) {
  if (k < 0 || k >= kDeckSliders) return {};
  ControlRange r = detail::kDeckSliderRanges[static_cast<size_t>(k)];
  if (!deck.IsFirst() && k == 4) r.max = 30000;
  if (deck.IsFirst() && (k == 8 || k == 9 || k == 12 || k == 13)) r.largeChange = 1;
  return r;
}

// An equaliser band: 5 is flat.
inline constexpr ControlRange kBandRange{0, 10, 5, 1, 5};

// A deck's spinner k: 0 the gain (26 is unity), 1..3 the High, Mid and Low
// tones (10 is flat).
constexpr ControlRange DeckSpinnerRange(int k) {
  return k == 0 ? ControlRange{0, 52, 26} : ControlRange{0, 20, 10};
}

// A deck's volume and headphone volume sliders: 0 is full volume, 100
// silence.
inline constexpr ControlRange kDeckVolumeRange{0, 100, 0};

// A deck's position slider before its first song: nothing to seek; a start
// sets the maximum to the song's length in seconds.
inline constexpr ControlRange kPositionRange{0, 0, 0};

// ------------------------------------------------------------ centre panel

// The crossfader: 0 deck 1 alone, 100 deck 2 alone.
inline constexpr ControlRange kCrossfaderRange{0, 100, 50};
// The master volume: 0 is the loudest.
inline constexpr ControlRange kMasterVolumeRange{0, 100, 0};
// The mix time in seconds.
inline constexpr ControlRange kMixTimeRange{0, 100, 0};
// Automation slider k: 0 the largest tempo change of Auto BPM (percent), 1
// the silence level of the mix-point measurement.
constexpr ControlRange AutomationSliderRange(int k) {
  return k == 0 ? ControlRange{0, 30, 0} : ControlRange{1, 30, 1};
}

}  // namespace djvp::ui
