// The grid control as its callers use it: columns by key, typed cells,
// selection, sorting by a header click, quick find, the one-cell repaint
// and the events the user's mouse and keys raise.
#include "platform/Grid.h"

#include <QApplication>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QScrollBar>
#include <QTableView>

#include <gtest/gtest.h>

#include <vector>

using djvp::Grid;
using djvp::GridSortKind;
using djvp::GridSortSpec;

namespace {

const char* const kKeys[] = {"Artist", "Title", "Time", "Filename", "BPM", "Genre", "Album",
                             "Year", "Bitrate", "Freq", "Gain", "StartMixPoint", "EndMixPoint"};

void AddTrackColumns(Grid& g) {
  for (const char* key : kKeys) g.InsertColumn(QString::fromLatin1(key), QString::fromLatin1(key));
}

// Appends one row per text, in column c.
void AddRowsWithColumn(Grid& g, int c, const std::vector<QString>& texts) {
  for (const QString& t : texts) g.SetTextAt(g.AddRow(), c, t);
}

std::vector<QString> ColumnTexts(const Grid& g, int c) {
  std::vector<QString> out;
  for (int r = 1; r <= g.RowCount(); ++r) out.push_back(g.TextAt(r, c));
  return out;
}

// What a header click does in the playlists and the library: sort by that
// column alone, ascending first, then alternating by the column's mark.
void ClickSort(Grid& g, int column) {
  GridSortSpec& sortSpec = g.SortSpec();
  sortSpec.Clear();
  int entry = sortSpec.EntryOf(column);
  if (entry == 0) {
    entry = sortSpec.Count() + 1;
    sortSpec.SetColumn(entry, column);
  }
  if (g.ColumnMark(column).isEmpty()) {
    g.SetColumnMark(column, QStringLiteral("DESC"));
    sortSpec.SetOrder(entry, GridSortSpec::kAscending);
  } else {
    g.SetColumnMark(column, QString());
    sortSpec.SetOrder(entry, GridSortSpec::kDescending);
  }
  sortSpec.SetKind(entry, g.ColumnSortKind(column));
  g.ApplySort();
}

QPoint CellCentre(Grid& g, int row, int column) {
  QTableView* v = g.View();
  return v->visualRect(v->model()->index(row - 1, column - 1)).center();
}

void Click(QWidget* target, QPoint at, Qt::MouseButton button, Qt::KeyboardModifiers mods = Qt::NoModifier) {
  const QPointF global = target->mapToGlobal(QPointF(at));
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(at), global, button, button, mods);
  QApplication::sendEvent(target, &press);
  QMouseEvent release(QEvent::MouseButtonRelease, QPointF(at), global, button, Qt::NoButton, mods);
  QApplication::sendEvent(target, &release);
}

void TypeKey(QWidget* target, Qt::Key key, const QString& text) {
  QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &press);
  QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
  QApplication::sendEvent(target, &release);
}

// A shown grid with the thirteen track columns.
class ShownGrid : public ::testing::Test {
 protected:
  void SetUp() override {
    AddTrackColumns(grid);
    grid.resize(900, 400);
    grid.show();
    QApplication::processEvents();
  }
  Grid grid;
};

TEST(GridColumns, KeysHeadersWidthsAndVisibility) {
  Grid g;
  AddTrackColumns(g);
  ASSERT_EQ(g.ColumnCount(), 13);
  EXPECT_EQ(g.ColumnNumber(QStringLiteral("Artist")), 1);
  EXPECT_EQ(g.ColumnNumber(QStringLiteral("EndMixPoint")), 13);
  EXPECT_EQ(g.ColumnNumber(QStringLiteral("endmixpoint")), 13);
  EXPECT_EQ(g.ColumnNumber(QStringLiteral("Nope")), 0);
  EXPECT_EQ(g.InsertColumn(QStringLiteral("Title"), QStringLiteral("again")), 0);  // keys are unique
  EXPECT_EQ(g.InsertColumn(QString(), QStringLiteral("no key")), 0);
  EXPECT_EQ(g.ColumnCount(), 13);

  EXPECT_TRUE(g.SetHeaderCaption(QStringLiteral("Title"), QStringLiteral("Titel")));
  EXPECT_EQ(g.HeaderCaption(2), QStringLiteral("Titel"));
  EXPECT_EQ(g.View()->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("Titel"));

  // A hidden column keeps its width for when it shows again.
  EXPECT_TRUE(g.SetColumnPixelWidth(QStringLiteral("Artist"), 120));
  EXPECT_TRUE(g.SetColumnVisible(QStringLiteral("Artist"), false));
  EXPECT_FALSE(g.ColumnVisible(1));
  EXPECT_EQ(g.ColumnPixelWidth(1), 120);
  EXPECT_TRUE(g.SetColumnPixelWidth(1, 130));
  EXPECT_TRUE(g.SetColumnVisible(1, true));
  EXPECT_EQ(g.View()->columnWidth(0), 130);

  EXPECT_EQ(g.ColumnMark(5), QString());
  EXPECT_EQ(g.ColumnSortKind(5), GridSortKind::Text);
  EXPECT_FALSE(g.SetColumnVisible(14, false));
  EXPECT_FALSE(g.SetColumnPixelWidth(QStringLiteral("Nope"), 10));
}

