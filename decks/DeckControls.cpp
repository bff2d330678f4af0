#include "decks/DeckControls.h"

#include "app/Globals.h"
#include "app/frmMain.h"
#include "audio/BassPlayer.h"
#include "platform/Grid.h"
#include "playlists/TrackRow.h"

#include <QLabel>
#include <QSlider>

#include <algorithm>
#include <cmath>
#include <limits>

namespace decks {

djvp::clsBassPlayer* Player(int deck, int ab) {
  if (deck == 1) return ab == 0 ? djvp::Deck1PlayerA : djvp::Deck1PlayerB;
  if (deck == 2) return ab == 0 ? djvp::Deck2PlayerA : djvp::Deck2PlayerB;
  return nullptr;
}

bool IsPlaying(const djvp::clsBassPlayer* p) { return p && p->IsPlaying(); }

djvp::Grid* Playlist(djvp::frmMain& form, int deck) {
  return deck == 1 || deck == 2 ? form.PlayListView[static_cast<size_t>(deck - 1)] : nullptr;
}

QSlider* PositionSlider(djvp::frmMain& form, int deck) { return deck == 1 ? form.Position1 : form.Position2; }
QSlider* VolumeSlider(djvp::frmMain& form, int deck) { return deck == 1 ? form.Volume1 : form.Volume2; }
QSlider* HeadphoneSlider(djvp::frmMain& form, int deck) { return deck == 1 ? form.VolumeHP1 : form.VolumeHP2; }

void SetSliderValue(QSlider* s, int64_t value) {
  if (!s) return;
  const int64_t v = std::clamp<int64_t>(value, s->minimum(), s->maximum());
  s->setValue(static_cast<int>(v));
}

void SetSliderQuietly(QSlider* s, int64_t value) {
  djvp::SuppressSliderEvents = true;
  SetSliderValue(s, value);
  djvp::SuppressSliderEvents = false;
}

void SetLabel(QLabel* l, const QString& text) {
  if (l) l->setText(text);
}

int32_t SelectedRow(const djvp::Grid& grid) {
  if (const int32_t row = grid.CurrentRow(); row > 0) return row;
  return grid.SelectedRowAt(1);
}

QString CellText(const djvp::Grid& grid, int32_t row, const char* key) {
  const int32_t column = grid.ColumnNumber(QLatin1String(key));
  if (row < 1 || column < 1) return {};
  return grid.TextAt(row, column);
}

std::optional<double> ParseMixPointSeconds(const QString& text) {
  QString t = text.trimmed();
  if (t.endsWith(QLatin1String("sec"), Qt::CaseInsensitive)) t.chop(3);
  const std::optional<double> v = playlists::ParseNumber(t);
  if (!v || *v < 0) return std::nullopt;
  return v;
}

int16_t ClampVolume(double v) {
  if (!(v > 0)) return 0;  // NaN too
  if (v >= 100) return 100;
  return static_cast<int16_t>(std::nearbyint(v));
}

}  // namespace decks
