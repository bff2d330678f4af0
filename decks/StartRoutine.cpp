#include "decks/StartRoutine.h"

#include "audio/BassPlayer.h"
#include "audio/Messages.h"
#include "audio/ModBass.h"
#include "decks/AudioOps.h"
#include "decks/DeckControls.h"
#include "decks/DeckServices.h"
#include "decks/MixerTitles.h"
#include "platform/FileProblems.h"
#include "platform/Grid.h"
#include "platform/Notice.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/Text.h"
#include "ui/TrackColumns.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace decks {

namespace {

int32_t ToInt32(double v) {
  if (!std::isfinite(v)) return 0;
  return static_cast<int32_t>(std::clamp<double>(std::nearbyint(v), std::numeric_limits<int32_t>::min(),
                                                 std::numeric_limits<int32_t>::max()));
}

// A mix-point cell in bytes of the stream; 0 for an empty cell, for text
// that holds no usable number of seconds, and when the conversion fails.
int64_t MixPointBytes(engine::Handle stream, const QString& cell) {
  if (cell.isEmpty()) return 0;
  const std::optional<double> seconds = djvp::ui::MixPointSeconds(cell);
  if (!seconds) return 0;
  return std::max<int64_t>(0, ChannelSeconds2Bytes(stream, static_cast<float>(*seconds)));
}

// The playable part of the song on P: StreamTime is where it ends, in whole
// seconds from the file's start (the positions the timer compares with it
// count from there too); StartMixPoint is where Play begins.
void SetPlayableSpan(djvp::MainState& s, djvp::clsBassPlayer& p, const djvp::Grid& grid, int32_t row) {
  DeckState& st = s.Decks;
  if (!s.UseMixPoints) {
    p.StreamTime(p.DummyTime());
    p.StartMixPoint(0);
    return;
  }
  st.StartMixBytes = MixPointBytes(p.STRM(), djvp::ui::CellText(grid, row, djvp::ui::kStartMixPoint));
  st.EndMixBytes = MixPointBytes(p.STRM(), djvp::ui::CellText(grid, row, djvp::ui::kEndMixPoint));
  const int64_t start = st.StartMixBytes;
  const int64_t e = st.EndMixBytes;
  const float end = e > 0 ? djvp::modBass_Bytes2Seconds(p.STRM(), e) : -1.0f;
  p.StreamTime(end > 0 ? ToInt32(end) : p.DummyTime());
  p.StartMixPoint(static_cast<int32_t>(std::clamp<int64_t>(start, 0, std::numeric_limits<int32_t>::max())));
}

void ShowRowLabels(djvp::MainState& s, int deck, const djvp::Grid& grid, int32_t row) {
  const size_t d = static_cast<size_t>(deck - 1);
  s.tTime[d].setText(djvp::ui::CellText(grid, row, djvp::ui::kTime));
  const QString bpm = djvp::ui::CellText(grid, row, djvp::ui::kBPM);
  s.lblBPM[d].setText(bpm.isEmpty() ? QStringLiteral("000.0") : bpm);
}

void SetPositionRange(djvp::ui::Slider* slider, int32_t streamTime) {
  if (!slider) return;
  slider->setValueClamped(0);
  slider->setMaximum(std::max(0, streamTime));
}

}  // namespace

int16_t FadeOutPercentOf(int16_t mixLeftU, int16_t mixLeftD) {
  const int d = mixLeftD - mixLeftU;
  return static_cast<int16_t>(d == 0 ? mixLeftD : d);
}

int16_t FadeInPercentOf(int16_t mixRightU, int16_t mixRightD) {
  const int d = mixRightU - mixRightD;
  return static_cast<int16_t>(d == 0 ? mixRightU : d);
}