TEST(GridColumns, LeftMostColumnFollowsDragsAndHiddenColumns) {
  Grid g;
  AddTrackColumns(g);
  int moved = 0;
  QObject::connect(&g, &Grid::ColumnsMoved, [&] { ++moved; });
  EXPECT_EQ(g.LeftMostColumn(), 1);
  g.SetColumnsDraggable(true);
  g.View()->horizontalHeader()->moveSection(1, 0);  // "Title" dragged to the left
  EXPECT_EQ(moved, 1);
  EXPECT_EQ(g.LeftMostColumn(), 2);
  EXPECT_EQ(g.ColumnNumber(QStringLiteral("Title")), 2);  // numbers stay
  g.SetColumnVisible(2, false);
  EXPECT_EQ(g.LeftMostColumn(), 1);
}

TEST(GridCells, ValuesKeepTheirTypes) {
  Grid g;
  AddTrackColumns(g);
  EXPECT_EQ(g.AddRow(), 1);
  EXPECT_EQ(g.AddRow(), 2);

  const QVariant blank = g.CellValue(1, 1);
  EXPECT_EQ(blank.metaType().id(), QMetaType::QString);
  EXPECT_EQ(blank.toString(), QString());

  EXPECT_TRUE(g.SetCellValue(1, 9, 320));
  EXPECT_TRUE(g.SetCellValue(1, 5, 0.5f));
  EXPECT_TRUE(g.SetCellValue(1, 1, QStringLiteral("Artist")));
  EXPECT_TRUE(g.SetCellValue(1, 11, QVariant(-6.5)));         // a double is kept as a single
  EXPECT_TRUE(g.SetCellValue(1, 10, QVariant(qint64(44100))));  // fits 32 bits
  EXPECT_TRUE(g.SetCellValue(1, 12, QVariant(qint64(1) << 40)));  // does not: kept as text

  EXPECT_EQ(g.CellValue(1, 9).metaType().id(), QMetaType::Int);
  EXPECT_EQ(g.CellValue(1, 9).toInt(), 320);
  EXPECT_EQ(g.TextAt(1, 9), QStringLiteral("320"));
  EXPECT_EQ(g.CellValue(1, 5).metaType().id(), QMetaType::Float);
  EXPECT_EQ(g.CellValue(1, 5).toFloat(), 0.5f);
  EXPECT_EQ(g.CellValue(1, 11).metaType().id(), QMetaType::Float);
  // A single shows with the locale's decimal separator, like the texts the
  // program formats itself.
  const QLocale saved;
  QLocale::setDefault(QLocale(QLocale::C));
  EXPECT_EQ(g.TextAt(1, 5), QStringLiteral("0.5"));
  QLocale::setDefault(QLocale(QLocale::Dutch, QLocale::Netherlands));
  EXPECT_EQ(g.TextAt(1, 11), QStringLiteral("-6,5"));
  QLocale::setDefault(saved);
  EXPECT_EQ(g.CellValue(1, 10), QVariant(44100));
  EXPECT_EQ(g.CellValue(1, 12), QVariant(QStringLiteral("1099511627776")));
  EXPECT_EQ(g.CellValue(1, 1), QVariant(QStringLiteral("Artist")));

  // Copying a row cell by cell keeps the types, as the playlist copies do.
  const int r = g.AddRow();
  for (int c = 1; c <= 13; ++c) g.SetCellValue(r, c, g.CellValue(1, c));
  for (int c = 1; c <= 13; ++c) EXPECT_EQ(g.CellValue(r, c), g.CellValue(1, c)) << c;

  // Writing text over a number makes it text again.
  g.SetTextAt(1, 9, QStringLiteral("128 kbit"));
  EXPECT_EQ(g.CellValue(1, 9).metaType().id(), QMetaType::QString);

  // Cells that do not exist: reads give "", writes are refused.
  EXPECT_EQ(g.CellValue(0, 1), QVariant(QString()));
  EXPECT_EQ(g.TextAt(4, 1), QString());
  EXPECT_EQ(g.TextAt(1, 14), QString());
  EXPECT_FALSE(g.SetTextAt(4, 1, QStringLiteral("x")));
  EXPECT_FALSE(g.SetCellValue(1, 0, 5));
  EXPECT_EQ(g.RowCount(), 3);
}

