// What the song analysis (player measurements, the gain tool's runner and the
// tempo-detection progress routine) needs of the main window: the library
// grid row under analysis, the shared progress value shown in its cells, the
// silence-threshold and master-volume sliders, and the error box. The main
// window implements AnalysisHost; tests give a fake.
#pragma once

#include <QString>
#include <QVariant>

#include <cstdint>

namespace djvp {

class AnalysisHost {
 public:
  virtual ~AnalysisHost() = default;
  // Writes a library grid cell (row from 1, column 1..13): a text or a
  // single-precision number.
  virtual void SetLibraryCell(int32_t row, int column, const QVariant& value) = 0;
  // Redraws one library grid cell at once, even while the UI thread is busy.
  virtual void RedrawLibraryCell(int32_t row, int column) = 0;
  // Value of the silence-level slider (AutomationSlider item 1).
  virtual int32_t SilenceLevel() const = 0;
  // Value of the master-volume slider: 0 full volume .. 100 silence.
  virtual int32_t MainVolumeValue() const = 0;
  // Appends text to the error box (txtError).
  virtual void AppendErrorText(const QString& text) = 0;
};

// The host the analysis reports to; null until the main window sets it, in
// which case the reports are dropped.
//
// The three are kept per thread: the window's thread has the window as its
// host, while the library's analysis measures a song on a thread of its own
// with a host that carries the reports over to the window's thread, and a
// row of its own that nothing on the window's thread can change meanwhile.
extern thread_local AnalysisHost* g_AnalysisHost;

// The library grid row under analysis (from 1) and the shared progress value
// 0..1 shown in its cell while a measurement runs.
extern thread_local int32_t AnalysisRow;
extern thread_local float AnalysisProgress;

// Library grid columns the analysis writes.
enum LibraryColumn : int { kColBPM = 5, kColGain = 11, kColStartMixPoint = 12, kColEndMixPoint = 13 };

// AnalysisProgress += step (0 when that passes 1), written into the cell
// (AnalysisRow, column) and redrawn.
void AdvanceAnalysisProgress(float step, int column);

}  // namespace djvp
