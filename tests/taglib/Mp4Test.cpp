// The MP4 reader: files made by ffmpeg and tagged by mutagen (read back as
// mutagen reads them), and atom trees built here for the layouts and damage
// the walk must handle.
#include "RunCommand.h"
#include "MP4.h"
#include "Module.h"
#include "SonavexCtrl.h"
#include "TempDir.h"
#include "automation/Host.h"
#include "sonavex/Sonavex.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <sstream>
#include <string>
#include <vector>

using namespace sonavex;

namespace {

using Bytes = std::vector<unsigned char>;
const std::string kDir = std::string(DJVP_TEST_FIXTURES) + "/mp4/";


// mutagen's reading of a file: item key -> value (the last value of a list;
// pairs by their first number; covers as "covrN" -> hex bytes).
std::map<std::string, std::string> MutagenItems(const std::string& path) {
  static const char* kScript = R"PY(
import sys
from mutagen.mp4 import MP4
f = MP4(sys.argv[1])
print('sample_rate\t%d' % f.info.sample_rate)
for k, v in f.tags.items():
    if k == 'covr':
        for i, c in enumerate(v): print('covr%d\t%s' % (i, bytes(c).hex()))
        continue
    if isinstance(v, list): v = v[-1]
    if isinstance(v, tuple): v = v[0]
    if isinstance(v, bool): v = int(v)
    print('%s\t%s' % (k, v))
)PY";
  TempDir dir;
  TempDir::Write(dir.file("read.py"), std::string(kScript));
  const std::string out = RunCommand("/usr/bin/python3 " + dir.file("read.py") + " '" + path + "' 2>&1");
  std::map<std::string, std::string> items;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    const auto tab = line.find('\t');
    EXPECT_NE(tab, std::string::npos) << line;
    if (tab != std::string::npos) items[line.substr(0, tab)] = line.substr(tab + 1);
  }
  return items;
}

std::string Hex(const CByteBuffer& b) {
  static const char* d = "0123456789abcdef";
  std::string s;
  for (int i = 0; i < b.GetLength(); ++i) {
    s += d[b.GetAt(i) >> 4];
    s += d[b.GetAt(i) & 15];
  }
  return s;
}

bool ReadMp4(CMP4& mp4, const std::string& path, int32_t prefix = 0) {
  mp4.State().fileSize = static_cast<int32_t>(std::filesystem::file_size(path));
  mp4.State().id3v2Size = prefix;
  TagFile f;
  EXPECT_TRUE(f.Open(path, TagFile::Mode::Read));
  return mp4.Read(f);
}

// --- atom building --------------------------------------------------------

