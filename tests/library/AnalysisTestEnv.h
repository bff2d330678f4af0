// The window state (see StateTestEnv) with the tag library, a folder of real
// songs copied from the fixtures (made by the encoders, tagged by mutagen),
// library rows made from them as "Create" makes them, the analysis commands
// run to their end, and every tag field and the decoded audio of the songs
// read by independent tools (mutagen and ffmpeg) before and after.
#pragma once

#include "RunCommand.h"
#include "StateTestEnv.h"
#include "library/Index.h"
#include "platform/Grid.h"
#include "playlists/TrackRow.h"
#include "ui/TrackColumns.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QItemSelectionModel>
#include <QJsonDocument>
#include <QJsonObject>
#include <QStringList>
#include <QTableView>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

QT_BEGIN_NAMESPACE
inline void PrintTo(const QString& s, std::ostream* os) { *os << '"' << s.toStdString() << '"'; }
QT_END_NAMESPACE

// One reading of a song file: field name -> text. "id3v2:<frame key>" (text
// of each ID3v2 frame, comments keyed by description and language),
// "id3v2.version", "id3v1.<field>", "asf:<attribute>", "vc:<FIELD>" (Vorbis
// comments, FLAC and Ogg), "vendor", "audio" (SHA-1 of the decoded samples)
// and "file" (SHA-1 of the whole file).
using Reading = std::map<QString, QString>;

class AnalysisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    form = env.Open(true);
    ASSERT_TRUE(form->Sonavex1) << "the tag library control was not created";
  }
  void TearDown() override { form.reset(); }

  djvp::Grid& Library() { return *form->DummyPlaylist; }

  // Copies a fixture ("playlists/tagged.mp3") into the test's folder as
  // `name` and returns its path.
  QString Song(const std::string& fixture, const std::string& name) {
    const std::string to = dir.file(name);
    std::filesystem::copy_file(std::string(DJVP_TEST_FIXTURES "/") + fixture, to,
                               std::filesystem::copy_options::overwrite_existing);
    return QString::fromStdString(to);
  }
  // A library row for the file, as "Create" makes it; its row number.
  int32_t AddRow(const QString& path) {
    playlists::AddTrackRow(*form, path, Library());
    return Library().RowCount();
  }
  // A row for a path that no file has.
  int32_t AddMissingRow(const QString& path) {
    const int32_t row = Library().AddRow();
    Library().SetTextAt(row, djvp::ui::kFilename, path);
    return row;
  }
  void Select(std::initializer_list<int32_t> rows) {
    QItemSelectionModel* sel = Library().View()->selectionModel();
    sel->clearSelection();
    for (int32_t r : rows)
      sel->select(Library().View()->model()->index(r - 1, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
  }
  void SelectAll() {
    Library().View()->selectAll();
  }

  // Clicks cmdSearch(index) and lets the window's events run until the run
  // has ended (at most two minutes).
  void Run(int index) {
    form->cmdSearch[static_cast<size_t>(index)].click();
    WaitForTheRun();
  }
  void WaitForTheRun() {
    QEventLoop loop;
    QTimer poll;
    const QDeadlineTimer deadline(120000);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
      if (!form->AnalysisRunning || deadline.hasExpired()) loop.quit();
    });
    poll.start(10);
    loop.exec();
    ASSERT_FALSE(form->AnalysisRunning) << "the run did not end";
    QCoreApplication::processEvents();  // the run's own clean-up
  }

  QString Cell(int32_t row, int column) { return Library().TextAt(row, column); }
  // The cells of one column of the index file on the disk.
  static QStringList IndexColumn(int column) {
    djvp::Grid g;
    djvp::ui::InitLibraryColumns(g);
    QStringList out;
    if (!g.LoadFromFile(library::IndexPath())) return out;
    for (int32_t r = 1; r <= g.RowCount(); ++r) out << g.TextAt(r, column);
    return out;
  }

  // Reads every file's tags and audio with mutagen and ffmpeg.
  std::map<QString, Reading> Read(const QStringList& paths) {
    TempDir::Write(dir.file("read.py"), kReadScript);
    std::string command = "/usr/bin/python3 '" + dir.file("read.py") + "'";
    for (const QString& p : paths) command += " '" + p.toStdString() + "'";
    int status = 0;
    const std::string out = RunCommand(command + " 2>&1", &status);
    EXPECT_EQ(status, 0) << out;
    std::map<QString, Reading> readings;
    const QJsonObject all = QJsonDocument::fromJson(QByteArray::fromStdString(out)).object();
    for (auto file = all.begin(); file != all.end(); ++file) {
      Reading& r = readings[file.key()];
      const QJsonObject fields = file.value().toObject();
      for (auto f = fields.begin(); f != fields.end(); ++f) r[f.key()] = f.value().toString();
    }
    return readings;
  }

  // The reading after is the reading before with these fields changed (a
  // field given as nullopt may hold anything, and a name ending in "*"
  // stands for every field it begins); "file" counts only for a song that
  // should not change at all.
  static void ExpectChanged(const Reading& before, const Reading& after,
                            const std::map<QString, std::optional<QString>>& changes) {
    auto changed = [&](const QString& key) -> const std::optional<QString>* {
      for (const auto& [name, value] : changes)
        if (name == key || (name.endsWith(QLatin1Char('*')) && key.startsWith(name.chopped(1)))) return &value;
      return nullptr;
    };
    std::map<QString, bool> keys;
    for (const auto& [k, v] : before) keys[k] = true;
    for (const auto& [k, v] : after) keys[k] = true;
    for (const auto& [k, v] : changes)
      if (!k.endsWith(QLatin1Char('*'))) keys[k] = true;
    for (const auto& [key, unused] : keys) {
      if (key == QLatin1String("file") && !changes.empty()) continue;
      const auto b = before.find(key);
      const auto a = after.find(key);
      const QString was = b == before.end() ? QStringLiteral("<none>") : b->second;
      const QString is = a == after.end() ? QStringLiteral("<none>") : a->second;
      if (const std::optional<QString>* want = changed(key)) {
        if (*want) {
          EXPECT_EQ(is, **want) << key.toStdString();
        }
      } else {
        EXPECT_EQ(is, was) << key.toStdString() << " must not change";
      }
    }
  }

  TempDir dir;
  StateTestEnv env;
  std::unique_ptr<djvp::MainState> form;

 private:
  static constexpr const char* kReadScript = R"PY(