TEST(GridRows, DeleteMovesRowsUpAndClearKeepsColumns) {
  Grid g;
  AddTrackColumns(g);
  AddRowsWithColumn(g, 1, {"a", "b", "c", "d"});
  EXPECT_TRUE(g.DeleteRow(2));
  EXPECT_EQ(ColumnTexts(g, 1), (std::vector<QString>{"a", "c", "d"}));
  EXPECT_FALSE(g.DeleteRow(4));
  EXPECT_FALSE(g.DeleteRow(0));

  // Several at once, in any order: runs of neighbours, a repeat and rows
  // that are not there; the selection of the rows that stay keeps them.
  g.DeleteAllRows();
  AddRowsWithColumn(g, 1, {"r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10"});
  g.SetRowMode(true);
  ASSERT_TRUE(g.SetCurrentRow(8));
  EXPECT_EQ(g.DeleteRows({9, 2, 3, 0, 4, 6, 3, 11, 10}), 6);
  EXPECT_EQ(ColumnTexts(g, 1), (std::vector<QString>{"r1", "r5", "r7", "r8"}));
  EXPECT_EQ(g.CurrentRow(), 4);
  EXPECT_EQ(g.DeleteRows({}), 0);

  g.DeleteAllRows();
  EXPECT_EQ(g.RowCount(), 0);
  EXPECT_EQ(g.ColumnCount(), 13);
  EXPECT_EQ(g.AddRow(), 1);
  EXPECT_EQ(g.TextAt(1, 1), QString());
}

TEST(GridSelection, SingleAndMultipleRows) {
  Grid g;
  AddTrackColumns(g);
  g.SetRowMode(true);
  AddRowsWithColumn(g, 1, {"r1", "r2", "r3", "r4", "r5", "r6", "r7", "r8", "r9", "r10"});
  EXPECT_EQ(g.SelectionCount(), 0);
  EXPECT_EQ(g.CurrentRow(), 0);
  EXPECT_EQ(g.SelectedRowAt(1), 0);

  EXPECT_TRUE(g.SetCurrentRow(4));
  EXPECT_EQ(g.CurrentRow(), 4);
  EXPECT_EQ(g.SelectionCount(), 1);
  EXPECT_TRUE(g.SetCurrentRow(6));  // one row at a time
  EXPECT_EQ(g.SelectionCount(), 1);
  EXPECT_EQ(g.SelectedRowAt(1), 6);
  EXPECT_FALSE(g.SetCurrentRow(11));
  EXPECT_EQ(g.CurrentRow(), 6);

  // Writing cells, repainting and scrolling a column keep the selection.
  g.SetTextAt(6, 5, QStringLiteral("0"));
  g.RepaintCell(6, 5);
  g.SetColumnInView(13);
  g.SetCurrentColumn(5);
  EXPECT_EQ(g.CurrentRow(), 6);
  EXPECT_EQ(g.SelectionCount(), 1);

  // Rows 2, 5 and 9 picked with Ctrl: listed top to bottom.
  g.SetMultiSelect(true);
  QItemSelectionModel* sel = g.View()->selectionModel();
  const auto rowsFlag = QItemSelectionModel::Select | QItemSelectionModel::Rows;
  sel->clearSelection();
  for (int r : {9, 2, 5}) sel->select(g.View()->model()->index(r - 1, 0), rowsFlag);
  ASSERT_EQ(g.SelectionCount(), 3);
  EXPECT_EQ(g.SelectedRowAt(1), 2);
  EXPECT_EQ(g.SelectedRowAt(2), 5);
  EXPECT_EQ(g.SelectedRowAt(3), 9);
  EXPECT_EQ(g.SelectedRowAt(4), 0);

  // Deleting from the bottom up, as the library does, removes exactly those.
  for (int i = g.SelectionCount(); i >= 1; --i) g.DeleteRow(g.SelectedRowAt(i));
  EXPECT_EQ(ColumnTexts(g, 1), (std::vector<QString>{"r1", "r3", "r4", "r6", "r7", "r8", "r10"}));
  EXPECT_EQ(g.SelectionCount(), 0);

  EXPECT_TRUE(g.SetCurrentRow(0));
  EXPECT_EQ(g.SelectionCount(), 0);
}

