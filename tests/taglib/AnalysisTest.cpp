// Format detection and file analysis: the size and signature checks, the
// extension rules, which tag supplies the generic strings, what detection
// leaves alone, and the generic save into an MP3 file's ID3v2 tag.
#include "Analysis.h"
#include "Id3v2TestSupport.h"
#include "Module.h"
#include "SonavexCtrl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <functional>

using namespace sonavex;
using namespace id3test;
using Bytes = std::vector<unsigned char>;

namespace {

bool Contains(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// A 128-byte ID3v1 tag with title and album.
std::string Id3v1(const std::string& title, const std::string& album) {
  std::string t = "TAG" + title;
  t.resize(33, '\0');
  t += std::string(30, '\0');  // artist
  t += album;
  t.resize(93, '\0');
  t += "1990";
  t.resize(127, '\0');
  t += char(255);
  return t;
}

}  // namespace

TEST(Analysis, ShortFilesAndSignatures) {
  TempDir dir;
  CSonavexCtrl c;
  const std::string path15 = dir.file("fifteen.mp3");
  TempDir::Write(path15, std::string(15, '\x11'));
  EXPECT_EQ(c.AUDIOAnalyzeFile(W(path15)), 0);
  EXPECT_EQ(c.m_strExtension, u"");
  EXPECT_EQ(c.AUDIOGetFileSize(), 15);
  const std::string path16 = dir.file("sixteen.mp3");
  TempDir::Write(path16, std::string(16, '\x11'));
  EXPECT_EQ(c.AUDIOAnalyzeFile(W(path16)), 0);
  EXPECT_EQ(c.m_strExtension, u".mp3");

  // Every listed signature stops the analysis before any tag is read, and the
  // detection too.
  const std::string signatures[] = {
      "\xFF\x4B\x45\x59", "\x89PNG", "\xD0\xCF\x11\xE0", "URL ", "!BDN", "\xCF\xAD\x12\xFE", "%PDF",
      std::string("II*\0", 4), "ITSF", "PK\3\4", "Rar!", std::string("?_\3\0", 4), "GIF8", "MSCF",
      "\xCA\xFE\xBA\xBE", "MZ", "BM", "\xFF\xD8"};
  const std::string afterwards = std::string("ID3\3\0\0\0\0\0\x0A", 10) + std::string(10, '\0') + std::string(40, 'x');
  for (const auto& sig : signatures) {
    SCOPED_TRACE(sig);
    const std::string path = dir.file("song.mp3");
    TempDir::Write(path, sig + afterwards);
    EXPECT_EQ(c.AUDIOAnalyzeFile(W(path)), 0);
    EXPECT_FALSE(c.ID3V2Exists());
    EXPECT_EQ(c.m_strExtension, u".mp3");
    EXPECT_EQ(c.DetectFileFormat(W(path)), 0);
  }
  // A file too short for a signature never matches it on bytes it lacks.
  for (const std::string& bytes : {std::string("M"), std::string("\xFF"), std::string("GIF")}) {
    const std::string path = dir.file("short.bin");
    TempDir::Write(path, bytes);
    TagFile f;
    ASSERT_TRUE(f.Open(path, TagFile::Mode::Read));
    EXPECT_FALSE(CFileSignatureCheck().IsNonAudio(f)) << bytes;
  }
  TempDir::Write(dir.file("mz.bin"), std::string("MZ"));
  TagFile f;
  ASSERT_TRUE(f.Open(dir.file("mz.bin"), TagFile::Mode::Read));
  EXPECT_TRUE(CFileSignatureCheck().IsNonAudio(f));
}

TEST(Analysis, ExtensionRules) {
  const struct {
    const char16_t* name;
    const char16_t* extension;
    bool mpeg, aac;
  } cases[] = {
      {u"/music/song.mp3", u".mp3", true, false}, {u"/music/song.MP2", u".MP2", true, false},
      {u"/music/song.Mp1", u".Mp1", true, false}, {u"/music/song.mp3~", u"mp3~", true, false},
      {u"/music/song.aac", u".aac", false, true}, {u"/music/song.mpeg", u"mpeg", false, false},
      {u"mp3", u"mp3", false, false},             {u"a.mp3.bak", u".bak", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(ExtensionOf(c.name), c.extension);
    EXPECT_EQ(IsMpegExtension(ExtensionOf(c.name)), c.mpeg) << U(c.name);
    EXPECT_EQ(IsAacExtension(ExtensionOf(c.name)), c.aac) << U(c.name);
  }
}

TEST(Analysis, MissingFileResetsAndReportsTheRuntimeError) {
  TempDir dir;
  CSonavexCtrl c;
  c.AUDIOAnalyzeFile(W(Fixture("v23_full.mp3")));
  ASSERT_EQ(c.GetAUDIOTitle(), u"Intro Title");
  EXPECT_EQ(c.AUDIOAnalyzeFile(W(dir.file("missing.mp3"))), 0);
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), ENOENT);
  EXPECT_EQ(c.AUDIOGetLastErrorText(), u"No such file or directory");
  EXPECT_EQ(c.GetAUDIOTitle(), u"");
  EXPECT_EQ(c.GetID3V2Title(), u"");
  EXPECT_FALSE(c.ID3V2Exists());
  EXPECT_EQ(c.AUDIOGetFileSize(), 0);
}