StartResult PlayDeck(djvp::MainState& s, int deck) {
  if (deck != 1 && deck != 2) return StartResult::kRefused;
  DeckState& st = s.Decks;
  if (st.CrossfadeRunning) return StartResult::kRefused;
  djvp::Grid* grid = s.Playlist(deck);
  if (!grid) return StartResult::kRefused;
  const int32_t row = djvp::ui::SelectedRow(*grid);
  const QString path = djvp::ui::CellText(*grid, row, djvp::ui::kFilename);
  st.FadeOutPercent = FadeOutPercentOf(s.MixLeftU, s.MixLeftD);
  st.FadeInPercent = FadeInPercentOf(s.MixRightU, s.MixRightD);

  // Which player gets the song, and which one (if any) it fades in over.
  const int other = 3 - deck;
  djvp::clsBassPlayer* ownA = s.Player(deck, 0);
  djvp::clsBassPlayer* ownB = s.Player(deck, 1);
  djvp::clsBassPlayer* p = ownA;
  djvp::clsBassPlayer* o = nullptr;
  int slot = -1;
  if (IsPlaying(ownA) && !IsPlaying(ownB)) {
    p = ownB;
    o = ownA;
    slot = deck == 1 ? k1A_1B : k2A_2B;
  } else if (IsPlaying(ownB) && !IsPlaying(ownA)) {
    o = ownB;
    slot = deck == 1 ? k1B_1A : k2B_2A;
  } else if (IsPlaying(s.Player(other, 0)) && !IsPlaying(ownA)) {
    o = s.Player(other, 0);
    slot = deck == 1 ? k2A_1A : k1A_2A;
  } else if (IsPlaying(s.Player(other, 1)) && !IsPlaying(ownA)) {
    o = s.Player(other, 1);
    slot = deck == 1 ? k2B_1A : k1B_2A;
  }
  if (!p) return StartResult::kRefused;

  p->filename(path);
  if (!p->OpenFile()) return StartResult::kFailed;
  SetScrollerText(s, *grid);
  SetPlayableSpan(s, *p, *grid, row);
  djvp::ui::Slider* position = s.PositionSlider(deck);
  const int16_t headphoneVolume = static_cast<int16_t>(100 - s.HeadphoneSlider(deck)->value());

  if (o) {
    // Crossfade start: the new song comes in silent over the playing one;
    // the playback timer runs the ramps.
    {
      const djvp::ui::EventBlocker quiet(*position);
      SetPositionRange(position, p->StreamTime());
    }
    const double outMs = 1000.0 * static_cast<double>(PlayerPosition(*o));
    const double fadeOutMs = s.MixTime / 100.0 * st.FadeOutPercent * 1000.0;
    st.FadeOutEndMs[static_cast<size_t>(slot)] = ToInt32(outMs + fadeOutMs);
    p->PreVolume(headphoneVolume);
    p->volume(0);
    if (Services().LoadTrackHook) Services().LoadTrackHook();
    if (!p->Play()) return StartResult::kFailed;
    if (Services().InitEqualizerBands) Services().InitEqualizerBands(p->STRM());
    st.CrossfadeRunning = true;
    st.FadeActive[static_cast<size_t>(slot)] = true;
    ShowRowLabels(s, deck, *grid, row);
    if (Services().ApplyTrackSettings) Services().ApplyTrackSettings(s, deck, p->STRM());
    return StartResult::kStarted;
  }

  // Plain start: nothing to fade out. These slider moves reach the sliders'
  // handlers as a user's would.
  st.AutomixTransition = false;
  SetPositionRange(position, p->StreamTime());
  djvp::ui::Slider* volume = s.VolumeSlider(deck);
  if (s.AutomixOn) {
    p->volume(100);
    SetSliderValue(volume, 0);
  } else {
    p->volume(static_cast<int16_t>(100 - volume->value()));
  }
  p->PreVolume(headphoneVolume);
  if (Services().LoadTrackHook) Services().LoadTrackHook();
  if (!p->Play()) return StartResult::kFailed;
  if (Services().InitEqualizerBands) Services().InitEqualizerBands(p->STRM());
  ShowRowLabels(s, deck, *grid, row);
  const QString bpm = djvp::ui::CellText(*grid, row, djvp::ui::kBPM);
  if (bpm.isEmpty()) {
    st.MasterBPM = 0;
  } else if (const std::optional<double> v = djvp::ui::ParseNumber(bpm)) {
    st.MasterBPM = static_cast<float>(*v);
  }
  if (Services().ApplyTrackSettings) Services().ApplyTrackSettings(s, deck, p->STRM());
  SetSliderValue(&s.Slider1, deck == 1 ? 0 : 100);
  return StartResult::kStarted;
}

StartResult PlayDeckOrNextPlayable(djvp::MainState& s, int deck) {
  if (!s.AutomixOn) return PlayDeck(s, deck);
  djvp::Grid* grid = s.Playlist(deck);
  djvp::FileProblems passed;  // the rows passed over, by what failed and why
  StartResult result = StartResult::kRefused;
  for (;;) {
    // The player's messages of this row are held back until it is known
    // whether the row plays.
    QStringList said;
    std::vector<djvp::FileMessage> refused;
    const djvp::MessageSink previous = djvp::SetThreadMessageSink([&said](const QString& text) { said << text; });
    const djvp::FileMessageSink previousFile =
        djvp::SetThreadFileMessageSink([&refused](const djvp::FileMessage& m) { refused.push_back(m); });
    result = PlayDeck(s, deck);
    djvp::SetThreadMessageSink(previous);
    djvp::SetThreadFileMessageSink(previousFile);
    if (result != StartResult::kFailed) {
      for (const QString& text : said) djvp::ReportMessage(text);
      for (const djvp::FileMessage& m : refused) djvp::ReportFileMessage(m);
      break;
    }
    for (const djvp::FileMessage& m : refused) passed.Add(m.what + QStringLiteral(": ") + m.why, m.file);
    for (const QString& text : said) passed.Add(text, djvp::ui::CellText(*grid, djvp::ui::SelectedRow(*grid), djvp::ui::kFilename));
    if (said.isEmpty() && refused.empty())
      passed.Add(djvp::ui::T(djvp::kStrCantCreateStream),
                 djvp::ui::CellText(*grid, djvp::ui::SelectedRow(*grid), djvp::ui::kFilename));
    const int32_t row = djvp::ui::SelectedRow(*grid);
    if (row >= grid->RowCount()) break;  // the list has no next row
    grid->SetCurrentRow(row + 1);
  }
  // Told without stopping the mix, grouped as every list of files is.
  if (!passed.IsEmpty()) djvp::Notice(djvp::ui::T(djvp::kStrSongsSkipped) + QLatin1Char('\n') + passed.Text());
  return result;
}

}  // namespace decks
