// A stand-in for the main window's side of the song analysis.
#pragma once

#include "audio/AnalysisHost.h"

#include <QString>
#include <map>
#include <utility>

class FakeAnalysisHost : public djvp::AnalysisHost {
 public:
  FakeAnalysisHost() { previous_ = std::exchange(djvp::g_AnalysisHost, this); }
  ~FakeAnalysisHost() override { djvp::g_AnalysisHost = previous_; }

  void SetLibraryCell(int32_t row, int column, const QVariant& value) override { cells[{row, column}] = value; }
  void RedrawLibraryCell(int32_t, int) override { ++redraws; }
  int32_t SilenceLevel() const override { return silence; }
  int32_t MainVolumeValue() const override { return mainVolume; }
  void AppendErrorText(const QString& text) override { errors += text; }

  QVariant Cell(int32_t row, int column) const {
    auto it = cells.find({row, column});
    return it == cells.end() ? QVariant() : it->second;
  }

  std::map<std::pair<int32_t, int>, QVariant> cells;
  int redraws = 0;
  int32_t silence = 1;
  int32_t mainVolume = 0;
  QString errors;

 private:
  djvp::AnalysisHost* previous_ = nullptr;
};