TEST(GridSort, HeaderClicksAlternateAndEachColumnKeepsItsMark) {
  Grid g;
  AddTrackColumns(g);
  AddRowsWithColumn(g, 1, {"b", "c", "a"});
  for (int r = 1; r <= 3; ++r) g.SetTextAt(r, 2, QStringLiteral("t%1").arg(4 - r));

  ClickSort(g, 1);
  EXPECT_EQ(ColumnTexts(g, 1), (std::vector<QString>{"a", "b", "c"}));
  ClickSort(g, 1);
  EXPECT_EQ(ColumnTexts(g, 1), (std::vector<QString>{"c", "b", "a"}));
  ClickSort(g, 2);  // another column starts ascending
  EXPECT_EQ(ColumnTexts(g, 2), (std::vector<QString>{"t1", "t2", "t3"}));
  ClickSort(g, 1);  // the first column goes on with ascending
  EXPECT_EQ(ColumnTexts(g, 1), (std::vector<QString>{"a", "b", "c"}));
  // Whole rows move: column 2 followed column 1.
  EXPECT_EQ(ColumnTexts(g, 2), (std::vector<QString>{"t1", "t3", "t2"}));
}

TEST(GridSort, TextColumnsOrderAsAUserReadsThem) {
  const struct {
    const char* name;
    std::vector<QString> in, ascending;
    bool allDistinct;  // descending is then the exact reverse
  } cases[] = {
      {"times", {"10:00", "00:58", "100:00", "9:59", "01:00"}, {"00:58", "01:00", "9:59", "10:00", "100:00"}, true},
      {"tempos", {"128", "127.85", "99.5", "000.0", "127.9", ""}, {"", "000.0", "99.5", "127.85", "127.9", "128"}, true},
      {"mix points", {"12.50 sec", "05.20 sec", "5.2 sec", "100.00 sec"},
       {"05.20 sec", "5.2 sec", "12.50 sec", "100.00 sec"}, false},
      {"case and accents", {"zulu", "Étienne", "alpha", "Beta", "echo", "ÉCHO"},
       {"alpha", "Beta", "echo", "ÉCHO", "Étienne", "zulu"}, false},
      {"decimal comma", {"128,5", "128,25", "99,9"}, {"99,9", "128,25", "128,5"}, true},
  };
  for (const auto& c : cases) {
    Grid g;
    AddTrackColumns(g);
    AddRowsWithColumn(g, 5, c.in);
    ClickSort(g, 5);
    EXPECT_EQ(ColumnTexts(g, 5), c.ascending) << c.name;
    ClickSort(g, 5);
    std::vector<QString> descending = ColumnTexts(g, 5);
    std::reverse(descending.begin(), descending.end());
    // Equal keys ("05.20 sec" and "5.2 sec", "echo" and "ÉCHO") keep their
    // order in both directions, so the reverse differs there.
    if (c.allDistinct) {
      EXPECT_EQ(descending, c.ascending) << c.name;
    }
  }
}

