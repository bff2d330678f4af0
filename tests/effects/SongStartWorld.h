// The sound world with the tag library: songs of the song-start fixtures go
// into the decks' playlists as an import reads them from their tags and are
// started as the decks start them, so that every start runs the song start.
#pragma once

#include "SoundWorld.h"
#include "decks/StartRoutine.h"
#include "platform/Grid.h"
#include "playlists/TrackRow.h"
#include "ui/MainState.h"
#include "ui/TrackColumns.h"

#include <vector>

inline QString SongFixture(const char* name) {
  return QStringLiteral(DJVP_TEST_FIXTURES "/songstart/") + QLatin1String(name);
}

class SongStartWorld : public SoundWorld {
 public:
  SongStartWorld() : SoundWorld(true) {}

  djvp::Grid& List(int deck) const { return *w->Playlist(DeckNo(deck)); }

  // Appends the song's row to the deck's playlist, read from its tags; the
  // row's number.
  int32_t Add(int deck, const char* file) {
    playlists::AddTrackRow(*w, SongFixture(file), List(deck));
    return List(deck).RowCount();
  }
  void SetCell(int deck, int32_t row, djvp::ui::TrackColumn column, const QString& text) {
    List(deck).SetCellValue(row, column, text);
  }
  // Starts the row on the deck with the deck's start routine; what waits
  // for the start tempo, which the engine measures meanwhile, follows as the
  // playback timer's next run would take it.
  void Play(int deck, int32_t row) {
    List(deck).SetCurrentRow(row);
    decks::PlayDeck(*w, DeckNo(deck));
    engine::WaitForBackgroundWork();
    w->PlaybackTick.Raise();
  }
};

// The 36 controls an effect record sets on a deck, in the record's order:
// gain, High, Mid, Low, master volume, ten bands, tempo, sample rate, pitch,
// eleven effect parameters, seven switches (1 on).
inline std::vector<int> RecordControls(const djvp::MainState& w, int deck) {
  const size_t d = static_cast<size_t>(deck - 1);
  std::vector<int> v;
  for (size_t k = 0; k < 4; ++k) v.push_back(w.UpDown[d * 4 + k].value());
  v.push_back(w.MainVolume.value());
  for (size_t b = 0; b < 10; ++b) v.push_back(w.Eq[d * 10 + b].value());
  for (size_t k = 0; k < 14; ++k) v.push_back(w.sldEffects[d * 14 + k].value());
  for (int box = djvp::ctl::kReverbBox; box <= djvp::ctl::kFlangerBox; ++box)
    v.push_back(w.Effects[static_cast<size_t>(djvp::ctl::EffectBoxOf(djvp::kBothDecks[d], box))].isChecked() ? 1 : 0);
  return v;
}