TEST(Analysis, Mp3WithId3v2SuppliesTheGenericStrings) {
  CSonavexCtrl c;
  EXPECT_EQ(c.AUDIOAnalyzeFile(W(Fixture("v23_full.mp3"))), kFormatMPEG);
  EXPECT_EQ(c.m_nFormat, kFormatMPEG);
  EXPECT_EQ(c.m_pFormat, static_cast<CAudioFormat*>(&c.m_MPEG));
  EXPECT_TRUE(c.ID3V2Exists());
  EXPECT_EQ(size_t(c.ID3V2GetSize()), TagSizeOf(TempDir::Read(Fixture("v23_full.mp3"))));
  EXPECT_EQ(c.ID3V2GetVersion(), u"2.3");
  EXPECT_EQ(c.GetAUDIOTitle(), u"Intro Title");
  EXPECT_EQ(c.GetAUDIOArtist(), u"Artist \u00c4\u00df\u20ac");
  EXPECT_EQ(c.GetAUDIOAlbum(), u"The Album");
  EXPECT_EQ(c.GetAUDIOComment(), u"12 \u00e9");  // comment number 1 in file order
  EXPECT_EQ(c.GetAUDIOGenre(), u"Dance");
  EXPECT_EQ(c.GetAUDIOTrack(), u"3/12");
  EXPECT_EQ(c.GetAUDIOYear(), u"2004");
  EXPECT_EQ(c.AUDIOGetFileSize(), int32_t(TempDir::Read(Fixture("v23_full.mp3")).size()));
  EXPECT_GT(c.AUDIOGetSampleRate(), 0);
  // Without a Lyrics3 block the analysis leaves 205 from its detection, or 0.
  EXPECT_TRUE(c.AUDIOGetLastErrorNumber() == 0 || c.AUDIOGetLastErrorNumber() == kErrTagMissing);
}

TEST(Analysis, TheFirstTagPresentSuppliesAllStrings) {
  TempDir dir;
  CSonavexCtrl c;
  // An ID3v2 tag with a title only, and an ID3v1 tag with title and album:
  // the album stays empty, there is no field-by-field fallback.
  const auto audio = TempDir::Read(Fixture("plain.mp3"));
  std::string frames = std::string("TIT2\0\0\0\6\0\0\0From2", 16);
  std::string tag = std::string("ID3\3\0\0\0\0\0", 9) + char(frames.size() + 20) + frames + std::string(20, '\0');
  const std::string path = dir.file("both.mp3");
  TempDir::Write(path, tag + std::string(audio.begin(), audio.end()) + Id3v1("From1", "Album1"));
  c.AUDIOAnalyzeFile(W(path));
  EXPECT_EQ(c.GetAUDIOTitle(), u"From2");
  EXPECT_EQ(c.GetAUDIOAlbum(), u"");
  EXPECT_EQ(c.GetAUDIOYear(), u"");

  // A tag without frames leaves the strings empty and no range error behind.
  const std::string empty = dir.file("empty.mp3");
  TempDir::Write(empty, std::string("ID3\3\0\0\0\0\0\x20", 10) + std::string(32, '\0') + std::string(audio.begin(), audio.end()));
  c.AUDIOAnalyzeFile(W(empty));
  EXPECT_TRUE(c.ID3V2Exists());
  EXPECT_EQ(c.GetAUDIOComment(), u"");
  EXPECT_NE(c.AUDIOGetLastErrorNumber(), kErrIdOutOfRange);
}

