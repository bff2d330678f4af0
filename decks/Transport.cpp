#include "decks/Transport.h"

#include "audio/BassPlayer.h"
#include "decks/DeckControls.h"
#include "decks/DeckReset.h"
#include "decks/MixerSliders.h"
#include "decks/PlaybackTimer.h"
#include "decks/StartRoutine.h"
#include "decks/Transitions.h"
#include "platform/Grid.h"
#include "ui/Deck.h"

namespace decks {

namespace {

using namespace djvp::ctl;

void Play(djvp::MainState& s, djvp::DeckId id) {
  const djvp::Deck deck(s, id);
  // A song that ran out since the timer's last run would otherwise count as
  // playing, and the new one would fade in over it without a sound.
  EndRunOutSongs(s);
  if (s.Decks.CrossfadeRunning) return;
  djvp::Grid* grid = deck.Playlist();
  if (!grid || grid->RowCount() == 0) return;
  if (grid->SelectionCount() == 0) grid->SetCurrentRow(1);
  deck.Button(kPlay).setEnabled(false);
  deck.Button(kPause).setEnabled(true);
  PlayDeckOrNextPlayable(s, id);
}

// A resumed player sounds as its deck's sliders show now (they may have
// moved while it was paused), unless the timer is running a crossfade that
// it has a part in (the ramp sets its volume) or another song of the deck is
// heard (it waits silent beside it).
void Resume(const djvp::Deck& deck, int ab) {
  djvp::clsBassPlayer* p = deck.Player(ab);
  p->ResumePlay();
  djvp::MainState& s = deck.State();
  if (djvp::mixer::AutomixRuns(s))
    for (size_t k = 0; k < kTransitions.size(); ++k)
      if (s.Decks.FadeActive[k] && kTransitions[k].Involves(deck.Id(), ab)) {
        // Until the ramp's next step it waits silent beside a song of the
        // deck that is heard.
        if (djvp::mixer::DeckHeardBesides(s, deck.Id(), p)) p->volume(0);
        return;
      }
  djvp::mixer::TakeDeckVolumes(s, deck.Id(), *p);
}

// Pause resumes a paused player (A first) or else pauses a playing one (A
// first): at most one player changes per press. A song that waited silent
// beside the paused one is heard in its place.
void Pause(const djvp::Deck& deck) {
  djvp::clsBassPlayer* a = deck.Player(0);
  djvp::clsBassPlayer* b = deck.Player(1);
  if (a->IsPaused()) {
    Resume(deck, 0);
  } else if (b->IsPaused()) {
    Resume(deck, 1);
  } else if (IsPlaying(a)) {
    deck.Button(kPlay).setEnabled(false);
    a->PausePlay();
    djvp::mixer::HearWaitingSongs(deck.State());
  } else if (IsPlaying(b)) {
    deck.Button(kPlay).setEnabled(false);
    b->PausePlay();
    djvp::mixer::HearWaitingSongs(deck.State());
  }
}

// Stop ends every playing or paused player of the deck, resetting the deck
// after each, and makes Play usable again; a stopped deck's volume slider
// goes back where the crossfader has it.
void Stop(djvp::MainState& s, djvp::DeckId deck) {
  bool stopped = false;
  for (int ab = 0; ab < 2; ++ab) {
    djvp::clsBassPlayer* p = s.Player(deck, ab);
    if (p->IsPlaying() || p->IsPaused()) {
      p->StopPlay();
      ResetDeck(s, deck);
      stopped = true;
    }
  }
  if (stopped) {
    VolumeToCrossfader(s, deck);
    // A song of the other deck that waited on this deck's is heard.
    djvp::mixer::HearWaitingSongs(s);
  }
  djvp::Deck(s, deck).Button(kPlay).setEnabled(true);
}

}  // namespace

void cmdPlayer_Transport(djvp::MainState& s, int index) {
  const auto button = djvp::DeckId::FromGroupIndex(index, kDeckButtons);
  if (!button) return;
  switch (button->k) {
    case kPlay: Play(s, button->deck); break;
    case kPause: Pause(djvp::Deck(s, button->deck)); break;
    case kStop: Stop(s, button->deck); break;
    default: break;
  }
}

void PlayListView_DblClick(djvp::MainState& s, djvp::DeckId deck) {
  cmdPlayer_Transport(s, static_cast<int>(deck.Slot(kDeckButtons, kPlay)));
}

}  // namespace decks
