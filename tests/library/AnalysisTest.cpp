// The library's analysis commands over real songs: where each format keeps
// the measured value, what else stays as it was, the songs that cannot be
// measured or written, the order of the mix-point passes, and one run at a
// time.
#include "AnalysisTestEnv.h"

#include "library/Analysis.h"
#include "library/LibraryGrid.h"
#include "library/SearchButtons.h"
#include "library/SongTags.h"
#include "resources/StringIds.h"
#include "ui/Text.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/resource.h>
#include <linux/fs.h>
#include <sys/stat.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

using djvp::ui::kBPM;
using djvp::ui::kEndMixPoint;
using djvp::ui::kGain;
using djvp::ui::kStartMixPoint;
using library::kCalculateBPM;
using library::kCalculateGain;
using library::kCalculateMixPoints;

const QString kCrLf = QStringLiteral("\r\n");

// The figure the program shows for a song's loudness: 89 minus the radio
// gain that mp3gain itself reports, to one decimal.
QString GainFigureByTheTool(const QString& path) {
  int status = 0;
  const std::string out = RunCommand("mp3gain -o -s s '" + path.toStdString() + "' 2>/dev/null", &status);
  const QStringList lines = QString::fromStdString(out).split(QLatin1Char('\n'));
  if (status != 0 || lines.size() < 2) return QStringLiteral("mp3gain failed");
  const QStringList fields = lines[1].split(QLatin1Char('\t'));
  if (fields.size() < 6) return QStringLiteral("mp3gain failed");
  const double dB = fields[fields.size() - 4].toDouble();
  return QString::number(static_cast<double>(static_cast<float>(std::round((89.0 - dB) * 10.0) / 10.0)));
}

// Makes a file unchangeable for everyone, root included, while it lives (the
// file system's immutable flag); false where the file system has none.
class Immutable {
 public:
  explicit Immutable(const QString& path) : path_(path.toStdString()) { ok_ = Set(true); }
  ~Immutable() {
    if (ok_) Set(false);
  }
  Immutable(const Immutable&) = delete;
  Immutable& operator=(const Immutable&) = delete;
  bool ok() const { return ok_; }

 private:
  bool Set(bool on) {
    const int fd = open(path_.c_str(), O_RDONLY);
    if (fd < 0) return false;
    int flags = 0;
    bool done = ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
    flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
    done = done && ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
    close(fd);
    return done;
  }
  std::string path_;
  bool ok_ = false;
};

}  // namespace

