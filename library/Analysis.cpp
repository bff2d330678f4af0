#include "library/Analysis.h"

#include "audio/AnalysisHost.h"
#include "audio/BassPlayer.h"
#include "audio/Messages.h"
#include "library/Index.h"
#include "library/SearchButtons.h"
#include "library/SongTags.h"
#include "platform/FileProblems.h"
#include "platform/Grid.h"
#include "platform/MessageBox.h"
#include "resources/StringIds.h"
#include "ui/MainState.h"
#include "ui/Text.h"
#include "ui/TrackColumns.h"

#include <QElapsedTimer>
#include <QMetaObject>
#include <QObject>
#include <QStringList>
#include <QThread>
#include <QVariant>

#include <sys/resource.h>
#include <unistd.h>

#include <functional>
#include <memory>
#include <set>
#include <utility>
#include <vector>

namespace library {

namespace {

using djvp::ui::T;

// The measuring thread yields to the decks' sound and to the window.
constexpr int kMeasuringNice = 10;
// The window gets at most one progress figure per cell this often.
constexpr qint64 kProgressMs = 40;

struct Step {
  Measurement what;
  int32_t row;
};

int32_t ColumnOf(Measurement m) {
  switch (m) {
    case Measurement::kBPM: return djvp::ui::kBPM;
    case Measurement::kGain: return djvp::ui::kGain;
    case Measurement::kStartMixPoint: return djvp::ui::kStartMixPoint;
    case Measurement::kEndMixPoint: return djvp::ui::kEndMixPoint;
  }
  return 0;
}

QString MarkerOf(Measurement m) {
  switch (m) {
    case Measurement::kGain: return QStringLiteral("PEA");
    case Measurement::kStartMixPoint: return QStringLiteral("SMP");
    case Measurement::kEndMixPoint: return QStringLiteral("EMP");
    case Measurement::kBPM: break;
  }
  return QStringLiteral("BPM");
}

library::TagWriteHook& WriteHook() {
  static library::TagWriteHook hook;
  return hook;
}

// What one measurement gave, handed to the window's thread.
struct Outcome {
  bool opened = false;    // the analysis player opened the song's audio
  bool measured = false;  // and the measurement put a result into the cell
  QStringList messages;   // the player's messages, for the window to show
};

class AnalysisRun;

// The analysis host of the measuring thread: it carries the cell writes and
// the gain tool's error output over to the window's thread (progress figures
// at most every kProgressMs, the last write always), and answers the slider
// values the window had when the song's measurement began.
class WorkerHost : public djvp::AnalysisHost {
 public:
  WorkerHost(AnalysisRun* run, int32_t silenceLevel, int32_t mainVolume)
      : run_(run), silenceLevel_(silenceLevel), mainVolume_(mainVolume) {}

  void SetLibraryCell(int32_t row, int column, const QVariant& value) override {
    // Progress figures are numbers; the mix points' and the tempo's results
    // are texts.
    if (value.typeId() == QMetaType::QString) wroteText_.insert(column);
    pending_ = {row, column, value};
    hasPending_ = true;
    if (!clock_.isValid() || clock_.elapsed() >= kProgressMs) Flush();
  }
  // The window's thread redraws each cell it writes.
  void RedrawLibraryCell(int32_t, int) override {}
  int32_t SilenceLevel() const override { return silenceLevel_; }
  int32_t MainVolumeValue() const override { return mainVolume_; }
  void AppendErrorText(const QString& text) override;

  // Sends the last cell write not sent yet.
  void Flush();
  bool WroteText(int column) const { return wroteText_.count(column) > 0; }

 private:
  struct Cell {
    int32_t row = 0;
    int column = 0;
    QVariant value;
  };
  AnalysisRun* run_;
  int32_t silenceLevel_;
  int32_t mainVolume_;
  Cell pending_;
  bool hasPending_ = false;
  QElapsedTimer clock_;
  std::set<int> wroteText_;
};

// One run of an analysis command; lives as a child of the library grid, so
// that it ends (waiting for the song being measured) before the window state
// that it works on.
class AnalysisRun : public QObject {
 public:
  AnalysisRun(djvp::MainState& s, std::vector<Step> steps, QObject* parent)
      : QObject(parent), s_(s), steps_(std::move(steps)), tags_(SongTagWriter::Create()) {}
  ~AnalysisRun() override {
    Join();
    // A run that ends before its last song (the window closes) frees the
    // library all the same.
    if (!finished_) s_.AnalysisRunning = false;
  }
  AnalysisRun(const AnalysisRun&) = delete;
  AnalysisRun& operator=(const AnalysisRun&) = delete;

  // Prepares the next song and hands it to a measuring thread; after the
  // last, ends the run.
  void Next();