TEST(GridSort, NumbersStableOrderAndSelectionFollowsItsRow) {
  Grid g;
  AddTrackColumns(g);
  g.SetRowMode(true);
  const int bitrates[] = {320, 128, 192, 128, 64};
  for (int i = 0; i < 5; ++i) {
    const int r = g.AddRow();
    g.SetCellValue(r, 9, bitrates[i]);
    g.SetTextAt(r, 1, QStringLiteral("song %1").arg(i + 1));
  }
  g.SetCurrentRow(1);  // song 1, 320 kbit/s

  ClickSort(g, 9);
  EXPECT_EQ(ColumnTexts(g, 1), (std::vector<QString>{"song 5", "song 2", "song 4", "song 3", "song 1"}));
  EXPECT_EQ(g.CurrentRow(), 5);
  EXPECT_EQ(g.TextAt(g.CurrentRow(), 1), QStringLiteral("song 1"));
  ClickSort(g, 9);  // descending; the two 128s keep their order
  EXPECT_EQ(ColumnTexts(g, 1), (std::vector<QString>{"song 1", "song 3", "song 2", "song 4", "song 5"}));
  EXPECT_EQ(g.CurrentRow(), 1);

  // A number column sorts text by the number it starts with; text without a
  // number comes first.
  Grid n;
  AddTrackColumns(n);
  AddRowsWithColumn(n, 11, {"-3.5", "n/a", "10 dB", "2", "-10"});
  n.SetColumnSortKind(11, GridSortKind::Number);
  ClickSort(n, 11);
  EXPECT_EQ(ColumnTexts(n, 11), (std::vector<QString>{"n/a", "-10", "-3.5", "2", "10 dB"}));

  // Two entries: by genre, then by artist within a genre.
  Grid two;
  AddTrackColumns(two);
  const char* rows[][2] = {{"Rock", "b"}, {"Pop", "z"}, {"Rock", "a"}, {"Pop", "c"}};
  for (auto& row : rows) {
    const int r = two.AddRow();
    two.SetTextAt(r, 6, QString::fromLatin1(row[0]));
    two.SetTextAt(r, 1, QString::fromLatin1(row[1]));
  }
  two.SortSpec().SetColumn(1, 6);
  two.SortSpec().SetColumn(2, 1);
  two.SortSpec().SetOrder(2, GridSortSpec::kDescending);
  EXPECT_FALSE(two.SortSpec().SetColumn(4, 2));  // entries are appended one at a time
  EXPECT_FALSE(two.SortSpec().SetOrder(1, 3));
  two.ApplySort();
  EXPECT_EQ(ColumnTexts(two, 1), (std::vector<QString>{"z", "c", "b", "a"}));
}

TEST(GridFind, FirstRowWhoseSearchColumnStartsWithTheText) {
  Grid g;
  AddTrackColumns(g);
  AddRowsWithColumn(g, 1, {"Madonna", "Moby", "Mötley Crüe", "moby grape", "Éric Serra", "坂本龍一"});
  g.SetSearchColumn(g.ColumnNumber(QStringLiteral("Artist")));
  const struct {
    const char* typed;
    int row;
  } cases[] = {{"MOBY", 2},   {"moby g", 4},  {"MOTLEY", 3},    {"Mötley", 3},  {"ERIC", 5},
               {"坂本", 6},   {"M", 1},       {"Mobyx", 0},     {"oby", 0},     {"", 0}};
  for (const auto& c : cases) EXPECT_EQ(g.FindRowByText(QString::fromUtf8(c.typed)), c.row) << c.typed;

  // After the search column changes, titles are searched.
  g.SetTextAt(2, 2, QStringLiteral("Porcelain"));
  g.SetSearchColumn(2);
  EXPECT_EQ(g.FindRowByText(QStringLiteral("PORC")), 2);
  EXPECT_EQ(g.FindRowByText(QStringLiteral("MOBY")), 0);
  // Numbers are found by their text.
  g.SetCellValue(3, 9, 192);
  g.SetSearchColumn(9);
  EXPECT_EQ(g.FindRowByText(QStringLiteral("19")), 3);
  EXPECT_FALSE(g.SetSearchColumn(14));
  EXPECT_EQ(g.SearchColumn(), 9);
}

// Counts the viewport's paint events and where they paint.
class PaintSpy : public QObject {
 public:
  int paints = 0;
  QRegion painted;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) {
      ++paints;
      painted += static_cast<QPaintEvent*>(e)->region();
    }
    return false;
  }
};

TEST_F(ShownGrid, RepaintCellPaintsAtOnceWithoutTheEventLoop) {
  for (int i = 0; i < 5; ++i) grid.AddRow();
  QApplication::processEvents();
  PaintSpy spy;
  grid.View()->viewport()->installEventFilter(&spy);

  grid.SetCellValue(3, 5, 0.25f);
  EXPECT_EQ(spy.paints, 0);  // a plain write waits for the event loop
  grid.RepaintCell(3, 5);    // no processEvents in between
  EXPECT_GE(spy.paints, 1);
  const QRect cell = grid.View()->visualRect(grid.View()->model()->index(2, 4));
  EXPECT_TRUE(spy.painted.contains(cell));

  // Held back while drawing is off.
  const int before = spy.paints;
  grid.SetDrawingEnabled(false);
  grid.RepaintCell(3, 5);
  QApplication::processEvents();
  EXPECT_EQ(spy.paints, before);
  grid.SetDrawingEnabled(true);
  QApplication::processEvents();
  EXPECT_GT(spy.paints, before);
  grid.View()->viewport()->removeEventFilter(&spy);
}

