// The window state in a clean test world (see StateTestEnv) with the tag
// library beside the program and a music folder tree of real songs: MP3,
// Ogg Vorbis, FLAC and WMA files made by the encoders (the playlists'
// fixtures), each tagged here by mutagen with its own artist, title, album,
// genre, year and stored analysis values. HOME is the test's folder too, so
// that the desktop's trash is the one in its data folder.
#pragma once

#include "RunCommand.h"
#include "StateTestEnv.h"
#include "library/Index.h"
#include "platform/BrowseForFolder.h"
#include "platform/Grid.h"
#include "ui/TrackColumns.h"

#include <QCoreApplication>
#include <QItemSelectionModel>
#include <QTableView>
#include <QFile>
#include <QStringList>
#include <QVariant>

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
inline void PrintTo(const QStringList& l, std::ostream* os) { *os << '{' << l.join(QStringLiteral(", ")).toStdString() << '}'; }
QT_END_NAMESPACE

// One song of the tree and the tags it is given.
struct Song {
  const char* file;    // path below the tree's top
  const char* source;  // the playlists' fixture it is made from
  const char* artist;
  const char* title;
  const char* album;
  const char* genre;
  const char* year;
  const char* bpm;
  const char* gain;
  const char* startMix;
  const char* endMix;
};

// Listed in the order a folder walk adds them: mask by mask (mp3, ogg, flac,
// wma), in each folder its sub-folders first.
inline const std::vector<Song>& TreeSongs() {
  static const std::vector<Song> songs = {
      {"Club/01 zed.mp3", "tagged.mp3", "Zed Alpha", "Night Drive", "Club Nights", "House", "2001", "128", "92.1",
       "05.20 sec", "180.50 sec"},
      {"Lounge/05 bob.mp3", "plain.mp3", "bob Marley Tribute", "Sunrise", "Lounge One", "Reggae", "1999", "75.5", "89.0",
       "01.00 sec", "02.50 sec"},
      {"07 carla.mp3", "tagged.mp3", "Carla Voss", "Atlas", "Maps", "Pop", "2015", "140", "95.3", "00.50 sec",
       "200.00 sec"},
      {"Club/Deeper/03 mira.ogg", "song.ogg", "Mira Stone", "Deep Blue", "Oceans", "Ambient", "2010", "98", "90.5",
       "02.00 sec", "08.25 sec"},
      {"Lounge/06 emile.ogg", "song.ogg", "\xc3\x89mile Roux", "Caf\xc3\xa9 Noir", "Paris", "Chanson", "1962", "110",
       "88.8", "03.10 sec", "09.90 sec"},
      {"10 fritz.ogg", "song.ogg", "Fritz Kalk", "Zebra", "Animals", "Techno", "2020", "132.5", "93.0", "00.00 sec",
       "05.00 sec"},
      {"Club/02 anna.flac", "song.flac", "anna bell", "Morning", "Days", "Folk", "2005", "90", "91.2", "01.50 sec",
       "07.75 sec"},
      {"08 dave.flac", "song.flac", "Dave Kern", "Bridge", "Rivers", "Rock", "1985", "122.0", "94.4", "00.10 sec",
       "06.60 sec"},
      {"Club/Deeper/04 oscar.wma", "song.wma", "Oscar Wild", "Quiet Storm", "Weather", "Soul", "1978", "101", "87.7",
       "04.40 sec", "08.80 sec"},
      {"09 eve.wma", "song.wma", "Eve Lune", "Orbit", "Space", "Trance", "2008", "138", "96.1", "00.20 sec",
       "07.10 sec"},
  };
  return songs;
}

inline QString Q(const std::filesystem::path& p) { return QString::fromStdString(p.string()); }

class LibraryTest : public ::testing::Test {
 protected:
  LibraryTest() : home_("HOME", work.path().string()) {}

  // The tagged tree is made once per test program and copied for each test.
  static void SetUpTestSuite() {
    master_ = std::make_unique<TempDir>();
    const std::filesystem::path top = master_->path() / "music";
    std::string list;
    for (const Song& song : TreeSongs()) {
      const std::filesystem::path to = top / song.file;
      std::filesystem::create_directories(to.parent_path());
      std::filesystem::copy_file(std::string(DJVP_TEST_FIXTURES "/playlists/") + song.source, to);
      list += to.string();
      for (const char* field : {song.artist, song.title, song.album, song.genre, song.year, song.bpm, song.gain,
                                song.startMix, song.endMix})
        list += '\t' + std::string(field);
      list += '\n';
    }
    TempDir::Write(master_->file("songs.tsv"), list);
    TempDir::Write(master_->file("tag.py"), kTagScript);
    int status = 0;
    const std::string out =
        RunCommand("/usr/bin/python3 '" + master_->file("tag.py") + "' '" + master_->file("songs.tsv") + "' 2>&1", &status);
    ASSERT_EQ(status, 0) << out;
  }
  static void TearDownTestSuite() { master_.reset(); }

