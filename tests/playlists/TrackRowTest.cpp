// Track rows read from real files through the tag library, and the texts
// that the cells hold.
#include "PlaylistTestEnv.h"

#include "audio/AnalysisHost.h"
#include "playlists/TrackRow.h"

#include <QLocale>

#include <cstdlib>

using namespace playlists;

TEST(TrackRowText, PlayingTimeRoundsHalfToEvenSecond) {
  const struct {
    double seconds;
    const char* text;
  } cases[] = {{0, "00:00"},        {0.5, "00:00"},     {1.5, "00:02"},    {58.5, "00:58"}, {59.5, "01:00"},
               {89.4, "01:29"},     {6000, "100:00"},   {-3, "00:00"},     {3599.6, "60:00"}};
  for (const auto& c : cases) EXPECT_EQ(TimeText(c.seconds), QLatin1String(c.text)) << c.seconds;
}

TEST(TrackRowText, NumbersWriteADotAndReadDotOrCommaWhateverTheLocale) {
  const QLocale before;
  QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
  EXPECT_EQ(FormatNumber(0, 3, 1), QLatin1String("000.0"));
  EXPECT_EQ(FormatNumber(128, 3, 1), QLatin1String("128.0"));
  EXPECT_EQ(FormatNumber(1234.5, 3, 1), QLatin1String("1234.5"));
  EXPECT_EQ(FormatNumber(5.2, 2, 2), QLatin1String("05.20"));
  EXPECT_EQ(FormatNumber(-1.5, 2, 2), QLatin1String("-01.50"));
  EXPECT_EQ(ParseNumber(QStringLiteral("05,20")), 5.2);
  EXPECT_EQ(ParseNumber(QStringLiteral("05.20")), 5.2);
  EXPECT_EQ(ParseNumber(QStringLiteral(" 128 ")), 128.0);
  EXPECT_FALSE(ParseNumber(QString()));
  EXPECT_FALSE(ParseNumber(QStringLiteral("fast")));
  EXPECT_FALSE(ParseNumber(QStringLiteral("1,234.5")));
  EXPECT_EQ(MixPointSeconds(QStringLiteral("05.20 sec")), 5.2);
  EXPECT_EQ(MixPointSeconds(QStringLiteral("12,50 sec")), 12.5);
  EXPECT_FALSE(MixPointSeconds(QStringLiteral(" sec")));
  EXPECT_FALSE(MixPointSeconds(QString()));
  QLocale::setDefault(before);
}

