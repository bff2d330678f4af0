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
#include "ui/Deck.h"
#include "ui/SettingsValue.h"
#include "ui/TrackColumns.h"

#include <cmath>
#include <utility>

namespace effects {

using namespace djvp;

namespace {

// The gain spinner's value for a factor of 1.
constexpr double kGainUnity = 26;

// Auto Gain: the volume factor from the row's loudness figure,
// on the song's main stream only (replacing the gain spinner's factor
// there). A cell without a figure gives the factor 1 whatever the spinner
// shows.
void AutomaticGain(const Deck& deck, engine::Handle stream, const QString& gainCell) {
  float loudness = 0, spinner = 0;
  if (const std::optional<double> figure = ui::ParseNumber(gainCell)) {
    loudness = static_cast<float>(*figure);
    spinner = static_cast<float>(deck.Spinner(0).value() / kGainUnity);
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
const decks::Transition* CrossfadeInto(const MainState& s, DeckId deck) {
  for (size_t slot = 0; slot < decks::kTransitions.size(); ++slot)
    if (s.Decks.FadeActive[slot] && decks::kTransitions[slot].inDeck == deck) return &decks::kTransitions[slot];
  return nullptr;
}

// True while the engine still measures the start tempo of a song that the
// tempo matching into the deck needs.
bool MatchWaitsForTempo(const MainState& s, DeckId deck) {
  const decks::Transition* t = CrossfadeInto(s, deck);
  if (!t) return false;
  const clsBassPlayer* in = s.Player(t->inDeck, t->inAB);
  const clsBassPlayer* out = s.Player(t->outDeck, t->outAB);
  return (in && engine::BpmPending(in->hBPM())) || (out && engine::BpmPending(out->hBPM()));
}

// Auto BPM: false when the song start ends here.
bool MatchTempo(const Deck& deck, engine::Handle stream) {
  MainState& s = deck.State();
  const decks::Transition* t = CrossfadeInto(s, deck.Id());
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
  SetAndRun(s, deck.EffectSlider(0), *tempo, sldEffects_ValueChanged, deck.SliderIndex(0));
  return true;
}

// The song of the deck's current row, analysed by the shared tag control;
// its format number (0 without a row).
int16_t AnalyseRowSong(const Deck& deck) {
  const Grid* grid = deck.Playlist();
  if (!grid) return 0;
  const playlists::Tags tags(deck.State().Sonavex1);
  return tags.Analyze(ui::CellText(*grid, ui::SelectedRow(*grid), ui::kFilename));
}

}  // namespace

void SongLoaded(MainState& s, DeckId id, clsBassPlayer& loaded) {
  const Deck deck(s, id);
  // A start replaces whatever an earlier start of the deck waited for.
  deck.TempoWait().match = 0;
  // The song is read once here; the tag control reports on it until the
  // start is done.
  deck.LoadedFormat() = AnalyseRowSong(deck);
  const Grid* grid = deck.Playlist();
  if (s.AutoGainOn && grid && deck.LoadedFormat() == playlists::kFormatMpeg)
    AutomaticGain(deck, loaded.STRM(), ui::CellText(*grid, ui::SelectedRow(*grid), ui::kGain));
}

void SongStarted(MainState& s, DeckId id, clsBassPlayer& started) {
  const Deck deck(s, id);
  // The recalculated tempo of the song now playing, once the engine has
  // measured it.
  ShowTempoBpm(s, id);
  if (s.AutoBPMOn) {
    if (MatchWaitsForTempo(s, id)) {
      deck.TempoWait().match = started.STRM();
      return;
    }
    if (!MatchTempo(deck, started.STRM())) return;
  }
  // The tag control still reports on the song: nothing since SongLoaded has
  // analysed another file.
  ApplySongEffectRecords(s, id, deck.LoadedFormat(), &started);
}

std::optional<int32_t> MatchedTempo(float outgoing, float incoming, int32_t limitPercent) {
  const float difference = outgoing - incoming;
  if (!std::isfinite(difference) || difference == 0) return std::nullopt;
  const float limit = incoming / 100.0f * static_cast<float>(limitPercent);
  if (!(limit >= std::fabs(difference))) return std::nullopt;
  // No slider reaches so far; the rounding below must stay in range.
  if (std::fabs(difference) > 1e9f) return std::nullopt;
  return static_cast<int32_t>(RoundHalfEven(difference));
}

void StartTempoCheck(MainState& s) {
  for (DeckId id : kBothDecks) {
    const Deck deck(s, id);
    MainState::StartTempoWait& wait = deck.TempoWait();
    if (wait.label != 0 && !engine::BpmPending(wait.label)) {
      const engine::Handle measured = std::exchange(wait.label, 0);
      // Only while the label still belongs to that song.
      if (DeckTarget(s, id).bpm == measured) ShowTempoBpm(s, id);
    }
    if (wait.match == 0) continue;
    clsBassPlayer* started = nullptr;
    for (int ab = 0; ab < 2; ++ab)
      if (clsBassPlayer* p = deck.Player(ab); p->STRM() == wait.match) started = p;
    if (!started || !started->IsPlaying() || !CrossfadeInto(s, id)) {
      wait.match = 0;
      continue;
    }
    if (MatchWaitsForTempo(s, id)) continue;
    const engine::Handle stream = std::exchange(wait.match, 0);
    if (!MatchTempo(deck, stream)) continue;
    // The shared tag control has analysed other files since the start.
    const playlists::Tags tags(s.Sonavex1);
    ApplySongEffectRecords(s, id, tags.Analyze(started->filename()), started);
  }
}

}  // namespace effects