// Kept out of line: inlined into the builders below, GCC 12 at -O3 follows
// the vector's growth wrongly and reports a write past its end.
[[gnu::noinline]] void PutBE(Bytes& b, uint64_t v, int n) {
  for (int i = n - 1; i >= 0; --i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes b;
  for (const auto& p : parts) b.insert(b.end(), p.begin(), p.end());
  return b;
}
Bytes Atom(const std::string& type, const Bytes& body) {
  Bytes b;
  b.reserve(8 + body.size());
  PutBE(b, body.size() + 8, 4);
  b.insert(b.end(), type.begin(), type.end());
  b.insert(b.end(), body.begin(), body.end());
  return b;
}
Bytes Data(int kind, const Bytes& value) {
  Bytes body = {0, 0, 0, static_cast<unsigned char>(kind), 0, 0, 0, 0};
  body.insert(body.end(), value.begin(), value.end());
  return Atom("data", body);
}
Bytes Text(const std::string& s) { return Data(1, Bytes(s.begin(), s.end())); }
Bytes Ftyp(const std::string& brand) {
  Bytes body(brand.begin(), brand.end());
  PutBE(body, 0, 4);
  body.insert(body.end(), {'i', 's', 'o', 'm'});
  return Atom("ftyp", body);
}
Bytes Mdhd(uint64_t created, uint32_t scale, uint64_t duration, int version = 0) {
  Bytes b = {static_cast<unsigned char>(version), 0, 0, 0};
  const int w = version == 1 ? 8 : 4;
  PutBE(b, created, w);
  PutBE(b, created, w);
  PutBE(b, scale, 4);
  PutBE(b, duration, w);
  PutBE(b, 0x55C4, 2);
  PutBE(b, 0, 2);
  return Atom("mdhd", b);
}
Bytes Hdlr(const std::string& handler) {
  Bytes b(8, 0);
  b.insert(b.end(), handler.begin(), handler.end());
  b.resize(24, 0);
  return Atom("hdlr", b);
}
// An audio sample description with a channel count.
Bytes Stsd(int channels) {
  Bytes entry(6, 0);
  PutBE(entry, 1, 2);           // data reference
  PutBE(entry, 0, 8);           // version, revision, vendor
  PutBE(entry, static_cast<uint64_t>(channels), 2);
  PutBE(entry, 16, 2);          // sample size
  PutBE(entry, 0, 4);
  PutBE(entry, 44100u << 16, 4);
  Bytes body = {0, 0, 0, 0, 0, 0, 0, 1};
  const Bytes e = Atom("mp4a", entry);
  body.insert(body.end(), e.begin(), e.end());
  return Atom("stsd", body);
}
// An AAC sample description whose esds carries the decoder setup asc.
Bytes AacStsd(int channels, uint32_t rate, const Bytes& asc) {
  Bytes entry(6, 0);
  PutBE(entry, 1, 2);
  PutBE(entry, 0, 8);
  PutBE(entry, static_cast<uint64_t>(channels), 2);
  PutBE(entry, 16, 2);
  PutBE(entry, 0, 4);
  PutBE(entry, uint64_t(rate) << 16, 4);
  const Bytes specific = Cat({{0x05, static_cast<unsigned char>(asc.size())}, asc});
  Bytes config = {0x40, 0x15, 0, 0, 0};  // AAC audio, buffer size
  PutBE(config, 128000, 4);
  PutBE(config, 128000, 4);
  config = Cat({{0x04, static_cast<unsigned char>(config.size() + specific.size())}, config, specific});
  const Bytes es = Cat({{0x03, static_cast<unsigned char>(3 + config.size() + 3), 0, 1, 0}, config, {0x06, 1, 2}});
  const Bytes esds = Atom("esds", Cat({{0, 0, 0, 0}, es}));
  entry.insert(entry.end(), esds.begin(), esds.end());
  Bytes body = {0, 0, 0, 0, 0, 0, 0, 1};
  const Bytes e = Atom("mp4a", entry);
  body.insert(body.end(), e.begin(), e.end());
  return Atom("stsd", body);
}

Bytes Trak(const Bytes& mdhd, const std::string& handler, int channels) {
  return Atom("trak", Atom("mdia", Cat({mdhd, Hdlr(handler),
                                        Atom("minf", Atom("stbl", channels ? Stsd(channels) : Bytes{}))})));
}
Bytes Ilst(const Bytes& items) {
  Bytes meta = {0, 0, 0, 0};
  const Bytes h = Hdlr("mdir");
  meta.insert(meta.end(), h.begin(), h.end());
  const Bytes i = Atom("ilst", items);
  meta.insert(meta.end(), i.begin(), i.end());
  return Atom("udta", Atom("meta", meta));
}
Bytes Item(const std::string& type, const Bytes& data) { return Atom(type, data); }
std::string Cr(const std::string& s) { return "\xA9" + s; }

struct Work {
  TempDir dir;
  std::string path;
  explicit Work(const Bytes& bytes) : path(dir.file("song.m4a")) { TempDir::Write(path, bytes); }
};

Bytes SongWith(const Bytes& items, const Bytes& mdhd = Mdhd(3300000000u, 44100, 441000)) {
  return Cat({Ftyp("M4A "), Atom("moov", Cat({Trak(mdhd, "soun", 2), Ilst(items)})), Atom("mdat", Bytes(1000, 7))});
}

}  // namespace

