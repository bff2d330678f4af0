// The tag editor's tests without its window: the window state in a clean
// world (StateTestEnv) with the tag library, and songs made by the encoders
// (the playlists' fixtures: lame, flac, oggenc, ffmpeg) that mutagen tags
// here with every field the editor shows and with frames, fields and
// attributes it does not show (pictures, user texts, private frames, unknown
// Vorbis fields and WMA attributes). Mutagen also reads the files back, and
// ffmpeg decodes their audio, so that a test sees what other programs see.
//
// A test opens the editor as the user does: the song is a row of the
// library, chosen, and "Show/Edit the Tags" clicked; the window's part (the
// modal showing) is a function the test gives, which drives the editor's
// controls and returns when done.
#pragma once

#include "RunCommand.h"
#include "StateTestEnv.h"
#include "library/Index.h"
#include "platform/Grid.h"
#include "tageditor/TagEditor.h"
#include "ui/TrackColumns.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '{' << l.join(QStringLiteral(", ")).toStdString() << '}'; }
inline void PrintTo(const QJsonObject& o, std::ostream* os) { *os << QJsonDocument(o).toJson(QJsonDocument::Indented).toStdString(); }
QT_END_NAMESPACE

namespace fs = std::filesystem;

class TagEditorTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    master_ = std::make_unique<TempDir>();
    TempDir::Write(master_->file("tag.py"), kTagScript);
    TempDir::Write(master_->file("dump.py"), kDumpScript);
    const std::string fixtures = DJVP_TEST_FIXTURES;
    // The songs a test can copy (Song()); kTagScript tags them.
    const std::map<std::string, std::string> sources = {
        {"v23.mp3", "/playlists/plain.mp3"},  {"v24.mp3", "/playlists/plain.mp3"},
        {"v1.mp3", "/playlists/plain.mp3"},   {"none.mp3", "/playlists/plain.mp3"},
        {"few.mp3", "/playlists/plain.mp3"},  {"full.mp3", "/playlists/plain.mp3"},
        {"flac.flac", "/playlists/song.flac"}, {"ogg.ogg", "/playlists/song.ogg"},
        {"wma.wma", "/playlists/song.wma"},   {"wav.wav", "/playlists/song.wav"},
        {"m4a.m4a", "/mp4/ffmpeg.m4a"}};
    for (const auto& [name, source] : sources) fs::copy_file(fixtures + source, master_->path() / name);
    int status = 0;
    const std::string out = RunCommand("/usr/bin/python3 '" + master_->file("tag.py") + "' '" + master_->path().string() +
                                           "' '" + fixtures + "/id3v2/cover.png' 2>&1",
                                       &status);
    ASSERT_EQ(status, 0) << out;
  }
  static void TearDownTestSuite() { master_.reset(); }

  void SetUp() override {
    ASSERT_TRUE(master_) << "the songs were not made";
    const QString library = QCoreApplication::applicationDirPath() + QStringLiteral("/libSonavex2.so");
    ASSERT_TRUE(QFile::exists(library)) << "build the Sonavex2 target first: " << library.toStdString();
    form = env.Open(true);
    ASSERT_TRUE(form->Sonavex1) << "the tag library control was not created";
  }

  // A copy of a song for this test.
  QString Song(const std::string& kind, const std::string& as = {}) {
    const fs::path to = work.path() / (as.empty() ? kind : as);
    fs::copy_file(master_->path() / kind, to, fs::copy_options::overwrite_existing);
    return QString::fromStdString(to.string());
  }

  // A library row for the file with the given cell texts (Artist, Title,
  // ...), made the current row.
  int32_t AddLibraryRow(const QString& path, const QStringList& cells = {}) {
    djvp::Grid& g = *form->DummyPlaylist;
    const int32_t row = g.AddRow();
    for (int c = 1; c <= djvp::ui::kTrackColumnCount; ++c) {
      const QString text = c - 1 < cells.size() ? cells[c - 1] : QStringLiteral("cell %1").arg(c);
      g.SetTextAt(row, c, c == djvp::ui::kFilename ? path : text);
    }
    g.SetCurrentRow(row);
    return row;
  }

  // "Show/Edit the Tags" on the current row; `shown` runs while the editor
  // is shown (after it returns the editor is gone). False when no editor
  // was shown.
  bool OpenEditor(const std::function<void(tageditor::TagEditorState&)>& shown) {
    bool opened = false;
    tageditor::mnuTag_Click(*form, [&](tageditor::TagEditorState& ed) {
      opened = true;
      closed = false;
      ed.Unload = [this] { closed = true; };
      shown(ed);
    });
    return opened;
  }
  // Adds the song as the library's current row and opens the editor on it.
  bool Edit(const QString& path, const std::function<void(tageditor::TagEditorState&)>& shown) {
    AddLibraryRow(path);
    return OpenEditor(shown);
  }

  // What mutagen reads from the file (see kDumpScript).
  static QJsonObject Mutagen(const QString& path) {
    int status = 0;
    const std::string out = RunCommand("/usr/bin/python3 '" + master_->file("dump.py") + "' '" + path.toStdString() + "'",
                                       &status);
    EXPECT_EQ(status, 0) << out;
    return QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
  }
  // The text of one field as mutagen reads it: the ID3 frame's or the Vorbis
  // field's or WMA attribute's first value ("" when absent).
  static QString Field(const QJsonObject& dump, const QString& key) { return dump["texts"].toObject()[key].toString(); }
  // The items of one ID3v2 list ("COMM", "USLT", "USER", "WXXX") in the
  // tag's order, each as its fields.
  static std::vector<QStringList> MutagenList(const QJsonObject& dump, const char* id) {
    std::vector<QStringList> items;
    for (const QJsonValue& v : dump["lists"].toObject()[id].toArray()) {
      QStringList item;
      for (const QJsonValue& f : v.toArray()) item << f.toString();
      items.push_back(item);
    }
    return items;
  }
  // Every field of the dump but the given ones, for "everything else stayed".
  static QJsonObject Without(const QJsonObject& dump, const QStringList& keys) {
    QJsonObject frames = dump["frames"].toObject();
    // mutagen names some frames by their content too ("WOAR:<url>").
    for (const QString& key : frames.keys())
      for (const QString& k : keys)
        if (key == k || key.startsWith(k + QLatin1Char(':'))) frames.remove(key);
    QJsonObject rest = dump;
    rest.remove(QStringLiteral("texts"));
    rest.remove(QStringLiteral("lists"));
    rest["frames"] = frames;
    return rest;
  }

  // The MD5 of the decoded audio (ffmpeg; its complaints about tags are
  // not part of it).
  static std::string AudioMd5(const QString& path) {
    int status = 0;
    std::string out = RunCommand("ffmpeg -v error -i '" + path.toStdString() + "' -map 0:a -f md5 - 2>/dev/null", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_EQ(out.rfind("MD5=", 0), 0u) << out;
    return out;
  }
  static std::vector<unsigned char> Bytes(const QString& path) { return TempDir::Read(path.toStdString()); }

  // The texts of a library row.
  QStringList Row(int32_t row) const {
    QStringList out;
    for (int c = 1; c <= djvp::ui::kTrackColumnCount; ++c) out << form->DummyPlaylist->TextAt(row, c);
    return out;
  }
  // The rows of the index file on the disk.
  static std::vector<QStringList> IndexRows() {
    djvp::Grid g;
    djvp::ui::InitLibraryColumns(g);
    std::vector<QStringList> rows;
    if (!g.LoadFromFile(library::IndexPath())) return rows;
    for (int32_t r = 1; r <= g.RowCount(); ++r) {
      QStringList row;
      for (int c = 1; c <= djvp::ui::kTrackColumnCount; ++c) row << g.TextAt(r, c);
      rows.push_back(row);
    }
    return rows;
  }

  TempDir work;
  StateTestEnv env;
  std::unique_ptr<djvp::MainState> form;
  bool closed = false;  // the editor asked to be closed

 private:
  static inline std::unique_ptr<TempDir> master_;

  // Tags the songs in the folder argv[1]; argv[2] is a PNG picture.
  static constexpr const char* kTagScript = R"PY(
import os, sys
from mutagen.id3 import (ID3, TPE1, TALB, TIT2, TYER, TDRC, TCON, TRCK, TIT1, TLAN, TENC, TCOP, TCOM, TPE2, TSSE,
    TBPM, TOWN, WCOM, WCOP, WOAF, WOAR, WOAS, WORS, WPAY, WPUB, WXXX, COMM, USLT, USER, APIC, TXXX, PRIV, POPM, UFID,
    TSRC)
from mutagen.flac import FLAC, Picture
from mutagen.oggvorbis import OggVorbis
from mutagen.asf import ASF, ASFByteArrayAttribute
import base64

top, cover = sys.argv[1], open(sys.argv[2], "rb").read()
p = lambda n: os.path.join(top, n)

def id3(version, path):
    e = 1 if version == 3 else 3
    t = ID3()
    t.add(TPE1(encoding=e, text="Дмитрий Шостакович"))
    t.add(TALB(encoding=e, text="Jazz Suites"))
    t.add(TIT2(encoding=e, text="夜の街 🌃"))
    if version == 3:
        t.add(TYER(encoding=e, text="1938"))
    else:
        t.add(TDRC(encoding=e, text="1938-05-01"))
    t.add(TCON(encoding=e, text="Jazz"))
    t.add(TRCK(encoding=e, text="2/12"))
    t.add(TIT1(encoding=e, text="Suites"))
    t.add(TLAN(encoding=e, text="rus"))
    t.add(TENC(encoding=e, text="Encoded by Ünal"))
    t.add(TCOP(encoding=e, text="℗ 1938 Melodiya"))
    t.add(TCOM(encoding=e, text="D. Shostakovich"))
    t.add(TPE2(encoding=e, text="State Jazz Orchestra"))
    t.add(TSSE(encoding=e, text="LAME 32 kbps"))
    t.add(TBPM(encoding=e, text="96"))
    t.add(TOWN(encoding=e, text="Collector"))
    t.add(WCOM(url="http://shop.example.com/"))
    t.add(WCOP(url="http://example.com/copyright"))
    t.add(WOAF(url="http://example.com/file"))
    t.add(WOAR(url="http://example.com/artist"))
    t.add(WOAS(url="http://example.com/source"))
    t.add(WORS(url="http://radio.example.com/"))
    t.add(WPAY(url="http://pay.example.com/"))
    t.add(WPUB(url="http://publisher.example.com/"))
    t.add(WXXX(encoding=e, desc="home", url="http://home.example.com/"))
    t.add(WXXX(encoding=e, desc="fans", url="http://fans.example.com/"))
    t.add(COMM(encoding=e, lang="eng", desc="", text="first line\r\nsecond line"))
    t.add(COMM(encoding=e, lang="PEA", desc="", text="91.0"))
    t.add(COMM(encoding=e, lang="SMP", desc="", text="01.50 sec"))
    t.add(USLT(encoding=e, lang="eng", desc="verse", text="La la la\r\nla la"))
    t.add(USLT(encoding=e, lang="rus", desc="куплет", text="Ля ля ля"))
    t.add(USER(encoding=e, lang="eng", text="Free to play"))
    t.add(USER(encoding=e, lang="deu", text="Frei"))
    t.add(APIC(encoding=e, mime="image/png", type=3, desc="front", data=cover))
    t.add(TXXX(encoding=e, desc="MusicBrainz Album Id", text="4e2b3c1a-0000-4000-8000-000000000001"))
    t.add(PRIV(owner="WM/MediaClassPrimaryID", data=b"\x01\x02\x03"))
    t.add(POPM(email="me@example.com", rating=196, count=7))
    t.add(UFID(owner="http://musicbrainz.org", data=b"track-id"))
    t.add(TSRC(encoding=e, text="RUA123456789"))
    t.save(path, v2_version=version, v1=2 if version == 3 else 0)

id3(3, p("v23.mp3"))
id3(4, p("v24.mp3"))

# A tag without lists, and one whose 200 frame slots are all taken.
t = ID3()
t.add(TPE1(encoding=1, text="Few Frames"))
t.add(TIT2(encoding=1, text="Short"))
t.save(p("few.mp3"), v2_version=3)
t = ID3()
t.add(TIT2(encoding=1, text="Full"))
t.add(COMM(encoding=1, lang="eng", desc="", text="the only comment"))
for n in range(198):
    t.add(TXXX(encoding=1, desc="field %d" % n, text="value %d" % n))
t.save(p("full.mp3"), v2_version=3)

def v1(title, artist, album, year, comment, genre, track):
    f = lambda s, n: s.encode("latin-1")[:n].ljust(n, b"\0")
    return b"TAG" + f(title, 30) + f(artist, 30) + f(album, 30) + f(year, 4) + f(comment, 28) + bytes([0, track, genre])
with open(p("v1.mp3"), "ab") as fh:
    fh.write(v1("Été indien", "Joe Dassin", "Le Jardin", "1975", "BPM\r\n120", 13, 4))

def vorbis(f):
    f.clear()
    for k, v in [("ARTIST", "Дмитрий Шостакович"), ("ALBUM", "Jazz Suites"), ("TITLE", "夜の街 🌃"),
                 ("DATE", "1938-05-01"), ("GENRE", "Jazz"), ("TRACKNUMBER", "2"), ("CONTACT", "info@example.com"),
                 ("COPYRIGHT", "℗ 1938 Melodiya"), ("DESCRIPTION", "A waltz"), ("ISRC", "RUA123456789"),
                 ("LICENSE", "CC BY 4.0"), ("LOCATION", "Moskva"), ("ORGANIZATION", "Melodiya"),
                 ("PERFORMER", "State Jazz Orchestra"), ("VERSION", "Remaster"),
                 ("COMMENT", "BPM\r\n96.0\r\nPEA\r\n91.0"),
                 ("REPLAYGAIN_TRACK_GAIN", "-3.20 dB"), ("MUSICBRAINZ_TRACKID", "4e2b3c1a"),
                 ("ALBUMARTIST", "Various Artists")]:
        f[k] = v

f = FLAC(p("flac.flac"))
vorbis(f)
pic = Picture(); pic.type = 3; pic.mime = "image/png"; pic.desc = "front"; pic.data = cover
f.add_picture(pic)
f.save()

o = OggVorbis(p("ogg.ogg"))
vorbis(o)
o["METADATA_BLOCK_PICTURE"] = base64.b64encode(pic.write()).decode("ascii")
o.save()

w = ASF(p("wma.wma"))
w.clear()
values = {"Author": "Дмитрий Шостакович", "Title": "夜の街 🌃", "Copyright": "℗ 1938 Melodiya",
          "Description": "BPM\r\n96.0\r\nPEA\r\n91.0", "Rating": "Good",
          "WM/AlbumTitle": "Jazz Suites", "WM/Year": "1938", "WM/Genre": "Jazz", "WM/TrackNumber": "2",
          "WM/AlbumArtist": "Various Artists", "WM/Category": "Classics", "WM/Composer": "D. Shostakovich",
          "WM/Conductor": "V. Knushevitsky", "WM/EncodingTime": "2020", "WM/Language": "ru",
          "WM/Lyrics": "La la la\r\nla la", "WM/Provider": "Provider", "WM/Publisher": "Melodiya",
          "WM/ContentDistributor": "Distributor", "WM/ParentalRating": "PG", "WM/Producer": "Producer",
          "WM/ToolName": "Tool", "WM/ToolVersion": "1.0", "WM/Writer": "Writer",
          "WM/AuthorURL": "http://example.com/artist", "WM/BeatsPerMinute": "96",
          "WM/ContentGroupDescription": "Suites", "WM/EncodedBy": "Ünal", "WM/EncodingSettings": "32 kbps",
          "WM/InitialKey": "Am", "WM/Mood": "Calm", "WM/PartOfSet": "1/2", "WM/Period": "1930s",
          "WM/PromotionURL": "http://example.com/promo", "WM/UserWebURL": "http://example.com/user",
          "WM/ISRC": "RUA123456789",
          "MusicBrainz/Track Id": "4e2b3c1a", "WM/MediaClassPrimaryID": "D1607DBC-E323-4BE2-86A1-48A42A28441E"}
for k, v in values.items():
    w[k] = v
w["WM/Picture"] = [ASFByteArrayAttribute(b"\x03" + len(cover).to_bytes(4, "little") + "image/png\0".encode("utf-16-le") + "\0".encode("utf-16-le") + cover)]
w.save()
)PY";

  // Prints what mutagen reads as JSON: "frames" every frame, field or
  // attribute in a form that shows any change of it, "texts" the first text
  // of each, "lists" the ID3v2 list frames in the tag's order, "v1" the raw
  // ID3v1 tag, "start" the first bytes of the file.
  static constexpr const char* kDumpScript = R"PY(
