// The title displays' character set, its pictures and the scroll tick on a
// row of 20 cells.
#include "display/Scroller.h"

#include <QWidget>

#include <gtest/gtest.h>

#include <string>

using namespace djvp;

namespace {

// What a row of cells shows: a blank for a hidden cell, else the character
// whose picture it holds ('?' for a picture of no character).
QString Shown(const ScrollerCellRow& cells) {
  QString out;
  for (const ui::PictureCell* cell : cells) {
    if (!cell->isVisible()) {
      out += QLatin1Char(' ');
      continue;
    }
    QChar c = QLatin1Char('?');
    for (QChar k : ScrollerCharset())
      if (!ScrollerPictureKey(k).isEmpty() && ScrollerPictureKey(k) == cell->key()) c = k;
    out += c;
  }
  return out;
}

// Twenty cell controls, hidden as the window's are at first.
struct Cells {
  Cells() {
    for (size_t c = 0; c < cells.size(); ++c) {
      cells[c].setVisible(false);
      row[c] = &cells[c];
    }
  }
  std::array<ui::PictureCell, kScrollerCells> cells;
  ScrollerCellRow row{};
};

QString Padded(const char* text) { return QString::fromUtf8(text) + ScrollerTrailer(); }

// Twenty cells: `blanks` hidden ones, then text, the rest hidden.
QString Row(int blanks, const char* text) {
  QString row = QString(blanks, QLatin1Char(' ')) + QString::fromUtf8(text);
  return row.leftJustified(20, QLatin1Char(' '));
}

}  // namespace

TEST(ScrollerCharset, KeysFollowTheWindowsCodePage) {
  EXPECT_EQ(ScrollerCharset().size(), 80);
  const struct {
    QChar c;
    const char* key;
  } cases[] = {{QLatin1Char('!'), "ico33"}, {QLatin1Char('A'), "ico65"},  {QLatin1Char('a'), "ico97"},
               {QLatin1Char('_'), "ico95"}, {QChar(0x2022), "ico149"},     {QLatin1Char('%'), "ico37"},
               {QLatin1Char(' '), ""},      {QChar(0x00E9), ""},           {QLatin1Char('#'), ""},
               {QLatin1Char('"'), ""},      {QChar(0x00B7), ""}};
  for (const auto& k : cases) EXPECT_EQ(ScrollerPictureKey(k.c), QLatin1String(k.key)) << int(k.c.unicode());
  // Outside the set (accented letters, # and the like) a cell shows "_".
  EXPECT_EQ(ScrollerShownChar(QChar(0x00E9)), QLatin1Char('_'));
  EXPECT_EQ(ScrollerShownChar(QLatin1Char('#')), QLatin1Char('_'));
  EXPECT_EQ(ScrollerShownChar(QLatin1Char('z')), QLatin1Char('z'));
}

TEST(ScrollerCharset, SeventyNinePicturesOfCellSizeEachWithItsGlyph) {
  const ScrollerPictures& set = ScrollerPictures::Shared();
  EXPECT_EQ(set.Count(), 79);
  QImage previous;
  for (QChar c : ScrollerCharset()) {
    const QString key = ScrollerPictureKey(c);
    if (key.isEmpty()) continue;
    const QImage& img = set.Picture(key);
    ASSERT_FALSE(img.isNull()) << key.toStdString();
    EXPECT_EQ(img.size(), QSize(kScrollerCellWidth, kScrollerCellHeight));
    int ink = 0;
    int solid = 0;
    for (int y = 0; y < img.height(); ++y)
      for (int x = 0; x < img.width(); ++x) {
        const int a = qAlpha(img.pixel(x, y));
        ink += a > 0;
        solid += a >= 200;
      }
    // Every glyph leaves marks, with fully inked pixels (a sharp glyph, not
    // a grey smear), and no two neighbours in the set look the same.
    EXPECT_GT(ink, 0) << key.toStdString();
    EXPECT_GT(solid, 0) << key.toStdString();
    EXPECT_NE(img, previous) << key.toStdString();
    previous = img;
  }
  EXPECT_TRUE(set.Picture(QStringLiteral("ico32")).isNull());
}

