#include "decks/PlaybackTimer.h"

#include "audio/BassPlayer.h"
#include "audio/ModBass.h"
#include "decks/AudioOps.h"
#include "decks/DeckControls.h"
#include "decks/DeckReset.h"
#include "decks/MixerSliders.h"
#include "decks/StartRoutine.h"
#include "decks/Transitions.h"
#include "display/TimeFormat.h"
#include "platform/Grid.h"
#include "resources/StringIds.h"
#include "ui/Deck.h"
#include "ui/Text.h"
#include "ui/TrackColumns.h"

#include <QTime>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace decks {

namespace {

using djvp::mixer::AutomixRuns;
using djvp::ui::T;

// Shows player p on deck d: the position slider in whole seconds, the
// current and the remaining time. A position that is unknown (the stream is
// gone) shows as 0.
void ShowPlayer(djvp::MainState& s, const djvp::clsBassPlayer* p, djvp::DeckId id) {
  if (!p) return;
  const djvp::Deck deck(s, id);
  const float pos = PlayerPosition(*p);
  const bool known = pos >= 0;
  // A slider the user holds is left under the pointer: the seek comes when
  // it is let go.
  djvp::ui::Slider& slider = deck.Position();
  if (!slider.isHeld()) SetSliderQuietly(&slider, known ? static_cast<int64_t>(std::nearbyint(pos)) : 0);
  const float remaining = known ? static_cast<float>(p->StreamTime() - static_cast<double>(pos)) : 0.0f;
  deck.Elapsed().setText(djvp::TimeToString(known ? pos : 0.0f));
  deck.Remaining().setText(djvp::TimeToString(remaining));
}

}  // namespace

