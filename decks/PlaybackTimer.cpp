#include "decks/PlaybackTimer.h"

#include "app/Globals.h"
#include "app/frmMain.h"
#include "audio/BassPlayer.h"
#include "audio/ModBass.h"
#include "decks/AudioOps.h"
#include "decks/DeckControls.h"
#include "decks/DeckReset.h"
#include "decks/StartRoutine.h"
#include "decks/Transitions.h"
#include "display/TimeFormat.h"
#include "platform/Grid.h"
#include "StringTable.h"

#include <QLabel>
#include <QSlider>
#include <QTime>

#include <algorithm>
#include <chrono>
#include <cmath>

namespace decks {

namespace {

QString Text(int n) {
  try {
    return QString::fromStdString(djvp::Tr(n));
  } catch (...) {
    return {};
  }
}

bool AnyPlaying() {
  for (int deck = 1; deck <= 2; ++deck)
    for (int ab = 0; ab < 2; ++ab)
      if (IsPlaying(Player(deck, ab))) return true;
  return false;
}

bool AutomixRuns(const djvp::frmMain& form) { return form.AutomixOn && !form.PreListenOn; }

// Shows player p on deck d: the position slider in whole seconds, the
// current and the remaining time. A position that is unknown (the stream is
// gone) shows as 0.
void ShowPlayer(djvp::frmMain& form, const djvp::clsBassPlayer* p, int deck) {
  if (!p) return;
  const float pos = PlayerPosition(*p);
  const bool known = pos >= 0;
  SetSliderQuietly(PositionSlider(form, deck), known ? static_cast<int64_t>(std::nearbyint(pos)) : 0);
  const float remaining = known ? static_cast<float>(p->StreamTime() - static_cast<double>(pos)) : 0.0f;
  const size_t d = static_cast<size_t>(deck - 1);
  SetLabel(form.cTime[d], djvp::TimeToString(known ? pos : 0.0f));
  SetLabel(form.rTime[d], djvp::TimeToString(remaining));
}

}  // namespace

void ShowClock(djvp::frmMain& form) {
  form.SetStatusPanelText(1, Text(563) + QLatin1Char(' ') + QTime::currentTime().toString(QStringLiteral("hh:mm:ss")));
  if (!form.StartTime.isValid()) return;
  const auto since = std::chrono::steady_clock::now() - form.Decks.Created;
  const long long total = std::max<long long>(0, std::chrono::duration_cast<std::chrono::seconds>(since).count());
  const QString elapsed = QString::asprintf("%02lld:%02lld:%02lld", total / 3600, total / 60 % 60, total % 60);
  form.SetStatusPanelText(2, Text(564) + QLatin1Char(' ') + elapsed);
}

void ShowPositions(djvp::frmMain& form) {
  djvp::clsBassPlayer* p1A = Player(1, 0);
  djvp::clsBassPlayer* p1B = Player(1, 1);
  djvp::clsBassPlayer* p2A = Player(2, 0);
  djvp::clsBassPlayer* p2B = Player(2, 1);
  if (!AutomixRuns(form)) {
    if (IsPlaying(p1A)) ShowPlayer(form, p1A, 1);
    if (IsPlaying(p1B)) ShowPlayer(form, p1B, 1);
    if (IsPlaying(p2A))
      ShowPlayer(form, p2A, 2);
    else if (IsPlaying(p2B))
      ShowPlayer(form, p2B, 2);
    return;
  }
  // With Auto Mix a running transition decides: a crossfade inside a deck
  // shows its incoming player, one between the decks both of its players.
  const auto& fade = form.Decks.FadeActive;
  const bool none = !form.Decks.AnyTransition();
  if (none && IsPlaying(p1A)) {
    ShowPlayer(form, p1A, 1);
  } else if (none && IsPlaying(p1B)) {
    ShowPlayer(form, p1B, 1);
  } else if (none && IsPlaying(p2A)) {
    ShowPlayer(form, p2A, 2);
  } else if (none && IsPlaying(p2B)) {
    ShowPlayer(form, p2B, 2);
  } else if (fade[k1A_1B]) {
    ShowPlayer(form, p1B, 1);
  } else if (fade[k1B_1A]) {
    ShowPlayer(form, p1A, 1);
  } else if (fade[k2A_1A] || fade[k1A_2A]) {
    ShowPlayer(form, p1A, 1);
    ShowPlayer(form, p2A, 2);
  } else if (fade[k2A_1B] || fade[k1B_2A]) {
    ShowPlayer(form, p1B, 1);
    ShowPlayer(form, p2A, 2);
  } else if (fade[k2B_1A] || fade[k1A_2B]) {
    ShowPlayer(form, p1A, 1);
    ShowPlayer(form, p2B, 2);
  } else if (fade[k2B_1B] || fade[k1B_2B]) {
    ShowPlayer(form, p1B, 1);
    ShowPlayer(form, p2B, 2);
  } else if (fade[k2A_2B]) {
    ShowPlayer(form, p2B, 2);
  } else if (fade[k2B_2A]) {
    ShowPlayer(form, p2A, 2);
  }
}

namespace {

// True when player (deck, ab) fades out into the other player of its own
// deck: that deck plays on.
bool FadesOutWithinDeck(const djvp::frmMain& form, int deck, int ab) {
  for (int i = 0; i < kSlots; ++i) {
    const Transition& t = kTransitions[static_cast<size_t>(i)];
    if (form.Decks.FadeActive[static_cast<size_t>(i)] && t.SameDeck() && t.outDeck == deck && t.outAB == ab)
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
bool DueForNextRow(const djvp::frmMain& form, const djvp::clsBassPlayer& p) {
  if (form.Decks.AutomixTransition || djvp::CrossfadeRunning || !p.IsPlaying()) return false;
  const double posMs = 1000.0 * static_cast<double>(PlayerPosition(p));
  const int64_t mixStartMs = 1000 * static_cast<int64_t>(p.StreamTime()) - 1000 * static_cast<int64_t>(form.MixTime);
  if (posMs > static_cast<double>(mixStartMs)) return true;
  if (form.MixTime <= 0 && posMs >= static_cast<double>(mixStartMs)) return true;
  return SongEnded(p);
}

}  // namespace

void StopEndedSongs(djvp::frmMain& form) {
  for (int deck = 1; deck <= 2; ++deck) {
    for (int ab = 0; ab < 2; ++ab) {
      djvp::clsBassPlayer* p = Player(deck, ab);
      if (!p || !SongEnded(*p) || p->volume() <= 0) continue;
      // The next-row step takes over a song that ends before it fired (a mix
      // time of 0): the cut into the next row replaces the stop.
      if (DueForNextRow(form, *p)) continue;
      // A song that runs out while it fades into the deck's other player
      // ends alone; the deck and the crossfade go on with the incoming song.
      const bool deckPlaysOn = FadesOutWithinDeck(form, deck, ab);
      p->StopPlay();
      if (!deckPlaysOn) ResetDeck(form, deck);
    }
  }
}

namespace {

// Ends transition i: its switch, the automatic-mix switch and the crossfade
// switch go together.
void EndTransition(djvp::frmMain& form, int i) {
  form.Decks.FadeActive[static_cast<size_t>(i)] = false;
  form.Decks.AutomixTransition = false;
  djvp::CrossfadeRunning = false;
}

void CutOver(djvp::frmMain& form, int i, const Transition& t, djvp::clsBassPlayer& out, djvp::clsBassPlayer& in) {
  const bool cross = !t.SameDeck();
  djvp::SuppressSliderEvents = true;
  SetSliderValue(VolumeSlider(form, t.inDeck), 0);
  if (cross) SetSliderValue(VolumeSlider(form, t.outDeck), 100);
  djvp::SuppressSliderEvents = false;
  in.volume(100);
  form.Decks.AutomixTransition = false;
  form.Decks.FadeActive[static_cast<size_t>(i)] = false;
  out.StopPlay();
  if (cross) ResetDeck(form, t.outDeck);
  // These two moves reach the sliders' handlers, as a user's would.
  if (cross) {
    SetSliderValue(form.Position2, 0);
    SetSliderValue(form.Position1, 0);
  } else {
    SetSliderValue(PositionSlider(form, t.inDeck), 0);
  }
  djvp::CrossfadeRunning = false;
}

void Step(djvp::frmMain& form, int i) {
  const Transition& t = kTransitions[static_cast<size_t>(i)];
  djvp::clsBassPlayer* out = Player(t.outDeck, t.outAB);
  djvp::clsBassPlayer* in = Player(t.inDeck, t.inAB);
  if (!out || !in) return;
  DeckState& st = form.Decks;
  const bool cross = !t.SameDeck();
  const bool outFlat = form.MixLeftD == form.MixLeftU;
  const bool inFlat = form.MixRightU == form.MixRightD;
  // Fade lengths in milliseconds, with the mix time and curve of this run. A
  // length of 0 or less has nothing to ramp: that side is done at once.
  const double fadeOut = form.MixTime / 100.0 * st.FadeOutPercent * 1000.0;
  const double fadeIn = form.MixTime / 100.0 * st.FadeInPercent * 1000.0;

  if ((outFlat && inFlat) || (fadeOut <= 0 && fadeIn <= 0)) {
    CutOver(form, i, t, *out, *in);
    return;
  }

  QSlider* inVolume = VolumeSlider(form, t.inDeck);
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
      if (cross) SetSliderQuietly(VolumeSlider(form, t.outDeck), static_cast<int64_t>(std::fabs(v - 100.0)));
    }
    if (v <= 1) {
      out->StopPlay();
      if (cross) ResetDeck(form, t.outDeck);
      djvp::SuppressSliderEvents = true;
      if (cross) {
        SetSliderValue(VolumeSlider(form, t.outDeck), 100);
        SetSliderValue(PositionSlider(form, t.outDeck), 0);
      } else {
        if (inComplete) SetSliderValue(inVolume, 0);
        SetSliderValue(PositionSlider(form, t.inDeck), 0);
      }
      djvp::SuppressSliderEvents = false;
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
    EndTransition(form, i);
  } else if (outEnded) {
    djvp::CrossfadeRunning = true;
  }
}

}  // namespace

void RunTransitions(djvp::frmMain& form) {
  for (int i = 0; i < kSlots; ++i)
    if (form.Decks.FadeActive[static_cast<size_t>(i)]) Step(form, i);
}

void NextRowStep(djvp::frmMain& form) {
  // While a transition runs, a start would be refused: the step waits rather
  // than move the playlist past a row that never plays.
  for (int deck = 1; deck <= 2; ++deck) {
    for (int ab = 0; ab < 2; ++ab) {
      djvp::clsBassPlayer* p = Player(deck, ab);
      if (!p || !DueForNextRow(form, *p)) continue;
      form.Decks.AutomixTransition = true;
      djvp::Grid* grid = Playlist(form, deck);
      if (!grid) return;
      const int32_t selected = SelectedRow(*grid);
      if (grid->RowCount() == selected) return;  // the list has no next row
      grid->SetCurrentRow(selected + 1);
      PlayDeck(form, deck);
      return;
    }
  }
}

void tmrPlaying_ThatTime(djvp::frmMain& form) {
  ShowClock(form);
  if (!AnyPlaying()) return;
  for (int deck = 1; deck <= 2; ++deck)
    if (!IsPlaying(Player(deck, 0)) && !IsPlaying(Player(deck, 1)))
      SetLabel(form.lblBPM[static_cast<size_t>(deck - 1)], QStringLiteral("000.0"));
  ShowPositions(form);
  if (!AutomixRuns(form)) return;
  StopEndedSongs(form);
  RunTransitions(form);
  NextRowStep(form);
}

}  // namespace decks
