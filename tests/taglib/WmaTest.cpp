// The WMA reader and writer: files made by ffmpeg and retagged by mutagen,
// plus headers rebuilt around their objects for the layouts the save must
// handle. Every save is checked with mutagen and ffprobe, and the bytes behind
// the header (the data object with the audio packets) must stay the same.
#include "RunCommand.h"
#include "Module.h"
#include "SonavexCtrl.h"
#include "TempDir.h"
#include "WMA.h"
#include "automation/Host.h"
#include "sonavex/Sonavex.h"

#include <gtest/gtest.h>

#include <array>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

using namespace sonavex;

namespace {

using Bytes = std::vector<unsigned char>;
const std::string kDir = std::string(DJVP_TEST_FIXTURES) + "/wma/";


// mutagen's view of the attributes: name -> "value" for texts, "type:value"
// for the other types (bytes in hex), in file order.
std::multimap<std::string, std::string> MutagenTags(const std::string& path) {
  static const char* kScript = R"PY(
import sys, mutagen.asf as A
f = A.ASF(sys.argv[1])
for k, vs in f.tags.as_dict().items():
    for v in vs:
        if v.TYPE == A.UNICODE: s = v.value
        elif v.TYPE == A.BYTEARRAY: s = 'bytes:' + v.value.hex()
        elif v.TYPE == A.BOOL: s = 'bool:' + str(v.value)
        else: s = 'num:' + str(v.value)
        print(k + '\t' + s.replace('\n', ' '))
)PY";
  TempDir dir;
  TempDir::Write(dir.file("read.py"), std::string(kScript));
  int status = -1;
  const std::string out = RunCommand("/usr/bin/python3 " + dir.file("read.py") + " '" + path + "' 2>&1", &status);
  EXPECT_EQ(status, 0) << out;
  std::multimap<std::string, std::string> tags;
  std::istringstream in(out);
  std::string line;
  while (std::getline(in, line)) {
    const auto tab = line.find('\t');
    if (tab != std::string::npos) tags.emplace(line.substr(0, tab), line.substr(tab + 1));
  }
  return tags;
}

std::string One(const std::multimap<std::string, std::string>& tags, const std::string& key) {
  const auto n = tags.count(key);
  EXPECT_LE(n, 1u) << key;
  auto it = tags.find(key);
  return it == tags.end() ? "<none>" : it->second;
}

// ffprobe must open the file, see the WMA stream and decode every packet.
std::string Probe(const std::string& path) {
  int status = -1;
  const std::string out =
      RunCommand("ffprobe -v error -show_entries stream=codec_name,channels,sample_rate:format_tags -of default=nw=1 '" +
              path + "' 2>&1",
          &status);
  EXPECT_EQ(status, 0) << out;
  return out;
}
std::string Packets(const std::string& path) {
  return RunCommand("ffprobe -v error -show_entries packet=pts,size,flags -of csv '" + path + "' 2>/dev/null");
}

// --- ASF building blocks -------------------------------------------------

using Guid = std::array<unsigned char, 16>;
Guid MakeGuid(const char* t) {
  unsigned char v[16] = {};
  int n = 0;
  for (int i = 0; t[i]; ++i) {
    if (t[i] == '-') continue;
    const int d = t[i] <= '9' ? t[i] - '0' : t[i] - 'A' + 10;
    v[n / 2] = static_cast<unsigned char>(v[n / 2] * 16 + d);
    ++n;
  }
  const int order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
  Guid g;
  for (int i = 0; i < 16; ++i) g[i] = v[order[i]];
  return g;
}
const Guid kHeader = MakeGuid("75B22630-668E-11CF-A6D9-00AA0062CE6C");
const Guid kCD = MakeGuid("75B22633-668E-11CF-A6D9-00AA0062CE6C");
const Guid kECD = MakeGuid("D2D0A440-E307-11D2-97F0-00A0C95EA850");
const Guid kPadding = MakeGuid("1806D474-CADF-4509-A4BA-9AABCB96AAE8");
const Guid kExtension = MakeGuid("5FBF03B5-A92E-11CF-8EE3-00C00C205365");

void PutLE(Bytes& b, uint64_t v, int n) {
  for (int i = 0; i < n; ++i) b.push_back(static_cast<unsigned char>(v >> (8 * i)));
}
uint64_t GetLE(const Bytes& b, size_t at, int n) {
  uint64_t v = 0;
  for (int i = n - 1; i >= 0; --i) v = v << 8 | b[at + i];
  return v;
}
Bytes Utf16z(const std::u16string& s) {
  Bytes b;
  for (char16_t c : s) PutLE(b, c, 2);
  PutLE(b, 0, 2);
  return b;
}
Bytes Object(const Guid& g, const Bytes& body) {
  Bytes b(g.begin(), g.end());
  PutLE(b, body.size() + 24, 8);
  b.insert(b.end(), body.begin(), body.end());
  return b;
}
Bytes CdBody(const std::array<std::u16string, 5>& s) {
  Bytes b;
  for (const auto& x : s) PutLE(b, x.empty() ? 0 : 2 * x.size() + 2, 2);
  for (const auto& x : s)
    if (!x.empty()) {
      const Bytes u = Utf16z(x);
      b.insert(b.end(), u.begin(), u.end());
    }
  return b;
}
Bytes Descriptor(const std::u16string& name, int type, const Bytes& value) {
  Bytes b;
  const Bytes n = Utf16z(name);
  PutLE(b, n.size(), 2);
  b.insert(b.end(), n.begin(), n.end());
  PutLE(b, static_cast<uint64_t>(type), 2);
  PutLE(b, value.size(), 2);
  b.insert(b.end(), value.begin(), value.end());
  return b;
}
Bytes TextDescriptor(const std::u16string& name, const std::u16string& value) {
  return Descriptor(name, 0, Utf16z(value));
}
Bytes EcdBody(const std::vector<Bytes>& descriptors) {
  Bytes b;
  PutLE(b, descriptors.size(), 2);
  for (const auto& d : descriptors) b.insert(b.end(), d.begin(), d.end());
  return b;
}
Bytes ExtensionBody(const std::vector<Bytes>& children) {
  Bytes b = {0x11, 0xD2, 0xD3, 0xAB, 0xBA, 0xA9, 0xCF, 0x11, 0x8E, 0xE6, 0x00, 0xC0, 0x0C, 0x20, 0x53, 0x65, 6, 0};
  Bytes data;
  for (const auto& c : children) data.insert(data.end(), c.begin(), c.end());
  PutLE(b, data.size(), 4);
  b.insert(b.end(), data.begin(), data.end());
  return b;
}

