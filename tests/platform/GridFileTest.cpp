// The grid's own file: exact round trips, malformed and missing files, and
// saves that fail without harming the file that was there.
#include "platform/Grid.h"

#include "TempDir.h"

#include <QFile>
#include <QStringDecoder>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <sys/resource.h>

using djvp::Grid;

namespace {

const char* const kKeys[] = {"Artist", "Title", "Time", "Filename", "BPM", "Genre", "Album",
                             "Year", "Bitrate", "Freq", "Gain", "StartMixPoint", "EndMixPoint"};

void AddTrackColumns(Grid& g) {
  for (const char* key : kKeys) g.InsertColumn(QString::fromLatin1(key), QString::fromLatin1(key));
}

// Every cell of both grids, value and type.
void ExpectSameRows(const Grid& a, const Grid& b) {
  ASSERT_EQ(a.RowCount(), b.RowCount());
  for (int r = 1; r <= a.RowCount(); ++r) {
    for (int c = 1; c <= a.ColumnCount(); ++c) {
      const QVariant va = a.CellValue(r, c), vb = b.CellValue(r, c);
      EXPECT_EQ(va.metaType(), vb.metaType()) << "row " << r << " column " << c;
      if (va.metaType().id() == QMetaType::Float) {
        const float fa = va.toFloat(), fb = vb.toFloat();
        EXPECT_EQ(0, std::memcmp(&fa, &fb, sizeof fa)) << "row " << r << " column " << c;
      } else {
        EXPECT_EQ(va, vb) << "row " << r << " column " << c << ": " << va.toString().toStdString();
      }
    }
  }
}

std::string ReadAll(const std::string& path) {
  auto bytes = TempDir::Read(path);
  return std::string(bytes.begin(), bytes.end());
}

class GridFileTest : public ::testing::Test {
 protected:
  void SetUp() override { AddTrackColumns(grid); }

  // Two rows that a later failed load must leave in place.
  void FillKnownRows() {
    for (int r = 1; r <= 2; ++r) {
      grid.AddRow();
      grid.SetTextAt(r, 1, QStringLiteral("Artist %1").arg(r));
      grid.SetCellValue(r, 9, 320);
    }
  }
  void ExpectKnownRows() {
    ASSERT_EQ(grid.RowCount(), 2);
    EXPECT_EQ(grid.TextAt(2, 1), QStringLiteral("Artist 2"));
    EXPECT_EQ(grid.CellValue(1, 9), QVariant(320));
  }

  TempDir dir;
  Grid grid;
};

TEST_F(GridFileTest, AwkwardTextsAndNumbersRoundTripExactly) {
  const QString texts[] = {
      QStringLiteral("tab\there"),
      QStringLiteral("line\nfeed and\r\nCR LF and lone \r"),
      QStringLiteral("back\\slash \\t \\n \\u0041 \\i12 \\f1"),
      QStringLiteral("\\i42"),  // text that looks like a number cell
      QStringLiteral("\\f0.5"),
      QString::fromUtf8("Björk – Jóga"),
      QString::fromUtf8("坂本龍一 / Рахманинов / 🎧 μ"),
      QStringLiteral("  leading and trailing blanks  "),
      QString(QChar(0)) + QStringLiteral("nul, bell") + QChar(7) + QChar(0x7F),
      QString(QChar(0xD800)) + QStringLiteral(" lone surrogates ") + QChar(0xDC00),
      QString(QChar(0xFEFF)) + QStringLiteral("byte-order mark inside a cell"),
      QStringLiteral("05.20 sec"),
  };
  int r = 0;
  for (const QString& t : texts) {
    r = grid.AddRow();
    grid.SetTextAt(r, 1, t);
    grid.SetTextAt(r, 4, QStringLiteral("/music/") + t + QStringLiteral(".mp3"));
  }
  // A row of nothing but empty cells, and one of numbers.
  grid.AddRow();
  r = grid.AddRow();
  grid.SetCellValue(r, 5, 0.1f);
  grid.SetCellValue(r, 9, std::numeric_limits<int32_t>::min());
  grid.SetCellValue(r, 10, 44100);
  grid.SetCellValue(r, 11, -7.25f);
  grid.SetCellValue(r, 12, std::numeric_limits<float>::denorm_min());
  grid.SetCellValue(r, 13, -0.0f);
  grid.SetTextAt(r, 2, QString());

  const std::string path = dir.file("index.ndx");
  ASSERT_TRUE(grid.SaveToFile(QString::fromStdString(path))) << grid.LastError().toStdString();

  // Valid UTF-8, one line per row after the header.
  const std::string bytes = ReadAll(path);
  QStringDecoder utf8(QStringDecoder::Utf8);
  (void)utf8.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
  EXPECT_FALSE(utf8.hasError());
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), grid.RowCount() + 1);
  EXPECT_EQ(bytes.rfind("DJVPGRID\t1\t13\t", 0), 0u);

  Grid loaded;
  AddTrackColumns(loaded);
  ASSERT_TRUE(loaded.LoadFromFile(QString::fromStdString(path))) << loaded.LastError().toStdString();
  ExpectSameRows(grid, loaded);
  EXPECT_EQ(loaded.CellValue(r, 2).metaType().id(), QMetaType::QString);

  // Saving what was loaded gives the same bytes again.
  const std::string again = dir.file("again.ndx");
  ASSERT_TRUE(loaded.SaveToFile(QString::fromStdString(again)));
  EXPECT_EQ(ReadAll(again), bytes);
}

