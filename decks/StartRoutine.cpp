#include "decks/StartRoutine.h"

#include "audio/BassPlayer.h"
#include "audio/Messages.h"
#include "audio/ModBass.h"
#include "decks/AudioOps.h"
#include "decks/DeckControls.h"
#include "decks/DeckReset.h"
#include "decks/MixerSliders.h"
#include "decks/Transitions.h"
#include "decks/MixerTitles.h"
#include "platform/FileProblems.h"
#include "platform/Grid.h"
#include "platform/Notice.h"
#include "resources/StringIds.h"
#include "ui/Deck.h"
#include "ui/Text.h"
#include "ui/TrackColumns.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace decks {

namespace {

int32_t ToInt32(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int32_t>(std::clamp<double>(std::nearbyint(v), std::numeric_limits<int32_t>::min(),
                                                 std::numeric_limits<int32_t>::max()));
}

// A mix-point cell in bytes of the stream; 0 for an empty cell, for text
// that holds no usable number of seconds, and when the conversion fails.
int64_t MixPointBytes(engine::Handle stream, const QString& cell) {
  if (cell.isEmpty()) return 0;
  const std::optional<double> seconds = djvp::ui::MixPointSeconds(cell);
  if (!seconds) return 0;
  return std::max<int64_t>(0, ChannelSeconds2Bytes(stream, static_cast<float>(*seconds)));
}

// The playable part of the song on P: StreamTime is where it ends, in whole
// seconds from the file's start (the positions the timer compares with it
// count from there too); StartMixPoint is where Play begins.
void SetPlayableSpan(djvp::MainState& s, djvp::clsBassPlayer& p, const djvp::Grid& grid, int32_t row) {
  DeckState& st = s.Decks;
  if (!s.UseMixPoints) {
    p.StreamTime(p.DummyTime());
    p.StartMixPoint(0);
    return;
  }
  st.StartMixBytes = MixPointBytes(p.STRM(), djvp::ui::CellText(grid, row, djvp::ui::kStartMixPoint));
  st.EndMixBytes = MixPointBytes(p.STRM(), djvp::ui::CellText(grid, row, djvp::ui::kEndMixPoint));
  const int64_t start = st.StartMixBytes;
  const int64_t e = st.EndMixBytes;
  const float end = e > 0 ? djvp::modBass_Bytes2Seconds(p.STRM(), e) : -1.0f;
  p.StreamTime(end > 0 ? ToInt32(end) : p.DummyTime());
  p.StartMixPoint(static_cast<int32_t>(std::clamp<int64_t>(start, 0, std::numeric_limits<int32_t>::max())));
}

void ShowRowLabels(const djvp::Deck& deck, const djvp::Grid& grid, int32_t row) {
  deck.Length().setText(djvp::ui::CellText(grid, row, djvp::ui::kTime));
  const QString bpm = djvp::ui::CellText(grid, row, djvp::ui::kBPM);
  deck.RowBpm().setText(bpm.isEmpty() ? QStringLiteral("000.0") : bpm);
}

void SetPositionRange(djvp::ui::Slider& slider, int32_t streamTime) {
  slider.setValueClamped(0);
  slider.setMaximum(std::max(0, streamTime));
}

// Which player of the deck gets the song, and the playing player it fades
// in over with the transition's slot (none when nothing plays that it
// would follow).
struct StartPlan {
  djvp::clsBassPlayer* in = nullptr;
  djvp::clsBassPlayer* out = nullptr;
  int slot = -1;
};

StartPlan PlanStart(const djvp::Deck& deck) {
  djvp::clsBassPlayer* a = deck.Player(0);
  djvp::clsBassPlayer* b = deck.Player(1);
  const djvp::Deck other = deck.Other();
  const djvp::DeckId d = deck.Id();
  if (IsPlaying(a) && !IsPlaying(b)) return {b, a, SlotOf(d, 0, d, 1)};
  if (IsPlaying(b) && !IsPlaying(a)) return {a, b, SlotOf(d, 1, d, 0)};
  if (IsPlaying(other.Player(0)) && !IsPlaying(a)) return {a, other.Player(0), SlotOf(other.Id(), 0, d, 0)};
  if (IsPlaying(other.Player(1)) && !IsPlaying(a)) return {a, other.Player(1), SlotOf(other.Id(), 1, d, 0)};
  return {a, nullptr, -1};
}

// A crossfade start: the transition from the playing song is armed for the
// playback timer, and the new song comes in silent for the timer's ramps to
// bring up. While the decks are mixed by hand the timer runs no ramp and the
// transition waits: a new song over the deck's own playing song waits silent
// while that song plays on (the deck's slider, or Auto Mix switched on,
// brings it in), whereas one coming in from the other deck plays at its
// deck's volume slider, the crossfader deciding between the decks.
void ArmCrossfade(djvp::MainState& s, const djvp::Deck& deck, const StartPlan& plan) {
  {
    const djvp::ui::EventBlocker quiet(deck.Position());
    SetPositionRange(deck.Position(), plan.in->StreamTime());
  }
  DeckState& st = s.Decks;
  const double outMs = 1000.0 * static_cast<double>(PlayerPosition(*plan.out));
  const double fadeOutMs = s.MixTime / 100.0 * st.FadeOutPercent * 1000.0;
  st.FadeOutEndMs[static_cast<size_t>(plan.slot)] = ToInt32(outMs + fadeOutMs);
  const bool waitsInDeck = plan.out == deck.Player(0) || plan.out == deck.Player(1);
  plan.in->volume(djvp::mixer::AutomixRuns(s) || waitsInDeck ? int16_t{0}
                                                             : static_cast<int16_t>(100 - deck.Volume().value()));
}

// A plain start: nothing to fade out. These slider moves reach the sliders'
// handlers as a user's would.
void PrepareAlone(djvp::MainState& s, const djvp::Deck& deck, djvp::clsBassPlayer& p) {
  s.Decks.AutomixTransition = false;
  SetPositionRange(deck.Position(), p.StreamTime());
  if (s.AutomixOn) {
    p.volume(100);
    SetSliderValue(&deck.Volume(), 0);
  } else {
    p.volume(static_cast<int16_t>(100 - deck.Volume().value()));
  }
}

// A plain start ends by moving the crossfader to the deck's side, whose
// handler sets the decks' volume sliders and volumes. When the crossfader
// already stands there the move changes nothing and raises no event, yet
// the deck's slider may have been left elsewhere (at silence, where a
// crossfade out of the deck left it): mixed by hand, the deck's slider is
// then set as the crossfader has it, so the song is heard as the crossfader
// shows. With Auto Mix on the start has already put the slider at full.
void MoveCrossfaderTo(djvp::MainState& s, const djvp::Deck& deck) {
  const int side = deck.Id().IsFirst() ? 0 : 100;
  if (s.Slider1.value() != side) {
    SetSliderValue(&s.Slider1, side);
  } else if (!s.AutomixOn) {
    deck.Volume().setValueClamped(0);
    if (!deck.Volume().Blocked()) djvp::mixer::Volume_ValueChanged(s, deck.Id());
  }
}

// The tempo that a later tempo matching works against: the row's.
void TakeRowTempo(DeckState& st, const QString& bpm) {
  if (bpm.isEmpty()) {
    st.MasterBPM = 0;
  } else if (const std::optional<double> v = djvp::ui::ParseNumber(bpm)) {
    st.MasterBPM = static_cast<float>(*v);
  }
}

}  // namespace

