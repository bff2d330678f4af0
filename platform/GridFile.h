// Grid cells and the grid's own file format.
//
// The file is UTF-8 text, one line per row, each line ended by LF:
//
//   DJVPGRID <TAB> 1 <TAB> <columns> <TAB> <rows>     the header line
//   <cell> <TAB> <cell> ... <TAB> <cell>                <columns> cells, per row
//
// A text cell is its text with these escapes: "\\" a backslash, "\t" a tab,
// "\n" a line feed, "\r" a carriage return, and "\uXXXX" (four hex digits)
// for the other control characters and for a lone UTF-16 surrogate, so that
// every text comes back exactly. A cell that begins "\i" holds a 32-bit
// integer ("\i-12"), one that begins "\f" a single-precision real in its
// shortest exact form ("\f0.25"). The row count in the header makes a cut
// file recognisable. Readers accept CR LF line ends and a UTF-8 byte-order
// mark; anything else that does not fit is rejected with the line number.
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <vector>

namespace djvp {

struct GridCell {
  enum class Type : uint8_t { Text = 0, Int = 1, Single = 2 };

  QString text;       // the text of a Text cell
  int32_t bits = 0;   // the value of an Int cell, the bit pattern of a Single
  Type type = Type::Text;

  static GridCell FromText(QString t) { GridCell c; c.text = std::move(t); return c; }
  static GridCell FromInt(int32_t v) { GridCell c; c.bits = v; c.type = Type::Int; return c; }
  static GridCell FromSingle(float v);
  // QString, int or float as stored; see Grid::SetCellValue for the others.
  static GridCell FromVariant(const QVariant& v);

  int32_t Int() const { return bits; }
  float Single() const;
  QVariant ToVariant() const;
  // Numbers as decimal text; a single with the locale's decimal separator.
  QString DisplayText() const;

  bool operator==(const GridCell& o) const;
};

// A row's cells by column (index 0 is column 1). A row may be shorter than
// the grid's column count; missing cells are empty text.
using GridRow = std::vector<GridCell>;

inline constexpr char kGridFileMagic[] = "DJVPGRID";
inline constexpr int kGridFileVersion = 1;

// Appends one row line (with its LF) of exactly columnCount cells.
void AppendGridRowLine(QByteArray& out, const GridRow& row, int32_t columnCount);
// The header line (with its LF).
QByteArray GridHeaderLine(int32_t columnCount, int64_t rowCount);

// Parses a whole file. On success rows holds the file's rows (each as many
// cells as the file has columns) and *fileColumns the file's column count.
// On failure rows is unchanged and *error says why.
bool ParseGridFile(QByteArrayView bytes, std::vector<GridRow>& rows, int32_t* fileColumns, QString* error);

// Writes the rows to path through the safe-write layer: the new file
// replaces the old one only once every byte is written, synced and checked;
// a failure (disk full, size limit, no permission) leaves the old file as it
// was and says why. path holds the name's bytes losslessly (OwnFiles.h).
bool WriteGridFile(const QString& path, const std::vector<GridRow>& rows, int32_t columnCount, QString* error);
// Reads and parses path; a missing or unreadable file is an error too, and
// so is a pipe or a device (never waited for).
bool ReadGridFile(const QString& path, std::vector<GridRow>& rows, int32_t* fileColumns, QString* error);

}  // namespace djvp
