#include "decks/Transport.h"

#include "app/frmMain.h"

namespace decks {

void cmdPlayer_Transport(frmMain& form, int index) {
  (void)form;
  (void)index;
}

void PlayListView_DblClick(frmMain& form, int deck) {
  (void)form;
  (void)deck;
}

}  // namespace decks