int16_t FadeOutPercentOf(int16_t mixLeftU, int16_t mixLeftD) {
  const int d = mixLeftD - mixLeftU;
  return static_cast<int16_t>(d == 0 ? mixLeftD : d);
}

int16_t FadeInPercentOf(int16_t mixRightU, int16_t mixRightD) {
  const int d = mixRightU - mixRightD;
  return static_cast<int16_t>(d == 0 ? mixRightU : d);
}

StartResult PlayDeck(djvp::MainState& s, djvp::DeckId id) {
  const djvp::Deck deck(s, id);
  djvp::Grid* grid = deck.Playlist();
  if (s.Decks.CrossfadeRunning || !grid) return StartResult::kRefused;
  const int32_t row = djvp::ui::SelectedRow(*grid);
  s.Decks.FadeOutPercent = FadeOutPercentOf(s.MixLeftU, s.MixLeftD);
  s.Decks.FadeInPercent = FadeInPercentOf(s.MixRightU, s.MixRightD);

  const StartPlan plan = PlanStart(deck);
  djvp::clsBassPlayer& p = *plan.in;
  // A transition left armed after its players' decks were reset apart (a
  // Stop of its outgoing deck) must not act on the song this player takes.
  // A song still silent that was coming in over this player's old song
  // loses its ramp with it, and takes its deck's volume slider (which such
  // a ramp moves along with it) instead of staying silent.
  const int ab = plan.in == deck.Player(0) ? 0 : 1;
  for (size_t k = 0; k < kTransitions.size(); ++k) {
    const Transition& t = kTransitions[k];
    if (!s.Decks.FadeActive[k] || t.outDeck != id || t.outAB != ab) continue;
    djvp::clsBassPlayer* comingIn = s.Player(t.inDeck, t.inAB);
    if (IsPlaying(comingIn) && comingIn->volume() == 0)
      comingIn->volume(static_cast<int16_t>(100 - s.VolumeSlider(t.inDeck).value()));
  }
  LeaveTransitions(s, id, ab);
  p.filename(djvp::ui::CellText(*grid, row, djvp::ui::kFilename));
  if (!p.OpenFile()) return StartResult::kFailed;  // its streams now carry the deck's chain
  SetScrollerText(s, *grid);
  SetPlayableSpan(s, p, *grid, row);
  if (plan.out)
    ArmCrossfade(s, deck, plan);
  else
    PrepareAlone(s, deck, p);
  p.PreVolume(static_cast<int16_t>(100 - deck.Headphone().value()));
  s.SongLoaded.Raise(id, p);
  if (!p.Play()) return StartResult::kFailed;
  if (plan.out) {
    s.Decks.CrossfadeRunning = true;
    s.Decks.FadeActive[static_cast<size_t>(plan.slot)] = true;
  } else {
    TakeRowTempo(s.Decks, djvp::ui::CellText(*grid, row, djvp::ui::kBPM));
  }
  ShowRowLabels(deck, *grid, row);
  s.SongStarted.Raise(id, p);
  if (!plan.out) MoveCrossfaderTo(s, deck);
  return StartResult::kStarted;
}

