// "Save this Tag": the changed boxes reach the file as mutagen then reads
// it, while every other frame, field and attribute and the decoded audio
// stay as they were; the library rows of the file and the index take the new
// texts; text beyond the single-byte code page is kept wherever the tag can
// hold it.
#include "TagEditorTestEnv.h"

#include "resources/StringIds.h"
#include "ui/Text.h"

using tageditor::TagEditorState;

namespace {

// The ID3v1 tag's genre byte.
int V1Genre(const QJsonObject& dump) {
  const QByteArray v1 = QByteArray::fromHex(dump["v1"].toString().toLatin1());
  return v1.size() == 128 ? static_cast<uint8_t>(v1[127]) : -1;
}
QByteArray V1Field(const QJsonObject& dump, int offset, int length) {
  const QByteArray v1 = QByteArray::fromHex(dump["v1"].toString().toLatin1());
  QByteArray field = v1.mid(offset, length);
  const qsizetype zero = field.indexOf('\0');
  return zero < 0 ? field : field.left(zero);
}

}  // namespace

TEST_F(TagEditorTest, AnId3v2SaveWritesTheChangedFramesAndLeavesEveryOtherFrameAndTheAudio) {
  for (const char* kind : {"v23.mp3", "v24.mp3"}) {
    SCOPED_TRACE(kind);
    const bool v23 = std::string(kind) == "v23.mp3";
    const QString path = Song(kind);
    const QJsonObject before = Mutagen(path);
    const std::string audio = AudioMd5(path);
    const int32_t row = AddLibraryRow(path);
    const QStringList cells = Row(row);
    env.messages.clear();
    ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
      ed.txtArtist.setText(QStringLiteral("Аркадий Северный"));
      ed.txtTitle.setText(QStringLiteral("東京の夜 🎷"));
      ed.txtAlbum.setText(QStringLiteral("Ноктюрны"));
      (v23 ? ed.txtYear : ed.txtRecordingTime).setText(QStringLiteral("1965"));
      ed.txtGenre.setText(QStringLiteral("Chanson"));
      ed.txtBPM.setText(QStringLiteral("126"));
      ed.txtComposer.setText(QString());  // the frame goes
      ed.txtFileOwner.setText(QStringLiteral("Owner ✓"));
      ed.txtArtistURL.setText(QStringLiteral("https://example.com/Ä/Ωμέγα"));
      ed.SSCommand[tageditor::kSaveTag].click();
      EXPECT_TRUE(closed);
    }));
    EXPECT_TRUE(env.messages.empty());

    const QJsonObject after = Mutagen(path);
    EXPECT_EQ(Field(after, "TPE1"), "Аркадий Северный");
    EXPECT_EQ(Field(after, "TIT2"), "東京の夜 🎷");
    EXPECT_EQ(Field(after, "TALB"), "Ноктюрны");
    EXPECT_EQ(Field(after, v23 ? "TYER" : "TDRC"), "1965");
    EXPECT_EQ(Field(after, "TCON"), "Chanson");
    EXPECT_EQ(Field(after, "TBPM"), "126");
    EXPECT_EQ(Field(after, "TOWN"), "Owner ✓");
    EXPECT_FALSE(after["frames"].toObject().contains("TCOM"));
    // A URL frame holds single bytes: the address is written percent-encoded.
    EXPECT_EQ(Field(after, "WOAR"), "https://example.com/\u00c4/%CE%A9%CE%BC%CE%AD%CE%B3%CE%B1");
    const QStringList changed{"TPE1", "TIT2", "TALB", v23 ? "TYER" : "TDRC", "TCON", "TBPM", "TCOM", "TOWN", "WOAR"};
    EXPECT_EQ(Without(after, changed), Without(before, changed));
    EXPECT_EQ(after["version"], before["version"]);
    EXPECT_EQ(AudioMd5(path), audio);

    // The library row takes the six texts; the index is written with it.
    QStringList expected = cells;
    expected[djvp::ui::kArtist - 1] = QStringLiteral("Аркадий Северный");
    expected[djvp::ui::kTitle - 1] = QStringLiteral("東京の夜 🎷");
    expected[djvp::ui::kAlbum - 1] = QStringLiteral("Ноктюрны");
    expected[djvp::ui::kYear - 1] = v23 ? QStringLiteral("1965") : QString();
    expected[djvp::ui::kGenre - 1] = QStringLiteral("Chanson");
    expected[djvp::ui::kBPM - 1] = QStringLiteral("126");
    EXPECT_EQ(Row(row), expected);
    const std::vector<QStringList> index = IndexRows();
    ASSERT_EQ(index.size(), static_cast<size_t>(row));
    EXPECT_EQ(index.back(), expected);
  }
}