TEST_F(GridFileTest, LoadReplacesRowsAndKeepsColumns) {
  FillKnownRows();
  Grid other;
  AddTrackColumns(other);
  other.AddRow();
  other.SetTextAt(1, 2, QStringLiteral("only row"));
  const QString path = QString::fromStdString(dir.file("one.vpl"));
  ASSERT_TRUE(other.SaveToFile(path));

  grid.SetColumnVisible(QStringLiteral("Filename"), false);
  grid.SetColumnPixelWidth(QStringLiteral("Artist"), 120);
  ASSERT_TRUE(grid.LoadFromFile(path));
  ASSERT_EQ(grid.RowCount(), 1);
  EXPECT_EQ(grid.TextAt(1, 2), QStringLiteral("only row"));
  EXPECT_EQ(grid.TextAt(1, 1), QString());
  EXPECT_EQ(grid.ColumnCount(), 13);
  EXPECT_FALSE(grid.ColumnVisible(4));
  EXPECT_EQ(grid.ColumnPixelWidth(1), 120);

  // An empty grid saves and loads as no rows.
  Grid empty;
  AddTrackColumns(empty);
  ASSERT_TRUE(empty.SaveToFile(path));
  ASSERT_TRUE(grid.LoadFromFile(path));
  EXPECT_EQ(grid.RowCount(), 0);
}

TEST_F(GridFileTest, HandWrittenFileWithCrLfBomAndFewerColumnsLoads) {
  const std::string path = dir.file("hand.vpl");
  TempDir::Write(path, std::string("\xEF\xBB\xBF") + "DJVPGRID\t1\t3\t2\r\n" + "A\tB\t\\i7\r\n" + "\tx\\ty\t\\f2.5\r\n");
  ASSERT_TRUE(grid.LoadFromFile(QString::fromStdString(path))) << grid.LastError().toStdString();
  ASSERT_EQ(grid.RowCount(), 2);
  EXPECT_EQ(grid.TextAt(1, 1), QStringLiteral("A"));
  EXPECT_EQ(grid.CellValue(1, 3), QVariant(7));
  EXPECT_EQ(grid.TextAt(2, 2), QStringLiteral("x\ty"));
  EXPECT_EQ(grid.CellValue(2, 3), QVariant(2.5f));
  EXPECT_EQ(grid.CellValue(2, 13), QVariant(QString()));
}

TEST_F(GridFileTest, MissingOrMalformedFileLeavesRowsAndReportsIt) {
  FillKnownRows();
  const std::string header = "DJVPGRID\t1\t2\t1\n";
  const struct {
    const char* name;
    std::string bytes;
  } cases[] = {
      {"empty file", ""},
      {"other text", "Artist\tTitle\nA\tB\n"},
      {"newer version", "DJVPGRID\t2\t2\t1\na\tb\n"},
      {"version not a number", "DJVPGRID\tx\t2\t1\na\tb\n"},
      {"cut after the header", header},
      {"last line without its end", header + "a\tb"},
      {"fewer rows than counted", "DJVPGRID\t1\t2\t3\na\tb\nc\td\n"},
      {"too few cells", header + "a\n"},
      {"too many cells", header + "a\tb\tc\n"},
      {"unknown escape", header + "a\\q\tb\n"},
      {"backslash at the end", header + "a\\\tb\n"},
      {"short \\u escape", header + "\\u12\tb\n"},
      {"integer with letters", header + "\\i12x\tb\n"},
      {"integer past 32 bits", header + "\\i2147483648\tb\n"},
      {"single that is no number", header + "\\f1.5.2\tb\n"},
      {"invalid UTF-8", header + "a\xC3\x28\tb\n"},
      {"text after the rows", header + "a\tb\nextra\n"},
      {"absurd row count", "DJVPGRID\t1\t2\t999999999999\na\tb\n"},
      {"negative column count", "DJVPGRID\t1\t-2\t0\n"},
      {"more columns than the grid", "DJVPGRID\t1\t14\t0\n"},
  };
  for (const auto& c : cases) {
    const std::string path = dir.file("bad.vpl");
    TempDir::Write(path, c.bytes);
    EXPECT_FALSE(grid.LoadFromFile(QString::fromStdString(path))) << c.name;
    EXPECT_FALSE(grid.LastError().isEmpty()) << c.name;
    ExpectKnownRows();
  }

  EXPECT_FALSE(grid.LoadFromFile(QString::fromStdString(dir.file("missing.vpl"))));
  EXPECT_TRUE(grid.LastError().contains(QStringLiteral("missing.vpl")));
  EXPECT_FALSE(grid.LoadFromFile(QString::fromStdString(dir.path().string())));  // a folder
  EXPECT_FALSE(grid.LoadFromFile(QString()));
  ExpectKnownRows();
}

