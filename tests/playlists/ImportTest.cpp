// Filling a deck: folder trees, single files, M3U/M3U8 lists and own
// playlists, through the deck buttons with the dialogs answered.
#include "PlaylistTestEnv.h"

#include "audio/BassPlayer.h"
#include "engine/Engine.h"
#include "platform/OwnFiles.h"
#include "playlists/Import.h"


namespace fs = std::filesystem;
using namespace playlists;

namespace {
const QString kSkipped = QStringLiteral("This file does not accept Tag information, it will be skipped");
const QString kResting = QStringLiteral("dj VORLAN          ");
}  // namespace

class ImportTest : public PlaylistTest {
 protected:
  // A tree with nested folders, mixed-case extensions, a hidden file, a file
  // that is no audio, files of kinds a folder import leaves out, an empty
  // folder and a symbolic link back to the top.
  fs::path MakeTree() {
    const fs::path root = work.path() / "music";
    Copy("tagged.mp3", root / "a.mp3");
    Copy("song.ogg", root / "b.OGG");
    Copy("v1only.mp3", root / ".hidden.mp3");
    Copy("song.wma", root / "z.wma");
    Copy("song.wav", root / "w.wav");
    TempDir::Write((root / "broken.mp3").string(), std::string(3000, 'x'));
    TempDir::Write((root / "notes.txt").string(), "mp3");
    Copy("plain.mp3", root / "Sub" / "c.Mp3");
    Copy("song.flac", root / "Sub" / "Deeper" / "d.FLAC");
    fs::create_directories(root / "Empty");
    fs::create_directory_symlink(root, root / "Sub" / "loop");
    fs::create_directory(root / "folder.mp3");  // a folder whose name matches a mask
    return root;
  }
  static QString Q(const fs::path& p) { return QString::fromStdString(p.string()); }
};

TEST_F(ImportTest, FolderButtonImportsTheTreeMaskByMaskSubFoldersFirst) {
  const fs::path root = MakeTree();
  form->ScrollerText[0] = QStringLiteral("Playing: a song        ");
  const QString deck2Text = form->ScrollerText[1];
  AddTrackRow(*form, Fixture("plain.mp3"), Deck(0));  // a row already there stays first
  AnswerFolderDialog(Q(root));
  // What the decks show while the import runs (at broken.mp3's message).
  QString shownWhileImporting;
  djvp::SetMsgBoxHook([&](const QString& text, djvp::MsgButtons) {
    env.messages.push_back(text);
    shownWhileImporting = form->ScrollerText[0] + QLatin1Char('|') + form->ScrollerText[1];
    return djvp::MsgResult::Ok;
  });
  Press(0);

  EXPECT_EQ(Names(Deck(0)), (QStringList{"plain.mp3", "c.Mp3", ".hidden.mp3", "a.mp3", "b.OGG", "d.FLAC", "z.wma"}));
  EXPECT_EQ(Deck(0).TextAt(2, kFilename), Q(root / "Sub" / "c.Mp3"));
  EXPECT_EQ(Deck(0).TextAt(4, kTitle), QStringLiteral("Tagged Title"));
  // broken.mp3, named once, at the end of the import.
  EXPECT_EQ(env.messages, std::vector<QString>{kSkipped + ":\n" + Q(root / "broken.mp3")});
  EXPECT_EQ(Deck(1).RowCount(), 0);
  // The dialog's title, the notice on deck 1 meanwhile, and afterwards the
  // text deck 1 showed before; deck 2 untouched.
  EXPECT_EQ(lastFolderTitle, QStringLiteral("Choose Folder to import Media files from"));
  EXPECT_EQ(shownWhileImporting, QStringLiteral("Importing          |") + deck2Text);
  EXPECT_EQ(form->ScrollerText[0], QStringLiteral("Playing: a song        "));
  EXPECT_EQ(form->ScrollerText[1], deck2Text);
  EXPECT_FALSE(form->Frame11.isVisible());
  EXPECT_EQ(form->PB.value(), 6);  // from 0, one step per row
  EXPECT_EQ(form->SCLabel1[144].text(), Q(root / "z.wma"));
}

