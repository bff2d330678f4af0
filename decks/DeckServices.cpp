#include "decks/DeckServices.h"

#include "app/frmMain.h"
#include "decks/DeckControls.h"
#include "engine/dsp/Dsp.h"
#include "platform/Grid.h"
#include "StringTable.h"

namespace decks {

namespace {

QString Text(int n) {
  try {
    return QString::fromStdString(djvp::Tr(n));
  } catch (...) {
    return {};
  }
}

}  // namespace

DeckServices& Services() {
  static DeckServices services{
      &DefaultSetScrollerText,
      [] {},
      &DefaultInitEqualizerBands,
      [](djvp::frmMain&, int, engine::Handle) {},
  };
  return services;
}

void DefaultSetScrollerText(djvp::frmMain& form, int gridIndex) {
  if (gridIndex != 0 && gridIndex != 1) return;
  const djvp::Grid* grid = form.PlayListView[static_cast<size_t>(gridIndex)];
  if (!grid) return;
  const int32_t row = grid->CurrentRow();
  const QString separator = QStringLiteral("  \u2022  ");
  QString line = Text(264) + QStringLiteral(": ") + CellText(*grid, row, "Artist") + separator + Text(322) +
                 QStringLiteral(": ") + CellText(*grid, row, "Title");
  static constexpr struct {
    const char* key;
    int label;
  } kMore[] = {{"Album", 265}, {"Year", 268}, {"Bitrate", 278}, {"Freq", 279}};
  for (const auto& more : kMore) {
    const QString cell = CellText(*grid, row, more.key);
    if (!cell.isEmpty()) line += separator + Text(more.label) + QStringLiteral(": ") + cell;
  }
  line += QString(10, QLatin1Char(' '));
  if (gridIndex == 0) {
    form.ScrollerText1 = line;
    form.ScrollerPos1 = static_cast<int16_t>(form.ScrollerWidth1 - line.size() + 2);
  } else {
    form.ScrollerText2 = line;
    form.ScrollerPos2 = static_cast<int16_t>(form.ScrollerWidth2 - line.size() + 2);
  }
}

void DefaultInitEqualizerBands(engine::Handle stream) {
  static constexpr float kCentres[10] = {80, 170, 310, 600, 1000, 3000, 6000, 12000, 14000, 16000};
  engine::RemoveEffect(stream, engine::dsp::kPeakEq);
  if (!engine::AddEffect(stream, engine::dsp::kPeakEq, 0)) return;
  uint32_t rate = 0;
  engine::GetAttributes(stream, &rate, nullptr, nullptr);
  for (int band = 0; band < 10; ++band) {
    engine::dsp::PeakEqParams p{};
    p.band = band;
    p.freq = static_cast<int32_t>(rate);
    p.bandwidth = 2.5f;
    p.q = 0;
    p.center = kCentres[band];
    p.gain = 0;
    engine::SetEffectParameters(stream, engine::dsp::kPeakEq, &p);
  }
}

}  // namespace decks
