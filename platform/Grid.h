// The grid control behind every track list of the program: the deck
// playlists, the hidden scratch grid and the music library.
//
// A Grid is a QWidget holding a QTableView over a model of its own; cells are
// plain values in memory, so it stays quick with 100,000 rows. Rows and
// columns count from 1, as the callers number them; a column's number is
// fixed when it is inserted, dragging a header only changes where it shows.
//
// Cells hold text, a 32-bit integer or a single-precision real and are read
// back with that type; a cell never written reads as the empty text. Calls
// with a row or column that does not exist change nothing and report false
// (readers give the empty text), so a caller can skip the failed step.
//
// SaveToFile / LoadFromFile keep the rows in a small versioned UTF-8 text
// file (see GridFile.h); a save goes to a temporary file that replaces the
// old one only when complete, and a load that fails leaves the rows alone.
#pragma once

#include "platform/GridFile.h"

#include <QPoint>
#include <QString>
#include <QVariant>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <vector>

class QTableView;

namespace djvp {

class GridModel;
class GridView;

// How ApplySort compares the cells of a column.
enum class GridSortKind : int32_t {
  // Text without regard to case or accents; digit runs inside the text (with
  // a decimal fraction after "." or ",") compare by their value, so "9:59"
  // comes before "10:00" and "99.5" before "127.85". The default.
  Text = 0,
  // The cell's numeric value (numbers, or text that starts with a number
  // such as "05.20 sec"); cells without a number come first.
  Number = 1,
};

// The ordered list of sort entries that ApplySort follows; entries count
// from 1. An order is 1 (ascending) or 2 (descending).
class GridSortSpec {
 public:
  static constexpr int32_t kAscending = 1;
  static constexpr int32_t kDescending = 2;

  struct Entry {
    int32_t column = 0;
    int32_t order = kAscending;
    GridSortKind kind = GridSortKind::Text;
  };

  void Clear() { entries_.clear(); }
  int32_t Count() const { return static_cast<int32_t>(entries_.size()); }
  // The number of the entry for that column; 0 when there is none.
  int32_t EntryOf(int32_t column) const;
  // Setting the column of entry Count() + 1 appends a new entry (ascending,
  // text). False for any other entry number that does not exist.
  bool SetColumn(int32_t entry, int32_t column);
  bool SetOrder(int32_t entry, int32_t order);  // false unless 1 or 2
  bool SetKind(int32_t entry, GridSortKind kind);
  int32_t Column(int32_t entry) const;
  int32_t Order(int32_t entry) const;
  GridSortKind Kind(int32_t entry) const;
  const std::vector<Entry>& Entries() const { return entries_; }

 private:
  bool Valid(int32_t entry) const { return entry >= 1 && entry <= Count(); }
  std::vector<Entry> entries_;
};

class Grid : public QWidget {
  Q_OBJECT

 public:
  explicit Grid(QWidget* parent = nullptr);
  ~Grid() override;

  // --- columns -----------------------------------------------------------
  // Appends a column at the right end and returns its number; 0 when the key
  // is empty or already used.
  int32_t InsertColumn(const QString& key, const QString& header);
  int32_t ColumnCount() const;
  // The column's number; 0 when no column has that key.
  int32_t ColumnNumber(const QString& key) const;
  QString ColumnKey(int32_t column) const;

  QString HeaderCaption(int32_t column) const;
  QString HeaderCaption(const QString& key) const { return HeaderCaption(ColumnNumber(key)); }
  bool SetHeaderCaption(int32_t column, const QString& text);
  bool SetHeaderCaption(const QString& key, const QString& text) { return SetHeaderCaption(ColumnNumber(key), text); }

  int32_t ColumnPixelWidth(int32_t column) const;  // 0 for an unknown column
  bool SetColumnPixelWidth(int32_t column, int32_t width);
  bool SetColumnPixelWidth(const QString& key, int32_t width) { return SetColumnPixelWidth(ColumnNumber(key), width); }
  // A column that fits its header is widened whenever its caption (a new
  // language) or the header's font needs more room, so that the caption
  // shows whole; it is never narrowed. Any header narrower than its caption
  // shows the whole caption as its tooltip.
  bool SetColumnFitsHeader(int32_t column, bool on);
  bool SetColumnFitsHeader(const QString& key, bool on) { return SetColumnFitsHeader(ColumnNumber(key), on); }
  // The width that shows the column's caption whole.
  int32_t HeaderFitWidth(int32_t column) const;

  // A hidden column's cells are still written, read, sorted and saved.
  bool ColumnVisible(int32_t column) const;
  bool SetColumnVisible(int32_t column, bool visible);
  bool SetColumnVisible(const QString& key, bool visible) { return SetColumnVisible(ColumnNumber(key), visible); }

  // A text the program keeps per column (its sort direction); "" at first.
  QString ColumnMark(int32_t column) const;
  bool SetColumnMark(int32_t column, const QString& mark);

  // How the column compares when sorted; GridSortKind::Text unless set.
  GridSortKind ColumnSortKind(int32_t column) const;
  bool SetColumnSortKind(int32_t column, GridSortKind kind);

  // The user may drag headers to other places (off at first); ColumnsMoved
  // follows each drag.
  void SetColumnsDraggable(bool on);
  bool ColumnsDraggable() const;
  // A click on a header raises ColumnClick (on at first).
  void SetHeadersClickable(bool on);
  bool HeadersClickable() const;

  // The visible column shown left-most (after drags); 0 when none is shown.
  int32_t LeftMostColumn() const;
  // The column that FindRowByText and typing in the grid search; column 1
  // at first. 0 switches the search off.
  bool SetSearchColumn(int32_t column);
  int32_t SearchColumn() const { return searchColumn_; }
  // Scrolls sideways so that the column shows; selection and rows stay.
  bool SetColumnInView(int32_t column);
  // Moves the focus to that column of the current row (selection stays) and
  // scrolls it into view.
  bool SetCurrentColumn(int32_t column);
  int32_t CurrentColumn() const;

