// The decks' title displays on the main window: the song line of a started
// row, which deck it goes to, the Importing and resting texts, and the
// timers' ticks drawing into each deck's own cells.
#include "MixerTestEnv.h"

#include "display/Scroller.h"
#include "display/ScrollerDeck.h"
#include "platform/Grid.h"
#include "platform/Timer.h"

#include <gtest/gtest.h>

using namespace djvp;

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
QString Cells(frmMain& w, int deck) {
  QString out;
  for (int c = 0; c < 20; ++c) {
    ScrollerCell* cell = Image1(w, deck * 20 + c);
    if (!cell || cell->isHidden()) {
      out += QLatin1Char(' ');
      continue;
    }
    QChar shown = QLatin1Char('?');
    for (QChar k : ScrollerCharset())
      if (!ScrollerPictureKey(k).isEmpty() && ScrollerPictureKey(k) == cell->PictureKey()) shown = k;
    out += shown;
  }
  return out;
}

}  // namespace

TEST(MixerTitles, SongLineOfTheCurrentRowInTheCurrentLanguage) {
  MixerWindow m;
  frmMain& w = *m.w;
  Grid& deck1 = *w.PlayListView[0];
  AddRow(deck1, {{"Artist", "Deep Water"}, {"Title", "Night Run"}, {"Year", "1999"}, {"Bitrate", "192"},
                 {"Freq", "44100"}, {"Genre", "Ambient"}});
  SetScrollerText(w, deck1);
  const QString line = "Artist: Deep Water" + kSep + "Title: Night Run" + kSep + "Year: 1999" + kSep +
                       "Bitrate: 192" + kSep + "Freq.: 44100" + kTen;
  EXPECT_EQ(w.ScrollerText1, line);
  EXPECT_EQ(w.ScrollerPos1, 19 - line.size() + 2);
  EXPECT_EQ(w.ScrollerText2, ScrollerIdleText()) << "deck 2 keeps its text";
  EXPECT_EQ(w.ScrollerPos2, 19);

  // Empty cells: artist and title parts stay, the others go; Dutch labels.
  ASSERT_TRUE(w.SelectListEntry(7, 1));
  Grid& deck2 = *w.PlayListView[1];
  AddRow(deck2, {{"Title", "Alleen"}, {"Album", "Zee"}});
  SetScrollerText(w, deck2);
  EXPECT_EQ(w.ScrollerText2, "Artiest: " + kSep + "Titel: Alleen" + kSep + "Album: Zee" + kTen);
  EXPECT_EQ(w.ScrollerPos2, 19 - w.ScrollerText2.size() + 2);
  EXPECT_EQ(w.ScrollerText1, line);

  // A grid that is no deck's playlist changes nothing.
  AddRow(*w.PlayListView[2], {{"Artist", "X"}});
  SetScrollerText(w, *w.PlayListView[2]);
  EXPECT_EQ(w.ScrollerText1, line);
  EXPECT_EQ(w.ScrollerText2, "Artiest: " + kSep + "Titel: Alleen" + kSep + "Album: Zee" + kTen);
}

TEST(MixerTitles, ImportingKeepsThePlaceTheRestingTextStartsAfresh) {
  MixerWindow m;
  frmMain& w = *m.w;
  w.ScrollerPos2 = -5;
  ShowScrollerImporting(w, 1);
  EXPECT_EQ(w.ScrollerText2, "Importing" + kTen);
  EXPECT_EQ(w.ScrollerPos2, -5);
  EXPECT_EQ(w.ScrollerText1, ScrollerIdleText());
  ShowScrollerIdle(w, 1);
  EXPECT_EQ(w.ScrollerText2, ScrollerIdleText());
  EXPECT_EQ(w.ScrollerPos2, 2);
  ShowScrollerImporting(w, 0);
  ShowScrollerIdle(w, 0, false);
  EXPECT_EQ(w.ScrollerText1, ScrollerIdleText());
  EXPECT_EQ(w.ScrollerPos1, 19);
  // A 60-character line is placed 39 cells left of the display.
  SetScrollerText(w, 0, QString(50, QLatin1Char('a')));
  EXPECT_EQ(w.ScrollerPos1, -39);
  SetScrollerText(w, 2, QStringLiteral("nobody"));
  EXPECT_EQ(w.ScrollerText1.size(), 60);
}

TEST(MixerTitles, EachDecksTimerDrawsIntoItsOwnCells) {
  MixerWindow m;
  frmMain& w = *m.w;
  // Right after loading: the first tick shows "d" and "j" in the last two
  // cells, on deck 1 only.
  w.tmrScroller1_ThatTime();
  EXPECT_EQ(Cells(w, 0).toStdString(), "                  dj");
  EXPECT_EQ(Cells(w, 1).toStdString(), "                    ");
  EXPECT_EQ(w.ScrollerPos1, 18);
  EXPECT_EQ(w.ScrollerPos2, 19);
  // Deck 2's cells are Image1(20..39), on its own title panel.
  ASSERT_NE(Image1(w, 20), nullptr);
  EXPECT_EQ(Image1(w, 20)->parentWidget(), w.pctScroller[1]);
  EXPECT_EQ(Image1(w, 19)->parentWidget(), w.pctScroller[0]);
  EXPECT_EQ(Image1(w, 40), nullptr);
  SetScrollerText(w, 1, QStringLiteral("Hi!"));  // 13 characters: shown right-aligned, then moving left
  w.tmrScroller2_ThatTime();
  EXPECT_EQ(Cells(w, 1).toStdString(), "       Hi!          ");
  for (int t = 0; t < 6; ++t) w.tmrScroller2_ThatTime();
  EXPECT_EQ(Cells(w, 1).toStdString(), " Hi!                ");
  EXPECT_EQ(Cells(w, 0).toStdString(), "                  dj") << "deck 1 stood still meanwhile";
  // The timers tick every 200 ms for the window's life.
  EXPECT_EQ(w.tmrScroller1->Interval(), 200);
  EXPECT_TRUE(w.tmrScroller2->Enabled());
}
