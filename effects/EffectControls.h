// The deck sound controls of the "Sound Effects" page and the centre panel:
// the effect switches, the effect parameter, tempo, sample-rate and pitch
// sliders, the equaliser bands, the gain and tone spinners and the
// equaliser presets. Each handler sets the deck's sound chain (which the
// deck's next songs play through from their first sample), acts at once on
// the streams of the deck's playing song and stores the control's value
// under its key.
//
// The handlers are also called directly with an index, to apply a control's
// present value again (the switches run the sliders' handlers after
// setting them).
//
// Streams: the effect switches, parameter sliders, tempo, sample rate and
// pitch act on a player's main stream and its headphone mirror; the
// equaliser bands, the gain and the tone act on the main stream only.
#pragma once

#include "ui/DeckId.h"

namespace djvp {
class MainState;
class clsBassPlayer;
}  // namespace djvp

namespace effects {

// Effects(index): deck 1's boxes 0..8, deck 2's 9..17 (deck 2's box for deck
// 1's box k is 17 - k). The seven effect switches put their effect on the
// deck's playing player (B when both play) or take it off, and on switching
// on set their parameter sliders from the settings (from the sliders
// themselves while a song's own effect record is applied) and run them. The
// Equalizer box sets the bands back to 5 and the tone spinners to their
// stored values, the Pitch box sets tempo, sample rate and pitch back to 0,
// 44100 and 0; both end up ticked. Other indexes do nothing.
void Effects_Click(djvp::MainState& s, int index);
// The same, with the seven effect switches acting on the player `onto`
// (null: the one the switches choose): a started song's own effect record
// puts its effects on that song, also while the deck's other player still
// plays out.
void ApplyEffectSwitch(djvp::MainState& s, int index, djvp::clsBassPlayer* onto);

// sldEffects(index): deck 1's sliders 0..13, deck 2's 14..27. 0/14 tempo
// (percent), 1/15 sample rate (Hz, for a song at 44100 Hz: others play at
// value / 44100 times their own rate), 2/16 pitch (semitones), 3..13/17..27
// the effect parameters. Acts on the deck's target player (effects/Targets.h).
// Tempo and sample rate reach no stream while that player's stream is not
// active (the deck stopped or paused), but the deck's chain takes them for
// its next song; every slider's value is stored in any case, and a parameter
// of an effect that is off only changes the stored value. The captions of tempo, sample
// rate and pitch show the slider's value in every case.
void sldEffects_ValueChanged(djvp::MainState& s, int index);

// Eq(index): deck 1's bands 0..9, deck 2's 10..19; gain 5 - value dB on
// every playing player of the deck (A, then B).
void Eq_ValueChanged(djvp::MainState& s, int index);

// UpDown(index): 0 and 4 the decks' gain (factor value / 26), 1..3 and 5..7
// the High, Mid and Low tones (value - 10 dB on the equaliser bands at 12
// kHz, 1 kHz and 170 Hz), on every playing player of the deck; stored and
// captioned also while the deck is idle.
void UpDown_ValueChanged(djvp::MainState& s, int index);

// The captions beside the tempo, sample-rate and pitch sliders and beside
// the gain and tone spinners of both decks, written afresh from what the
// controls hold in the current language ("Tempo = -8 %", "Gain(10)"). The
// handlers above keep them so; the window runs these after every text of
// its own (start, language).
void ShowSliderCaptions(djvp::MainState& s);
void ShowSpinnerCaptions(djvp::MainState& s);

// The equaliser presets (effects/Presets.h holds the files).
// cmdEffects(index): 0 "Load" and 1 "Save" of deck 1, 3 "Load" and 2 "Save"
// of deck 2: fill the deck's preset panel from its file and show it.
void cmdEffects_Click(djvp::MainState& s, int index);
// cmdSelect(index): 1 "OK" and 0 "Cancel" of deck 1, 2 "OK" and 3 "Cancel"
// of deck 2.
void cmdSelect_Click(djvp::MainState& s, int index);
// A double click on a name of cmbSelect(index) (0 deck 1, 1 deck 2) is OK.
void cmbSelect_DblClick(djvp::MainState& s, int index);
// Stores the deck's ten bands under the name in its name field:
// appended to both preset files, or, after the user agreed to overwrite,
// as the new values of every preset of that name in both files.
void SaveEqPreset(djvp::MainState& s, djvp::DeckId deck);

void ConnectHandlers(djvp::MainState& s);

// At start: places the preset files in the data folder when they are
// missing, then reads the stored effect switches, gain and tone spinners,
// equaliser bands and sliders of both decks into their controls (a control
// that changes runs its handler). The Equalizer and Pitch switches are
// ticked first, which resets what they own; the bands and sliders are read
// before that and applied after it, so the stored values win.
void LoadEffectSettings(djvp::MainState& s);

}  // namespace effects
