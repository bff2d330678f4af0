#include "decks/MixerTitles.h"

#include "platform/Grid.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/Text.h"
#include "ui/TrackColumns.h"

#include <algorithm>

namespace decks {

using djvp::ui::T;

djvp::ScrollerCellRow CellsOf(djvp::DeckPanels& s, djvp::DeckId deck) {
  djvp::ScrollerCellRow row{};
  for (int c = 0; c < djvp::kScrollerCells; ++c) row[static_cast<size_t>(c)] = &s.Image1[deck.Slot(djvp::kScrollerCells, c)];
  return row;
}

void DisplayDeckText(djvp::DeckPanels& s, djvp::DeckId deck, int16_t start) {
  const size_t d = deck.Index();
  djvp::ScrollerDrawText(s.ScrollerText[d], start, s.ScrollerWidth[d], CellsOf(s, deck));
}

void ScrollerDeckTick(djvp::DeckPanels& s, djvp::DeckId deck) {
  const size_t d = deck.Index();
  djvp::ScrollerTick(s.ScrollerText[d], s.ScrollerPos[d], s.ScrollerWidth[d], CellsOf(s, deck));
}

void SetScrollerText(djvp::DeckPanels& s, djvp::DeckId deck, const QString& line) {
  const size_t d = deck.Index();
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

void SetScrollerText(djvp::DeckPanels& s, djvp::Grid& grid) {
  for (djvp::DeckId deck : djvp::kBothDecks)
    if (&grid == s.PlayListView[deck.Index()]) SetScrollerText(s, deck, ScrollerSongLine(grid, grid.CurrentRow()));
}

void ShowScrollerImporting(djvp::DeckPanels& s, djvp::DeckId deck) {
  s.ScrollerText[deck.Index()] = T(djvp::kStrImporting) + djvp::ScrollerTrailer();
}

void ShowScrollerIdle(djvp::DeckPanels& s, djvp::DeckId deck, bool resetPosition) {
  if (resetPosition) {
    SetScrollerText(s, deck, QStringLiteral("dj VORLAN"));
  } else {
    s.ScrollerText[deck.Index()] = djvp::ScrollerIdleText();
  }
}

}  // namespace decks