TEST(Mp4Read, ItemsAndCoversAsMutagenReadsThem) {
  struct Field {
    const char* key;
    int slot;
  } fields[] = {{"\xC2\xA9nam", 14}, {"\xC2\xA9" "ART", 1}, {"\xC2\xA9" "alb", 0}, {"\xC2\xA9" "cmt", 5},
                {"\xC2\xA9wrt", 7},   {"\xC2\xA9too", 13},  {"\xC2\xA9" "day", 9}, {"\xC2\xA9gen", 15},
                {"trkn", 22},         {"disk", 4},          {"cpil", 6},           {"tmpo", 3}};
  for (const char* name : {"ffmpeg.m4a", "typed.m4a", "covers12.m4a"}) {
    SCOPED_TRACE(name);
    const auto expected = MutagenItems(kDir + name);
    ASSERT_FALSE(expected.empty());
    CMP4 mp4;
    ASSERT_TRUE(ReadMp4(mp4, kDir + name));
    EXPECT_TRUE(mp4.IsValid());
    for (const auto& f : fields) {
      auto it = expected.find(f.key);
      if (it == expected.end()) {
        if (f.slot != 9) {  // without a date item the date comes from the media header
          EXPECT_EQ(mp4.GetField(f.slot), u"") << f.key;
        }
        continue;
      }
      EXPECT_EQ(ToUtf8(mp4.GetField(f.slot)), it->second) << f.key;
    }
    int covers = 0;
    while (expected.count("covr" + std::to_string(covers))) ++covers;
    EXPECT_EQ(mp4.GetPictureCount(), covers);
    for (int i = 0; i < std::min(covers, 10); ++i) EXPECT_EQ(Hex(mp4.Picture(i)), expected.at("covr" + std::to_string(i)));
    EXPECT_EQ(std::to_string(mp4.GetSampleRate()), expected.at("sample_rate"));
    EXPECT_NEAR(mp4.GetDuration(), 0.5, 0.06);
  }
}

TEST(Mp4Read, PropertiesOfRealFiles) {
  struct Case {
    const char* name;
    int channels, rate;
    const char16_t* mode;
    int kbps;
  } cases[] = {{"ffmpeg.m4a", 1, 22050, u"Mono", 26}, {"typed.m4a", 2, 44100, u"Stereo", 30}};
  for (const auto& k : cases) {
    CMP4 mp4;
    ASSERT_TRUE(ReadMp4(mp4, kDir + k.name));
    EXPECT_EQ(mp4.GetChannels(), k.channels);
    EXPECT_EQ(mp4.GetChannelMode(), k.mode);
    EXPECT_EQ(mp4.GetSampleRate(), k.rate);
    // Channels from the decoder setup, as ffprobe reports them (the sample
    // entry of the mono file says 2). The bitrate is that of the media data,
    // wherever the media data atom lies (ffprobe: 25.8 and 29.9 kbit/s).
    EXPECT_NEAR(mp4.GetBitrate(), k.kbps, 3) << k.name;
  }
}

