#include "decks/MixerSliders.h"

#include "app/Globals.h"
#include "app/frmMain.h"
#include "audio/ModBass.h"
#include "engine/Engine.h"
#include "StringTable.h"

#include <QLabel>
#include <QSlider>

#include <array>

namespace djvp::mixer {

namespace {

std::array<clsBassPlayer*, 2> PlayersOf(int deck) {
  if (deck == 0) return {Deck1PlayerA, Deck1PlayerB};
  if (deck == 1) return {Deck2PlayerA, Deck2PlayerB};
  return {nullptr, nullptr};
}

bool Playing(const clsBassPlayer* p) { return p && p->IsPlaying(); }

// Moves one stream to the slider's second and plays it on from there.
void SeekStream(engine::Handle stream, const QSlider* slider) {
  engine::Pause(stream);
  const float seconds = static_cast<float>(slider->value());
  const auto bytes = static_cast<uint32_t>(engine::SecondsToBytes(stream, seconds));
  modBass_SetPosition(stream, bytes);
  engine::Play(stream, false);
}

}  // namespace

void Position_ValueChanged(frmMain& form, int deck) {
  const auto players = PlayersOf(deck);
  if (!Playing(players[0]) && !Playing(players[1])) return;
  if (SuppressSliderEvents) return;
  const QSlider* slider = deck == 0 ? form.Position1 : form.Position2;
  if (!slider) return;
  for (clsBassPlayer* p : players) {
    if (!Playing(p)) continue;
    SeekStream(p->STRM(), slider);
    // A player without a headphone device has no mirror (handle 0), which
    // the engine refuses quietly.
    SeekStream(p->PreSTRM(), slider);
  }
}

void Volume_ValueChanged(frmMain& form, int deck) {
  if (SuppressSliderEvents) return;
  const QSlider* slider = deck == 0 ? form.Volume1 : form.Volume2;
  if (!slider) return;
  for (clsBassPlayer* p : PlayersOf(deck))
    if (Playing(p)) p->volume(static_cast<int16_t>(100 - slider->value()));
}

void VolumeHP_ValueChanged(frmMain& form, int deck) {
  if (SuppressSliderEvents) return;
  const QSlider* slider = deck == 0 ? form.VolumeHP1 : form.VolumeHP2;
  if (!slider) return;
  for (clsBassPlayer* p : PlayersOf(deck))
    if (Playing(p)) p->PreVolume(static_cast<int16_t>(100 - slider->value()));
}

void Slider1_ValueChanged(frmMain& form) {
  if (!form.Slider1 || !form.Volume1 || !form.Volume2) return;
  const int v = form.Slider1->value();
  form.Volume1->setValue(v);
  form.Volume1_ValueChanged();
  form.Volume2->setValue(100 - v);
  form.Volume2_ValueChanged();
}

void ShowPreListenState(frmMain& form) {
  if (QLabel* l = form.SCLabel1(151)) l->setText(QString::fromStdString(Tr(form.PreListenOn ? 552 : 537)));
}

void Command1_Click(frmMain& form) {
  // The switch itself decides the way, not the label's text: the label may
  // have been re-captioned by a change of language meanwhile.
  form.PreListenOn = !form.PreListenOn;
  ShowPreListenState(form);
}

}  // namespace djvp::mixer
