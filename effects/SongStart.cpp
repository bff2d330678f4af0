// The song start: the deck's settings on the new song's streams, the
// automatic gain and the automatic tempo matching.
#include "effects/SongStart.h"
#include "effects/EffectControls.h"
#include "effects/SetAndRun.h"
#include "effects/Targets.h"

#include "audio/BassPlayer.h"
#include "audio/ModBass.h"
#include "decks/Transitions.h"
#include "engine/dsp/Dsp.h"
#include "platform/Grid.h"
#include "playlists/Tags.h"
#include "ui/MainState.h"
#include "ui/SettingsValue.h"
#include "ui/TrackColumns.h"

#include <cmath>
#include <utility>

namespace effects {

using namespace djvp;

namespace {

// The gain spinner's value for a factor of 1.
constexpr double kGainUnity = 26;

// The deck's player whose main stream is `stream`; null when neither.
clsBassPlayer* PlayerOf(const MainState& s, int deck, engine::Handle stream) {
  for (int ab = 0; ab < 2; ++ab)
    if (clsBassPlayer* p = s.Player(deck, ab); p && stream != 0 && p->STRM() == stream) return p;
  return nullptr;
}

// Every setting of the deck once more, now on the new stream.
void ReapplyDeckSettings(MainState& s, int deck, clsBassPlayer* started) {
  const int d = deck - 1;
  // The seven effect switches, in box order (deck 2's run from Flanger to
  // Reverb); the Equalizer and Pitch boxes would reset what follows.
  const int firstBox = deck == 1 ? ctl::kReverbBox : ctl::EffectBoxOf(1, ctl::kFlangerBox);
  for (int box = firstBox; box < firstBox + 7; ++box)
    if (s.Effects[static_cast<size_t>(box)].isChecked()) ApplyEffectSwitch(s, box, started);
  for (int k = 0; k < 3; ++k) sldEffects_ValueChanged(s, d * 14 + k);
  for (int band = 0; band < 10; ++band) Eq_ValueChanged(s, d * 10 + band);
  for (int k = 0; k < 4; ++k) UpDown_ValueChanged(s, d * 4 + k);
}

// Auto Gain: the volume factor from the row's loudness figure,
// on the started main stream only (replacing the gain spinner's factor
// there). A cell without a figure gives the factor 1 whatever the spinner
// shows.
void AutomaticGain(MainState& s, int deck, engine::Handle stream, const QString& gainCell) {
  float loudness = 0, spinner = 0;
  if (const std::optional<double> figure = ui::ParseNumber(gainCell)) {
    loudness = static_cast<float>(*figure);
    spinner = static_cast<float>(s.UpDown[static_cast<size_t>((deck - 1) * 4)].value() / kGainUnity);
  }
  const float factor = (100.0f - loudness) / 10.0f * spinner + 1.0f;
  engine::AddEffect(stream, engine::dsp::kVolume, 0);
  engine::dsp::VolumeParams r{};
  engine::GetEffectParameters(stream, engine::dsp::kVolume, &r);
  r.volume = factor;
  // A factor the volume effect cannot take (below 0) leaves the one it has.
  engine::SetEffectParameters(stream, engine::dsp::kVolume, &r);
}

// The first running crossfade into the deck, in transition order; null
// when none runs.
const decks::Transition* CrossfadeInto(const MainState& s, int deck) {
  for (size_t slot = 0; slot < decks::kTransitions.size(); ++slot)
    if (s.Decks.FadeActive[slot] && decks::kTransitions[slot].inDeck == deck) return &decks::kTransitions[slot];
  return nullptr;
}

// True while the engine still measures the start tempo of a song that the
// tempo matching into the deck needs.
bool MatchWaitsForTempo(const MainState& s, int deck) {
  const decks::Transition* t = CrossfadeInto(s, deck);
  if (!t) return false;
  const clsBassPlayer* in = s.Player(t->inDeck, t->inAB);
  const clsBassPlayer* out = s.Player(t->outDeck, t->outAB);
  return (in && engine::BpmPending(in->hBPM())) || (out && engine::BpmPending(out->hBPM()));
}

// Auto BPM: false when the song start ends here.
bool MatchTempo(MainState& s, int deck, engine::Handle stream) {
  const decks::Transition* t = CrossfadeInto(s, deck);
  if (!t) return false;
  const clsBassPlayer* in = s.Player(t->inDeck, t->inAB);
  const clsBassPlayer* out = s.Player(t->outDeck, t->outAB);
  // Both at the speed they play now: the incoming one has the deck's tempo
  // slider on it already.
  const float incoming = modPublic_TempoBPM(in->hBPM(), in->STRM());
  s.Decks.MasterBPM = modPublic_TempoBPM(out->hBPM(), out->STRM());
  const std::optional<int32_t> tempo =
      MatchedTempo(s.Decks.MasterBPM, incoming, s.AutomationSlider[0].value());
  if (!tempo) return false;
  if (engine::IsActive(stream) == engine::kStopped) return false;
  // A value beyond the slider's range is refused like any other; the
  // handler then applies what the slider holds.
  const int tempoSlider = (deck - 1) * 14;
  SetAndRun(s, s.sldEffects[static_cast<size_t>(tempoSlider)], *tempo, sldEffects_ValueChanged, tempoSlider);
  return true;
}

// The engine makes a playing song's sound a little ahead of what is heard;
// what it made before the deck's settings were on is made again with them,
// from where the song is heard now, so that a song started without a
// crossfade does not begin as the file is.
void RemakeSoundAhead(clsBassPlayer* p) {
  if (!p) return;
  const int64_t heard = engine::Position(p->STRM());
  if (heard < 0) return;
  engine::Seek(p->STRM(), static_cast<uint64_t>(heard));
  if (p->PreDevice() >= 1) engine::Seek(p->PreSTRM(), static_cast<uint64_t>(heard));
}

void SongStart(MainState& s, int deck, engine::Handle stream, clsBassPlayer* started) {
  ReapplyDeckSettings(s, deck, started);

  // The song of the deck's current row, through the shared tag control.
  const Grid* grid = s.Playlist(deck);
  if (!grid) return;
  const int32_t row = ui::SelectedRow(*grid);
  const playlists::Tags tags(s.Sonavex1);
  const int16_t format = tags.Analyze(ui::CellText(*grid, row, ui::kFilename));

  if (s.AutoGainOn && format == playlists::kFormatMpeg)
    AutomaticGain(s, deck, stream, ui::CellText(*grid, row, ui::kGain));
  if (s.AutoBPMOn) {
    if (MatchWaitsForTempo(s, deck)) {
      s.StartTempoWaits[static_cast<size_t>(deck - 1)].match = stream;
      return;
    }
    if (!MatchTempo(s, deck, stream)) return;
  }
  // The tag control still reports on the song: nothing since has analysed
  // another file.
  ApplySongEffectRecords(s, deck, format, started);
}

}  // namespace

std::optional<int32_t> MatchedTempo(float outgoing, float incoming, int32_t limitPercent) {
  const float difference = outgoing - incoming;
  if (!std::isfinite(difference) || difference == 0) return std::nullopt;
  const float limit = incoming / 100.0f * static_cast<float>(limitPercent);
  if (!(limit >= std::fabs(difference))) return std::nullopt;
  // No slider reaches so far; the rounding below must stay in range.
  if (std::fabs(difference) > 1e9f) return std::nullopt;
  return static_cast<int32_t>(RoundHalfEven(difference));
}

void ApplyTrackSettings(MainState& s, int deck, engine::Handle stream) {
  if (deck != 1 && deck != 2) return;
  // A start replaces whatever an earlier start of the deck waited for.
  s.StartTempoWaits[static_cast<size_t>(deck - 1)].match = 0;
  clsBassPlayer* started = PlayerOf(s, deck, stream);
  SongStart(s, deck, stream, started);
  RemakeSoundAhead(started);
}

void StartTempoCheck(MainState& s) {
  for (int deck = 1; deck <= 2; ++deck) {
    MainState::StartTempoWait& wait = s.StartTempoWaits[static_cast<size_t>(deck - 1)];
    if (wait.label != 0 && !engine::BpmPending(wait.label)) {
      const engine::Handle measured = std::exchange(wait.label, 0);
      // Only while the label still belongs to that song.
      if (DeckTarget(s, deck).bpm == measured) ShowTempoBpm(s, deck);
    }
    if (wait.match == 0) continue;
    clsBassPlayer* started = PlayerOf(s, deck, wait.match);
    if (!started || !started->IsPlaying() || !CrossfadeInto(s, deck)) {
      wait.match = 0;
      continue;
    }
    if (MatchWaitsForTempo(s, deck)) continue;
    const engine::Handle stream = std::exchange(wait.match, 0);
    if (!MatchTempo(s, deck, stream)) continue;
    // The shared tag control has analysed other files since the start.
    const playlists::Tags tags(s.Sonavex1);
    ApplySongEffectRecords(s, deck, tags.Analyze(started->filename()), started);
    RemakeSoundAhead(started);
  }
}

}  // namespace effects
