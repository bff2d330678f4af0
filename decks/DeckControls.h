// Which players, sliders, labels and playlist belong to which deck, and the
// few control operations the decks repeat: slider moves with or without the
// slider handlers, the playlist's current row and its cells as text.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

class QLabel;
class QSlider;

namespace djvp {
class clsBassPlayer;
class frmMain;
class Grid;
}  // namespace djvp

namespace decks {

// deck is 1 or 2; ab is 0 for the deck's player A, 1 for its player B.
djvp::clsBassPlayer* Player(int deck, int ab);
bool IsPlaying(const djvp::clsBassPlayer* p);

djvp::Grid* Playlist(djvp::frmMain& form, int deck);
QSlider* PositionSlider(djvp::frmMain& form, int deck);
QSlider* VolumeSlider(djvp::frmMain& form, int deck);
QSlider* HeadphoneSlider(djvp::frmMain& form, int deck);

// Sets a slider's value (clamped to its range); the slider's own handler
// runs for a change unless SuppressSliderEvents is set.
void SetSliderValue(QSlider* s, int64_t value);
// The same with SuppressSliderEvents set around the move, and cleared after.
void SetSliderQuietly(QSlider* s, int64_t value);
void SetLabel(QLabel* l, const QString& text);

// The playlist's current row (1-based): the selected row with the focus, or
// the first selected row; 0 when none is selected.
int32_t SelectedRow(const djvp::Grid& grid);
// The text of the cell under the column key in that row; "" when missing.
QString CellText(const djvp::Grid& grid, int32_t row, const char* key);
// A mix-point cell ("12.50 sec"): the number of seconds before the unit.
// Nothing when the cell holds no usable, non-negative number.
std::optional<double> ParseMixPointSeconds(const QString& text);

// Volumes go to a player clamped to 0..100.
int16_t ClampVolume(double v);

}  // namespace decks
