// The index file: read at start, set aside when it cannot be read, and
// written by one routine that leaves the old index whole when a save fails.
#include "LibraryTestEnv.h"

#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>

namespace fs = std::filesystem;
using namespace djvp::ui;

namespace {

std::vector<unsigned char> Bytes(const QString& path) { return TempDir::Read(path.toStdString()); }

// Runs `save` with the process's file size limit set to `limit` bytes, so a
// longer write runs into it halfway, as on a full disk.
template <typename F>
void WithFileSizeLimit(rlim_t limit, F save) {
  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = old;
  small.rlim_cur = limit;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  save();
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);
}

}  // namespace

TEST_F(LibraryTest, WithoutAnIndexTheLibraryStartsEmptyAndTheFirstSaveMakesIt) {
  ASSERT_FALSE(QFileInfo::exists(library::IndexPath()));
  library::LoadLibraryIndex(*form);
  EXPECT_EQ(Library().RowCount(), 0);
  EXPECT_TRUE(env.messages.empty());
  EXPECT_EQ(library::IndexPath(), djvp::DataFolder() + QStringLiteral("/djv.ndx"));
  EXPECT_TRUE(library::SaveLibraryIndex(*form));
  EXPECT_TRUE(QFileInfo::exists(library::IndexPath()));
  EXPECT_TRUE(IndexRows().empty());
}

TEST_F(LibraryTest, AnIndexThatCannotBeReadIsKeptAsideAndTheUserIsTold) {
  // Cut in the middle of its rows.
  Create(true);
  std::vector<unsigned char> bytes = Bytes(library::IndexPath());
  bytes.resize(bytes.size() / 2);
  TempDir::Write(library::IndexPath().toStdString(), bytes);

  form.reset();
  form = env.Open(true);
  library::LoadLibraryIndex(*form);
  EXPECT_EQ(Library().RowCount(), 0);
  const QString aside = library::IndexPath() + QStringLiteral(".unreadable");
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_TRUE(env.messages[0].startsWith(QStringLiteral("The music library's index file could not be read")));
  EXPECT_TRUE(env.messages[0].contains(aside));
  EXPECT_TRUE(env.messages[0].contains(QStringLiteral("ends after")));  // the reader's own reason
  EXPECT_FALSE(QFileInfo::exists(library::IndexPath()));
  EXPECT_EQ(Bytes(aside), bytes);

  // The next save makes a new index; the damaged one stays for the user.
  Create(false, Q(Tree() / "Lounge"));
  EXPECT_EQ(IndexRows().size(), 2u);
  EXPECT_EQ(Bytes(aside), bytes);
}

TEST_F(LibraryTest, ASaveThatFailsMidwayLeavesTheOldIndexAndTellsTheSystemsReason) {
  Create(true);
  const std::vector<unsigned char> before = Bytes(library::IndexPath());
  const auto saved = GridRows(Library());
  // Many more rows than the size limit below lets through.
  for (int i = 0; i < 3000; ++i) {
    const int32_t r = Library().AddRow();
    for (int32_t c = 1; c <= kTrackColumnCount; ++c)
      Library().SetTextAt(r, c, QStringLiteral("row %1 cell %2 with some text").arg(r).arg(c));
  }

  // "Create" with "Add" runs the one index writer.
  WithFileSizeLimit(64 * 1024, [&] { Create(false, Q(Tree() / "Lounge")); });
  EXPECT_EQ(Library().RowCount(), 10 + 3000 + 2);
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_TRUE(env.messages[0].startsWith(QStringLiteral("The music library's index file could not be saved")));
  EXPECT_TRUE(env.messages[0].contains(QString::fromLocal8Bit(strerror(EFBIG)))) << env.messages[0].toStdString();
  EXPECT_EQ(Bytes(library::IndexPath()), before);
  // Nothing half-written is left beside it.
  int files = 0;
  for (const auto& entry : fs::directory_iterator(djvp::DataFolder().toStdString())) files += entry.is_regular_file();
  EXPECT_EQ(files, 1);

  // The old index is what the next start reads.
  form.reset();
  form = env.Open(true);
  library::LoadLibraryIndex(*form);
  EXPECT_EQ(GridRows(Library()), saved);
}

// An earlier version's save from the tag editor stored a field of several
// values with U+0000 between them; read back, the row shows them as track
// rows do, and the next save stores them so.
TEST_F(LibraryTest, AnIndexWithSeveralValuesInOneCellShowsThemApart) {
  djvp::Grid& g = Library();
  const int32_t row = g.AddRow();
  g.SetTextAt(row, kArtist, QStringLiteral("Anna Alpha") + QChar(0) + QStringLiteral("Bert Beta"));
  g.SetTextAt(row, kGenre, QStringLiteral("Jazz") + QChar(0));
  g.SetTextAt(row, kFilename, QStringLiteral("/music/a.flac"));
  ASSERT_TRUE(library::SaveLibraryIndex(*form));

  form.reset();
  form = env.Open(true);
  library::LoadLibraryIndex(*form);
  ASSERT_EQ(Library().RowCount(), 1);
  EXPECT_EQ(Library().TextAt(1, kArtist), "Anna Alpha; Bert Beta");
  EXPECT_EQ(Library().TextAt(1, kGenre), "Jazz");
  EXPECT_EQ(Library().TextAt(1, kFilename), "/music/a.flac");
  ASSERT_TRUE(library::SaveLibraryIndex(*form));
  const auto rows = IndexRows();
  ASSERT_EQ(rows.size(), 1u);
  for (const QVariant& cell : rows[0]) EXPECT_FALSE(cell.toString().contains(QChar(0)));
}