TEST(Analysis, MpegOnlyForItsExtensionsButTheTagIsKept) {
  TempDir dir;
  const std::string path = CopyFixture(dir, "v23_full.mp3", "song.bin");
  CSonavexCtrl c;
  EXPECT_EQ(c.AUDIOAnalyzeFile(W(path)), 0);
  EXPECT_EQ(c.m_pFormat, &c.m_Bare);
  EXPECT_EQ(c.AUDIOGetChannelMode(), u"Unknown");
  EXPECT_EQ(c.GetID3V2Title(), u"Intro Title");
  EXPECT_EQ(c.GetAUDIOTitle(), u"Intro Title");
  const std::string tilde = CopyFixture(dir, "v23_full.mp3", "song.MP3~");
  EXPECT_EQ(c.AUDIOAnalyzeFile(W(tilde)), kFormatMPEG);
}

TEST(Analysis, DetectionLeavesTheControlsObjectsAlone) {
  TempDir dir;
  const std::string other = CopyFixture(dir, "v22.mp3", "other.MP3");
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(Fixture("v23_full.mp3"))), kFormatMPEG);
  CAudioFormat* format = c.m_pFormat;
  EXPECT_EQ(c.DetectFileFormat(W(other)), kFormatMPEG);
  EXPECT_EQ(c.m_pFormat, format);
  EXPECT_EQ(c.GetID3V2Title(), u"Intro Title");
  EXPECT_EQ(c.ID3V2GetVersion(), u"2.3");
  EXPECT_EQ(c.GetAUDIOTitle(), u"Intro Title");
  // ...but the module-wide sizes and the extension now describe the other file.
  EXPECT_EQ(size_t(c.ID3V2GetSize()), TagSizeOf(TempDir::Read(other)));
  EXPECT_EQ(size_t(c.AUDIOGetFileSize()), TempDir::Read(other).size());
  EXPECT_EQ(c.m_strExtension, u".MP3");
  // A file that cannot be opened is format 0 and sets no error.
  c.m_State.lastError = 0;
  EXPECT_EQ(c.DetectFileFormat(W(dir.file("missing.mp3"))), 0);
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), 0);
}

TEST(Analysis, GenericSaveIntoMp3WritesTheId3v2Tag) {
  TempDir dir;
  // A file without a tag: the generic strings become frames, and the comment
  // is added with language ENG and description Sonavex.
  const std::string path = CopyFixture(dir, "plain.mp3");
  const auto audio = TempDir::Read(path);
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
  c.SetAUDIOTitle(u"Title \u00e9");
  c.SetAUDIOArtist(u"Artist");
  c.SetAUDIOAlbum(u"Album");
  c.SetAUDIOComment(u"Nice");
  c.SetAUDIOGenre(u"House");
  c.SetAUDIOTrack(u"7");
  c.SetAUDIOYear(u"2021");
  ASSERT_TRUE(c.AUDIOSaveChangesToFile(W(path)));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), 0);
  EXPECT_EQ(AudioOf(path), audio);
  auto m = Mutagen(path);
  EXPECT_EQ(m.at(0), "version|2.3");
  for (const char* line : {"TIT2|Title \u00e9", "TPE1|Artist", "TALB|Album", "COMM|ENG|Sonavex|Nice", "TCON|House",
                           "TRCK|7", "TYER|2021"})
    EXPECT_TRUE(Contains(m, line)) << line;
  EXPECT_EQ(c.ID3V2GetSize(), 0);  // the size the target's tag had before the save
  EXPECT_EQ(c.ID3V2GetVersion(), u"2.3");

  // With comments: a text replaces the first comment's language, description
  // and text; an empty comment deletes the first comment.
  const std::string full = CopyFixture(dir, "v23_full.mp3");
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(full)), kFormatMPEG);
  c.SetAUDIOComment(u"Replaced");
  ASSERT_TRUE(c.AUDIOSaveChangesToFile(W(full)));
  m = Mutagen(full);
  EXPECT_TRUE(Contains(m, "COMM|ENG|Sonavex|Replaced"));
  EXPECT_FALSE(Contains(m, "COMM|SMP|latin|12 \u00e9"));
  EXPECT_TRUE(Contains(m, "COMM|PEA|gain|-3.5"));
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(full)), kFormatMPEG);
  EXPECT_EQ(c.ID3V2GetComments(), 3);
  c.SetAUDIOComment(u"");
  ASSERT_TRUE(c.AUDIOSaveChangesToFile(W(full)));
  ASSERT_EQ(c.AUDIOAnalyzeFile(W(full)), kFormatMPEG);
  EXPECT_EQ(c.ID3V2GetComments(), 2);
  EXPECT_EQ(c.ID3V2GetCommentLanguage(1), u"PEA");
  EXPECT_EQ(AudioOf(full), audio);
}