import sys, json, hashlib
import mutagen
from mutagen.id3 import ID3, ID3NoHeaderError
path = sys.argv[1]
out = {"frames": {}, "texts": {}, "lists": {}}
with open(path, "rb") as fh:
    data = fh.read()
out["start"] = data[:3].hex()
if data[-128:-125] == b"TAG":
    out["v1"] = data[-128:].hex()
low = path.lower()
if low.endswith(".mp3"):
    try:
        t = ID3(path, translate=False)
        out["version"] = "2.%d" % t.version[1] if data[:3] == b"ID3" else "1"
        for k, f in t.items():
            out["frames"][k] = repr(f)
            if hasattr(f, "url"):
                out["texts"][k[:4]] = f.url
            elif hasattr(f, "text"):
                out["texts"].setdefault(k[:4], str(f))
        out["lists"] = {
            "COMM": [[f.lang, f.desc, str(f)] for f in t.getall("COMM")],
            "USLT": [[f.lang, f.desc, f.text] for f in t.getall("USLT")],
            "USER": [[f.lang, f.text] for f in t.getall("USER")],
            "WXXX": [[f.desc, f.url] for f in t.getall("WXXX")],
        }
    except ID3NoHeaderError:
        pass
else:
    f = mutagen.File(path)
    if f is not None and f.tags is not None:
        if low.endswith(".wma"):
            for k, vs in f.tags.as_dict().items():
                out["frames"][k] = [repr(v) for v in vs]
                out["texts"][k] = str(vs[0])
        else:
            for k, v in f.tags:
                out["frames"].setdefault(k.upper(), []).append(v)
                out["texts"].setdefault(k.upper(), v)
            out["vendor"] = f.tags.vendor
        if hasattr(f, "pictures"):
            out["pictures"] = [[p.type, p.mime, p.desc, hashlib.md5(p.data).hexdigest()] for p in f.pictures]
print(json.dumps(out))
)PY";
};