// A file split into what lies in front of the header, the header's objects
// (whole, with their object headers) and everything behind the header.
struct Asf {
  Bytes prefix;
  std::vector<Bytes> objects;
  Bytes rest;

  static Asf Split(const Bytes& file, size_t start = 0) {
    Asf a;
    a.prefix.assign(file.begin(), file.begin() + static_cast<long>(start));
    const uint64_t size = GetLE(file, start + 16, 8);
    const uint64_t count = GetLE(file, start + 24, 4);
    size_t off = start + 30;
    for (uint64_t i = 0; i < count; ++i) {
      const uint64_t n = GetLE(file, off + 16, 8);
      a.objects.emplace_back(file.begin() + static_cast<long>(off), file.begin() + static_cast<long>(off + n));
      off += n;
    }
    EXPECT_EQ(off, start + size);
    a.rest.assign(file.begin() + static_cast<long>(start + size), file.end());
    return a;
  }
  Bytes Join() const {
    Bytes b = prefix;
    Bytes children;
    for (const auto& o : objects) children.insert(children.end(), o.begin(), o.end());
    b.insert(b.end(), kHeader.begin(), kHeader.end());
    PutLE(b, children.size() + 30, 8);
    PutLE(b, objects.size(), 4);
    b.push_back(1);
    b.push_back(2);
    b.insert(b.end(), children.begin(), children.end());
    b.insert(b.end(), rest.begin(), rest.end());
    return b;
  }
  static bool Is(const Bytes& o, const Guid& g) { return std::equal(g.begin(), g.end(), o.begin()); }
  int Find(const Guid& g) const {
    for (size_t i = 0; i < objects.size(); ++i)
      if (Is(objects[i], g)) return static_cast<int>(i);
    return -1;
  }
  void Remove(const Guid& g) {
    for (int i; (i = Find(g)) >= 0;) objects.erase(objects.begin() + i);
  }
};

// Reads a file with the WMA reader alone, as the analysis does behind a tag
// of prefix bytes.
bool ReadWma(CWMA& wma, const std::string& path, int32_t prefix = 0) {
  wma.State().fileSize = static_cast<int32_t>(std::filesystem::file_size(path));
  wma.State().id3v2Size = prefix;
  TagFile f;
  EXPECT_TRUE(f.Open(path, TagFile::Mode::Read));
  return wma.Read(f);
}

// A copy of a fixture (or of given bytes) in a temporary folder.
struct Work {
  TempDir dir;
  std::string path;
  explicit Work(const Bytes& bytes, const std::string& name = "song.wma") : path(dir.file(name)) {
    TempDir::Write(path, bytes);
  }
};
Bytes Fixture(const std::string& name) { return TempDir::Read(kDir + name); }

// The error number of the last ReadChangeSave.
int32_t g_lastSaveError = 0;

// Saves through a reader object that read the file first.
bool ReadChangeSave(const std::string& path, const std::function<void(CWMA&)>& change, int32_t prefix = 0) {
  CWMA wma;
  EXPECT_TRUE(ReadWma(wma, path, prefix));
  change(wma);
  wma.State().id3v2Size = prefix;
  const bool saved = wma.SaveChangesToFile(FromUtf8(path));
  g_lastSaveError = wma.State().lastError;
  return saved;
}

}  // namespace

TEST(WmaRead, FfmpegFileGivesPropertiesAndFields) {
  CWMA wma;
  ASSERT_TRUE(ReadWma(wma, kDir + "plain.wma"));
  EXPECT_TRUE(wma.IsValid());
  EXPECT_EQ(wma.GetChannels(), 1);
  EXPECT_EQ(wma.GetChannelMode(), u"Mono");
  EXPECT_EQ(wma.GetSampleRate(), 22050);
  EXPECT_EQ(wma.GetBitrate(), 32);
  EXPECT_NEAR(wma.GetDuration(), 0.6, 0.1);
  EXPECT_EQ(wma.GetVersion(), u"");
  EXPECT_EQ(wma.GetField(0), u"Plain Title");
  EXPECT_EQ(wma.GetField(1), u"Some Artist");
  EXPECT_EQ(wma.GetField(2), u"(c) Someone");
  EXPECT_EQ(wma.GetField(5), u"An Album");
  EXPECT_EQ(wma.GetField(6), u"3");
  EXPECT_EQ(wma.GetField(8), u"Rock");
  // ffmpeg stores the date and the comment under names of its own: they
  // are read as those fields.
  EXPECT_EQ(wma.GetField(7), u"2001");
  EXPECT_EQ(wma.GetField(3), u"A comment");
}

TEST(WmaRead, TypedAttributesReadAsText) {
  CWMA wma;
  ASSERT_TRUE(ReadWma(wma, kDir + "typed.wma"));
  EXPECT_EQ(wma.GetField(7), u"2005");           // 32-bit number
  EXPECT_EQ(wma.GetField(6), u"5");              // "WM/Track" 4 counts from 0
  EXPECT_EQ(wma.GetField(30), u"true");          // boolean
  EXPECT_EQ(wma.GetField(25), u"128");           // 16-bit number
  EXPECT_EQ(wma.GetField(13), u"1234567890123");  // 64-bit number
  EXPECT_EQ(wma.GetField(15), u"");              // a byte array has no text
  EXPECT_EQ(wma.GetField(11), u"Comp");
}

TEST(WmaRead, ControlAnswersThroughTheMembers) {
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(FromUtf8(kDir + "typed.wma")), kFormatWMA);
  EXPECT_EQ(c.GetWMATitle(), u"Plain Title");
  EXPECT_EQ(c.GetWMAYear(), u"2005");
  EXPECT_EQ(c.GetWMATrackNumber(), u"5");
  EXPECT_EQ(c.GetWMAMood(), u"true");
  EXPECT_EQ(c.GetAUDIOTitle(), u"Plain Title");
  EXPECT_EQ(c.GetAUDIOAlbum(), u"An Album");
  EXPECT_EQ(c.GetAUDIOTrack(), u"5");
  EXPECT_EQ(c.GetAUDIOYear(), u"2005");
  EXPECT_EQ(c.AUDIOGetSampleRate(), 22050);
  EXPECT_EQ(c.AUDIOGetChannelMode(), u"Mono");
  c.SetWMAISRC(u"XX-123");
  EXPECT_EQ(c.GetWMAISRC(), u"XX-123");
}