TEST_F(ImportTest, FolderButtonOfDeckTwoAndCancelledOrEmptyChoices) {
  const fs::path root = MakeTree();
  // Sub holds a link back to the top, which is not followed.
  AnswerFolderDialog(Q(root / "Sub") + QLatin1Char('/'));  // a trailing "/" is no second one
  Press(10);
  EXPECT_EQ(Names(Deck(1)), (QStringList{"c.Mp3", "d.FLAC"}));
  EXPECT_EQ(Deck(1).TextAt(1, kFilename), Q(root / "Sub" / "c.Mp3"));
  EXPECT_EQ(form->ScrollerText[1], kResting);

  // Cancelled: nothing imported, the progress frame never shown.
  form->PB.setValue(55);
  AnswerFolderDialog(std::nullopt);
  Press(0);
  AnswerFolderDialog(Q(root / "Empty"));
  Press(0);
  EXPECT_EQ(Deck(0).RowCount(), 0);
  EXPECT_EQ(form->ScrollerText[0], kResting);
  EXPECT_TRUE(env.messages.empty());
}

TEST_F(ImportTest, M3uListsResolveRelativePathsAndReadEveryLineEnd) {
  const fs::path root = MakeTree();
  const fs::path lists = work.path() / "lists";
  fs::create_directories(lists);
  // CR LF, a comment, an extended-info line, a blank line, a line that
  // starts with a blank before "#", a relative and an absolute path.
  TempDir::Write((lists / "mix.m3u").string(),
                 "#EXTM3U\r\n#EXTINF:1,Tagged\r\n../music/a.mp3\r\n\r\n" + (root / "Sub" / "c.Mp3").string() +
                     "\r\n #not a comment\r\n../music/Sub/Deeper/d.FLAC");
  AnswerFileDialog(Q(lists / "mix.m3u"));
  Press(1);
  EXPECT_EQ(Names(Deck(0)), (QStringList{"a.mp3", "c.Mp3", "d.FLAC"}));
  EXPECT_EQ(QFileInfo(Deck(0).TextAt(1, kFilename)).canonicalFilePath(), Q(fs::canonical(root / "a.mp3")));
  // The blank line and the line that only looks like a comment, in one
  // message with the system's reason.
  EXPECT_EQ(env.messages, std::vector<QString>{"No such file or directory:\n\"\"\n" + Q(lists / " #not a comment")});

  // Deck 2 right after: the scratch grid starts empty again.
  env.messages.clear();
  TempDir::Write((lists / "lf.m3u").string(), "../music/z.wma\n../music/b.OGG\n");
  AnswerFileDialog(Q(lists / "lf.m3u"));
  Press(11);
  EXPECT_EQ(Names(Deck(1)), (QStringList{"z.wma", "b.OGG"}));
  EXPECT_EQ(Names(*form->PlayListView[2]), (QStringList{"z.wma", "b.OGG"}));
  EXPECT_EQ(Deck(0).RowCount(), 3);
  EXPECT_TRUE(env.messages.empty());
}

TEST_F(ImportTest, M3u8IsUtf8WithOrWithoutMarkAndM3uMayBeWindows1252) {
  const fs::path songs = work.path() / "songs";
  const std::string unicodeName = "Ünïcødé Шостакович.mp3";
  Copy("tagged.mp3", songs / unicodeName);
  Copy("plain.mp3", songs / "Café.mp3");
  // UTF-8 with a byte-order mark: the "#EXTM3U" behind it is a comment.
  TempDir::Write((songs / "bom.m3u8").string(), "\xEF\xBB\xBF#EXTM3U\r\n" + unicodeName + "\r\n");
  // UTF-8 without a mark, in an .m3u file.
  TempDir::Write((songs / "utf8.m3u").string(), unicodeName + "\n");
  // Windows-1252: "é" is the byte E9.
  TempDir::Write((songs / "ansi.m3u").string(), "#EXTM3U\r\nCaf\xE9.mp3\r\n");
  for (const char* list : {"bom.m3u8", "utf8.m3u", "ansi.m3u"}) {
    AnswerFileDialog(Q(songs / list));
    Press(1);
  }
  EXPECT_EQ(Names(Deck(0)), (QStringList{QString::fromStdString(unicodeName), QString::fromStdString(unicodeName),
                                         QStringLiteral("Café.mp3")}));
  EXPECT_TRUE(env.messages.empty());
}

