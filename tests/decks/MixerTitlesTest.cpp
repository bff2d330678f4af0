// The decks' title displays on the main window: the song line of a started
// row, which deck it goes to, the Importing and resting texts, and the
// timers' ticks drawing into each deck's own cells.
#include "MixerTestEnv.h"

#include "decks/MixerTitles.h"
#include "display/ScrollerText.h"
#include "platform/Grid.h"

#include <gtest/gtest.h>

using namespace djvp;
using namespace decks;

namespace {

const QString kSep = QStringLiteral("  ") + QChar(0x2022) + QStringLiteral("  ");
const QString kTen(10, QLatin1Char(' '));

// Adds a row to the grid with the given cells and makes it the current row.
void AddRow(Grid& g, const std::vector<std::pair<const char*, const char*>>& cells) {
  const int32_t row = g.AddRow();
  for (const auto& [key, text] : cells) g.SetTextAt(row, g.ColumnNumber(QLatin1String(key)), QString::fromUtf8(text));
  g.SetCurrentRow(row);
}

// What deck d's cells show (blank for a hidden cell).
QString Cells(DeckPanels& w, int deck) {
  QString out;
  for (int c = 0; c < 20; ++c) {
    const ui::PictureCell& cell = w.Image1[static_cast<size_t>(deck * 20 + c)];
    if (!cell.isVisible()) {
      out += QLatin1Char(' ');
      continue;
    }
    QChar shown = QLatin1Char('?');
    for (QChar k : ScrollerCharset())
      if (!ScrollerPictureKey(k).isEmpty() && ScrollerPictureKey(k) == cell.key()) shown = k;
    out += shown;
  }
  return out;
}

}  // namespace

TEST(MixerTitles, SongLineOfTheCurrentRowInTheCurrentLanguage) {
  MixerWindow m;
  MainState& w = *m.w;
  Grid& deck1 = *w.PlayListView[0];
  AddRow(deck1, {{"Artist", "Deep Water"}, {"Title", "Night Run"}, {"Year", "1999"}, {"Bitrate", "192"},
                 {"Freq", "44100"}, {"Genre", "Ambient"}});
  SetScrollerText(w, deck1);
  const QString line = "Artist: Deep Water" + kSep + "Title: Night Run" + kSep + "Year: 1999" + kSep +
                       "Bitrate: 192" + kSep + "Freq.: 44100" + kTen;
  EXPECT_EQ(w.ScrollerText[0], line);
  EXPECT_EQ(w.ScrollerPos[0], 19 - line.size() + 2);
  EXPECT_EQ(w.ScrollerText[1], ScrollerIdleText()) << "deck 2 keeps its text";
  EXPECT_EQ(w.ScrollerPos[1], 19);

  // Empty cells: artist and title parts stay, the others go; Dutch labels.
  LangOffset = 1000;
  Grid& deck2 = *w.PlayListView[1];
  AddRow(deck2, {{"Title", "Alleen"}, {"Album", "Zee"}});
  SetScrollerText(w, deck2);
  EXPECT_EQ(w.ScrollerText[1], "Artiest: " + kSep + "Titel: Alleen" + kSep + "Album: Zee" + kTen);
  EXPECT_EQ(w.ScrollerPos[1], 19 - w.ScrollerText[1].size() + 2);
  EXPECT_EQ(w.ScrollerText[0], line);

  // A grid that is no deck's playlist changes nothing.
  AddRow(*w.PlayListView[2], {{"Artist", "X"}});
  SetScrollerText(w, *w.PlayListView[2]);
  EXPECT_EQ(w.ScrollerText[0], line);
  EXPECT_EQ(w.ScrollerText[1], "Artiest: " + kSep + "Titel: Alleen" + kSep + "Album: Zee" + kTen);
}

TEST(MixerTitles, ImportingKeepsThePlaceTheRestingTextStartsAfresh) {
  MixerWindow m;
  MainState& w = *m.w;
  w.ScrollerPos[1] = -5;
  ShowScrollerImporting(w, djvp::kDeck2);
  EXPECT_EQ(w.ScrollerText[1], "Importing" + kTen);
  EXPECT_EQ(w.ScrollerPos[1], -5);
  EXPECT_EQ(w.ScrollerText[0], ScrollerIdleText());
  ShowScrollerIdle(w, djvp::kDeck2);
  EXPECT_EQ(w.ScrollerText[1], ScrollerIdleText());
  EXPECT_EQ(w.ScrollerPos[1], 2);
  ShowScrollerImporting(w, djvp::kDeck1);
  ShowScrollerIdle(w, djvp::kDeck1, false);
  EXPECT_EQ(w.ScrollerText[0], ScrollerIdleText());
  EXPECT_EQ(w.ScrollerPos[0], 19);
  // A 60-character line is placed 39 cells left of the display.
  SetScrollerText(w, djvp::kDeck1, QString(50, QLatin1Char('a')));
  EXPECT_EQ(w.ScrollerPos[0], -39);
  EXPECT_EQ(w.ScrollerText[0].size(), 60);
}

TEST(MixerTitles, EachDecksTimerDrawsIntoItsOwnCells) {
  // The title displays need the deck panels alone.
  DeckPanels w;
  // Right after loading: the first tick shows "d" and "j" in the last two
  // cells, on deck 1 only.
  ScrollerDeckTick(w, djvp::kDeck1);
  EXPECT_EQ(Cells(w, 0).toStdString(), "                  dj");
  EXPECT_EQ(Cells(w, 1).toStdString(), "                    ");
  EXPECT_EQ(w.ScrollerPos[0], 18);
  EXPECT_EQ(w.ScrollerPos[1], 19);
  // Deck 2's cells are Image1(20..39).
  EXPECT_EQ(CellsOf(w, djvp::kDeck2)[0], &w.Image1[20]);
  EXPECT_EQ(CellsOf(w, djvp::kDeck1)[19], &w.Image1[19]);
  SetScrollerText(w, djvp::kDeck2, QStringLiteral("Hi!"));  // 13 characters: shown right-aligned, then moving left
  ScrollerDeckTick(w, djvp::kDeck2);
  EXPECT_EQ(Cells(w, 1).toStdString(), "       Hi!          ");
  for (int t = 0; t < 6; ++t) ScrollerDeckTick(w, djvp::kDeck2);
  EXPECT_EQ(Cells(w, 1).toStdString(), " Hi!                ");
  EXPECT_EQ(Cells(w, 0).toStdString(), "                  dj") << "deck 1 stood still meanwhile";
}