StartResult PlayDeckOrNextPlayable(djvp::MainState& s, djvp::DeckId deck) {
  if (!s.AutomixOn) return PlayDeck(s, deck);
  djvp::Grid* grid = s.Playlist(deck);
  djvp::FileProblems passed;  // the rows passed over, by what failed and why
  StartResult result = StartResult::kRefused;
  for (;;) {
    // The player's messages of this row are held back until it is known
    // whether the row plays.
    QStringList said;
    std::vector<djvp::FileMessage> refused;
    const djvp::MessageSink previous = djvp::SetThreadMessageSink([&said](const QString& text) { said << text; });
    const djvp::FileMessageSink previousFile =
        djvp::SetThreadFileMessageSink([&refused](const djvp::FileMessage& m) { refused.push_back(m); });
    result = PlayDeck(s, deck);
    djvp::SetThreadMessageSink(previous);
    djvp::SetThreadFileMessageSink(previousFile);
    if (result != StartResult::kFailed) {
      for (const QString& text : said) djvp::ReportMessage(text);
      for (const djvp::FileMessage& m : refused) djvp::ReportFileMessage(m);
      break;
    }
    for (const djvp::FileMessage& m : refused) passed.Add(m.Reason(), m.file);
    for (const QString& text : said) passed.Add(text, djvp::ui::CellText(*grid, djvp::ui::SelectedRow(*grid), djvp::ui::kFilename));
    if (said.isEmpty() && refused.empty())
      passed.Add(djvp::ui::T(djvp::kStrCantCreateStream),
                 djvp::ui::CellText(*grid, djvp::ui::SelectedRow(*grid), djvp::ui::kFilename));
    const int32_t row = djvp::ui::SelectedRow(*grid);
    if (row >= grid->RowCount()) break;  // the list has no next row
    grid->SetCurrentRow(row + 1);
  }
  // Told without stopping the mix, grouped as every list of files is.
  if (!passed.IsEmpty()) djvp::Notice(djvp::ui::T(djvp::kStrSongsSkipped) + QLatin1Char('\n') + passed.Text());
  return result;
}

}  // namespace decks