TEST(TrackRowText, MarkerLines) {
  const struct {
    const char* comment;
    const char* marker;
    std::optional<QString> value;
  } cases[] = {
      {"BPM\r\n128.0\r\nPEA\r\n95.3", "BPM", QStringLiteral("128.0")},
      {"BPM\r\n128.0\r\nPEA\r\n95.3", "PEA", QStringLiteral("95.3")},
      {"BPM\r\n128.0\r\nPEA\r\n95.3", "SMP", std::nullopt},
      {"text\nPEA\n90.1\nPEA\n80.0\n", "PEA", QStringLiteral("90.1")},  // LF only; the first wins
      {"PEA\r91.0", "PEA", QStringLiteral("91.0")},                     // CR only
      {"pea\r\n95.3", "PEA", std::nullopt},                             // case counts
      {" PEA\r\n95.3", "PEA", std::nullopt},                            // the marker alone on its line
      {"PEA \r\n95.3", "PEA", std::nullopt},
      {"x\r\nPEA", "PEA", std::nullopt},                                // the last line yields nothing
      {"x\r\nPEA\r\n", "PEA", std::nullopt},
      {"PEA\r\n\r\n95.3", "PEA", QString()},                            // an empty value line is the value
      {"", "PEA", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MarkerValue(QString::fromUtf8(c.comment), QLatin1String(c.marker)), c.value)
        << c.comment << " / " << c.marker;
}

TEST_F(PlaylistTest, RowsFromEveryFormatCarryTagsAndStoredAnalysisValues) {
  const QString dir = QStringLiteral(DJVP_TEST_FIXTURES "/playlists/");
  const struct {
    const char* file;
    const char* row;  // columns 1..13 joined by "|", <dir> for the fixture folder
  } cases[] = {
      // ID3v2: tempo frame and the comments of languages PEA, SMP, EMP (a
      // lower-case "pea" and an "eng" comment do not count).
      {"tagged.mp3",
       "Tagged Artist|Tagged Title|00:01|<dir>tagged.mp3|128|House|Tagged Album|1999|32|22050|95.3|05.20 sec|10.50 sec"},
      // ID3v1 only: its comment's marker lines are not read; the year is.
      {"v1only.mp3", "V1 Artist|V1 Title|00:01|<dir>v1only.mp3||Pop|V1 Album|2004|32|22050|||"},
      // No tag: empty texts, but time, bit rate and sample rate.
      {"plain.mp3", "||00:03|<dir>plain.mp3|||||32|22050|||"},
      // FLAC: DATE as the year, marker lines for tempo and gain.
      {"song.flac",
       "Flac Artist|Flac Title|00:01|<dir>song.flac|128.0|Trance|Flac Album|2010-05-01|180|44100|95.3||"},
      // Ogg: non-Latin text survives; a "BPM" marker on the last line yields nothing.
      {"song.ogg",
       "Дмитрий Шостакович|Вальс № 2|00:01|<dir>song.ogg||||1938|50|44100||02.00 sec|08.25 sec"},
      // WMA: the tempo attribute, not the "BPM" marker line of its comment.
      {"song.wma", "Wma Artist|Wma Title|00:01|<dir>song.wma|122||Wma Album|2007|32|44100|89.5||07.00 sec"},
      // Another format: no stored values and no year.
      {"song.wav", "||00:01|<dir>song.wav|||||128|8000|||"},
  };
  for (const auto& c : cases) {
    const int32_t before = Deck(0).RowCount();
    AddTrackRow(*form, dir + QLatin1String(c.file), Deck(0));
    ASSERT_EQ(Deck(0).RowCount(), before + 1) << c.file;
    EXPECT_EQ(djvp::AnalysisRow, before + 1);
    EXPECT_EQ(RowText(0, before + 1), QString::fromUtf8(c.row).replace(QStringLiteral("<dir>"), dir)) << c.file;
    // Bit rate and sample rate are numbers, the rest text.
    EXPECT_EQ(Deck(0).CellValue(before + 1, kBitrate).typeId(), QMetaType::Int);
    EXPECT_EQ(Deck(0).CellValue(before + 1, kFreq).typeId(), QMetaType::Int);
    EXPECT_EQ(Deck(0).CellValue(before + 1, kTime).typeId(), QMetaType::QString);
  }
  EXPECT_TRUE(env.messages.empty());
  // The progress label shows the last file.
  EXPECT_EQ(form->SCLabel1[144].text(), dir + QStringLiteral("song.wav"));
}

// A field of several values (two ARTIST entries, two GENRE entries) shows
// them all in its cell, apart.
TEST_F(PlaylistTest, FieldsOfSeveralValuesShowEveryValue) {
  const auto path = work.path() / "multi.flac";
  Copy("song.flac", path);
  ASSERT_EQ(std::system(("metaflac --remove-tag=ARTIST --remove-tag=GENRE --set-tag=ARTIST=One --set-tag=ARTIST=Two "
                         "--set-tag=GENRE=House --set-tag=GENRE=Techno '" + path.string() + "'").c_str()),
            0);
  AddTrackRow(*form, QString::fromStdString(path.string()), Deck(0));
  ASSERT_EQ(Deck(0).RowCount(), 1);
  EXPECT_EQ(Deck(0).TextAt(1, kArtist), QStringLiteral("One; Two"));
  EXPECT_EQ(Deck(0).TextAt(1, kGenre), QStringLiteral("House; Techno"));
}

TEST_F(PlaylistTest, KaraokeSongsGiveTheirMp3AsAPlayableRow) {
  const auto base = work.path() / "Sing Along";
  Copy("karaoke.mp3", base.string() + ".mp3");
  Copy("karaoke.cdg", base.string() + ".cdg");
  const QString mp3 = QString::fromStdString(base.string() + ".mp3");
  // Chosen as the graphics file (any case of "cdg") or as the MP3 file itself.
  std::filesystem::rename(base.string() + ".cdg", base.string() + ".CdG");
  AddTrackRow(*form, QString::fromStdString(base.string() + ".CdG"), Deck(0));
  std::filesystem::rename(base.string() + ".CdG", base.string() + ".cdg");
  AddTrackRow(*form, mp3, Deck(0));
  ASSERT_EQ(Deck(0).RowCount(), 2);
  // The ".CdG" path named "Sing Along.mp3", whose graphics file "Sing
  // Along.cdg" did not exist under that name then: a normal row.
  EXPECT_EQ(RowText(0, 1), "Karaoke Artist|Karaoke Title|00:01|" + mp3 + "|99|Pop|Karaoke Album||32|22050|||");
  EXPECT_EQ(RowText(0, 2), "Karaoke Artist|Karaoke Title|00:01|" + mp3 + "||Pop|CDG||||||");
  // A graphics file without its MP3 file is no song.
  std::filesystem::remove(base.string() + ".mp3");
  AddTrackRow(*form, QString::fromStdString(base.string() + ".cdg"), Deck(0));
  EXPECT_EQ(Deck(0).RowCount(), 2);
  ASSERT_EQ(env.messages.size(), 1u);
  EXPECT_EQ(env.messages[0], "No such file or directory:\n" + mp3);
}

TEST_F(PlaylistTest, FilesWithoutTagInformationAreSkippedWithAMessage) {
  const std::string junk = work.file("notes.mp3");
  TempDir::Write(junk, std::string(4000, 'x'));
  form->PB.setValue(40);
  form->SCLabel1[144].setText(QStringLiteral("before"));
  // Outside an import each is told at once, with its file and the reason
  // of its kind.
  for (const std::string& path : {junk, work.file("missing.mp3"), work.path().string(), std::string()})
    AddTrackRow(*form, QString::fromStdString(path), Deck(1));
  EXPECT_EQ(Deck(1).RowCount(), 0);
  const auto q = [](const std::string& p) { return QString::fromStdString(p); };
  EXPECT_EQ(env.messages,
            (std::vector<QString>{"This file does not accept Tag information, it will be skipped:\n" + q(junk),
                                  "No such file or directory:\n" + q(work.file("missing.mp3")),
                                  "Is a directory:\n" + q(work.path().string()), "No such file or directory:\n\"\""}));
  EXPECT_EQ(form->PB.value(), 40);
  EXPECT_EQ(form->SCLabel1[144].text(), QStringLiteral("before"));
}

TEST_F(PlaylistTest, ProgressBarCountsOneToHundredAndStartsAgain) {
  const struct {
    int before, after;
  } steps[] = {{0, 1}, {98, 99}, {99, 100}, {100, 1}};
  for (const auto& s : steps) {
    form->PB.setValue(s.before);
    AddTrackRow(*form, Fixture("plain.mp3"), Deck(0));
    EXPECT_EQ(form->PB.value(), s.after) << s.before;
  }
}

TEST_F(PlaylistTest, DeckGridsShowArtistTitleTimeAndBpm) {
  static const char* const keys[13] = {"Artist", "Title", "Time",    "Filename", "BPM",           "Genre",      "Album",
                                       "Year",   "Bitrate", "Freq", "Gain",     "StartMixPoint", "EndMixPoint"};
  for (int d = 0; d < 3; ++d) {
    djvp::Grid& g = Deck(d);
    ASSERT_EQ(g.ColumnCount(), 13);
    EXPECT_EQ(g.RowCount(), 0);
    EXPECT_EQ(g.SearchColumn(), kArtist);
    EXPECT_TRUE(g.RowMode());
    for (int c = 1; c <= 13; ++c) {
      EXPECT_EQ(g.ColumnKey(c), QLatin1String(keys[c - 1]));
      EXPECT_EQ(g.ColumnVisible(c), c == kArtist || c == kTitle || c == kTime || c == kBPM) << c;
    }
  }
}