TEST(WmaRead, DescriptionAndAttributeMerge) {
  struct Case {
    std::u16string cd, attribute, expected;
  } cases[] = {{u"AB", u"ABC", u"ABC"}, {u"ABCD", u"ABC", u"ABCD"}, {u"ABC", u"XYZ", u"XYZ"}, {u"", u"X", u"X"}};
  for (const auto& k : cases) {
    Asf a = Asf::Split(Fixture("plain.wma"));
    a.objects[static_cast<size_t>(a.Find(kCD))] = Object(kCD, CdBody({k.cd, u"", u"", k.cd, u""}));
    a.objects[static_cast<size_t>(a.Find(kECD))] = Object(
        kECD, EcdBody({TextDescriptor(u"WM/Title", k.attribute), TextDescriptor(u"wm/description", k.attribute)}));
    Work w(a.Join());
    CWMA wma;
    ASSERT_TRUE(ReadWma(wma, w.path));
    EXPECT_EQ(wma.GetField(0), k.expected);
    EXPECT_EQ(wma.GetField(3), k.expected);  // names compare without case
  }
}

TEST(WmaRead, DeclaredValueLengthsAreHonoured) {
  // A boolean of two bytes, a 32-bit number of eight bytes and a 16-bit number
  // of four bytes: each is read at its declared length, so the descriptors
  // behind them still read correctly.
  Asf a = Asf::Split(Fixture("plain.wma"));
  a.objects[static_cast<size_t>(a.Find(kECD))] = Object(
      kECD, EcdBody({Descriptor(u"WM/Mood", 2, {1, 0}), TextDescriptor(u"WM/Genre", u"Jazz"),
                     Descriptor(u"WM/Year", 3, {0xD5, 0x07, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF}),
                     TextDescriptor(u"WM/Composer", u"Me"), Descriptor(u"WM/BeatsPerMinute", 5, {120, 0, 9, 9}),
                     TextDescriptor(u"WM/Writer", u"You"), Descriptor(u"WM/Period", 3, {1, 2}),
                     TextDescriptor(u"WM/Mood", u"calm")}));
  Work w(a.Join());
  CWMA wma;
  ASSERT_TRUE(ReadWma(wma, w.path));
  EXPECT_EQ(wma.GetField(8), u"Jazz");
  EXPECT_EQ(wma.GetField(7), u"2005");
  EXPECT_EQ(wma.GetField(11), u"Me");
  EXPECT_EQ(wma.GetField(25), u"120");
  EXPECT_EQ(wma.GetField(23), u"You");
  EXPECT_EQ(wma.GetField(32), u"");      // too short for a 32-bit number
  EXPECT_EQ(wma.GetField(30), std::u16string(u"true\0calm", 9));  // each descriptor of a name is one more value
}

TEST(WmaRead, DamagedHeadersAreReadAsFarAsTheyGo) {
  const Bytes good = Fixture("plain.wma");
  {  // Not a header object: not WMA, and the object is cleared.
    Bytes b = good;
    b[0] ^= 0xFF;
    Work w(b);
    CWMA wma;
    ASSERT_TRUE(ReadWma(wma, kDir + "typed.wma"));
    EXPECT_FALSE(ReadWma(wma, w.path));
    EXPECT_FALSE(wma.IsValid());
    EXPECT_EQ(wma.GetField(0), u"");
    EXPECT_EQ(wma.GetSampleRate(), 0);
  }
  // Sizes and counts that run past their object, the header or the file.
  Asf a = Asf::Split(good);
  const int cd = a.Find(kCD);
  struct Damage {
    size_t at;
    uint64_t value;
    int width;
  } damages[] = {
      {16, 0xFFFFFFFFFFull, 8},                                          // header size
      {24, 0xFFFFFFFF, 4},                                               // object count
      {30 + 16, 5, 8},                                                   // first object smaller than its header
      {30 + 16, 0x7FFFFFFFFFFFFFFFull, 8},                               // first object past everything
  };
  for (const auto& d : damages) {
    Bytes b = good;
    for (int i = 0; i < d.width; ++i) b[d.at + static_cast<size_t>(i)] = static_cast<unsigned char>(d.value >> (8 * i));
    Work w(b);
    CWMA wma;
    EXPECT_TRUE(ReadWma(wma, w.path));
    // Such a header cannot be carried over: the save refuses and leaves the file.
    wma.State().lastError = 0;
    EXPECT_FALSE(wma.SaveChangesToFile(FromUtf8(w.path)));
    EXPECT_EQ(wma.State().lastError, EINVAL);
    EXPECT_EQ(TempDir::Read(w.path), b);
  }
  {  // Description lengths past their object.
    Asf x = a;
    Bytes cdBody = CdBody({u"Title", u"Author", u"", u"", u""});
    cdBody[2] = 0xFF;  // the author's length runs past the body
    x.objects[static_cast<size_t>(cd)] = Object(kCD, cdBody);
    Bytes ecd = EcdBody({TextDescriptor(u"WM/Genre", u"Pop"), TextDescriptor(u"WM/Mood", u"sad")});
    ecd[ecd.size() - 10] = 0xFF;  // the last value's length runs past the body
    ecd[ecd.size() - 9] = 0xFF;
    x.objects[static_cast<size_t>(x.Find(kECD))] = Object(kECD, ecd);
    Work w(x.Join());
    CWMA wma;
    ASSERT_TRUE(ReadWma(wma, w.path));
    EXPECT_EQ(wma.GetField(0), u"Title");
    EXPECT_EQ(wma.GetField(1), u"");
    EXPECT_EQ(wma.GetField(8), u"Pop");
    EXPECT_EQ(wma.GetField(30), u"");
  }
}