TEST_F(TagEditorTest, EveryLibraryRowOfTheFileTakesTheNewTextsAndOtherSongsKeepTheirs) {
  const QString path = Song("v23.mp3");
  const QString other = Song("flac.flac");
  AddLibraryRow(path, {"a", "b"});
  AddLibraryRow(other, {"c", "d"});
  const int32_t row = AddLibraryRow(path, {"e", "f"});
  ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
    EXPECT_EQ(ed.LibraryRow, row);
    ed.txtArtist.setText(QStringLiteral("Someone"));
    ed.SSCommand[tageditor::kSaveTag].click();
  }));
  EXPECT_EQ(Row(1)[0], "Someone");
  EXPECT_EQ(Row(2)[0], "c");
  EXPECT_EQ(Row(3)[0], "Someone");
}

TEST_F(TagEditorTest, AnId3v1SaveKeepsTheSingleByteRuleAndCreatesNoId3v2Tag) {
  const QString path = Song("v1.mp3");
  const std::string audio = AudioMd5(path);
  const int32_t row = AddLibraryRow(path);
  const QString bpmCell = Row(row)[djvp::ui::kBPM - 1];
  const QString longTitle = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ12345");  // 31 characters
  ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
    ed.Text[3].setText(QStringLiteral("Ärzte Ω"));
    ed.Text[7].setText(longTitle);
    ed.Text[11].setText(QStringLiteral("9"));
    ed.SSCommand[tageditor::kSaveTag].click();
    EXPECT_TRUE(closed);
  }));
  const QJsonObject after = Mutagen(path);
  EXPECT_NE(after["start"].toString(), "494433");  // no ID3v2 tag
  EXPECT_EQ(V1Field(after, 33, 30), QByteArray("\xc4rzte ?"));  // Windows-1252, '?' for what it lacks
  EXPECT_EQ(V1Field(after, 3, 30), longTitle.left(30).toLatin1());
  EXPECT_EQ(static_cast<int>(QByteArray::fromHex(after["v1"].toString().toLatin1())[126]), 9);
  EXPECT_EQ(V1Field(after, 63, 30), QByteArray("Le Jardin"));
  EXPECT_EQ(V1Genre(after), 13);
  EXPECT_EQ(AudioMd5(path), audio);
  // The row shows what was typed; its BPM cell stays (an ID3v1 tag has no
  // tempo field).
  EXPECT_EQ(Row(row)[djvp::ui::kTitle - 1], longTitle);
  EXPECT_EQ(Row(row)[djvp::ui::kBPM - 1], bpmCell);
}

TEST_F(TagEditorTest, AnUntaggedMp3GetsAnId3v1TagOnlyWhenABoxChanged) {
  const QString path = Song("none.mp3");
  const auto bytes = Bytes(path);
  AddLibraryRow(path);
  ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) { ed.SSCommand[tageditor::kSaveTag].click(); }));
  EXPECT_EQ(Bytes(path), bytes);

  ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
    ed.Text[7].setText(QStringLiteral("A Title"));
    ed.SSCommand[tageditor::kSaveTag].click();
  }));
  const auto now = Bytes(path);
  ASSERT_EQ(now.size(), bytes.size() + 128);
  EXPECT_TRUE(std::equal(bytes.begin(), bytes.end(), now.begin()));
  const QJsonObject after = Mutagen(path);
  EXPECT_EQ(V1Field(after, 3, 30), QByteArray("A Title"));
  EXPECT_EQ(V1Genre(after), 255);
}

