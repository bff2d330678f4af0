#include "decks/MixerSliders.h"

#include "audio/BassPlayer.h"
#include "audio/ModBass.h"
#include "decks/Transitions.h"
#include "engine/Engine.h"
#include "platform/SystemMixer.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/Text.h"

#include <array>
#include <cmath>

namespace djvp::mixer {

namespace {

std::array<clsBassPlayer*, 2> PlayersOf(const MainState& s, DeckId deck) {
  return {s.Player(deck, 0), s.Player(deck, 1)};
}

bool Playing(const clsBassPlayer* p) { return p && p->IsPlaying(); }

// Moves one stream to the slider's second and plays it on from there.
void SeekStream(engine::Handle stream, const ui::Slider& slider) {
  engine::Pause(stream);
  const float seconds = static_cast<float>(slider.value());
  const auto bytes = static_cast<uint32_t>(engine::SecondsToBytes(stream, seconds));
  modBass_SetPosition(stream, bytes);
  engine::Play(stream, false);
}

}  // namespace

bool AutomixRuns(const MainState& s) { return s.AutomixOn && !s.PreListenOn; }

bool DeckHeardBesides(const MainState& s, DeckId deck, const clsBassPlayer* p) {
  for (const clsBassPlayer* q : PlayersOf(s, deck))
    if (q != p && Playing(q) && q->volume() > 0) return true;
  return false;
}

void HearWaitingSongs(MainState& s) {
  if (AutomixRuns(s)) return;
  for (DeckId deck : kBothDecks) {
    const auto players = PlayersOf(s, deck);
    if (!Playing(players[0]) && !Playing(players[1])) continue;
    if (DeckHeardBesides(s, deck, nullptr)) continue;
    bool comesIn = false;
    for (size_t k = 0; k < decks::kTransitions.size(); ++k) {
      const decks::Transition& t = decks::kTransitions[k];
      if (!s.Decks.FadeActive[k] || t.inDeck != deck || t.SameDeck()) continue;
      const clsBassPlayer* out = s.Player(t.outDeck, t.outAB);
      if (Playing(out) && out->volume() > 0) comesIn = true;
    }
    if (!comesIn) Volume_ValueChanged(s, deck);
  }
}

void TakeDeckVolumes(MainState& s, DeckId deck, clsBassPlayer& p) {
  p.volume(DeckHeardBesides(s, deck, &p) ? int16_t{0} : static_cast<int16_t>(100 - s.VolumeSlider(deck).value()));
  p.PreVolume(static_cast<int16_t>(100 - s.HeadphoneSlider(deck).value()));
}

void Position_ValueChanged(MainState& s, DeckId deck) {
  const auto players = PlayersOf(s, deck);
  if (!Playing(players[0]) && !Playing(players[1])) return;
  const ui::Slider& slider = s.PositionSlider(deck);
  for (clsBassPlayer* p : players) {
    if (!Playing(p)) continue;
    SeekStream(p->STRM(), slider);
    // A player without a headphone device has no mirror (handle 0), which
    // the engine refuses quietly.
    SeekStream(p->PreSTRM(), slider);
  }
}

void Volume_ValueChanged(MainState& s, DeckId deck) {
  const int value = s.VolumeSlider(deck).value();
  for (clsBassPlayer* p : PlayersOf(s, deck))
    if (Playing(p)) p->volume(static_cast<int16_t>(100 - value));
}

void VolumeHP_ValueChanged(MainState& s, DeckId deck) {
  const int value = s.HeadphoneSlider(deck).value();
  for (clsBassPlayer* p : PlayersOf(s, deck))
    if (Playing(p)) p->PreVolume(static_cast<int16_t>(100 - value));
}

void Slider1_ValueChanged(MainState& s) {
  // Each volume slider's handler runs from the slider's own event when its
  // value changes and once more from the call, so that the volumes apply
  // also when the slider already stood there; a slider whose events are held
  // back stays quiet both ways.
  const int v = s.Slider1.value();
  s.Volume1.setValueClamped(v);
  if (!s.Volume1.Blocked()) Volume_ValueChanged(s, kDeck1);
  s.Volume2.setValueClamped(100 - v);
  if (!s.Volume2.Blocked()) Volume_ValueChanged(s, kDeck2);
  HearWaitingSongs(s);
}

void ShowPreListenState(MainState& s) {
  s.SCLabel1[ctl::kLblPreListenState].setText(ui::T(s.PreListenOn ? kStrOn : kStrOff));
}

void Command1_Click(MainState& s) {
  // The switch itself decides the way, not the label's text: the label may
  // have been re-captioned by a change of language meanwhile.
  s.PreListenOn = !s.PreListenOn;
  ShowPreListenState(s);
  HearWaitingSongs(s);
}

void MainVolume_ValueChanged(MainState& s) {
  if (!s.SystemVolume) return;
  const double v = std::nearbyint(s.WaveVolumeStep * (100.0 - s.MainVolume.value()));
  s.SystemVolume->WaveVolume(static_cast<int32_t>(v));
}

}  // namespace djvp::mixer