TEST(ScrollerCells, TwentyCellsAtTheirPlacesHiddenAtFirst) {
  QWidget panel;
  const ScrollerCellWidgets cells = MakeScrollerCells(&panel);
  for (int c = 0; c < kScrollerCells; ++c) {
    const ScrollerCell* cell = cells[static_cast<size_t>(c)];
    EXPECT_EQ(cell->parentWidget(), &panel);
    EXPECT_EQ(cell->geometry(), QRect(kScrollerCellLeft[static_cast<size_t>(c)], 2, 14, 20));
    EXPECT_TRUE(cell->isHidden());
  }
  EXPECT_EQ(kScrollerCellLeft[0], 5);
  EXPECT_EQ(kScrollerCellLeft[19], 349);
}

TEST(ScrollerTick, CellsAndPositionAfterTicks) {
  const QString sixty = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz01234567");  // 60
  ASSERT_EQ(sixty.size(), 60);
  const struct {
    const char* what;
    QString text;
    int16_t start;
    int ticks;
    QString cells;  // 20 cells, blank = hidden
    int16_t position;
  } cases[] = {
      {"right after loading only d and j show", ScrollerIdleText(), 19, 1, Row(18, "dj"), 18},
      {"resting text from a reset, first tick", ScrollerIdleText(), 2, 1, Row(1, "dj VORLAN"), 1},
      {"resting text, second tick wraps its start into the last cell", ScrollerIdleText(), 2, 2,
       Row(0, "dj VORLAN          d"), 0},
      {"the wrapped copy moves on", ScrollerIdleText(), 2, 4, Row(0, " VORLAN          dj"), -2},
      {"resting text that left the display starts over where its copy stood", ScrollerIdleText(), 2, 21,
       Row(0, "dj VORLAN"), 0},
      {"long text: its last twenty characters, no second copy", sixty, -39, 1, sixty.right(20), -40},
      {"long text: its start enters at the right edge", sixty, -39, 2, sixty.mid(41, 19) + QLatin1Char('A'), -41},
      {"long text gone: position 0", sixty, -59, 1, sixty.left(20), 0},
      {"short text gone: position width minus length", Padded("abcde"), -14, 1, Row(4, "abcde"), 4},
      {"characters outside the set show as _", Padded("Caf\xC3\xA9 #1"), 2, 1, Row(1, "Caf_ _1"), 1},
      {"bullet and punctuation", Padded("a \xE2\x80\xA2 b!"), 2, 1, Row(1, "a \xE2\x80\xA2 b!"), 1},
      {"empty text starts over at the width", QString(), 3, 3, Row(0, ""), 19},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.what);
    Cells shown;
    const ScrollerCellRow& cells = shown.row;
    int16_t position = k.start;
    for (int t = 0; t < k.ticks; ++t) ScrollerTick(k.text, position, 19, cells);
    EXPECT_EQ(Shown(cells).toStdString(), k.cells.toStdString());
    EXPECT_EQ(position, k.position);
  }
}

TEST(ScrollerTick, CellsLeftOfTheTextKeepWhatTheyShowed) {
  Cells shown;
  const ScrollerCellRow& cells = shown.row;
  ScrollerDrawText(QStringLiteral("XXXXXXXXXXXXXXXXXXXX"), 0, 19, cells);
  int16_t position = 6;
  ScrollerTick(QStringLiteral("ab") + ScrollerTrailer(), position, 19, cells);
  EXPECT_EQ(Shown(cells).toStdString(), std::string("XXXXXab          XXX"));
  // Drawing off either edge touches nothing.
  ScrollerDrawText(QStringLiteral("zz"), -2, 19, cells);
  ScrollerDrawText(QStringLiteral("zz"), 20, 19, cells);
  EXPECT_EQ(Shown(cells).toStdString(), std::string("XXXXXab          XXX"));
}