  // --- rows --------------------------------------------------------------
  // Appends one empty row; returns its number, which is the new row count.
  int32_t AddRow();
  int32_t RowCount() const;
  // Removes the row; the rows below move up.
  bool DeleteRow(int32_t row);
  // Removes the listed rows (in any order; repeats and rows that are not
  // there are passed over); the rows below move up. Each run of neighbouring
  // rows goes in one step, so a long selection is removed quickly. Returns
  // how many rows went.
  int32_t DeleteRows(std::vector<int32_t> rows);
  // Removes every row; the columns stay.
  void DeleteAllRows();

  // --- cells -------------------------------------------------------------
  // The cell's value: a QString, an int (32-bit) or a float (single).
  QVariant CellValue(int32_t row, int32_t column) const;
  // Stores text, int or float as given; a double is kept as a single, other
  // integer types that fit 32 bits as an int, anything else as its text.
  bool SetCellValue(int32_t row, int32_t column, const QVariant& value);
  bool SetCellValue(int32_t row, int32_t column, const QString& text) { return SetTextAt(row, column, text); }
  bool SetCellValue(int32_t row, int32_t column, int32_t number);
  bool SetCellValue(int32_t row, int32_t column, float number);
  // The cell as the grid shows it: numbers as decimal text (a single with the
  // locale's decimal separator).
  QString TextAt(int32_t row, int32_t column) const;
  bool SetTextAt(int32_t row, int32_t column, const QString& text);
  // Paints that cell now, also when the caller keeps the event loop busy
  // afterwards (a long measurement that shows its progress in the cell).
  void RepaintCell(int32_t row, int32_t column);

  // --- selection ---------------------------------------------------------
  // One row at a time (off at first) or several (Ctrl/Shift clicks; a plain
  // click below the last row then clears the selection).
  void SetMultiSelect(bool on);
  bool MultiSelect() const;
  // A click selects the whole row (off at first: the clicked cell).
  void SetRowMode(bool on);
  bool RowMode() const;
  // The row that has the focus when it is selected; 0 otherwise.
  int32_t CurrentRow() const;
  // Selects just that row, gives it the focus and scrolls it into view; 0
  // clears the selection. False (and no change) for a row that is not there.
  bool SetCurrentRow(int32_t row);
  // How many rows have something selected.
  int32_t SelectionCount() const;
  // The i-th selected row (i from 1 to SelectionCount), top to bottom; 0
  // for any other i.
  int32_t SelectedRowAt(int32_t i) const;

  // --- sorting and finding -----------------------------------------------
  GridSortSpec& SortSpec() { return sortSpec_; }
  const GridSortSpec& SortSpec() const { return sortSpec_; }
  // Orders the rows by the entries of SortSpec in turn (rows that compare
  // equal keep their order); the selection moves with its rows.
  void ApplySort();
  // The first row whose text in the search column starts with text, without
  // regard to case or accents; 0 when none does or text is empty.
  int32_t FindRowByText(const QString& text) const;

  // --- drawing -----------------------------------------------------------
  // Off holds back every repaint; on repaints the grid.
  void SetDrawingEnabled(bool on);
  bool DrawingEnabled() const { return drawingEnabled_; }

  // --- editing -----------------------------------------------------------
  // Typing or F2 in the grid raises EditKeyRequest; an edit in place starts
  // only when the grid is editable (off at first) and nobody cancelled it.
  void SetEditable(bool on);
  bool Editable() const { return editable_; }

  // --- files -------------------------------------------------------------
  // Writes every row with all its cells, replacing the file. False (with
  // LastError) when it cannot be written; the old file is then unchanged.
  bool SaveToFile(const QString& path);
  // Replaces the rows with those of the file. A missing, unreadable or
  // malformed file changes nothing and gives false with LastError.
  bool LoadFromFile(const QString& path);
  QString LastError() const { return lastError_; }

  // The table view itself, for the window's look (fonts, colours, grid lines).
  QTableView* View() const;

 signals:
  // The header of that column was clicked.
  void ColumnClick(int column);
  // The user dragged a header to another place.
  void ColumnsMoved();
  // A double click on a cell; the row is already selected.
  void DblClick(int row, int column);
  // The user asks to edit the current cell: keyCode is the typed character
  // (0 for F2 and the like); setting *cancel keeps the edit from starting.
  void EditKeyRequest(int row, int column, int keyCode, bool* cancel);
  // A mouse button went down on the grid (1 left, 2 right, 4 middle), after
  // the grid updated its selection; globalPos is where to show a menu.
  void MouseButton(int button, int row, int column, QPoint globalPos);

 protected:
  // Refits the columns that fit their header when the header's font or
  // style changes.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  friend class GridView;
  void FitHeader(int32_t column);
  bool ValidRow(int32_t row) const;
  bool ValidColumn(int32_t column) const;
  void InvalidateSelection() const { selectionCacheValid_ = false; }
  const std::vector<int32_t>& SelectedRows() const;
  bool AskEdit(int32_t row, int32_t column, int32_t keyCode);
  void OnKeyboardSearch(const QString& typed);

  std::unique_ptr<GridModel> model_;
  GridView* view_ = nullptr;
  GridSortSpec sortSpec_;
  int32_t searchColumn_ = 1;
  bool drawingEnabled_ = true;
  bool editable_ = false;
  QString lastError_;
  mutable bool selectionCacheValid_ = false;
  mutable std::vector<int32_t> selectionCache_;
};

}  // namespace djvp
