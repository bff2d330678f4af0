// The title displays of the decks on the main window (declared with the
// display code in display/ScrollerDeck.h; built with the window because it
// reaches into the window's fields).
#include "display/ScrollerDeck.h"

#include "app/frmMain.h"
#include "display/Scroller.h"
#include "platform/Grid.h"
#include "StringTable.h"

#include <algorithm>

namespace djvp {

namespace {

const char* const kCellProperty = "scrollerCell";

QString T(int n) { return QString::fromStdString(Tr(n)); }

QWidget* PanelOf(frmMain& form, int deck) {
  if (deck < 0 || deck > 1) return nullptr;
  return form.pctScroller[static_cast<size_t>(deck)];
}

// The cells of one panel, found by the index each carries.
ScrollerCellRow CellsOf(QWidget* panel) {
  ScrollerCellRow row{};
  if (!panel) return row;
  for (ScrollerCell* cell : panel->findChildren<ScrollerCell*>(Qt::FindDirectChildrenOnly)) {
    bool ok = false;
    const int index = cell->property(kCellProperty).toInt(&ok);
    if (ok && index >= 0 && index < kScrollerCells) row[static_cast<size_t>(index)] = cell;
  }
  return row;
}

struct DeckDisplay {
  QString* text;
  int16_t* position;
  int16_t width;
};

DeckDisplay DisplayOf(frmMain& form, int deck) {
  if (deck == 0) return {&form.ScrollerText1, &form.ScrollerPos1, form.ScrollerWidth1};
  return {&form.ScrollerText2, &form.ScrollerPos2, form.ScrollerWidth2};
}

}  // namespace

void CreateScrollerCells(frmMain& form) {
  for (int deck = 0; deck < 2; ++deck) {
    QWidget* panel = PanelOf(form, deck);
    if (!panel || CellsOf(panel)[0]) continue;
    ScrollerPictures::Shared();
    const ScrollerCellRow row = MakeScrollerCells(panel);
    for (int c = 0; c < kScrollerCells; ++c) row[static_cast<size_t>(c)]->setProperty(kCellProperty, c);
  }
}

ScrollerCell* Image1(frmMain& form, int index) {
  if (index < 0 || index >= 2 * kScrollerCells) return nullptr;
  return CellsOf(PanelOf(form, index / kScrollerCells))[static_cast<size_t>(index % kScrollerCells)];
}

void DisplayDeckText(frmMain& form, int deck, int16_t start) {
  if (deck < 0 || deck > 1) return;
  CreateScrollerCells(form);
  const DeckDisplay d = DisplayOf(form, deck);
  ScrollerDrawText(*d.text, start, d.width, CellsOf(PanelOf(form, deck)));
}

void ScrollerDeckTick(frmMain& form, int deck) {
  if (deck < 0 || deck > 1) return;
  CreateScrollerCells(form);
  const DeckDisplay d = DisplayOf(form, deck);
  ScrollerTick(*d.text, *d.position, d.width, CellsOf(PanelOf(form, deck)));
}

void SetScrollerText(frmMain& form, int deck, const QString& line) {
  if (deck < 0 || deck > 1) return;
  const DeckDisplay d = DisplayOf(form, deck);
  *d.text = line + ScrollerTrailer();
  const int position = d.width - static_cast<int>(d.text->size()) + 2;
  *d.position = static_cast<int16_t>(std::max(position, -32768));
}

QString ScrollerSongLine(const Grid& grid, int32_t row) {
  auto cell = [&](const char* key) { return grid.TextAt(row, grid.ColumnNumber(QLatin1String(key))); };
  const QString separator = QStringLiteral("  ") + QChar(0x2022) + QStringLiteral("  ");
  QString line = T(264) + QStringLiteral(": ") + cell("Artist") + separator + T(322) + QStringLiteral(": ") +
                 cell("Title");
  struct Part {
    const char* key;
    int label;
  };
  for (const Part& part : {Part{"Album", 265}, Part{"Year", 268}, Part{"Bitrate", 278}, Part{"Freq", 279}}) {
    const QString text = cell(part.key);
    if (!text.isEmpty()) line += separator + T(part.label) + QStringLiteral(": ") + text;
  }
  return line;
}

void SetScrollerText(frmMain& form, Grid& grid) {
  int deck = -1;
  if (&grid == form.PlayListView[0]) deck = 0;
  if (&grid == form.PlayListView[1]) deck = 1;
  if (deck < 0) return;
  SetScrollerText(form, deck, ScrollerSongLine(grid, grid.CurrentRow()));
}

void ShowScrollerImporting(frmMain& form, int deck) {
  if (deck < 0 || deck > 1) return;
  *DisplayOf(form, deck).text = T(277) + ScrollerTrailer();
}

void ShowScrollerIdle(frmMain& form, int deck, bool resetPosition) {
  if (deck < 0 || deck > 1) return;
  if (resetPosition) {
    SetScrollerText(form, deck, QStringLiteral("dj VORLAN"));
  } else {
    *DisplayOf(form, deck).text = ScrollerIdleText();
  }
}

}  // namespace djvp