void ShowClock(djvp::MainState& s) {
  s.SetStatusPanelText(1, T(djvp::kStrCurrentTime) + QLatin1Char(' ') +
                              QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
  if (!s.StartTime.isValid()) return;
  const auto since = std::chrono::steady_clock::now() - s.Decks.Created;
  const long long total = std::max<long long>(0, std::chrono::duration_cast<std::chrono::seconds>(since).count());
  const QString elapsed = QString::asprintf("%02lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  s.SetStatusPanelText(2, T(djvp::kStrTimeElapsed) + QLatin1Char(' ') + elapsed);
}

void ShowPositions(djvp::MainState& s) {
  using djvp::kDeck1;
  using djvp::kDeck2;
  djvp::clsBassPlayer* p1A = s.Player(kDeck1, 0);
  djvp::clsBassPlayer* p1B = s.Player(kDeck1, 1);
  djvp::clsBassPlayer* p2A = s.Player(kDeck2, 0);
  djvp::clsBassPlayer* p2B = s.Player(kDeck2, 1);
  if (!AutomixRuns(s)) {
    if (IsPlaying(p1A)) ShowPlayer(s, p1A, kDeck1);
    if (IsPlaying(p1B)) ShowPlayer(s, p1B, kDeck1);
    if (IsPlaying(p2A))
      ShowPlayer(s, p2A, kDeck2);
    else if (IsPlaying(p2B))
      ShowPlayer(s, p2B, kDeck2);
    return;
  }
  // With Auto Mix a running transition decides: a crossfade inside a deck
  // shows its incoming player, one between the decks both of its players.
  const auto& fade = s.Decks.FadeActive;
  const bool none = !s.Decks.AnyTransition();
  if (none && IsPlaying(p1A)) {
    ShowPlayer(s, p1A, kDeck1);
  } else if (none && IsPlaying(p1B)) {
    ShowPlayer(s, p1B, kDeck1);
  } else if (none && IsPlaying(p2A)) {
    ShowPlayer(s, p2A, kDeck2);
  } else if (none && IsPlaying(p2B)) {
    ShowPlayer(s, p2B, kDeck2);
  } else if (fade[k1A_1B]) {
    ShowPlayer(s, p1B, kDeck1);
  } else if (fade[k1B_1A]) {
    ShowPlayer(s, p1A, kDeck1);
  } else if (fade[k2A_1A] || fade[k1A_2A]) {
    ShowPlayer(s, p1A, kDeck1);
    ShowPlayer(s, p2A, kDeck2);
  } else if (fade[k2A_1B] || fade[k1B_2A]) {
    ShowPlayer(s, p1B, kDeck1);
    ShowPlayer(s, p2A, kDeck2);
  } else if (fade[k2B_1A] || fade[k1A_2B]) {
    ShowPlayer(s, p1A, kDeck1);
    ShowPlayer(s, p2B, kDeck2);
  } else if (fade[k2B_1B] || fade[k1B_2B]) {
    ShowPlayer(s, p1B, kDeck1);
    ShowPlayer(s, p2B, kDeck2);
  } else if (fade[k2A_2B]) {
    ShowPlayer(s, p2B, kDeck2);
  } else if (fade[k2B_2A]) {
    ShowPlayer(s, p2A, kDeck2);
  }
}

namespace {

// True when player (deck, ab) fades out into the other player of its own
// deck: that deck plays on.
bool FadesOutWithinDeck(const djvp::MainState& s, djvp::DeckId deck, int ab) {
  for (int i = 0; i < kSlots; ++i) {
    const Transition& t = kTransitions[static_cast<size_t>(i)];
    if (s.Decks.FadeActive[static_cast<size_t>(i)] && t.SameDeck() && t.outDeck == deck && t.outAB == ab)
      return true;
  }
  return false;
}

}  // namespace

namespace {

// The song on p has run out: its position reached the playable end, or its
// stream finished before that (a length rounded up to a whole second, an end
// mix point past the file's end).
bool SongEnded(const djvp::clsBassPlayer& p) {
  const double pos = PlayerPosition(p);
  if (pos < 0) return false;
  return pos >= p.StreamTime() || (p.IsPlaying() && engine::IsActive(p.STRM()) == engine::kStopped);
}

// The next-row step starts the song after p's now: p plays, is within the
// mix time of its end (at its end, with a mix time of 0) or has run out, and
// no transition is under way.
bool DueForNextRow(const djvp::MainState& s, const djvp::clsBassPlayer& p) {
  if (s.Decks.AutomixTransition || s.Decks.CrossfadeRunning || !p.IsPlaying()) return false;
  const double posMs = 1000.0 * static_cast<double>(PlayerPosition(p));
  const int64_t mixStartMs = 1000 * static_cast<int64_t>(p.StreamTime()) - 1000 * static_cast<int64_t>(s.MixTime);
  if (posMs > static_cast<double>(mixStartMs)) return true;
  if (s.MixTime <= 0 && posMs >= static_cast<double>(mixStartMs)) return true;
  return SongEnded(p);
}

}  // namespace

void StopEndedSongs(djvp::MainState& s) {
  for (djvp::DeckId deck : djvp::kBothDecks) {
    for (int ab = 0; ab < 2; ++ab) {
      djvp::clsBassPlayer* p = s.Player(deck, ab);
      if (!p || !SongEnded(*p) || p->volume() <= 0) continue;
      // The next-row step takes over a song that ends before it fired (a mix
      // time of 0): the cut into the next row replaces the stop.
      if (DueForNextRow(s, *p)) continue;
      // A song that runs out while it fades into the deck's other player
      // ends alone; the deck and the crossfade go on with the incoming song.
      const bool deckPlaysOn = FadesOutWithinDeck(s, deck, ab);
      p->StopPlay();
      if (!deckPlaysOn) ResetDeck(s, deck);
    }
  }
}

void EndRunOutSongs(djvp::MainState& s) {
  bool anyEnded = false;
  for (djvp::DeckId deck : djvp::kBothDecks) {
    bool ended = false;
    for (int ab = 0; ab < 2; ++ab) {
      djvp::clsBassPlayer* p = s.Player(deck, ab);
      if (!IsPlaying(p) || PlayerPosition(*p) < 0 || engine::IsActive(p->STRM()) != engine::kStopped) continue;
      p->StopPlay();
      ended = true;
      // Mixed by hand, a crossfade waiting for the timer has nothing left to
      // do once one of its songs has ended, and the decks take starts again.
      // The timer, while it mixes, ends its transitions itself.
      if (!AutomixRuns(s) && LeaveTransitions(s, deck, ab) && !s.Decks.AnyTransition()) {
        s.Decks.CrossfadeRunning = false;
        s.Decks.AutomixTransition = false;
      }
    }
    // A deck whose other player plays, or waits paused, goes on with it.
    bool goesOn = false;
    for (int ab = 0; ab < 2; ++ab)
      if (const djvp::clsBassPlayer* p = s.Player(deck, ab); p && (p->IsPlaying() || p->IsPaused())) goesOn = true;
    if (!ended) continue;
    anyEnded = true;
    if (goesOn) continue;
    ResetDeck(s, deck);
    VolumeToCrossfader(s, deck);
  }
  // A song that waited silent on one that ran out is heard.
  if (anyEnded) djvp::mixer::HearWaitingSongs(s);
}

namespace {

// Ends transition i: its switch, the automatic-mix switch and the crossfade
// switch go together.
void EndTransition(djvp::MainState& s, int i) {
  s.Decks.FadeActive[static_cast<size_t>(i)] = false;
  s.Decks.AutomixTransition = false;
  s.Decks.CrossfadeRunning = false;
}

void CutOver(djvp::MainState& s, int i, const Transition& t, djvp::clsBassPlayer& out, djvp::clsBassPlayer& in) {
  const bool cross = !t.SameDeck();
  SetSliderQuietly(&s.VolumeSlider(t.inDeck), 0);
  if (cross) SetSliderQuietly(&s.VolumeSlider(t.outDeck), 100);
  in.volume(100);
  s.Decks.AutomixTransition = false;
  s.Decks.FadeActive[static_cast<size_t>(i)] = false;
  out.StopPlay();
  if (cross) ResetDeck(s, t.outDeck);
  // These two moves reach the sliders' handlers, as a user's would.
  if (cross) {
    SetSliderValue(&s.Position2, 0);
    SetSliderValue(&s.Position1, 0);
  } else {
    SetSliderValue(&s.PositionSlider(t.inDeck), 0);
  }
  s.Decks.CrossfadeRunning = false;
}

void Step(djvp::MainState& s, int i) {
  const Transition& t = kTransitions[static_cast<size_t>(i)];
  djvp::clsBassPlayer* out = s.Player(t.outDeck, t.outAB);
  djvp::clsBassPlayer* in = s.Player(t.inDeck, t.inAB);
  if (!out || !in) return;
  DeckState& st = s.Decks;
  const bool cross = !t.SameDeck();
  const bool outFlat = s.MixLeftD == s.MixLeftU;
  const bool inFlat = s.MixRightU == s.MixRightD;
  // Fade lengths in milliseconds, with the mix time and curve of this run. A
  // length of 0 or less has nothing to ramp: that side is done at once.
  const double fadeOut = s.MixTime / 100.0 * st.FadeOutPercent * 1000.0;
  const double fadeIn = s.MixTime / 100.0 * st.FadeInPercent * 1000.0;

  if ((outFlat && inFlat) || (fadeOut <= 0 && fadeIn <= 0)) {
    CutOver(s, i, t, *out, *in);
    return;
  }

  djvp::ui::Slider* inVolume = &s.VolumeSlider(t.inDeck);
  // The fade-in counts from where the incoming song began: a song started at
  // its start mix point rises from silence like one started at 0.
  float inPosMs = 1000.0f * PlayerPosition(*in);
  if (inPosMs >= 0 && in->StoredStartMixPoint() > 0)
    inPosMs -= 1000.0f * std::max(0.0f, djvp::modBass_Bytes2Seconds(in->STRM(), in->StoredStartMixPoint()));
  // The incoming song is at full volume from 80 % of its fade-in on.
  const bool inComplete = fadeIn <= 0 || (100.0 / fadeIn) * inPosMs >= 80.0;

  // Outgoing side: the volume falls with the outgoing position towards the
  // fade-out's end; at 1 or less the outgoing player stops. A player whose
  // stream is gone (stopped elsewhere) has nothing left to ramp.
  bool outEnded = false;
  const float outPos = PlayerPosition(*out);
  if (outPos >= 0) {
    double v = 0;
    if (fadeOut > 0) {
      const double remaining = st.FadeOutEndMs[static_cast<size_t>(i)] - 1000.0 * static_cast<double>(outPos);
      v = std::floor((100.0 / fadeOut) * remaining);
    }
    if (!outFlat) {
      out->volume(ClampVolume(v));
      if (cross) SetSliderQuietly(&s.VolumeSlider(t.outDeck), static_cast<int64_t>(std::fabs(v - 100.0)));
    }
    if (v <= 1) {
      out->StopPlay();
      if (cross) ResetDeck(s, t.outDeck);
      if (cross) {
        SetSliderQuietly(&s.VolumeSlider(t.outDeck), 100);
        SetSliderQuietly(&s.PositionSlider(t.outDeck), 0);
      } else {
        if (inComplete) SetSliderQuietly(inVolume, 0);
        SetSliderQuietly(&s.PositionSlider(t.inDeck), 0);
      }
      outEnded = true;
    }
  }

  // Incoming side: the volume rises with the incoming position and jumps to
  // full at 80 % of the fade-in.
  bool inRamped = false;
  if (fadeIn <= 0) {
    SetSliderQuietly(inVolume, 0);
    in->volume(100);
    inRamped = true;
  } else if (inPosMs < static_cast<float>(fadeIn)) {
    double v = (100.0 / fadeIn) * inPosMs;
    if (!inFlat) SetSliderQuietly(inVolume, static_cast<int64_t>(std::nearbyint(std::fabs(v - 100.0))));
    if (v >= 80.0) {
      v = 100.0;
      SetSliderQuietly(inVolume, 0);
    }
    in->volume(ClampVolume(v));
    inRamped = true;
  }

  // The transition is over once the outgoing player no longer plays and the
  // incoming one is at full volume. Until then it keeps refusing starts, also
  // when the outgoing side finished first.
  if (!IsPlaying(out) && inComplete) {
    if (!inRamped) {
      SetSliderQuietly(inVolume, 0);
      in->volume(100);
    }
    EndTransition(s, i);
  } else if (outEnded) {
    st.CrossfadeRunning = true;
  }
}

}  // namespace

void RunTransitions(djvp::MainState& s) {
  for (int i = 0; i < kSlots; ++i)
    if (s.Decks.FadeActive[static_cast<size_t>(i)]) Step(s, i);
}

void NextRowStep(djvp::MainState& s) {
  // While a transition runs, a start would be refused: the step waits rather
  // than move the playlist past a row that never plays.
  for (djvp::DeckId deck : djvp::kBothDecks) {
    for (int ab = 0; ab < 2; ++ab) {
      djvp::clsBassPlayer* p = s.Player(deck, ab);
      if (!p || !DueForNextRow(s, *p)) continue;
      s.Decks.AutomixTransition = true;
      djvp::Grid* grid = s.Playlist(deck);
      if (!grid) return;
      const int32_t selected = djvp::ui::SelectedRow(*grid);
      if (grid->RowCount() == selected) return;  // the list has no next row
      grid->SetCurrentRow(selected + 1);
      PlayDeckOrNextPlayable(s, deck);
      return;
    }
  }
}

void FollowKnownLengths(djvp::MainState& s) {
  for (djvp::DeckId deck : djvp::kBothDecks) {
    for (int ab = 0; ab < 2; ++ab) {
      djvp::clsBassPlayer* p = s.Player(deck, ab);
      if (!IsPlaying(p)) continue;
      const int32_t before = p->DummyTime();
      if (!p->RefreshLength() || p->StreamTime() != before) continue;  // an end mix point ends the song
      p->StreamTime(p->DummyTime());
      djvp::ui::Slider& slider = s.PositionSlider(deck);
      if (slider.maximum() == std::max(0, before)) {
        const djvp::ui::EventBlocker quiet(slider);
        slider.setMaximum(std::max(0, p->StreamTime()));
      }
    }
  }
}

void tmrPlaying_ThatTime(djvp::MainState& s) {
  ShowClock(s);
  if (!s.AnyPlaying()) return;
  FollowKnownLengths(s);
  s.PlaybackTick.Raise();
  for (djvp::DeckId deck : djvp::kBothDecks)
    if (!IsPlaying(s.Player(deck, 0)) && !IsPlaying(s.Player(deck, 1)))
      djvp::Deck(s, deck).RowBpm().setText(QStringLiteral("000.0"));
  ShowPositions(s);
  if (!AutomixRuns(s)) {
    EndRunOutSongs(s);
    return;
  }
  StopEndedSongs(s);
  RunTransitions(s);
  NextRowStep(s);
}

}  // namespace decks