TEST_F(ImportTest, OwnPlaylistRoundTripKeepsAllCellsAndTheirTypes) {
  const fs::path root = MakeTree();
  for (const char* f : {"a.mp3", "z.wma", "b.OGG"}) AddTrackRow(*form, Q(root / f), Deck(0));
  Deck(0).SetCellValue(2, kGain, QStringLiteral("-3.5"));
  const QString vpl = Q(work.path() / "set.vpl");
  AnswerFileDialog(vpl);
  Press(5);
  EXPECT_TRUE(lastFileRequest.save);
  EXPECT_EQ(lastFileRequest.defaultExt, QStringLiteral("vpl"));
  EXPECT_EQ(lastFileRequest.patterns, QStringList{"*.VPL"});
  ASSERT_TRUE(QFile::exists(vpl));

  AddTrackRow(*form, Q(root / "Sub" / "c.Mp3"), Deck(1));  // deck 2 keeps its row
  AnswerFileDialog(vpl);
  Press(11);
  ASSERT_EQ(Deck(1).RowCount(), 4);
  for (int32_t r = 1; r <= 3; ++r)
    for (int32_t c = 1; c <= kTrackColumnCount; ++c) {
      EXPECT_EQ(Deck(1).CellValue(r + 1, c), Deck(0).CellValue(r, c)) << r << "," << c;
      EXPECT_EQ(Deck(1).CellValue(r + 1, c).typeId(), Deck(0).CellValue(r, c).typeId()) << r << "," << c;
    }
  // An own playlist with no rows adds nothing.
  djvp::Grid empty;
  for (int c = 1; c <= kTrackColumnCount; ++c) empty.InsertColumn(QString::number(c), QString());
  ASSERT_TRUE(empty.SaveToFile(Q(work.path() / "empty.vpl")));
  AnswerFileDialog(Q(work.path() / "empty.vpl"));
  Press(11);
  EXPECT_EQ(Deck(1).RowCount(), 4);
  EXPECT_TRUE(env.messages.empty());
}

TEST_F(ImportTest, AFailedOwnPlaylistLoadAppendsNothingAndSaysSo) {
  const fs::path root = MakeTree();
  // The scratch grid still holds the rows of an earlier list.
  TempDir::Write((root / "old.m3u").string(), "a.mp3\nz.wma\n");
  AnswerFileDialog(Q(root / "old.m3u"));
  Press(1);
  ASSERT_EQ(Deck(0).RowCount(), 2);
  TempDir::Write(work.file("junk.vpl"), "this is not a playlist\n");
  for (const std::string& path : {work.file("junk.vpl"), work.file("missing.vpl")}) {
    AnswerFileDialog(QString::fromStdString(path));
    Press(11);
  }
  EXPECT_EQ(Deck(1).RowCount(), 0);
  EXPECT_EQ(form->PlayListView[2]->RowCount(), 0);
  ASSERT_EQ(env.messages.size(), 2u);
  EXPECT_TRUE(env.messages[0].contains(QStringLiteral("junk.vpl")));
  EXPECT_TRUE(env.messages[1].contains(QStringLiteral("missing.vpl")));
  // A list that cannot be read says so too, and adds nothing.
  env.messages.clear();
  AnswerFileDialog(Q(root / "gone.m3u8"));
  Press(1);
  EXPECT_EQ(Deck(0).RowCount(), 2);
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_TRUE(env.messages[0].contains(QStringLiteral("gone.m3u8")));
}

TEST_F(ImportTest, AddFileTakesMusicByItsEndingOnly) {
  const fs::path root = MakeTree();
  fs::copy_file(root / "a.mp3", root / "UPPER.MP3");
  for (const char* f : {"UPPER.MP3", "Sub/Deeper/d.FLAC", "w.wav", "notes.txt"}) {
    AnswerFileDialog(Q(root / f));
    Press(1);
  }
  AnswerFileDialog(std::nullopt);  // cancelled
  Press(1);
  EXPECT_EQ(Names(Deck(0)), (QStringList{"UPPER.MP3", "d.FLAC"}));
  // The WAV file and the text file are named, each once; the cancel says
  // nothing.
  ASSERT_EQ(env.messages.size(), 2u);
  EXPECT_TRUE(env.messages[0].contains("w.wav"));
  EXPECT_TRUE(env.messages[1].contains("notes.txt"));
  // The open dialog: all files first, nine kinds.
  EXPECT_FALSE(lastFileRequest.save);
  EXPECT_EQ(lastFileRequest.fileName, QStringLiteral("*.*"));
  EXPECT_EQ(lastFileRequest.descriptions.size(), 9);
  EXPECT_EQ(lastFileRequest.filterIndex, 1);
}

// The open button takes several files at once, each as its kind asks; a file
// no playlist takes (a WAV song) is named in a message instead of vanishing.
TEST_F(ImportTest, SeveralChosenFilesAreAddedAndOthersAreNamed) {
  const QString text = work.file("notes.txt").c_str();
  TempDir::Write(text.toStdString(), std::string("x"));
  AnswerFileDialogWith({Fixture("tagged.mp3"), Fixture("song.wav"), Fixture("song.ogg"), text});
  Press(1);
  EXPECT_NE(lastFileRequest.flags & djvp::kOfnAllowMultiSelect, 0) << "the dialog lets several be chosen";
  EXPECT_EQ(Names(Deck(0)), (QStringList{"tagged.mp3", "song.ogg"}));
  // Both named in one message, under the reason.
  ASSERT_EQ(env.messages.size(), 1u);
  const QStringList lines = env.messages[0].split(QLatin1Char('\n'));
  ASSERT_EQ(lines.size(), 3) << env.messages[0].toStdString();
  EXPECT_TRUE(lines[0].contains("cannot be added to a playlist"));
  EXPECT_EQ(lines.mid(1), (QStringList{Fixture("song.wav"), text}));
}