TEST_F(AnalysisTest, TempoGoesWhereEachFormatKeepsItAndNothingElseChanges) {
  const QStringList songs = {
      Song("playlists/tagged.mp3", "id3v2.mp3"), Song("playlists/plain.mp3", "notag.mp3"),
      Song("playlists/v1only.mp3", "v1only.mp3"), Song("analysis/beat.mp3", "beat.mp3"),
      Song("playlists/song.wma", "song.wma"),     Song("playlists/song.flac", "song.flac"),
      Song("playlists/song.ogg", "song.ogg"),     Song("analysis/beat.ogg", "beat.ogg"),
      Song("playlists/song.wav", "song.wav")};
  for (const QString& s : songs) AddRow(s);
  ASSERT_EQ(Library().RowCount(), songs.size());
  const auto before = Read(songs);
  SelectAll();
  Run(kCalculateBPM);
  EXPECT_TRUE(env.messages.empty()) << env.messages.front().toStdString();
  const auto after = Read(songs);

  QStringList tempo;
  for (int32_t row = 1; row <= Library().RowCount(); ++row) {
    tempo << Cell(row, kBPM);
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{3,}\\.\\d$")).match(tempo.back()).hasMatch())
        << tempo.back().toStdString();
  }
  EXPECT_EQ(IndexColumn(kBPM), tempo) << "the index is saved with the results";
  // The two beat songs have a tempo to find.
  for (const int i : {3, 7}) EXPECT_NEAR(tempo[i].toDouble(), 125.0, 2.0) << songs[i].toStdString();

  auto expect = [&](int i, const std::map<QString, std::optional<QString>>& changes) {
    SCOPED_TRACE(songs[i].toStdString());
    ExpectChanged(before.at(songs[i]), after.at(songs[i]), changes);
  };
  expect(0, {{QStringLiteral("id3v2:TBPM"), tempo[0]}});
  // No ID3v2 tag: a new ID3v1 tag whose comment holds the marker block.
  expect(1, {{QStringLiteral("id3v1.comment"), kCrLf + QStringLiteral("BPM") + kCrLf + tempo[1]},
             {QStringLiteral("id3v1.*"), std::nullopt}});
  EXPECT_EQ(after.at(songs[1]).count(QStringLiteral("id3v2.version")), 0u) << "no ID3v2 tag was made";
  expect(2, {{QStringLiteral("id3v1.comment"), QStringLiteral("BPM\r\n%1\r\nPEA\r\n91.0").arg(tempo[2])}});
  expect(3, {{QStringLiteral("id3v2:TBPM"), tempo[3]}});
  // The tag library also writes the title, artist and description as their
  // "WM/" attributes (the same texts).
  const Reading& wma = before.at(songs[4]);
  expect(4, {{QStringLiteral("asf:WM/BeatsPerMinute"), tempo[4]},
             {QStringLiteral("asf:WM/Title"), wma.at(QStringLiteral("asf:Title"))},
             {QStringLiteral("asf:WM/Author"), wma.at(QStringLiteral("asf:Author"))},
             {QStringLiteral("asf:WM/Description"), wma.at(QStringLiteral("asf:Description"))}});
  expect(5, {{QStringLiteral("vc:COMMENT"), QStringLiteral("BPM\r\n%1\r\nPEA\r\n95.3").arg(tempo[5])}});
  expect(6, {{QStringLiteral("vc:COMMENT"),
              QStringLiteral("Примечание\r\nSMP\r\n02.00 sec\r\nEMP\r\n08.25 sec\r\nBPM\r\n") + tempo[6]}});
  expect(7, {{QStringLiteral("vc:COMMENT"), QStringLiteral("kick only\r\nBPM\r\n") + tempo[7]}});
  expect(8, {});  // WAV: in the library only

  // Imported again, the songs bring their new tempo with them (the ID3v1 line
  // is never read back, so the MP3 without an ID3v2 tag brings none).
  djvp::Grid& deck = *form->PlayListView[0];
  for (const QString& s : songs) playlists::AddTrackRow(*form, s, deck);
  for (int i : {0, 3, 4, 5, 6, 7}) EXPECT_EQ(deck.TextAt(i + 1, kBPM), tempo[i]) << songs[i].toStdString();
}