TEST(Analysis, SavesRefusedByFormat) {
  TempDir dir;
  CSonavexCtrl c;
  c.SetAUDIOTitle(u"x");
  // A missing target is format 0: 210, not the runtime's number.
  EXPECT_FALSE(c.AUDIOSaveChangesToFile(W(dir.file("missing.mp3"))));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagNotAllowed);

  c.SetID3V2Title(u"x");
  // MP4 files among them: a tag in front would move the audio away from the
  // absolute offsets of their atoms. WMA and Monkey's Audio files: mutagen
  // cannot open them with a tag in front.
  for (const char* name : {"tiny.wav", "tiny.flac", "tiny.ogg", "../mp4/ffmpeg.m4a", "../mp4/typed.m4a",
                           "../wma/plain.wma", "../monkey/old_3970_normal.ape"}) {
    SCOPED_TRACE(name);
    const std::string path = CopyFixture(dir, name, std::filesystem::path(name).filename().string());
    const auto before = TempDir::Read(path);
    c.m_State.lastError = 0;
    EXPECT_FALSE(c.ID3V2SaveChangesToFile(W(path)));
    EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagNotAllowed);
    EXPECT_EQ(TempDir::Read(path), before);
    EXPECT_NE(c.m_nFormat, 0);
  }
  const std::string wav = CopyFixture(dir, "tiny.wav");
  EXPECT_FALSE(c.AUDIOSaveChangesToFile(W(wav)));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagNotAllowed);
  EXPECT_EQ(c.m_nFormat, kFormatWAV);

  // An MPEG stream under another extension is no format: refused as well,
  // but its tag can still be removed (removal runs no format check).
  const std::string bin = CopyFixture(dir, "v23_full.mp3", "song.bin");
  EXPECT_FALSE(c.ID3V2SaveChangesToFile(W(bin)));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagNotAllowed);
  EXPECT_TRUE(c.ID3V2RemoveTagFromFile(W(bin)));
  EXPECT_EQ(TempDir::Read(bin), TempDir::Read(Fixture("plain.mp3")));
}

