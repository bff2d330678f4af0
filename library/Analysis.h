// The library's song analysis: "Calculate the BPM", "Calculate the Gain" and
// "Calculate the Mixpoints" (cmdSearch 2, 3 and 4) measure the songs selected
// in the library grid, one after another, with the window's analysis player,
// show each song's progress and then its result in its cell, store the
// result in the song file's tags (library/SongTags.h), and save the library
// index once at the end.
//
// A run goes on while the window works: each song is measured on a thread of
// its own, which hands progress and result over to the window's thread; the
// window's thread writes the cells, hands the value shown to another thread
// that writes it into the song's tags (which may copy a long song whole),
// and then starts the next song. The decks keep playing and mixing, the
// timers tick and the window repaints meanwhile. One run at a time: while MainState::AnalysisRunning is set, the
// analysis buttons and the commands that change the library's rows are
// refused with a message.
#pragma once

#include <QString>

#include <functional>

namespace djvp {
class MainState;
}

namespace library {

enum class Measurement { kBPM, kGain, kStartMixPoint, kEndMixPoint };

// Starts the command of cmdSearch(index) over the rows selected now (a later
// change of the selection does not change the run) and returns at once; any
// other index does nothing, and so does an empty selection. The run:
//  * BPM: each song's tempo ("000.0" when none is found) into its BPM cell
//    and its tags. Gain: each MP3 song's loudness figure (by mp3gain) into
//    its Gain cell and tags; a song that is not an MP3 file is told of and
//    left alone. Mix points: first the start mix point of every song, then
//    the end mix point of every song ("00.00 sec").
//  * A song whose audio cannot be opened keeps the 0 in its cell and its
//    tags are not touched; the player's message says so.
//  * A file whose tags cannot be written keeps its old tags while its cell
//    and the index hold the new value; after the run one message names
//    every such file and why.
void StartAnalysis(djvp::MainState& s, int index);

// Tests: called on the thread that writes a measured value into a song's
// tags, right before each write (none: nothing is called).
using TagWriteHook = std::function<void(const QString& path)>;
TagWriteHook SetTagWriteHook(TagWriteHook hook);

}  // namespace library