TEST(Mp4Read, ControlAnswersThroughTheMembers) {
  CSonavexCtrl c;
  TempDir dir;
  const std::string path = dir.file("song.m4a");
  std::filesystem::copy_file(kDir + "typed.m4a", path);
  const Bytes before = TempDir::Read(path);
  ASSERT_EQ(c.AUDIOAnalyzeFile(FromUtf8(path)), kFormatMP4);
  EXPECT_EQ(c.GetMP4Title(), u"Mutagen Title");
  EXPECT_EQ(c.GetMP4Artist(), u"Artist \u00e9\u4e2d");
  EXPECT_EQ(c.GetMP4Composer(), u"Writer");
  EXPECT_EQ(c.GetMP4Encoder(), u"Encoder Tool");
  EXPECT_EQ(c.GetMP4Track(), u"5");
  EXPECT_EQ(c.GetMP4CDSetNumber(), u"2");
  EXPECT_EQ(c.GetMP4Compilation(), u"1");
  EXPECT_EQ(c.GetMP4BeatsPerMinute(), u"128");
  EXPECT_EQ(c.GetMP4Comment(), u"second");  // the last data atom of an item
  EXPECT_EQ(c.GetMP4Genre(), u"Techno");
  EXPECT_EQ(c.MP4GetPictureCount(), 2);
  EXPECT_EQ(c.AUDIOGetVersion(), u"Apple AAC audio only");
  EXPECT_TRUE(c.AUDIOFormatIsValid());
  EXPECT_EQ(c.GetAUDIOTitle(), u"Mutagen Title");
  EXPECT_EQ(c.GetAUDIOTrack(), u"5");
  EXPECT_EQ(c.GetAUDIOGenre(), u"Techno");

  // The covers are written into files of their own.
  const std::string cover = dir.file("cover.jpg");
  ASSERT_TRUE(c.MP4LoadPicture(FromUtf8(cover), 0));
  const auto items = MutagenItems(path);
  CByteBuffer written;
  const Bytes w = TempDir::Read(cover);
  written.AppendBytes(w.data(), static_cast<int32_t>(w.size()));
  EXPECT_EQ(Hex(written), items.at("covr0"));
  EXPECT_FALSE(c.MP4LoadPicture(FromUtf8(cover), 2));
  EXPECT_FALSE(c.MP4LoadPicture(FromUtf8(cover), -1));
  c.m_State.lastError = 0;
  EXPECT_FALSE(c.MP4LoadPicture(FromUtf8(dir.file("no/such/folder/x.jpg")), 1));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), ENOENT);

  // Items are read only: setters change memory, the generic save refuses.
  c.SetMP4Title(u"Changed");
  EXPECT_EQ(c.GetMP4Title(), u"Changed");
  c.SetAUDIOYear(u"1987");
  EXPECT_FALSE(c.AUDIOSaveChangesToFile(FromUtf8(path)));
  EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrMP4NotWritable);
  EXPECT_EQ(c.AUDIOGetLastErrorText(), u"MP4 Tag writing not supported in this Version!");
  EXPECT_EQ(c.GetMP4Date(), u"1987");
  EXPECT_EQ(c.GetMP4Title(), u"Mutagen Title");
  EXPECT_EQ(TempDir::Read(path), before);
}

TEST(Mp4Read, TwelveCoversKeepTen) {
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(FromUtf8(kDir + "covers12.m4a")), kFormatMP4);
  EXPECT_EQ(c.MP4GetPictureCount(), 12);
  TempDir dir;
  for (int16_t i = 0; i < 12; ++i) {
    const std::string out = dir.file(std::string("c").append(std::to_string(i)));
    EXPECT_EQ(c.MP4LoadPicture(FromUtf8(out), i), i < 10) << i;
    if (i < 10) {
      EXPECT_EQ(TempDir::Read(out), Bytes(static_cast<size_t>(10 + i), static_cast<unsigned char>(i)));
    }
  }
  // An existing file is replaced whole.
  const std::string out = dir.file("c0");
  TempDir::Write(out, std::string(100, 'z'));
  ASSERT_TRUE(c.MP4LoadPicture(FromUtf8(out), 3));
  EXPECT_EQ(TempDir::Read(out), Bytes(13, 3));
}

TEST(Mp4Read, BrandsNameTheVersion) {
  struct Case {
    const char* brand;
    const char16_t* text;
  } cases[] = {{"isom", u"Iso Base Media format"}, {"mp41", u"ISO 14496-1 version 1"},
               {"mp42", u"ISO 14496-1 version 2"}, {"M4A ", u"Apple AAC audio only"},
               {"qt  ", u"QuickTime movie"},       {"3gp4", u"3G MP4 profile 4"},
               {"3gp5", u"3G MP4 profile 5"},      {"mmp4", u"Mobile MP4"},
               {"dash", u"Unknown"},               {"m4a ", u"Unknown"}};
  for (const auto& k : cases) {
    Work w(Cat({Ftyp(k.brand), Atom("mdat", Bytes(16, 0))}));
    CMP4 mp4;
    ASSERT_TRUE(ReadMp4(mp4, w.path));
    EXPECT_EQ(mp4.GetVersion(), k.text) << k.brand;
  }
}