TEST(WmaSave, RewriteOfAFileWithoutPadding) {
  const Bytes before = Fixture("plain.wma");
  Work w(before);
  const std::string packets = Packets(w.path);
  ASSERT_TRUE(ReadChangeSave(w.path, [](CWMA& wma) {
    wma.SetField(0, u"A Much Longer Title Than Before");
    wma.SetField(6, u"7");
    wma.SetField(7, u"1999");
    wma.SetField(11, u"Composer \u00e9\u4e2d");
    wma.SetField(2, u"");
  }));
  const Asf after = Asf::Split(TempDir::Read(w.path));
  EXPECT_EQ(after.rest, Asf::Split(before).rest);  // the data object is untouched
  EXPECT_EQ(Packets(w.path), packets);
  // A 4096-byte padding object was added; the header extension without
  // children keeps its full 46 bytes.
  const int pad = after.Find(kPadding);
  ASSERT_GE(pad, 0);
  EXPECT_EQ(after.objects[static_cast<size_t>(pad)].size(), 4096u);
  ASSERT_GE(after.Find(kExtension), 0);
  EXPECT_EQ(after.objects[static_cast<size_t>(after.Find(kExtension))].size(), 46u);

  const auto tags = MutagenTags(w.path);
  EXPECT_EQ(One(tags, "Title"), "A Much Longer Title Than Before");
  EXPECT_EQ(One(tags, "WM/Title"), "A Much Longer Title Than Before");
  EXPECT_EQ(One(tags, "WM/TrackNumber"), "7");
  EXPECT_EQ(One(tags, "WM/Track"), "6");
  EXPECT_EQ(One(tags, "WM/Year"), "1999");
  EXPECT_EQ(One(tags, "WM/Composer"), "Composer \xc3\xa9\xe4\xb8\xad");
  EXPECT_EQ(One(tags, "Copyright"), "<none>");
  EXPECT_EQ(One(tags, "date"), "<none>");  // ffmpeg's copy of the year does not stay stale
  EXPECT_EQ(One(tags, "WM/AlbumTitle"), "An Album");
  const std::string probe = Probe(w.path);
  EXPECT_NE(probe.find("codec_name=wmav2"), std::string::npos) << probe;
  EXPECT_NE(probe.find("A Much Longer Title Than Before"), std::string::npos) << probe;

  // Read back by the library itself.
  CWMA again;
  ASSERT_TRUE(ReadWma(again, w.path));
  EXPECT_EQ(again.GetField(0), u"A Much Longer Title Than Before");
  EXPECT_EQ(again.GetField(6), u"7");
  EXPECT_EQ(again.GetField(11), u"Composer \u00e9\u4e2d");
}

// ffmpeg writes its own "title", a second "Author", "copyright", "date" and a
// "Description" beside the content description; a save leaves no stale copy
// of a field for other players to show.
TEST(WmaSave, FfmpegsOwnCopiesOfTheFieldsDoNotStayStale) {
  Work w(Fixture("plain.wma"));
  ASSERT_TRUE(ReadChangeSave(w.path, [](CWMA& wma) {
    wma.SetField(0, u"New Title");
    wma.SetField(1, u"New Artist");
    wma.SetField(2, u"(c) New");
    wma.SetField(7, u"2024");
  }));
  const auto tags = MutagenTags(w.path);
  EXPECT_EQ(One(tags, "Title"), "New Title");
  EXPECT_EQ(One(tags, "title"), "<none>");
  EXPECT_EQ(tags.count("Author"), 1u);
  EXPECT_EQ(One(tags, "Author"), "New Artist");
  EXPECT_EQ(One(tags, "Copyright"), "(c) New");
  EXPECT_EQ(One(tags, "copyright"), "<none>");
  EXPECT_EQ(One(tags, "date"), "<none>");
  EXPECT_EQ(One(tags, "WM/Year"), "2024");
  EXPECT_EQ(One(tags, "Description"), "A comment");  // kept, in the content description
  const std::string probe = Probe(w.path);
  EXPECT_NE(probe.find("title=New Title"), std::string::npos) << probe;
  EXPECT_NE(probe.find("artist=New Artist"), std::string::npos) << probe;
  EXPECT_EQ(probe.find("Plain Title"), std::string::npos) << probe;
  EXPECT_EQ(probe.find("Some Artist"), std::string::npos) << probe;
}

// Copies of fields in the Metadata Library and Metadata objects (mutagen
// puts an attribute with a language or a stream there): a changed field
// loses its copies there, so no reader shows the old value beside the new;
// the copies of unchanged fields, and every other record, stay. The audio
// packets stay as they were.
TEST(WmaSave, CopiesInTheMetadataLibraryFollowTheChangedField) {
  struct Case {
    const char* name;
    std::function<void(CSonavexCtrl&)> change;
    std::vector<std::pair<std::string, std::string>> expect;  // attribute: its values, joined by "|"
    const char* probeArtist;                                  // what ffprobe shows as the artist
  } cases[] = {
      {"artist changed", [](CSonavexCtrl& c) { c.SetWMAArtist(u"NEW"); },
       {{"Author", "NEW"}, {"WM/Author", "NEW"}, {"WM/Composer", "Lib Composer"}, {"WM/AlbumTitle", "An Album|Stream Album"}},
       "NEW"},
      {"album changed", [](CSonavexCtrl& c) { c.SetWMAAlbum(u"New Album"); },
       {{"Author", "Some Artist|Lib Artist"}, {"WM/Composer", "Lib Composer"}, {"WM/AlbumTitle", "New Album"}},
       "Some Artist"},
      {"composer changed", [](CSonavexCtrl& c) { c.SetWMAComposer(u"New Composer"); },
       {{"Author", "Some Artist|Lib Artist"}, {"WM/Composer", "New Composer"}, {"WM/AlbumTitle", "An Album|Stream Album"}},
       "Some Artist"},
      {"only the title changed", [](CSonavexCtrl& c) { c.SetWMATitle(u"New Title"); },
       {{"Author", "Some Artist|Lib Artist"}, {"WM/Composer", "Lib Composer"}, {"WM/AlbumTitle", "An Album|Stream Album"},
        {"Title", "New Title"}},
       "Some Artist"},
  };
  const std::string packets = Packets(kDir + "library.wma");
  ASSERT_FALSE(packets.empty());
  for (const auto& k : cases) {
    SCOPED_TRACE(k.name);
    Work w(Fixture("library.wma"));
    CSonavexCtrl c;
    ASSERT_EQ(c.AUDIOAnalyzeFile(FromUtf8(w.path)), kFormatWMA);
    k.change(c);
    ASSERT_TRUE(c.WMASaveChangesToFile(FromUtf8(w.path))) << c.AUDIOGetLastErrorNumber();
    const auto tags = MutagenTags(w.path);
    for (const auto& [name, values] : k.expect) {
      std::string got;
      for (auto [it, end] = tags.equal_range(name); it != end; ++it) got += (got.empty() ? "" : "|") + it->second;
      EXPECT_EQ(got, values) << name;
    }
    EXPECT_EQ(tags.count("WM/Picture"), 1u);
    EXPECT_NE(Probe(w.path).find(std::string("TAG:artist=") + k.probeArtist + "\n"), std::string::npos) << Probe(w.path);
    EXPECT_EQ(Packets(w.path), packets);
  }
}