  // On the window's thread: what the measuring thread sent.
  void ShowCell(int32_t row, int column, const QVariant& value) {
    djvp::Grid* grid = s_.DummyPlaylist;
    if (!grid || !grid->SetCellValue(row, column, value)) return;
    grid->RepaintCell(row, column);
  }
  void AppendError(const QString& text) { s_.txtError.append(text); }

 private:
  // Runs `work` on a thread of its own, which yields to the decks' sound and
  // to the window; what `work` returns then runs on the window's thread once
  // that thread has ended, so that the window never waits for it (a thread
  // that yields may take long to end on a busy machine). One at a time, so
  // the run's tag control is never used by two threads at once.
  void StartWorker(std::function<std::function<void()>()> work);
  // Only MP3 songs have their gain measured; reading the song's tags to
  // tell takes long for a long song too.
  void CheckMp3(const Step& step, const QString& path);
  void Checked(const Step& step, const QString& path, bool mp3);
  void Measure(const Step& step, const QString& path);
  void Measured(const Step& step, const QString& path, const Outcome& outcome);
  void Write(const Step& step, const QString& path, const QString& value);
  void Written(const QString& path, bool written, const QString& why);
  void Finish();
  void Join() {
    if (!worker_) return;
    worker_->wait();
    delete worker_;
    worker_ = nullptr;
  }

  djvp::MainState& s_;
  std::vector<Step> steps_;
  size_t next_ = 0;
  // Used only on the run's worker threads: reading and writing a song's tags
  // takes long for a long song (the file may have to be copied whole).
  SongTagWriter tags_;
  QThread* worker_ = nullptr;
  bool finished_ = false;
  // Everything the run could not do with a song, told once at its end: the
  // player's messages, songs of a kind a measurement does not take, songs
  // opened that gave no value, values that could not be written ("path: why").
  djvp::FileProblems problems_;
};

void WorkerHost::AppendErrorText(const QString& text) {
  AnalysisRun* run = run_;
  QMetaObject::invokeMethod(run, [run, text] { run->AppendError(text); }, Qt::QueuedConnection);
}

void WorkerHost::Flush() {
  if (!hasPending_) return;
  hasPending_ = false;
  clock_.restart();
  AnalysisRun* run = run_;
  QMetaObject::invokeMethod(run, [run, cell = pending_] { run->ShowCell(cell.row, cell.column, cell.value); },
                            Qt::QueuedConnection);
}

// On the measuring thread: opens the song on the analysis player, reads the
// measuring member, which reports through `host`, and releases the player's
// streams. The player's messages are collected, not shown.
Outcome MeasureSong(djvp::clsBassPlayer& player, WorkerHost& host, const Step& step, const QString& path) {
  Outcome outcome;
  djvp::g_AnalysisHost = &host;
  djvp::AnalysisRow = step.row;
  djvp::AnalysisProgress = 0;
  djvp::SetThreadMessageSink([&outcome](const QString& text) { outcome.messages << text; });
  djvp::SetThreadFileMessageSink([&outcome](const djvp::FileMessage& m) { outcome.messages << m.Reason(); });
  player.filename(path);
  if (player.OpenFile()) {
    outcome.opened = true;
    switch (step.what) {
      case Measurement::kBPM:
        player.BPM1();
        outcome.measured = true;  // the tempo text, "000.0" when none was found
        break;
      case Measurement::kGain:
        outcome.measured = player.Peak().has_value();
        break;
      case Measurement::kStartMixPoint:
        player.StartMixPoint();
        outcome.measured = host.WroteText(ColumnOf(step.what));
        break;
      case Measurement::kEndMixPoint:
        player.EndMixPoint();
        outcome.measured = host.WroteText(ColumnOf(step.what));
        break;
    }
    player.StopPlay();
  }
  host.Flush();
  djvp::SetThreadMessageSink({});
  djvp::SetThreadFileMessageSink({});
  djvp::g_AnalysisHost = nullptr;
  return outcome;
}

void AnalysisRun::Next() {
  djvp::Grid* grid = s_.DummyPlaylist;
  while (grid && next_ < steps_.size()) {
    const Step step = steps_[next_++];
    if (step.row < 1 || step.row > grid->RowCount()) continue;
    djvp::AnalysisRow = step.row;
    djvp::AnalysisProgress = 0;
    const QString path = grid->TextAt(step.row, djvp::ui::kFilename);
    if (step.what == Measurement::kGain)
      CheckMp3(step, path);
    else
      Measure(step, path);
    return;
  }
  Finish();
}

void AnalysisRun::StartWorker(std::function<std::function<void()>()> work) {
  auto then = std::make_shared<std::function<void()>>();
  QThread* thread = QThread::create([work = std::move(work), then] {
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), kMeasuringNice);
    *then = work();
  });
  thread->setParent(this);  // so that none outlives the run
  worker_ = thread;
  // Queued, like the cell writes the thread sent, so it comes after them.
  connect(thread, &QThread::finished, this, [this, thread, then] {
    worker_ = nullptr;
    thread->deleteLater();
    if (*then) (*then)();
  });
  thread->start();
}

