#include "decks/Transport.h"

#include "app/Globals.h"
#include "app/frmMain.h"
#include "audio/BassPlayer.h"
#include "decks/DeckControls.h"
#include "decks/DeckReset.h"
#include "decks/StartRoutine.h"
#include "platform/Grid.h"

#include <QPushButton>

namespace decks {

namespace {

void Enable(QPushButton* b, bool on) {
  if (b) b->setEnabled(on);
}

void Play(djvp::frmMain& form, int deck) {
  if (djvp::CrossfadeRunning) return;
  djvp::Grid* grid = Playlist(form, deck);
  if (!grid || grid->RowCount() == 0) return;
  if (grid->SelectionCount() == 0) grid->SetCurrentRow(1);
  const size_t base = deck == 1 ? 0 : 10;
  Enable(form.cmdPlayer[base + 7], false);
  Enable(form.cmdPlayer[base + 8], true);
  PlayDeck(form, deck);
}

// Pause resumes a paused player (A first) or else pauses a playing one (A
// first): at most one player changes per press.
void Pause(djvp::frmMain& form, int deck) {
  djvp::clsBassPlayer* a = Player(deck, 0);
  djvp::clsBassPlayer* b = Player(deck, 1);
  QPushButton* play = form.cmdPlayer[deck == 1 ? 7 : 17];
  if (a && a->IsPaused()) {
    a->ResumePlay();
  } else if (b && b->IsPaused()) {
    b->ResumePlay();
  } else if (IsPlaying(a)) {
    Enable(play, false);
    a->PausePlay();
  } else if (IsPlaying(b)) {
    Enable(play, false);
    b->PausePlay();
  }
}

// Stop ends every playing or paused player of the deck, resetting the deck
// after each, and makes Play usable again.
void Stop(djvp::frmMain& form, int deck) {
  for (int ab = 0; ab < 2; ++ab) {
    djvp::clsBassPlayer* p = Player(deck, ab);
    if (p && (p->IsPlaying() || p->IsPaused())) {
      p->StopPlay();
      ResetDeck(form, deck);
    }
  }
  Enable(form.cmdPlayer[deck == 1 ? 7 : 17], true);
}

}  // namespace

void cmdPlayer_Transport(djvp::frmMain& form, int index) {
  const int deck = index >= 0 && index < 10 ? 1 : (index >= 10 && index < 20 ? 2 : 0);
  if (deck == 0) return;
  switch (index % 10) {
    case 7: Play(form, deck); break;
    case 8: Pause(form, deck); break;
    case 9: Stop(form, deck); break;
    default: break;
  }
}

void PlayListView_DblClick(djvp::frmMain& form, int index) {
  if (index == 0) cmdPlayer_Transport(form, 7);
  if (index == 1) cmdPlayer_Transport(form, 17);
}

}  // namespace decks