TEST(WmaSave, InPlaceWhenThePaddingHasRoom) {
  Asf a = Asf::Split(Fixture("typed.wma"));
  a.Remove(kPadding);
  a.objects.push_back(Object(kPadding, Bytes(10000, 0)));
  const Bytes before = a.Join();
  Work w(before);
  const std::string packets = Packets(w.path);
  const auto oldTags = MutagenTags(w.path);

  ASSERT_TRUE(ReadChangeSave(w.path, [](CWMA& wma) { wma.SetField(0, u"A longer title that fits"); }));
  const Bytes now = TempDir::Read(w.path);
  ASSERT_EQ(now.size(), before.size());
  const Asf after = Asf::Split(now);
  EXPECT_EQ(after.rest, a.rest);
  EXPECT_EQ(Packets(w.path), packets);
  EXPECT_LT(after.objects[static_cast<size_t>(after.Find(kPadding))].size(), 10024u);

  const auto tags = MutagenTags(w.path);
  EXPECT_EQ(One(tags, "Title"), "A longer title that fits");
  EXPECT_EQ(One(tags, "WM/Title"), "A longer title that fits");
  // Unknown descriptors come back byte for byte, also a known name stored as a
  // byte array, and the attributes of the metadata objects stay.
  EXPECT_EQ(One(tags, "X/Big64"), One(oldTags, "X/Big64"));
  EXPECT_EQ(One(tags, "WM/Picture"), One(oldTags, "WM/Picture"));
  EXPECT_EQ(One(tags, "WM/Lyrics"), "bytes:010203");
  EXPECT_EQ(tags.count("Author"), oldTags.count("Author"));
  // Typed known values are written back as texts.
  EXPECT_EQ(One(tags, "WM/Year"), "2005");
  EXPECT_EQ(One(tags, "WM/Mood"), "true");
  EXPECT_EQ(One(tags, "WM/BeatsPerMinute"), "128");
  EXPECT_EQ(One(tags, "WM/EncodingTime"), "1234567890123");
  EXPECT_EQ(One(tags, "WM/TrackNumber"), "5");
  EXPECT_EQ(One(tags, "WM/Track"), "4");
  Probe(w.path);
}

TEST(WmaSave, TooLittleRoomRewritesWithAFullPadding) {
  // A title that leaves fewer than 24 bytes for the padding object.
  Asf a = Asf::Split(Fixture("typed.wma"));
  a.Remove(kPadding);
  a.objects.push_back(Object(kPadding, Bytes(10, 0)));
  Work w(a.Join());
  ASSERT_TRUE(ReadChangeSave(w.path, [](CWMA& wma) { wma.SetField(0, u"Plain Title2"); }));
  const Asf after = Asf::Split(TempDir::Read(w.path));
  EXPECT_EQ(after.rest, a.rest);
  EXPECT_EQ(after.objects[static_cast<size_t>(after.Find(kPadding))].size(), 4096u);
  EXPECT_EQ(One(MutagenTags(w.path), "Title"), "Plain Title2");
}

TEST(WmaSave, PaddingInsideTheHeaderExtensionIsResizedThere) {
  Asf a = Asf::Split(Fixture("plain.wma"));
  a.Remove(kPadding);
  a.objects[static_cast<size_t>(a.Find(kExtension))] =
      Object(kExtension, ExtensionBody({Object(kPadding, Bytes(500, 0))}));
  const Bytes before = a.Join();
  Work w(before);
  ASSERT_TRUE(ReadChangeSave(w.path, [](CWMA& wma) { wma.SetField(5, u"Another album name"); }));
  const Bytes now = TempDir::Read(w.path);
  ASSERT_EQ(now.size(), before.size());  // in place
  const Asf after = Asf::Split(now);
  EXPECT_EQ(after.Find(kPadding), -1);  // no padding was added at the top level
  const Bytes& ext = after.objects[static_cast<size_t>(after.Find(kExtension))];
  // The extension's size and data size follow the padding inside it.
  EXPECT_EQ(GetLE(ext, 16, 8), ext.size());
  EXPECT_EQ(GetLE(ext, 24 + 18, 4) + 46, ext.size());
  EXPECT_LT(ext.size(), 46u + 524u);
  EXPECT_TRUE(Asf::Is(Bytes(ext.begin() + 46, ext.end()), kPadding));
  EXPECT_EQ(One(MutagenTags(w.path), "WM/AlbumTitle"), "Another album name");
  Probe(w.path);
}

TEST(WmaSave, RepeatedObjectsAndMissingOnes) {
  {  // Two content descriptions and two paddings: the header stays consistent.
    Asf a = Asf::Split(Fixture("typed.wma"));
    a.objects.push_back(Object(kCD, CdBody({u"Second", u"", u"", u"", u""})));
    a.objects.push_back(Object(kPadding, Bytes(300, 0)));
    a.objects.push_back(Object(kECD, EcdBody({TextDescriptor(u"X/Second", u"kept"), TextDescriptor(u"WM/Genre", u"Soul")})));
    const Bytes before = a.Join();
    Work w(before);
    ASSERT_TRUE(ReadChangeSave(w.path, [](CWMA& wma) { wma.SetField(0, u"One"); }));
    const Bytes now = TempDir::Read(w.path);
    EXPECT_EQ(now.size(), before.size());
    const Asf after = Asf::Split(now);
    int cds = 0, ecds = 0, pads = 0;
    for (const auto& o : after.objects) cds += Asf::Is(o, kCD), ecds += Asf::Is(o, kECD), pads += Asf::Is(o, kPadding);
    EXPECT_EQ(cds, 1);
    EXPECT_EQ(ecds, 1);
    EXPECT_EQ(pads, 1);
    // The attributes of both extended descriptions are kept in the one left.
    const auto tags = MutagenTags(w.path);
    EXPECT_EQ(One(tags, "Title"), "One");
    EXPECT_EQ(One(tags, "X/Second"), "kept");
    EXPECT_EQ(One(tags, "X/Big64"), "num:9876543210");
    EXPECT_EQ(tags.count("WM/Genre"), 2u);  // the values of both
    EXPECT_EQ(One(tags, "WM/Composer"), "Comp");
    Probe(w.path);
  }
  {  // No descriptions and no padding: all three are appended.
    Asf a = Asf::Split(Fixture("plain.wma"));
    a.Remove(kCD);
    a.Remove(kECD);
    Work w(a.Join());
    ASSERT_TRUE(ReadChangeSave(w.path, [](CWMA& wma) {
      wma.SetField(0, u"New");
      wma.SetField(8, u"Genre");
    }));
    const Asf after = Asf::Split(TempDir::Read(w.path));
    const size_t n = after.objects.size();
    ASSERT_GE(n, 3u);
    EXPECT_TRUE(Asf::Is(after.objects[n - 3], kPadding));
    EXPECT_TRUE(Asf::Is(after.objects[n - 2], kCD));
    EXPECT_TRUE(Asf::Is(after.objects[n - 1], kECD));
    const auto tags = MutagenTags(w.path);
    EXPECT_EQ(One(tags, "Title"), "New");
    EXPECT_EQ(One(tags, "WM/Genre"), "Genre");
    Probe(w.path);
  }
}

