// Building the library from the music folder ("Create" on the settings page,
// with both options), the index it leaves, the restart that reads it back,
// and the music folder's own button.
#include "LibraryTestEnv.h"

#include "library/CreateIndex.h"
#include "platform/OwnFiles.h"
#include "platform/Paths.h"
#include "platform/Settings.h"

#include <QFileInfo>

namespace fs = std::filesystem;
using namespace djvp::ui;

namespace {

// The rows from `first` on hold the tree's songs in the walk's order, every
// cell as the song's tags and file give it.
void ExpectTreeRows(const djvp::Grid& g, int32_t first, const fs::path& tree) {
  const auto& songs = TreeSongs();
  ASSERT_GE(g.RowCount(), first + static_cast<int32_t>(songs.size()) - 1);
  for (size_t i = 0; i < songs.size(); ++i) {
    const Song& song = songs[i];
    const int32_t r = first + static_cast<int32_t>(i);
    SCOPED_TRACE(song.file);
    EXPECT_EQ(g.TextAt(r, kArtist), QString::fromUtf8(song.artist));
    EXPECT_EQ(g.TextAt(r, kTitle), QString::fromUtf8(song.title));
    EXPECT_EQ(g.TextAt(r, kAlbum), QString::fromUtf8(song.album));
    EXPECT_EQ(g.TextAt(r, kGenre), QString::fromUtf8(song.genre));
    EXPECT_EQ(g.TextAt(r, kYear), QString::fromUtf8(song.year));
    EXPECT_EQ(g.TextAt(r, kBPM), QString::fromUtf8(song.bpm));
    EXPECT_EQ(g.TextAt(r, kGain), QString::fromUtf8(song.gain));
    EXPECT_EQ(g.TextAt(r, kStartMixPoint), QString::fromUtf8(song.startMix));
    EXPECT_EQ(g.TextAt(r, kEndMixPoint), QString::fromUtf8(song.endMix));
    EXPECT_EQ(g.TextAt(r, kFilename), Q(tree / song.file));
    EXPECT_TRUE(g.TextAt(r, kTime).startsWith(QStringLiteral("00:0"))) << g.TextAt(r, kTime).toStdString();
    EXPECT_GT(g.CellValue(r, kBitrate).toInt(), 0);
    EXPECT_GE(g.CellValue(r, kFreq).toInt(), 8000);
  }
}

}  // namespace

TEST_F(LibraryTest, CreateFillsTheLibraryFromTheTreeAndAStartReadsTheSameRowsBack) {
  // Rows from an earlier index go with "Create a New Indexfile".
  Library().SetTextAt(Library().AddRow(), kArtist, QStringLiteral("Old Row"));
  Create(true);
  EXPECT_EQ(Library().RowCount(), 10);
  ExpectTreeRows(Library(), 1, Tree());
  EXPECT_TRUE(env.messages.empty());
  // The progress panel showed the walk and is hidden again.
  EXPECT_FALSE(form->Frame11.isVisible());
  EXPECT_EQ(form->PB.value(), 10);
  EXPECT_EQ(form->SCLabel1[djvp::ctl::kLblImportPath].text(), Q(Tree() / "09 eve.wma"));
  EXPECT_EQ(IndexRows(), GridRows(Library()));

  // "Add to the Existing Indexfile": the same songs follow a second time.
  Create(false);
  EXPECT_EQ(Library().RowCount(), 20);
  ExpectTreeRows(Library(), 11, Tree());
  const auto saved = GridRows(Library());
  EXPECT_EQ(IndexRows(), saved);

  // The next start finds the same rows, cell by cell and of the same kind.
  form.reset();
  form = env.Open(true);
  EXPECT_EQ(Library().RowCount(), 0);
  library::LoadLibraryIndex(*form);
  EXPECT_EQ(GridRows(Library()), saved);
  EXPECT_EQ(Library().CellValue(1, kBitrate).metaType().id(), QMetaType::Int);
  EXPECT_TRUE(env.messages.empty());

  // A new index from a sub-folder replaces them all.
  Create(true, Q(Tree() / "Club"));
  EXPECT_EQ(Column(Library(), kArtist), (QStringList{"Zed Alpha", "Mira Stone", "anna bell", "Oscar Wild"}));
  EXPECT_EQ(IndexRows().size(), 4u);
}