// One value written into an MP3 that has only an ID3v1 tag (the analysis'
// comment markers and tempo, a title from the tag editor's host) makes a new
// ID3v2 tag that starts with the ID3v1 fields: readers that prefer ID3v2
// (this library's analysis, ffprobe, mutagen's easy names) still see the
// song's names. The generic save writes all seven fields itself and takes
// none twice. The audio and the ID3v1 tag stay byte for byte.
TEST(Analysis, ANewID3v2TagStartsWithTheID3v1Fields) {
  const std::string seeded[] = {"TIT2|Title One", "TPE1|Artist One", "TALB|Album One", "TYER|1999",
                                "TRCK|7", "TCON|Trip-Hop", "COMM|eng||A comment"};
  struct Case {
    const char* name;
    std::function<bool(CSonavexCtrl&, const std::string&)> save;
    std::vector<std::string> frames;  // what mutagen lists, in order
    GenericStrings read;              // the generic strings of a new analysis
  } cases[] = {
      {"analysis comment",
       [](CSonavexCtrl& c, const std::string& p) {
         c.ID3V2SetComment(static_cast<int16_t>(c.ID3V2GetComments() + 1), u"PEA", u"", u"-3.5");
         return c.ID3V2SaveChangesToFile(W(p));
       },
       {seeded[0], seeded[1], seeded[2], seeded[3], seeded[4], seeded[5], seeded[6], "COMM|PEA||-3.5"},
       {u"Title One", u"Artist One", u"Album One", u"A comment", u"Trip-Hop", u"7", u"1999"}},
      {"tempo",
       [](CSonavexCtrl& c, const std::string& p) {
         c.SetID3V2BeatsPerMinute(u"128");
         return c.ID3V2SaveChangesToFile(W(p));
       },
       {seeded[0], seeded[1], seeded[2], seeded[3], seeded[4], seeded[5], seeded[6], "TBPM|128"},
       {u"Title One", u"Artist One", u"Album One", u"A comment", u"Trip-Hop", u"7", u"1999"}},
      {"title",
       [](CSonavexCtrl& c, const std::string& p) {
         c.SetID3V2Title(u"New Title");
         return c.ID3V2SaveChangesToFile(W(p));
       },
       {seeded[1], seeded[2], seeded[3], seeded[4], seeded[5], seeded[6], "TIT2|New Title"},
       {u"New Title", u"Artist One", u"Album One", u"A comment", u"Trip-Hop", u"7", u"1999"}},
      {"generic save",
       [](CSonavexCtrl& c, const std::string& p) {
         c.SetAUDIOTitle(u"Generic");
         c.SetAUDIOComment(u"Changed");
         return c.AUDIOSaveChangesToFile(W(p));
       },
       {"TALB|Album One", "TPE1|Artist One", "COMM|ENG|Sonavex|Changed", "TCON|Trip-Hop", "TIT2|Generic",
        "TRCK|7", "TYER|1999"},
       {u"Generic", u"Artist One", u"Album One", u"Changed", u"Trip-Hop", u"7", u"1999"}},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    TempDir dir;
    const std::string path = dir.file("song.mp3");
    std::filesystem::copy_file(std::string(DJVP_TEST_FIXTURES) + "/mpeg/tag_id3v1.mp3", path);
    const auto before = TempDir::Read(path);
    CSonavexCtrl c;
    ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
    ASSERT_FALSE(c.ID3V2Exists());
    ASSERT_TRUE(k.save(c, path)) << c.AUDIOGetLastErrorNumber();
    EXPECT_EQ(AudioOf(path), before);
    // The ID3v2 frames as mutagen lists them (without the comment it makes
    // of the ID3v1 tag for a tag that lacks one).
    auto id3v2Frames = [&] {
      std::vector<std::string> f = Mutagen(path);
      if (!f.empty()) f.erase(f.begin());  // the version line
      f.erase(std::remove(f.begin(), f.end(), "COMM|eng|ID3v1 Comment|A comment"), f.end());
      return f;
    };
    EXPECT_EQ(id3v2Frames(), k.frames);
    for (const auto& [key, value] : {std::pair{"title", k.read.title}, {"artist", k.read.artist}, {"album", k.read.album}})
      EXPECT_EQ(RunCommand(std::string("ffprobe -v error -show_entries format_tags=") + key +
                           " -of default=nw=1:nk=1 '" + path + "'"),
                U(value) + "\n");
    CSonavexCtrl r;
    ASSERT_EQ(r.AUDIOAnalyzeFile(W(path)), kFormatMPEG);
    EXPECT_TRUE(r.ID3V2Exists());
    const GenericStrings got{r.GetAUDIOTitle(), r.GetAUDIOArtist(), r.GetAUDIOAlbum(), r.GetAUDIOComment(),
                             r.GetAUDIOGenre(), r.GetAUDIOTrack(), r.GetAUDIOYear()};
    EXPECT_EQ(U(got.title + u"|" + got.artist + u"|" + got.album + u"|" + got.comment + u"|" + got.genre + u"|" +
                got.track + u"|" + got.year),
              U(k.read.title + u"|" + k.read.artist + u"|" + k.read.album + u"|" + k.read.comment + u"|" +
                k.read.genre + u"|" + k.read.track + u"|" + k.read.year));
    EXPECT_EQ(r.GetID3V1Title(), u"Title One");

    // A second save of the same control keeps the fields it took.
    ASSERT_TRUE(std::string(k.name) == "generic save" ? c.AUDIOSaveChangesToFile(W(path))
                                                        : c.ID3V2SaveChangesToFile(W(path)));
    EXPECT_EQ(id3v2Frames(), k.frames);
  }
}

