#include "decks/Transport.h"

#include "audio/BassPlayer.h"
#include "decks/DeckControls.h"
#include "decks/DeckReset.h"
#include "decks/PlaybackTimer.h"
#include "decks/StartRoutine.h"
#include "platform/Grid.h"
#include "ui/MainState.h"

namespace decks {

namespace {

using namespace djvp::ctl;

djvp::ui::Button& DeckButton(djvp::MainState& s, int deck, PlayerButton b) {
  return s.cmdPlayer[static_cast<size_t>((deck - 1) * kDeckButtons + b)];
}

void Play(djvp::MainState& s, int deck) {
  // A song that ran out since the timer's last run would otherwise count as
  // playing, and the new one would fade in over it without a sound.
  EndRunOutSongs(s);
  if (s.Decks.CrossfadeRunning) return;
  djvp::Grid* grid = s.Playlist(deck);
  if (!grid || grid->RowCount() == 0) return;
  if (grid->SelectionCount() == 0) grid->SetCurrentRow(1);
  DeckButton(s, deck, kPlay).setEnabled(false);
  DeckButton(s, deck, kPause).setEnabled(true);
  PlayDeckOrNextPlayable(s, deck);
}

// Pause resumes a paused player (A first) or else pauses a playing one (A
// first): at most one player changes per press.
void Pause(djvp::MainState& s, int deck) {
  djvp::clsBassPlayer* a = s.Player(deck, 0);
  djvp::clsBassPlayer* b = s.Player(deck, 1);
  if (a->IsPaused()) {
    a->ResumePlay();
  } else if (b->IsPaused()) {
    b->ResumePlay();
  } else if (IsPlaying(a)) {
    DeckButton(s, deck, kPlay).setEnabled(false);
    a->PausePlay();
  } else if (IsPlaying(b)) {
    DeckButton(s, deck, kPlay).setEnabled(false);
    b->PausePlay();
  }
}

// Stop ends every playing or paused player of the deck, resetting the deck
// after each, and makes Play usable again; a stopped deck's volume slider
// goes back where the crossfader has it.
void Stop(djvp::MainState& s, int deck) {
  bool stopped = false;
  for (int ab = 0; ab < 2; ++ab) {
    djvp::clsBassPlayer* p = s.Player(deck, ab);
    if (p->IsPlaying() || p->IsPaused()) {
      p->StopPlay();
      ResetDeck(s, deck);
      stopped = true;
    }
  }
  if (stopped) VolumeToCrossfader(s, deck);
  DeckButton(s, deck, kPlay).setEnabled(true);
}

}  // namespace

void cmdPlayer_Transport(djvp::MainState& s, int index) {
  const int deck = index >= 0 && index < kDeckButtons ? 1 : (index >= kDeckButtons && index < 2 * kDeckButtons ? 2 : 0);
  if (deck == 0) return;
  switch (index % kDeckButtons) {
    case kPlay: Play(s, deck); break;
    case kPause: Pause(s, deck); break;
    case kStop: Stop(s, deck); break;
    default: break;
  }
}

void PlayListView_DblClick(djvp::MainState& s, int index) {
  if (index == 0) cmdPlayer_Transport(s, kPlay);
  if (index == 1) cmdPlayer_Transport(s, kDeckButtons + kPlay);
}

}  // namespace decks
