#include "decks/Handlers.h"

#include "decks/AutomixSettings.h"
#include "decks/MixerCurve.h"
#include "decks/MixerSliders.h"
#include "decks/Transport.h"
#include "platform/Grid.h"
#include "ui/Deck.h"

namespace decks {

void ConnectHandlers(djvp::MainState& s) {
  using namespace djvp;
  for (DeckId id : kBothDecks) {
    const Deck deck(s, id);
    for (ctl::PlayerButton b : {ctl::kPlay, ctl::kPause, ctl::kStop}) {
      const int index = static_cast<int>(id.Slot(ctl::kDeckButtons, b));
      deck.Button(b).Click = [&s, index] { cmdPlayer_Transport(s, index); };
    }
    if (Grid* grid = deck.Playlist())
      QObject::connect(grid, &Grid::DblClick, grid, [&s, id] { PlayListView_DblClick(s, id); });
    deck.Position().Change = [&s, id] { mixer::Position_ValueChanged(s, id); };
    deck.Volume().Change = [&s, id] {
      mixer::Volume_ValueChanged(s, id);
      // A song of the other deck that waited on this deck's, now silenced,
      // is heard.
      mixer::HearWaitingSongs(s);
    };
    deck.Headphone().Change = [&s, id] { mixer::VolumeHP_ValueChanged(s, id); };
  }
  s.Slider1.Change = [&s] { mixer::Slider1_ValueChanged(s); };
  s.Command1.Click = [&s] { mixer::Command1_Click(s); };
  s.MainVolume.Change = [&s] { mixer::MainVolume_ValueChanged(s); };

  s.MixerTime.Change = [&s] { mixer::MixerTime_ValueChanged(s); };
  for (int i = 0; i < 4; ++i) s.Check1[static_cast<size_t>(i)].Click = [&s, i] { mixer::Check1_Click(s, i); };
  for (int i = 0; i < 2; ++i)
    s.AutomationSlider[static_cast<size_t>(i)].Change = [&s, i] { mixer::AutomationSlider_ValueChanged(s, i); };
  for (int i = 0; i < 6; ++i) s.MixPreview[static_cast<size_t>(i)].Click = [&s, i] { mixer::MixPreview_Click(s, i); };
  s.pctDimmer.MouseDown = [&s](int16_t b, int16_t sh, float x, float y) { mixer::pctDimmer_MouseDown(s, b, sh, x, y); };
  s.pctDimmer.MouseMove = [&s](int16_t b, int16_t sh, float x, float y) { mixer::pctDimmer_MouseMove(s, b, sh, x, y); };
  s.pctDimmer.MouseUp = [&s](int16_t b, int16_t sh, float x, float y) { mixer::pctDimmer_MouseUp(s, b, sh, x, y); };
}

}  // namespace decks