TEST(Mp4Read, MediaHeaderGivesRateDurationAndDate) {
  {  // Version 0 and version 1 layouts give the same figures.
    for (int version : {0, 1}) {
      Work w(SongWith(Bytes{}, Mdhd(3300000000u, 44100, 441000, version)));
      CMP4 mp4;
      ASSERT_TRUE(ReadMp4(mp4, w.path));
      EXPECT_EQ(mp4.GetSampleRate(), 44100);
      EXPECT_FLOAT_EQ(mp4.GetDuration(), 10.0f);
      EXPECT_EQ(mp4.GetField(9), u"3300000000 seconds since 1904");
      EXPECT_EQ(mp4.GetYear(), u"2008");
      EXPECT_EQ(mp4.GetGenericStrings().year, u"2008");
      EXPECT_EQ(mp4.GetChannels(), 2);
      EXPECT_EQ(mp4.GetBitrate(), 1);  // 1000 bytes of media data in 10 seconds
    }
  }
  {  // 64-bit times beyond 32 bits are read whole.
    Work w(SongWith(Bytes{}, Mdhd(5000000000ull, 48000, 48000ull * 100000, 1)));
    CMP4 mp4;
    ASSERT_TRUE(ReadMp4(mp4, w.path));
    EXPECT_EQ(mp4.GetSampleRate(), 48000);
    EXPECT_FLOAT_EQ(mp4.GetDuration(), 100000.0f);
    EXPECT_EQ(mp4.GetField(9), u"5000000000 seconds since 1904");
    EXPECT_EQ(mp4.GetYear(), u"2062");
  }
  {  // A date item read before the media header keeps the date; no year.
    const Bytes file = Cat({Ftyp("M4A "), Atom("moov", Cat({Ilst(Item(Cr("day"), Text("2001"))),
                                                             Trak(Mdhd(3300000000u, 8000, 16000), "soun", 1)}))});
    Work w(file);
    CMP4 mp4;
    ASSERT_TRUE(ReadMp4(mp4, w.path));
    EXPECT_EQ(mp4.GetField(9), u"2001");
    EXPECT_EQ(mp4.GetYear(), u"0");
    EXPECT_EQ(mp4.GetGenericStrings().year, u"");
    EXPECT_EQ(mp4.GetChannelMode(), u"Mono");
  }
  {  // A creation time of 0 is not a date.
    Work w(SongWith(Bytes{}, Mdhd(0, 44100, 44100)));
    CMP4 mp4;
    ASSERT_TRUE(ReadMp4(mp4, w.path));
    EXPECT_EQ(mp4.GetField(9), u"");
    EXPECT_EQ(mp4.GetGenericStrings().year, u"");
  }
  {  // The sound track's header wins over a video track's, in either order.
    for (bool videoFirst : {true, false}) {
      const Bytes video = Trak(Mdhd(1, 90000, 900000), "vide", 0);
      const Bytes sound = Trak(Mdhd(1, 22050, 44100), "soun", 6);
      Work w(Cat({Ftyp("mp42"), Atom("moov", videoFirst ? Cat({video, sound}) : Cat({sound, video}))}));
      CMP4 mp4;
      ASSERT_TRUE(ReadMp4(mp4, w.path));
      EXPECT_EQ(mp4.GetSampleRate(), 22050);
      EXPECT_FLOAT_EQ(mp4.GetDuration(), 2.0f);
      EXPECT_EQ(mp4.GetChannels(), 6);
      EXPECT_EQ(mp4.GetChannelMode(), u"Unknown");
    }
  }
}

