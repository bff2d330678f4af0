// One deck of the window: a view over the window state's per-deck
// controls, players, sound chain and state. The window state keeps its
// control arrays as the window binds them (deck 1's controls, then deck
// 2's); the logic asks the deck for its own.
#pragma once

#include "ui/ControlRanges.h"
#include "ui/MainState.h"

namespace djvp {

class Deck {
 public:
  Deck(MainState& s, DeckId id) : s_(s), id_(id) {}

  DeckId Id() const { return id_; }
  Deck Other() const { return Deck(s_, id_.Other()); }
  MainState& State() const { return s_; }

  // ---------------------------------------------------------- playing
  Grid* Playlist() const { return s_.Playlist(id_); }
  // ab 0 for the deck's player A, 1 for B.
  clsBassPlayer* Player(int ab) const { return s_.Player(id_, ab); }
  engine::Handle Chain() const { return s_.Chain(id_); }

  // ---------------------------------------------------------- deck panel
  ui::Button& Button(ctl::PlayerButton b) const {
    return s_.cmdPlayer[id_.Slot(ctl::kDeckButtons, static_cast<int>(b))];
  }
  ui::Slider& Position() const { return s_.PositionSlider(id_); }
  ui::Slider& Volume() const { return s_.VolumeSlider(id_); }
  ui::Slider& Headphone() const { return s_.HeadphoneSlider(id_); }
  ui::LedMeter& Meter() const { return id_.IsFirst() ? s_.pctVolume1 : s_.pctVolume2; }
  ui::Caption& Elapsed() const { return s_.cTime[id_.Index()]; }
  ui::Caption& Remaining() const { return s_.rTime[id_.Index()]; }
  ui::Caption& Length() const { return s_.tTime[id_.Index()]; }
  // The playlist row's tempo, and the tempo measured and heard now.
  ui::Caption& RowBpm() const { return s_.lblBPM[id_.Index()]; }
  ui::Caption& TempoBpm() const { return s_.lblBPM[id_.Index() + 2]; }
  ui::Caption& Label(ctl::DeckLabel label) const { return s_.SCLabel1[ctl::LabelOf(id_, label)]; }

  // The title display: its cells, the text that scrolls, where it stands.
  ui::PictureCell& TitleCell(int c) const { return s_.Image1[id_.Slot(20, c)]; }
  QString& ScrollerText() const { return s_.ScrollerText[id_.Index()]; }
  int16_t& ScrollerPos() const { return s_.ScrollerPos[id_.Index()]; }
  int16_t& ScrollerWidth() const { return s_.ScrollerWidth[id_.Index()]; }

  // ---------------------------------------------------------- sound
  // Slider k of the deck's 14 (0 tempo, 1 sample rate, 2 pitch, 3..13 the
  // effect parameters), band 0..9, spinner 0..3 (gain, High, Mid, Low),
  // and the effect box by deck 1's box number; each with its index in its
  // array, which the controls' handlers take.
  static constexpr int kSliders = ui::kDeckSliders, kBands = ui::kDeckBands, kSpinners = ui::kDeckSpinners;
  int SliderIndex(int k) const { return static_cast<int>(id_.Slot(kSliders, k)); }
  ui::Slider& EffectSlider(int k) const { return s_.sldEffects[id_.Slot(kSliders, k)]; }
  int BandIndex(int band) const { return static_cast<int>(id_.Slot(kBands, band)); }
  ui::Slider& Band(int band) const { return s_.Eq[id_.Slot(kBands, band)]; }
  int SpinnerIndex(int k) const { return static_cast<int>(id_.Slot(kSpinners, k)); }
  ui::Slider& Spinner(int k) const { return s_.UpDown[id_.Slot(kSpinners, k)]; }
  int EffectBoxIndex(int box) const { return static_cast<int>(ctl::EffectBoxOf(id_, box)); }
  ui::CheckBox& EffectBox(int box) const { return s_.Effects[ctl::EffectBoxOf(id_, box)]; }
  MainState::StartTempoWait& TempoWait() const { return s_.StartTempoWaits[id_.Index()]; }
  int16_t& LoadedFormat() const { return s_.LoadedFormat[id_.Index()]; }

  // ---------------------------------------------------------- mixing
  // The crossfade transitions that fade into this deck (decks::Slot: 0-5
  // into deck 1, 6-11 into deck 2).
  static constexpr int kFadesInto = 6;
  bool& FadeInto(int k) const { return s_.Decks.FadeActive[id_.Slot(kFadesInto, k)]; }

 private:
  MainState& s_;
  DeckId id_;
};

}  // namespace djvp