// Musepack SV7 and ADTS AAC take an ID3v2 tag in front: ffprobe and
// mutagen's readers of the format read the stream and the tag afterwards
// (mutagen's guess by the first bytes takes such a file for an MP3, as it
// does with every tagged AAC or Musepack file), and the stream's bytes stay.
TEST(Analysis, MusepackAndAdtsFilesTakeAnID3v2TagThatTheirReadersSkip) {
  struct Case {
    const char* fixture;
    int16_t format;
    const char* reader;  // mutagen's class of the format
  } cases[] = {{"../mpp/sv7_standard_joint.mpc", kFormatMPP, "mutagen.musepack.Musepack"},
               {"../aac/adts_cbr.aac", kFormatAAC, "mutagen.aac.AAC"}};
  for (const auto& k : cases) {
    SCOPED_TRACE(k.fixture);
    TempDir dir;
    const std::string path = CopyFixture(dir, k.fixture, std::filesystem::path(k.fixture).filename().string());
    const auto before = TempDir::Read(path);
    const std::string probe = "ffprobe -v error -show_entries stream=codec_name,sample_rate,channels:format_tags=title "
                              "-of default=nw=1 '" + path + "'";
    const std::string streamBefore = RunCommand(probe);
    CSonavexCtrl c;
    ASSERT_EQ(c.AUDIOAnalyzeFile(W(path)), k.format);
    c.SetAUDIOTitle(u"Tagged ♫");
    ASSERT_TRUE(c.AUDIOSaveChangesToFile(W(path))) << c.AUDIOGetLastErrorNumber();
    EXPECT_EQ(AudioOf(path), before);
    EXPECT_EQ(RunCommand(probe), streamBefore + "TAG:title=Tagged ♫\n");
    const std::string module = std::string(k.reader).substr(0, std::string(k.reader).rfind('.'));
    EXPECT_EQ(RunCommand("/usr/bin/python3 -c 'import sys, mutagen.id3, " + module + "\nf = " + k.reader +
                         "(sys.argv[1])\nprint(f.info.sample_rate, f.info.channels, mutagen.id3.ID3(sys.argv[1])[\"TIT2\"])' '" +
                         path + "' 2>&1"),
              "44100 2 Tagged \u266b\n");
    CSonavexCtrl r;
    ASSERT_EQ(r.AUDIOAnalyzeFile(W(path)), k.format);
    EXPECT_EQ(r.GetAUDIOTitle(), u"Tagged ♫");
  }
}

// Headers with figures no real file has (a damaged or hostile file): the
// format is not valid (or not taken at all, where its rules refuse such a
// header) and no impossible figure is reported.
TEST(Analysis, ImpossibleHeadersAreNotValid) {
  auto le32 = [](Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
  };
  auto be32 = [](Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (24 - 8 * i));
  };
  struct Case {
    const char* name;
    const char* fixture;  // under the fixtures folder
    const char* as;
    std::function<void(Bytes&)> damage;
    int16_t format;
  } cases[] = {
      {"Monkey's Audio: 2,147,483,647 Hz and 50,688 channels", "monkey/new_3990_extra_high.ape", "x.ape",
       [&](Bytes& b) {
         le32(b, 72, 0x7FFFFFFF);
         b[70] = 0x00, b[71] = 0xC6;
       },
       kFormatMonkey},
      {"WAV: 2^31 Hz", "wav/stereo_16bit.wav", "x.wav", [&](Bytes& b) { le32(b, 24, 0x80000000u); }, kFormatNone},
      {"FLAC: 1 Hz", "flac/padded.flac", "x.flac",
       [](Bytes& b) {
         b[18] = 0, b[19] = 0;
         b[20] = static_cast<uint8_t>(0x10 | (b[20] & 0x0F));
       },
       kFormatFLAC},
      {"Ogg Vorbis: 2^31 - 1 Hz", "ogg/long.ogg", "x.ogg", [&](Bytes& b) { le32(b, 28 + 12, 0x7FFFFFFF); },
       kFormatOGG},
      {"Musepack: 2^32 - 1 frames", "mpp/sv7_standard_joint.mpc", "x.mpc", [&](Bytes& b) { le32(b, 4, 0xFFFFFFFFu); },
       kFormatMPP},
      {"MPEG: a Xing header of 2^31 - 1 frames", "mpeg/vbr_v4.mp3", "x.mp3", [&](Bytes& b) { be32(b, 36 + 8, 0x7FFFFFFF); },
       kFormatMPEG},
  };
  TempDir dir;
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    Bytes bytes = TempDir::Read(std::string(DJVP_TEST_FIXTURES) + "/" + k.fixture);
    CSonavexCtrl good;
    TempDir::Write(dir.file(k.as), bytes);
    ASSERT_NE(good.AUDIOAnalyzeFile(W(dir.file(k.as))), kFormatNone);
    ASSERT_TRUE(good.AUDIOFormatIsValid());  // the fixture itself is fine
    k.damage(bytes);
    TempDir::Write(dir.file(k.as), bytes);
    CSonavexCtrl c;
    EXPECT_EQ(c.AUDIOAnalyzeFile(W(dir.file(k.as))), k.format);
    EXPECT_FALSE(c.AUDIOFormatIsValid());
    EXPECT_LE(c.AUDIOGetSampleRate(), 768000);
    EXPECT_LE(c.AUDIOGetChannels(), 64);
    EXPECT_GE(c.AUDIOGetDuration(), 0.0f);
    EXPECT_LE(c.AUDIOGetDuration(), 7 * 24 * 3600.0f);
  }
}