TEST_F(ShownGrid, MouseEventsReachTheCallers) {
  // Set up as the library: whole rows, several at a time.
  grid.SetRowMode(true);
  grid.SetMultiSelect(true);
  AddRowsWithColumn(grid, 1, {"one", "two", "three"});
  QApplication::processEvents();
  QWidget* port = grid.View()->viewport();

  std::vector<int> clicked;
  QObject::connect(&grid, &Grid::ColumnClick, [&](int c) { clicked.push_back(c); });
  QHeaderView* header = grid.View()->horizontalHeader();
  const QPoint onTitle(header->sectionViewportPosition(1) + 5, header->height() / 2);
  Click(header->viewport(), onTitle, Qt::LeftButton);
  EXPECT_EQ(clicked, std::vector<int>{2});
  grid.SetHeadersClickable(false);
  Click(header->viewport(), onTitle, Qt::LeftButton);
  EXPECT_EQ(clicked, std::vector<int>{2});

  // A double click: the row is selected when the event arrives.
  int dblRow = 0, selectedThen = 0;
  QObject::connect(&grid, &Grid::DblClick, [&](int row, int) {
    dblRow = row;
    selectedThen = grid.CurrentRow();
  });
  const QPoint onTwo = CellCentre(grid, 2, 1);
  Click(port, onTwo, Qt::LeftButton);
  QMouseEvent dbl(QEvent::MouseButtonDblClick, QPointF(onTwo), port->mapToGlobal(QPointF(onTwo)), Qt::LeftButton,
                  Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(port, &dbl);
  QMouseEvent up(QEvent::MouseButtonRelease, QPointF(onTwo), port->mapToGlobal(QPointF(onTwo)), Qt::LeftButton,
                 Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(port, &up);
  EXPECT_EQ(dblRow, 2);
  EXPECT_EQ(selectedThen, 2);

  // Right button on a row: selection already updated, button 2.
  std::vector<std::pair<int, int>> buttons;  // button, selection count then
  QObject::connect(&grid, &Grid::MouseButton,
                   [&](int button, int, int, QPoint) { buttons.push_back({button, grid.SelectionCount()}); });
  Click(port, CellCentre(grid, 3, 1), Qt::RightButton);
  ASSERT_EQ(buttons.size(), 1u);
  EXPECT_EQ(buttons[0], std::make_pair(2, 1));
  EXPECT_EQ(grid.CurrentRow(), 3);
  // Below the last row nothing is selected any more.
  Click(port, QPoint(10, port->height() - 5), Qt::LeftButton);
  ASSERT_EQ(buttons.size(), 2u);
  EXPECT_EQ(buttons[1], std::make_pair(1, 0));
}

TEST_F(ShownGrid, EditRequestsCanBeCancelledAndTypingFindsRows) {
  AddRowsWithColumn(grid, 1, {"Abba", "Blondie", "Bronski Beat"});
  grid.SetCurrentRow(1);
  QApplication::processEvents();

  std::vector<int> keys;
  bool cancel = true;
  QObject::connect(&grid, &Grid::EditKeyRequest, [&](int, int, int key, bool* c) {
    keys.push_back(key);
    *c = cancel;
  });

  // Cancelled: no editor; the typed letter jumps to the first match instead.
  grid.SetEditable(true);
  TypeKey(grid.View(), Qt::Key_B, QStringLiteral("b"));
  EXPECT_EQ(keys, std::vector<int>{'b'});
  EXPECT_TRUE(grid.View()->findChildren<QLineEdit*>().isEmpty());
  EXPECT_EQ(grid.CurrentRow(), 2);
  EXPECT_EQ(grid.TextAt(2, 1), QStringLiteral("Blondie"));

  // Not cancelled on an editable grid: the edit starts.
  cancel = false;
  TypeKey(grid.View(), Qt::Key_F2, QString());
  EXPECT_EQ(keys.back(), 0);
  EXPECT_FALSE(grid.View()->findChildren<QLineEdit*>().isEmpty());
}

TEST_F(ShownGrid, GridThatIsNotEditableNeverEdits) {
  AddRowsWithColumn(grid, 1, {"Abba", "Blondie"});
  grid.SetCurrentRow(1);
  int requests = 0;
  QObject::connect(&grid, &Grid::EditKeyRequest, [&](int, int, int, bool*) { ++requests; });
  TypeKey(grid.View(), Qt::Key_F2, QString());
  TypeKey(grid.View(), Qt::Key_X, QStringLiteral("x"));
  EXPECT_EQ(requests, 2);
  EXPECT_TRUE(grid.View()->findChildren<QLineEdit*>().isEmpty());
  EXPECT_EQ(grid.TextAt(1, 1), QStringLiteral("Abba"));
}

TEST_F(ShownGrid, ColumnInViewScrollsSidewaysOnly) {
  for (int i = 0; i < 200; ++i) grid.SetTextAt(grid.AddRow(), 1, QStringLiteral("row %1").arg(i + 1));
  grid.SetRowMode(true);
  grid.SetCurrentRow(150);  // scrolled down to it
  QApplication::processEvents();
  QTableView* v = grid.View();
  const int down = v->verticalScrollBar()->value();
  ASSERT_GT(down, 0);
  QHeaderView* header = v->horizontalHeader();
  ASSERT_GT(header->sectionViewportPosition(12) + header->sectionSize(12), v->viewport()->width());

  EXPECT_TRUE(grid.SetColumnInView(13));
  EXPECT_GE(header->sectionViewportPosition(12), 0);
  EXPECT_LE(header->sectionViewportPosition(12) + header->sectionSize(12), v->viewport()->width());
  EXPECT_EQ(v->verticalScrollBar()->value(), down);
  EXPECT_EQ(grid.CurrentRow(), 150);

  EXPECT_TRUE(grid.SetColumnInView(1));
  EXPECT_EQ(header->sectionViewportPosition(0), 0);
  EXPECT_FALSE(grid.SetColumnInView(14));
}

}  // namespace

// A column that fits its header widens for a longer caption or a larger
// header font and never narrows; any header narrower than its caption
// shows the whole caption as its tooltip.
TEST(Grid, ColumnsThatFitTheirHeaderShowItWholeAndOthersTellItByTooltip) {
  Grid g;
  g.resize(900, 200);
  g.InsertColumn(QStringLiteral("Fit"), QStringLiteral("Mix"));
  g.InsertColumn(QStringLiteral("Fixed"), QStringLiteral("Mix"));
  g.SetColumnPixelWidth(QStringLiteral("Fixed"), 30);
  g.InsertColumn(QStringLiteral("Last"), QStringLiteral("End"));
  ASSERT_TRUE(g.SetColumnFitsHeader(QStringLiteral("Fit"), true));
  EXPECT_FALSE(g.SetColumnFitsHeader(QStringLiteral("Nope"), true));
  QAbstractItemModel* model = g.View()->model();
  auto tip = [&](int column) { return model->headerData(column - 1, Qt::Horizontal, Qt::ToolTipRole).toString(); };

  const int before = g.ColumnPixelWidth(1);
  const QString longCaption = QStringLiteral("Startmixpunt van het nummer");
  for (int column : {1, 2}) g.SetHeaderCaption(column, longCaption);
  EXPECT_GE(g.ColumnPixelWidth(1), g.HeaderFitWidth(1));
  EXPECT_GT(g.ColumnPixelWidth(1), before);
  EXPECT_EQ(tip(1), QString());
  EXPECT_EQ(g.ColumnPixelWidth(2), 30);  // a width of its own stays
  EXPECT_EQ(tip(2), longCaption);
  // A shorter caption leaves the width as it is.
  const int wide = g.ColumnPixelWidth(1);
  g.SetHeaderCaption(1, QStringLiteral("Mix"));
  EXPECT_EQ(g.ColumnPixelWidth(1), wide);
  // A larger header font needs more room.
  g.SetHeaderCaption(1, longCaption);
  QFont big = g.View()->font();
  big.setPointSizeF(big.pointSizeF() * 2);
  g.View()->setFont(big);
  QCoreApplication::processEvents();
  EXPECT_GT(g.HeaderFitWidth(1), wide);
  EXPECT_GE(g.ColumnPixelWidth(1), g.HeaderFitWidth(1));
  EXPECT_EQ(tip(1), QString());
}
