// A song's own effect records, read from its tag comment in memory.
#include "effects/EffectControls.h"
#include "effects/SetAndRun.h"
#include "effects/SongStart.h"

#include "decks/MixerSliders.h"
#include "playlists/Tags.h"
#include "playlists/TrackRow.h"
#include "sonavex/Dispids.h"
#include "ui/Deck.h"
#include "ui/SettingsValue.h"

namespace effects {

using namespace djvp;

namespace {

const QString kMarker = QStringLiteral("SDE");

// The comment's lines, one after another; nothing once they are used up.
class Lines {
 public:
  explicit Lines(const QStringList& lines) : lines_(lines) {}
  bool AtEnd() const { return next_ >= lines_.size(); }
  std::optional<QString> Next() {
    if (AtEnd()) return std::nullopt;
    return lines_[next_++];
  }
  std::optional<int32_t> NextInt32() {
    const std::optional<QString> line = Next();
    return line ? SettingToInt32(*line) : std::nullopt;
  }
  std::optional<int16_t> NextInt16() {
    const std::optional<QString> line = Next();
    return line ? SettingToInt16(*line) : std::nullopt;
  }

 private:
  const QStringList& lines_;
  qsizetype next_ = 0;
};

std::optional<int64_t> Widen(std::optional<int32_t> v) {
  if (!v) return std::nullopt;
  return *v;
}

void MasterVolume(MainState& s, int) { mixer::MainVolume_ValueChanged(s); }

// One record: the header line, then the 36 values in their order.
void ApplyRecord(const Deck& deck, Lines& lines, clsBassPlayer* started) {
  MainState& s = deck.State();
  lines.Next();  // the header
  s.SongEffectsActive = true;
  for (int k = 0; k < Deck::kSpinners; ++k)
    SetAndRun(s, deck.Spinner(k), Widen(lines.NextInt32()), UpDown_ValueChanged, deck.SpinnerIndex(k));
  SetAndRun(s, s.MainVolume, Widen(lines.NextInt32()), MasterVolume, 0);
  for (int band = 0; band < Deck::kBands; ++band)
    SetAndRun(s, deck.Band(band), Widen(lines.NextInt32()), Eq_ValueChanged, deck.BandIndex(band));
  // Tempo, sample rate and pitch are applied in any case; the effect
  // parameters only through their sliders' own change.
  for (int k = 0; k < 3; ++k)
    SetAndRun(s, deck.EffectSlider(k), Widen(lines.NextInt32()), sldEffects_ValueChanged, deck.SliderIndex(k));
  for (int k = 3; k < Deck::kSliders; ++k)
    if (const std::optional<int32_t> v = lines.NextInt32()) deck.EffectSlider(k).setValue(*v);
  // The switches last, so that one switched on takes the parameters above.
  // One that changes state acts on the started song.
  for (int box = ctl::kReverbBox; box <= ctl::kFlangerBox; ++box) {
    const std::optional<int16_t> v = lines.NextInt16();
    if (!v) continue;
    ui::CheckBox& control = deck.EffectBox(box);
    const bool on = *v == 1;
    if (control.isChecked() == on) continue;
    {
      const ui::EventBlocker once(control);
      control.setChecked(on);
    }
    ApplyEffectSwitch(s, deck.EffectBoxIndex(box), started);
  }
}

}  // namespace

void ApplyEffectRecords(MainState& s, DeckId deck, const QStringList& lines, bool recordAtStart,
                        clsBassPlayer* started) {
  Lines text(lines);
  if (recordAtStart) ApplyRecord(Deck(s, deck), text, started);
  while (!text.AtEnd())
    if (text.Next() == kMarker) ApplyRecord(Deck(s, deck), text, started);
  s.SongEffectsActive = false;
}

void ApplySongEffectRecords(MainState& s, DeckId deck, int16_t format, clsBassPlayer* started) {
  const playlists::Tags tags(s.Sonavex1);
  switch (format) {
    case playlists::kFormatMpeg: {
      // The first ID3v2 comment whose language field is the marker; the ID3v1
      // and APE comments are not looked at.
      if (!tags.Boolean(SX_ID3V2Exists)) return;
      const int16_t count = static_cast<int16_t>(tags.Int(SX_ID3V2GetComments));
      for (int16_t i = 1; i > 0 && i <= count; ++i)
        if (tags.TextAt(SX_ID3V2GetCommentLanguage, i) == kMarker)
          return ApplyEffectRecords(s, deck, playlists::CommentLines(tags.TextAt(SX_ID3V2GetComment, i)), true,
                                    started);
      return;
    }
    case playlists::kFormatWma:
    case playlists::kFormatFlac:
    case playlists::kFormatOgg:
      return ApplyEffectRecords(s, deck, playlists::CommentLines(tags.Text(SX_AUDIOComment)), false, started);
    default:
      return;
  }
}

}  // namespace effects