TEST_F(AnalysisTest, GainOfMp3SongsByMp3gainIntoEveryGainComment) {
  const QStringList songs = {Song("gain/loud.mp3", "loud.mp3"), Song("gain/quiet.mp3", "quiet.mp3"),
                             Song("playlists/tagged.mp3", "tagged.mp3"), Song("analysis/twopea.mp3", "twopea.mp3"),
                             Song("playlists/song.flac", "song.flac")};
  for (const QString& s : songs) AddRow(s);
  const QString flacGain = Cell(5, kGain);
  const auto before = Read(songs);
  SelectAll();
  Run(kCalculateGain);
  const auto after = Read(songs);

  ASSERT_EQ(env.messages.size(), 1u) << "one message, for the FLAC song";
  EXPECT_EQ(env.messages[0], djvp::ui::T(djvp::kStrOnlyForMp3) + ":\n" + songs[4]);
  EXPECT_EQ(Cell(5, kGain), flacGain) << "the FLAC song is not measured";
  ExpectChanged(before.at(songs[4]), after.at(songs[4]), {});

  for (int i = 0; i < 4; ++i) EXPECT_EQ(Cell(i + 1, kGain), GainFigureByTheTool(songs[i])) << songs[i].toStdString();
  EXPECT_GT(Cell(1, kGain).toDouble(), Cell(2, kGain).toDouble()) << "the loud song has the higher figure";
  EXPECT_EQ(IndexColumn(kGain), (QStringList{Cell(1, kGain), Cell(2, kGain), Cell(3, kGain), Cell(4, kGain), flacGain}));

  // Files without an ID3v2 tag get one (version 2.3) with one gain comment.
  for (int i : {0, 1}) {
    SCOPED_TRACE(songs[i].toStdString());
    ExpectChanged(before.at(songs[i]), after.at(songs[i]),
                  {{QStringLiteral("id3v2.version"), QStringLiteral("3")}, {QStringLiteral("id3v2:COMM::PEA"), Cell(i + 1, kGain)}});
  }
  // The comment in the exact case; "pea" is not a gain comment.
  ExpectChanged(before.at(songs[2]), after.at(songs[2]), {{QStringLiteral("id3v2:COMM::PEA"), Cell(3, kGain)}});
  // Both gain comments take the value and lose their descriptions (so a
  // reader sees one comment of that language and description, with one
  // text); the other comment stays.
  ExpectChanged(before.at(songs[3]), after.at(songs[3]),
                {{QStringLiteral("id3v2:COMM:one:PEA"), QStringLiteral("<none>")},
                 {QStringLiteral("id3v2:COMM:two:PEA"), QStringLiteral("<none>")},
                 {QStringLiteral("id3v2:COMM::PEA"), Cell(4, kGain)}});
}

TEST_F(AnalysisTest, WithoutTheGainToolSongsAreNamedOnceAndLeftAsTheyWere) {
  const QStringList songs = {Song("gain/loud.mp3", "loud.mp3"), Song("playlists/tagged.mp3", "tagged.mp3")};
  for (const QString& s : songs) AddRow(s);
  const auto before = Read(songs);
  // A search path on which no gain tool is found.
  const QByteArray path = qgetenv("PATH");
  const QString empty = QFileInfo(songs[0]).absolutePath() + QStringLiteral("/no-tools");
  ASSERT_TRUE(QDir().mkpath(empty));
  qputenv("PATH", empty.toLocal8Bit());
  SelectAll();
  Run(kCalculateGain);
  qputenv("PATH", path);

  ExpectChanged(before.at(songs[0]), Read({songs[0]}).at(songs[0]), {});
  ExpectChanged(before.at(songs[1]), Read({songs[1]}).at(songs[1]), {});
  EXPECT_EQ(Cell(1, kGain), QString());
  EXPECT_EQ(Cell(2, kGain), QString());
  ASSERT_EQ(env.messages.size(), 1u) << "one message, at the end";
  EXPECT_EQ(env.messages[0], djvp::ui::T(djvp::kStrNotMeasured) + QLatin1Char('\n') + songs.join(QLatin1Char('\n')));
}