// HE-AAC: the core runs at half the rate the stream plays at; the setup
// tells so in front (object type 5) or behind a plain setup (the sync
// extension). The media header's time scale is the core's.
TEST(Mp4Read, HeAacPlaysAtItsBandReplicationRate) {
  struct Case {
    const char* name;
    Bytes asc;
    int rate;
  } cases[] = {
      {"plain AAC", {0x13, 0x90}, 22050},
      {"band replication in front", {0x2B, 0x92, 0x08, 0x00}, 44100},
      {"band replication behind", {0x13, 0x90, 0x56, 0xE5, 0xA0}, 44100},
  };
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    const Bytes trak = Atom("trak", Atom("mdia", Cat({Mdhd(3300000000u, 22050, 220500), Hdlr("soun"),
                                                      Atom("minf", Atom("stbl", AacStsd(2, 22050, k.asc)))})));
    Work w(Cat({Ftyp("M4A "), Atom("moov", Cat({trak, Ilst(Item(Cr("nam"), Text("he")))})), Atom("mdat", Bytes(1000, 7))}));
    CMP4 mp4;
    ASSERT_TRUE(ReadMp4(mp4, w.path));
    EXPECT_EQ(mp4.GetSampleRate(), k.rate);
    EXPECT_EQ(mp4.GetChannels(), 2);
    EXPECT_FLOAT_EQ(mp4.GetDuration(), 10.0f);
    EXPECT_EQ(MutagenItems(w.path).at("sample_rate"), std::to_string(k.rate));
  }
}

TEST(Mp4Read, TypedItems) {
  const Bytes items = Cat({
      Item("trkn", Data(0, {0, 0, 0, 5, 0, 12, 0, 0})),
      Item("gnre", Data(0, {0, 13})),
      Item("cpil", Data(21, {1})),
      Item("tmpo", Data(21, {0, 120})),
      Item("disk", Data(0, {0, 0, 0, 1, 0, 2})),
      Item(Cr("nam"), Cat({Text("first"), Text("last")})),
      Item(Cr("cmt"), Data(1, Bytes(32501, 'x'))),  // too long a text reads empty
      Item(Cr("ART"), Data(0, {'A'})),              // a text item of another type gives nothing
      Item("covr", Cat({Data(13, {1, 2, 3}), Data(14, {4, 5})})),
      Item(Cr("xyz"), Text("unknown item")),
  });
  Work w(SongWith(items));
  CMP4 mp4;
  ASSERT_TRUE(ReadMp4(mp4, w.path));
  EXPECT_EQ(mp4.GetField(22), u"5");
  EXPECT_EQ(mp4.GetField(15), u"13");
  EXPECT_EQ(mp4.GetField(6), u"1");
  EXPECT_EQ(mp4.GetField(3), u"120");
  EXPECT_EQ(mp4.GetField(4), u"1");
  EXPECT_EQ(mp4.GetField(14), u"last");
  EXPECT_EQ(mp4.GetField(5), u"");
  EXPECT_EQ(mp4.GetField(1), u"");
  EXPECT_EQ(mp4.GetPictureCount(), 2);
  EXPECT_EQ(Hex(mp4.Picture(0)), "010203");
  EXPECT_EQ(Hex(mp4.Picture(1)), "0405");
}

TEST(Mp4Read, Id3v2TagInFrontIsSkipped) {
  Bytes file = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 22};
  file.resize(32, 0);
  const Bytes song = SongWith(Item(Cr("nam"), Text("Behind a tag")));
  file.insert(file.end(), song.begin(), song.end());
  Work w(file);
  CMP4 mp4;
  EXPECT_FALSE(ReadMp4(mp4, w.path, 0));
  ASSERT_TRUE(ReadMp4(mp4, w.path, 32));
  EXPECT_EQ(mp4.GetField(14), u"Behind a tag");
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(FromUtf8(w.path)), kFormatMP4);
  EXPECT_EQ(c.GetMP4Title(), u"Behind a tag");
}

