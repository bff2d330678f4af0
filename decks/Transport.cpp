#include "decks/Transport.h"

#include "app/frmMain.h"

namespace decks {

void cmdPlayer_Transport(djvp::frmMain& form, int index) {
  (void)form;
  (void)index;
}

void PlayListView_DblClick(djvp::frmMain& form, int index) {
  (void)form;
  (void)index;
}

}  // namespace decks