TEST_F(AnalysisTest, MixPointsFirstEveryStartThenEveryEnd) {
  const QStringList songs = {Song("player/gap.flac", "gap.flac"), Song("playlists/tagged.mp3", "tagged.mp3"),
                             Song("playlists/song.ogg", "song.ogg")};
  for (const QString& s : songs) AddRow(s);
  const QString middleStart = Cell(2, kStartMixPoint);
  const auto before = Read(songs);
  // The first change of each cell is the 0 written before its measurement.
  std::vector<std::pair<int, int>> order;
  QObject::connect(Library().View()->model(), &QAbstractItemModel::dataChanged,
                   [&](const QModelIndex& from, const QModelIndex&) {
                     const std::pair<int, int> cell{from.row() + 1, from.column() + 1};
                     if (std::find(order.begin(), order.end(), cell) == order.end()) order.push_back(cell);
                   });
  // The tags are written in the same order, each away from the window's
  // thread (a long song may be copied whole).
  std::vector<std::pair<QString, bool>> writes;  // song, on the window's thread
  const auto hook = library::SetTagWriteHook([&](const QString& path) {
    writes.emplace_back(path, QThread::currentThread() == QCoreApplication::instance()->thread());
  });
  Select({1, 3});
  Run(kCalculateMixPoints);
  library::SetTagWriteHook(hook);
  const auto after = Read(songs);
  EXPECT_TRUE(env.messages.empty());

  EXPECT_EQ(order, (std::vector<std::pair<int, int>>{
                       {1, kStartMixPoint}, {3, kStartMixPoint}, {1, kEndMixPoint}, {3, kEndMixPoint}}));
  EXPECT_EQ(writes, (std::vector<std::pair<QString, bool>>{
                        {songs[0], false}, {songs[2], false}, {songs[0], false}, {songs[2], false}}));
  EXPECT_EQ(Cell(2, kStartMixPoint), middleStart) << "a row that is not selected is left alone";
  // One second of silence, two of a tone, one of silence.
  EXPECT_EQ(Cell(1, kStartMixPoint), QStringLiteral("01.00 sec"));
  EXPECT_EQ(Cell(1, kEndMixPoint), QStringLiteral("03.00 sec"));
  EXPECT_EQ(IndexColumn(kEndMixPoint).value(0), QStringLiteral("03.00 sec"));

  ExpectChanged(before.at(songs[0]), after.at(songs[0]),
                {{QStringLiteral("vc:COMMENT"), QStringLiteral("\r\nSMP\r\n01.00 sec\r\nEMP\r\n03.00 sec")}});
  ExpectChanged(before.at(songs[1]), after.at(songs[1]), {});
  ExpectChanged(before.at(songs[2]), after.at(songs[2]),
                {{QStringLiteral("vc:COMMENT"), QStringLiteral("Примечание\r\nSMP\r\n%1\r\nEMP\r\n%2\r\nBPM")
                                                    .arg(Cell(3, kStartMixPoint), Cell(3, kEndMixPoint))}});
}

TEST_F(AnalysisTest, MixPointsOfAnMp3SongGoIntoItsComments) {
  const QString song = Song("playlists/tagged.mp3", "tagged.mp3");
  AddRow(song);
  const auto before = Read({song});
  SelectAll();
  Run(kCalculateMixPoints);
  ExpectChanged(before.at(song), Read({song}).at(song),
                {{QStringLiteral("id3v2:COMM::SMP"), Cell(1, kStartMixPoint)},
                 {QStringLiteral("id3v2:COMM::EMP"), Cell(1, kEndMixPoint)}});
  EXPECT_TRUE(Cell(1, kEndMixPoint).endsWith(QStringLiteral(" sec")));
}

TEST_F(AnalysisTest, ASongWhoseAudioCannotBeOpenedKeepsItsTags) {
  const QString missing = QString::fromStdString(dir.file("gone.mp3"));
  const QString flaky = Song("playlists/tagged.mp3", "flaky.mp3");
  const QString good = Song("playlists/tagged.mp3", "good.mp3");
  AddMissingRow(missing);
  AddRow(flaky);
  AddRow(good);
  const auto before = Read({flaky});
  // The second song is out of reach while the player opens it (moved away
  // once its cell shows 0), and back when the player's message shows: the
  // tag library then reads it as an MP3 file again, but it was not measured.
  const QString away = flaky + QStringLiteral(".away");
  QObject::connect(Library().View()->model(), &QAbstractItemModel::dataChanged, [&](const QModelIndex& at) {
    if (at.row() == 1 && at.column() + 1 == kBPM && Cell(2, kBPM) == QStringLiteral("0")) QFile::rename(flaky, away);
  });
  djvp::SetMsgBoxHook([&](const QString& text, djvp::MsgButtons) {
    env.messages.push_back(text);
    if (QFile::exists(away)) QFile::rename(away, flaky);
    return djvp::MsgResult::Ok;
  });
  SelectAll();
  Run(kCalculateBPM);

  // The player's message once, at the end, naming both with why; the 0 in
  // the cells.
  const QString gone = QString::fromLocal8Bit(std::strerror(ENOENT));
  EXPECT_EQ(env.messages, std::vector<QString>{djvp::ui::T(djvp::kStrCantCreateStream) + ": " + gone + ":\n" + missing +
                                               "\n" + flaky});
  EXPECT_EQ(Cell(1, kBPM), QStringLiteral("0"));
  EXPECT_EQ(Cell(2, kBPM), QStringLiteral("0"));
  EXPECT_FALSE(QFileInfo::exists(missing));
  ASSERT_EQ(library::SongTagWriter::Create().Analyze(flaky), library::kFormatMpeg);
  ExpectChanged(before.at(flaky), Read({flaky}).at(flaky), {});
  EXPECT_EQ(IndexColumn(kBPM), (QStringList{QStringLiteral("0"), QStringLiteral("0"), Cell(3, kBPM)}));
  EXPECT_EQ(Read({good}).at(good).at(QStringLiteral("id3v2:TBPM")), Cell(3, kBPM));
}