TEST_F(TagEditorTest, TheId3v1GenreFollowsANewNameUnlessANumberWasTypedToo) {
  struct Case {
    const char* name;    // nullptr: left as loaded ("Pop", 13)
    const char* number;  // nullptr: left as loaded
    int genre;
    bool told;
  };
  const Case cases[] = {
      {"Rock", nullptr, 17, false}, {nullptr, "80", 80, false},     {"Rock", "80", 80, false},
      {"Rock", "", 17, false},      {"Nonsense", nullptr, 255, false}, {nullptr, "abc", 13, true},
      {"rock", nullptr, 17, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.name ? c.name : "-") + " / " + (c.number ? c.number : "-"));
    const QString path = Song("v1.mp3");
    const int32_t row = AddLibraryRow(path);
    env.messages.clear();
    ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
      if (c.name) ed.Text[9].setText(QString::fromUtf8(c.name));
      if (c.number) ed.Text[10].setText(QString::fromUtf8(c.number));
      ed.SSCommand[tageditor::kSaveTag].click();
    }));
    EXPECT_EQ(V1Genre(Mutagen(path)), c.genre);
    EXPECT_EQ(env.messages.size(), c.told ? 1u : 0u);
    EXPECT_EQ(Row(row)[djvp::ui::kGenre - 1], c.name ? QString::fromUtf8(c.name) : QStringLiteral("Pop"));
  }
}

TEST_F(TagEditorTest, AVorbisCommentSaveKeepsUnlistedFieldsPicturesLineEndsAndAudio) {
  for (const char* kind : {"flac.flac", "ogg.ogg"}) {
    SCOPED_TRACE(kind);
    const QString path = Song(kind);
    const QJsonObject before = Mutagen(path);
    const std::string audio = AudioMd5(path);
    const int32_t row = AddLibraryRow(path);
    const QString bpmCell = Row(row)[djvp::ui::kBPM - 1];
    ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
      ed.Text[4].setText(QStringLiteral("Новый исполнитель 🎵"));
      ed.Text[16].setText(QStringLiteral("2024"));
      ed.Text[15].setText(QStringLiteral("中文标题"));
      // The window hands back a box of several lines with bare line feeds.
      ed.Text[25].setText(QStringLiteral("BPM\n97.0\nPEA\n91.0"));
      ed.SSCommand[tageditor::kSaveTag].click();
      EXPECT_TRUE(closed);
    }));
    const QJsonObject after = Mutagen(path);
    EXPECT_EQ(Field(after, "ARTIST"), "Новый исполнитель 🎵");
    EXPECT_EQ(Field(after, "DATE"), "2024");
    EXPECT_EQ(Field(after, "TITLE"), "中文标题");
    EXPECT_EQ(Field(after, "COMMENT"), "BPM\r\n97.0\r\nPEA\r\n91.0");
    const QStringList changed{"ARTIST", "DATE", "TITLE", "COMMENT"};
    EXPECT_EQ(Without(after, changed), Without(before, changed));
    EXPECT_EQ(AudioMd5(path), audio);
    EXPECT_EQ(Row(row)[djvp::ui::kYear - 1], "2024");
    EXPECT_EQ(Row(row)[djvp::ui::kBPM - 1], bpmCell);
  }
}

TEST_F(TagEditorTest, AWmaSaveKeepsTheAttributesBeyondItsPagesAndTheAudio) {
  const QString path = Song("wma.wma");
  const QJsonObject before = Mutagen(path);
  const std::string audio = AudioMd5(path);
  const int32_t row = AddLibraryRow(path);
  ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
    ed.Text[28].setText(QStringLiteral("Аркадий 🎻"));
    ed.Text[27].setText(QStringLiteral("101"));
    ed.Text[61].setText(QStringLiteral("BPM\n101\nPEA\n91.0"));
    ed.Text[54].setText(QStringLiteral("制作人"));
    ed.SSCommand[tageditor::kSaveTag].click();
    EXPECT_TRUE(closed);
  }));
  const QJsonObject after = Mutagen(path);
  EXPECT_EQ(Field(after, "Author"), "Аркадий 🎻");
  EXPECT_EQ(Field(after, "WM/BeatsPerMinute"), "101");
  EXPECT_EQ(Field(after, "Description"), "BPM\r\n101\r\nPEA\r\n91.0");
  EXPECT_EQ(Field(after, "WM/Producer"), "制作人");
  // The tag library writes the artist, title, comment and track number
  // under their "WM/" names too.
  EXPECT_EQ(Field(after, "WM/Author"), "Аркадий 🎻");
  EXPECT_EQ(Field(after, "WM/Description"), "BPM\r\n101\r\nPEA\r\n91.0");
  EXPECT_EQ(Field(after, "WM/Title"), Field(before, "Title"));
  EXPECT_EQ(Field(after, "WM/Track"), "1");
  const QStringList changed{"Author", "WM/BeatsPerMinute", "Description", "WM/Producer", "WM/Author",
                            "WM/Description", "WM/Title", "WM/Track"};
  EXPECT_EQ(Without(after, changed), Without(before, changed));
  EXPECT_EQ(AudioMd5(path), audio);
  EXPECT_EQ(Row(row)[djvp::ui::kBPM - 1], "101");
  EXPECT_EQ(Row(row)[djvp::ui::kArtist - 1], "Аркадий 🎻");
}

