// What a deck does around the start of a song (by its Play button, a double
// click on its playlist or the automix's next row): the automatic gain and
// tempo matching, and the song's own effect record from its tags. The
// deck's own sound settings need nothing here: they live on the deck's
// sound chain, which every song of the deck plays through.
#pragma once

#include "engine/Engine.h"
#include "ui/DeckId.h"

#include <QStringList>

#include <cstdint>
#include <optional>

namespace djvp {
class MainState;
class clsBassPlayer;
}  // namespace djvp

namespace effects {

// A song start on a deck, in two steps (the decks' SongLoaded and
// SongStarted events, which ConnectHandlers subscribes to). The new song's
// streams play through the deck's chain from their first sample, so the
// deck's effects, tempo, sample rate, pitch, bands, gain and tone are on
// them already; what remains belongs to the song:
// 1. before Play, Auto Gain, for an MP3 song only: the volume factor of the
//    stream becomes (100 - L) / 10 * gain / 26 + 1, L the loudness figure in
//    the row's "Gain" cell (no cell figure, or one that is no number: 1);
// 2. after Play, Auto BPM: the tempo slider takes the difference of the
//    outgoing and the incoming song's tempo (MatchedTempo); without a
//    crossfade into the deck, or when the tempos cannot be matched, the
//    procedure ends here. The engine measures a started song's tempo after
//    its start: while the tempo of either song is not known yet, this step
//    and the next wait for it (StartTempoCheck) and the procedure ends here
//    for now;
// 3. the song's effect record (ApplySongEffectRecords).
void SongLoaded(djvp::MainState& s, djvp::DeckId deck, djvp::clsBassPlayer& loaded);
void SongStarted(djvp::MainState& s, djvp::DeckId deck, djvp::clsBassPlayer& started);

// At every run of the playback timer while a song plays (the decks' start
// tempo service): for each deck whose recalculated-tempo label or tempo
// matching waits for a start tempo that the engine has measured meanwhile,
// the label shows it, and the waiting song start goes on from its tempo
// matching (when the song still plays, and its crossfade still runs).
void StartTempoCheck(djvp::MainState& s);

// The deck's recalculated-tempo label: the measured start tempo of
// the deck's target player at its present speed ("0.0" while the engine
// still measures it; StartTempoCheck shows it when it is known).
void ShowTempoBpm(djvp::MainState& s, djvp::DeckId deck);

// The tempo slider value that brings a song at `incoming` BPM towards one
// at `outgoing` BPM: their difference, to the nearest whole number (halves
// to the even one). Nothing when they are equal, when the difference is
// larger than `limitPercent` percent of `incoming`, or when a tempo is not
// a number.
std::optional<int32_t> MatchedTempo(float outgoing, float incoming, int32_t limitPercent);

// The effect records of a comment text, given to the deck's controls. A record is a header line (not looked at) and 36 value lines:
// gain, High, Mid, Low, master volume, the ten bands, tempo, sample rate,
// pitch, the eleven effect parameters and the seven effect switches
// (Reverb, Low Pass, Big Echo, Rotate, Swap, Echo, Flanger; 1 on, anything
// else off). A record starts after every line that is exactly "SDE", and at
// the first line when `recordAtStart` (an MP3's "SDE" comment); later
// records win. A line that is missing, not a whole number or outside its
// control's range leaves that control as it is. The gain, tone, master
// volume, band, tempo, sample-rate and pitch handlers run for every record
// whatever its lines hold; an effect switch whose state changes acts on
// `started` (the player the song was started on).
void ApplyEffectRecords(djvp::MainState& s, djvp::DeckId deck, const QStringList& lines, bool recordAtStart,
                        djvp::clsBassPlayer* started);

// The started song's own effect records: for an MP3 the first ID3v2 comment
// whose language is "SDE" (a record from its first line), for WMA, FLAC and
// Ogg Vorbis the comment's "SDE" marker lines; other formats carry none.
// The tag library control must have analysed the song's file last; `format`
// is its format number.
void ApplySongEffectRecords(djvp::MainState& s, djvp::DeckId deck, int16_t format, djvp::clsBassPlayer* started);

}  // namespace effects