  void SetUp() override {
    ASSERT_TRUE(master_) << "the song tree was not made";
    const QString library = QCoreApplication::applicationDirPath() + QStringLiteral("/libSonavex2.so");
    ASSERT_TRUE(QFile::exists(library)) << "build the Sonavex2 target first: " << library.toStdString();
    std::filesystem::copy(master_->path() / "music", Tree(), std::filesystem::copy_options::recursive);
    form = env.Open(true);
    ASSERT_TRUE(form->Sonavex1) << "the tag library control was not created";
  }
  void TearDown() override {
    djvp::clsBrowseForFolder::SetDialogHook({});
    form.reset();
  }

  std::filesystem::path Tree() const { return work.path() / "music"; }
  djvp::Grid& Library() { return *form->DummyPlaylist; }
  djvp::Grid& Deck(int d) { return *form->PlayListView[static_cast<size_t>(d)]; }

  // "Create" on the settings page for the tree, with "Create a New
  // Indexfile" (fresh) or "Add to the Existing Indexfile".
  void Create(bool fresh, const QString& folder = {}) {
    form->txtSettings[0].setText(folder.isNull() ? Q(Tree()) : folder);
    form->optSettings[fresh ? 1 : 0].setChecked(true);
    form->optSettings[fresh ? 0 : 1].setChecked(false);
    form->cmdSettings[0].click();
  }

  // Selects exactly these rows, as Ctrl clicks do.
  static void Select(djvp::Grid& g, std::initializer_list<int> rows) {
    QItemSelectionModel* sel = g.View()->selectionModel();
    sel->clearSelection();
    for (int r : rows)
      sel->select(g.View()->model()->index(r - 1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }

  // The texts of one column, top to bottom.
  static QStringList Column(const djvp::Grid& g, int column) {
    QStringList out;
    for (int32_t r = 1; r <= g.RowCount(); ++r) out << g.TextAt(r, column);
    return out;
  }
  // Every cell of a row, value and type.
  static std::vector<QVariant> RowValues(const djvp::Grid& g, int32_t row) {
    std::vector<QVariant> out;
    for (int32_t c = 1; c <= djvp::ui::kTrackColumnCount; ++c) out.push_back(g.CellValue(row, c));
    return out;
  }
  // The rows of the index file on the disk, read into a library grid of its own.
  static std::vector<std::vector<QVariant>> IndexRows() {
    djvp::Grid g;
    djvp::ui::InitLibraryColumns(g);
    std::vector<std::vector<QVariant>> rows;
    if (!g.LoadFromFile(library::IndexPath())) return rows;
    for (int32_t r = 1; r <= g.RowCount(); ++r) rows.push_back(RowValues(g, r));
    return rows;
  }
  std::vector<std::vector<QVariant>> GridRows(const djvp::Grid& g) const {
    std::vector<std::vector<QVariant>> rows;
    for (int32_t r = 1; r <= g.RowCount(); ++r) rows.push_back(RowValues(g, r));
    return rows;
  }

  TempDir work;
  StateTestEnv env;
  std::unique_ptr<djvp::MainState> form;

 private:
  ScopedEnv home_;
  static inline std::unique_ptr<TempDir> master_;
  static constexpr const char* kTagScript = R"PY(
import sys
from mutagen.id3 import ID3, TPE1, TIT2, TALB, TCON, TYER, TBPM, COMM
from mutagen.flac import FLAC
from mutagen.oggvorbis import OggVorbis
from mutagen.asf import ASF

for line in open(sys.argv[1], encoding="utf-8"):
    path, artist, title, album, genre, year, bpm, gain, smp, emp = line.rstrip("\n").split("\t")
    if path.endswith(".mp3"):
        t = ID3()
        t.add(TPE1(encoding=3, text=artist))
        t.add(TIT2(encoding=3, text=title))
        t.add(TALB(encoding=3, text=album))
        t.add(TCON(encoding=3, text=genre))
        t.add(TYER(encoding=3, text=year))
        t.add(TBPM(encoding=3, text=bpm))
        t.add(COMM(encoding=3, lang="eng", desc="", text="a plain comment"))
        t.add(COMM(encoding=3, lang="PEA", desc="", text=gain))
        t.add(COMM(encoding=3, lang="SMP", desc="", text=smp))
        t.add(COMM(encoding=3, lang="EMP", desc="", text=emp))
        t.save(path, v2_version=3)
        continue
    comment = "\r\n".join(["BPM", bpm, "PEA", gain, "SMP", smp, "EMP", emp])
    if path.endswith(".wma"):
        w = ASF(path)
        w.clear()
        w["Author"] = artist
        w["Title"] = title
        w["WM/AlbumTitle"] = album
        w["WM/Genre"] = genre
        w["WM/Year"] = year
        w["WM/BeatsPerMinute"] = bpm
        w["Description"] = comment
        w.save()
        continue
    f = FLAC(path) if path.endswith(".flac") else OggVorbis(path)
    f.clear()
    f["ARTIST"] = artist
    f["TITLE"] = title
    f["ALBUM"] = album
    f["GENRE"] = genre
    f["DATE"] = year
    f["COMMENT"] = comment
    f.save()
)PY";
};
