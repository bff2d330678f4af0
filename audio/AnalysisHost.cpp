#include "AnalysisHost.h"

namespace djvp {

AnalysisHost* g_AnalysisHost = nullptr;
int32_t AnalysisRow = 0;
float AnalysisProgress = 0.0f;

void AdvanceAnalysisProgress(float step, int column) {
  AnalysisProgress += step;
  if (AnalysisProgress > 1.0f) AnalysisProgress = 0.0f;
  if (!g_AnalysisHost) return;
  g_AnalysisHost->SetLibraryCell(AnalysisRow, column, QVariant::fromValue(AnalysisProgress));
  g_AnalysisHost->RedrawLibraryCell(AnalysisRow, column);
}

}  // namespace djvp