void AnalysisRun::CheckMp3(const Step& step, const QString& path) {
  const SongTagWriter* tags = &tags_;
  StartWorker([this, tags, step, path]() -> std::function<void()> {
    const bool mp3 = tags->Analyze(path) == kFormatMpeg;
    return [this, step, path, mp3] { Checked(step, path, mp3); };
  });
}

void AnalysisRun::Checked(const Step& step, const QString& path, bool mp3) {
  if (mp3) {
    Measure(step, path);
    return;
  }
  problems_.Add(T(djvp::kStrOnlyForMp3), path);
  Next();
}

void AnalysisRun::Measure(const Step& step, const QString& path) {
  // The cell shows 0 until the measurement gives its first figure.
  if (djvp::Grid* grid = s_.DummyPlaylist) {
    const int32_t column = ColumnOf(step.what);
    grid->SetCellValue(step.row, column, int32_t{0});
    if (step.what == Measurement::kBPM || step.what == Measurement::kGain) grid->SetCurrentColumn(column);
    grid->RepaintCell(step.row, column);
  }
  djvp::clsBassPlayer* player = s_.AnalysisPlayer.get();
  const int32_t silence = s_.SilenceLevel();
  const int32_t volume = s_.MainVolumeValue();
  StartWorker([this, player, step, path, silence, volume]() -> std::function<void()> {
    WorkerHost host(this, silence, volume);
    Outcome outcome;
    if (player) outcome = MeasureSong(*player, host, step, path);
    return [this, step, path, outcome] { Measured(step, path, outcome); };
  });
}

void AnalysisRun::Measured(const Step& step, const QString& path, const Outcome& outcome) {
  for (const QString& message : outcome.messages) problems_.Add(message, path);
  if (outcome.opened && !outcome.measured) problems_.Add(T(djvp::kStrNotMeasured), path);
  djvp::Grid* grid = s_.DummyPlaylist;
  if (grid && outcome.measured) {
    // The value stored is the cell's text, as the library shows it.
    Write(step, path, grid->TextAt(step.row, ColumnOf(step.what)));
    return;
  }
  Next();
}

void AnalysisRun::Write(const Step& step, const QString& path, const QString& value) {
  const SongTagWriter* tags = &tags_;
  StartWorker([this, tags, step, path, value]() -> std::function<void()> {
    if (WriteHook()) WriteHook()(path);
    const int16_t format = tags->Analyze(path);
    QString why;
    const bool written = step.what == Measurement::kBPM
                             ? tags->WriteTempoToTag(path, format, value, &why)
                             : tags->WriteMarkerToTag(path, format, MarkerOf(step.what), value, &why);
    return [this, path, written, why] { Written(path, written, why); };
  });
}

void AnalysisRun::Written(const QString& path, bool written, const QString& why) {
  if (!written) problems_.Add(T(djvp::kStrTagsNotWritten), path + QStringLiteral(": ") + why);
  Next();
}

void AnalysisRun::Finish() {
  SaveLibraryIndex(s_);
  problems_.Tell();
  finished_ = true;
  s_.AnalysisRunning = false;
  deleteLater();
}

}  // namespace

TagWriteHook SetTagWriteHook(TagWriteHook hook) { return std::exchange(WriteHook(), std::move(hook)); }

void StartAnalysis(djvp::MainState& s, int index) {
  // One pass over the selected rows per measurement, in this order.
  std::vector<Measurement> passes;
  switch (index) {
    case kCalculateBPM: passes = {Measurement::kBPM}; break;
    case kCalculateGain: passes = {Measurement::kGain}; break;
    case kCalculateMixPoints: passes = {Measurement::kStartMixPoint, Measurement::kEndMixPoint}; break;
    default: return;
  }
  djvp::Grid* grid = s.DummyPlaylist;
  if (!grid || grid->SelectionCount() <= 0 || RefusedWhileAnalysing(s)) return;
  std::vector<int32_t> rows;
  for (int32_t i = 1, n = grid->SelectionCount(); i <= n; ++i) rows.push_back(grid->SelectedRowAt(i));
  std::vector<Step> steps;
  for (const Measurement m : passes)
    for (const int32_t row : rows) steps.push_back({m, row});
  s.AnalysisRunning = true;
  (new AnalysisRun(s, std::move(steps), grid))->Next();
}

}  // namespace library