TEST_F(AnalysisTest, FilesThatCannotBeWrittenAreNamedOnceAtTheEnd) {
  const QStringList songs = {Song("playlists/tagged.mp3", "locked.mp3"), Song("playlists/song.flac", "song.flac"),
                             Song("playlists/song.ogg", "locked.ogg")};
  for (const QString& s : songs) AddRow(s);
  const auto before = Read(songs);
  const Immutable lockMp3(songs[0]), lockOgg(songs[2]);
  if (!lockMp3.ok() || !lockOgg.ok()) GTEST_SKIP() << "the file system here has no immutable flag";
  SelectAll();
  Run(kCalculateMixPoints);
  const auto after = Read(songs);

  ASSERT_EQ(env.messages.size(), 1u) << "told once for the whole run, both passes";
  const QString& told = env.messages[0];
  EXPECT_TRUE(told.startsWith(djvp::ui::T(djvp::kStrTagsNotWritten)));
  EXPECT_EQ(told.count(songs[0] + QStringLiteral(": ")), 1) << told.toStdString();
  EXPECT_EQ(told.count(songs[2] + QStringLiteral(": ")), 1) << told.toStdString();
  EXPECT_TRUE(told.contains(QStringLiteral("Operation not permitted"))) << told.toStdString();
  EXPECT_FALSE(told.contains(songs[1]));
  // The locked files are as they were; their values are in the library.
  ExpectChanged(before.at(songs[0]), after.at(songs[0]), {});
  ExpectChanged(before.at(songs[2]), after.at(songs[2]), {});
  EXPECT_EQ(IndexColumn(kStartMixPoint), (QStringList{Cell(1, kStartMixPoint), Cell(2, kStartMixPoint), Cell(3, kStartMixPoint)}));
  EXPECT_EQ(after.at(songs[1]).at(QStringLiteral("vc:COMMENT")),
            QStringLiteral("BPM\r\n128.0\r\nPEA\r\n95.3\r\nSMP\r\n%1\r\nEMP\r\n%2")
                .arg(Cell(2, kStartMixPoint), Cell(2, kEndMixPoint)));
}

