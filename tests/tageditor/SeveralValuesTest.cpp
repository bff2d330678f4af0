// A field of several values (two ARTIST entries of a Vorbis comment, a
// TPE1 frame of two names): the editor's box shows them readable and
// typeable, a save writes what the user typed back as several values and
// leaves untouched fields as they were, and the library row and the index
// show them as track rows do, never with U+0000.
#include "TagEditorTestEnv.h"

#include "tageditor/TextRules.h"

using tageditor::TagEditorState;

namespace {

// The box form both ways: what the tag library gives (U+0000 between
// values), what the box shows, and what the box reads back as.
TEST(SeveralValues, TheBoxFormReadsBackAsTheSameValues) {
  const QChar z(0);
  struct Case {
    QString tag, box;
  };
  const Case cases[] = {
      {QStringLiteral("Anna Alpha") + z + QStringLiteral("Bert Beta"), QStringLiteral("Anna Alpha; Bert Beta")},
      {QStringLiteral("One value"), QStringLiteral("One value")},
      {QStringLiteral("AC\\DC"), QStringLiteral("AC\\DC")},  // one value without ";" shows as it is
      {QStringLiteral("Rock;Pop"), QStringLiteral("Rock\\;Pop")},
      {QStringLiteral("AC\\DC") + z + QStringLiteral("a;b"), QStringLiteral("AC\\\\DC; a\\;b")},
      {QStringLiteral("ends\\") + z + QStringLiteral("x"), QStringLiteral("ends\\\\; x")},
      {z + QStringLiteral("a") + z + z + QStringLiteral("b") + z, QStringLiteral("a; b")},  // empty values count for nothing
      {QString(), QString()},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.box.toStdString());
    EXPECT_EQ(tageditor::ValuesForBox(c.tag), c.box);
    QStringList values = c.tag.split(z);
    values.removeAll(QString());
    EXPECT_EQ(tageditor::ValuesFromBox(c.box), values);
    EXPECT_EQ(tageditor::ValuesForTag(c.box), values.join(z));
    EXPECT_FALSE(tageditor::ValuesForRow(c.box).contains(z));
  }
  // What a user types: blanks after a separator belong to it, others stay;
  // a "\" before anything but ";" or "\" is a plain backslash.
  const std::pair<QString, QStringList> typed[] = {
      {QStringLiteral("a;b"), {QStringLiteral("a"), QStringLiteral("b")}},
      {QStringLiteral("a ;  b"), {QStringLiteral("a "), QStringLiteral(" b")}},
      {QStringLiteral("C:\\x; y"), {QStringLiteral("C:\\x"), QStringLiteral("y")}},
      {QStringLiteral("a; ; b;"), {QStringLiteral("a"), QStringLiteral("b")}},
      {QStringLiteral(";"), {}},
  };
  for (const auto& [box, values] : typed) EXPECT_EQ(tageditor::ValuesFromBox(box), values) << box.toStdString();
}

// Tags the song with mutagen: the named fields with the given values.
void TagValues(const QString& path, const std::string& assignments) {
  int status = 0;
  const std::string out = RunCommand("/usr/bin/python3 -c '\nimport sys, mutagen\nfrom mutagen.id3 import TPE1, TCON\n"
                                     "f = mutagen.File(sys.argv[1])\n" +
                                         assignments + "\nf.save()\n' '" + path.toStdString() + "' 2>&1",
                                     &status);
  ASSERT_EQ(status, 0) << out;
}

QStringList Values(const QJsonObject& dump, const char* key) {
  QStringList out;
  for (const QJsonValue& v : dump["frames"].toObject()[QLatin1String(key)].toArray()) out << v.toString();
  return out;
}

}  // namespace

TEST_F(TagEditorTest, SeveralValuesShowReadableAndSaveBackAsSeveralValues) {
  struct Kind {
    const char* song;
    std::string tagging;  // two artists and two genres
    const char *artistKey, *genreKey;
    bool id3v2;
  };
  const Kind kinds[] = {
      {"flac.flac", "f[\"ARTIST\"] = [\"Anna Alpha\", \"Bert Beta\"]\nf[\"GENRE\"] = [\"Jazz\", \"Swing\"]", "ARTIST",
       "GENRE", false},
      {"ogg.ogg", "f[\"ARTIST\"] = [\"Anna Alpha\", \"Bert Beta\"]\nf[\"GENRE\"] = [\"Jazz\", \"Swing\"]", "ARTIST",
       "GENRE", false},
      {"v24.mp3",
       "f.tags.add(TPE1(encoding=3, text=[\"Anna Alpha\", \"Bert Beta\"]))\nf.tags.add(TCON(encoding=3, text=[\"Jazz\", "
       "\"Swing\"]))",
       "TPE1", "TCON", true},
  };
  for (const Kind& k : kinds) {
    SCOPED_TRACE(k.song);
    const QString path = Song(k.song);
    TagValues(path, k.tagging);
    const int32_t row = AddLibraryRow(path);
    ASSERT_TRUE(OpenEditor([&](TagEditorState& ed) {
      djvp::ui::TextBox& artist = k.id3v2 ? ed.txtArtist : ed.Text[4];
      djvp::ui::TextBox& genre = k.id3v2 ? ed.txtGenre : ed.Text[17];
      EXPECT_EQ(artist.text(), "Anna Alpha; Bert Beta");
      EXPECT_EQ(genre.text(), "Jazz; Swing");
      artist.setText(QStringLiteral("Anna Alpha; Bert Beta; Carl Gamma"));
      ed.SSCommand[tageditor::kSaveTag].click();
      EXPECT_TRUE(closed);
    }));
    const QJsonObject after = Mutagen(path);
    // mutagen gives the values of an ID3v2 frame with U+0000 between them,
    // those of a Vorbis comment as its entries.
    const QStringList artists = k.id3v2 ? Field(after, k.artistKey).split(QLatin1Char('\0')) : Values(after, k.artistKey);
    EXPECT_EQ(artists, (QStringList{"Anna Alpha", "Bert Beta", "Carl Gamma"}));
    const QStringList genres = k.id3v2 ? Field(after, k.genreKey).split(QLatin1Char('\0')) : Values(after, k.genreKey);
    EXPECT_EQ(genres, (QStringList{"Jazz", "Swing"})) << "the genre was not touched";
    EXPECT_EQ(Row(row)[djvp::ui::kArtist - 1], "Anna Alpha; Bert Beta; Carl Gamma");
    EXPECT_EQ(Row(row)[djvp::ui::kGenre - 1], "Jazz; Swing");
    for (const QStringList& indexRow : IndexRows())
      for (const QString& cell : indexRow) EXPECT_FALSE(cell.contains(QChar(0))) << cell.toStdString();
  }
}
