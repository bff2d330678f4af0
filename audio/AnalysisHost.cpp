#include "AnalysisHost.h"

namespace djvp {

thread_local AnalysisHost* g_AnalysisHost = nullptr;
thread_local int32_t AnalysisRow = 0;
thread_local float AnalysisProgress = 0.0f;

void AdvanceAnalysisProgress(float step, int column) {
  AnalysisProgress += step;
  if (AnalysisProgress > 1.0f) AnalysisProgress = 0.0f;
  if (!g_AnalysisHost) return;
  g_AnalysisHost->SetLibraryCell(AnalysisRow, column, QVariant::fromValue(AnalysisProgress));
  g_AnalysisHost->RedrawLibraryCell(AnalysisRow, column);
}

}  // namespace djvp