TEST(WmaSave, TrackNumberAndWmTrack) {
  struct Case {
    std::u16string track;
    std::string trackNumber, wmTrack;
  } cases[] = {{u"5", "5", "4"}, {u"1", "1", "0"}, {u"0", "0", "<none>"}, {u"", "<none>", "<none>"},
               {u" 12/20", " 12/20", "11"}};
  for (const auto& k : cases) {
    Work w(Fixture("plain.wma"));
    ASSERT_TRUE(ReadChangeSave(w.path, [&](CWMA& wma) { wma.SetField(6, k.track); }));
    const auto tags = MutagenTags(w.path);
    EXPECT_EQ(One(tags, "WM/TrackNumber"), k.trackNumber);
    EXPECT_EQ(One(tags, "WM/Track"), k.wmTrack);
  }
}

TEST(WmaSave, TextTooLongForItsLengthFieldIsRefused) {
  for (int field : {0, 4, 15}) {
    Work w(Fixture("typed.wma"));
    const Bytes before = TempDir::Read(w.path);
    EXPECT_FALSE(ReadChangeSave(w.path, [&](CWMA& wma) { wma.SetField(field, std::u16string(32767, u'x')); }));
    EXPECT_EQ(g_lastSaveError, EFBIG);
    EXPECT_EQ(TempDir::Read(w.path), before);
  }
  // The longest text that fits is written whole.
  Work w(Fixture("plain.wma"));
  ASSERT_TRUE(ReadChangeSave(w.path, [](CWMA& wma) { wma.SetField(15, std::u16string(32766, u'y')); }));
  EXPECT_EQ(One(MutagenTags(w.path), "WM/Lyrics"), std::string(32766, 'y'));
}

TEST(WmaSave, Id3v2TagInFrontIsKept) {
  Bytes tag = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 30};
  Bytes frame = {'T', 'I', 'T', '2', 0, 0, 0, 5, 0, 0, 0, 'I', 'D', '3', 'x'};
  tag.insert(tag.end(), frame.begin(), frame.end());
  tag.resize(40, 0);
  for (bool longTitle : {false, true}) {
    Asf a = Asf::Split(Fixture("typed.wma"));
    a.prefix = tag;
    const Bytes before = a.Join();
    Work w(before);
    ASSERT_TRUE(ReadChangeSave(
        w.path, [&](CWMA& wma) { wma.SetField(0, longTitle ? std::u16string(3000, u'L') : u"Short"); }, 40));
    const Bytes now = TempDir::Read(w.path);
    EXPECT_EQ(now.size() == before.size(), !longTitle);  // in place, or a rewrite
    ASSERT_GE(now.size(), 40u);
    EXPECT_TRUE(std::equal(tag.begin(), tag.end(), now.begin()));
    const Asf after = Asf::Split(now, 40);
    EXPECT_EQ(after.rest, a.rest);
    CWMA again;
    ASSERT_TRUE(ReadWma(again, w.path, 40));
    EXPECT_EQ(again.GetField(0), longTitle ? std::u16string(3000, u'L') : u"Short");
    EXPECT_EQ(again.GetField(7), u"2005");
  }
  // Through the control: the analysis and the save's detection find the
  // header behind the tag.
  Asf a = Asf::Split(Fixture("typed.wma"));
  a.prefix = tag;
  Work w(a.Join());
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(FromUtf8(w.path)), kFormatWMA);
  EXPECT_EQ(c.GetWMATitle(), u"Plain Title");
  c.SetWMATitle(u"Behind a tag");
  ASSERT_TRUE(c.WMASaveChangesToFile(FromUtf8(w.path)));
  const Bytes now = TempDir::Read(w.path);
  EXPECT_TRUE(std::equal(tag.begin(), tag.end(), now.begin()));
  EXPECT_EQ(Asf::Split(now, 40).rest, a.rest);
  ASSERT_EQ(c.AUDIOAnalyzeFile(FromUtf8(w.path)), kFormatWMA);
  EXPECT_EQ(c.GetWMATitle(), u"Behind a tag");
}

TEST(WmaSave, MemberChecksTheFormatFirst) {
  CSonavexCtrl c;
  ASSERT_EQ(c.AUDIOAnalyzeFile(FromUtf8(kDir + "plain.wma")), kFormatWMA);
  c.SetWMAGenre(u"Trance");
  {  // Not a WMA file: 210 and nothing written.
    TempDir dir;
    const std::string other = dir.file("other.wma");
    const Bytes junk(4000, 0x41);
    TempDir::Write(other, junk);
    EXPECT_FALSE(c.WMASaveChangesToFile(FromUtf8(other)));
    EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagNotAllowed);
    EXPECT_EQ(TempDir::Read(other), junk);
    EXPECT_FALSE(c.WMASaveChangesToFile(FromUtf8(dir.file("missing.wma"))));
    EXPECT_EQ(c.AUDIOGetLastErrorNumber(), kErrTagNotAllowed);
  }
  Work w(Fixture("plain.wma"));
  ASSERT_TRUE(c.WMASaveChangesToFile(FromUtf8(w.path)));
  EXPECT_EQ(One(MutagenTags(w.path), "WM/Genre"), "Trance");

  // The generic save writes the seven generic fields into the WMA fields.
  CSonavexCtrl g;
  ASSERT_EQ(g.AUDIOAnalyzeFile(FromUtf8(w.path)), kFormatWMA);
  EXPECT_EQ(g.GetAUDIOGenre(), u"Trance");
  g.SetAUDIOTitle(u"Generic title");
  g.SetAUDIOYear(u"2020");
  g.SetAUDIOTrack(u"9");
  g.SetAUDIOComment(u"Generic comment");
  ASSERT_TRUE(g.AUDIOSaveChangesToFile(FromUtf8(w.path)));
  const auto tags = MutagenTags(w.path);
  EXPECT_EQ(One(tags, "Title"), "Generic title");
  EXPECT_EQ(One(tags, "WM/Year"), "2020");
  EXPECT_EQ(One(tags, "WM/TrackNumber"), "9");
  EXPECT_EQ(One(tags, "WM/Track"), "8");
  EXPECT_EQ(One(tags, "WM/Description"), "Generic comment");
  EXPECT_EQ(One(tags, "WM/Genre"), "Trance");
  Probe(w.path);
}