TEST(Mp4Read, DamagedAtomsAreBounded) {
  const Bytes title = Item(Cr("nam"), Text("Title"));
  auto withSize = [](Bytes atom, uint32_t size) {
    atom[0] = static_cast<unsigned char>(size >> 24);
    atom[1] = static_cast<unsigned char>(size >> 16);
    atom[2] = static_cast<unsigned char>(size >> 8);
    atom[3] = static_cast<unsigned char>(size);
    return atom;
  };
  struct Case {
    const char* what;
    Bytes file;
    const char16_t* title;
  } cases[] = {
      {"item of size 0", SongWith(Cat({title, withSize(Item(Cr("alb"), Text("x")), 0)})), u"Title"},
      {"item past its list", SongWith(Cat({title, withSize(Item(Cr("alb"), Text("x")), 500)})), u"Title"},
      {"data atom of size 0", SongWith(Item(Cr("nam"), withSize(Text("x"), 0))), u""},
      {"data atom past its item", SongWith(Item(Cr("nam"), withSize(Text("x"), 90))), u""},
      {"data atom shorter than its header", SongWith(Item(Cr("nam"), withSize(Text("x"), 12))), u""},
      {"atom past its parent", Cat({Ftyp("M4A "), withSize(Atom("moov", Ilst(title)), 100000)}), u""},
      {"atom smaller than its header", Cat({Ftyp("M4A "), withSize(Atom("moov", Ilst(title)), 5)}), u""},
      {"ftyp of size 0", withSize(Ftyp("M4A "), 0), u""},
      {"truncated in the middle", [&] {
         Bytes b = SongWith(title);
         b.resize(200);  // inside the movie atom
         return b;
       }(), u""},
  };
  for (const auto& k : cases) {
    Work w(k.file);
    CMP4 mp4;
    EXPECT_TRUE(ReadMp4(mp4, w.path)) << k.what;
    EXPECT_EQ(mp4.GetField(14), k.title) << k.what;
  }
  {  // An atom of size 0 runs to the end of its parent, here the file.
    Bytes file = Cat({Ftyp("M4A "), Atom("free", {}), withSize(Atom("moov", Ilst(title)), 0)});
    Work w(file);
    CMP4 mp4;
    ASSERT_TRUE(ReadMp4(mp4, w.path));
    EXPECT_EQ(mp4.GetField(14), u"Title");
  }
  {  // A 64-bit size (size field 1) is followed to the next atom.
    Bytes mdat = {0, 0, 0, 1, 'm', 'd', 'a', 't'};
    PutBE(mdat, 16 + 400, 8);
    mdat.resize(16 + 400, 9);
    Work w(Cat({Ftyp("M4A "), mdat, Atom("moov", Cat({Trak(Mdhd(5, 1000, 4000), "soun", 2), Ilst(title)}))}));
    CMP4 mp4;
    ASSERT_TRUE(ReadMp4(mp4, w.path));
    EXPECT_EQ(mp4.GetField(14), u"Title");
    EXPECT_EQ(mp4.GetBitrate(), 1);  // 400 bytes in 4 seconds: 0.8 kbit/s
  }
  {  // Containers nested beyond any real file end the walk, without harm.
    Bytes inner = Ilst(title);
    for (int i = 0; i < 5000; ++i) inner = Atom("moov", inner);
    Work w(Cat({Ftyp("M4A "), inner}));
    CMP4 mp4;
    EXPECT_TRUE(ReadMp4(mp4, w.path));
    EXPECT_EQ(mp4.GetField(14), u"");
    Bytes shallow = Ilst(title);
    for (int i = 0; i < 8; ++i) shallow = Atom("moov", shallow);
    Work s(Cat({Ftyp("M4A "), shallow}));
    ASSERT_TRUE(ReadMp4(mp4, s.path));
    EXPECT_EQ(mp4.GetField(14), u"Title");
  }
  {  // Not MP4: no ftyp at the audio start, the object stays cleared.
    Work w(Cat({Atom("moov", Ilst(title)), Ftyp("M4A ")}));
    CMP4 mp4;
    ASSERT_TRUE(ReadMp4(mp4, kDir + "typed.m4a"));
    EXPECT_FALSE(ReadMp4(mp4, w.path));
    EXPECT_FALSE(mp4.IsValid());
    EXPECT_EQ(mp4.GetField(14), u"");
    EXPECT_EQ(mp4.GetPictureCount(), 0);
    EXPECT_EQ(mp4.GetSampleRate(), 0);
    EXPECT_EQ(mp4.GetVersion(), u"Unknown");
  }
}