import hashlib, json, subprocess, sys
from mutagen.id3 import ID3, ID3NoHeaderError
from mutagen.asf import ASF
from mutagen.flac import FLAC
from mutagen.oggvorbis import OggVorbis

def sha(data):
    return hashlib.sha1(data).hexdigest()

def audio(path):
    run = subprocess.run(["ffmpeg", "-v", "error", "-i", path, "-map", "0:a", "-f", "s16le", "-"],
                         capture_output=True)
    return sha(run.stdout) if run.returncode == 0 and run.stdout else "undecodable"

def id3v1(path, out):
    with open(path, "rb") as f:
        data = f.read()
    if len(data) < 128 or data[-128:-125] != b"TAG":
        return
    t = data[-128:]
    text = lambda b: b.split(b"\0")[0].decode("latin-1")
    out["id3v1.title"], out["id3v1.artist"], out["id3v1.album"] = text(t[3:33]), text(t[33:63]), text(t[63:93])
    out["id3v1.year"] = text(t[93:97])
    if t[125] == 0 and t[126] != 0:
        out["id3v1.comment"], out["id3v1.track"] = text(t[97:125]), str(t[126])
    else:
        out["id3v1.comment"] = text(t[97:127])
    out["id3v1.genre"] = str(t[127])

result = {}
for path in sys.argv[1:]:
    out = {}
    with open(path, "rb") as f:
        out["file"] = sha(f.read())
    low = path.lower()
    if low.endswith(".mp3"):
        try:
            tag = ID3(path, translate=False, load_v1=False)
            out["id3v2.version"] = str(tag.version[1])
            for key, frame in tag.items():
                out["id3v2:" + key] = str(frame)
        except ID3NoHeaderError:
            pass
        id3v1(path, out)
    elif low.endswith(".wma"):
        for key, values in ASF(path).tags.items():
            out["asf:" + key] = "\0".join(str(v) for v in values)
    elif low.endswith(".flac") or low.endswith(".ogg"):
        f = FLAC(path) if low.endswith(".flac") else OggVorbis(path)
        out["vendor"] = f.tags.vendor
        fields = {}
        for key, value in f.tags:
            fields.setdefault("vc:" + key.upper(), []).append(value)
        for key, values in fields.items():
            out[key] = "\0".join(values)
    out["audio"] = audio(path)
    result[path] = out
print(json.dumps(result))
)PY";
};