TEST(WmaSave, UnwritableFileReportsTheSystemError) {
  Work w(Fixture("plain.wma"));
  CWMA wma;
  ASSERT_TRUE(ReadWma(wma, w.path));
  wma.State().id3v2Size = 0;
  wma.State().lastError = 0;
  EXPECT_FALSE(wma.SaveChangesToFile(FromUtf8(w.dir.file("gone.wma"))));
  EXPECT_EQ(wma.State().lastError, ENOENT);
}

TEST(WmaSave, EveryObjectAndDescriptorIsKeptHoweverMany) {
  // 150 unknown descriptors (the first of them in front of the known ones)
  // and 150 unknown header objects, beside a padding with room for a change.
  Asf a = Asf::Split(Fixture("plain.wma"));
  std::vector<Bytes> descriptors;
  for (int i = 0; i < 150; ++i) {
    const std::string n = "X/Attr" + std::to_string(i);
    descriptors.push_back(Descriptor(std::u16string(n.begin(), n.end()), 4, {static_cast<unsigned char>(i), 0, 0, 0, 0, 0, 0, 1}));
  }
  descriptors.push_back(TextDescriptor(u"WM/Genre", u"Dub"));
  a.objects[static_cast<size_t>(a.Find(kECD))] = Object(kECD, EcdBody(descriptors));
  const Guid other = MakeGuid("12345678-9ABC-DEF0-1234-56789ABCDEF0");
  for (int i = 0; i < 150; ++i) a.objects.push_back(Object(other, Bytes(static_cast<size_t>(i % 7), static_cast<unsigned char>(i))));
  a.objects.push_back(Object(kPadding, Bytes(2000, 0)));
  const Bytes before = a.Join();
  Work w(before);
  ASSERT_TRUE(ReadChangeSave(w.path, [](CWMA& wma) {
    EXPECT_EQ(wma.GetField(8), u"Dub");
    wma.SetField(8, u"Dubstep");
  }));
  EXPECT_EQ(g_lastSaveError, 0);
  const Bytes now = TempDir::Read(w.path);
  EXPECT_EQ(now.size(), before.size());
  const Asf after = Asf::Split(now);
  ASSERT_EQ(after.objects.size(), a.objects.size());
  for (size_t i = 0; i < a.objects.size(); ++i) {
    if (Asf::Is(a.objects[i], other)) {
      EXPECT_EQ(after.objects[i], a.objects[i]) << i;
    }
  }
  // The unknown descriptors come first, byte for byte, then the known ones.
  const Bytes& ecd = after.objects[static_cast<size_t>(after.Find(kECD))];
  Bytes unknown;
  for (int i = 0; i < 150; ++i) unknown.insert(unknown.end(), descriptors[static_cast<size_t>(i)].begin(), descriptors[static_cast<size_t>(i)].end());
  ASSERT_GT(ecd.size(), 26 + unknown.size());
  EXPECT_TRUE(std::equal(unknown.begin(), unknown.end(), ecd.begin() + 26));
  const auto tags = MutagenTags(w.path);
  EXPECT_EQ(One(tags, "X/Attr149"), "num:72057594037928085");
  EXPECT_EQ(One(tags, "WM/Genre"), "Dubstep");
  Probe(w.path);
}

namespace {
struct WmaMember {
  int dispid;
  const char* name;
  const char* attribute;  // where mutagen finds the value after a save
};
// The 36 text members in the order of their field index, then the save.
constexpr WmaMember kWmaMembers[] = {
    {54, "WMATitle", "WM/Title"},          {51, "WMAArtist", "WM/Author"},
    {141, "WMACopyright", "Copyright"},    {52, "WMAComment", "WM/Description"},
    {142, "WMARating", "Rating"},          {50, "WMAAlbum", "WM/AlbumTitle"},
    {143, "WMATrackNumber", "WM/TrackNumber"}, {55, "WMAYear", "WM/Year"},
    {53, "WMAGenre", "WM/Genre"},          {144, "WMAAlbumArtist", "WM/AlbumArtist"},
    {145, "WMACategory", "WM/Category"},   {146, "WMAComposer", "WM/Composer"},
    {147, "WMAConductor", "WM/Conductor"}, {148, "WMAEncodingTime", "WM/EncodingTime"},
    {149, "WMALanguage", "WM/Language"},   {150, "WMALyrics", "WM/Lyrics"},
    {151, "WMAProvider", "WM/Provider"},   {152, "WMAPublisher", "WM/Publisher"},
    {153, "WMADistributor", "WM/ContentDistributor"}, {154, "WMAParentalRating", "WM/ParentalRating"},
    {155, "WMAProducer", "WM/Producer"},   {156, "WMAToolName", "WM/ToolName"},
    {157, "WMAToolVersion", "WM/ToolVersion"}, {158, "WMAWriter", "WM/Writer"},
    {159, "WMAAuthorURL", "WM/AuthorURL"}, {160, "WMABeatsPerMinute", "WM/BeatsPerMinute"},
    {169, "WMAContentGroupDescription", "WM/ContentGroupDescription"}, {161, "WMAEncodedBy", "WM/EncodedBy"},
    {162, "WMAEncodingSettings", "WM/EncodingSettings"}, {163, "WMAInitialKey", "WM/InitialKey"},
    {164, "WMAMood", "WM/Mood"},           {165, "WMAPartOfSet", "WM/PartOfSet"},
    {166, "WMAPeriod", "WM/Period"},       {167, "WMAPromotionURL", "WM/PromotionURL"},
    {168, "WMAUserWebURL", "WM/UserWebURL"}, {170, "WMAISRC", "WM/ISRC"},
};
}  // namespace