// An MP3 song without an ID3v2 tag keeps its tempo in its ID3v1 comment,
// whose 30 characters (28 beside a track number) must hold the whole marker
// block: a comment without room for it is left as it was, and the run names
// the song with the reason.
TEST_F(AnalysisTest, AnId3v1CommentTakesTheTempoOnlyWhole) {
  // plain.mp3 (no tag) with an ID3v1 tag holding `comment` and `track`.
  auto songWithComment = [&](const std::string& name, const QByteArray& comment, int track) {
    const QString path = Song("playlists/plain.mp3", name);
    QByteArray tag("TAG");
    tag += QByteArray("Title").leftJustified(30, '\0');
    tag += QByteArray("Artist").leftJustified(30, '\0');
    tag += QByteArray("Album").leftJustified(30, '\0');
    tag += QByteArray("1999");
    if (track != 0) {
      tag += comment.leftJustified(28, '\0', true) + '\0' + static_cast<char>(track);
    } else {
      tag += comment.leftJustified(30, '\0', true);
    }
    tag += static_cast<char>(255);
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::Append));
    f.write(tag);
    return path;
  };
  const QString value = QStringLiteral("128.4");  // the block is CR LF "BPM" CR LF and the value: 12 characters
  struct Case {
    QByteArray comment;
    int track;
    bool whole;
  } cases[] = {
      {"", 0, true},
      {"eighteen character", 0, true},     // 18 + 12 = 30
      {"nineteen characters", 0, false},   // 31
      {"sixteen chars ok", 7, true},       // 16 + 12 = 28 beside a track
      {"seventeen chars!!", 7, false},     // 29
  };
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.comment.toStdString());
    const QString path = songWithComment("v1-" + std::to_string(n++) + ".mp3", c.comment, c.track);
    const Reading before = Read({path}).at(path);
    library::SongTagWriter tags = library::SongTagWriter::Create();
    QString why;
    EXPECT_EQ(tags.WriteTempoToTag(path, tags.Analyze(path), value, &why), c.whole);
    const Reading after = Read({path}).at(path);
    if (c.whole) {
      ExpectChanged(before, after, {{QStringLiteral("id3v1.comment"), QString::fromLatin1(c.comment) + kCrLf + "BPM" + kCrLf + value}});
    } else {
      EXPECT_EQ(why, djvp::ui::T(djvp::kStrNoRoomInId3v1Comment));
      ExpectChanged(before, after, {});
    }
  }

  // In a run: the song is named once at the end, its tempo is in the library.
  const QString full = songWithComment("full.mp3", "a comment that fills the field", 0);
  AddRow(full);
  const Reading before = Read({full}).at(full);
  SelectAll();
  Run(kCalculateBPM);
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_EQ(env.messages[0], djvp::ui::T(djvp::kStrTagsNotWritten) + QLatin1Char('\n') + full + QStringLiteral(": ") +
                                 djvp::ui::T(djvp::kStrNoRoomInId3v1Comment));
  ExpectChanged(before, Read({full}).at(full), {});
  EXPECT_EQ(IndexColumn(kBPM), QStringList{Cell(1, kBPM)});
}

TEST_F(AnalysisTest, OneRunAtATimeAndTheLibraryKeepsItsRows) {
  const QString a = Song("analysis/beat.mp3", "a.mp3"), b = Song("playlists/song.flac", "b.flac");
  AddRow(a);
  AddRow(b);
  const QString gainOfB = Cell(2, kGain);
  // Without a selection nothing happens, and the index is not written.
  Library().View()->clearSelection();
  form->cmdSearch[kCalculateBPM].click();
  EXPECT_FALSE(form->AnalysisRunning);
  EXPECT_FALSE(QFileInfo::exists(library::IndexPath()));

  SelectAll();
  form->cmdSearch[kCalculateBPM].click();
  ASSERT_TRUE(form->AnalysisRunning) << "the click returns while the run goes on";
  form->cmdSearch[kCalculateGain].click();
  form->cmdSearch[kCalculateMixPoints].click();
  library::DummyPlaylist_ColumnClick(*form, djvp::ui::kArtist);
  EXPECT_EQ(env.messages, std::vector<QString>(3, djvp::ui::T(djvp::kStrAnalysisBusy)));
  EXPECT_EQ(Library().TextAt(1, djvp::ui::kFilename), a) << "the rows stay where they are";
  WaitForTheRun();
  EXPECT_EQ(Cell(2, kGain), gainOfB) << "the refused gain run did not run";

  // Afterwards the next run goes.
  env.messages.clear();
  Select({2});
  Run(kCalculateMixPoints);
  EXPECT_TRUE(env.messages.empty());
  EXPECT_TRUE(Cell(2, kStartMixPoint).endsWith(QStringLiteral(" sec")));
}