TEST_F(LibraryTest, CreateWithAnEmptyBoxAMissingFolderOrSongsTheTagLibraryRejects) {
  Create(true);
  ASSERT_EQ(Library().RowCount(), 10);

  // A folder that does not exist (a typing slip) leaves library and index
  // alone and says so.
  Create(true, Q(Tree() / "No Such Folder"));
  EXPECT_EQ(Library().RowCount(), 10);
  EXPECT_EQ(IndexRows().size(), 10u);
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_TRUE(env.messages[0].startsWith(QStringLiteral("The music folder does not exist")));
  EXPECT_TRUE(env.messages[0].endsWith(Q(Tree() / "No Such Folder")));
  EXPECT_FALSE(form->Frame11.isVisible());

  // An empty box with "Add" adds nothing; with "Create a New Indexfile" it
  // leaves an empty library and an empty index.
  env.messages.clear();
  Create(false, QStringLiteral(""));
  EXPECT_EQ(Library().RowCount(), 10);
  Create(true, QStringLiteral(""));
  EXPECT_EQ(Library().RowCount(), 0);
  EXPECT_TRUE(QFileInfo::exists(library::IndexPath()));
  EXPECT_TRUE(IndexRows().empty());
  EXPECT_TRUE(env.messages.empty());

  // A file that only looks like a song is left out with the import's
  // message; the others come in.
  TempDir::Write((Tree() / "Lounge" / "broken.mp3").string(), std::string(3000, 'x'));
  Create(true);
  EXPECT_EQ(Library().RowCount(), 10);
  EXPECT_EQ(env.messages, std::vector<QString>{"This file does not accept Tag information, it will be skipped:\n" +
                                                Q(Tree() / "Lounge" / "broken.mp3")});
}

TEST_F(LibraryTest, TheFolderButtonStoresTheChosenFolderAndCancelChangesNothing) {
  form->txtSettings[0].setText(QStringLiteral("/before"));
  form->txtSettings[0].setToolTip(QStringLiteral("/before"));
  QString title;
  std::optional<QString> answer;
  djvp::clsBrowseForFolder::SetDialogHook(
      [&](const djvp::FolderDialogRequest& r, djvp::FolderDialogDriver&) {
        title = r.title;
        return answer;
      });
  form->cmdSettings[library::kChooseMusicFolder].click();
  EXPECT_EQ(title, QStringLiteral("Choose Folder or Drives to get the Music Files"));
  EXPECT_EQ(form->txtSettings[0].text(), QStringLiteral("/before"));
  EXPECT_EQ(djvp::GetSetting(QStringLiteral("DJVP"), QStringLiteral("Settings"), QStringLiteral("Directory"),
                             QStringLiteral("<none>")),
            QStringLiteral("<none>"));

  answer = Q(Tree() / "Lounge");
  form->cmdSettings[library::kChooseMusicFolder].click();
  EXPECT_EQ(form->txtSettings[0].text(), Q(Tree() / "Lounge"));
  EXPECT_EQ(form->txtSettings[0].toolTip(), Q(Tree() / "Lounge"));
  EXPECT_EQ(djvp::GetSetting(QStringLiteral("DJVP"), QStringLiteral("Settings"), QStringLiteral("Directory"), {}),
            Q(Tree() / "Lounge"));

  // "Create" takes the box's text.
  form->optSettings[1].setChecked(true);
  form->cmdSettings[library::kCreate].click();
  EXPECT_EQ(Column(Library(), kArtist), (QStringList{"bob Marley Tribute", "\xc3\x89mile Roux"}));
}

// Songs whose names are not UTF-8 (Latin-1 names of an older collection), in
// a folder whose name is not UTF-8 either: Create takes them, their rows name
// the files' very bytes, and the index gives them back at the next start.
TEST_F(LibraryTest, CreateTakesNamesThatAreNotUtf8AndTheIndexKeepsThem) {
  const std::string folder = (Tree() / "M\xfcsica").string();
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file((Tree() / "Club" / "01 zed.mp3"), folder + "/caf\xe9 del mar.mp3");
  std::filesystem::copy_file((Tree() / "Club" / "01 zed.mp3"), folder + "/\xc0 la carte \x80.mp3");
  Create(true, djvp::FileNameText(QByteArray::fromStdString(folder)));
  EXPECT_TRUE(env.messages.empty()) << env.messages.front().toStdString();
  ASSERT_EQ(Library().RowCount(), 2);
  QStringList names;
  for (int32_t r = 1; r <= 2; ++r) {
    const QByteArray bytes = djvp::FileNameBytes(Library().TextAt(r, kFilename));
    EXPECT_TRUE(std::filesystem::is_regular_file(bytes.toStdString())) << bytes.toStdString();
    names << djvp::FileNameText(bytes.mid(bytes.lastIndexOf('/') + 1));
    EXPECT_EQ(Library().TextAt(r, kArtist), QStringLiteral("Zed Alpha"));
  }
  EXPECT_EQ(names, (QStringList{djvp::FileNameText("caf\xe9 del mar.mp3"), djvp::FileNameText("\xc0 la carte \x80.mp3")}));
  const auto saved = GridRows(Library());
  form.reset();
  form = env.Open(true);
  library::LoadLibraryIndex(*form);
  EXPECT_EQ(GridRows(Library()), saved);
}