TEST(WmaDispatch, EveryMemberByNumberRoundTripsThroughTheFile) {
  using automation::Variant;
  TempDir dir;
  ScopedEnv reg("AUTOMATION_REGISTRY_FILE", dir.file("registry.ini"));
  ASSERT_EQ(automation::RegisterLibrary(SONAVEX_LIBRARY_PATH), AUTO_S_OK);
  automation::DispatchPtr ctrl;
  ASSERT_EQ(automation::CreateObject(SONAVEX_PROGID, ctrl), AUTO_S_OK);
  EXPECT_EQ(ctrl.IdOf(u"WMASaveChangesToFile"), 279);

  // A file whose extended description holds nothing yet, so that every
  // attribute mutagen reports afterwards comes from this save.
  Asf a = Asf::Split(Fixture("plain.wma"));
  a.objects[static_cast<size_t>(a.Find(kECD))] = Object(kECD, EcdBody({}));
  Work w(a.Join());
  ASSERT_EQ(ctrl.Call(SX_AUDIOAnalyzeFile, {Variant::Str(FromUtf8(w.path))}).i2(), kFormatWMA);
  EXPECT_EQ(ctrl.Get(54).str(), u"Plain Title");
  for (const auto& m : kWmaMembers) {
    const std::string n = m.name;
    EXPECT_EQ(ctrl.IdOf(std::u16string(n.begin(), n.end())), m.dispid) << m.name;
    const std::string value = "value of " + n;
    EXPECT_EQ(ctrl.Put(m.dispid, Variant::Str(FromUtf8(value))), AUTO_S_OK) << m.name;
    EXPECT_EQ(ToUtf8(ctrl.Get(m.dispid).str()), value) << m.name;
  }
  Variant saved = ctrl.Call(279, {Variant::Str(FromUtf8(w.path))});
  ASSERT_EQ(saved.type(), AUTO_VT_BOOL);
  EXPECT_TRUE(saved.boolean());

  const auto tags = MutagenTags(w.path);
  for (const auto& m : kWmaMembers) EXPECT_EQ(One(tags, m.attribute), std::string("value of ") + m.name) << m.name;
  EXPECT_EQ(One(tags, "Title"), "value of WMATitle");
  EXPECT_EQ(One(tags, "Author"), "value of WMAArtist");
  EXPECT_EQ(One(tags, "Description"), "value of WMAComment");
  EXPECT_EQ(tags.count("WM/Track"), 0u);  // the track text holds no number

  // A new analysis reads every value back.
  ASSERT_EQ(ctrl.Call(SX_AUDIOAnalyzeFile, {Variant::Str(FromUtf8(w.path))}).i2(), kFormatWMA);
  for (const auto& m : kWmaMembers) EXPECT_EQ(ToUtf8(ctrl.Get(m.dispid).str()), std::string("value of ") + m.name);
  EXPECT_EQ(ctrl.Call(SX_AUDIOGetSampleRate).i4(), 22050);
  Probe(w.path);
  ctrl.reset();
  automation::RegisterLibrary(SONAVEX_LIBRARY_PATH, true);
}

// A field of several values (U+0000 between them) is stored as one attribute
// per value and reads back as it was put, through the WMA members and the
// generic ones; several attributes of a name written by another program,
// and one attribute with zero characters inside (as earlier saves of this
// library wrote several values), read as the field's values, and putting
// the same values again writes them one attribute each.
TEST(WmaSave, SeveralValuesAreOneAttributeEach) {
  const std::u16string two(u"Rock\0Jazz", 9), people(u"Ann\0Bob", 7);
  auto mutagen = [](const std::string& code, const std::string& path) {
    int status = -1;
    const std::string out = RunCommand(
        "/usr/bin/python3 -c 'import sys, mutagen.asf as A; f = A.ASF(sys.argv[1]); " + code + "' '" + path + "' 2>&1",
        &status);
    EXPECT_EQ(status, 0) << out;
  };
  auto values = [](const std::multimap<std::string, std::string>& tags, const std::string& key) {
    std::vector<std::string> v;
    for (auto [it, end] = tags.equal_range(key); it != end; ++it) v.push_back(it->second);
    return v;
  };
  {  // Our save, read back by us and by mutagen.
    Work w(Fixture("plain.wma"));
    CSonavexCtrl c;
    ASSERT_EQ(c.AUDIOAnalyzeFile(FromUtf8(w.path)), kFormatWMA);
    c.SetAUDIOGenre(two);
    c.SetAUDIOArtist(people);
    ASSERT_TRUE(c.AUDIOSaveChangesToFile(FromUtf8(w.path))) << c.AUDIOGetLastErrorNumber();
    CSonavexCtrl back;
    ASSERT_EQ(back.AUDIOAnalyzeFile(FromUtf8(w.path)), kFormatWMA);
    EXPECT_EQ(back.GetWMAGenre(), two);
    EXPECT_EQ(back.GetAUDIOGenre(), two);
    EXPECT_EQ(back.GetAUDIOArtist(), people);
    const auto tags = MutagenTags(w.path);
    EXPECT_EQ(values(tags, "WM/Genre"), (std::vector<std::string>{"Rock", "Jazz"}));
    EXPECT_EQ(values(tags, "WM/Author"), (std::vector<std::string>{"Ann", "Bob"}));
    EXPECT_EQ(values(tags, "Author"), std::vector<std::string>{"Ann"});
    Probe(w.path);
  }
  struct Theirs {
    const char* name;
    const char* code;
  } theirs[] = {
      {"two attributes", "f[\"WM/Genre\"] = [\"Rock\", \"Jazz\"]; f.save()"},
      {"one attribute with a zero inside", "f[\"WM/Genre\"] = [\"Rock\\x00Jazz\"]; f.save()"},
  };
  for (const Theirs& t : theirs) {
    SCOPED_TRACE(t.name);
    Work w(Fixture("plain.wma"));
    mutagen(t.code, w.path);
    CSonavexCtrl c;
    ASSERT_EQ(c.AUDIOAnalyzeFile(FromUtf8(w.path)), kFormatWMA);
    EXPECT_EQ(c.GetWMAGenre(), two);
    c.SetWMAGenre(two);
    ASSERT_TRUE(c.WMASaveChangesToFile(FromUtf8(w.path))) << c.AUDIOGetLastErrorNumber();
    EXPECT_EQ(values(MutagenTags(w.path), "WM/Genre"), (std::vector<std::string>{"Rock", "Jazz"}));
  }
}