// "Calculate the BPM" on a full disk (here a file size limit that leaves no
// room for a new index), with an index below and one above the 16 KB that a
// buffered writer holds back: the save says why, the index stays as it was,
// and the next start finds the library.
TEST_F(AnalysisTest, AFullDiskDuringTheBpmRunKeepsTheLibraryForTheNextStart) {
  const QString song = Song("analysis/beat.mp3", "beat.mp3");
  for (const int extra : {3, 300}) {
    SCOPED_TRACE(extra);
    Library().DeleteAllRows();
    AddRow(song);
    for (int i = 0; i < extra; ++i) AddMissingRow(QStringLiteral("/music/collection/artist %1/a song with a long name %1.mp3").arg(i));
    ASSERT_TRUE(library::SaveLibraryIndex(*form));
    const auto before = TempDir::Read(library::IndexPath().toStdString());
    EXPECT_EQ(before.size() > 16384, extra > 100) << before.size();
    env.messages.clear();
    Select({1});
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit none = old;
    none.rlim_cur = 0;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &none), 0);
    Run(kCalculateBPM);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, handler);

    EXPECT_NE(Cell(1, kBPM), QString());  // measured, in the library
    ASSERT_FALSE(env.messages.empty());
    EXPECT_TRUE(env.messages[0].startsWith(djvp::ui::T(djvp::kStrIndexNotSaved))) << env.messages[0].toStdString();
    EXPECT_TRUE(env.messages[0].contains(QString::fromLocal8Bit(std::strerror(EFBIG)))) << env.messages[0].toStdString();
    EXPECT_EQ(TempDir::Read(library::IndexPath().toStdString()), before);

    // The next start: the library as it was last saved.
    form.reset();
    form = env.Open(true);
    library::LoadLibraryIndex(*form);
    EXPECT_EQ(Library().RowCount(), 1 + extra);
    EXPECT_EQ(Library().TextAt(1, djvp::ui::kFilename), song);
  }
}

TEST_F(AnalysisTest, AFifoNamedLikeASongAndAHiResSongNeitherHangNorStopTheRun) {
  const QString fifo = QString::fromStdString(dir.file("pipe.mp3"));
  ASSERT_EQ(mkfifo(fifo.toUtf8().constData(), 0600), 0);
  const QString hires = Song("unusual/hires384.flac", "hires.flac");
  const QString good = Song("playlists/tagged.mp3", "good.mp3");
  AddMissingRow(fifo);
  AddRow(hires);
  AddRow(good);
  const QString why =
      djvp::ui::T(djvp::kStrCantCreateStream) + ": " + djvp::ui::T(djvp::kStrNotRegularFile) + ":\n" + fifo;
  struct Pass {
    int command;
    std::vector<int> columns;
  } const passes[] = {{kCalculateBPM, {kBPM}}, {kCalculateMixPoints, {kStartMixPoint, kEndMixPoint}}};
  for (const Pass& pass : passes) {
    SCOPED_TRACE(pass.command);
    env.messages.clear();
    SelectAll();
    Run(pass.command);
    // The FIFO is told by name and why, once at the end of the run; the
    // others are measured.
    EXPECT_EQ(env.messages, std::vector<QString>{why});
    for (int column : pass.columns) {
      EXPECT_EQ(Cell(1, column), QStringLiteral("0"));
      EXPECT_FALSE(Cell(2, column).isEmpty());
      EXPECT_NE(Cell(2, column), QStringLiteral("0"));
      EXPECT_NE(Cell(3, column), QStringLiteral("0"));
    }
  }
  EXPECT_EQ(Cell(2, kStartMixPoint), QStringLiteral("00.00 sec"));
  EXPECT_EQ(Cell(2, kEndMixPoint), QStringLiteral("00.06 sec")) << "the last loud sample of the 0.06 s tone";
}