TEST_F(TagEditorTest, ASaveWithoutChangesWritesNothingButTheRowAndTheIndex) {
  for (const char* kind : {"v23.mp3", "flac.flac", "wma.wma"}) {
    SCOPED_TRACE(kind);
    const QString path = Song(kind);
    const auto bytes = Bytes(path);
    const int32_t row = AddLibraryRow(path);
    QString artist;
    ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
      artist = ed.FileFormat == tageditor::kMpeg ? ed.txtArtist.text()
               : ed.FileFormat == tageditor::kWma ? ed.Text[28].text()
                                                  : ed.Text[4].text();
      ed.SSCommand[tageditor::kSaveTag].click();
      EXPECT_TRUE(closed);
    }));
    EXPECT_EQ(Bytes(path), bytes);
    EXPECT_EQ(Row(row)[djvp::ui::kArtist - 1], artist);
    EXPECT_EQ(IndexRows().back(), Row(row));
  }
  // A song of a format without pages: nothing is saved, the row stays.
  const QString wav = Song("wav.wav");
  const int32_t row = AddLibraryRow(wav);
  const QStringList cells = Row(row);
  ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
    ed.SSCommand[tageditor::kSaveTag].click();
    EXPECT_TRUE(closed);
  }));
  EXPECT_EQ(Row(row), cells);
}

TEST_F(TagEditorTest, FieldsAVersion22TagCannotHoldAreNamedAndTheRestIsSaved) {
  const QString path = QString::fromStdString(work.file("v22.mp3"));
  fs::copy_file(DJVP_TEST_FIXTURES "/id3v2/v22.mp3", path.toStdString());
  AddLibraryRow(path);
  ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
    EXPECT_EQ(ed.txtFileOwner.text(), "");
    ed.txtFileOwner.setText(QStringLiteral("Me"));
    ed.txtPaymentURL.setText(QStringLiteral("http://pay.example.com/"));
    ed.txtArtist.setText(QStringLiteral("New Artist"));
    ed.SSCommand[tageditor::kSaveTag].click();
    EXPECT_TRUE(closed);
  }));
  ASSERT_EQ(env.messages.size(), 1u);
  const QString& told = env.messages[0];
  EXPECT_TRUE(told.startsWith(djvp::ui::T(djvp::kStrFieldsNotStored))) << told.toStdString();
  EXPECT_TRUE(told.contains(QStringLiteral("File owner: Unsupported Frame!"))) << told.toStdString();
  EXPECT_TRUE(told.contains(QStringLiteral("Payment URL: Unsupported Frame!"))) << told.toStdString();
  const QJsonObject after = Mutagen(path);
  EXPECT_EQ(after["version"], "2.2");
  EXPECT_EQ(Field(after, "TPE1"), "New Artist");  // mutagen names version 2.2 frames as later versions do
}

TEST_F(TagEditorTest, CancelAfterTypingWritesNothing) {
  const QString path = Song("v23.mp3");
  const auto bytes = Bytes(path);
  const int32_t row = AddLibraryRow(path);
  const QStringList cells = Row(row);
  ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
    ed.txtArtist.setText(QStringLiteral("Typed"));
    ed.SSCommand[tageditor::kCancel].click();
    EXPECT_TRUE(closed);
  }));
  EXPECT_EQ(Bytes(path), bytes);
  EXPECT_EQ(Row(row), cells);
  EXPECT_FALSE(QFile::exists(library::IndexPath()));
}
