#include "decks/MixerTitles.h"

#include "platform/Grid.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/Text.h"
#include "ui/TrackColumns.h"

#include <algorithm>

namespace decks {

using djvp::ui::T;

namespace {
bool ValidDeck(int deck) { return deck == 0 || deck == 1; }
}  // namespace

djvp::ScrollerCellRow CellsOf(djvp::MainState& s, int deck) {
  djvp::ScrollerCellRow row{};
  if (!ValidDeck(deck)) return row;
  for (int c = 0; c < djvp::kScrollerCells; ++c)
    row[static_cast<size_t>(c)] = &s.Image1[static_cast<size_t>(deck * djvp::kScrollerCells + c)];
  return row;
}

void DisplayDeckText(djvp::MainState& s, int deck, int16_t start) {
  if (!ValidDeck(deck)) return;
  const size_t d = static_cast<size_t>(deck);
  djvp::ScrollerDrawText(s.ScrollerText[d], start, s.ScrollerWidth[d], CellsOf(s, deck));
}

void ScrollerDeckTick(djvp::MainState& s, int deck) {
  if (!ValidDeck(deck)) return;
  const size_t d = static_cast<size_t>(deck);
  djvp::ScrollerTick(s.ScrollerText[d], s.ScrollerPos[d], s.ScrollerWidth[d], CellsOf(s, deck));
}

void SetScrollerText(djvp::MainState& s, int deck, const QString& line) {
  if (!ValidDeck(deck)) return;
  const size_t d = static_cast<size_t>(deck);
  s.ScrollerText[d] = line + djvp::ScrollerTrailer();
  const int position = s.ScrollerWidth[d] - static_cast<int>(s.ScrollerText[d].size()) + 2;
  s.ScrollerPos[d] = static_cast<int16_t>(std::max(position, -32768));
}

QString ScrollerSongLine(const djvp::Grid& grid, int32_t row) {
  using namespace djvp::ui;
  auto cell = [&](TrackColumn column) { return CellText(grid, row, column); };
  const QString separator = QStringLiteral("  ") + QChar(0x2022) + QStringLiteral("  ");
  QString line = T(djvp::kStrArtist) + QStringLiteral(": ") + cell(kArtist) + separator + T(djvp::kStrTitle) +
                 QStringLiteral(": ") + cell(kTitle);
  struct Part {
    TrackColumn column;
    int label;
  };
  for (const Part& part : {Part{kAlbum, djvp::kStrAlbum}, Part{kYear, djvp::kStrYear},
                           Part{kBitrate, djvp::kStrBitrate}, Part{kFreq, djvp::kStrFreq}}) {
    const QString text = cell(part.column);
    if (!text.isEmpty()) line += separator + T(part.label) + QStringLiteral(": ") + text;
  }
  return line;
}

void SetScrollerText(djvp::MainState& s, djvp::Grid& grid) {
  int deck = -1;
  if (&grid == s.PlayListView[0]) deck = 0;
  if (&grid == s.PlayListView[1]) deck = 1;
  if (deck < 0) return;
  SetScrollerText(s, deck, ScrollerSongLine(grid, grid.CurrentRow()));
}

void ShowScrollerImporting(djvp::MainState& s, int deck) {
  if (!ValidDeck(deck)) return;
  s.ScrollerText[static_cast<size_t>(deck)] = T(djvp::kStrImporting) + djvp::ScrollerTrailer();
}

void ShowScrollerIdle(djvp::MainState& s, int deck, bool resetPosition) {
  if (!ValidDeck(deck)) return;
  if (resetPosition) {
    SetScrollerText(s, deck, QStringLiteral("dj VORLAN"));
  } else {
    s.ScrollerText[static_cast<size_t>(deck)] = djvp::ScrollerIdleText();
  }
}

}  // namespace decks