TEST(Mp4Dispatch, EveryMemberByNumber) {
  using automation::Variant;
  struct Member {
    int dispid;
    const char* name;
    const char16_t* value;  // as typed.m4a holds it
  } members[] = {
      {16, "MP4Album", u"Album"},          {17, "MP4Artist", u"Artist \u00e9\u4e2d"},
      {18, "MP4Author", u""},              {19, "MP4BeatsPerMinute", u"128"},
      {20, "MP4CDSetNumber", u"2"},        {21, "MP4Comment", u"second"},
      {22, "MP4Compilation", u"1"},        {23, "MP4Composer", u"Writer"},
      {24, "MP4Copyright", u""},           {25, "MP4Date", u"1999-05-01"},
      {26, "MP4Description", u""},         {27, "MP4Director", u""},
      {28, "MP4Disclaimer", u""},          {29, "MP4Encoder", u"Encoder Tool"},
      {30, "MP4Genre", u"Techno"},         {31, "MP4NetUrl", u""},
      {32, "MP4OriginalArtist", u""},      {33, "MP4OriginalFormat", u""},
      {34, "MP4OriginalSource", u""},      {35, "MP4Performer", u""},
      {36, "MP4Producer", u""},            {37, "MP4Title", u"Mutagen Title"},
      {38, "MP4Track", u"5"},              {39, "MP4Warning", u""},
  };
  TempDir dir;
  ScopedEnv reg("AUTOMATION_REGISTRY_FILE", dir.file("registry.ini"));
  ASSERT_EQ(automation::RegisterLibrary(SONAVEX_LIBRARY_PATH), AUTO_S_OK);
  automation::DispatchPtr ctrl;
  ASSERT_EQ(automation::CreateObject(SONAVEX_PROGID, ctrl), AUTO_S_OK);
  ASSERT_EQ(ctrl.Call(SX_AUDIOAnalyzeFile, {Variant::Str(FromUtf8(kDir + "typed.m4a"))}).i2(), kFormatMP4);
  for (const auto& m : members) {
    const std::string n = m.name;
    EXPECT_EQ(ctrl.IdOf(std::u16string(n.begin(), n.end())), m.dispid) << m.name;
    EXPECT_EQ(ctrl.Get(m.dispid).str(), m.value) << m.name;
  }
  // The setters change memory only, each its own field.
  for (const auto& m : members) EXPECT_EQ(ctrl.Put(m.dispid, Variant::Str(FromUtf8(std::string("new ") + m.name))), AUTO_S_OK);
  for (const auto& m : members) EXPECT_EQ(ToUtf8(ctrl.Get(m.dispid).str()), std::string("new ") + m.name);

  EXPECT_EQ(ctrl.IdOf(u"MP4GetPictureCount"), 200);
  EXPECT_EQ(ctrl.IdOf(u"MP4LoadPicture"), 201);
  Variant count = ctrl.Call(200);
  ASSERT_EQ(count.type(), AUTO_VT_I4);
  EXPECT_EQ(count.i4(), 2);
  const std::string out = dir.file("cover.png");
  Variant ok = ctrl.Call(201, {Variant::Str(FromUtf8(out)), Variant::I2(1)});
  ASSERT_EQ(ok.type(), AUTO_VT_BOOL);
  EXPECT_TRUE(ok.boolean());
  const Bytes png = TempDir::Read(out);
  EXPECT_EQ(std::string(png.begin(), png.end()), std::string("\x89PNG\r\n\x1a\nPNGBYTES"));
  EXPECT_FALSE(ctrl.Call(201, {Variant::Str(FromUtf8(out)), Variant::I2(2)}).boolean());
  ctrl.reset();
  automation::RegisterLibrary(SONAVEX_LIBRARY_PATH, true);
}