TEST_F(GridFileTest, FailedSaveKeepsTheOldFileWhole) {
  FillKnownRows();
  const std::string path = dir.file("djv.ndx");
  ASSERT_TRUE(grid.SaveToFile(QString::fromStdString(path)));
  const std::string before = ReadAll(path);

  // A grid much larger than the file size limit set below: the write runs
  // into the limit halfway (as on a full disk).
  Grid big;
  AddTrackColumns(big);
  for (int r = 1; r <= 3000; ++r) {
    big.AddRow();
    for (int c = 1; c <= 13; ++c) big.SetTextAt(r, c, QStringLiteral("row %1 cell %2 with some text").arg(r).arg(c));
  }
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = 64 * 1024;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  const bool saved = big.SaveToFile(QString::fromStdString(path));
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_FALSE(saved);
  // The system's reason, for the user.
  EXPECT_TRUE(big.LastError().contains(QString::fromLocal8Bit(strerror(EFBIG)))) << big.LastError().toStdString();
  EXPECT_EQ(ReadAll(path), before);
  // No temporary file is left beside it.
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir.path())) {
    (void)entry;
    ++files;
  }
  EXPECT_EQ(files, 1);

  // A folder that does not exist: nothing is written, the error says so.
  EXPECT_FALSE(grid.SaveToFile(QString::fromStdString(dir.file("no/such/folder/x.vpl"))));
  EXPECT_FALSE(grid.LastError().isEmpty());

  // Without the limit the same save replaces the file completely.
  ASSERT_TRUE(big.SaveToFile(QString::fromStdString(path)));
  Grid loaded;
  AddTrackColumns(loaded);
  ASSERT_TRUE(loaded.LoadFromFile(QString::fromStdString(path)));
  ExpectSameRows(big, loaded);
}

TEST_F(GridFileTest, DamagedFilesAreRejectedOrReadWholeNeverHalfway) {
  // A valid file with every kind of cell, then thousands of damaged copies:
  // bytes changed, cut out, doubled or the end cut off.
  for (int r = 1; r <= 6; ++r) {
    grid.AddRow();
    grid.SetTextAt(r, 1, QString::fromUtf8("Art\tist ✓ \\ %1").arg(r));
    grid.SetTextAt(r, 2, QStringLiteral("line\nbreak"));
    grid.SetCellValue(r, 9, r * 64);
    grid.SetCellValue(r, 11, r * 0.1f);
  }
  const std::string path = dir.file("valid.ndx");
  ASSERT_TRUE(grid.SaveToFile(QString::fromStdString(path)));
  const std::string valid = ReadAll(path);

  std::mt19937 rng(20240607);
  const std::vector<djvp::GridRow> sentinel(3, djvp::GridRow{djvp::GridCell::FromText(QStringLiteral("keep"))});
  int rejected = 0;
  for (int i = 0; i < 4000; ++i) {
    std::string damaged = valid;
    const size_t at = rng() % damaged.size();
    switch (rng() % 4) {
      case 0: damaged[at] = static_cast<char>(rng() % 256); break;
      case 1: damaged.erase(at, 1 + rng() % 8); break;
      case 2: damaged.insert(at, damaged.substr(at, 1 + rng() % 8)); break;
      case 3: damaged.resize(at); break;
    }
    std::vector<djvp::GridRow> rows = sentinel;
    int32_t columns = -1;
    QString error;
    const bool ok = djvp::ParseGridFile(QByteArrayView(damaged.data(), static_cast<qsizetype>(damaged.size())), rows,
                                        &columns, &error);
    if (!ok) {
      ++rejected;
      EXPECT_FALSE(error.isEmpty());
      ASSERT_EQ(rows.size(), sentinel.size());
      EXPECT_EQ(rows[0][0], sentinel[0][0]);
    } else {
      // Whatever was read is complete: every row has the file's cells.
      for (const auto& row : rows) ASSERT_EQ(static_cast<int32_t>(row.size()), columns);
    }
  }
  EXPECT_GT(rejected, 2000);
}

}  // namespace