// A folder import of names that are not UTF-8: the songs come in, play, and
// come back from a saved playlist naming the same bytes.
TEST_F(ImportTest, NamesThatAreNotUtf8ImportPlayAndSurviveASavedPlaylist) {
  const std::string root = (work.path() / "m\xfcsic").string();
  Copy("tagged.mp3", root + "/caf\xe9.mp3");
  Copy("song.ogg", root + "/Sub \xe9t\xe9/\xff.ogg");
  AnswerFolderDialog(djvp::FileNameText(QByteArray::fromStdString(root)));
  Press(0);
  EXPECT_TRUE(env.messages.empty()) << env.messages.front().toStdString();
  ASSERT_EQ(Deck(0).RowCount(), 2);
  EXPECT_EQ(djvp::FileNameBytes(Deck(0).TextAt(1, kFilename)).toStdString(), root + "/caf\xe9.mp3");
  EXPECT_EQ(djvp::FileNameBytes(Deck(0).TextAt(2, kFilename)).toStdString(), root + "/Sub \xe9t\xe9/\xff.ogg");
  EXPECT_EQ(Deck(0).TextAt(1, kTitle), QStringLiteral("Tagged Title"));

  // Saved and loaded again: the same names.
  const QString list = Q(work.path() / "list.vpl");
  ASSERT_TRUE(Deck(0).SaveToFile(list));
  djvp::Grid& scratch = *form->PlayListView[2];
  ASSERT_TRUE(ReadOwnPlaylist(list, scratch));
  ASSERT_EQ(scratch.RowCount(), 2);
  for (int32_t r = 1; r <= 2; ++r) EXPECT_EQ(scratch.TextAt(r, kFilename), Deck(0).TextAt(r, kFilename));

  // The player opens them by their bytes.
  engine::SetManualClock(true);
  for (int32_t r = 1; r <= 2; ++r) {
    djvp::clsBassPlayer player;
    player.filename(scratch.TextAt(r, kFilename));
    EXPECT_TRUE(player.OpenFile()) << r;
    player.StopPlay();
  }
}

// Many files the import cannot take: one message at the end, naming the
// first twenty and counting the rest.
TEST_F(ImportTest, ManyUnreadableFilesAreToldOnceNamingTheFirstTwenty) {
  const fs::path root = work.path() / "junk";
  fs::create_directories(root);
  for (int i = 0; i < 45; ++i) TempDir::Write((root / QString::asprintf("%02d.mp3", i).toStdString()).string(), std::string(100, 'x'));
  Copy("tagged.mp3", root / "good.mp3");
  AnswerFolderDialog(Q(root));
  Press(0);
  EXPECT_EQ(Deck(0).RowCount(), 1);
  ASSERT_EQ(env.messages.size(), 1u);
  QStringList expected = {kSkipped + ":"};
  for (int i = 0; i < 20; ++i) expected << Q(root / QString::asprintf("%02d.mp3", i).toStdString());
  expected << QStringLiteral("... and 25 more");
  EXPECT_EQ(env.messages[0].split(QLatin1Char('\n')), expected);

  // An M3U list of 2,000 songs that are gone and two that are no songs: one
  // message, each kind with its reason, in the order first met.
  env.messages.clear();
  std::string m3u;
  for (int i = 0; i < 2000; ++i) m3u += (work.path() / "gone" / (std::to_string(i) + ".mp3")).string() + "\n";
  m3u += "junk/00.mp3\njunk/01.mp3\n";
  TempDir::Write((work.path() / "gone.m3u").string(), m3u);
  AnswerFileDialog(Q(work.path() / "gone.m3u"));
  Press(1);
  EXPECT_EQ(Deck(0).RowCount(), 1);
  ASSERT_EQ(env.messages.size(), 1u);
  expected = QStringList{QStringLiteral("No such file or directory:")};
  for (int i = 0; i < 20; ++i) expected << Q(work.path() / "gone" / (std::to_string(i) + ".mp3"));
  expected << QStringLiteral("... and 1980 more") << QString() << kSkipped + ":" << Q(root / "00.mp3") << Q(root / "01.mp3");
  EXPECT_EQ(env.messages[0].split(QLatin1Char('\n')), expected);
}
